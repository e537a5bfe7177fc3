// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <deque>
#include <mutex>

// First-in first-out queue of received pieces, shared by the thread that
// receives and the worker that frames. Every operation holds the one lock for
// its whole duration and calls nothing outside while holding it.
class TSerialQueue final
{
public:
    TSerialQueue() = default;
    Q_DISABLE_COPY_MOVE(TSerialQueue)

    void Push(const QByteArray& piece);
    // The piece at the head, or an empty text when a Clear has just emptied the
    // queue between the caller's Count and this call.
    QByteArray Pop();
    qint32 Count();
    void Clear();

private:
    std::mutex m_lock;
    std::deque<QByteArray> m_pieces;
};
