#include "SerialQueueThreadUnit.h"

#include <chrono>

namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");
const QByteArray kBlankLine = QByteArrayLiteral("\r\n\r\n");

} // namespace

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
    FrameBuffer.clear();
    m_skipping = false;
    m_resynced = false;
    for (;;) {
        {
            std::lock_guard lock(m_stopLock);
            if (m_stopRequested)
                return;
        }
        if (Queue && Queue->Count() > 0) {
            Take(Queue->Pop());
            ++m_piecesTaken;
        }
        // The rhythm is part of the behaviour: one piece per 10 ms at most,
        // with the pause after every cycle. Only a stop cuts the pause short.
        std::unique_lock lock(m_stopLock);
        m_stopSignal.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_stopRequested; });
    }
}

bool TSerialQueueThread::InStep() const
{
    const qsizetype n = FrameBuffer.size();
    if (n == 0)
        return true;
    if (FrameBuffer.at(0) != '\r')
        return false;
    return n == 1 || FrameBuffer.at(1) == '\n';
}

void TSerialQueueThread::Take(const QByteArray& piece)
{
    if (piece.isEmpty())
        return;
    FrameBuffer += piece;

    // Each pass either hands on a frame, waits for more, or drops at least one
    // character, so it ends however long the piece.
    for (;;) {
        if (m_skipping) {
            const qsizetype end = FrameBuffer.indexOf(kCrLf);
            if (end < 0) {
                // Keep a CR that may be the first half of the CR LF looked for.
                FrameBuffer = FrameBuffer.endsWith('\r') ? QByteArray(1, '\r') : QByteArray();
                return;
            }
            FrameBuffer.remove(0, end);
            m_skipping = false;
            m_resynced = true;
        }
        if (m_resynced) {
            // The CR LF kept after noise may have ended it, with the next frame
            // opening on a CR LF of its own: one of the two is enough.
            while (FrameBuffer.startsWith(kBlankLine))
                FrameBuffer.remove(0, 2);
            if (!kBlankLine.startsWith(FrameBuffer))
                m_resynced = false;
        }

        const qsizetype n = FrameBuffer.size();
        if (n > MaxFrameBuffer || !InStep()) {
            // Noise, or a line without its leading CR LF, or more than any
            // answer can be: drop up to the next CR LF after the first
            // character and pick up from there.
            FrameBuffer.remove(0, 1);
            m_skipping = true;
            m_resynced = false;
            continue;
        }
        if (n > 4 && FrameBuffer.startsWith(kCrLf) && FrameBuffer.endsWith(kCrLf)) {
            const QByteArray response = FrameBuffer.mid(2, n - 4);
            FrameBuffer.clear();
            Deliver(response);
        }
        return;
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
