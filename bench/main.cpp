// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-bench: measures RadioSet against the least its serial exchanges can
// take and against a peer Qt serial terminal, and prints one table.

#include "Artwork.h"
#include "CliBench.h"
#include "ProcessProbe.h"
#include "SessionBench.h"
#include "Skin.h"
#include "VirtualModule.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sched.h>
#include <string>
#include <thread>
#include <vector>

using namespace bench;

namespace {

constexpr double GoalOverRhythm = 0.01;      // READ and WRITE above the rhythm's floor
constexpr double GoalConnectionOver = 0.05;  // the connection, which waits on a 200 ms timer
constexpr double GoalLatencyMs = 10.0;       // one worker cycle
constexpr double GoalIdleWakeups = 1.0;      // per second; the least is none
constexpr double GoalStallMs = 16.0;         // one frame at 60 Hz
constexpr double GoalStartUpRatio = 1.3;     // of a bare window
constexpr double GoalMemoryRatio = 1.15;     // of a bare window
constexpr double GoalCliOverLine = 1.1;      // of the line's floor
constexpr double GoalScaleRatio = 1.3;       // 16 modules against one
constexpr int ScaleGoalModules = 16;

struct Options {
    std::string radioset;
    std::string cli;
    std::string pollFloor;
    std::string bareWindow;
    std::string peer = "cutecom";
    std::string idleChildDevice;
    bool idleChildSilent = false;
    int runs = 5;
    int cycles = 100;
    int idleSeconds = 30;
    int results = 1000;
    int lineRuns = 3;
    int scaleRuns = 3;
};

const char* const Usage = R"(Usage: radioset-bench [OPTION]...
Measures RadioSet (in this process against a virtual module, and as a program
under the X display of $DISPLAY) and prints one table on standard output.

  --radioset=PATH     the radioset program (default: ../app/radioset beside this one)
  --cli=PATH          the radioset-cli program (default: ../app/radioset-cli)
  --poll-floor=PATH   the bare 10 ms wait loop (default: radioset-bench-poll beside this one)
  --bare-window=PATH  the bare window (default: radioset-bench-window beside this one)
  --peer=PROGRAM      the Qt serial terminal to compare start-up with (default cutecom)
  --runs=N            connections, READs, WRITEs, start-ups and command-line
                      runs at line speed measured (default 5)
  --cycles=N          READs in a row for the memory figure (default 100)
  --idle-seconds=S    how long idle costs are measured (default 30)
  --results=N         devices a search finds (default 1000)
  --line-runs=N       window sessions per line speed with line time (default 3)
  --scale-runs=N      command-line writes per number of modules (default 3)
)";

bool Value(const char* arg, const char* name, std::string* value)
{
    const size_t n = std::strlen(name);
    if (std::strncmp(arg, name, n) != 0 || arg[n] != '=')
        return false;
    *value = arg + n + 1;
    return true;
}

bool Parse(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        std::string v;
        if (Value(argv[i], "--radioset", &options->radioset) || Value(argv[i], "--peer", &options->peer)
            || Value(argv[i], "--idle-child", &options->idleChildDevice) || Value(argv[i], "--cli", &options->cli)
            || Value(argv[i], "--poll-floor", &options->pollFloor)
            || Value(argv[i], "--bare-window", &options->bareWindow))
            continue;
        if (std::strcmp(argv[i], "--idle-silent") == 0)
            options->idleChildSilent = true;
        else if (Value(argv[i], "--runs", &v))
            options->runs = std::max(1, std::atoi(v.c_str()));
        else if (Value(argv[i], "--cycles", &v))
            options->cycles = std::max(1, std::atoi(v.c_str()));
        else if (Value(argv[i], "--idle-seconds", &v))
            options->idleSeconds = std::max(6, std::atoi(v.c_str()));
        else if (Value(argv[i], "--results", &v))
            options->results = std::max(2, std::atoi(v.c_str()));
        else if (Value(argv[i], "--line-runs", &v))
            options->lineRuns = std::max(1, std::atoi(v.c_str()));
        else if (Value(argv[i], "--scale-runs", &v))
            options->scaleRuns = std::max(1, std::atoi(v.c_str()));
        else
            return false;
    }
    return true;
}

std::string Fmt(const char* format, double a, double b = 0, double c = 0)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

struct Row {
    std::string measure, ours, reference, goal, met;
};

std::string Met(bool known, bool ok)
{
    return known ? (ok ? "yes" : "NO") : "n/a";
}

// ---------------------------------------------------------------- start-up

struct StartUp {
    std::vector<double> mappedMs, rssKiB;
    std::string title;
};

// warmUp: one start first that is not counted, which fills the disk cache.
StartUp MeasureStartUp(MapWatch& watch, const std::string& program, int runs, const std::vector<std::string>& env,
                       bool warmUp)
{
    StartUp result;
    for (int run = warmUp ? 0 : 1; run <= runs; ++run) {
        watch.Drain();
        Child child = Spawn({program}, env);
        if (child.pid < 0)
            return result;
        Clock::time_point mapped;
        std::string title;
        const bool shown = watch.WaitForWindowOf(child.pid, 20000, &mapped, &title);
        if (shown)
            std::this_thread::sleep_for(std::chrono::seconds(1));
        const long rss = RssKiB(child.pid);
        Terminate(child);
        if (!shown)
            return result;
        if (run == 0)
            continue;
        result.mappedMs.push_back(Ms(mapped - child.started));
        result.rssKiB.push_back(static_cast<double>(rss));
        result.title = title;
    }
    return result;
}

// ---------------------------------------------------------------- idle

struct Idle {
    std::vector<double> cpuMsPerMinute, wakeupsPerSecond; // per window
    long long totalWakeups = 0;
    double totalWakeupsPerSecond = 0;                      // over the whole span
    bool valid = false;
};

// Samples the processes over the same windows, so that the load of the machine
// weighs on all of them alike.
void MeasureIdle(const std::vector<pid_t>& pids, int seconds, std::vector<Idle>* idle)
{
    constexpr int Windows = 6;
    const auto window = std::chrono::milliseconds(seconds * 1000 / Windows);
    idle->assign(pids.size(), Idle{});
    std::vector<ProcessCounters> last;
    for (pid_t pid : pids)
        last.push_back(ReadCounters(pid));
    const auto firstT = Clock::now();
    auto lastT = firstT;
    for (int i = 0; i < Windows; ++i) {
        std::this_thread::sleep_for(window);
        const auto now = Clock::now();
        const double s = Ms(now - lastT) / 1000.0;
        for (size_t p = 0; p < pids.size(); ++p) {
            const ProcessCounters counters = ReadCounters(pids[p]);
            if (counters.valid && last[p].valid) {
                const Counters spent = Between(last[p], counters);
                (*idle)[p].cpuMsPerMinute.push_back(spent.cpuSeconds * 1000.0 * 60.0 / s);
                (*idle)[p].wakeupsPerSecond.push_back(static_cast<double>(spent.switches) / s);
                (*idle)[p].totalWakeups += spent.switches;
            }
            last[p] = counters;
        }
        lastT = now;
    }
    // Wake-ups are few: a burst in one window counts as much as a steady trickle.
    const double span = Ms(lastT - firstT) / 1000.0;
    for (Idle& process : *idle) {
        process.valid = process.cpuMsPerMinute.size() == Windows;
        process.totalWakeupsPerSecond = static_cast<double>(process.totalWakeups) / span;
    }
}

// ---------------------------------------------------------------- load

// The machine's load average (over one minute), sampled while the benchmark runs.
class LoadWatch
{
public:
    LoadWatch()
        : m_thread([this] {
              std::unique_lock lock(m_lock);
              while (!m_stop) {
                  Sample();
                  m_wake.wait_for(lock, std::chrono::seconds(5), [this] { return m_stop; });
              }
          })
    {
    }

    ~LoadWatch()
    {
        {
            std::lock_guard lock(m_lock);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    // "min 3.1, mean 4.2, max 6.0 over 87 samples"
    std::string Summary()
    {
        std::lock_guard lock(m_lock);
        if (m_samples.empty())
            return "unknown";
        double sum = 0;
        for (double v : m_samples)
            sum += v;
        return Fmt("min %.2f, mean %.2f, max %.2f", *std::min_element(m_samples.begin(), m_samples.end()),
                   sum / static_cast<double>(m_samples.size()), Max(m_samples));
    }

private:
    void Sample()
    {
        std::ifstream in("/proc/loadavg");
        double one = 0;
        if (in >> one)
            m_samples.push_back(one);
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::vector<double> m_samples;
    std::thread m_thread;
};

std::string CpuModel()
{
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) {
            const size_t colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(line.find_first_not_of(' ', colon + 1));
        }
    }
    return "unknown CPU";
}

// ---------------------------------------------------------------- table

std::vector<double> Field(const std::vector<Exchange>& runs, double Exchange::*field)
{
    std::vector<double> values;
    for (const Exchange& e : runs)
        values.push_back(e.*field);
    return values;
}

Row ExchangeRow(const std::string& measure, const std::vector<Exchange>& runs, double goal)
{
    const std::string goalText = Fmt("<= floor + %.0f %%", goal * 100.0);
    if (runs.empty())
        return {measure, "failed", "-", goalText, "n/a"};
    std::vector<double> over;
    for (const Exchange& e : runs)
        over.push_back(e.wallMs / e.floorMs - 1.0);
    const double overMedian = Median(over);
    return {measure, Fmt("%.0f ms (%+.2f %%)", Median(Field(runs, &Exchange::wallMs)), overMedian * 100.0),
            Fmt("%.0f ms", Median(Field(runs, &Exchange::floorMs))), goalText, Met(true, overMedian <= goal)};
}

Row StallRow(const std::string& measure, const std::vector<Exchange>& runs)
{
    const std::vector<double> stalls = Field(runs, &Exchange::longestStallMs);
    if (stalls.empty())
        return {measure, "failed", "-", "<= 16 ms", "n/a"};
    return {measure, Fmt("%.1f ms (worst %.1f)", Median(stalls), Max(stalls)), "-", "<= 16 ms",
            Met(true, Median(stalls) <= GoalStallMs)};
}

void PrintTable(const std::vector<Row>& rows)
{
    const Row head{"measure", "RadioSet", "floor or peer", "goal", "met?"};
    size_t w[5] = {};
    auto widen = [&w](const Row& r) {
        const std::string* cells[] = {&r.measure, &r.ours, &r.reference, &r.goal, &r.met};
        for (int i = 0; i < 5; ++i)
            w[i] = std::max(w[i], cells[i]->size());
    };
    widen(head);
    for (const Row& r : rows)
        widen(r);
    auto print = [&w](const Row& r) {
        std::printf("| %-*s | %-*s | %-*s | %-*s | %-*s |\n", int(w[0]), r.measure.c_str(), int(w[1]), r.ours.c_str(),
                    int(w[2]), r.reference.c_str(), int(w[3]), r.goal.c_str(), int(w[4]), r.met.c_str());
    };
    print(head);
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(w[0] + 2, '-').c_str(), std::string(w[1] + 2, '-').c_str(),
                std::string(w[2] + 2, '-').c_str(), std::string(w[3] + 2, '-').c_str(),
                std::string(w[4] + 2, '-').c_str());
    for (const Row& r : rows)
        print(r);
}

} // namespace

int main(int argc, char* argv[])
{
    Options options;
    if (!Parse(argc, argv, &options)) {
        std::fputs(Usage, stderr);
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RADIOSET"));
    QApplication::setWindowIcon(Artwork::ApplicationIcon());
    ApplySkin(app);

    if (!options.idleChildDevice.empty())
        return RunIdleChild(options.idleChildDevice, options.idleChildSilent);

    const QDir here(QCoreApplication::applicationDirPath());
    auto beside = [&here](std::string* path, const char* relative) {
        if (path->empty())
            *path = here.filePath(QString::fromLatin1(relative)).toStdString();
    };
    beside(&options.radioset, "../app/radioset");
    beside(&options.cli, "../app/radioset-cli");
    beside(&options.pollFloor, "radioset-bench-poll");
    beside(&options.bareWindow, "radioset-bench-window");
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    std::vector<std::string> problems;
    LoadWatch load;

    // The window program in this process, against the virtual module.
    std::fprintf(stderr, "In-process session (%d runs, %d READ cycles, %d runs per line speed, search of %d)...\n",
                 options.runs, options.cycles, options.lineRuns, options.results);
    SessionPlan plan;
    plan.runs = options.runs;
    plan.cycles = options.cycles;
    plan.searchResults = options.results;
    plan.lineRuns = options.lineRuns;
    const SessionFigures session = RunSessionBench(plan);
    problems.insert(problems.end(), session.problems.begin(), session.problems.end());

    // The command-line program, at line speed and on many modules at once.
    std::fprintf(stderr, "Command line: %s (%d runs per speed, %d per number of modules)...\n", options.cli.c_str(),
                 options.runs, options.scaleRuns);
    CliPlan cliPlan;
    cliPlan.program = options.cli;
    cliPlan.runs = options.runs;
    cliPlan.scaleRuns = options.scaleRuns;
    const CliFigures cli = RunCliBench(cliPlan);
    problems.insert(problems.end(), cli.problems.begin(), cli.problems.end());

    // Start-up and memory of the program, of a bare window and of the peer,
    // under the same display.
    QTemporaryDir home;
    const std::string homePath = home.path().toStdString();
    const std::vector<std::string> env = {"HOME=" + homePath, "XDG_CONFIG_HOME=" + homePath + "/config",
                                          "QT_QPA_PLATFORM=xcb"};
    StartUp ours, bare, peer;
    {
        MapWatch watch;
        if (!watch.Usable()) {
            problems.push_back("no X display to watch: start-up not measured (run under Xvfb)");
        } else {
            std::fprintf(stderr, "Start-up: %s, %s and %s...\n", options.radioset.c_str(),
                         options.bareWindow.c_str(), options.peer.c_str());
            // In turns, so that a change in the machine's load weighs on all three.
            for (int run = 0; run < options.runs; ++run) {
                for (auto [result, program] : {std::pair{&ours, &options.radioset}, std::pair{&bare, &options.bareWindow},
                                               std::pair{&peer, &options.peer}}) {
                    StartUp one = MeasureStartUp(watch, *program, 1, env, run == 0);
                    result->mappedMs.insert(result->mappedMs.end(), one.mappedMs.begin(), one.mappedMs.end());
                    result->rssKiB.insert(result->rssKiB.end(), one.rssKiB.begin(), one.rssKiB.end());
                }
            }
            if (ours.mappedMs.empty())
                problems.push_back("radioset did not show its window: " + options.radioset);
            if (bare.mappedMs.empty())
                problems.push_back("the bare window did not show: " + options.bareWindow);
            if (peer.mappedMs.empty())
                problems.push_back("the peer did not show its window: " + options.peer);
        }
    }

    // Idle cost of the program without a port, with a port open to a module
    // that answered and then falls silent, and with a port open to a module that
    // never answers (the error dialog left open), each main window with a port in
    // this program's child role on a virtual module served from here; beside the
    // bare 10 ms wait loop, all over the same windows.
    std::vector<Idle> idle;
    {
        std::fprintf(stderr, "Idle, %d s...\n", options.idleSeconds);
        radiosim::VirtualModule module, silentModule([] {
            radiosim::Options silent;
            silent.silentFromCommand = 1;
            return silent;
        }());
        std::string error;
        module.start(&error);
        silentModule.start(&error);
        Child closed = Spawn({options.radioset}, env);
        Child open = Spawn({self, "--idle-child=" + module.devicePath()}, env);
        Child silent = Spawn({self, "--idle-child=" + silentModule.devicePath(), "--idle-silent"}, env);
        Child floor = Spawn({options.pollFloor}, env);
        std::string line;
        const bool ready = open.pid > 0 && ReadLine(open, &line, 10000) && line == "ready";
        const bool silentReady = silent.pid > 0 && ReadLine(silent, &line, 10000) && line == "ready";
        const bool floorReady = floor.pid > 0 && ReadLine(floor, &line, 5000) && line == "ready";
        if (closed.pid < 0 || !ready || !silentReady || !floorReady) {
            problems.push_back("idle: a program did not start or connect");
        } else {
            // Past the start, and past the watch that centres a dialog just shown.
            std::this_thread::sleep_for(std::chrono::seconds(2));
            MeasureIdle({closed.pid, open.pid, silent.pid, floor.pid}, options.idleSeconds, &idle);
        }
        Terminate(closed);
        Terminate(open);
        Terminate(silent);
        Terminate(floor);
        module.stop();
        silentModule.stop();
    }

    // ------------------------------------------------------------ the table
    std::vector<Row> rows;
    rows.push_back(ExchangeRow("READ, current module (18 answers)", session.reads, GoalOverRhythm));
    rows.push_back(ExchangeRow("WRITE, 22 commands, to the port closed", session.writes, GoalOverRhythm));
    rows.push_back(ExchangeRow("Connection, OPEN to READ enabled", session.connections, GoalConnectionOver));
    for (const LineSession& line : session.lineSessions) {
        const std::string speed = " at " + std::to_string(line.baud) + " Bd, line time";
        rows.push_back(ExchangeRow("READ" + speed, line.reads, GoalOverRhythm));
        rows.push_back(ExchangeRow("WRITE" + speed, line.writes, GoalOverRhythm));
        rows.push_back(ExchangeRow("Connection" + speed, line.connections, GoalConnectionOver));
    }

    std::vector<double> latencies;
    for (const auto* list : {&session.reads, &session.writes, &session.connections})
        for (const Exchange& e : *list)
            latencies.insert(latencies.end(), e.latenciesMs.begin(), e.latenciesMs.end());
    const std::string latencyMeasure = "Next command after an answer's first byte, above the rhythm";
    if (latencies.empty())
        rows.push_back({latencyMeasure, "failed", "-", "<= 10 ms", "n/a"});
    else
        rows.push_back({latencyMeasure,
                        Fmt("%.1f ms (p95 %.1f, max %.1f)", Median(latencies), Percentile(latencies, 0.95),
                            Max(latencies)),
                        "0 ms", "<= 10 ms (one cycle)", Met(true, Median(latencies) <= GoalLatencyMs)});

    {
        // Idle means asleep: no wake-up at all is the floor, whatever the CPU.
        const std::string goal = Fmt("<= %.0f wake-up/s", GoalIdleWakeups);
        const char* const what[] = {"no port open", "port open, module silent after the handshake",
                                    "port open, module never answers (error shown)"};
        for (size_t i = 0; i < 3; ++i) {
            const std::string measure = std::string("Idle, ") + what[i];
            if (idle.size() != 4 || !idle[i].valid) {
                rows.push_back({measure, "failed", "0 wake-ups/s", goal, "n/a"});
                continue;
            }
            const double wakeups = idle[i].totalWakeupsPerSecond;
            rows.push_back({measure,
                            Fmt("%.2f wake-ups/s; CPU %.1f ms/min", wakeups, Median(idle[i].cpuMsPerMinute)),
                            "0 wake-ups/s", goal, Met(true, wakeups <= GoalIdleWakeups)});
        }
        const std::string reference = "Idle, bare 10 ms wait loop (reference)";
        if (idle.size() == 4 && idle[3].valid)
            rows.push_back({reference, "-",
                            Fmt("%.1f wake-ups/s; CPU %.1f ms/min", idle[3].totalWakeupsPerSecond,
                                Median(idle[3].cpuMsPerMinute)),
                            "-", "-"});
        else
            rows.push_back({reference, "-", "failed", "-", "n/a"});
    }

    rows.push_back(StallRow("Longest UI stall during READ", session.reads));
    rows.push_back(StallRow("Longest UI stall during WRITE", session.writes));
    {
        const bool searched = !session.searchStallsMs.empty() && session.searchRows == options.results
                              && session.searchSorted;
        const std::vector<double>& stalls = session.searchStallsMs;
        rows.push_back({"Longest UI stall, search of " + std::to_string(options.results) + " + sort",
                        searched ? Fmt("%.1f ms (worst %.1f)", Median(stalls), Max(stalls))
                                 : "failed (" + std::to_string(session.searchRows) + " rows)",
                        "-", "<= 16 ms", Met(searched, Median(stalls) <= GoalStallMs)});
    }

    {
        const bool known = !ours.mappedMs.empty() && !bare.mappedMs.empty();
        const bool peerKnown = !peer.mappedMs.empty();
        const double startOurs = Median(ours.mappedMs), startBare = Median(bare.mappedMs);
        const double startPeer = Median(peer.mappedMs);
        rows.push_back({"Start-up to main window mapped",
                        known ? Fmt("%.0f ms (x%.2f)", startOurs, startOurs / startBare) : "n/a",
                        (bare.mappedMs.empty() ? std::string("bare n/a") : Fmt("bare window %.0f ms", startBare))
                            + "; " + options.peer + " " + (peerKnown ? Fmt("%.0f ms", startPeer) : "n/a"),
                        "<= 1.3 x bare; faster than " + options.peer,
                        Met(known && peerKnown, startOurs <= GoalStartUpRatio * startBare && startOurs < startPeer)});
        const double rssOurs = Median(ours.rssKiB) / 1024.0, rssBare = Median(bare.rssKiB) / 1024.0;
        const double rssPeer = Median(peer.rssKiB) / 1024.0;
        rows.push_back({"Resident memory after start-up",
                        known ? Fmt("%.1f MiB (x%.2f)", rssOurs, rssOurs / rssBare) : "n/a",
                        (bare.rssKiB.empty() ? std::string("bare n/a") : Fmt("bare window %.1f MiB", rssBare))
                            + "; " + options.peer + " " + (peerKnown ? Fmt("%.1f MiB", rssPeer) : "n/a"),
                        "<= 1.15 x bare; less than " + options.peer,
                        Met(known && peerKnown, rssOurs <= GoalMemoryRatio * rssBare && rssOurs < rssPeer)});
    }
    if (session.cycles > session.warmUpCycles) {
        const double heapGrowthKiB = static_cast<double>(session.heapAfterCycles - session.heapAfterWarmUp) / 1024.0;
        const double perCycle = heapGrowthKiB / (session.cycles - session.warmUpCycles);
        rows.push_back({"Memory over " + std::to_string(session.cycles) + " READ cycles (in-process)",
                        Fmt("RSS %.1f -> %.1f MiB", session.rssAfterWarmUpKiB / 1024.0,
                            session.rssAfterCyclesKiB / 1024.0)
                            + Fmt(", heap %+.1f KiB", heapGrowthKiB),
                        Fmt("RSS %.1f MiB after cycle 1", session.rssAfterFirstReadKiB / 1024.0),
                        "no growth after cycle " + std::to_string(session.warmUpCycles), Met(true, perCycle < 1.0 && session.rssAfterCyclesKiB - session.rssAfterWarmUpKiB < 1024)});
    } else {
        rows.push_back({"Memory over READ cycles (in-process)", "failed", "-", "no growth", "n/a"});
    }

    for (const CliLineFigures& line : cli.line) {
        const std::string measure = "radioset-cli " + line.command + ", one module at " + std::to_string(line.baud) + " Bd";
        if (line.runs.empty()) {
            rows.push_back({measure, "failed", "-", "<= 1.1 x floor", "n/a"});
            continue;
        }
        std::vector<double> wall, floor, ratio, before, lineRatio;
        double bytes = 0;
        for (const CliRun& r : line.runs) {
            wall.push_back(r.wallMs);
            floor.push_back(r.floorMs);
            ratio.push_back(r.wallMs / r.floorMs);
            before.push_back(r.beforeLineMs);
            lineRatio.push_back((r.wallMs - r.beforeLineMs) / r.floorMs);
            bytes = static_cast<double>(r.bytes);
        }
        // The whole run is what is judged; how much of it came before the
        // first byte (the program's start and the port's opening) is shown.
        rows.push_back({measure,
                        Fmt("%.0f ms (x%.3f); from its first byte x%.3f; ", Median(wall), Median(ratio),
                            Median(lineRatio))
                            + Fmt("%.0f ms before it", Median(before))
                            + (cli.helpMs.empty() ? std::string() : Fmt(" (--help alone %.0f ms)", Median(cli.helpMs))),
                        Fmt("%.0f ms (%.0f bytes at %.3f ms + 200 ms)", Median(floor), bytes, line.characterMs),
                        "<= 1.1 x floor", Met(true, Median(ratio) <= GoalCliOverLine)});
    }
    double oneModuleMs = 0;
    for (const CliScaleFigures& scale : cli.scale) {
        const std::string measure = "radioset-cli write, " + std::to_string(scale.modules) + " module"
                                    + (scale.modules == 1 ? "" : "s") + " at once, " + std::to_string(cli.scaleBaud)
                                    + " Bd";
        const std::string goal = scale.modules == ScaleGoalModules ? "<= 1.3 x one" : "-";
        if (scale.runs.empty()) {
            rows.push_back({measure, "failed", "-", goal, "n/a"});
            continue;
        }
        std::vector<double> wall, cpu, rss;
        for (const CliRun& r : scale.runs) {
            wall.push_back(r.wallMs);
            cpu.push_back(r.cpuMs / scale.modules);
            rss.push_back(static_cast<double>(r.maxRssKiB) / 1024.0);
        }
        const double w = Median(wall);
        if (scale.modules == 1)
            oneModuleMs = w;
        const double ratio = oneModuleMs > 0 ? w / oneModuleMs : 0.0;
        rows.push_back({measure,
                        Fmt("%.0f ms (x%.2f); CPU %.1f ms per module", w, ratio, Median(cpu))
                            + Fmt("; peak RSS %.1f MiB", Max(rss)),
                        oneModuleMs > 0 ? Fmt("one module %.0f ms", oneModuleMs) : "-", goal,
                        scale.modules == ScaleGoalModules ? Met(oneModuleMs > 0, ratio <= GoalScaleRatio) : "-"});
    }

    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    const int nproc = sched_getaffinity(0, sizeof cpus, &cpus) == 0 ? CPU_COUNT(&cpus) : 0;
    std::printf("Machine: %d CPUs (nproc), %s; load average (1 min) during the run: %s\n", nproc,
                CpuModel().c_str(), load.Summary().c_str());
    PrintTable(rows);
    for (const std::string& p : problems)
        std::fprintf(stderr, "problem: %s\n", p.c_str());
    return problems.empty() ? 0 : 1;
}
