// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTimer.h"

TTimer::TTimer(int intervalMs, QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(intervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (OnTimer)
            OnTimer();
        // A periodic timer counts its next interval from this tick, so that a tick
        // that came late is never followed by one sooner than the interval.
        if (m_timer.isActive())
            m_timer.start();
    });
}

void TTimer::Start()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void TTimer::Stop()
{
    m_timer.stop();
}

bool TTimer::Enabled() const
{
    return m_timer.isActive();
}

int TTimer::Interval() const
{
    return m_timer.interval();
}
