// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-cli against several virtual modules at once: the program runs as its
// own process, the modules in this one, so their settings and the commands they
// received can be looked at afterwards.

#include "VirtualModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

using Settings = std::map<std::string, std::string>;

struct TRun
{
    int Exit = -1;
    QString Out;
    QString Err;
};

// The write commands of every step, by name: none of them may reach a module
// that only reads or checks.
bool IsWriteCommand(const std::string& line)
{
    static const char* const names[] = {"AT+BTNAME", "AT+BTROLE", "AT+BTADDR", "AT+BTLPM",  "AT+BTLT",   "AT+BTSEC",
                                        "AT+BTKEY",  "AT+BTMSG",  "AT+BTMODE", "AT+SETESC", "AT+SETDEBUG", "AT+BTUART",
                                        "AT+BTOPMODE", "AT+BTDEV", "AT+BTBUFF", "AT+BTFASTCH", "AT+BTIAC", "AT+BTCOD",
                                        "AT+BTPRO",  "AT+BTSN",   "AT+BTCDELAY", "AT+BTHFC"};
    for (const char* name : names) {
        const std::string n = name;
        if (line.compare(0, n.size(), n) == 0 && line.size() > n.size() && (line[n.size()] == '=' || line[n.size()] == ','))
            return true;
    }
    return false;
}

int WriteCommandCount(const radiosim::VirtualModule& module)
{
    int count = 0;
    for (const std::string& line : module.receivedCommands())
        count += IsWriteCommand(line) ? 1 : 0;
    return count;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    std::vector<std::unique_ptr<radiosim::VirtualModule>> m_modules;
    QTemporaryDir m_dir;

    radiosim::VirtualModule& Start(radiosim::Options options = {})
    {
        auto module = std::make_unique<radiosim::VirtualModule>(options);
        std::string error;
        if (!module->start(&error))
            qFatal("virtual module: %s", error.c_str());
        // Distinct local addresses, as real modules have.
        char address[13];
        std::snprintf(address, sizeof address, "00A0C1D2%04zX", m_modules.size() + 0x10);
        module->setSetting("LocalBDAddr", address);
        m_modules.push_back(std::move(module));
        return *m_modules.back();
    }

    static QString Port(const radiosim::VirtualModule& module) { return QString::fromStdString(module.devicePath()); }

    QString File(const QString& name, const QByteArray& text = {})
    {
        const QString path = m_dir.filePath(name);
        if (!text.isNull()) {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(text);
        }
        return path;
    }

    static TRun Cli(const QStringList& args, const QString& workingDirectory = {}, const QString& outputFile = {})
    {
        QProcess process;
        process.setWorkingDirectory(workingDirectory);
        if (!outputFile.isEmpty())
            process.setStandardOutputFile(outputFile);
        process.start(QStringLiteral(RADIOSET_CLI_EXE), args);
        return Finish(process);
    }

    static TRun Finish(QProcess& process)
    {
        TRun run;
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
        }
        run.Exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
        run.Err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

    static QStringList Ports(const std::vector<radiosim::VirtualModule*>& modules)
    {
        QStringList args;
        for (const auto* m : modules)
            args << u"-p"_s << Port(*m);
        return args;
    }

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void cleanup() { m_modules.clear(); }

    // Read, then write the same file: the module ends as it was, values longer
    // than the pages let a person type included.
    void readThenWriteLeavesTheModuleUnchanged_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("writes");
        QTest::newRow("current") << int(radiosim::ModuleType::Current) << 22;
        QTest::newRow("legacy with fast switching") << int(radiosim::ModuleType::LegacyFastSwitch) << 16;
        QTest::newRow("legacy") << int(radiosim::ModuleType::Legacy) << 15;
    }
    void readThenWriteLeavesTheModuleUnchanged()
    {
        QFETCH(int, type);
        QFETCH(int, writes);
        radiosim::Options options;
        options.type = radiosim::ModuleType(type);
        auto& module = Start(options);
        // Texts an INI file must take care with: blanks at the ends, "=", ";", braces.
        module.setSetting("DeviceName", " {A};B=C ");
        module.setSetting("PinCode", "#1=\\\"x");
        const Settings before = module.settings();

        const QString profile = File(u"module.ini"_s);
        const TRun read = Cli({u"read"_s, u"-q"_s, u"-p"_s, Port(module), u"-o"_s, profile});
        QVERIFY2(read.Exit == 0, qPrintable(read.Err));
        QFile file(profile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("[MODULE]"));
        QVERIFY2(text.contains("DEVICE NAME = \" {{A};B=C \""), text.constData());
        QCOMPARE(text.contains("CLASS OF DEVICE"), options.type == radiosim::ModuleType::Current);
        QCOMPARE(module.settings(), before);

        module.clearTranscript();
        const TRun write = Cli({u"write"_s, profile, u"-q"_s, u"-p"_s, Port(module)});
        QVERIFY2(write.Exit == 0, qPrintable(write.Err));
        QCOMPARE(WriteCommandCount(module), writes);
        QCOMPARE(module.receivedCommands().back(), std::string("ATZ"));
        QCOMPARE(module.settings(), before);
    }

    // Only the keys the profile names change; {n}, {port} and {local4} give each
    // module its own name.
    void partialProfileAndTemplates()
    {
        std::vector<radiosim::VirtualModule*> modules{&Start(), &Start(), &Start()};
        std::vector<Settings> before;
        for (auto* m : modules)
            before.push_back(m->settings());
        const QString profile =
            File(u"partial.ini"_s, "; only two settings\n[bluetooth]\nDevice Name = S{n}-{local4}\n"
                                   "[SECURITY]\nPIN CODE = \"  4321\"\n");
        const TRun run = Cli(QStringList{u"write"_s, profile} + Ports(modules)
                             + QStringList{u"--set"_s, u"UART.PARITY BIT=Even"_s, u"--format"_s, u"json"_s});
        QVERIFY2(run.Exit == 0, qPrintable(run.Err));
        QVERIFY2(run.Out.contains(u"\"result\": \"ok\""_s), qPrintable(run.Out));
        for (size_t i = 0; i < modules.size(); ++i) {
            Settings after = modules[i]->settings();
            const std::string local = before[i].at("LocalBDAddr");
            QCOMPARE(after.at("DeviceName"), "S" + std::to_string(i + 1) + "-" + local.substr(local.size() - 4));
            QCOMPARE(after.at("PinCode"), std::string("  4321"));
            QCOMPARE(after.at("ParityBit"), std::string("E"));
            after["DeviceName"] = before[i].at("DeviceName");
            after["PinCode"] = before[i].at("PinCode");
            after["ParityBit"] = before[i].at("ParityBit");
            QCOMPARE(after, before[i]);
        }
        QVERIFY(modules[0]->settings().at("DeviceName") != modules[1]->settings().at("DeviceName"));
    }

    // A module that says "OK" to the name and keeps the old one passes a plain
    // write; --verify reads it back and fails that port.
    void verifyCatchesAnAcknowledgedButIgnoredCommand()
    {
        radiosim::Options options;
        options.ignoreCommand = "AT+BTNAME";
        auto& module = Start(options);
        const QString profile = File(u"name.ini"_s, "[BLUETOOTH]\nDEVICE NAME = NEWNAME\n");
        const TRun plain = Cli({u"write"_s, profile, u"-q"_s, u"-p"_s, Port(module)});
        QCOMPARE(plain.Exit, 0);
        QCOMPARE(module.settings().at("DeviceName"), std::string("RADIOSIM"));

        const TRun verified = Cli({u"write"_s, profile, u"--verify"_s, u"-q"_s, u"-p"_s, Port(module)});
        QCOMPARE(verified.Exit, 1);
        QVERIFY2(verified.Err.contains(u"VERIFY ERROR"_s) && verified.Err.contains(u"DEVICE NAME is \"RADIOSIM\""_s),
                 qPrintable(verified.Err));
        QVERIFY(verified.Err.contains(Port(module).mid(5) + u": "_s));
    }

    void dryRunSendsNoWriteCommand()
    {
        auto& module = Start();
        const Settings before = module.settings();
        const QString profile = File(u"dry.ini"_s, "[BLUETOOTH]\nDEVICE NAME = DRY\n");
        const TRun run = Cli({u"write"_s, profile, u"--dry-run"_s, u"-q"_s, u"-p"_s, Port(module)});
        QVERIFY2(run.Exit == 0, qPrintable(run.Err));
        // What would change, not every command.
        QCOMPARE(run.Out, u"BLUETOOTH.DEVICE NAME: RADIOSIM -> DRY\n"_s);
        const TRun verbose = Cli({u"write"_s, profile, u"--dry-run"_s, u"-q"_s, u"-v"_s, u"-p"_s, Port(module)});
        QVERIFY2(verbose.Out.contains(u"AT+BTNAME=DRY"_s) && verbose.Out.contains(u"AT+BTHFC,"_s), qPrintable(verbose.Out));
        QVERIFY(!module.receivedCommands().empty());
        QCOMPARE(WriteCommandCount(module), 0);
        QCOMPARE(module.settings(), before);
    }

    // One module refuses a command half-way: the others are written all the same.
    void onePortFailingLeavesTheOthersToFinish()
    {
        radiosim::Options refusing;
        refusing.errorOnCommandPrefix = "AT+BTSEC";
        std::vector<radiosim::VirtualModule*> modules{&Start(), &Start(refusing), &Start()};
        const QString profile = File(u"name.ini"_s, "[BLUETOOTH]\nDEVICE NAME = UNIT-{n}\n");
        const TRun run = Cli(QStringList{u"write"_s, profile} + Ports(modules));
        QCOMPARE(run.Exit, 1);
        QCOMPARE(modules[0]->settings().at("DeviceName"), std::string("UNIT-1"));
        QCOMPARE(modules[2]->settings().at("DeviceName"), std::string("UNIT-3"));
        const QString failing = Port(*modules[1]).mid(5);
        QVERIFY2(run.Err.contains(failing + u": ERROR RECEIVED: Error Data was received, Write Command Number : 5, "
                                            "Command : AT+BTSEC"_s),
                 qPrintable(run.Err));
        // The table names every port with its result.
        QVERIFY(run.Err.contains(u"RESULT"_s));
        QCOMPARE(run.Err.count(QRegularExpression(u"\\sok$"_s, QRegularExpression::MultilineOption)), 2);
        // And a last line that counts them and names the port that failed.
        QVERIFY2(run.Err.endsWith(u"2 ok, 1 FAILED (%1)\n"_s.arg(failing)), qPrintable(run.Err));
    }

    // Ctrl-C during a write: the write in progress finishes with "ATZ", the port
    // waiting for its turn is not started, the table comes, exit 130. A second
    // Ctrl-C stops the write between two commands and says how far it got.
    void interruptedWrite_data()
    {
        QTest::addColumn<int>("interrupts");
        QTest::newRow("once: the write finishes") << 1;
        QTest::newRow("twice: stopped at once") << 2;
    }
    void interruptedWrite()
    {
        QFETCH(int, interrupts);
        radiosim::Options paced;
        paced.answerDelayMs = 40;
        std::vector<radiosim::VirtualModule*> modules{&Start(paced), &Start(paced)};
        const QString profile = File(u"name.ini"_s, "[BLUETOOTH]\nDEVICE NAME = UNIT-{n}\n");
        QProcess process;
        process.start(QStringLiteral(RADIOSET_CLI_EXE), QStringList{u"write"_s, profile, u"-j"_s, u"1"_s} + Ports(modules));
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(WriteCommandCount(*modules[0]) >= 4, 30000);
        for (int i = 0; i < interrupts; ++i) {
            // Two signals sent together would arrive as one.
            if (i > 0)
                QTest::qWait(100);
            ::kill(pid_t(process.processId()), SIGINT);
        }
        const TRun run = Finish(process);
        QCOMPARE(run.Exit, 130);
        const QString first = Port(*modules[0]).mid(5);
        const QString second = Port(*modules[1]).mid(5);
        const QString summary = interrupts == 1 ? u"1 ok, 1 INTERRUPTED (%1)"_s.arg(second)
                                                : u"0 ok, 2 INTERRUPTED (%1, %2)"_s.arg(first, second);
        QVERIFY2(run.Err.contains(u"RESULT"_s) && run.Err.contains(summary), qPrintable(run.Err));
        QVERIFY2(run.Err.contains(Port(*modules[1]).mid(5) + u": INTERRUPTED before it started: nothing sent"_s),
                 qPrintable(run.Err));
        QVERIFY(modules[1]->receivedBytes().empty());
        const int written = WriteCommandCount(*modules[0]);
        if (interrupts == 1) {
            QCOMPARE(written, 22);
            QCOMPARE(modules[0]->receivedCommands().back(), std::string("ATZ"));
            QCOMPARE(modules[0]->settings().at("DeviceName"), std::string("UNIT-1"));
        } else {
            QVERIFY(written < 22);
            QVERIFY(modules[0]->receivedCommands().back() != std::string("ATZ"));
            // Every command sent was answered: the count said is the count the module took.
            QVERIFY2(run.Err.contains(u"INTERRUPTED after %1 of 22 write commands: the module is partly written, not "
                                      "restarted; write it again"_s.arg(written)),
                     qPrintable(run.Err));
        }
    }

    // A command refused or left unanswered half-way: the port's line says which
    // command, how many were taken and what to do; the JSON's settings are what
    // the module holds, and its written list names what it took.
    void partlyWritten_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("message");
        QTest::newRow("refused") << false
                                 << u"ERROR RECEIVED: Error Data was received, Write Command Number : 11, Command : "
                                    "AT+BTUART; \"AT+BTUART,9600,e,1\" refused after 11 of 22 write commands"_s;
        // Commands: the debug character, 2 of the handshake, 18 of the reading, then the writes.
        QTest::newRow("unanswered") << true
                                    << u"WRITING ERROR: Response Data was not received for Write Command, Write "
                                       "Command Number : 11; \"AT+BTUART,9600,e,1\" not answered after 11 of 22 "
                                       "write commands"_s;
    }
    void partlyWritten()
    {
        QFETCH(bool, silent);
        QFETCH(QString, message);
        radiosim::Options faulty;
        if (silent)
            faulty.silentFromCommand = 1 + 2 + 18 + 11 + 1;
        else
            faulty.errorOnCommandPrefix = "AT+BTUART";
        auto& module = Start(faulty);
        const QString profile = File(u"two.ini"_s, "[BLUETOOTH]\nDEVICE NAME = PART-1\n[UART]\nPARITY BIT = Even\n");
        const TRun run = Cli({u"write"_s, profile, u"--format"_s, u"json"_s, u"-p"_s, Port(module)});
        QCOMPARE(run.Exit, 1);
        QVERIFY2(run.Err.contains(message + u": the module is partly written, not restarted; write it again"_s),
                 qPrintable(run.Err));
        QCOMPARE(module.settings().at("DeviceName"), std::string("PART-1"));
        QCOMPARE(module.settings().at("ParityBit"), std::string("N"));
        QVERIFY(module.receivedCommands().back() != std::string("ATZ"));

        const QJsonObject port = QJsonDocument::fromJson(run.Out.toUtf8()).array().at(0).toObject();
        const QJsonObject settings = port.value(u"settings"_s).toObject();
        QCOMPARE(settings.value(u"BLUETOOTH"_s).toObject().value(u"DEVICE NAME"_s).toString(), u"PART-1"_s);
        QCOMPARE(settings.value(u"UART"_s).toObject().value(u"PARITY BIT"_s).toString(), u"None"_s);
        const QJsonArray written = port.value(u"written"_s).toArray();
        QVERIFY(written.contains(u"BLUETOOTH.DEVICE NAME"_s) && written.contains(u"SYSTEM.DEBUG CHARACTER (HEXA)"_s));
        QVERIFY(!written.contains(u"UART.PARITY BIT"_s) && !written.contains(u"UART.BAUDRATE"_s));
        const QJsonObject write = port.value(u"write"_s).toObject();
        QCOMPARE(write.value(u"acknowledged"_s).toInt(), 11);
        QCOMPARE(write.value(u"failed_command"_s).toString(), u"AT+BTUART,9600,e,1"_s);
        QCOMPARE(write.value(u"state"_s).toString(), u"partly written"_s);
    }

    // A module restarts at the speed just written, and only hears that speed:
    // --verify reconnects with the UART settings written. A module that cannot
    // be reached again after a good write fails the verify, not the connection.
    void verifyAfterASpeedChange_data()
    {
        QTest::addColumn<bool>("silentAfterRestart");
        QTest::newRow("reconnected at 38400") << false;
        QTest::newRow("no answer after the restart") << true;
    }
    void verifyAfterASpeedChange()
    {
        QFETCH(bool, silentAfterRestart);
        radiosim::Options options;
        options.uartLine = true;
        if (silentAfterRestart)
            options.silentFromCommand = 1 + 2 + 18 + 22 + 1 + 1;  // the debug character after "ATZ"
        auto& module = Start(options);
        // The model changes its speed in the fourth connection mode only.
        const QString profile = File(u"fast.ini"_s, "[SYSTEM]\nCONNECTION MODE = MODE 4\n[UART]\nBAUDRATE = 38400\n");
        const TRun run = Cli({u"write"_s, profile, u"--verify"_s, u"-p"_s, Port(module)});
        QCOMPARE(module.settings().at("BaudRate"), std::string("38400"));
        if (!silentAfterRestart) {
            QVERIFY2(run.Exit == 0, qPrintable(run.Err));
            QCOMPARE(module.receivedCommands().back(), std::string("ATZ"));
            QVERIFY(module.receivedCommands().size() > 1 + 2 + 18 + 22 + 1 + 3 + 18);
        } else {
            QCOMPARE(run.Exit, 1);
            QVERIFY2(run.Err.contains(u"VERIFY ERROR: written; could not reconnect to verify: CONNECTING ERROR"_s),
                     qPrintable(run.Err));
        }
    }

    // Every output is opened before any port is touched; one file cannot take
    // several ports; a standard output that cannot be written fails the run.
    void outputsBeforeAnyPort_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("json, one file, two ports")
            << QStringList{u"--format"_s, u"json"_s, u"-o"_s, u"{dir}/all.json"_s}
            << u"several ports: give -o with \"{port}\" in the name, one file per port"_s;
        QTest::newRow("a folder that is not there")
            << QStringList{u"-o"_s, u"{dir}/none/x-{port}.ini"_s} << u"{dir}/none/x-"_s;
    }
    void outputsBeforeAnyPort()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        args.replaceInStrings(u"{dir}"_s, m_dir.path());
        message.replace(u"{dir}"_s, m_dir.path());
        std::vector<radiosim::VirtualModule*> modules{&Start(), &Start()};
        const TRun run = Cli(QStringList{u"read"_s} + Ports(modules) + args);
        QCOMPARE(run.Exit, 2);
        QVERIFY2(run.Err.contains(message), qPrintable(run.Err));
        for (auto* m : modules)
            QVERIFY(m->receivedBytes().empty());
    }
    void fullStandardOutputFailsTheRun()
    {
        auto& module = Start();
        const TRun run = Cli({u"read"_s, u"-p"_s, Port(module)}, {}, u"/dev/full"_s);
        QCOMPARE(run.Exit, 1);
        QVERIFY2(run.Err.contains(u"OUTPUT ERROR: standard output: No space left on device"_s), qPrintable(run.Err));
        QVERIFY2(run.Err.contains(u"0 ok, 1 FAILED (output)"_s) || run.Err.contains(u"1 ok, 1 FAILED (output)"_s),
                 qPrintable(run.Err));
    }

    // A link and its target are one device: one job, and a warning naming both.
    void sameDeviceTwiceIsOneJob()
    {
        auto& module = Start();
        const QString link = m_dir.filePath(u"mod"_s);
        QVERIFY(QFile::link(Port(module), link));
        const TRun run = Cli({u"identify"_s, u"--format"_s, u"json"_s, u"-p"_s, link, u"-p"_s, Port(module)});
        QVERIFY2(run.Exit == 0, qPrintable(run.Err));
        QCOMPARE(run.Out.count(u"\"port\""_s), 1);
        QVERIFY2(run.Err.contains(u"warning: %1 is the same device as %2"_s.arg(Port(module), link)), qPrintable(run.Err));
        int wakes = 0;
        for (const std::string& command : module.receivedCommands())
            wakes += command == "<1E>" ? 1 : 0;
        QCOMPARE(wakes, 1);
    }

    // A glob of the user's own links outside /dev (to pseudo-terminals no list
    // knows) takes them in natural order: {n} of ttyX10 is 3, not 2.
    void globOfOwnLinksInNaturalOrder()
    {
        QDir dir(m_dir.path());
        QVERIFY(dir.mkpath(u"links"_s));
        std::map<QString, radiosim::VirtualModule*> byName;
        for (const QString& name : {u"ttyX10"_s, u"ttyX1"_s, u"ttyX2"_s}) {
            auto& module = Start();
            QVERIFY(QFile::link(Port(module), dir.filePath(u"links/"_s + name)));
            byName[name] = &module;
        }
        const QString profile = File(u"n.ini"_s, "[BLUETOOTH]\nDEVICE NAME = N{n}\n");
        const TRun run = Cli({u"write"_s, profile, u"-q"_s, u"-p"_s, dir.filePath(u"links/ttyX*"_s)});
        QVERIFY2(run.Exit == 0, qPrintable(run.Err));
        QCOMPARE(byName[u"ttyX1"_s]->settings().at("DeviceName"), std::string("N1"));
        QCOMPARE(byName[u"ttyX2"_s]->settings().at("DeviceName"), std::string("N2"));
        QCOMPARE(byName[u"ttyX10"_s]->settings().at("DeviceName"), std::string("N3"));
    }

    // Piped, the progress is one line per port and state reached, never one per
    // step: 16 ports written give 3 lines each, then the table and its count.
    void pipedProgressIsOneLinePerState()
    {
        std::vector<radiosim::VirtualModule*> modules;
        for (int i = 0; i < 16; ++i)
            modules.push_back(&Start());
        const QString profile = File(u"name.ini"_s, "[BLUETOOTH]\nDEVICE NAME = UNIT-{n}\n");
        const TRun run = Cli(QStringList{u"write"_s, profile} + Ports(modules));
        QVERIFY2(run.Exit == 0, qPrintable(run.Err));
        const QStringList lines = run.Err.split(u'\n', Qt::SkipEmptyParts);
        for (auto* m : modules) {
            const QString name = Port(*m).mid(5);
            QCOMPARE(lines.count(name + u": connected (QN7201)"_s), 1);
            QCOMPARE(lines.count(name + u": read"_s), 1);
            QCOMPARE(lines.count(name + u": written"_s), 1);
        }
        // 48 progress lines, the table's heading, 16 rows and the count.
        QCOMPARE(lines.size(), 16 * 3 + 1 + 16 + 1);
        QCOMPARE(lines.last(), u"16 ok"_s);
    }

    // A glob below /dev stands for the ports of the serial port dialog's list:
    // the running virtual modules, not another pseudo-terminal that matches the
    // same pattern; a link on disk counts when it leads to a listed port, or,
    // outside /dev, when it is the user's own and leads to a terminal.
    void globsMatchTheListedPortsOnly()
    {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", previous); });
        QVERIFY(QDir(runtime.path()).mkdir(u"links"_s));
        radiosim::Options announced;
        announced.announce = true;
        announced.linkPath = runtime.filePath(u"links/listed"_s).toStdString();
        radiosim::Options second;
        second.announce = true;
        radiosim::Options plain;
        plain.linkPath = runtime.filePath(u"links/unlisted"_s).toStdString();
        std::vector<radiosim::VirtualModule*> listed{&Start(announced), &Start(second)};
        auto& unlisted = Start(plain);
        for (auto* m : listed)
            QVERIFY2(!m->announcedEntry().empty(), m->announceError().c_str());

        const TRun run = Cli({u"identify"_s, u"-q"_s, u"--format"_s, u"json"_s, u"-p"_s, u"/dev/pts/*"_s});
        QVERIFY2(run.Exit == 0, qPrintable(run.Err));
        QCOMPARE(run.Out.count(u"\"port\""_s), 2);
        for (auto* m : listed) {
            QVERIFY2(run.Out.contains(u"\""_s + Port(*m) + u'"'), qPrintable(run.Out));
            QVERIFY(!m->receivedCommands().empty());
        }
        QVERIFY(unlisted.receivedBytes().empty());

        const TRun linked = Cli({u"identify"_s, u"-q"_s, u"--format"_s, u"json"_s, u"-p"_s,
                                 runtime.filePath(u"links/*"_s)});
        // Outside /dev the user's own links are taken, also to a terminal no list knows.
        QVERIFY2(linked.Exit == 0, qPrintable(linked.Err));
        QCOMPARE(linked.Out.count(u"\"port\""_s), 2);
        QVERIFY2(linked.Out.contains(runtime.filePath(u"links/listed"_s)), qPrintable(linked.Out));
        QVERIFY2(linked.Out.contains(runtime.filePath(u"links/unlisted"_s)), qPrintable(linked.Out));
        QVERIFY(!unlisted.receivedBytes().empty());
        unlisted.clearTranscript();

        for (auto* m : listed)
            m->stop();
        const TRun nothing = Cli({u"identify"_s, u"-p"_s, u"/dev/pts/*"_s});
        QCOMPARE(nothing.Exit, 2);
        QVERIFY2(nothing.Err.contains(u"no port matches /dev/pts/*"_s), qPrintable(nothing.Err));
        QVERIFY(unlisted.receivedBytes().empty());
    }

    // Every error of the profile stops the run before any port is opened.
    void profileErrors_data()
    {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown section") << QByteArray("[RADIO]\nX = 1\n") << QStringList() << u":1: RADIO: unknown section"_s;
        QTest::newRow("unknown key") << QByteArray("[BLUETOOTH]\n\nNICKNAME = A\n") << QStringList()
                                     << u":3: BLUETOOTH.NICKNAME: unknown key"_s;
        QTest::newRow("no equals sign") << QByteArray("[BLUETOOTH]\nDEVICE NAME\n") << QStringList()
                                        << u":2: expected KEY = VALUE"_s;
        QTest::newRow("before any section") << QByteArray("DEVICE NAME = A\n") << QStringList()
                                            << u":1: DEVICE NAME: a setting before the first [SECTION]"_s;
        QTest::newRow("list value") << QByteArray("[BLUETOOTH]\nROLE = BOSS\n") << QStringList()
                                    << u":2: BLUETOOTH.ROLE: \"BOSS\" is not one of: MASTER, SLAVE"_s;
        QTest::newRow("empty name") << QByteArray("[BLUETOOTH]\nDEVICE NAME =\n") << QStringList()
                                    << u":2: BLUETOOTH.DEVICE NAME: Parameter(Device Name) is empty."_s;
        QTest::newRow("not hex") << QByteArray("[BLUETOOTH]\nREMOTE BD ADDRESS = 00112233445G\n") << QStringList()
                                 << u":2: BLUETOOTH.REMOTE BD ADDRESS: \"00112233445G\" takes only hex digits"_s;
        QTest::newRow("placeholder") << QByteArray("[BLUETOOTH]\nDEVICE NAME = S-{serial}\n") << QStringList()
                                     << u":2: BLUETOOTH.DEVICE NAME: unknown placeholder"_s;
        QTest::newRow("twice") << QByteArray("[SECURITY]\nPIN CODE = 1\nPIN CODE = 2\n") << QStringList()
                               << u":3: SECURITY.PIN CODE: given twice (first on line 2)"_s;
        QTest::newRow("open quote") << QByteArray("[SECURITY]\nPIN CODE = \"12\n") << QStringList()
                                    << u":2: SECURITY.PIN CODE: the quoted value has no closing quote"_s;
        QTest::newRow("not a speed") << QByteArray("[UART]\nBAUDRATE = abc\n") << QStringList()
                                     << u":2: UART.BAUDRATE: \"abc\" is not a line speed"_s;
        QTest::newRow("not a parity") << QByteArray("[UART]\n\nPARITY BIT = Mark\n") << QStringList()
                                      << u":3: UART.PARITY BIT: \"Mark\" is not one of: None, Even, Odd"_s;
        QTest::newRow("--set key") << QByteArray("[SECURITY]\nPIN CODE = 1\n")
                                   << QStringList{u"--set"_s, u"UART.SPEED=9600"_s} << u"--set: UART.SPEED: unknown setting"_s;
    }
    void profileErrors()
    {
        QFETCH(QByteArray, profile);
        QFETCH(QStringList, extra);
        QFETCH(QString, message);
        std::vector<radiosim::VirtualModule*> modules{&Start(), &Start()};
        const QString path = File(u"bad.ini"_s, profile);
        const TRun run = Cli(QStringList{u"write"_s, path} + Ports(modules) + extra);
        QCOMPARE(run.Exit, 2);
        QVERIFY2(run.Err.contains(message), qPrintable(run.Err));
        if (extra.isEmpty())
            QVERIFY2(run.Err.contains(path + u':'), qPrintable(run.Err));
        for (auto* m : modules) {
            QVERIFY(m->receivedBytes().empty());
            QVERIFY(!m->peerHungUp());
        }
    }

    // A port given relative to the current folder is opened there, as a link to
    // the device; a bare name that is not there means the device under /dev.
    // Reports name the port as given.
    void relativePortPaths_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("held");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("failure");
        QTest::newRow("./mod1") << u"./mod1"_s << false << u"mod1"_s << QString();
        QTest::newRow("mod1, a link in the folder") << u"mod1"_s << false << u"mod1"_s << QString();
        QTest::newRow("../x/ttyV0") << u"../x/ttyV0"_s << false << u"ttyV0"_s << QString();
        QTest::newRow("pts/N, not in the folder: under /dev") << u"{pts}"_s << false << u"{pts}"_s << QString();
        QTest::newRow("held, named by its link")
            << u"./mod1"_s << true << u"mod1"_s
            << u"SERIAL OPEN ERROR: COM Port Opening Failed. This port has already opened by other program. Held by "_s;
        QTest::newRow("a bare name in neither place")
            << u"ttyNOSUCH0"_s << false << u"ttyNOSUCH0"_s
            << u"SERIAL OPEN ERROR: COM Port Opening Failed. This port does not exist on this computer"_s;
    }

    void relativePortPaths()
    {
        QFETCH(QString, port);
        QFETCH(bool, held);
        QFETCH(QString, name);
        QFETCH(QString, failure);
        auto& module = Start();
        const QString device = Port(module);
        const QString pts = device.mid(5); // "pts/N"
        port.replace(u"{pts}"_s, pts);
        name.replace(u"{pts}"_s, pts);
        QDir dir(m_dir.path());
        QVERIFY(dir.mkpath(u"work"_s) && dir.mkpath(u"x"_s));
        QFile::remove(dir.filePath(u"work/mod1"_s));
        QFile::remove(dir.filePath(u"x/ttyV0"_s));
        QVERIFY(QFile::link(device, dir.filePath(u"work/mod1"_s)));
        QVERIFY(QFile::link(device, dir.filePath(u"x/ttyV0"_s)));

        int holder = -1;
        if (held) {
            holder = ::open(module.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            QVERIFY(holder >= 0);
            QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        }
        const TRun run = Cli({u"identify"_s, u"-p"_s, port}, dir.filePath(u"work"_s));
        if (holder >= 0)
            ::close(holder);
        if (failure.isEmpty()) {
            QVERIFY2(run.Exit == 0, qPrintable(run.Err));
            // The table at the end: the port's name, its model, the time, "ok".
            const QRegularExpression row(u"^"_s + QRegularExpression::escape(name) + u"\\s+QN7201\\s.*\\sok$"_s,
                                         QRegularExpression::MultilineOption);
            QVERIFY2(run.Err.contains(row), qPrintable(run.Err));
            QVERIFY(module.receivedCommands().size() >= 2);
        } else {
            QCOMPARE(run.Exit, 1);
            QVERIFY2(run.Err.contains(name + u": "_s + failure), qPrintable(run.Err));
            QVERIFY(module.receivedBytes().empty());
        }
        // The holder is looked for on the device the link points to.
        if (held)
            QVERIFY2(run.Err.contains(u"process %1"_s.arg(QCoreApplication::applicationPid())), qPrintable(run.Err));
    }

    // A port another program holds, and an adapter pulled out half-way, are
    // reported for their own port; the third module is written.
    void heldPortAndPulledAdapter()
    {
        radiosim::Options vanishing;
        // The line closes a little after the command's answer; answers paced at
        // 20 ms have it happen half-way through the exchanges.
        vanishing.vanishAfterCommand = 8;
        vanishing.answerDelayMs = 20;
        std::vector<radiosim::VirtualModule*> modules{&Start(), &Start(vanishing), &Start()};
        const int held = ::open(modules[0]->devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(held >= 0);
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        const QString profile = File(u"name.ini"_s, "[BLUETOOTH]\nDEVICE NAME = UNIT-{n}\n");
        const TRun run = Cli(QStringList{u"write"_s, profile} + Ports(modules));
        ::close(held);
        QCOMPARE(run.Exit, 1);
        const QString first = Port(*modules[0]).mid(5);
        const QString second = Port(*modules[1]).mid(5);
        QVERIFY2(run.Err.contains(first + u": SERIAL OPEN ERROR: COM Port Opening Failed. This port has already opened by other program."_s),
                 qPrintable(run.Err));
        QVERIFY2(run.Err.contains(second + u": SERIAL PORT DISAPPEARED"_s) || run.Err.contains(second + u": READING ERROR"_s),
                 qPrintable(run.Err));
        QCOMPARE(modules[2]->settings().at("DeviceName"), std::string("UNIT-3"));
        QCOMPARE(modules[0]->settings().at("DeviceName"), std::string("RADIOSIM"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
