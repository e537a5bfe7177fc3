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

#include <fcntl.h>
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

    static TRun Cli(const QStringList& args, const QString& workingDirectory = {})
    {
        QProcess process;
        process.setWorkingDirectory(workingDirectory);
        process.start(QStringLiteral(RADIOSET_CLI_EXE), args);
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
        QVERIFY2(run.Out.contains(u"AT+BTNAME=DRY"_s) && run.Out.contains(u"AT+BTHFC,"_s), qPrintable(run.Out));
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
        QCOMPARE(run.Err.count(u" ok"_s), 2);
    }

    // A glob stands for the ports of the serial port dialog's list: the running
    // virtual modules, not another pseudo-terminal that matches the same
    // pattern; a link on disk counts when it leads to a listed port.
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
        QVERIFY2(linked.Exit == 0, qPrintable(linked.Err));
        QCOMPARE(linked.Out.count(u"\"port\""_s), 1);
        QVERIFY2(linked.Out.contains(runtime.filePath(u"links/listed"_s)), qPrintable(linked.Out));
        QVERIFY(unlisted.receivedBytes().empty());

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
            << u"SERIAL OPEN ERROR: COM Port Opening Failed., This port has already opened by other program., Held by "_s;
        QTest::newRow("a bare name in neither place")
            << u"ttyNOSUCH0"_s << false << u"ttyNOSUCH0"_s
            << u"SERIAL OPEN ERROR: COM Port Opening Failed., This port does not exist on this computer"_s;
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
        QVERIFY2(run.Err.contains(first + u": SERIAL OPEN ERROR: COM Port Opening Failed., This port has already opened by other program."_s),
                 qPrintable(run.Err));
        QVERIFY2(run.Err.contains(second + u": SERIAL PORT DISAPPEARED"_s) || run.Err.contains(second + u": READING ERROR"_s),
                 qPrintable(run.Err));
        QCOMPARE(modules[2]->settings().at("DeviceName"), std::string("UNIT-3"));
        QCOMPARE(modules[0]->settings().at("DeviceName"), std::string("RADIOSIM"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
