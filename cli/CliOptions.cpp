// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliOptions.h"

#include "FieldRules.h"
#include "IniFile.h"
#include "Profile.h"
#include "SerialPortList.h"
#include "SpeedSearch.h"

#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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
  init              restore each module's factory settings ("AT&F"); on more
                    than one port only with --yes
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
      --baud N|LIST|auto  line speed of the module's UART (default 9600); a list
                          ("9600,115200") or auto (9600, 115200, 38400, 57600,
                          19200, 230400, 4800, 2400, 1200) tries the speeds in
                          turn until the module answers its debug character,
                          a wrong one only as long as an answer needs; the
                          speed found is shown and logged
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
                          --dry-run the changes and commands, for a write that
                          began how far it got (write, written: the keys the
                          module acknowledged; settings: what it holds), for
                          search the devices found
      --set SECTION.KEY=VALUE   write: add or override one entry, e.g.
                          --set "BLUETOOTH.DEVICE NAME=SENSOR-{n}"
      --verify            write: reconnect with the UART speed, parity, stop bits
                          and debug character just written (the module restarts
                          with them), read back and compare; any difference fails
                          that port
      --dry-run           write: identify and read each module, check the profile
                          against it and print what would change
                          ("BLUETOOTH.DEVICE NAME: RADIOSIM -> SENSOR-0001"),
                          with -v also the commands; write nothing
      --watch             a production line: configure module after module
                          as they come, until Ctrl-C or --count (see below)
      --count N           --watch: stop after N units
      --log FILE          append one JSON record per port or unit (JSON Lines):
                          time, unit, port, adapter, speed, command, result,
                          error, module, profile and its SHA-256, the values
                          written, verified, duration_ms; each record written
                          whole and synced; {n} goes on from its last unit
      --transcript FILE   every byte both ways with its time, as text; "{port}"
                          in the name gives one file per port
  -j, --jobs N            ports handled at once (default: all); the ports are
                          told apart by device: a link and its target are one
  -q, --quiet             no progress and no table; errors only
  -v, --verbose           also every command and answer
      --yes               init: go on with several ports
  -h, --help              this text
      --version           the program's version
  --                      ends the options: what follows is the command and
                          its PROFILE, also when it starts with "-"

Short options may be joined, a value following its letter: -j1, -qp PORT.

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
  before ttyUSB10; counted on from the last unit of --log when given; with
  --watch the unit number), so it changes when adapters come and go; {port}
  is its base name, {local} the module's local address and {local4} its last
  four characters ("{{" for a lone "{"). {local4} stays with the module:
  the stable choice for names, e.g. DEVICE NAME = SENSOR-{local4}.

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

A production line (--watch, with identify, read, write or init --yes): every
port that appears is a unit: with -p, the names its globs match, looked for
again and again ("/dev/serial/by-id/*", "/dev/ttyUSB*"); without -p, every
serial adapter plugged in while the line runs (the ports there at its start are
left alone). A port -p names that is there at the start is polled first, as a
fixture is, so an empty fixture then is no failed unit. An adapter per module:
a port counts again only after it has gone and come back. A fixture (the
adapter stays, modules are pressed in one after another): after a unit the port
is polled every 300 ms with the debug character alone, no CR; a module that
answers is asked its local address; the module just done is restarted unchanged
("ATZ") and is never the next unit, another address is; a module whose unit
failed is left as it is, and taken again once it was pressed in anew, as the
unit's next attempt. Ports run at once, each on its own. {n} is the unit
number, counted on from the last unit of --log, so a line restarted hands out
no number twice. On a terminal each unit ends with one wide line (unit, port,
local address, PASS or FAIL, time; a bell on FAIL) and a status line keeps the
counts; elsewhere one plain line per unit. Ctrl-C or SIGTERM: no new unit; the
units in progress finish whole; then the summary (units, passed, failed, units
per hour); exit 0 when no unit failed, 1 otherwise. A second Ctrl-C stops at
once as below (130).

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

bool IsGlob(const QString& text)
{
    return text.contains(u'*') || text.contains(u'?') || text.contains(u'[');
}

} // namespace

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

namespace {

TCommandLine Stop(const QString& error)
{
    TCommandLine line;
    line.Action = TCommandLine::TAction::Stop;
    line.Error = error;
    return line;
}

// A value's text outside its placeholders ("{local4}" and the like).
QByteArray WithoutPlaceholders(const QByteArray& value)
{
    QByteArray out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) == '{' && value.mid(i, 2) != "{{") {
            const qsizetype end = value.indexOf('}', i);
            if (end < 0)
                break;
            i = end;
            continue;
        }
        out += value.at(i);
    }
    return out;
}

QByteArray UpperOutsidePlaceholders(const QByteArray& value)
{
    QByteArray out;
    bool inside = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value.at(i);
        if (c == '{' && value.mid(i, 2) != "{{")
            inside = true;
        out += inside ? c : QByteArray(1, c).toUpper().at(0);
        if (c == '}')
            inside = false;
    }
    return out;
}

// The profile and the --set entries, checked whole before any port is opened.
std::optional<QString> LoadProfile(TCliOptions& a)
{
    QFile file(a.ProfilePath);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2").arg(a.ProfilePath, file.errorString());
    const QByteArray bytes = file.readAll();
    // The log names the profile by these very bytes.
    a.Plan.ProfilePath = QFileInfo(a.ProfilePath).absoluteFilePath();
    a.Plan.ProfileSha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    if (const std::optional<TProfileError> error = ParseProfile(bytes, a.Plan.Profile))
        return FormatProfileError(a.ProfilePath, *error);
    for (const QByteArray& set : a.Sets) {
        if (const std::optional<TProfileError> error = SetProfileEntry(set, a.Plan.Profile))
            return FormatProfileError(QStringLiteral("--set"), *error);
    }
    for (const TProfileEntry& entry : a.Plan.Profile.Entries) {
        // Placeholders are filled per module; the form is checked with a stand-in.
        const QByteArray sample = ExpandTemplates(entry.Value, {1, "0", "000000000000"});
        const TFieldRule& rule = FieldRule(entry.Id);
        const QString where = entry.Line > 0 ? a.ProfilePath : QStringLiteral("--set");
        if (const std::optional<QString> problem = CheckValueForm(entry.Id, sample)) {
            const TProfileError error{entry.Line, QByteArray(rule.Section) + '.' + rule.Caption, *problem};
            return FormatProfileError(where, error);
        }
        // The page turns typed letters to upper case; so does the write, for every port.
        if (rule.UpperCase && WithoutPlaceholders(entry.Value) != WithoutPlaceholders(entry.Value).toUpper()) {
            const TProfileError note{entry.Line, QByteArray(rule.Section) + '.' + rule.Caption,
                                     QStringLiteral("\"%1\" is written in upper case, as \"%2\"")
                                         .arg(QString::fromLatin1(entry.Value),
                                              QString::fromLatin1(UpperOutsidePlaceholders(entry.Value)))};
            a.ProfileWarnings.append(FormatProfileError(where, note));
        }
    }
    return std::nullopt;
}

// What a production line (--watch) takes: a command that configures module
// after module, and names for what each unit leaves behind that keep units apart.
std::optional<QString> CheckWatch(const TCliOptions& a)
{
    const TCliCommand command = a.Plan.Command;
    if (command == TCliCommand::Search)
        return QStringLiteral("--watch takes identify, read, write or init");
    if (a.Jobs > 0)
        return QStringLiteral("-j belongs to runs without --watch: a line works every port as its module comes");
    if (a.Json)
        return QStringLiteral("--format belongs to runs without --watch; a line's record is its --log (JSON Lines)");
    if (command == TCliCommand::Init && !a.Yes)
        return QStringLiteral("--watch init restores the factory settings of every module that comes: give --yes to go on");
    if (command == TCliCommand::Read) {
        const bool perUnit = a.Output.contains(QStringLiteral("{n}")) || a.Output.contains(QStringLiteral("{local}"))
                             || a.Output.contains(QStringLiteral("{local4}"));
        if (!perUnit)
            return QStringLiteral("--watch read: give -o with \"{n}\", \"{local}\" or \"{local4}\" in the name, one "
                                  "file per unit");
    }
    return std::nullopt;
}

} // namespace

const char* UsageText()
{
    return Usage;
}

TCommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")}, {}, QStringLiteral("PATH"));
    const QCommandLineOption baud(QStringLiteral("baud"), {}, QStringLiteral("N"));
    const QCommandLineOption parity(QStringLiteral("parity"), {}, QStringLiteral("P"));
    const QCommandLineOption stop(QStringLiteral("stop"), {}, QStringLiteral("N"));
    const QCommandLineOption debugChar(QStringLiteral("debug-char"), {}, QStringLiteral("HEX"));
    const QCommandLineOption model(QStringLiteral("model"), {}, QStringLiteral("NAME"));
    const QCommandLineOption products(QStringLiteral("products"), {}, QStringLiteral("FILE"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, {}, QStringLiteral("FILE"));
    const QCommandLineOption format(QStringLiteral("format"), {}, QStringLiteral("F"));
    const QCommandLineOption set(QStringLiteral("set"), {}, QStringLiteral("ENTRY"));
    const QCommandLineOption verify(QStringLiteral("verify"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption jobs({QStringLiteral("j"), QStringLiteral("jobs")}, {}, QStringLiteral("N"));
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")});
    const QCommandLineOption verbose(QStringList{QStringLiteral("v"), QStringLiteral("verbose")});
    const QCommandLineOption yes(QStringLiteral("yes"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption watch(QStringLiteral("watch"));
    const QCommandLineOption count(QStringLiteral("count"), {}, QStringLiteral("N"));
    const QCommandLineOption log(QStringLiteral("log"), {}, QStringLiteral("FILE"));
    const QCommandLineOption transcript(QStringLiteral("transcript"), {}, QStringLiteral("FILE"));
    parser.addOptions({port, baud, parity, stop, debugChar, model, products, output, format, set, verify, dryRun,
                       jobs, quiet, verbose, yes, help, version, watch, count, log, transcript});
    if (!parser.parse(arguments))
        return Stop(parser.errorText());

    TCommandLine line;
    if (parser.isSet(help)) {
        line.Action = TCommandLine::TAction::Help;
        return line;
    }
    if (parser.isSet(version)) {
        line.Action = TCommandLine::TAction::Version;
        return line;
    }
    TCliOptions& a = line.Options;
    a.Plan.ProductList = ProductListPath();

    a.Watch = parser.isSet(watch);
    for (const QString& v : parser.values(port)) {
        if (v.isEmpty())
            return Stop(QStringLiteral("-p needs a port"));
        if (a.Watch) {
            // Watched: expanded again and again while the line runs.
            a.Globs.append(v.startsWith(u'/') || IsGlob(v) ? v : ExpandPort(v).value(0));
            continue;
        }
        const QStringList ports = ExpandPort(v);
        if (ports.isEmpty())
            return Stop(QStringLiteral("no port matches %1").arg(v));
        a.Ports += ports;
    }
    bool ok = false;
    if (parser.isSet(baud)) {
        QString why;
        const std::optional<QList<qint32>> speeds = ParseSpeeds(parser.value(baud), &why);
        if (!speeds)
            return Stop(QStringLiteral("--baud: %1").arg(why));
        a.Plan.Line.Baud = speeds->first();
        if (speeds->size() > 1)
            a.Plan.Speeds = *speeds;
    }
    if (parser.isSet(parity)) {
        const QString p = parser.value(parity).toLower();
        if (p == QStringLiteral("none"))
            a.Plan.Line.Parity = 0;
        else if (p == QStringLiteral("odd"))
            a.Plan.Line.Parity = 1;
        else if (p == QStringLiteral("even"))
            a.Plan.Line.Parity = 2;
        else
            return Stop(QStringLiteral("--parity takes none, even or odd"));
    }
    if (parser.isSet(stop)) {
        const QString v = parser.value(stop);
        if (v != QStringLiteral("1") && v != QStringLiteral("2"))
            return Stop(QStringLiteral("--stop takes 1 or 2"));
        a.Plan.Line.StopBits = v == QStringLiteral("1") ? 0 : 2;
    }
    if (parser.isSet(debugChar)) {
        const QString v = parser.value(debugChar);
        const uint c = v.toUInt(&ok, 16);
        if (v.isEmpty() || v.size() > 2 || !ok)
            return Stop(QStringLiteral("--debug-char takes one byte in hex, such as 1E"));
        a.Plan.Line.DebugChar = quint8(c);
    }
    if (parser.isSet(model)) {
        if (parser.value(model).isEmpty())
            return Stop(QStringLiteral("--model needs a name"));
        a.Plan.Line.Model = parser.value(model).toLatin1();
    }
    if (parser.isSet(products))
        a.Plan.ProductList = parser.value(products);
    if (parser.isSet(output)) {
        a.Output = parser.value(output);
        if (a.Output.isEmpty())
            return Stop(QStringLiteral("-o needs a file"));
    }
    if (parser.isSet(format)) {
        const QString v = parser.value(format);
        if (v != QStringLiteral("ini") && v != QStringLiteral("json"))
            return Stop(QStringLiteral("--format takes ini or json"));
        a.Json = v == QStringLiteral("json");
    }
    for (const QString& v : parser.values(set))
        a.Sets.append(v.toLatin1());
    a.Plan.Verify = parser.isSet(verify);
    a.Plan.DryRun = parser.isSet(dryRun);
    if (parser.isSet(jobs)) {
        a.Jobs = parser.value(jobs).toInt(&ok);
        if (!ok || a.Jobs < 1)
            return Stop(QStringLiteral("--jobs takes a number of 1 or more"));
    }
    if (parser.isSet(count)) {
        a.Count = parser.value(count).toLongLong(&ok);
        if (!ok || a.Count < 1)
            return Stop(QStringLiteral("--count takes a number of 1 or more"));
    }
    if (parser.isSet(log)) {
        a.LogPath = parser.value(log);
        if (a.LogPath.isEmpty())
            return Stop(QStringLiteral("--log needs a file"));
    }
    if (parser.isSet(transcript)) {
        a.TranscriptPath = parser.value(transcript);
        if (a.TranscriptPath.isEmpty())
            return Stop(QStringLiteral("--transcript needs a file"));
    }
    a.Quiet = parser.isSet(quiet);
    a.Plan.Verbose = parser.isSet(verbose);
    a.Yes = parser.isSet(yes);

    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
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
    else if (positional.isEmpty())
        return Stop(QStringLiteral("no command given"));
    else
        return Stop(QStringLiteral("unknown command %1").arg(command));
    const int wanted = a.Plan.Command == TCliCommand::Write ? 2 : 1;
    if (positional.size() > wanted)
        return Stop(QStringLiteral("unexpected argument %1").arg(positional.at(wanted)));
    if (a.Plan.Command == TCliCommand::Write) {
        if (positional.size() < 2)
            return Stop(QStringLiteral("write needs a PROFILE"));
        a.ProfilePath = positional.at(1);
    }

    if (a.Watch) {
        if (const std::optional<QString> error = CheckWatch(a))
            return Stop(*error);
    } else {
        if (a.Count > 0)
            return Stop(QStringLiteral("--count belongs to --watch"));
        if (a.Ports.isEmpty())
            return Stop(QStringLiteral("no port given (-p PATH)"));
        a.Ports = DistinctPorts(a.Ports, a.PortWarnings);
    }
    if (a.Plan.Command != TCliCommand::Write && (a.Plan.Verify || a.Plan.DryRun || !a.Sets.isEmpty()))
        return Stop(QStringLiteral("--set, --verify and --dry-run belong to write"));
    if (a.Plan.Command != TCliCommand::Read && !a.Output.isEmpty())
        return Stop(QStringLiteral("-o belongs to read"));
    if (!a.Watch && a.Output.contains(QStringLiteral("{local")))
        return Stop(QStringLiteral("-o: {local} and {local4} name a unit's file with --watch only; here every file "
                                   "is opened before any port"));
    if (a.Watch) {
        // Checked by CheckWatch: a line has units, not a list of ports.
    } else if (a.Plan.Command == TCliCommand::Read && a.Ports.size() > 1 && !a.Output.isEmpty()
        && !a.Output.contains(QStringLiteral("{port}")))
        return Stop(QStringLiteral("several ports: give -o with \"{port}\" in the name, one file per port"));
    if (!a.Watch && a.Plan.Command == TCliCommand::Read && a.Ports.size() > 1 && !a.Json && a.Output.isEmpty())
        return Stop(QStringLiteral("several ports: give -o with \"{port}\" in the name, or --format json"));
    if (!a.Watch && a.Plan.Command == TCliCommand::Init && a.Ports.size() > 1 && !a.Yes)
        return Stop(QStringLiteral("init restores the factory settings of %1 modules: give --yes to go on")
                        .arg(a.Ports.size()));
    if (a.Plan.Command == TCliCommand::Write) {
        if (const std::optional<QString> error = LoadProfile(a)) {
            TCommandLine stopped = Stop(*error);
            stopped.Usage = false;
            return stopped;
        }
    }
    return line;
}
