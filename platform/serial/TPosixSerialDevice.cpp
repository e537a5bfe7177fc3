// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPosixSerialDevice.h"

#include "PortHolders.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

void CloseQuietly(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

static_assert(EIO == 5 && ENXIO == 6 && ENODEV == 19 && EBUSY == 16 && EWOULDBLOCK == 11,
              "SerialDeviceGone and SerialPortHeld assume Linux error numbers");

} // namespace

TPosixSerialDevice::~TPosixSerialDevice()
{
    Close();
}

QString TPosixSerialDevice::DevicePath(const QString& name)
{
    if (name.startsWith(u'/'))
        return name;
    return QStringLiteral("/dev/") + name;
}

int TPosixSerialDevice::Open(const QString& name)
{
    std::unique_lock lock(m_lock);
    if (m_fd >= 0)
        return EBUSY;

    const QByteArray path = QFile::encodeName(DevicePath(name));
    // Non-blocking so that neither opening (no carrier wait) nor reading waits;
    // no controlling terminal, so the module's bytes never raise signals here.
    int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;

    auto fail = [&fd](int error) {
        CloseQuietly(fd);
        return error;
    };

    if (const int error = TermiosLine::CheckTerminal(fd))
        return fail(error == EINVAL ? ENOTTY : error);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(errno);
    // The lock and exclusive mode keep out those who come later; a program that
    // had the port open before, without locking, would still share the line and
    // take part of every answer. Looked for only now, so that none can slip in
    // between the look and the lock.
    if (FindPortHolder(DevicePath(name)))
        return fail(EBUSY);
    // Opening a terminal raises DTR and RTS; the module must see both inactive.
    // Pseudo-terminals have no modem lines and say so; that is no failure.
    const int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIC, &lines) != 0 && errno != ENOTTY && errno != EINVAL)
        return fail(errno);

    int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd < 0)
        return fail(errno);
    int pollFd = ::epoll_create1(EPOLL_CLOEXEC);
    if (pollFd < 0) {
        const int error = errno;
        CloseQuietly(stopFd);
        return fail(error);
    }
    epoll_event stopEvent {};
    stopEvent.events = EPOLLIN;
    stopEvent.data.fd = stopFd;
    // The device itself is watched edge-triggered: a line event is the arrival
    // of bytes, not their presence, so bytes a handler leaves waiting do not
    // raise event after event. Hang-up and error are always reported.
    epoll_event lineEvent {};
    lineEvent.events = EPOLLET;
    lineEvent.data.fd = fd;
    if (::epoll_ctl(pollFd, EPOLL_CTL_ADD, stopFd, &stopEvent) != 0
        || ::epoll_ctl(pollFd, EPOLL_CTL_ADD, fd, &lineEvent) != 0) {
        const int error = errno;
        CloseQuietly(pollFd);
        CloseQuietly(stopFd);
        return fail(error);
    }

    m_fd = fd;
    m_stopFd = stopFd;
    m_pollFd = pollFd;
    m_eventMask = 0;
    return 0;
}

void TPosixSerialDevice::Close()
{
    std::unique_lock lock(m_lock);
    ReleaseDescriptors();
}

void TPosixSerialDevice::ReleaseDescriptors()
{
    if (m_fd >= 0)
        ::ioctl(m_fd, TIOCNXCL);
    CloseQuietly(m_pollFd);
    CloseQuietly(m_stopFd);
    // Closing also drops the advisory lock.
    CloseQuietly(m_fd);
    m_eventMask = 0;
}

int TPosixSerialDevice::SetQueueSizes(qint32 inputSize, qint32 outputSize)
{
    // The kernel sizes its own queues; only nonsense is refused.
    std::shared_lock lock(m_lock);
    if (m_fd < 0)
        return EBADF;
    return inputSize > 0 && outputSize > 0 ? 0 : EINVAL;
}

int TPosixSerialDevice::SetLine(const SerialLineSettings& line)
{
    std::shared_lock lock(m_lock);
    if (m_fd < 0)
        return EBADF;
    if (const int error = TermiosLine::Apply(m_fd, line))
        return error;

    // Modem lines held by the program rather than by a handshake.
    const int dtr = TIOCM_DTR;
    const int rts = TIOCM_RTS;
    auto control = [this](unsigned long request, const int* bits) {
        if (::ioctl(m_fd, request, bits) != 0 && errno != ENOTTY && errno != EINVAL)
            return errno;
        return 0;
    };
    if (line.DtrControl != 2) {
        if (const int error = control(line.DtrControl == 1 ? TIOCMBIS : TIOCMBIC, &dtr))
            return error;
    }
    if (line.RtsControl == 0 || line.RtsControl == 1) {
        if (const int error = control(line.RtsControl == 1 ? TIOCMBIS : TIOCMBIC, &rts))
            return error;
    }
    return 0;
}

int TPosixSerialDevice::SetTimeouts(const SerialTimeouts& timeouts)
{
    std::unique_lock lock(m_lock);
    if (m_fd < 0)
        return EBADF;
    if (timeouts.WriteTotalMultiplier < 0 || timeouts.WriteTotalConstant < 0)
        return EINVAL;
    // Reads always return at once with what is there (the descriptor never
    // blocks); only the write bound is kept.
    m_timeouts = timeouts;
    return 0;
}

int TPosixSerialDevice::SetEventMask(quint32 events)
{
    std::unique_lock lock(m_lock);
    if (m_fd < 0)
        return EBADF;
    epoll_event lineEvent {};
    lineEvent.events = EPOLLET | ((events & SerialEvent::RxChar) ? EPOLLIN : 0u);
    lineEvent.data.fd = m_fd;
    if (::epoll_ctl(m_pollFd, EPOLL_CTL_MOD, m_fd, &lineEvent) != 0)
        return errno;
    m_eventMask = events;
    return 0;
}

int TPosixSerialDevice::Flush(int queue)
{
    std::shared_lock lock(m_lock);
    if (m_fd < 0)
        return EBADF;
    if (::tcflush(m_fd, queue) == 0)
        return 0;
    // A device that has gone away holds nothing any more.
    return SerialDeviceGone(errno) ? 0 : errno;
}

// Unread input is dropped. Output is dropped only while the driver still holds
// some (a write cut short by flow control, say): a finished write has left the
// driver already. A pseudo-terminal holds none, yet hands written bytes to the
// other end a moment later; flushing its output would take back the "ATZ"
// written just before a close.
int TPosixSerialDevice::DropPending()
{
    int queue = TCIFLUSH;
    {
        std::shared_lock lock(m_lock);
        int pending = 0;
        if (m_fd >= 0 && (::ioctl(m_fd, TIOCOUTQ, &pending) != 0 || pending > 0))
            queue = TCIOFLUSH;
    }
    return Flush(queue);
}

int TPosixSerialDevice::AbortTransfers()
{
    return DropPending();
}

int TPosixSerialDevice::ClearQueues()
{
    return DropPending();
}

int TPosixSerialDevice::Write(const char* data, qint32 size, qint32& written)
{
    written = 0;
    std::shared_lock lock(m_lock);
    if (m_fd < 0)
        return EBADF;
    if (size <= 0)
        return 0;

    const qint64 limitMs = qint64(m_timeouts.WriteTotalMultiplier) * size + m_timeouts.WriteTotalConstant;
    const bool limited = limitMs > 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    auto remainingMs = [&]() -> int {
        if (!limited)
            return -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return left > 0 ? int(std::min<qint64>(left, 60'000)) : 0;
    };

    while (written < size) {
        const ssize_t n = ::write(m_fd, data + written, size_t(size - written));
        if (n > 0) {
            written += qint32(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return errno;
        // The driver's queue is full: wait for room, up to the write bound.
        const int wait = remainingMs();
        if (limited && wait == 0)
            return 0; // cut short by the time-out, which is no failure
        pollfd p { m_fd, POLLOUT, 0 };
        const int ready = ::poll(&p, 1, wait);
        if (ready < 0 && errno != EINTR)
            return errno;
        if (ready > 0 && !(p.revents & POLLOUT) && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            return EIO;
    }

    // The bytes are with the driver; the write is finished when they have left
    // it, so that a purge or close right after it cannot drop them.
    for (;;) {
        int pending = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &pending) != 0 || pending <= 0)
            break;
        const int wait = remainingMs();
        if (limited && wait == 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
}

int TPosixSerialDevice::Read(char* data, qint32 size, qint32& got)
{
    got = 0;
    std::shared_lock lock(m_lock);
    if (m_fd < 0)
        return EBADF;
    if (size <= 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, data, size_t(size));
        if (n >= 0) {
            // 0 is end of file from a hung-up device: nothing to take.
            got = qint32(n);
            return 0;
        }
        if (errno == EINTR)
            continue;
        return errno == EAGAIN ? 0 : errno;
    }
}

int TPosixSerialDevice::InputCount(qint32& count)
{
    count = 0;
    std::shared_lock lock(m_lock);
    if (m_fd < 0)
        return EBADF;
    int waiting = 0;
    if (::ioctl(m_fd, FIONREAD, &waiting) != 0)
        return errno;
    count = waiting;
    return 0;
}

SerialWaitResult TPosixSerialDevice::WaitEvent(quint32& events, int& error)
{
    return WaitEventFor(events, error, -1);
}

SerialWaitResult TPosixSerialDevice::WaitEventFor(quint32& events, int& error, int timeoutMs)
{
    events = 0;
    error = 0;
    // Not under the lock: this wait has no end of its own, and the caller
    // guarantees the device stays open while it runs.
    const int pollFd = m_pollFd;
    const int stopFd = m_stopFd;
    const int fd = m_fd;
    if (pollFd < 0) {
        error = EBADF;
        return SerialWaitResult::Failed;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = left > 0 ? int(left) : 0;
        }
        epoll_event ready[2] {};
        const int n = ::epoll_wait(pollFd, ready, 2, wait);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return SerialWaitResult::Failed;
        }
        if (n == 0 && timeoutMs >= 0 && Clock::now() >= deadline)
            return SerialWaitResult::TimedOut;
        bool line = false;
        quint32 lineBits = 0;
        for (int i = 0; i < n; ++i) {
            if (ready[i].data.fd == stopFd)
                return SerialWaitResult::Stopped;
            if (ready[i].data.fd == fd) {
                line = true;
                lineBits |= ready[i].events;
            }
        }
        if (!line)
            continue;
        if (lineBits & (EPOLLHUP | EPOLLERR))
            return SerialWaitResult::Gone;
        if ((lineBits & EPOLLIN) && (m_eventMask & SerialEvent::RxChar)) {
            events = SerialEvent::RxChar;
            return SerialWaitResult::Event;
        }
    }
}

void TPosixSerialDevice::StopWait()
{
    std::shared_lock lock(m_lock);
    if (m_stopFd < 0)
        return;
    const quint64 one = 1;
    // The counter only has to become non-zero; it is never read back.
    [[maybe_unused]] const ssize_t n = ::write(m_stopFd, &one, sizeof one);
}

int TPosixSerialDevice::ReadLine(TermiosLine::Readback& readback) const
{
    std::shared_lock lock(m_lock);
    if (m_fd < 0)
        return EBADF;
    return TermiosLine::Read(m_fd, readback);
}
