// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialQueueUnit.h"

void TSerialQueue::Push(const QByteArray& piece)
{
    std::lock_guard lock(m_lock);
    m_pieces.push_back(piece);
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
