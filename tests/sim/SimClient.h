// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The tool's side of the virtual module's line, as the tests need it: opened the way
// RadioSet opens a serial device (exclusive lock, TIOCEXCL, raw), with reads cut into
// framed answers.

#include "VirtualModule.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

class SimClient {
public:
    explicit SimClient(const std::string& path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return;
        termios t{};
        if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(m_fd, TIOCEXCL) != 0 || ::tcgetattr(m_fd, &t) != 0) {
            close();
            return;
        }
        ::cfmakeraw(&t);
        ::tcsetattr(m_fd, TCSANOW, &t);
    }
    ~SimClient() { close(); }
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    bool isOpen() const { return m_fd >= 0; }

    termios settings() const
    {
        termios t{};
        ::tcgetattr(m_fd, &t);
        return t;
    }

    // Sets the line's speed and character format (CSIZE, PARENB, CSTOPB bits).
    bool setLine(speed_t speed, tcflag_t format)
    {
        termios t{};
        if (::tcgetattr(m_fd, &t) != 0)
            return false;
        t.c_cflag = (t.c_cflag & ~(CSIZE | PARENB | CSTOPB)) | format;
        return ::cfsetspeed(&t, speed) == 0 && ::tcsetattr(m_fd, TCSANOW, &t) == 0;
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    void send(const QByteArray& bytes) { [[maybe_unused]] const auto n = ::write(m_fd, bytes.constData(), bytes.size()); }

    // Waits (at most timeoutMs, a guard against hanging only) until the bytes read so
    // far hold `count` bytes; returns them and keeps nothing.
    QByteArray readRaw(qsizetype count, int timeoutMs = 5000)
    {
        fill([&] { return m_buffer.size() >= count; }, timeoutMs);
        const QByteArray out = m_buffer.left(count);
        m_buffer.remove(0, out.size());
        return out;
    }

    // The next answer framed as CR LF text CR LF, or "<none>" when none came in time
    // or the bytes did not begin with CR LF.
    QByteArray answer(int timeoutMs = 5000)
    {
        qsizetype end = -1;
        fill([&] {
            if (!m_buffer.startsWith("\r\n"))
                return !m_buffer.isEmpty();
            end = m_buffer.indexOf("\r\n", 3);
            return end > 0;
        }, timeoutMs);
        if (end < 0)
            return QByteArrayLiteral("<none>");
        const QByteArray text = m_buffer.mid(2, end - 2);
        m_buffer.remove(0, end + 2);
        return text;
    }

    QByteArray command(const QByteArray& text)
    {
        send(text + '\r');
        return answer();
    }

    // True once the other side has closed the line.
    bool hungUp(int timeoutMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0 && (p.revents & POLLHUP) != 0)
                return true;
        }
        return false;
    }

private:
    template<typename Done>
    void fill(Done done, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < timeoutMs && m_fd >= 0) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buf[256];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0)
                m_buffer.append(buf, n);
            else if (n == 0 || errno != EAGAIN)
                return;
        }
    }

    int m_fd = -1;
    QByteArray m_buffer;
};

// Everything the module sent, in order.
inline QByteArray SentBytes(const radiosim::VirtualModule& sim)
{
    QByteArray out;
    for (const auto& e : sim.transcript())
        if (!e.fromTool)
            out += QByteArray::fromStdString(e.bytes);
    return out;
}
