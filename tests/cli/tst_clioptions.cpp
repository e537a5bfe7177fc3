// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-cli's command line in this process: what each option gives, and
// every reason to stop before any port is touched (exit status 2).

#include "CliOptions.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCliOptions : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Profile(const QByteArray& text)
    {
        const QString path = m_dir.filePath(u"profile.ini"_s);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
            qFatal("cannot write the profile");
        return path;
    }

    static TCommandLine Parse(const QStringList& args) { return ParseCommandLine(QStringList{u"radioset-cli"_s} + args); }

private slots:
    // GNU conventions: joined short options, a value after its letter, "--opt=value", "--".
    void gnuConventions()
    {
        const TCommandLine joined = Parse({u"-j1"_s, u"-qp"_s, u"/dev/null"_s, u"--baud=38400"_s, u"identify"_s});
        QVERIFY2(joined.Action == TCommandLine::TAction::Run, qPrintable(joined.Error));
        QCOMPARE(joined.Options.Jobs, 1);
        QVERIFY(joined.Options.Quiet);
        QCOMPARE(joined.Options.Ports, QStringList{u"/dev/null"_s});
        QCOMPARE(joined.Options.Plan.Line.Baud, 38400);

        // After "--" a profile may start with "-".
        const QString profile = Profile("[BLUETOOTH]\nDEVICE NAME = A\n");
        QVERIFY(QFile::copy(profile, m_dir.filePath(u"-dash.ini"_s)));
        const TCommandLine dashed = Parse({u"-p"_s, u"/dev/null"_s, u"--"_s, u"write"_s, m_dir.filePath(u"-dash.ini"_s)});
        QVERIFY2(dashed.Action == TCommandLine::TAction::Run, qPrintable(dashed.Error));
        QCOMPARE(dashed.Options.Plan.Command, TCliCommand::Write);
        QCOMPARE(dashed.Options.Plan.Profile.Entries.size(), 1);
        // Without it, "-dash.ini" (from the current folder) is a bundle of unknown letters.
        QCOMPARE(Parse({u"-p"_s, u"/dev/null"_s, u"write"_s, u"-dash.ini"_s}).Action, TCommandLine::TAction::Stop);

        // A production line: -p keeps its glob, to be expanded while the line runs.
        const TCommandLine line = Parse({u"--watch"_s, u"-p"_s, u"/dev/ttyNOSUCH*"_s, u"--count=20"_s,
                                         u"--baud=auto"_s, u"--log=line.jsonl"_s, u"--transcript={port}.txt"_s,
                                         u"write"_s, profile});
        QVERIFY2(line.Action == TCommandLine::TAction::Run, qPrintable(line.Error));
        QVERIFY(line.Options.Watch);
        QCOMPARE(line.Options.Globs, QStringList{u"/dev/ttyNOSUCH*"_s});
        QCOMPARE(line.Options.Count, 20);
        QCOMPARE(line.Options.Plan.Speeds, (QList<qint32>{9600, 115200, 38400, 57600, 19200, 230400, 4800, 2400, 1200}));
        QCOMPARE(line.Options.LogPath, u"line.jsonl"_s);
        QCOMPARE(line.Options.TranscriptPath, u"{port}.txt"_s);
        QCOMPARE(line.Options.Plan.ProfileSha256.size(), 64);
        // Without -p: every adapter plugged in while it runs.
        const TCommandLine adapters = Parse({u"--watch"_s, u"identify"_s, u"--baud=115200"_s});
        QVERIFY2(adapters.Action == TCommandLine::TAction::Run, qPrintable(adapters.Error));
        QVERIFY(adapters.Options.Globs.isEmpty());
        QCOMPARE(adapters.Options.Plan.Line.Baud, 115200);
        QVERIFY(adapters.Options.Plan.Speeds.isEmpty());

        QCOMPARE(Parse({u"--version"_s}).Action, TCommandLine::TAction::Version);
        QCOMPARE(Parse({u"identify"_s, u"-h"_s}).Action, TCommandLine::TAction::Help);
        QVERIFY(QByteArray(UsageText()).contains("--version"));
    }

    // Each reason to stop before any port, with what it says.
    void stopsBeforeAnyPort_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("usage");
        const QString p = u"/dev/null"_s;
        QTest::newRow("no command") << QStringList{u"-p"_s, p} << u"no command given"_s << true;
        QTest::newRow("unknown command") << QStringList{u"fly"_s, u"-p"_s, p} << u"unknown command fly"_s << true;
        QTest::newRow("unknown option") << QStringList{u"identify"_s, u"--fast"_s, u"-p"_s, p}
                                        << u"Unknown option 'fast'."_s << true;
        QTest::newRow("-p without its value") << QStringList{u"identify"_s, u"-p"_s} << u"Missing value after '-p'."_s << true;
        QTest::newRow("no port") << QStringList{u"identify"_s} << u"no port given (-p PATH)"_s << true;
        QTest::newRow("a glob that matches nothing")
            << QStringList{u"identify"_s, u"-p"_s, u"/dev/ttyNOSUCH*"_s} << u"no port matches /dev/ttyNOSUCH*"_s << true;
        QTest::newRow("--baud abc") << QStringList{u"identify"_s, u"-p"_s, p, u"--baud"_s, u"abc"_s}
                                    << u"--baud: 'abc' is not a line speed: auto, or speeds from 110"_s << true;
        QTest::newRow("--baud 10") << QStringList{u"identify"_s, u"-p"_s, p, u"--baud=10"_s}
                                   << u"--baud: '10' is not a line speed"_s << true;
        QTest::newRow("--baud with a speed twice") << QStringList{u"identify"_s, u"-p"_s, p, u"--baud=9600,1200,9600"_s}
                                                   << u"--baud: 9600 is given twice"_s << true;
        // A production line's own rules.
        QTest::newRow("--count without --watch") << QStringList{u"identify"_s, u"-p"_s, p, u"--count=3"_s}
                                                 << u"--count belongs to --watch"_s << true;
        QTest::newRow("--count 0") << QStringList{u"identify"_s, u"--watch"_s, u"--count=0"_s}
                                   << u"--count takes a number of 1 or more"_s << true;
        QTest::newRow("--watch search") << QStringList{u"search"_s, u"--watch"_s}
                                        << u"--watch takes identify, read, write or init"_s << true;
        QTest::newRow("--watch with -j") << QStringList{u"identify"_s, u"--watch"_s, u"-j2"_s}
                                         << u"-j belongs to runs without --watch"_s << true;
        QTest::newRow("--watch with --format") << QStringList{u"identify"_s, u"--watch"_s, u"--format=json"_s}
                                               << u"--format belongs to runs without --watch"_s << true;
        QTest::newRow("--watch init without --yes") << QStringList{u"init"_s, u"--watch"_s}
                                                    << u"give --yes to go on"_s << true;
        QTest::newRow("--watch read, one file for all")
            << QStringList{u"read"_s, u"--watch"_s, u"-o"_s, u"{port}.ini"_s}
            << u"--watch read: give -o with \"{n}\", \"{local}\" or \"{local4}\" in the name"_s << true;
        QTest::newRow("-o {local} without --watch") << QStringList{u"read"_s, u"-p"_s, p, u"-o"_s, u"{local4}.ini"_s}
                                                    << u"-o: {local} and {local4} name a unit's file with --watch only"_s
                                                    << true;
        QTest::newRow("--parity mark") << QStringList{u"identify"_s, u"-p"_s, p, u"--parity=mark"_s}
                                       << u"--parity takes none, even or odd"_s << true;
        QTest::newRow("--stop 3") << QStringList{u"identify"_s, u"-p"_s, p, u"--stop=3"_s} << u"--stop takes 1 or 2"_s << true;
        QTest::newRow("--debug-char 1G") << QStringList{u"identify"_s, u"-p"_s, p, u"--debug-char=1G"_s}
                                         << u"--debug-char takes one byte in hex, such as 1E"_s << true;
        QTest::newRow("--debug-char 100") << QStringList{u"identify"_s, u"-p"_s, p, u"--debug-char=100"_s}
                                          << u"--debug-char takes one byte in hex, such as 1E"_s << true;
        QTest::newRow("--format xml") << QStringList{u"read"_s, u"-p"_s, p, u"--format=xml"_s}
                                      << u"--format takes ini or json"_s << true;
        QTest::newRow("-j0") << QStringList{u"read"_s, u"-p"_s, p, u"-j0"_s} << u"--jobs takes a number of 1 or more"_s << true;
        QTest::newRow("-o for identify") << QStringList{u"identify"_s, u"-p"_s, p, u"-o"_s, u"x.ini"_s}
                                         << u"-o belongs to read"_s << true;
        QTest::newRow("--verify for read") << QStringList{u"read"_s, u"-p"_s, p, u"--verify"_s}
                                           << u"--set, --verify and --dry-run belong to write"_s << true;
        QTest::newRow("write without profile") << QStringList{u"write"_s, u"-p"_s, p} << u"write needs a PROFILE"_s << true;
        QTest::newRow("a second profile") << QStringList{u"write"_s, u"{profile}"_s, u"more.ini"_s, u"-p"_s, p}
                                          << u"unexpected argument more.ini"_s << true;
        QTest::newRow("several ports, INI to standard output")
            << QStringList{u"read"_s, u"-p"_s, p, u"-p"_s, u"/dev/zero"_s}
            << u"several ports: give -o with \"{port}\" in the name, or --format json"_s << true;
        QTest::newRow("several ports, JSON to one file")
            << QStringList{u"read"_s, u"-p"_s, p, u"-p"_s, u"/dev/zero"_s, u"--format=json"_s, u"-o"_s, u"all.json"_s}
            << u"several ports: give -o with \"{port}\" in the name, one file per port"_s << true;
        QTest::newRow("init on several ports") << QStringList{u"init"_s, u"-p"_s, p, u"-p"_s, u"/dev/zero"_s}
                                               << u"init restores the factory settings of 2 modules: give --yes to go on"_s
                                               << true;
        QTest::newRow("a speed that is no number") << QStringList{u"write"_s, u"{profile}"_s, u"-p"_s, p}
                                                   << u":2: UART.BAUDRATE: \"abc\" is not a line speed"_s << false;
        QTest::newRow("--set of an unknown key")
            << QStringList{u"write"_s, u"{profile}"_s, u"-p"_s, p, u"--set"_s, u"UART.SPEED=1"_s}
            << u"--set: UART.SPEED: unknown setting"_s << false;
    }
    void stopsBeforeAnyPort()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        QFETCH(bool, usage);
        args.replaceInStrings(u"{profile}"_s, Profile("[UART]\nBAUDRATE = abc\n"));
        const TCommandLine line = Parse(args);
        QCOMPARE(line.Action, TCommandLine::TAction::Stop);
        QVERIFY2(line.Error.contains(error), qPrintable(line.Error));
        QCOMPARE(line.Usage, usage);
    }

    // A key used in the wrong section says where it belongs.
    void keyOfAnotherSection()
    {
        const QString profile = Profile("[BLUETOOTH]\nPIN CODE = 1\n");
        const TCommandLine line = Parse({u"write"_s, profile, u"-p"_s, u"/dev/null"_s});
        QCOMPARE(line.Action, TCommandLine::TAction::Stop);
        QCOMPARE(line.Error, profile + u":2: BLUETOOTH.PIN CODE: unknown key (Try [SECURITY])"_s);
    }

    // A value the rules turn to upper case is said once, before any port, not per port.
    void upperCasedValueSaidOnce()
    {
        const QString profile = Profile("[BLUETOOTH]\nDEVICE NAME = Sensor-{local4}\nCLASS OF DEVICE = 001F00\n");
        const TCommandLine line = Parse({u"write"_s, profile, u"-p"_s, u"/dev/null"_s, u"-p"_s, u"/dev/zero"_s});
        QVERIFY2(line.Action == TCommandLine::TAction::Run, qPrintable(line.Error));
        QCOMPARE(line.Options.ProfileWarnings,
                 QStringList{profile + u":2: BLUETOOTH.DEVICE NAME: \"Sensor-{local4}\" is written in upper case, as "
                                       "\"SENSOR-{local4}\""_s});
    }

    // What goes on: init on several ports with --yes; the same device named twice is one port.
    void goesOn()
    {
        const TCommandLine init = Parse({u"init"_s, u"--yes"_s, u"-p"_s, u"/dev/null"_s, u"-p"_s, u"/dev/zero"_s});
        QVERIFY2(init.Action == TCommandLine::TAction::Run, qPrintable(init.Error));
        QCOMPARE(init.Options.Ports.size(), 2);

        const QString link = m_dir.filePath(u"null-link"_s);
        QVERIFY(QFile::link(u"/dev/null"_s, link));
        const TCommandLine twice = Parse({u"identify"_s, u"-p"_s, u"/dev/null"_s, u"-p"_s, link});
        QVERIFY2(twice.Action == TCommandLine::TAction::Run, qPrintable(twice.Error));
        QCOMPARE(twice.Options.Ports, QStringList{u"/dev/null"_s});
        QCOMPARE(twice.Options.PortWarnings,
                 QStringList{u"%1 is the same device as /dev/null: taken once, as /dev/null"_s.arg(link)});
    }
};

QTEST_GUILESS_MAIN(TestCliOptions)
#include "tst_clioptions.moc"
