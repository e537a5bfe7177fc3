// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// A window timer as the program uses them: Start() on a running timer does not
// restart it, and a one-shot timer's tick is expected to Stop() it first (the
// handler does that itself, so a handler may also restart it).
class TTimer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TTimer)

public:
    TTimer(int intervalMs, QObject* parent = nullptr);

    void Start();
    void Stop();
    bool Enabled() const;
    int Interval() const;
    void SetInterval(int intervalMs) { m_timer.setInterval(intervalMs); }
    int RemainingTime() const { return m_timer.remainingTime(); }

    // Called on the owner's thread at every tick while the timer runs.
    std::function<void()> OnTimer;

private:
    QTimer m_timer;
};
