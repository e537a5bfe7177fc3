#include "TTimer.h"

TTimer::TTimer(int intervalMs, QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(intervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (OnTimer)
            OnTimer();
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
