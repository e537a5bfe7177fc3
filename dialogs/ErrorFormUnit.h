// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TToolDialog.h"

class QGroupBox;
class QLabel;
class QPushButton;

// Shows one failure: a title, a detail of one or two lines and a maintenance line
// that says what to do.
class TErrorForm final : public TToolDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TErrorForm)

public:
    explicit TErrorForm(QWidget* parent = nullptr);

    // Sets the three texts at once; does not show the dialog.
    void SetError(const QString& title, const QString& detail, const QString& maintenanceLine);

    QString Title() const { return m_title; }
    QString Detail() const { return m_detail; }
    QString MaintenanceLine() const { return m_maintenance; }

    QGroupBox* ErrorTitle;
    QLabel* ErrorDetail;
    QLabel* MaintenanceAddLine;
    QPushButton* BtnOK;

private:
    QString m_title;
    QString m_detail;
    QString m_maintenance;
};
