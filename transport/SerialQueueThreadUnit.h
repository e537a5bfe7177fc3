// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CycleSchedule.h"
#include "FrameAssembler.h"
#include "SerialQueueUnit.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

// The receive worker's clock and its way of waiting: the steady clock and the
// queue's own wait, unless a test puts in a clock it moves by hand.
struct TWorkerTime {
    using Clock = TCycleSchedule::Clock;
    // Returns at `until` or, without one, once the queue holds a piece; earlier
    // as soon as `woken` holds.
    using Wait = std::function<void(TSerialQueue& queue, std::optional<Clock::time_point> until,
                                    const std::function<bool()>& woken)>;

    TCycleSchedule::Now Now = &Clock::now;
    Wait WaitOn = [](TSerialQueue& queue, std::optional<Clock::time_point> until,
                     const std::function<bool()>& woken) { queue.Wait(until, woken); };
};

// Cuts the module's answers out of the received bytes. Every 10 ms it takes one
// piece from the queue; whenever the text gathered so far is CR LF, something,
// CR LF, the something is one answer. While the queue is empty it sleeps.
class TSerialQueueThread final
{
public:
    // The longest text gathered while waiting for a frame to end.
    static constexpr qsizetype MaxFrameBuffer = TFrameAssembler::MaxFrameBuffer;
    // At most one piece per cycle, on a fixed grid of this period.
    static constexpr std::chrono::milliseconds CyclePeriod{10};

    explicit TSerialQueueThread(TWorkerTime time = {}); // created suspended
    ~TSerialQueueThread();                              // stops and joins
    Q_DISABLE_COPY_MOVE(TSerialQueueThread)

    // Both are set before Start and left alone while the worker runs.
    TSerialQueue* Queue = nullptr;
    // Called on the worker thread, one frame at a time, in order. A failure it
    // raises is dropped; the worker goes on with the next piece.
    std::function<void(const QByteArray& response)> OnResponse;

    void Start();
    void Stop();                          // asks the loop to stop and joins it; safe to call twice

    // From any thread: the worker forgets the text it has gathered, at once,
    // before it takes another piece, so that the beginning of an answer cut off
    // by a closed or vanished port never joins the next one.
    void RestartFraming();

    // Pieces taken from the queue and fully handled (answers handed on
    // included). Lets a caller know the worker has caught up.
    qint64 PiecesTaken() const { return m_piecesTaken.load(); }

private:
    void Execute();
    // Sleeps until `until` or, without one, until a piece is waiting, and
    // forgets the gathered text whenever a restart is asked for meanwhile.
    // False once the worker is to stop.
    bool Sleep(TSerialQueue& queue, std::optional<TWorkerTime::Clock::time_point> until);
    void Deliver(const QByteArray& response);
    // Where the worker waits: Queue, or an empty queue of its own without one.
    TSerialQueue& WaitQueue() { return Queue ? *Queue : m_noQueue; }

    TWorkerTime m_time;
    // The characters taken so far that do not yet form a frame; the worker's alone.
    TFrameAssembler m_frames;
    TSerialQueue m_noQueue;

    std::thread m_thread;
    std::atomic<std::thread::id> m_workerId;
    std::atomic<bool> m_stopRequested = false;
    std::atomic<qint64> m_piecesTaken = 0;
    std::atomic<bool> m_restartFraming = false;
};
