// SPDX-License-Identifier: GPL-3.0-or-later
#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

constexpr int Caught[] = {SIGTERM, SIGHUP, SIGINT};

// The write end of the pipe from the handler to the event loop; -1 when no
// object listens.
std::atomic<int> g_writeEnd{-1};

void SetDefaultActions()
{
    for (int number : Caught)
        ::signal(number, SIG_DFL);
}

// Runs in whatever thread the signal lands on: only calls that are safe in a
// signal handler.
void OnSignal(int number)
{
    const int savedErrno = errno;
    SetDefaultActions();
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(number);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

TTerminationSignals::TTerminationSignals(QObject* parent)
    : QObject(parent)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0)
        return;
    m_readEnd = ends[0];
    g_writeEnd.store(ends[1]);
    m_notifier = new QSocketNotifier(m_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TTerminationSignals::Drain);

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int number : Caught)
        sigaddset(&action.sa_mask, number);
    action.sa_flags = SA_RESTART;
    for (int number : Caught)
        ::sigaction(number, &action, nullptr);
}

TTerminationSignals::~TTerminationSignals()
{
    SetDefaultActions();
    delete m_notifier;
    const int writeEnd = g_writeEnd.exchange(-1);
    if (writeEnd >= 0)
        ::close(writeEnd);
    if (m_readEnd >= 0)
        ::close(m_readEnd);
}

void TTerminationSignals::Drain()
{
    unsigned char byte = 0;
    while (::read(m_readEnd, &byte, 1) == 1)
        emit Received(byte);
}
