// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Stats.h"

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

// What the kernel has counted for a thread, or for a process, all its threads
// together.
struct Counters {
    double cpuSeconds = 0;     // time on a CPU
    long long switches = 0;    // voluntary and involuntary context switches
};

struct ProcessCounters {
    std::map<long, Counters> threads; // by thread id
    bool valid = false;
};

ProcessCounters ReadCounters(pid_t pid);
// What the process's threads did between two readings: a thread's counts live
// and die with it, so each thread counts from its first reading (or its start)
// to its last; what a thread did between the last reading and its end is lost.
Counters Between(const ProcessCounters& from, const ProcessCounters& to);
long RssKiB(pid_t pid);        // resident set; -1 when unknown

// A program started by the benchmark, its standard output on a pipe.
struct Child {
    pid_t pid = -1;
    int out = -1;
    Clock::time_point started;
};

Child Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv);
// Reads one line from the child's output, or gives up after timeoutMs.
bool ReadLine(const Child& child, std::string* line, int timeoutMs);
// SIGTERM, then SIGKILL if it lingers; reaps it.
void Terminate(Child& child);

// How a program that runs to its end went, as the kernel counted it.
struct Finished {
    bool exited = false;      // ended on its own within the time given
    int status = -1;          // its exit status
    Clock::time_point ended;  // when its standard output closed
    double cpuSeconds = 0;    // user and system time, all its threads
    long maxRssKiB = 0;       // peak resident set
    std::string output;       // what it wrote on standard output
};

// Reads the child's output until it closes (it is ended with SIGKILL after
// timeoutMs), then reaps it with its resource usage.
Finished WaitForEnd(Child& child, int timeoutMs);

// Watches the X server for top-level windows being mapped. Opened before the
// program under test starts, so that no map can be missed.
class MapWatch
{
public:
    MapWatch();
    ~MapWatch();
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    bool Usable() const;
    // Forgets what was mapped so far.
    void Drain();
    // When the first top-level window of pid is mapped; false after timeoutMs.
    bool WaitForWindowOf(pid_t pid, int timeoutMs, Clock::time_point* mappedAt, std::string* title);

private:
    struct Impl;
    Impl* m_impl = nullptr;
};

} // namespace bench
