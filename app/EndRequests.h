// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TerminationSignals.h"

#include <QObject>
#include <QPointer>

class QWidget;

// Everything that asks the program to end from outside its window, as one signal:
// the system's termination signals, and the desktop session ending, which Qt
// hands to the application as a spontaneous Quit event (the same event that
// QCoreApplication::quit() sends). While the main window is shown such a Quit is
// held back: the window decides when the program ends. Once the window has
// closed, the Quit that follows passes as usual.
class TEndRequests final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TEndRequests)

public:
    explicit TEndRequests(QWidget* mainWindow, QObject* parent = nullptr);
    ~TEndRequests() override;

signals:
    void EndRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_mainWindow;
    TTerminationSignals m_signals;
};
