// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QWidget>

class QGroupBox;
class QKeyEvent;
class QCloseEvent;

// A horizontal gauge: a black bar over a white trough with the progress as a whole
// percentage of the maximum, followed by "%".
class TProcessGauge final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TProcessGauge)

public:
    explicit TProcessGauge(QWidget* parent = nullptr);

    void SetMax(int maximum);
    int Max() const { return m_max; }
    void SetPosition(int position);
    int Position() const { return m_position; }

    // position x 100 / maximum, cut to a whole number; 0 while the maximum is 0.
    int Percent() const;
    // The percentage as shown, e.g. "52%".
    QString Text() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_max = 0;
    int m_position = 0;
};

// Shows how far a read or a write has come while the main window takes no input.
// It is not modal: the main window disables itself instead. The user cannot close
// it; only its owner hides it.
class TProcessingForm final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TProcessingForm)

public:
    explicit TProcessingForm(QWidget* parent = nullptr);

    // Places the dialog, frame over frame, at the centre of the main window: left :=
    // main left + main width / 2 - own width / 2 (integer halves, rounded toward
    // zero), top likewise; and again on each showing, once it has its frame.
    void CentreOn(const QWidget* mainWindow);

    QGroupBox* ProcessingTitle;
    TProcessGauge* ProcessBar;

public slots:
    // Escape and other close requests end in reject(); the dialog ignores them.
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    const QWidget* m_mainWindow = nullptr;
};
