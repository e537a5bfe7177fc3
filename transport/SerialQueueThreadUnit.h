#pragma once

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
    // The longest text gathered while waiting for a frame to end. The module's
    // answers are far shorter; anything longer is noise and is dropped.
    static constexpr qsizetype MaxFrameBuffer = 256;

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

    // Pieces taken from the queue and fully handled (answers handed on
    // included). Lets a caller know the worker has caught up.
    qint64 PiecesTaken() const { return m_piecesTaken.load(); }

private:
    void Execute();
    void Take(const QByteArray& piece);
    void Deliver(const QByteArray& response);
    // Whether the gathered text can still become a frame: it starts CR LF, or
    // is the first part of that.
    bool InStep() const;

    QByteArray FrameBuffer;
    // After noise: dropping characters up to the next CR LF.
    bool m_skipping = false;
    // Just back in step on a CR LF that may have ended the noise rather than
    // opened the next frame.
    bool m_resynced = false;

    std::thread m_thread;
    std::mutex m_stopLock;
    std::condition_variable m_stopSignal;
    bool m_stopRequested = false;
    std::atomic<qint64> m_piecesTaken = 0;
};
