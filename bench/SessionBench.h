// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Stats.h"

#include <string>
#include <vector>

namespace bench {

// One timed exchange against the virtual module, with the least time the
// worker's rhythm and the line allow for the same answers.
struct Exchange {
    double wallMs = 0;
    double floorMs = 0;       // the rhythm (one cycle per byte of every answer), the line, the fixed delays
    int answers = 0;
    double longestStallMs = 0;
    std::vector<double> latenciesMs; // per answer: next command after the frame was whole
};

// The same exchanges with a module that takes the line's time for every byte.
struct LineSession {
    int baud = 0;
    std::vector<Exchange> reads, writes, connections;
};

struct SessionFigures {
    std::vector<Exchange> reads, writes, connections;
    std::vector<LineSession> lineSessions;
    std::vector<double> searchStallsMs; // one per search
    int searchRows = 0;
    bool searchSorted = false;
    long rssAfterFirstReadKiB = 0, rssAfterWarmUpKiB = 0, rssAfterCyclesKiB = 0;
    long long heapAfterWarmUp = 0, heapAfterCycles = 0; // bytes in use
    int warmUpCycles = 0, cycles = 0;
    std::vector<std::string> problems;
};

struct SessionPlan {
    int runs = 5;        // connections, READs and WRITEs
    int cycles = 100;    // READs in a row for the memory figure
    int searchResults = 1000;
    int searchRuns = 3;
    std::vector<int> lineBauds = {9600, 115200};
    int lineRuns = 3;    // per speed
};

// Runs everything in this process: a virtual module on a pseudo-terminal and a
// main window driven through its buttons and dialogs.
SessionFigures RunSessionBench(const SessionPlan& plan);

// For the idle figures: a main window that connects to device, waits for READ to
// become available (or, from a module that never answers, for the error
// dialog), tells its parent "ready" and then idles until it is ended.
int RunIdleChild(const std::string& device, bool silentModule);

} // namespace bench
