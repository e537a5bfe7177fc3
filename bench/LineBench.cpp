// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-bench-line: the production line's goals, measured on the line's own
// parts in this process against virtual modules, and printed as one table:
//   - from a port's appearance to the first byte on its line;
//   - the search for the speed: a module at 1200 Bd (last of the automatic
//     speeds) to its first "OK", and one at 9600 Bd beside a plain 9600 run,
//     with every byte taking its time on the line;
//   - a line of many units in a row, adapters plugged and pulled and fixtures
//     swapping modules: every unit configured exactly once, every record in
//     the log, the memory held after the first 20 units.

#include "AllocatedBytes.h"
#include "AnnouncedPorts.h"
#include "ProductionLine.h"
#include "SpeedSearch.h"
#include "Stats.h"
#include "VirtualModule.h"
#include "WriteNameJob.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using bench::Clock;
using bench::Ms;

namespace {

constexpr double GoalFirstByteMs = 300;
constexpr double GoalAutoAt1200Ms = 5000;
constexpr double GoalGrowthKiB = 1024;

struct Row {
    std::string measure, ours, goal, met;
};

std::string Fixed(double value, const char* unit, int decimals = 0)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit);
    return text;
}

// Runs the event loop until `done` or the time is up; false when the time ran out.
bool RunUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
    }
    return true;
}

// When the module's answer "OK" had left it whole: the first time after `from`.
std::optional<Clock::time_point> FirstOk(const std::vector<radiosim::TranscriptEntry>& transcript)
{
    std::string sent;
    for (const radiosim::TranscriptEntry& entry : transcript) {
        if (entry.fromTool)
            continue;
        sent += entry.bytes;
        if (sent.find("\r\nOK\r\n") != std::string::npos)
            return entry.when;
    }
    return std::nullopt;
}

struct Rig {
    Rig()
    {
        announced = dir.filePath(QStringLiteral("announced"));
        folder = dir.filePath(QStringLiteral("line"));
        QDir().mkpath(announced);
        QDir().mkpath(folder);
        QFile::setPermissions(announced, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    radiosim::Options Module(const std::string& link, unsigned serial)
    {
        radiosim::Options o;
        o.announce = true;
        o.announceFolder = announced.toStdString();
        o.linkPath = QDir(folder).filePath(QString::fromStdString(link)).toStdString();
        char address[16];
        std::snprintf(address, sizeof address, "00A0C1%06X", serial << 12);
        o.localAddress = address;
        o.swapSilenceMs = 200;
        return o;
    }

    QTemporaryDir dir;
    QString announced, folder;
};

// ---------------------------------------------------------------- appearance

std::vector<double> AppearanceToFirstByte(int runs, std::vector<std::string>* problems)
{
    Rig rig;
    radiosim::VirtualModule module(rig.Module("adapter-1", 1));
    std::string error;
    if (!module.start(&error)) {
        problems->push_back("virtual module: " + error);
        return {};
    }
    module.unplug();
    TLinePlan plan;
    plan.Globs = {rig.folder + QStringLiteral("/adapter-*")};
    TProductionLine line(plan, MakeAnnouncedPortSource(rig.announced), WriteNameJob);
    int ended = 0;
    QObject::connect(&line, &TProductionLine::UnitEnded, [&ended](const TUnitRecord&) { ++ended; });
    line.Start();
    std::vector<double> figures;
    for (int run = 0; run < runs; ++run) {
        module.clearTranscript();
        const Clock::time_point plugged = Clock::now();
        if (!module.plug(&error)) {
            problems->push_back("plug: " + error);
            break;
        }
        if (!RunUntil([&] { return ended > run; }, 20000)) {
            problems->push_back("appearance: no unit after a plug");
            break;
        }
        const std::vector<radiosim::TranscriptEntry> transcript = module.transcript();
        for (const radiosim::TranscriptEntry& entry : transcript) {
            if (entry.fromTool) {
                figures.push_back(Ms(entry.when - plugged));
                break;
            }
        }
        module.unplug();
        RunUntil([] { return false; }, 150);
    }
    return figures;
}

// ---------------------------------------------------------------- speed search

struct SearchRun {
    double firstOkMs = 0;
    double identifiedMs = 0;
};

std::optional<SearchRun> Search(long uart, const QList<qint32>& speeds, std::vector<std::string>* problems)
{
    radiosim::Options o;
    o.uartBaud = uart;
    o.lineTime = true;
    radiosim::VirtualModule module(o);
    std::string error;
    if (!module.start(&error)) {
        problems->push_back("virtual module: " + error);
        return std::nullopt;
    }
    TModuleLine line;
    TLineOptions options;
    options.Baud = speeds.first();
    const Clock::time_point started = Clock::now();
    if (line.Open(QString::fromStdString(module.devicePath()), options)) {
        problems->push_back("search: the module's line did not open");
        return std::nullopt;
    }
    TSequencerState state;
    TParameters read, edit;
    TModuleExchange exchange(state, read, edit);
    const TSpeedSearch found = FindSpeed(line, exchange, options, speeds);
    const Clock::time_point identified = Clock::now();
    line.Send(RestartCommand());
    line.Close();
    const std::optional<Clock::time_point> ok = FirstOk(module.transcript());
    if (!found.Speed || *found.Speed != uart || found.Last.End != TExchangeEnd::Identified || !ok) {
        problems->push_back("search: the module at " + std::to_string(uart) + " Bd was not found");
        return std::nullopt;
    }
    return SearchRun{Ms(*ok - started), Ms(identified - started)};
}

// ---------------------------------------------------------------- a line of units

struct LineFigures {
    int units = 0, passed = 0, logged = 0, distinctUnits = 0;
    int configuredOnce = 0, configuredTwice = 0, modulesDone = 0;
    double seconds = 0;
    double growthKiB = 0;
};

LineFigures RunLine(int units, int adapters, int fixtures, std::vector<std::string>* problems)
{
    LineFigures f;
    Rig rig;
    std::vector<std::unique_ptr<radiosim::VirtualModule>> modules;
    std::map<QString, radiosim::VirtualModule*> byLink;
    for (int i = 0; i < adapters + fixtures; ++i) {
        const bool fixture = i >= adapters;
        const std::string link = (fixture ? "adapter-fixture-" : "adapter-usb-") + std::to_string(i);
        auto module = std::make_unique<radiosim::VirtualModule>(rig.Module(link, unsigned(i + 1)));
        std::string error;
        if (!module->start(&error)) {
            problems->push_back("virtual module: " + error);
            return f;
        }
        byLink[QDir(rig.folder).filePath(QString::fromStdString(link))] = module.get();
        modules.push_back(std::move(module));
    }
    const QString logPath = rig.dir.filePath(QStringLiteral("units.jsonl"));
    TUnitLog log;
    QString error;
    if (!log.Open(logPath, &error)) {
        problems->push_back("log: " + error.toStdString());
        return f;
    }
    TLinePlan plan;
    plan.Globs = {rig.folder + QStringLiteral("/adapter-*")};
    plan.Count = units;
    plan.PollIntervalMs = 100;
    TProductionLine line(plan, MakeAnnouncedPortSource(rig.announced), WriteNameJob, &log);
    qint64 allocatedAt20 = 0, allocatedAtEnd = 0;
    bool finished = false;
    QObject::connect(&line, &TProductionLine::Finished, [&finished] { finished = true; });
    QObject::connect(&line, &TProductionLine::UnitEnded, [&](const TUnitRecord& record) {
        ++f.units;
        f.passed += record.Passed ? 1 : 0;
        radiosim::VirtualModule* module = byLink[record.Port];
        if (!module)
            return;
        module->clearTranscript();
        if (record.Port.contains(QStringLiteral("fixture"))) {
            module->swapModule();
        } else {
            // The technician pulls the adapter, and plugs the next one in a moment later.
            module->unplug();
            QTimer::singleShot(100, [module] { module->plug(); });
        }
        if (f.units == 20)
            allocatedAt20 = AllocatedBytes();
    });
    const Clock::time_point started = Clock::now();
    line.Start();
    if (!RunUntil([&finished] { return finished; }, units * 5000))
        problems->push_back("line: the units did not all end in time");
    f.seconds = Ms(Clock::now() - started) / 1000.0;
    allocatedAtEnd = AllocatedBytes();
    f.growthKiB = double(allocatedAtEnd - allocatedAt20) / 1024.0;

    QFile file(logPath);
    QSet<int> numbers;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& entry : file.readAll().split('\n')) {
            if (entry.isEmpty())
                continue;
            const QJsonObject o = QJsonDocument::fromJson(entry).object();
            if (!o.isEmpty()) {
                ++f.logged;
                numbers.insert(o.value(u"unit").toInt());
            }
        }
    }
    f.distinctUnits = int(numbers.size());
    for (auto& module : modules) {
        module->stop();
        for (const std::string& entry : module->history()) {
            if (entry.find(" configured=0 ") != std::string::npos)
                continue;  // still waiting on the line at the end, never a unit
            ++f.modulesDone;
            f.configuredOnce += entry.find(" configured=1 ") != std::string::npos ? 1 : 0;
            f.configuredTwice += entry.find(" configured=1 ") == std::string::npos ? 1 : 0;
        }
    }
    return f;
}

int IntOption(int argc, char** argv, const char* name, int fallback)
{
    const std::string prefix = std::string("--") + name + "=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0)
            return std::atoi(argv[i] + prefix.size());
    return fallback;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = IntOption(argc, argv, "runs", 10);
    const int searchRuns = IntOption(argc, argv, "search-runs", 3);
    const int units = IntOption(argc, argv, "units", 200);
    std::vector<std::string> problems;
    std::vector<Row> rows;

    std::fprintf(stderr, "Production line: appearance to first byte (%d plugs)...\n", runs);
    const std::vector<double> firstByte = AppearanceToFirstByte(runs, &problems);
    rows.push_back({"Port appears -> first byte on its line (median / max of " + std::to_string(firstByte.size()) + ")",
                    Fixed(bench::Median(firstByte), "ms") + " / " + Fixed(bench::Max(firstByte), "ms"),
                    "<= 300 ms", !firstByte.empty() && bench::Max(firstByte) <= GoalFirstByteMs ? "yes" : "no"});

    std::fprintf(stderr, "Production line: speed search (%d runs each)...\n", searchRuns);
    std::vector<double> at1200, auto9600, plain9600, autoId9600, plainId9600;
    for (int run = 0; run < searchRuns; ++run) {
        if (const auto r = Search(1200, AutoSpeeds(), &problems))
            at1200.push_back(r->firstOkMs);
        if (const auto r = Search(9600, AutoSpeeds(), &problems)) {
            auto9600.push_back(r->firstOkMs);
            autoId9600.push_back(r->identifiedMs);
        }
        if (const auto r = Search(9600, {9600}, &problems)) {
            plain9600.push_back(r->firstOkMs);
            plainId9600.push_back(r->identifiedMs);
        }
    }
    rows.push_back({"--baud auto, module at 1200 Bd: to the first OK (median / max)",
                    Fixed(bench::Median(at1200), "ms") + " / " + Fixed(bench::Max(at1200), "ms"), "<= 5000 ms",
                    !at1200.empty() && bench::Max(at1200) <= GoalAutoAt1200Ms ? "yes" : "no"});
    // Within a millisecond or two of scheduling noise.
    const bool noSlower = !auto9600.empty() && !plain9600.empty()
                          && bench::Median(auto9600) <= bench::Median(plain9600) + 5.0;
    rows.push_back({"--baud auto vs plain, module at 9600 Bd: to the first OK (median)",
                    Fixed(bench::Median(auto9600), "ms") + " vs " + Fixed(bench::Median(plain9600), "ms"),
                    "no slower", noSlower ? "yes" : "no"});
    rows.push_back({"  the same to the model named (median)",
                    Fixed(bench::Median(autoId9600), "ms") + " vs " + Fixed(bench::Median(plainId9600), "ms"), "", ""});

    std::fprintf(stderr, "Production line: %d units (3 adapters plugged and pulled, 2 fixtures swapping)...\n", units);
    const LineFigures line = RunLine(units, 3, 2, &problems);
    const bool all = line.units == units && line.passed == units && line.logged == units && line.distinctUnits == units;
    rows.push_back({std::to_string(units) + " units in a row: ended / passed / logged / numbers",
                    std::to_string(line.units) + " / " + std::to_string(line.passed) + " / " + std::to_string(line.logged)
                        + " / " + std::to_string(line.distinctUnits),
                    "all " + std::to_string(units), all ? "yes" : "no"});
    rows.push_back({"  modules configured exactly once / more than once",
                    std::to_string(line.configuredOnce) + " / " + std::to_string(line.configuredTwice),
                    std::to_string(units) + " / 0",
                    line.configuredOnce == units && line.configuredTwice == 0 ? "yes" : "no"});
    rows.push_back({"  memory allocated after unit 20, growth to the end", Fixed(line.growthKiB, "KiB", 1), "<= 1024 KiB",
                    line.units == units && line.growthKiB <= GoalGrowthKiB ? "yes" : "no"});
    rows.push_back({"  units per hour (5 ports, no line time)", Fixed(line.units / line.seconds * 3600.0, "/h"), "", ""});

    size_t w[4] = {7, 8, 4, 4};
    for (const Row& r : rows) {
        w[0] = std::max(w[0], r.measure.size());
        w[1] = std::max(w[1], r.ours.size());
        w[2] = std::max(w[2], r.goal.size());
        w[3] = std::max(w[3], r.met.size());
    }
    const auto print = [&w](const Row& r) {
        std::printf("| %-*s | %-*s | %-*s | %-*s |\n", int(w[0]), r.measure.c_str(), int(w[1]), r.ours.c_str(),
                    int(w[2]), r.goal.c_str(), int(w[3]), r.met.c_str());
    };
    print({"Production line", "RadioSet", "goal", "met?"});
    std::printf("|%s|%s|%s|%s|\n", std::string(w[0] + 2, '-').c_str(), std::string(w[1] + 2, '-').c_str(),
                std::string(w[2] + 2, '-').c_str(), std::string(w[3] + 2, '-').c_str());
    for (const Row& r : rows)
        print(r);
    for (const std::string& p : problems)
        std::fprintf(stderr, "problem: %s\n", p.c_str());
    return problems.empty() ? 0 : 1;
}
