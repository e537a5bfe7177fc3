// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorFormUnit.h"

#include "Skin.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

TErrorForm::TErrorForm(QWidget* parent)
    : TToolDialog(QStringLiteral("ERROR MESSAGE"), QSize(417, 141), parent)
{
    SetEscapeCloses(true);
    ErrorTitle = AddGroup(QString(), QRect(5, 1, 407, 109), AccentRed);
    ErrorDetail = AddLabel(ErrorTitle, QString(), 12, 16, SkinTextColor);
    MaintenanceAddLine = AddLabel(ErrorTitle, QString(), 12, 75, AccentRed);
    ErrorDetail->setFixedWidth(390);
    MaintenanceAddLine->setFixedWidth(390);
    BtnOK = AddButton(QStringLiteral("OK"), QRect(288, 115, 124, 21), SkinTextColor);
    connect(BtnOK, &QPushButton::clicked, this, &QDialog::accept);
    BtnOK->setDefault(true);
    SetError(QStringLiteral("ERROR TITLE"), QStringLiteral("Error Detail"), QStringLiteral("Maintenance Line"));
}

void TErrorForm::SetError(const QString& title, const QString& detail, const QString& maintenanceLine)
{
    m_title = title;
    m_detail = detail;
    m_maintenance = maintenanceLine;
    ErrorTitle->setTitle(title);
    ErrorDetail->setText(ToDisplayText(detail));
    ErrorDetail->adjustSize();
    MaintenanceAddLine->setText(ToDisplayText(maintenanceLine));
    MaintenanceAddLine->adjustSize();
    setAccessibleDescription(title);
}
