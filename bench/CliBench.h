// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Stats.h"

#include <string>
#include <vector>

namespace bench {

// One run of the command-line program, from its start to its end.
struct CliRun {
    double wallMs = 0;      // spawn to exit
    double floorMs = 0;     // what the line needs for the same bytes (line runs)
    double beforeLineMs = 0; // spawn until its first byte was on the line
    double cpuMs = 0;       // user and system time of the program
    long maxRssKiB = 0;
    long bytes = 0;         // exchanged with one module, both ways
};

struct CliLineFigures {
    std::string command; // read or write
    int baud = 0;
    double characterMs = 0;
    std::vector<CliRun> runs;
};

struct CliScaleFigures {
    int modules = 0;
    std::vector<CliRun> runs;
};

struct CliFigures {
    std::vector<CliLineFigures> line;
    std::vector<CliScaleFigures> scale;
    int scaleBaud = 0;
    std::vector<double> helpMs;  // the program started only to print its help: its start and end alone
    std::vector<std::string> problems;
};

struct CliPlan {
    std::string program;       // radioset-cli
    int runs = 5;              // per command and speed
    std::vector<int> bauds = {9600, 115200};
    std::vector<int> sizes = {1, 4, 16, 64};
    int scaleRuns = 3;         // per size
    int scaleBaud = 9600;
};

// Runs radioset-cli against virtual modules of this process that take the
// line's time for every byte.
CliFigures RunCliBench(const CliPlan& plan);

} // namespace bench
