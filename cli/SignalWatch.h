// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <thread>

// SIGINT and SIGTERM raise the program's interruption level (PortJob.h), one
// step each, up to StopAtOnce; SIGWINCH says that the terminal changed its size.
// No handler runs: the signals are blocked in every thread and taken from a
// signalfd by a thread of the watch's own, which may then do anything.
//
// Construct it before any other thread starts (they inherit the blocked
// signals); the callbacks run on the watch's thread.
class TSignalWatch final
{
public:
    using Raised = std::function<void(int level)>;
    using Resized = std::function<void()>;

    TSignalWatch(std::atomic<int>& level, Raised raised = {}, Resized resized = {});
    ~TSignalWatch();
    TSignalWatch(const TSignalWatch&) = delete;
    TSignalWatch& operator=(const TSignalWatch&) = delete;

    // Blocks the three signals in the calling thread; the first thing main does.
    static void BlockSignals();

private:
    void Watch();

    std::atomic<int>& m_level;
    Raised m_raised;
    Resized m_resized;
    int m_signals = -1;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
};
