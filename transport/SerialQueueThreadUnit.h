// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FrameAssembler.h"
#include "SerialQueueUnit.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Cuts the module's answers out of the received bytes. Every 10 ms it takes one
// piece from the queue; whenever the text gathered so far is CR LF, something,
// CR LF, the something is one answer.
class TSerialQueueThread final
{
public:
    // The longest text gathered while waiting for a frame to end.
    static constexpr qsizetype MaxFrameBuffer = TFrameAssembler::MaxFrameBuffer;

    TSerialQueueThread();                 // created suspended
    ~TSerialQueueThread();                // stops and joins
    Q_DISABLE_COPY_MOVE(TSerialQueueThread)

    // Both are set before Start and left alone while the worker runs.
    TSerialQueue* Queue = nullptr;
    // Called on the worker thread, one frame at a time, in order. A failure it
    // raises is dropped; the worker goes on with the next piece.
    std::function<void(const QByteArray& response)> OnResponse;

    void Start();
    void Stop();                          // asks the loop to stop and joins it; safe to call twice

    // From any thread: the worker forgets the text it has gathered at its next
    // cycle, before it takes another piece, so that the beginning of an answer
    // cut off by a closed or vanished port never joins the next one.
    void RestartFraming() { m_restartFraming = true; }

    // Pieces taken from the queue and fully handled (answers handed on
    // included). Lets a caller know the worker has caught up.
    qint64 PiecesTaken() const { return m_piecesTaken.load(); }

private:
    void Execute();
    void Deliver(const QByteArray& response);

    // The characters taken so far that do not yet form a frame; the worker's alone.
    TFrameAssembler m_frames;

    std::thread m_thread;
    std::mutex m_stopLock;
    std::condition_variable m_stopSignal;
    bool m_stopRequested = false;
    std::atomic<qint64> m_piecesTaken = 0;
    std::atomic<bool> m_restartFraming = false;
};
