// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialQueueThreadUnit.h"

#include "CycleSchedule.h"

#include <chrono>

TSerialQueueThread::TSerialQueueThread() = default;

TSerialQueueThread::~TSerialQueueThread()
{
    Stop();
}

void TSerialQueueThread::Start()
{
    if (m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_stopLock);
        m_stopRequested = false;
    }
    m_thread = std::thread([this] { Execute(); });
}

void TSerialQueueThread::Stop()
{
    {
        std::lock_guard lock(m_stopLock);
        m_stopRequested = true;
    }
    m_stopSignal.notify_all();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void TSerialQueueThread::Execute()
{
    m_frames.Reset();
    // The rhythm is part of the behaviour: one piece per 10 ms cycle at most.
    // Cycles start on a fixed grid; only a stop cuts the wait short.
    TCycleSchedule schedule(std::chrono::milliseconds(10));
    schedule.Begin();
    for (;;) {
        {
            std::lock_guard lock(m_stopLock);
            if (m_stopRequested)
                return;
        }
        if (m_restartFraming.exchange(false))
            m_frames.Reset();
        if (Queue && Queue->Count() > 0) {
            if (const auto response = m_frames.Add(Queue->Pop()))
                Deliver(*response);
            ++m_piecesTaken;
        }
        const auto next = schedule.Next();
        std::unique_lock lock(m_stopLock);
        m_stopSignal.wait_until(lock, next, [this] { return m_stopRequested; });
    }
}

void TSerialQueueThread::Deliver(const QByteArray& response)
{
    if (!OnResponse)
        return;
    try {
        OnResponse(response);
    } catch (...) {
        // A malformed answer or a failed send must not end the receive path:
        // the exchange that waited for this answer runs into its time-out.
    }
}
