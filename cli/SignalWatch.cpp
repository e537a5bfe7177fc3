// SPDX-License-Identifier: GPL-3.0-or-later
#include "SignalWatch.h"

#include "PortJob.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

namespace {

sigset_t WatchedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGWINCH);
    return set;
}

} // namespace

void TSignalWatch::BlockSignals()
{
    const sigset_t set = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TSignalWatch::TSignalWatch(std::atomic<int>& level, Raised raised, Resized resized)
    : m_level(level)
    , m_raised(std::move(raised))
    , m_resized(std::move(resized))
{
    BlockSignals();
    const sigset_t set = WatchedSignals();
    m_signals = signalfd(-1, &set, SFD_CLOEXEC);
    if (pipe2(m_stop, O_CLOEXEC) != 0)
        m_stop[0] = m_stop[1] = -1;
    m_thread = std::thread([this] { Watch(); });
}

TSignalWatch::~TSignalWatch()
{
    if (m_stop[1] >= 0) {
        const char c = 0;
        while (write(m_stop[1], &c, 1) < 0 && errno == EINTR) {
        }
    }
    if (m_thread.joinable())
        m_thread.join();
    for (int fd : {m_signals, m_stop[0], m_stop[1]}) {
        if (fd >= 0)
            close(fd);
    }
}

void TSignalWatch::Watch()
{
    if (m_signals < 0)
        return;
    for (;;) {
        pollfd fds[2] = {{m_signals, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        const int n = poll(fds, m_stop[0] >= 0 ? 2 : 1, -1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || (fds[1].revents & (POLLIN | POLLHUP)) != 0)
            return;
        signalfd_siginfo info{};
        if (read(m_signals, &info, sizeof info) != ssize_t(sizeof info))
            continue;
        if (info.ssi_signo == SIGWINCH) {
            if (m_resized)
                m_resized();
            continue;
        }
        int level = m_level.load();
        while (level < StopAtOnce && !m_level.compare_exchange_weak(level, level + 1)) {
        }
        if (level < StopAtOnce && m_raised)
            m_raised(level + 1);
    }
}
