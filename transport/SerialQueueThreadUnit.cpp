// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialQueueThreadUnit.h"

TSerialQueueThread::TSerialQueueThread(TWorkerTime time)
    : m_time(std::move(time))
{
}

TSerialQueueThread::~TSerialQueueThread()
{
    Stop();
}

void TSerialQueueThread::Start()
{
    if (m_thread.joinable())
        return;
    m_stopRequested = false;
    m_thread = std::thread([this] { Execute(); });
}

void TSerialQueueThread::Stop()
{
    m_stopRequested = true;
    WaitQueue().Wake();
    // Asked on the worker's own thread (from OnResponse), the stop is not waited
    // for; m_thread is left alone there, since Start may still be storing it.
    if (m_workerId.load() == std::this_thread::get_id())
        return;
    if (m_thread.joinable())
        m_thread.join();
    m_workerId = std::thread::id();
}

void TSerialQueueThread::RestartFraming()
{
    m_restartFraming = true;
    WaitQueue().Wake();
}

bool TSerialQueueThread::Sleep(TSerialQueue& queue, std::optional<TWorkerTime::Clock::time_point> until)
{
    const auto woken = [this] { return m_stopRequested.load() || m_restartFraming.load(); };
    for (;;) {
        if (m_stopRequested)
            return false;
        if (m_restartFraming.exchange(false))
            m_frames.Reset();
        if (until ? m_time.Now() >= *until : queue.Count() > 0)
            return true;
        m_time.WaitOn(queue, until, woken);
    }
}

void TSerialQueueThread::Execute()
{
    m_workerId = std::this_thread::get_id();
    m_frames.Reset();
    TSerialQueue& queue = WaitQueue();
    // The rhythm is part of the behaviour: one piece per cycle at most, cycles
    // on a fixed grid. Only a stop or a restart of the framing cuts a wait short.
    TCycleSchedule schedule(CyclePeriod, m_time.Now);
    auto due = schedule.Begin();
    for (;;) {
        if (!Sleep(queue, due))
            return;
        if (queue.Count() > 0) {
            if (const auto response = m_frames.Add(queue.Pop()))
                Deliver(*response);
            ++m_piecesTaken;
        }
        due = schedule.Next();
        if (queue.Count() == 0) {
            // Nothing to take: no cycles run until a piece arrives, which the
            // next cycle of the grid then takes.
            if (!Sleep(queue, std::nullopt))
                return;
            due = schedule.Resume();
        }
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
