// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-bench-poll: a reference beside the idle figures, what a process that
// polls on a 10 ms rhythm costs while nothing arrives: one thread waits on the
// same fixed 10 ms grid with the same condition-variable wait as the receive
// worker, cycle after cycle, and does nothing else; the main thread sleeps
// until SIGTERM. Prints "ready" once the loop runs. The receive worker itself
// sleeps while its queue is empty.

#include "CycleSchedule.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

int main()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::mutex lock;
    std::condition_variable signal;
    bool stop = false;
    unsigned long cycles = 0;
    std::thread loop([&] {
        TCycleSchedule schedule(std::chrono::milliseconds(10));
        schedule.Begin();
        std::unique_lock guard(lock);
        while (!stop) {
            ++cycles;
            signal.wait_until(guard, schedule.Next(), [&] { return stop; });
        }
    });
    std::printf("ready\n");
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    {
        std::lock_guard guard(lock);
        stop = true;
    }
    signal.notify_all();
    loop.join();
    return cycles > 0 ? 0 : 1;
}
