// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A pseudo-terminal for port tests: the test keeps the master (the module's end,
// non-blocking) and hands the slave's path to the code under test.
#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

// The module's end of the line.
class Pty
{
public:
    Pty()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        char name[128] = {};
        if (::ptsname_r(m_master, name, sizeof name) != 0)
            return;
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_slave = QString::fromLocal8Bit(name);
    }
    ~Pty() { CloseMaster(); }
    Q_DISABLE_COPY_MOVE(Pty)

    bool Valid() const { return m_master >= 0 && !m_slave.isEmpty(); }
    QString SlavePath() const { return m_slave; }
    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    bool Send(const QByteArray& bytes) { return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size(); }
    // Everything received so far.
    QByteArray Received()
    {
        char buffer[256];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_received.append(buffer, n);
        }
        return m_received;
    }

private:
    int m_master = -1;
    QString m_slave;
    QByteArray m_received;
};
