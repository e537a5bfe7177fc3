// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

// First-in first-out queue of received pieces, shared by the thread that
// receives and the worker that frames. Every operation holds the one lock for
// its whole duration and calls nothing outside while holding it.
class TSerialQueue final
{
public:
    using Clock = std::chrono::steady_clock;

    TSerialQueue() = default;
    Q_DISABLE_COPY_MOVE(TSerialQueue)

    // A piece that finds the queue empty wakes a thread waiting for one.
    void Push(const QByteArray& piece);
    // The piece at the head, or an empty text when a Clear has just emptied the
    // queue between the caller's Count and this call.
    QByteArray Pop();
    qint32 Count();
    void Clear();

    // Blocks the calling thread until `until` has come or, without one, until a
    // piece is waiting; returns as soon as `woken` holds. `woken` is tested under
    // the lock, so it must only read flags; whoever sets one calls Wake.
    void Wait(std::optional<Clock::time_point> until, const std::function<bool()>& woken);
    void Wake();

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<QByteArray> m_pieces;
};
