// radioset-bench: measures RadioSet against the least its serial exchanges can
// take and against a peer Qt serial terminal, and prints one table.

#include "Artwork.h"
#include "ProcessProbe.h"
#include "SessionBench.h"
#include "Skin.h"
#include "VirtualModule.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace bench;

namespace {

constexpr double GoalOverFloor = 0.05;   // share above the floor
constexpr double GoalLatencyMs = 10.0;   // one worker cycle
constexpr double GoalIdleShare = 0.003;  // of one core
constexpr double GoalStallMs = 16.0;     // one frame at 60 Hz

struct Options {
    std::string radioset;
    std::string peer = "cutecom";
    std::string idleChildDevice;
    int runs = 5;
    int cycles = 100;
    int idleSeconds = 30;
    int results = 1000;
};

const char* const Usage = R"(Usage: radioset-bench [OPTION]...
Measures RadioSet (in this process against a virtual module, and as a program
under the X display of $DISPLAY) and prints one table on standard output.

  --radioset=PATH     the radioset program (default: ../app/radioset beside this one)
  --peer=PROGRAM      the Qt serial terminal to compare start-up with (default cutecom)
  --runs=N            connections, READs, WRITEs and start-ups measured (default 5)
  --cycles=N          READs in a row for the memory figure (default 100)
  --idle-seconds=S    how long idle costs are measured (default 30)
  --results=N         devices a search finds (default 1000)
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
            || Value(argv[i], "--idle-child", &options->idleChildDevice))
            continue;
        if (Value(argv[i], "--runs", &v))
            options->runs = std::max(1, std::atoi(v.c_str()));
        else if (Value(argv[i], "--cycles", &v))
            options->cycles = std::max(1, std::atoi(v.c_str()));
        else if (Value(argv[i], "--idle-seconds", &v))
            options->idleSeconds = std::max(6, std::atoi(v.c_str()));
        else if (Value(argv[i], "--results", &v))
            options->results = std::max(2, std::atoi(v.c_str()));
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

StartUp MeasureStartUp(MapWatch& watch, const std::string& program, int runs, const std::vector<std::string>& env)
{
    StartUp result;
    // The first start fills the disk cache; both programs get one before counting.
    for (int run = 0; run <= runs; ++run) {
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
    std::vector<double> cpuMsPerMinute, wakeupsPerSecond;
};

// Samples both processes over the same windows.
void MeasureIdle(pid_t a, pid_t b, int seconds, Idle* idleA, Idle* idleB)
{
    constexpr int Windows = 6;
    const auto window = std::chrono::milliseconds(seconds * 1000 / Windows);
    ProcessCounters lastA = ReadCounters(a), lastB = ReadCounters(b);
    auto lastT = Clock::now();
    for (int i = 0; i < Windows; ++i) {
        std::this_thread::sleep_for(window);
        const ProcessCounters nowA = ReadCounters(a), nowB = ReadCounters(b);
        const auto now = Clock::now();
        const double s = Ms(now - lastT) / 1000.0;
        if (nowA.valid && lastA.valid) {
            idleA->cpuMsPerMinute.push_back((nowA.cpuSeconds - lastA.cpuSeconds) * 1000.0 * 60.0 / s);
            idleA->wakeupsPerSecond.push_back(static_cast<double>(nowA.switches - lastA.switches) / s);
        }
        if (nowB.valid && lastB.valid) {
            idleB->cpuMsPerMinute.push_back((nowB.cpuSeconds - lastB.cpuSeconds) * 1000.0 * 60.0 / s);
            idleB->wakeupsPerSecond.push_back(static_cast<double>(nowB.switches - lastB.switches) / s);
        }
        lastA = nowA;
        lastB = nowB;
        lastT = now;
    }
}

// ---------------------------------------------------------------- table

std::vector<double> Field(const std::vector<Exchange>& runs, double Exchange::*field)
{
    std::vector<double> values;
    for (const Exchange& e : runs)
        values.push_back(e.*field);
    return values;
}

Row ExchangeRow(const std::string& measure, const std::vector<Exchange>& runs)
{
    if (runs.empty())
        return {measure, "failed", "-", "<= floor + 5 %", "n/a"};
    std::vector<double> over;
    for (const Exchange& e : runs)
        over.push_back(e.wallMs / e.floorMs - 1.0);
    const double overMedian = Median(over);
    std::vector<double> overPaused;
    for (const Exchange& e : runs)
        overPaused.push_back(e.wallMs / e.pausedFloorMs - 1.0);
    return {measure,
            Fmt("%.0f ms (%+.1f %%; %+.1f %% over 2nd)", Median(Field(runs, &Exchange::wallMs)), overMedian * 100.0,
                Median(overPaused) * 100.0),
            Fmt("%.0f ms; 2nd %.0f ms", Median(Field(runs, &Exchange::floorMs)),
                Median(Field(runs, &Exchange::pausedFloorMs))),
            "<= floor + 5 %",
            Met(true, overMedian <= GoalOverFloor)};
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
        return RunIdleChild(options.idleChildDevice);

    if (options.radioset.empty())
        options.radioset =
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../app/radioset")).toStdString();
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    std::vector<std::string> problems;

    // 1, 2, 4 and the memory across cycles: in this process.
    std::fprintf(stderr, "In-process session (%d runs, %d READ cycles, search of %d)...\n", options.runs,
                 options.cycles, options.results);
    SessionPlan plan;
    plan.runs = options.runs;
    plan.cycles = options.cycles;
    plan.searchResults = options.results;
    const SessionFigures session = RunSessionBench(plan);
    problems.insert(problems.end(), session.problems.begin(), session.problems.end());

    // 5: start-up and memory of the program and of the peer, under the same display.
    QTemporaryDir home;
    const std::string homePath = home.path().toStdString();
    const std::vector<std::string> env = {"HOME=" + homePath, "XDG_CONFIG_HOME=" + homePath + "/config",
                                          "QT_QPA_PLATFORM=xcb"};
    StartUp ours, peer;
    {
        MapWatch watch;
        if (!watch.Usable()) {
            problems.push_back("no X display to watch: start-up not measured (run under Xvfb)");
        } else {
            std::fprintf(stderr, "Start-up: %s and %s...\n", options.radioset.c_str(), options.peer.c_str());
            ours = MeasureStartUp(watch, options.radioset, options.runs, env);
            peer = MeasureStartUp(watch, options.peer, options.runs, env);
            if (ours.mappedMs.empty())
                problems.push_back("radioset did not show its window: " + options.radioset);
            if (peer.mappedMs.empty())
                problems.push_back("the peer did not show its window: " + options.peer);
        }
    }

    // 3: idle cost of the program without a port, and of a main window with a
    // port open and idle (this program in its child role, on a virtual module
    // served from here).
    Idle idleClosed, idleOpen;
    {
        std::fprintf(stderr, "Idle, %d s...\n", options.idleSeconds);
        radiosim::VirtualModule module;
        std::string error;
        module.start(&error);
        Child closed = Spawn({options.radioset}, env);
        Child open = Spawn({self, "--idle-child=" + module.devicePath()}, env);
        std::string line;
        const bool ready = open.pid > 0 && ReadLine(open, &line, 10000) && line == "ready";
        if (closed.pid < 0 || !ready) {
            problems.push_back("idle: a program did not start or connect");
        } else {
            std::this_thread::sleep_for(std::chrono::seconds(2));
            MeasureIdle(closed.pid, open.pid, options.idleSeconds, &idleClosed, &idleOpen);
        }
        Terminate(closed);
        Terminate(open);
        module.stop();
    }

    // ------------------------------------------------------------ the table
    std::vector<Row> rows;
    rows.push_back(ExchangeRow("READ, current module (18 answers)", session.reads));
    rows.push_back(ExchangeRow("WRITE, 22 commands", session.writes));
    rows.push_back(ExchangeRow("Connection, OPEN to READ enabled", session.connections));

    std::vector<double> latencies;
    for (const auto* list : {&session.reads, &session.writes, &session.connections})
        for (const Exchange& e : *list)
            latencies.insert(latencies.end(), e.latenciesMs.begin(), e.latenciesMs.end());
    if (latencies.empty())
        rows.push_back({"Answer handled after its last byte, above the rhythm", "failed", "-", "<= 10 ms", "n/a"});
    else
        rows.push_back({"Answer handled after its last byte, above the rhythm",
                        Fmt("%.1f ms (p95 %.1f, max %.1f)", Median(latencies), Percentile(latencies, 0.95),
                            Max(latencies)),
                        "0 ms", "<= 10 ms", Met(true, Median(latencies) <= GoalLatencyMs)});

    auto idleRows = [&rows](const std::string& what, const Idle& idle) {
        if (idle.cpuMsPerMinute.empty()) {
            rows.push_back({"Idle CPU, " + what, "failed", "-", "< 0.3 % of a core", "n/a"});
            return;
        }
        const double cpu = Median(idle.cpuMsPerMinute);
        rows.push_back({"Idle CPU, " + what, Fmt("%.0f ms/min (%.3f %% of a core)", cpu, cpu / 600.0), "-",
                        "< 0.3 % (180 ms/min)", Met(true, cpu / 60000.0 < GoalIdleShare)});
        rows.push_back({"Idle wake-ups, " + what, Fmt("%.0f /s", Median(idle.wakeupsPerSecond)),
                        "100 /s worker rhythm", "-", "-"});
    };
    idleRows("no port open", idleClosed);
    idleRows("port open", idleOpen);

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
    const bool startKnown = !ours.mappedMs.empty() && !peer.mappedMs.empty();
    rows.push_back({"Start-up to main window mapped", ours.mappedMs.empty() ? "n/a" : Fmt("%.0f ms", Median(ours.mappedMs)),
                    peer.mappedMs.empty() ? "n/a" : Fmt("%.0f ms (", Median(peer.mappedMs)) + options.peer + ")",
                    "faster than peer", Met(startKnown, Median(ours.mappedMs) < Median(peer.mappedMs))});
    rows.push_back({"Resident memory after start-up",
                    ours.rssKiB.empty() ? "n/a" : Fmt("%.1f MiB", Median(ours.rssKiB) / 1024.0),
                    peer.rssKiB.empty() ? "n/a" : Fmt("%.1f MiB (", Median(peer.rssKiB) / 1024.0) + options.peer + ")",
                    "less than peer", Met(startKnown, Median(ours.rssKiB) < Median(peer.rssKiB))});
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

    PrintTable(rows);
    for (const std::string& p : problems)
        std::fprintf(stderr, "problem: %s\n", p.c_str());
    return problems.empty() ? 0 : 1;
}
