// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliBench.h"

#include "LineTime.h"
#include "ProcessProbe.h"
#include "VirtualModule.h"

#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <memory>
#include <termios.h>
#include <thread>

namespace bench {

namespace {

// The program waits this long between the lone CR and the debug character.
constexpr double DebugCharDelayMs = 200.0;
constexpr int RunLimitMs = 120000;

double CharacterMs(int baud)
{
    termios line{};
    cfmakeraw(&line);
    line.c_cflag = CS8 | CREAD | CLOCAL;
    speed_t speed = B9600;
    switch (baud) {
    case 115200:
        speed = B115200;
        break;
    case 57600:
        speed = B57600;
        break;
    case 38400:
        speed = B38400;
        break;
    case 19200:
        speed = B19200;
        break;
    default:
        speed = B9600;
        break;
    }
    cfsetospeed(&line, speed);
    cfsetispeed(&line, speed);
    return std::chrono::duration<double, std::milli>(radiosim::CharacterOnLine(line).time).count();
}

// The least the exchange in the transcript can take on the line: every byte
// after the lone CR at the character time, one after the other (each answer
// follows its command, each command the answer before), plus the pause before
// the debug character. The CR itself goes out during that pause. The restart
// command that follows the last answer is not waited for, so it is left out.
// The virtual module answers at once, so no answer delay adds to it.
void Analyse(const std::vector<radiosim::TranscriptEntry>& transcript, double characterMs, Clock::time_point started,
             CliRun* run)
{
    size_t last = transcript.size();
    for (size_t i = transcript.size(); i-- > 0;) {
        if (!transcript[i].fromTool) {
            last = i;
            break;
        }
    }
    long bytes = 0;
    for (size_t i = 0; i <= last && i < transcript.size(); ++i)
        bytes += static_cast<long>(transcript[i].bytes.size());
    run->bytes = bytes;
    run->floorMs = DebugCharDelayMs + static_cast<double>(std::max(0L, bytes - 1)) * characterMs;
    if (!transcript.empty())
        run->beforeLineMs = Ms(transcript.front().when - started) - characterMs;
}

bool WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out);
}

struct Modules {
    std::vector<std::unique_ptr<radiosim::VirtualModule>> list;

    bool Start(size_t count, std::vector<std::string>* problems)
    {
        while (list.size() < count) {
            radiosim::Options options;
            options.lineTime = true;
            auto module = std::make_unique<radiosim::VirtualModule>(options);
            std::string error;
            if (!module->start(&error)) {
                problems->push_back("virtual module: " + error);
                return false;
            }
            list.push_back(std::move(module));
        }
        return true;
    }
};

// Runs the program once; false (with the reason noted) when it failed.
bool RunOnce(const std::vector<std::string>& argv, CliRun* run, Clock::time_point* started,
             std::vector<std::string>* problems)
{
    Child child = Spawn(argv, {});
    *started = child.started;
    if (child.pid < 0) {
        problems->push_back("radioset-cli did not start: " + argv.front());
        return false;
    }
    const Finished end = WaitForEnd(child, RunLimitMs);
    run->wallMs = Ms(end.ended - child.started);
    run->cpuMs = end.cpuSeconds * 1000.0;
    run->maxRssKiB = end.maxRssKiB;
    if (!end.exited || end.status != 0) {
        problems->push_back("radioset-cli " + argv[1] + " ended with status " + std::to_string(end.status));
        return false;
    }
    return true;
}

// Lets the line settle after a run: the restart command still on its way and
// the module's restart.
void Settle()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

} // namespace

CliFigures RunCliBench(const CliPlan& plan)
{
    CliFigures figures;
    figures.scaleBaud = plan.scaleBaud;
    QTemporaryDir dir;
    const std::string profile = dir.path().toStdString() + "/bench.ini";
    if (!WriteText(profile, "[BLUETOOTH]\nDEVICE NAME = BENCH-{n}\n")) {
        figures.problems.push_back("cannot write the profile " + profile);
        return figures;
    }
    int largest = 1;
    for (int n : plan.sizes)
        largest = std::max(largest, n);
    Modules modules;
    if (!modules.Start(1, &figures.problems))
        return figures;

    // What starting and ending the program costs on its own.
    for (int run = 0; run < plan.runs; ++run) {
        Child child = Spawn({plan.program, "--help"}, {});
        if (child.pid < 0)
            break;
        const Finished end = WaitForEnd(child, RunLimitMs);
        if (end.exited && end.status == 0)
            figures.helpMs.push_back(Ms(end.ended - child.started));
    }

    // One module at the line's speed.
    for (const char* command : {"read", "write"}) {
        for (int baud : plan.bauds) {
            CliLineFigures line;
            line.command = command;
            line.baud = baud;
            line.characterMs = CharacterMs(baud);
            radiosim::VirtualModule& module = *modules.list.front();
            for (int run = 0; run < plan.runs; ++run) {
                std::vector<std::string> argv = {plan.program, command};
                if (line.command == "write")
                    argv.push_back(profile);
                for (const std::string& a : {std::string("-p"), module.devicePath(), std::string("--baud"),
                                             std::to_string(baud), std::string("-q"), std::string("--format"),
                                             std::string("json")})
                    argv.push_back(a);
                module.clearTranscript();
                CliRun result;
                Clock::time_point started;
                const bool ok = RunOnce(argv, &result, &started, &figures.problems);
                Settle();
                if (!ok)
                    break;
                Analyse(module.transcript(), line.characterMs, started, &result);
                line.runs.push_back(result);
                std::fprintf(stderr, "  cli %s at %d Bd: %.0f ms (floor %.0f ms, %ld bytes; %.0f ms before the line)\n",
                             command, baud, result.wallMs, result.floorMs, result.bytes, result.beforeLineMs);
            }
            figures.line.push_back(line);
        }
    }

    // Many modules with one write.
    if (!modules.Start(static_cast<size_t>(largest), &figures.problems))
        return figures;
    for (int n : plan.sizes) {
        CliScaleFigures scale;
        scale.modules = n;
        for (int run = 0; run < plan.scaleRuns; ++run) {
            std::vector<std::string> argv = {plan.program, "write", profile, "--baud", std::to_string(plan.scaleBaud),
                                             "-q", "--format", "json"};
            for (int i = 0; i < n; ++i) {
                argv.push_back("-p");
                argv.push_back(modules.list[static_cast<size_t>(i)]->devicePath());
            }
            CliRun result;
            Clock::time_point started;
            const bool ok = RunOnce(argv, &result, &started, &figures.problems);
            Settle();
            if (!ok)
                break;
            scale.runs.push_back(result);
            std::fprintf(stderr, "  cli write to %d modules: %.0f ms, CPU %.0f ms, max RSS %ld KiB\n", n,
                         result.wallMs, result.cpuMs, result.maxRssKiB);
        }
        figures.scale.push_back(scale);
    }
    return figures;
}

} // namespace bench
