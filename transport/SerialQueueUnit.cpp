// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialQueueUnit.h"

void TSerialQueue::Push(const QByteArray& piece)
{
    bool wasEmpty = false;
    {
        std::lock_guard lock(m_lock);
        wasEmpty = m_pieces.empty();
        m_pieces.push_back(piece);
    }
    // Only a waiter for the first piece cares; later ones find it awake or
    // waiting for its next cycle.
    if (wasEmpty)
        m_wake.notify_all();
}

QByteArray TSerialQueue::Pop()
{
    std::lock_guard lock(m_lock);
    if (m_pieces.empty())
        return QByteArray();
    QByteArray piece = std::move(m_pieces.front());
    m_pieces.pop_front();
    return piece;
}

qint32 TSerialQueue::Count()
{
    std::lock_guard lock(m_lock);
    return qint32(m_pieces.size());
}

void TSerialQueue::Clear()
{
    std::lock_guard lock(m_lock);
    m_pieces.clear();
}

void TSerialQueue::Wait(std::optional<Clock::time_point> until, const std::function<bool()>& woken)
{
    std::unique_lock lock(m_lock);
    if (until)
        m_wake.wait_until(lock, *until, woken);
    else
        m_wake.wait(lock, [&] { return !m_pieces.empty() || woken(); });
}

void TSerialQueue::Wake()
{
    // Taking the lock orders the caller's flag before the waiter's test of it:
    // a waiter is either still before its test or already waiting.
    { std::lock_guard lock(m_lock); }
    m_wake.notify_all();
}
