// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-sim: a virtual Bluetooth serial module on a pseudo-terminal, for trying
// RadioSet without hardware.

#include "VirtualModule.h"

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <getopt.h>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

const char* const kUsage = R"(Usage: radioset-sim [OPTION]...
Runs a virtual Bluetooth serial module on a pseudo-terminal until SIGINT, SIGTERM
or SIGHUP. Prints the device to open (and the link, if any) on standard output.
SIGUSR1 swaps the module for the next one (as --control's "swap"); SIGUSR2
unplugs the adapter, and plugs it in again the next time.

While it runs, the module is listed in RadioSet's serial port dialog as
"/dev/pts/N — RadioSet virtual module — TYPE MODEL" (also seen by the -p globs
of radioset-cli): it announces itself in $XDG_RUNTIME_DIR/radioset/ports
(/tmp/radioset-UID/ports when XDG_RUNTIME_DIR is not set) and takes the
announcement back when it ends. Standard error tells the name it is listed under.

Module:
  --type=TYPE                 current (default; Bluetooth version "2.1"),
                              legacy-fast (answers "2.0"), legacy (answers "ERROR")
  --model=NAME                model name answered to AT+BTINFO?100 (default QN7201)
  --no-model                  AT+BTINFO?100 answers "ERROR"
  --debug-char=HEX            debug character, one byte in hex (default 1E)
  --error-on-wrong-debug-char
                              in data mode, answer "ERROR" to any other byte but
                              CR/LF (default: no answer)
  --device=ADDR,NAME,COD      a device found by AT+BTINQ? (repeatable; the name is
                              everything between the first and the last comma, so it
                              may be empty or hold commas); replaces the default list
  --no-devices                the search finds nothing
  --inquiry-pace=MS           gap before each found device and the final "OK" (default 300)
  --uart-baud=N               the module's UART runs at N Bd (its stored BaudRate; after
                              a restart, the one written to it) and, as with
                              --uart-line, it hears only a line set to its UART
                              settings; what it says at another setting is lost too
                              (default: 9600, and any line setting is understood)
  --garbled-speed=N           with --uart-baud or --uart-line: what is sent at N Bd
                              arrives garbled
                              instead of lost, a debug character as the module's
                              own (so a probe at N wakes it unseen)
  --local-address=HEX         the module's local address (default 00A0C1D2E3F4);
                              each module that takes its place has the next one
  --set=NAME=VALUE            start with a stored setting changed, as the info answers
                              show it (repeatable), e.g. --set=Role=MASTER
                              --set=DeviceName=BENCH-01; the names are those of the
                              --state-file

Files:
  --link=PATH                 keep a symbolic link PATH to the device while running
  --state-file=PATH           rewrite PATH with the settings (key=value lines) after every change
  --transcript=PATH           append every byte received and sent, with timestamps
  --control=PATH              create a FIFO at PATH and take commands from it, one
                              a line: "swap" (the module is pulled out of the
                              fixture and, after --swap-silence, the next one put
                              in), "reseat" (the same module out and in again,
                              its settings kept), "pull", "insert", "unplug"
                              (the adapter goes: the line closes, the link and
                              the listing go), "plug" (a new line under the same
                              link, with the next module); e.g. echo swap > PATH
  --swap-silence=MS           how long a swap leaves the fixture empty (default 500)
  --history=PATH              append a line for every module as it leaves: its
                              local address, how many times it was configured
                              (restarted after accepted writes), its device name

Faults (commands are numbered from 1; the waking debug character is command 1):
  --silent-from=N             answer nothing, and do nothing, from command N on
  --error-on=COMMAND          answer "ERROR" to COMMAND, given whole (AT+BTINFO?4, AT&F)
                              or by name (AT+BTSEC), or as <1E> for the debug character
  --ignore=COMMAND            answer "OK" to COMMAND (whole or by name, as --error-on)
                              but keep the old value
  --wrong-count-info=N        info query N (0..16, 100) answers with a wrong item count
  --non-numeric-info=N        info query N answers a number item as "X"
  --noise                     send a few junk bytes (never CR or LF) before every answer
  --bare-ok                   send "OK" as OK CR LF, without the leading CR LF
  --random-bursts             send answers in pieces of 1..4 bytes, 0..5 ms apart
  --seed=N                    seed for --noise and --random-bursts (default 1; 0: clock)
  --echo                      in configuration mode, send every received byte back
  --answer-delay=MS           send each answer no sooner than MS after its command
  --vanish-after=N            close the line for good after answering command N
  --stall-answer=N            send the answer to command N only halfway (its CR LF and
                              half its text) ...
  --stall-ms=MS               ... and the rest MS later (default: the rest is lost)
  --uart-line                 hear only a line set to the UART settings the module runs
                              at (stored ones at power-on and at each ATZ), as a real
                              module: after a write of a new speed, only that speed
  --line-time                 pace the bytes both ways at the speed, data bits, parity
                              and stop bits the tool set on the line

  --help                      show this text
)";

bool toInt(const char* text, int& value)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < -1 || v > 1000000000)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool parseDevice(const std::string& text, radiosim::FoundDevice& device)
{
    const size_t first = text.find(',');
    const size_t last = text.rfind(',');
    if (first == std::string::npos || first == last)
        return false;
    device = {text.substr(0, first), text.substr(first + 1, last - first - 1), text.substr(last + 1)};
    return true;
}

int usageError(const std::string& message)
{
    std::cerr << "radioset-sim: " << message << "\nTry 'radioset-sim --help'.\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    enum {
        Type = 1000, Model, NoModel, DebugChar, ErrorOnWrongDebugChar, Device, NoDevices, InquiryPace, Link,
        StateFile, Transcript, SilentFrom, ErrorOn, WrongCount, NonNumeric, Noise, BareOk, Bursts, Seed, Echo,
        AnswerDelay, VanishAfter, StallAnswer, StallMs, LineTimeOption, UartLineOption, Set, Ignore, UartBaud,
        GarbledSpeed, LocalAddress, Control, SwapSilence, History, Help
    };
    static const option longOptions[] = {
        {"type", required_argument, nullptr, Type},
        {"model", required_argument, nullptr, Model},
        {"no-model", no_argument, nullptr, NoModel},
        {"debug-char", required_argument, nullptr, DebugChar},
        {"error-on-wrong-debug-char", no_argument, nullptr, ErrorOnWrongDebugChar},
        {"device", required_argument, nullptr, Device},
        {"no-devices", no_argument, nullptr, NoDevices},
        {"set", required_argument, nullptr, Set},
        {"inquiry-pace", required_argument, nullptr, InquiryPace},
        {"link", required_argument, nullptr, Link},
        {"state-file", required_argument, nullptr, StateFile},
        {"transcript", required_argument, nullptr, Transcript},
        {"silent-from", required_argument, nullptr, SilentFrom},
        {"error-on", required_argument, nullptr, ErrorOn},
        {"ignore", required_argument, nullptr, Ignore},
        {"wrong-count-info", required_argument, nullptr, WrongCount},
        {"non-numeric-info", required_argument, nullptr, NonNumeric},
        {"noise", no_argument, nullptr, Noise},
        {"bare-ok", no_argument, nullptr, BareOk},
        {"random-bursts", no_argument, nullptr, Bursts},
        {"seed", required_argument, nullptr, Seed},
        {"echo", no_argument, nullptr, Echo},
        {"answer-delay", required_argument, nullptr, AnswerDelay},
        {"vanish-after", required_argument, nullptr, VanishAfter},
        {"stall-answer", required_argument, nullptr, StallAnswer},
        {"stall-ms", required_argument, nullptr, StallMs},
        {"line-time", no_argument, nullptr, LineTimeOption},
        {"uart-line", no_argument, nullptr, UartLineOption},
        {"uart-baud", required_argument, nullptr, UartBaud},
        {"garbled-speed", required_argument, nullptr, GarbledSpeed},
        {"local-address", required_argument, nullptr, LocalAddress},
        {"control", required_argument, nullptr, Control},
        {"swap-silence", required_argument, nullptr, SwapSilence},
        {"history", required_argument, nullptr, History},
        {"help", no_argument, nullptr, Help},
        {nullptr, 0, nullptr, 0},
    };

    radiosim::Options o;
    o.announce = true;
    bool devicesGiven = false;
    std::vector<std::pair<std::string, std::string>> presets;
    for (;;) {
        const int opt = getopt_long(argc, argv, "", longOptions, nullptr);
        if (opt == -1)
            break;
        const std::string arg = optarg ? optarg : "";
        int number = 0;
        const auto needInt = [&](int& target) {
            if (!toInt(optarg, number))
                return false;
            target = number;
            return true;
        };
        switch (opt) {
        case Type:
            if (arg == "current")
                o.type = radiosim::ModuleType::Current;
            else if (arg == "legacy-fast")
                o.type = radiosim::ModuleType::LegacyFastSwitch;
            else if (arg == "legacy")
                o.type = radiosim::ModuleType::Legacy;
            else
                return usageError("unknown module type '" + arg + "'");
            break;
        case Model: o.model = arg; break;
        case NoModel: o.modelUnknown = true; break;
        case DebugChar: {
            char* end = nullptr;
            const unsigned long v = std::strtoul(arg.c_str(), &end, 16);
            if (arg.empty() || *end || v > 0xFF)
                return usageError("debug character must be one byte in hex");
            o.debugChar = static_cast<unsigned char>(v);
            break;
        }
        case ErrorOnWrongDebugChar: o.errorOnWrongDebugChar = true; break;
        case Device: {
            radiosim::FoundDevice device;
            if (!parseDevice(arg, device))
                return usageError("a device is ADDR,NAME,COD");
            if (!devicesGiven)
                o.devices.clear();
            devicesGiven = true;
            o.devices.push_back(device);
            break;
        }
        case NoDevices:
            o.devices.clear();
            devicesGiven = true;
            break;
        case InquiryPace: if (!needInt(o.inquiryPaceMs)) return usageError("bad --inquiry-pace"); break;
        case Link: o.linkPath = arg; break;
        case StateFile: o.stateFile = arg; break;
        case Transcript: o.transcriptPath = arg; break;
        case SilentFrom: if (!needInt(o.silentFromCommand)) return usageError("bad --silent-from"); break;
        case ErrorOn: o.errorOnCommandPrefix = arg; break;
        case Ignore: o.ignoreCommand = arg; break;
        case WrongCount: if (!needInt(o.wrongCountInfo)) return usageError("bad --wrong-count-info"); break;
        case NonNumeric: if (!needInt(o.nonNumericInfo)) return usageError("bad --non-numeric-info"); break;
        case Noise: o.noise = true; break;
        case BareOk: o.bareOkWithoutLeadingCrLf = true; break;
        case Bursts: o.randomBursts = true; break;
        case Seed: {
            int seed = 0;
            if (!toInt(optarg, seed) || seed < 0)
                return usageError("bad --seed");
            o.randomSeed = static_cast<unsigned>(seed);
            break;
        }
        case Echo: o.echo = true; break;
        case LineTimeOption: o.lineTime = true; break;
        case UartLineOption: o.uartLine = true; break;
        case AnswerDelay: if (!needInt(o.answerDelayMs)) return usageError("bad --answer-delay"); break;
        case VanishAfter: if (!needInt(o.vanishAfterCommand)) return usageError("bad --vanish-after"); break;
        case StallAnswer: if (!needInt(o.stallAnswerOfCommand)) return usageError("bad --stall-answer"); break;
        case StallMs: if (!needInt(o.stallMs)) return usageError("bad --stall-ms"); break;
        case Set: {
            const std::string text = arg;
            const size_t equals = text.find('=');
            if (equals == std::string::npos || equals == 0)
                return usageError("a setting is NAME=VALUE");
            presets.emplace_back(text.substr(0, equals), text.substr(equals + 1));
            break;
        }
        case UartBaud: {
            int baud = 0;
            if (!toInt(optarg, baud) || baud < 1)
                return usageError("bad --uart-baud");
            o.uartBaud = baud;
            break;
        }
        case GarbledSpeed: {
            int baud = 0;
            if (!toInt(optarg, baud) || baud < 1)
                return usageError("bad --garbled-speed");
            o.garbledSpeed = baud;
            break;
        }
        case LocalAddress:
            if (arg.size() != 12 || arg.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
                return usageError("a local address is twelve hex digits");
            o.localAddress = arg;
            for (char& c : o.localAddress)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            break;
        case Control: o.controlPath = arg; break;
        case SwapSilence: if (!needInt(o.swapSilenceMs)) return usageError("bad --swap-silence"); break;
        case History: o.historyPath = arg; break;
        case Help: std::cout << kUsage; return 0;
        default: return usageError("unknown option");
        }
    }
    if (optind < argc)
        return usageError(std::string("unexpected argument '") + argv[optind] + "'");

    // Blocked before the module's thread exists, so that only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    // A closed terminal ends the module as tidily as Ctrl+C does.
    sigaddset(&stopSignals, SIGHUP);
    sigset_t waitedSignals = stopSignals;
    sigaddset(&waitedSignals, SIGUSR1);
    sigaddset(&waitedSignals, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &waitedSignals, nullptr);

    radiosim::VirtualModule module(o);
    for (const auto& [name, value] : presets)
        module.setSetting(name, value);
    std::string error;
    if (!module.start(&error)) {
        std::cerr << "radioset-sim: " << error << '\n';
        return 1;
    }
    std::cout << module.devicePath() << '\n';
    if (!o.linkPath.empty())
        std::cout << o.linkPath << '\n';
    std::cout.flush();
    if (const std::string entry = module.announcedEntry(); !entry.empty())
        std::cerr << "radioset-sim: listed in RadioSet's serial port dialog as: " << entry << std::endl;
    else
        std::cerr << "radioset-sim: not listed in RadioSet's serial port dialog (" << module.announceError()
                  << "); type " << module.devicePath() << " as COM PORT" << std::endl;

    for (;;) {
        int signal = 0;
        sigwait(&waitedSignals, &signal);
        if (signal == SIGUSR1) {
            module.swapModule();
        } else if (signal == SIGUSR2) {
            if (module.plugged())
                module.unplug();
            else if (!module.plug(&error))
                std::cerr << "radioset-sim: " << error << std::endl;
        } else {
            break;
        }
    }
    module.stop();
    return 0;
}
