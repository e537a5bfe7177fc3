// SPDX-License-Identifier: GPL-3.0-or-later
#include "VirtualModule.h"

#include "LineSpeed.h"
#include "LineTime.h"
#include "ModuleCore.h"
#include "PortAnnouncement.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <random>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace radiosim {

namespace {

using Clock = std::chrono::steady_clock;

// Longer lines are cut: no command of the module comes near this.
constexpr size_t kMaxLine = 512;
// How often a line without anyone on the other side is looked at again.
constexpr int kIdlePollMs = 15;
// Closing the line discards what the tool has not read yet; its last answer gets
// this long to be read first.
constexpr int kVanishGraceMs = 300;

std::string hexByte(unsigned char c)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "<%02X>", c);
    return buf;
}

std::string printable(const std::string& bytes)
{
    std::string s;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        s += (c >= 0x20 && c < 0x7F && c != '<') ? std::string(1, ch) : hexByte(c);
    }
    return s;
}

std::string systemError(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// The address after `address`, twelve hex digits.
std::string nextAddress(const std::string& address)
{
    unsigned long long value = 0;
    try {
        value = std::stoull(address, nullptr, 16);
    } catch (...) {
        value = 0;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%012llX", (value + 1) & 0xFFFFFFFFFFFFULL);
    return buf;
}

bool isWriteCommand(const std::string& line)
{
    return (line.rfind("AT+BT", 0) == 0 && line.rfind("AT+BTINFO?", 0) != 0 && line != "AT+BTINQ?")
           || line.rfind("AT+SET", 0) == 0;
}

}  // namespace

struct VirtualModule::Impl {
    explicit Impl(Options o)
        : options(std::move(o))
        , core(options)
        , rng(options.randomSeed ? options.randomSeed : static_cast<unsigned>(Clock::now().time_since_epoch().count()))
    {
    }

    struct Chunk {
        Clock::time_point due;
        std::string bytes;
    };

    const Options options;
    ModuleCore core;
    std::mt19937 rng;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::thread thread;
    bool running = false;
    bool stopping = false;

    int master = -1;
    int wake[2] = {-1, -1};
    std::string slavePath;
    bool peerGone = false;     // the tool's side is closed: output goes nowhere
    bool writeBlocked = false;
    bool vanishPending = false;
    bool vanished = false;
    Clock::time_point vanishAt{};

    std::string line;
    std::deque<Chunk> out;
    // With line time: bytes read but still on their way, with the time their
    // last bit arrives; and when the last bit of each direction's latest byte
    // is (or was) through.
    std::deque<std::pair<Clock::time_point, char>> inbound;
    Clock::time_point rxFreeAt{}, txFreeAt{};
    Clock::time_point lastDue{};

    std::vector<TranscriptEntry> transcript;
    std::string received;
    std::vector<std::string> commands;
    size_t commandNumber = 0;

    FILE* transcriptFile = nullptr;
    PortAnnouncement announcement;
    std::string announcedEntry;
    std::string announceError;
    Clock::time_point startTime = Clock::now();
    unsigned long dumpedRevision = ~0UL;

    // The fixture and the adapter.
    bool present = true;           // a module sits on the line
    Clock::time_point insertAt{};  // a swap puts the next module in then
    std::string nextModuleAddress;
    bool keepModule = false;       // the module taken out is pressed in again, not the next one
    bool unplugged = false;
    int control = -1;              // the control FIFO, opened for reading and writing
    std::string controlLine;
    int configuredCount = 0;       // sessions of the module present that wrote and restarted
    bool wroteThisSession = false;
    std::vector<std::string> historyLines;

    // --- everything below runs with mutex held ---

    void log(bool fromTool, const std::string& bytes)
    {
        const auto now = Clock::now();
        transcript.push_back(TranscriptEntry{now, fromTool, bytes});
        if (transcriptFile) {
            const double t = std::chrono::duration<double>(now - startTime).count();
            std::fprintf(transcriptFile, "%12.6f %s %s\n", t, fromTool ? "tool>" : "<sim ", printable(bytes).c_str());
            std::fflush(transcriptFile);
        }
    }

    void schedule(std::string bytes, Clock::time_point due)
    {
        due = std::max(due, lastDue);
        out.push_back(Chunk{due, std::move(bytes)});
        lastDue = due;
    }

    int randomIn(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    void sendAnswers(const std::vector<Answer>& answers, bool stall = false)
    {
        const auto now = Clock::now();
        for (const Answer& a : answers) {
            auto due = std::max(now + std::chrono::milliseconds(options.answerDelayMs), lastDue)
                     + std::chrono::milliseconds(a.pauseMs);
            if (options.noise) {
                std::string junk;
                for (int i = randomIn(3, 8); i > 0; --i) {
                    char c;
                    do
                        c = static_cast<char>(randomIn(0, 255));
                    while (c == '\r' || c == '\n');
                    junk += c;
                }
                schedule(junk, due);
            }
            const std::string framed =
                options.bareOkWithoutLeadingCrLf && a.text == "OK" ? "OK\r\n" : "\r\n" + a.text + "\r\n";
            if (stall) {
                // Only the first answer stalls; whatever follows waits behind its rest.
                stall = false;
                const size_t cut = 2 + a.text.size() / 2;
                schedule(framed.substr(0, cut), due);
                if (options.stallMs >= 0)
                    schedule(framed.substr(cut), due + std::chrono::milliseconds(options.stallMs));
                continue;
            }
            if (!options.randomBursts) {
                schedule(framed, due);
                continue;
            }
            for (size_t pos = 0; pos < framed.size();) {
                const size_t len = std::min<size_t>(static_cast<size_t>(randomIn(1, 4)), framed.size() - pos);
                schedule(framed.substr(pos, len), due);
                pos += len;
                due = lastDue + std::chrono::milliseconds(randomIn(0, 5));
            }
        }
    }

    void commandReceived(const std::string& text, const std::function<std::vector<Answer>()>& answer)
    {
        commands.push_back(text);
        const long number = static_cast<long>(++commandNumber);
        if (options.silentFromCommand > 0 && number >= options.silentFromCommand)
            return;
        const unsigned long restartsBefore = core.restarts();
        std::vector<Answer> answers = answer();
        if (isWriteCommand(text) && answers.size() == 1 && answers.front().text == "OK")
            wroteThisSession = true;
        if (core.restarts() != restartsBefore) {
            if (wroteThisSession)
                ++configuredCount;
            wroteThisSession = false;
        }
        sendAnswers(answers, options.stallAnswerOfCommand > 0 && number == options.stallAnswerOfCommand);
        if (options.vanishAfterCommand > 0 && number == options.vanishAfterCommand)
            vanishPending = true;
    }

    void wakeUp(unsigned char c)
    {
        const std::string text = hexByte(c);
        commandReceived(text, [this, &text] {
            if (!options.errorOnCommandPrefix.empty() && options.errorOnCommandPrefix == text)
                return std::vector<Answer>{Answer{"ERROR", 0}};
            core.enterConfiguration();
            return std::vector<Answer>{Answer{"OK", 0}};
        });
    }

    void onByte(unsigned char c)
    {
        if (!core.configuration()) {
            // Data mode: only the debug character means anything.
            if (c == core.activeDebugChar())
                wakeUp(c);
            else if (options.errorOnWrongDebugChar && c != '\r' && c != '\n')
                sendAnswers({Answer{"ERROR", 0}});
            return;
        }
        if (options.echo)
            schedule(std::string(1, static_cast<char>(c)), Clock::now());
        if (c == '\n')
            return;
        if (c == '\r') {
            if (line.empty())
                return;
            const std::string cmd = line;
            line.clear();
            commandReceived(cmd, [this, &cmd] { return core.command(cmd); });
            if (!core.configuration()) {
                // Restarted: whatever it was still going to say (a search) is gone.
                out.clear();
                lastDue = {};
            }
            return;
        }
        // A tool that reconnects to a module still in configuration mode sends the
        // debug character again; answer it rather than take it into the next line.
        // A printable debug character is text here.
        if (line.empty() && c == core.activeDebugChar() && (c < 0x20 || c >= 0x7F)) {
            wakeUp(c);
            return;
        }
        if (line.size() < kMaxLine)
            line += static_cast<char>(c);
    }

    // Whether the tool's line is set as the module's UART runs.
    bool lineMatchesUart() const
    {
        termios t{};
        if (master < 0 || ::tcgetattr(master, &t) != 0)
            return false;
        long speed = CharacterOnLine(t).bitsPerSecond;
        if (speed == 0)
            speed = LineOutputSpeed(master);
        const std::string parity = (t.c_cflag & PARENB) == 0 ? "N" : (t.c_cflag & PARODD) != 0 ? "O" : "E";
        const std::string stop = (t.c_cflag & CSTOPB) != 0 ? "2" : "1";
        const UartSettings uart = core.activeUart();
        std::string uartParity = uart.parity.substr(0, 1);
        for (char& c : uartParity)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return std::to_string(speed) == uart.baud && parity == uartParity && stop == uart.stop;
    }

    // The speed the tool has set on the line; 0 when unknown.
    long lineSpeed() const
    {
        if (master < 0)
            return 0;
        termios t{};
        if (::tcgetattr(master, &t) == 0) {
            const LineCharacter c = CharacterOnLine(t);
            if (c.bitsPerSecond > 0)
                return c.bitsPerSecond;
        }
        return LineOutputSpeed(master);
    }

    // Whether the module hears only a line set as its UART runs.
    bool strictUart() const { return options.uartLine || options.uartBaud > 0; }

    // Whether the module's UART and the tool's line disagree.
    bool uartMismatch() const
    {
        return strictUart() && !lineMatchesUart();
    }

    void onBytes(const std::string& bytes)
    {
        log(true, bytes);
        received += bytes;
        if (!present)
            return;  // nobody in the fixture hears it
        if (uartMismatch()) {
            // Sent at another speed or framing, the bytes arrive as noise: nothing is understood,
            // except at the one garbled speed, where they come out as junk.
            if (options.garbledSpeed <= 0 || lineSpeed() != options.garbledSpeed)
                return;
            for (const char ch : bytes) {
                const auto c = static_cast<unsigned char>(ch);
                onByte(c == core.activeDebugChar() ? c : static_cast<unsigned char>(0xF0 | (c & 0x0F)));
            }
            return;
        }
        for (const char c : bytes)
            onByte(static_cast<unsigned char>(c));
    }

    // One character's time on the line as the tool has set it up now.
    Clock::duration characterTime() const
    {
        termios t{};
        if (master < 0 || ::tcgetattr(master, &t) != 0)
            return Clock::duration::zero();
        LineCharacter c = CharacterOnLine(t);
        // A speed set by number (as serial tools do for every speed) shows
        // only in the kernel's own settings.
        if (c.bitsPerSecond == 0)
            c = CharacterOnLine(t, LineOutputSpeed(master));
        return std::chrono::duration_cast<Clock::duration>(c.time);
    }

    // When the next byte to send has fully arrived at the tool's end.
    Clock::time_point nextByteThrough(Clock::duration perByte) const
    {
        return std::max(out.front().due, txFreeAt) + perByte;
    }

    // What sendFront did with the first chunk, when nothing went out.
    static constexpr ssize_t kLineFull = -1;  // blocked or interrupted: try again later
    static constexpr ssize_t kToolGone = -2;  // the tool closed its side

    // Sends up to `count` bytes of the first chunk and returns how many went.
    // The first chunk may be gone afterwards: callers look at `out` again.
    ssize_t sendFront(size_t count)
    {
        Chunk& chunk = out.front();
        if (!present || uartMismatch()) {
            // Said at a speed the tool does not listen at: noise it cannot frame, lost.
            const auto n = static_cast<ssize_t>(count);
            chunk.bytes.erase(0, count);
            if (chunk.bytes.empty())
                out.pop_front();
            return n;
        }
        const ssize_t n = ::write(master, chunk.bytes.data(), count);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            toolClosed();
            return kToolGone;
        }
        if (n <= 0) {
            writeBlocked = n < 0 && errno == EAGAIN;
            return kLineFull;
        }
        log(false, chunk.bytes.substr(0, static_cast<size_t>(n)));
        chunk.bytes.erase(0, static_cast<size_t>(n));
        if (chunk.bytes.empty())
            out.pop_front();
        return n;
    }

    // The tool's side is closed. What it wrote just before closing ("ATZ" on
    // its way out, say) is still in the line: take it before going deaf.
    void toolClosed()
    {
        readAvailable(POLLHUP);
        peerGone = true;
    }

    void flushPaced()
    {
        const auto now = Clock::now();
        const Clock::duration perByte = characterTime();
        writeBlocked = false;
        while (!out.empty() && nextByteThrough(perByte) <= now) {
            if (out.front().bytes.empty() || peerGone || master < 0) {
                out.pop_front();
                continue;
            }
            const Clock::time_point through = nextByteThrough(perByte);
            const ssize_t n = sendFront(1);
            if (n == kLineFull)
                return;
            if (n != kToolGone)
                txFreeAt = through;
        }
    }

    void takeArrived()
    {
        const auto now = Clock::now();
        std::string arrived;
        while (!inbound.empty() && inbound.front().first <= now) {
            arrived += inbound.front().second;
            inbound.pop_front();
        }
        if (!arrived.empty())
            onBytes(arrived);
    }

    void flushDue()
    {
        if (options.lineTime) {
            flushPaced();
            return;
        }
        const auto now = Clock::now();
        writeBlocked = false;
        while (!out.empty() && out.front().due <= now) {
            if (out.front().bytes.empty() || peerGone || master < 0) {
                out.pop_front();  // nothing to send, or nobody listens: lost, as on a real line
                continue;
            }
            const size_t size = out.front().bytes.size();
            const ssize_t n = sendFront(size);
            if (n == kLineFull)
                return;
            if (n != kToolGone && static_cast<size_t>(n) < size) {
                writeBlocked = true;
                return;
            }
        }
    }

    void readAvailable(short revents)
    {
        char buf[512];
        for (;;) {
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0 && options.lineTime) {
                const auto now = Clock::now();
                const Clock::duration perByte = characterTime();
                for (ssize_t i = 0; i < n; ++i) {
                    rxFreeAt = std::max(now, rxFreeAt) + perByte;
                    inbound.emplace_back(rxFreeAt, buf[i]);
                }
                continue;
            }
            if (n > 0) {
                onBytes(std::string(buf, static_cast<size_t>(n)));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                if ((revents & POLLHUP) != 0)
                    peerGone = true;
                return;
            }
            peerGone = true;  // EIO: the tool closed its side
            return;
        }
    }

    void removeLink()
    {
        if (options.linkPath.empty())
            return;
        char target[4096];
        const ssize_t n = ::readlink(options.linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == slavePath)
            ::unlink(options.linkPath.c_str());
    }

    void announce()
    {
        if (!options.announce)
            return;
        const char* const type = options.type == ModuleType::Legacy             ? "legacy"
                                 : options.type == ModuleType::LegacyFastSwitch ? "legacy-fast"
                                                                                : "current";
        const std::string model = options.modelUnknown ? std::string() : core.settings().at("ModelName");
        const std::string folder = options.announceFolder.empty() ? DefaultAnnouncementFolder() : options.announceFolder;
        announceError.clear();
        if (announcement.publish(folder, slavePath, type, model, &announceError))
            announcedEntry = AnnouncedEntryText(slavePath, type, model);
    }

    void withdrawAnnouncement()
    {
        announcement.withdraw();
        announcedEntry.clear();
    }

    // The tool's side sees the line go: the pseudo-terminal, its link and its
    // announcement are gone, with whatever was on its way.
    void closeLine()
    {
        ::close(master);
        master = -1;
        removeLink();
        withdrawAnnouncement();
        out.clear();
        inbound.clear();
    }

    void vanish()
    {
        vanishPending = false;
        vanishAt = {};
        vanished = true;
        closeLine();
    }

    void leaveHistory()
    {
        const auto& settings = core.settings();
        const std::string entry = settings.at("LocalBDAddr") + " configured=" + std::to_string(configuredCount)
                                 + " name=" + settings.at("DeviceName");
        historyLines.push_back(entry);
        configuredCount = 0;
        wroteThisSession = false;
        if (options.historyPath.empty())
            return;
        if (FILE* f = std::fopen(options.historyPath.c_str(), "a")) {
            std::fprintf(f, "%s\n", entry.c_str());
            std::fclose(f);
        }
    }

    void pull(bool reseating = false)
    {
        if (!present)
            return;
        // A module pressed in again is the same module: it leaves no history yet.
        if (!reseating)
            leaveHistory();
        keepModule = reseating;
        present = false;
        insertAt = {};
        line.clear();
        out.clear();
        lastDue = {};
        nextModuleAddress = nextAddress(core.settings().at("LocalBDAddr"));
    }

    void insert()
    {
        if (present)
            return;
        insertAt = {};
        if (!keepModule)
            core.replace(nextModuleAddress);
        keepModule = false;
        present = true;
    }

    // Opens a new pseudo-terminal, raw, and its link.
    bool openLine(std::string* error)
    {
        const auto fail = [&](const std::string& message) {
            if (error)
                *error = message;
            if (master >= 0)
                ::close(master);
            master = -1;
            return false;
        };
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0)
            return fail(systemError("posix_openpt"));
        char name[256];
        if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0)
            return fail(systemError("pseudo-terminal"));
        slavePath = name;
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        // Raw from the start, so that nothing the module says comes back to it as an echo
        // before the tool has set the line up.
        termios t{};
        if (::tcgetattr(master, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(master, TCSANOW, &t);
        }
        peerGone = false;
        writeBlocked = false;
        if (!options.linkPath.empty()) {
            struct stat st{};
            if (::lstat(options.linkPath.c_str(), &st) == 0) {
                if (!S_ISLNK(st.st_mode))
                    return fail(options.linkPath + " exists and is not a symbolic link");
                ::unlink(options.linkPath.c_str());
            }
            if (::symlink(slavePath.c_str(), options.linkPath.c_str()) != 0)
                return fail(systemError(("symlink " + options.linkPath).c_str()));
        }
        return true;
    }

    void unplugLine()
    {
        if (unplugged || master < 0)
            return;
        if (present)
            leaveHistory();
        nextModuleAddress = nextAddress(core.settings().at("LocalBDAddr"));
        closeLine();
        line.clear();
        lastDue = {};
        unplugged = true;
    }

    bool plugLine(std::string* error)
    {
        if (!unplugged)
            return true;
        if (!openLine(error))
            return false;
        core.replace(nextModuleAddress);
        present = true;
        insertAt = {};
        unplugged = false;
        announce();
        return true;
    }

    void controlCommand(const std::string& command)
    {
        if (command == "swap") {
            pull();
            insertAt = Clock::now() + std::chrono::milliseconds(std::max(0, options.swapSilenceMs));
        } else if (command == "reseat") {
            pull(true);
            insertAt = Clock::now() + std::chrono::milliseconds(std::max(0, options.swapSilenceMs));
        } else if (command == "pull") {
            pull();
        } else if (command == "insert") {
            insert();
        } else if (command == "unplug") {
            unplugLine();
        } else if (command == "plug") {
            plugLine(nullptr);
        }
    }

    void readControl()
    {
        char buf[256];
        for (;;) {
            const ssize_t n = ::read(control, buf, sizeof buf);
            if (n <= 0)
                return;
            controlLine.append(buf, static_cast<size_t>(n));
            for (size_t end; (end = controlLine.find('\n')) != std::string::npos;) {
                std::string command = controlLine.substr(0, end);
                controlLine.erase(0, end + 1);
                while (!command.empty() && (command.back() == '\r' || command.back() == ' '))
                    command.pop_back();
                controlCommand(command);
            }
        }
    }

    void dumpState()
    {
        if (options.stateFile.empty() || core.revision() == dumpedRevision)
            return;
        dumpedRevision = core.revision();
        const std::string tmp = options.stateFile + ".tmp";
        FILE* f = std::fopen(tmp.c_str(), "w");
        if (!f)
            return;
        for (const auto& [name, value] : core.settings())
            std::fprintf(f, "%s=%s\n", name.c_str(), value.c_str());
        const bool ok = std::fclose(f) == 0;
        if (ok)
            std::rename(tmp.c_str(), options.stateFile.c_str());
    }

    // How long the thread may sleep; negative: until something happens.
    Clock::duration timeout() const
    {
        Clock::time_point next = Clock::time_point::max();
        if (!out.empty() && !writeBlocked)
            next = options.lineTime ? nextByteThrough(characterTime()) : out.front().due;
        else if (vanishAt != Clock::time_point{})
            next = vanishAt;
        if (!inbound.empty())
            next = std::min(next, inbound.front().first);
        if (insertAt != Clock::time_point{})
            next = std::min(next, insertAt);
        if (next == Clock::time_point::max())
            return Clock::duration(-1);
        const auto wait = next - Clock::now();
        return std::max(wait, Clock::duration::zero());
    }

    // --- the module's own thread ---

    void run()
    {
        std::unique_lock lock(mutex);
        while (!stopping) {
            Clock::duration timeout = this->timeout();
            const bool watchLine = master >= 0 && !peerGone;
            const Clock::duration idlePoll = std::chrono::milliseconds(kIdlePollMs);
            if (master >= 0 && peerGone)
                timeout = timeout < Clock::duration::zero() ? idlePoll : std::min(timeout, idlePoll);
            pollfd fds[3] = {{wake[0], POLLIN, 0},
                             {watchLine ? master : -1, static_cast<short>(POLLIN | (writeBlocked ? POLLOUT : 0)), 0},
                             {control, POLLIN, 0}};
            lock.unlock();
            if (timeout < Clock::duration::zero()) {
                ::ppoll(fds, 3, nullptr, nullptr);
            } else {
                const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
                const timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
                ::ppoll(fds, 3, &ts, nullptr);
            }
            lock.lock();
            if ((fds[2].revents & POLLIN) != 0)
                readControl();
            if (insertAt != Clock::time_point{} && Clock::now() >= insertAt)
                insert();
            if ((fds[0].revents & POLLIN) != 0) {
                char drain[64];
                while (::read(wake[0], drain, sizeof drain) > 0) {
                }
            }
            if (stopping)
                break;
            if (master >= 0) {
                short revents = fds[1].revents;
                if (peerGone) {
                    // A master whose slave is closed reports a hang-up until someone opens it again.
                    pollfd probe{master, POLLIN, 0};
                    ::poll(&probe, 1, 0);
                    if ((probe.revents & POLLHUP) == 0) {
                        peerGone = false;
                        revents = probe.revents;
                    }
                }
                if (!peerGone && (revents & (POLLIN | POLLHUP | POLLERR)) != 0)
                    readAvailable(revents);
            }
            takeArrived();
            // The settings are on disk before the answer that confirms their change leaves.
            dumpState();
            flushDue();
            if (vanishPending && out.empty()) {
                if (vanishAt == Clock::time_point{})
                    vanishAt = Clock::now() + std::chrono::milliseconds(kVanishGraceMs);
                else if (Clock::now() >= vanishAt)
                    vanish();
            }
            changed.notify_all();
        }
    }

    void poke() const
    {
        if (wake[1] >= 0) {
            const char c = 0;
            [[maybe_unused]] const ssize_t n = ::write(wake[1], &c, 1);
        }
    }
};

VirtualModule::VirtualModule(Options options)
    : m_impl(std::make_unique<Impl>(std::move(options)))
{
}

VirtualModule::~VirtualModule()
{
    stop();
}

bool VirtualModule::start(std::string* error)
{
    Impl& d = *m_impl;
    std::lock_guard lock(d.mutex);
    const auto fail = [&](const std::string& message) {
        if (error)
            *error = message;
        if (d.master >= 0)
            ::close(d.master);
        d.master = -1;
        for (int& fd : d.wake) {
            if (fd >= 0)
                ::close(fd);
            fd = -1;
        }
        return false;
    };
    if (d.running)
        return fail("already running");

    std::string lineError;
    if (!d.openLine(&lineError))
        return fail(lineError);
    if (::pipe2(d.wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail(systemError("pipe"));
    if (!d.options.controlPath.empty()) {
        struct stat st{};
        const char* const path = d.options.controlPath.c_str();
        if (::lstat(path, &st) == 0 && !S_ISFIFO(st.st_mode)) {
            d.removeLink();
            return fail(d.options.controlPath + " exists and is not a FIFO");
        }
        if (::lstat(path, &st) != 0 && ::mkfifo(path, 0600) != 0) {
            d.removeLink();
            return fail(systemError(("mkfifo " + d.options.controlPath).c_str()));
        }
        // Open for writing too, so that the FIFO never reads as closed between two writers.
        d.control = ::open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (d.control < 0) {
            d.removeLink();
            return fail(systemError(("control " + d.options.controlPath).c_str()));
        }
    }
    d.startTime = Clock::now();
    if (!d.options.transcriptPath.empty()) {
        d.transcriptFile = std::fopen(d.options.transcriptPath.c_str(), "a");
        if (!d.transcriptFile) {
            d.removeLink();
            return fail(systemError(("transcript " + d.options.transcriptPath).c_str()));
        }
        char stamp[64] = "";
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        if (::localtime_r(&now, &local))
            std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
        std::fprintf(d.transcriptFile, "# %s: module on %s; seconds since then, tool> received, <sim sent\n", stamp,
                     d.slavePath.c_str());
        std::fflush(d.transcriptFile);
    }
    d.dumpState();
    d.announce();
    d.stopping = false;
    d.running = true;
    d.thread = std::thread([&d] { d.run(); });
    return true;
}

void VirtualModule::stop()
{
    Impl& d = *m_impl;
    {
        std::lock_guard lock(d.mutex);
        if (!d.running)
            return;
        d.stopping = true;
    }
    d.poke();
    d.thread.join();
    std::lock_guard lock(d.mutex);
    d.running = false;
    if (d.present && !d.unplugged)
        d.leaveHistory();
    if (d.control >= 0) {
        ::close(d.control);
        d.control = -1;
    }
    d.withdrawAnnouncement();
    if (d.master >= 0) {
        d.removeLink();
        ::close(d.master);
        d.master = -1;
    }
    for (int& fd : d.wake) {
        ::close(fd);
        fd = -1;
    }
    if (d.transcriptFile) {
        std::fclose(d.transcriptFile);
        d.transcriptFile = nullptr;
    }
    d.changed.notify_all();
}

std::string VirtualModule::devicePath() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->slavePath;
}

std::string VirtualModule::announcedEntry() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->announcedEntry;
}

std::string VirtualModule::announceError() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->announceError;
}

std::vector<TranscriptEntry> VirtualModule::transcript() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->transcript;
}

std::string VirtualModule::receivedBytes() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->received;
}

std::vector<std::string> VirtualModule::receivedCommands() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->commands;
}

bool VirtualModule::waitForCommandCount(size_t n, int timeoutMs) const
{
    std::unique_lock lock(m_impl->mutex);
    return m_impl->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [this, n] { return m_impl->commands.size() >= n; });
}

bool VirtualModule::inConfigurationMode() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->core.configuration();
}

bool VirtualModule::vanished() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->vanished;
}

bool VirtualModule::peerHungUp() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->peerGone;
}

std::map<std::string, std::string> VirtualModule::settings() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->core.settings();
}

void VirtualModule::setSetting(const std::string& name, const std::string& value)
{
    std::lock_guard lock(m_impl->mutex);
    m_impl->core.setSetting(name, value);
    m_impl->dumpState();
}

void VirtualModule::clearTranscript()
{
    std::lock_guard lock(m_impl->mutex);
    m_impl->transcript.clear();
    m_impl->received.clear();
    m_impl->commands.clear();
}

}  // namespace radiosim

namespace radiosim {

void VirtualModule::pullModule()
{
    std::lock_guard lock(m_impl->mutex);
    m_impl->pull();
}

void VirtualModule::insertModule()
{
    std::lock_guard lock(m_impl->mutex);
    m_impl->insert();
}

void VirtualModule::swapModule(int silenceMs)
{
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->pull();
        const int silence = silenceMs >= 0 ? silenceMs : m_impl->options.swapSilenceMs;
        m_impl->insertAt = Clock::now() + std::chrono::milliseconds(std::max(0, silence));
    }
    m_impl->poke();
}

void VirtualModule::reseatModule(int silenceMs)
{
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->pull(true);
        const int silence = silenceMs >= 0 ? silenceMs : m_impl->options.swapSilenceMs;
        m_impl->insertAt = Clock::now() + std::chrono::milliseconds(std::max(0, silence));
    }
    m_impl->poke();
}

bool VirtualModule::modulePresent() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->present && !m_impl->unplugged;
}

std::string VirtualModule::localAddress() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->core.settings().at("LocalBDAddr");
}

void VirtualModule::unplug()
{
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->unplugLine();
    }
    m_impl->poke();
}

bool VirtualModule::plug(std::string* error)
{
    bool ok = false;
    {
        std::lock_guard lock(m_impl->mutex);
        ok = m_impl->plugLine(error);
    }
    m_impl->poke();
    return ok;
}

bool VirtualModule::plugged() const
{
    std::lock_guard lock(m_impl->mutex);
    return !m_impl->unplugged;
}

std::vector<std::string> VirtualModule::history() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->historyLines;
}

}  // namespace radiosim
