// SPDX-License-Identifier: GPL-3.0-or-later
// The production line's log: one whole JSON object per line, the numbering read
// back, and no half line after a kill.

#include "FileLines.h"
#include "UnitLog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

TUnitRecord SampleRecord(qint64 unit)
{
    TUnitRecord r;
    r.Time = QDateTime(QDate(2026, 12, 10), QTime(18, 30, 1, 123), Qt::UTC);
    r.Unit = unit;
    r.Port = QStringLiteral("/dev/ttyUSB0");
    r.AdapterVendor = QStringLiteral("FTDI");
    r.AdapterModel = QStringLiteral("FT232R USB UART");
    r.AdapterSerial = QStringLiteral("A10K3X2Q");
    r.Speed = 115200;
    r.Command = QStringLiteral("write");
    r.Passed = true;
    TModuleInfo module;
    module.Model = "QN7201";
    module.BluetoothVersion = "2.1";
    module.SoftwareVersion = "SIM-1.06";
    module.LocalAddress = "00A0C1D2E3F4";
    r.Module = module;
    r.ProfilePath = QStringLiteral("/srv/line/sensor.ini");
    r.ProfileSha256 = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
    r.Values = {{"BLUETOOTH.DEVICE NAME", "SENSOR-\"7\"\xE9"}, {"SECURITY.PIN CODE", "0042"}};
    r.Verified = true;
    r.DurationMs = 2345;
    return r;
}

QJsonObject Parsed(const QByteArray& line)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    return error.error == QJsonParseError::NoError ? document.object() : QJsonObject();
}

} // namespace

class TestUnitLog : public QObject
{
    Q_OBJECT

private slots:
    void aRecordIsOneLineOfJsonWithEveryField()
    {
        const QByteArray line = UnitRecordLine(SampleRecord(17));
        QVERIFY(line.endsWith('\n'));
        QCOMPARE(line.count('\n'), 1);
        QVERIFY(line.startsWith("{\"time\":\"2026-12-10T18:30:01.123Z\",\"unit\":17,"));
        const QJsonObject o = Parsed(line);
        QVERIFY(!o.isEmpty());
        QCOMPARE(o.value(u"unit").toInt(), 17);
        QCOMPARE(o.value(u"attempt").toInt(), 1);
        QCOMPARE(o.value(u"port").toString(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(o.value(u"adapter").toObject().value(u"serial").toString(), QStringLiteral("A10K3X2Q"));
        QCOMPARE(o.value(u"speed").toInt(), 115200);
        QCOMPARE(o.value(u"command").toString(), QStringLiteral("write"));
        QCOMPARE(o.value(u"result").toString(), QStringLiteral("PASS"));
        QVERIFY(o.value(u"error").isNull());
        const QJsonObject module = o.value(u"module").toObject();
        QCOMPARE(module.value(u"type").toString(), QStringLiteral("current"));
        QCOMPARE(module.value(u"local_address").toString(), QStringLiteral("00A0C1D2E3F4"));
        QCOMPARE(module.value(u"software_version").toString(), QStringLiteral("SIM-1.06"));
        QCOMPARE(o.value(u"profile").toObject().value(u"sha256").toString().size(), 64);
        // The bytes written, quotes and a byte above ASCII included, come back as they went.
        QCOMPARE(o.value(u"values").toObject().value(u"BLUETOOTH.DEVICE NAME").toString(),
                 QString::fromLatin1("SENSOR-\"7\"\xE9"));
        QCOMPARE(o.value(u"verified").toBool(), true);
        QCOMPARE(o.value(u"duration_ms").toInt(), 2345);

        TUnitRecord failed;
        failed.Time = QDateTime::currentDateTimeUtc();
        failed.Unit = 3;
        failed.Command = QStringLiteral("identify");
        failed.Error = QStringLiteral("CONNECTING ERROR: no answer\r\nat 9600, 115200 Bd\t\x01");
        const QJsonObject f = Parsed(UnitRecordLine(failed));
        QCOMPARE(f.value(u"result").toString(), QStringLiteral("FAIL"));
        QCOMPARE(f.value(u"error").toString(), failed.Error);
        QVERIFY(f.value(u"module").isNull());
        QVERIFY(f.value(u"speed").isNull());
        QVERIFY(f.value(u"verified").isNull());
    }

    void theLastUnitIsReadBack_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("last");
        QTest::newRow("empty") << QByteArray() << qint64(0);
        QTest::newRow("in order") << QByteArray("{\"unit\":1}\n{\"unit\":2}\n") << qint64(2);
        // Several ports end their units in any order.
        QTest::newRow("highest, not last") << QByteArray("{\"unit\":6}\n{\"unit\":8}\n{\"unit\":7}\n") << qint64(8);
        QTest::newRow("torn last line") << QByteArray("{\"unit\":4}\n{\"unit\":95,\"po") << qint64(4);
        QTest::newRow("not records") << QByteArray("# a note\n\n{\"unit\":\"x\"}\n[1]\n{\"unit\":12}\n") << qint64(12);
    }
    void theLastUnitIsReadBack()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, last);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("line.jsonl"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QCOMPARE(LastUnitInLog(path), last);
    }

    void aMissingLogCountsFromNothing()
    {
        QCOMPARE(LastUnitInLog(QStringLiteral("/nonexistent/line.jsonl")), qint64(0));
        TUnitLog log;
        QString error;
        QVERIFY(!log.Open(QStringLiteral("/nonexistent/line.jsonl"), &error));
        QVERIFY(error.contains(QStringLiteral("No such file")));
    }

    void aTornLineIsEndedBeforeTheNextRecord()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("line.jsonl"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(UnitRecordLine(SampleRecord(1)) + "{\"time\":\"2026-12-10T18:30");
        file.close();

        TUnitLog log;
        QVERIFY(log.Open(path));
        QVERIFY(log.Append(SampleRecord(2)));
        QVERIFY(log.Append(SampleRecord(3)));
        const QList<QByteArray> lines = FileLines(path);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(Parsed(lines[0]).value(u"unit").toInt(), 1);
        QVERIFY(Parsed(lines[1]).isEmpty());
        QCOMPARE(Parsed(lines[2]).value(u"unit").toInt(), 2);
        QCOMPARE(Parsed(lines[3]).value(u"unit").toInt(), 3);
        QCOMPARE(LastUnitInLog(path), qint64(3));
    }

    // Four threads append as fast as they can; the process is killed mid-run.
    // Whatever reached the file is whole lines, each a record.
    void aKillDuringARunLeavesOnlyWholeLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("line.jsonl"));
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            TUnitLog log;
            if (!log.Open(path))
                ::_exit(3);
            std::vector<std::thread> writers;
            for (int t = 0; t < 4; ++t) {
                writers.emplace_back([&log, t] {
                    for (qint64 unit = t + 1;; unit += 4)
                        log.Append(SampleRecord(unit));
                });
            }
            for (std::thread& writer : writers)
                writer.join();
            ::_exit(0);
        }
        // Long enough for a good many records, then the power cord.
        QTRY_VERIFY_WITH_TIMEOUT(FileLines(path).size() >= 40, 10000);
        QCOMPARE(::kill(child, SIGKILL), 0);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray all = file.readAll();
        QVERIFY(all.endsWith('\n'));
        const QList<QByteArray> lines = FileLines(path);
        QVERIFY(lines.size() >= 40);
        for (const QByteArray& line : lines)
            QVERIFY2(Parsed(line).value(u"unit").toInt() > 0, line.constData());
    }
};

QTEST_GUILESS_MAIN(TestUnitLog)
#include "tst_unitlog.moc"
