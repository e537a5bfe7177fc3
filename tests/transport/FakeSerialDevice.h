// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ISerialDevice.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <mutex>

// A serial device that records what the port asks of it and lets a test feed
// received bytes and line events. Thread-safe where the port's event thread
// reaches it.
class FakeSerialDevice final : public ISerialDevice
{
public:
    // Failures to inject: the error number the next such call returns.
    int OpenError = 0;
    int QueueSizeError = 0;
    int LineError = 0;
    int TimeoutsError = 0;
    int PurgeError = 0;
    int WriteError = 0;

    int Open(const QString& name) override
    {
        std::lock_guard lock(m_mutex);
        m_calls << QStringLiteral("Open %1").arg(name);
        if (OpenError)
            return OpenError;
        m_open = true;
        m_stopped = false;
        return 0;
    }
    void Close() override
    {
        std::lock_guard lock(m_mutex);
        m_calls << QStringLiteral("Close");
        m_open = false;
    }
    int SetQueueSizes(qint32 input, qint32 output) override
    {
        std::lock_guard lock(m_mutex);
        m_calls << QStringLiteral("QueueSizes %1 %2").arg(input).arg(output);
        return QueueSizeError;
    }
    int SetLine(const SerialLineSettings& line) override
    {
        std::lock_guard lock(m_mutex);
        m_calls << QStringLiteral("Line");
        m_lines << line;
        return LineError;
    }
    int SetTimeouts(const SerialTimeouts& t) override
    {
        std::lock_guard lock(m_mutex);
        m_calls << QStringLiteral("Timeouts %1 %2 %3 %4 %5")
                     .arg(t.ReadInterval)
                     .arg(t.ReadTotalMultiplier)
                     .arg(t.ReadTotalConstant)
                     .arg(t.WriteTotalMultiplier)
                     .arg(t.WriteTotalConstant);
        return TimeoutsError;
    }
    int SetEventMask(quint32 events) override
    {
        std::lock_guard lock(m_mutex);
        m_calls << QStringLiteral("EventMask %1").arg(events, 0, 16);
        return 0;
    }
    int AbortTransfers() override
    {
        std::lock_guard lock(m_mutex);
        m_calls << QStringLiteral("Abort");
        return PurgeError;
    }
    int ClearQueues() override
    {
        std::lock_guard lock(m_mutex);
        m_calls << QStringLiteral("ClearQueues");
        return 0;
    }
    int Write(const char* data, qint32 size, qint32& written) override
    {
        std::lock_guard lock(m_mutex);
        written = 0;
        if (!m_open)
            return 9; // EBADF
        if (WriteError)
            return WriteError;
        m_written.append(data, size);
        written = size;
        return 0;
    }
    int Read(char* data, qint32 size, qint32& got) override
    {
        std::lock_guard lock(m_mutex);
        got = qint32(std::min<qsizetype>(size, m_input.size()));
        std::copy_n(m_input.constData(), got, data);
        m_input.remove(0, got);
        return 0;
    }
    int InputCount(qint32& count) override
    {
        std::lock_guard lock(m_mutex);
        count = qint32(m_input.size());
        ++m_inputCountCalls;
        return 0;
    }
    SerialWaitResult WaitEvent(quint32& events, int& error) override
    {
        error = 0;
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_stopped || !m_events.empty(); });
        if (m_stopped)
            return SerialWaitResult::Stopped;
        events = m_events.front();
        m_events.pop_front();
        ++m_eventsTaken;
        m_changed.notify_all();
        return SerialWaitResult::Event;
    }
    void StopWait() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
    }

    // Bytes arrive and the line reports them.
    void Receive(const QByteArray& bytes)
    {
        {
            std::lock_guard lock(m_mutex);
            m_input += bytes;
            m_events.push_back(SerialEvent::RxChar);
        }
        m_changed.notify_all();
    }
    // Blocks (without running any event loop) until the event thread has taken
    // `count` events in all.
    void WaitUntilEventsTaken(int count)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_eventsTaken >= count; });
    }
    QByteArray Pending()
    {
        std::lock_guard lock(m_mutex);
        QByteArray copy = m_input;
        copy.detach();
        return copy;
    }

    QStringList Calls()
    {
        std::lock_guard lock(m_mutex);
        QStringList copy = m_calls;
        copy.detach(); // shares nothing with the list the event thread appends to
        return copy;
    }
    QList<SerialLineSettings> Lines()
    {
        std::lock_guard lock(m_mutex);
        QList<SerialLineSettings> copy = m_lines;
        copy.detach();
        return copy;
    }
    int InputCountCalls()
    {
        std::lock_guard lock(m_mutex);
        return m_inputCountCalls;
    }
    QByteArray Written()
    {
        std::lock_guard lock(m_mutex);
        QByteArray copy = m_written;
        copy.detach();
        return copy;
    }

private:
    QStringList m_calls;
    QList<SerialLineSettings> m_lines;
    QByteArray m_written;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    bool m_stopped = false;
    std::deque<quint32> m_events;
    int m_eventsTaken = 0;
    int m_inputCountCalls = 0;
    QByteArray m_input;
};
