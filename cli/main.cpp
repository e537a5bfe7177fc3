// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-cli: identifies, reads, writes, initialises or searches with many
// modules at once, one port each, from a profile file.

#include "CliOutput.h"
#include "FieldRules.h"
#include "IniFile.h"
#include "PortJob.h"
#include "Profile.h"
#include "SerialPortList.h"
#include "SignalWatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

const char* const Usage = R"(Usage: radioset-cli [OPTIONS] identify | read | write PROFILE | init | search

Configures Bluetooth serial modules over their serial ports, many at once: each
port is opened, the module is woken with its debug character and identified, and
then the command runs on it. Ports are handled concurrently and independently.

Commands:
  identify          print each module's type, model, versions and local address
  read              read every setting into a profile (see -o)
  write PROFILE     read each module, change the settings the profile names, and
                    write the whole set back with the module type's commands,
                    then restart the module ("ATZ")
  init              restore each module's factory settings ("AT&F")
  search            search for remote devices (a module in the MASTER role)

Options:
  -p, --port PATH         a port; repeatable; a quoted glob ("/dev/ttyUSB*")
                          expands to every serial port it matches, as the
                          serial port dialog lists them: adapters, fitted
                          UARTs and the running virtual modules of this user
                          ("/dev/pts/*" for all of these); a path without a
                          leading "/" is taken from the current folder
                          ("./mod1", "../x/ttyV0", "mod1"), and a bare name
                          that is not there from /dev ("ttyUSB0")
      --baud N            line speed of the module's UART (default 9600)
      --parity none|even|odd   (default none)
      --stop 1|2          stop bits (default 1)
      --debug-char HEX    the module's debug character (default 1E)
      --model NAME        the model of a module that cannot name it; without it
                          such a module fails with a message saying so
      --products FILE     the product list (OPMODE / NUMBEROFDEVICE per model);
                          default: Setup/config.ini beside the program
  -o, --output FILE       read: write the profile here; "{port}" in the name gives
                          one file per port (needed for several ports); without
                          it the profile goes to stdout (several ports: --format
                          json). Every file is opened before any port is touched
      --format ini|json   output format (default ini); json prints one object
                          per port: port, result, error, warnings, time_ms,
                          module, settings by section and key, and for write
                          --dry-run the commands, for search the devices found
      --set SECTION.KEY=VALUE   write: add or override one entry, e.g.
                          --set "BLUETOOTH.DEVICE NAME=SENSOR-{n}"
      --verify            write: reconnect with the UART speed, parity, stop bits
                          and debug character just written (the module restarts
                          with them), read back and compare; any difference fails
                          that port
      --dry-run           write: identify and read each module, check the profile
                          against it, print the commands; write nothing
  -j, --jobs N            ports handled at once (default: all); the ports are
                          told apart by device: a link and its target are one
  -q, --quiet             no progress and no table; errors only
  -v, --verbose           also every command and answer
  -h, --help              this text
      --version           the program's version

Profile format (INI; what "read" writes):
  ; comment  or  # comment
  [MODULE]                      written by read, ignored by write: TYPE (current,
                                legacy-fast, legacy), MODEL, BLUETOOTH VERSION,
                                SOFTWARE VERSION, LOCAL ADDRESS, INQUIRY ACCESS
                                CODE FIXED PART
  [BLUETOOTH]  DEVICE NAME, ROLE, REMOTE BD ADDRESS, INQUIRY ACCESS CODE,
               CLASS OF DEVICE, POWER SAVE, LINK SUPERVISION TIMEOUT,
               SUPPORT PROFILE, SERVICE NAME
  [SECURITY]   AUTHENTICATION, PIN CODE, ENCRYPTION
  [SYSTEM]     STATUS MESSAGE, CONNECTION MODE, ESCAPE CHARACTER (HEXA),
               DEBUG CHARACTER (HEXA), CONNECTION DELAY TIME, STREAM SWITCHING FAST
  [UART]       BAUDRATE, PARITY BIT, STOP BIT, H/W FLOW CONTROL
  [MULTI-CONNECTION]  OPERATION MODE, NUMBER OF DEVICE, RX BUFFER SIZE
  Keys are the pages' captions; values as the pages show them: SLAVE, ENABLE,
  MODE 4, Even, hex in upper case, numbers in decimal. Sections and keys are
  matched without regard to letter case. A value is taken up to the end of the
  line without surrounding blanks; "quoted" values keep blanks and take \\, \"
  and \xHH. A profile may name only some keys: the others keep the module's
  values. In any value {n} is the port's place in the list of ports (from 1, in
  the order the -p options give them, a glob's ports in natural order: ttyUSB2
  before ttyUSB10), so it changes when adapters come and go; {port} is its base
  name, {local} the module's local address and {local4} its last four
  characters ("{{" for a lone "{"). {local4} stays with the module: the stable
  choice for names, e.g. DEVICE NAME = SENSOR-{local4}.

  The pages' rules hold: lengths, accepted characters, ranges (INQUIRY ACCESS
  CODE 00 ~ 3F, ...), required fields, the product list's choices for the
  model, ROLE and BAUDRATE of QN7101 / QN7201 / QN7x01 only in CONNECTION MODE
  "MODE 4", and OPERATION MODE "MODE 0" with one device and RX BUFFER SIZE 0.
  A value equal to what the module holds is always accepted. A key the module
  type lacks (a legacy module's CLASS OF DEVICE, ...) is skipped with a warning.
  A malformed file, an unknown section or key, an unknown placeholder, or a
  value no module could hold (not a number where a number goes, BAUDRATE
  included; not one of a list's words; not hexadecimal where hex goes) stops
  everything before any port is opened (exit 2), naming file, line and key.
  Lengths, ranges and the rules of a module type or model are checked per
  module: a value out of them fails that port only.

Interrupting (Ctrl-C, SIGTERM): no new port is started and no new write; the
writes in progress finish and restart their modules; then the table, exit 130.
A second Ctrl-C stops at once, between two commands, and says per port how far
it got. A write that stops after its first command (refused, unanswered,
interrupted) leaves the module partly written and in its configuration mode, not
restarted; the port's line says which command and how many were acknowledged;
write it again.

Exit status: 0 every port succeeded; 1 at least one port or an output failed;
2 usage or profile error, or an output that cannot be opened (nothing was sent
to any port); 130 interrupted.
)";

int UsageError(const QString& message)
{
    std::fprintf(stderr, "radioset-cli: %s\nTry 'radioset-cli --help'.\n", qPrintable(message));
    return 2;
}

bool IsGlob(const QString& text)
{
    return text.contains(u'*') || text.contains(u'?') || text.contains(u'[');
}

// The ports one -p stands for, each as an absolute path. A path relative to the
// current folder ("./mod1", "../x/ttyV0", or a bare "mod1" that is there) is
// taken from there; a bare name that is not ("ttyUSB0", "pts/4") means the device
// under /dev, as in the serial port dialog. Links are kept as given, as
// /dev/serial/by-id names are: opening, the held-port check and the lock follow
// them to the device, and reports name the port as the user knows it.
// A glob (relative ones from the current folder) stands for the ports of the
// serial port dialog's list that it matches (running virtual modules included),
// never for a console or another program's terminal.
QStringList ExpandPort(const QString& port)
{
    const auto absolute = [](const QString& path) {
        if (path.startsWith(u'/'))
            return path;
        const QFileInfo here(path);
        const bool relative = path.startsWith(QStringLiteral("./")) || path.startsWith(QStringLiteral("../"));
        if (relative || here.exists() || here.isSymLink())
            return QDir::cleanPath(here.absoluteFilePath());
        return QStringLiteral("/dev/") + path;
    };
    if (!IsGlob(port))
        return {absolute(port)};
    return PortsMatching(port.startsWith(u'/') ? port : QDir::cleanPath(QDir::current().absoluteFilePath(port)));
}

struct TArgs
{
    QStringList Ports;
    TJobPlan Plan;
    QString Output;
    bool Json = false;
    bool Quiet = false;
    int Jobs = 0;
    QString ProfilePath;
    QList<QByteArray> Sets;
};

} // namespace

int main(int argc, char** argv)
{
    // Before any thread starts, so that every thread leaves them to the watch.
    TSignalWatch::BlockSignals();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    TArgs a;
    QString command;
    a.Plan.ProductList = ProductListPath();

    for (int i = 0; i < args.size(); ++i) {
        const QString arg = args.at(i);
        QString name = arg;
        QString inlineValue;
        bool hasInline = false;
        if (arg.startsWith(QStringLiteral("--")) && arg.contains(u'=')) {
            name = arg.left(arg.indexOf(u'='));
            inlineValue = arg.mid(arg.indexOf(u'=') + 1);
            hasInline = true;
        }
        auto value = [&](QString* out) {
            if (hasInline) {
                *out = inlineValue;
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            *out = args.at(++i);
            return true;
        };
        QString v;
        if (name == QStringLiteral("-h") || name == QStringLiteral("--help")) {
            std::fputs(Usage, stdout);
            return 0;
        } else if (name == QStringLiteral("--version")) {
            std::fputs("radioset-cli " RADIOSET_CLI_VERSION "\n", stdout);
            return 0;
        } else if (name == QStringLiteral("-p") || name == QStringLiteral("--port")) {
            if (!value(&v))
                return UsageError(QStringLiteral("%1 needs a port").arg(name));
            const QStringList ports = ExpandPort(v);
            if (ports.isEmpty())
                return UsageError(QStringLiteral("no port matches %1").arg(v));
            a.Ports += ports;
        } else if (name == QStringLiteral("--baud")) {
            bool ok = false;
            if (!value(&v) || (a.Plan.Line.Baud = v.toInt(&ok), !ok) || a.Plan.Line.Baud < 50
                || a.Plan.Line.Baud > 4000000)
                return UsageError(QStringLiteral("--baud takes a line speed such as 9600"));
        } else if (name == QStringLiteral("--parity")) {
            if (!value(&v))
                return UsageError(QStringLiteral("--parity takes none, even or odd"));
            const QString p = v.toLower();
            if (p == QStringLiteral("none"))
                a.Plan.Line.Parity = 0;
            else if (p == QStringLiteral("odd"))
                a.Plan.Line.Parity = 1;
            else if (p == QStringLiteral("even"))
                a.Plan.Line.Parity = 2;
            else
                return UsageError(QStringLiteral("--parity takes none, even or odd"));
        } else if (name == QStringLiteral("--stop")) {
            if (!value(&v) || (v != QStringLiteral("1") && v != QStringLiteral("2")))
                return UsageError(QStringLiteral("--stop takes 1 or 2"));
            a.Plan.Line.StopBits = v == QStringLiteral("1") ? 0 : 2;
        } else if (name == QStringLiteral("--debug-char")) {
            bool ok = false;
            uint c = 0;
            if (!value(&v) || v.isEmpty() || v.size() > 2 || (c = v.toUInt(&ok, 16), !ok))
                return UsageError(QStringLiteral("--debug-char takes one byte in hex, such as 1E"));
            a.Plan.Line.DebugChar = quint8(c);
        } else if (name == QStringLiteral("--model")) {
            if (!value(&v) || v.isEmpty())
                return UsageError(QStringLiteral("--model needs a name"));
            a.Plan.Line.Model = v.toLatin1();
        } else if (name == QStringLiteral("--products")) {
            if (!value(&v))
                return UsageError(QStringLiteral("--products needs a file"));
            a.Plan.ProductList = v;
        } else if (name == QStringLiteral("-o") || name == QStringLiteral("--output")) {
            if (!value(&a.Output) || a.Output.isEmpty())
                return UsageError(QStringLiteral("%1 needs a file").arg(name));
        } else if (name == QStringLiteral("--format")) {
            if (!value(&v) || (v != QStringLiteral("ini") && v != QStringLiteral("json")))
                return UsageError(QStringLiteral("--format takes ini or json"));
            a.Json = v == QStringLiteral("json");
        } else if (name == QStringLiteral("--set")) {
            if (!value(&v))
                return UsageError(QStringLiteral("--set takes SECTION.KEY=VALUE"));
            a.Sets.append(v.toLatin1());
        } else if (name == QStringLiteral("--verify")) {
            a.Plan.Verify = true;
        } else if (name == QStringLiteral("--dry-run")) {
            a.Plan.DryRun = true;
        } else if (name == QStringLiteral("-j") || name == QStringLiteral("--jobs")) {
            bool ok = false;
            if (!value(&v) || (a.Jobs = v.toInt(&ok), !ok) || a.Jobs < 1)
                return UsageError(QStringLiteral("--jobs takes a number of 1 or more"));
        } else if (name == QStringLiteral("-q") || name == QStringLiteral("--quiet")) {
            a.Quiet = true;
        } else if (name == QStringLiteral("-v") || name == QStringLiteral("--verbose")) {
            a.Plan.Verbose = true;
        } else if (name.startsWith(u'-') && name.size() > 1) {
            return UsageError(QStringLiteral("unknown option %1").arg(name));
        } else if (command.isEmpty()) {
            command = arg;
        } else if (command == QStringLiteral("write") && a.ProfilePath.isEmpty()) {
            a.ProfilePath = arg;
        } else {
            return UsageError(QStringLiteral("unexpected argument %1").arg(arg));
        }
    }

    if (command == QStringLiteral("identify"))
        a.Plan.Command = TCliCommand::Identify;
    else if (command == QStringLiteral("read"))
        a.Plan.Command = TCliCommand::Read;
    else if (command == QStringLiteral("write"))
        a.Plan.Command = TCliCommand::Write;
    else if (command == QStringLiteral("init"))
        a.Plan.Command = TCliCommand::Init;
    else if (command == QStringLiteral("search"))
        a.Plan.Command = TCliCommand::Search;
    else if (command.isEmpty())
        return UsageError(QStringLiteral("no command given"));
    else
        return UsageError(QStringLiteral("unknown command %1").arg(command));

    if (a.Ports.isEmpty())
        return UsageError(QStringLiteral("no port given (-p PATH)"));
    QStringList duplicates;
    a.Ports = DistinctPorts(a.Ports, duplicates);
    for (const QString& warning : duplicates)
        std::fprintf(stderr, "radioset-cli: warning: %s\n", qPrintable(warning));
    if (a.Plan.Command == TCliCommand::Write && a.ProfilePath.isEmpty())
        return UsageError(QStringLiteral("write needs a PROFILE"));
    if (a.Plan.Command != TCliCommand::Write && (a.Plan.Verify || a.Plan.DryRun || !a.Sets.isEmpty()))
        return UsageError(QStringLiteral("--set, --verify and --dry-run belong to write"));
    if (a.Plan.Command != TCliCommand::Read && !a.Output.isEmpty())
        return UsageError(QStringLiteral("-o belongs to read"));
    if (a.Plan.Command == TCliCommand::Read && a.Ports.size() > 1 && !a.Output.isEmpty()
        && !a.Output.contains(QStringLiteral("{port}")))
        return UsageError(QStringLiteral("several ports: give -o with \"{port}\" in the name, one file per port"));
    if (a.Plan.Command == TCliCommand::Read && a.Ports.size() > 1 && !a.Json && a.Output.isEmpty())
        return UsageError(QStringLiteral("several ports: give -o with \"{port}\" in the name, or --format json"));

    // The profile is read and checked whole before any port is opened.
    if (a.Plan.Command == TCliCommand::Write) {
        QFile file(a.ProfilePath);
        if (!file.open(QIODevice::ReadOnly))
            return UsageError(QStringLiteral("%1: %2").arg(a.ProfilePath, file.errorString()));
        if (const std::optional<TProfileError> error = ParseProfile(file.readAll(), a.Plan.Profile)) {
            std::fprintf(stderr, "radioset-cli: %s\n", qPrintable(FormatProfileError(a.ProfilePath, *error)));
            return 2;
        }
        for (const QByteArray& set : a.Sets) {
            if (const std::optional<TProfileError> error = SetProfileEntry(set, a.Plan.Profile)) {
                std::fprintf(stderr, "radioset-cli: %s\n", qPrintable(FormatProfileError(QStringLiteral("--set"), *error)));
                return 2;
            }
        }
        for (const TProfileEntry& entry : a.Plan.Profile.Entries) {
            // Placeholders are filled per module; the form is checked with a stand-in.
            const QByteArray sample = ExpandTemplates(entry.Value, {1, "0", "000000000000"});
            if (const std::optional<QString> problem = CheckValueForm(entry.Id, sample)) {
                const TFieldRule& rule = FieldRule(entry.Id);
                const TProfileError error{entry.Line, QByteArray(rule.Section) + '.' + rule.Caption, *problem};
                std::fprintf(stderr, "radioset-cli: %s\n",
                             qPrintable(FormatProfileError(entry.Line > 0 ? a.ProfilePath : QStringLiteral("--set"), error)));
                return 2;
            }
        }
    }

    const int count = int(a.Ports.size());
    std::vector<TPortResult> results(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        results[size_t(i)].Port = a.Ports.at(i);
        results[size_t(i)].Name = PortName(a.Ports.at(i));
    }

    // Every output file is opened before any port is touched; each is put in
    // place only when its port has succeeded.
    std::vector<std::unique_ptr<QSaveFile>> outputs(static_cast<size_t>(count));
    if (a.Plan.Command == TCliCommand::Read && !a.Output.isEmpty()) {
        for (int i = 0; i < count; ++i) {
            auto file = std::make_unique<QSaveFile>(OutputPath(a.Output, results[size_t(i)]));
            if (!file->open(QIODevice::WriteOnly))
                return UsageError(QStringLiteral("%1: %2").arg(file->fileName(), file->errorString()));
            outputs[size_t(i)] = std::move(file);
        }
    }

    std::atomic<int> interrupt{NotInterrupted};
    a.Plan.Interrupt = &interrupt;
    TProgressBoard board(a.Ports, a.Quiet, isatty(STDERR_FILENO) != 0);
    const TSignalWatch signalWatch(
        interrupt,
        [&board](int level) {
            board.Notice(level == FinishWrites
                             ? QStringLiteral("radioset-cli: interrupted: no new port and no new write; the writes in "
                                              "progress finish and restart their modules (interrupt again to stop "
                                              "at once)")
                             : QStringLiteral("radioset-cli: interrupted again: stopping at once"));
        },
        [&board] { board.Resized(); });
    std::atomic<int> next{0};
    auto worker = [&] {
        for (int i = next++; i < count; i = next++) {
            TPortResult& result = results[size_t(i)];
            const QString name = PortName(result.Port);
            if (interrupt.load() != NotInterrupted) {
                result.Interrupted = true;
                result.Error = QStringLiteral("INTERRUPTED before it started: nothing sent");
                board.Finished(i, result);
                continue;
            }
            TTrace trace;
            if (a.Plan.Verbose)
                trace = [&board, name](const QString& line) { board.Trace(name, line); };
            board.Started(i);
            RunPortJob(a.Plan, i + 1, result,
                       [&board, i, &result](const QString& doing, int step, int steps) {
                           board.Update(i, result.Module.Model, doing, step, steps);
                       },
                       trace);
            board.Finished(i, result);
        }
    };
    const int jobs = a.Jobs > 0 ? qMin(a.Jobs, count) : count;
    std::vector<std::thread> threads;
    for (int j = 0; j < jobs; ++j)
        threads.emplace_back(worker);
    for (std::thread& t : threads)
        t.join();

    // The outputs, then the table that says how they went.
    QString outputError;
    if (a.Plan.Command == TCliCommand::Read && !a.Output.isEmpty()) {
        for (int i = 0; i < count; ++i) {
            TPortResult& r = results[size_t(i)];
            QSaveFile& file = *outputs[size_t(i)];
            if (!r.Ok) {
                file.cancelWriting();
                continue;
            }
            const QByteArray text =
                a.Json ? QJsonDocument(ResultJson(r, a.Plan)).toJson() : ResultText(r, a.Plan, count > 1);
            if (file.write(text) != text.size() || !file.commit()) {
                r.Ok = false;
                r.Error = QStringLiteral("OUTPUT ERROR: %1: %2").arg(file.fileName(), file.errorString());
            }
        }
    } else {
        QByteArray out;
        if (a.Json) {
            QJsonArray array;
            for (const TPortResult& r : results)
                array.append(ResultJson(r, a.Plan));
            out = QJsonDocument(array).toJson();
        } else {
            for (const TPortResult& r : results) {
                if (r.Ok)
                    out += ResultText(r, a.Plan, count > 1);
            }
        }
        errno = 0;
        const bool written = std::fwrite(out.constData(), 1, size_t(out.size()), stdout) == size_t(out.size());
        if (std::fflush(stdout) != 0 || !written || std::ferror(stdout))
            outputError = QStringLiteral("standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno ? errno : EIO)));
    }
    board.Done(results, outputError);

    if (interrupt.load() != NotInterrupted)
        return 130;
    bool allOk = outputError.isEmpty();
    for (const TPortResult& r : results)
        allOk = allOk && r.Ok;
    return allOk ? 0 : 1;
}
