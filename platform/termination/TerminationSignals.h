// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the requests to end that the system sends a program into a Qt signal on
// the thread that created this object: SIGTERM (the desktop logging out, the
// service manager stopping the session, kill), SIGHUP (the terminal it was
// started from went away) and SIGINT (Ctrl+C there). Only the first of them is
// caught: from then on each takes its default action again, so a second request
// ends the program at once, as if nothing had been caught.
//
// One object at a time; destroying it gives the three signals their default
// action back.
class TTerminationSignals final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TTerminationSignals)

public:
    explicit TTerminationSignals(QObject* parent = nullptr);
    ~TTerminationSignals() override;

signals:
    void Received(int signalNumber);

private:
    void Drain();

    int m_readEnd = -1;
    QSocketNotifier* m_notifier = nullptr;
};
