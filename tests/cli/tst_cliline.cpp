// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-cli as a production line (--watch) and what any run records (--log,
// --transcript, a list of speeds): the program as its own process, virtual
// modules in this one, plugged, pulled and swapped under links in a folder.

#include "FileLines.h"
#include "VirtualModule.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

int WriteCommands(const radiosim::VirtualModule& module)
{
    const std::vector<std::string> commands = module.receivedCommands();
    return int(std::count_if(commands.begin(), commands.end(), [](const std::string& c) {
        return c.rfind("AT+", 0) == 0 && c.find('?') == std::string::npos && c.rfind("AT+BTINFO", 0) != 0;
    }));
}

} // namespace

class TestCliLine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Path(const QString& name) const { return m_dir.filePath(name); }

    QString Profile() const
    {
        const QString path = Path(u"line.ini"_s);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write("[BLUETOOTH]\nDEVICE NAME = L-{n}\n") < 0)
            qFatal("cannot write the profile");
        return path;
    }

    std::unique_ptr<radiosim::VirtualModule> Module(const QString& link, radiosim::Options o = {})
    {
        o.linkPath = Path(link).toStdString();
        auto module = std::make_unique<radiosim::VirtualModule>(o);
        if (!module->start())
            qFatal("the virtual module does not start");
        return module;
    }

    static void Start(QProcess& process, const QStringList& args)
    {
        process.start(QStringLiteral(RADIOSET_CLI_EXE), args);
        if (!process.waitForStarted())
            qFatal("radioset-cli does not start");
    }

    static int Finish(QProcess& process)
    {
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files | QDir::System))
            QFile::remove(Path(name));
    }

    // Two adapters under a watched glob, one module at 115200 Bd: each is a unit
    // with its number counted on from the log's last; the fixture's next module
    // and the re-plugged adapter are units too; nothing is configured twice.
    // Ctrl-C ends the line with its summary.
    void aLineOfAdaptersAndAFixture()
    {
        const QString log = Path(u"line.jsonl"_s);
        QFile seeded(log);
        QVERIFY(seeded.open(QIODevice::WriteOnly));
        seeded.write(R"({"time":"2026-12-09T17:00:00.000Z","unit":41,"result":"PASS"})" "\n");
        seeded.close();
        radiosim::Options fast;
        fast.uartBaud = 115200;
        fast.swapSilenceMs = 400;
        const auto first = Module(u"mod1"_s, fast);
        radiosim::Options other;
        other.localAddress = "00A0C1000100";
        other.uartBaud = 9600;  // hears 9600 Bd only, as a real module does
        const auto second = Module(u"mod2"_s, other);

        QProcess cli;
        Start(cli, {u"--watch"_s, u"-p"_s, Path(u"mod*"_s), u"--baud=auto"_s, u"--log"_s, log, u"--transcript"_s,
                    Path(u"{port}.txt"_s), u"write"_s, Profile()});
        QTRY_COMPARE_WITH_TIMEOUT(JsonRecords(log).size(), 3, 20000);
        first->swapModule();
        QTRY_COMPARE_WITH_TIMEOUT(JsonRecords(log).size(), 4, 20000);
        second->unplug();
        QVERIFY(second->plug());
        QTRY_COMPARE_WITH_TIMEOUT(JsonRecords(log).size(), 5, 20000);
        ::kill(pid_t(cli.processId()), SIGINT);
        QCOMPARE(Finish(cli), 0);
        const QString out = QString::fromLocal8Bit(cli.readAllStandardOutput());
        QVERIFY2(out.contains(u"4 units, 4 passed, 0 failed"_s), qPrintable(out));

        // Units 42 to 45, each named after its number, at the speed its module answered at.
        const QList<QJsonObject> records = JsonRecords(log).mid(1);
        QMap<qint64, QJsonObject> units;
        for (const QJsonObject& record : records)
            units.insert(record[u"unit"_s].toInteger(), record);
        QCOMPARE(units.keys(), (QList<qint64>{42, 43, 44, 45}));
        const auto local = [](const QJsonObject& r) { return r[u"module"_s][u"local_address"_s].toString(); };
        for (const QJsonObject& record : records) {
            QCOMPARE(record[u"result"_s].toString(), u"PASS"_s);
            const bool onFirst = record[u"port"_s].toString().endsWith(u"mod1"_s);
            QCOMPARE(record[u"speed"_s].toInt(), onFirst ? 115200 : 9600);
            QCOMPARE(record[u"values"_s][u"BLUETOOTH.DEVICE NAME"_s].toString(),
                     u"L-%1"_s.arg(record[u"unit"_s].toInteger()));
            QCOMPARE(record[u"profile"_s][u"sha256"_s].toString().size(), 64);
        }
        // The fixture's next module has the next address, the re-plugged adapter a new module.
        QStringList addresses;
        for (const QJsonObject& record : records)
            addresses.append(local(record));
        addresses.sort();
        QCOMPARE(addresses, (QStringList{u"00A0C1000100"_s, u"00A0C1000101"_s, u"00A0C1D2E3F4"_s, u"00A0C1D2E3F5"_s}));
        // Every module that was on the line was configured once, with its unit's name
        // (those still there leave it as they stop).
        first->stop();
        second->stop();
        std::vector<std::string> history = first->history();
        const std::vector<std::string> more = second->history();
        history.insert(history.end(), more.begin(), more.end());
        QCOMPARE(history.size(), size_t(4));
        for (const std::string& line : history)
            QVERIFY2(line.find("configured=1 ") != std::string::npos, line.c_str());

        // One transcript per port, the speed its modules answered at in it.
        QFile transcript(Path(u"mod1.txt"_s));
        QVERIFY(transcript.open(QIODevice::ReadOnly));
        const QByteArray text = transcript.readAll();
        QVERIFY(text.contains("line at 115200 Bd"));
        QVERIFY(text.contains("L-44") || text.contains("L-42") || text.contains("L-43"));
    }

    // Ctrl-C during a unit's write: the write ends whole and the module is
    // restarted, the unit passes and the line ends with 0. A second Ctrl-C stops
    // at once: the unit fails, the line ends with 130.
    void anInterruptedLineLetsTheWriteFinish_data()
    {
        QTest::addColumn<int>("interrupts");
        QTest::newRow("once") << 1;
        QTest::newRow("twice") << 2;
    }
    void anInterruptedLineLetsTheWriteFinish()
    {
        QFETCH(int, interrupts);
        radiosim::Options slow;
        slow.answerDelayMs = 100;
        const auto module = Module(u"slow"_s, slow);
        const QString log = Path(u"line.jsonl"_s);
        QProcess cli;
        Start(cli, {u"--watch"_s, u"-p"_s, Path(u"slow"_s), u"--log"_s, log, u"write"_s, Profile()});
        QTRY_VERIFY_WITH_TIMEOUT(WriteCommands(*module) >= 2, 20000);
        for (int i = 0; i < interrupts; ++i) {
            ::kill(pid_t(cli.processId()), SIGINT);
            QTest::qWait(50);
        }
        const int exit = Finish(cli);
        const QList<QJsonObject> records = JsonRecords(log);
        QCOMPARE(records.size(), 1);
        if (interrupts == 1) {
            QCOMPARE(exit, 0);
            QCOMPARE(WriteCommands(*module), 22);
            QCOMPARE(module->receivedCommands().back(), std::string("ATZ"));
            QCOMPARE(records.at(0)[u"result"_s].toString(), u"PASS"_s);
        } else {
            QCOMPARE(exit, 130);
            QVERIFY(WriteCommands(*module) < 22);
            QCOMPARE(records.at(0)[u"result"_s].toString(), u"FAIL"_s);
            QVERIFY2(records.at(0)[u"error"_s].toString().contains(u"INTERRUPTED"_s),
                     qPrintable(records.at(0)[u"error"_s].toString()));
        }
    }

    // Without --watch: the speeds of a list in turn, the one found in the table
    // and in the log, one record per port numbered on; none answering names them all.
    void aListOfSpeedsWithoutALine()
    {
        radiosim::Options at57600;
        at57600.uartBaud = 57600;
        const auto module = Module(u"mod"_s, at57600);
        const QString log = Path(u"ports.jsonl"_s);
        QProcess found;
        Start(found, {u"identify"_s, u"-p"_s, Path(u"mod"_s), u"--baud=1200,57600"_s, u"--log"_s, log});
        QCOMPARE(Finish(found), 0);
        const QString table = QString::fromLocal8Bit(found.readAllStandardError());
        QVERIFY2(table.contains(u"ok at 57600 Bd"_s), qPrintable(table));

        QProcess none;
        Start(none, {u"identify"_s, u"-p"_s, Path(u"mod"_s), u"--baud=1200,2400"_s, u"--log"_s, log});
        QCOMPARE(Finish(none), 1);
        const QString error = QString::fromLocal8Bit(none.readAllStandardError());
        QVERIFY2(error.contains(u"no answer to the debug character at 1200 or 2400 Bd"_s), qPrintable(error));

        const QList<QJsonObject> records = JsonRecords(log);
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.at(0)[u"unit"_s].toInt(), 1);
        QCOMPARE(records.at(0)[u"speed"_s].toInt(), 57600);
        QCOMPARE(records.at(0)[u"command"_s].toString(), u"identify"_s);
        QCOMPARE(records.at(0)[u"result"_s].toString(), u"PASS"_s);
        QCOMPARE(records.at(1)[u"unit"_s].toInt(), 2);
        QVERIFY(records.at(1)[u"speed"_s].isNull());
        QCOMPARE(records.at(1)[u"result"_s].toString(), u"FAIL"_s);
    }
};

QTEST_GUILESS_MAIN(TestCliLine)
#include "tst_cliline.moc"
