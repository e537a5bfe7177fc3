// SPDX-License-Identifier: GPL-3.0-or-later
// A short production line against virtual modules: adapters plugged and
// pulled under a watched glob, a fixture with modules swapped in turn, a module
// pulled out mid-write, a stop that lets the unit in progress finish, the
// numbering carried on from the log.

#include "AnnouncedPorts.h"
#include "FakePortSource.h"
#include "FileLines.h"
#include "ProductionLine.h"
#include "VirtualModule.h"
#include "WriteNameJob.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

struct TLineRig
{
    TLineRig()
    {
        announced = dir.filePath(QStringLiteral("announced"));
        folder = dir.filePath(QStringLiteral("line"));
        QDir().mkpath(announced);
        QDir().mkpath(folder);
        QFile::setPermissions(announced, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        logPath = dir.filePath(QStringLiteral("units.jsonl"));
    }

    radiosim::Options Module(const QString& link, const char* address)
    {
        radiosim::Options o;
        o.announce = true;
        o.announceFolder = announced.toStdString();
        o.linkPath = QDir(folder).filePath(link).toStdString();
        o.localAddress = address;
        o.swapSilenceMs = 300;
        return o;
    }

    // A module whose units last long enough to act in the middle of one.
    radiosim::Options SlowModule(const QString& link, const char* address)
    {
        radiosim::Options o = Module(link, address);
        o.answerDelayMs = 15;
        return o;
    }

    // Runs the line until it finishes (or the time is up).
    void Run(TLinePlan plan, const std::function<void(TProductionLine&)>& during = {}, int timeoutMs = 60000)
    {
        plan.Globs = {folder + QStringLiteral("/adapter-*")};
        plan.PollIntervalMs = 100;
        QVERIFY(log.Open(logPath));
        TProductionLine line(plan, MakeAnnouncedPortSource(announced), WriteNameJob, &log);
        QObject::connect(&line, &TProductionLine::UnitStarted, [this](qint64 unit, const QString&) { started.append(unit); });
        QObject::connect(&line, &TProductionLine::UnitEnded, [this](const TUnitRecord& r) { ended.append(r); });
        QObject::connect(&line, &TProductionLine::Finished, [this] { finished = true; });
        line.Start();
        if (during)
            during(line);
        QTRY_VERIFY_WITH_TIMEOUT(finished, timeoutMs);
    }

    QList<QJsonObject> Records() const { return JsonRecords(logPath); }

    QTemporaryDir dir;
    QString announced, folder, logPath;
    TUnitLog log;
    QList<qint64> started;
    QList<TUnitRecord> ended;
    bool finished = false;
};

// Counts history lines of the form "ADDRESS configured=N name=NAME".
QStringList Histories(const std::vector<std::string>& lines)
{
    QStringList out;
    for (const std::string& line : lines)
        out.append(QString::fromStdString(line));
    return out;
}

bool Writing(const radiosim::VirtualModule& module)
{
    for (const std::string& command : module.receivedCommands())
        if (command.rfind("AT+BTNAME=", 0) == 0)
            return true;
    return false;
}

} // namespace

class TestProductionLine : public QObject
{
    Q_OBJECT

private slots:
    // A fixture's polls: every other one at the last module's speed, the others round the rest.
    void pollsFavourTheLastModulesSpeed_data()
    {
        QTest::addColumn<QList<qint32>>("speeds");
        QTest::addColumn<QList<qint32>>("polls");
        QTest::newRow("one speed") << QList<qint32>{9600} << QList<qint32>{9600, 9600, 9600};
        QTest::newRow("two") << QList<qint32>{115200, 9600} << QList<qint32>{115200, 9600, 115200, 9600};
        QTest::newRow("auto, the last at 57600")
            << QList<qint32>{57600, 9600, 115200, 38400}
            << QList<qint32>{57600, 9600, 57600, 115200, 57600, 38400, 57600, 9600};
    }
    void pollsFavourTheLastModulesSpeed()
    {
        QFETCH(QList<qint32>, speeds);
        QFETCH(QList<qint32>, polls);
        QList<qint32> got;
        for (qsizetype poll = 0; poll < polls.size(); ++poll)
            got.append(PollSpeed(speeds, poll));
        QCOMPARE(got, polls);
    }

    void adaptersComeAndGoEachConfiguredOnceNumberedOnFromTheLog()
    {
        TLineRig rig;
        {
            QFile old(rig.logPath);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("{\"unit\":40}\n{\"unit\":41}\n");
        }
        radiosim::VirtualModule a(rig.Module(QStringLiteral("adapter-a"), "00A0C1000010"));
        radiosim::VirtualModule b(rig.Module(QStringLiteral("adapter-b"), "00A0C1000020"));
        QVERIFY(a.start() && b.start());
        TLinePlan plan;
        plan.Count = 4;
        plan.FirstUnit = LastUnitInLog(rig.logPath) + 1;
        rig.Run(plan, [&](TProductionLine&) {
            QTRY_COMPARE_WITH_TIMEOUT(rig.ended.size(), 2, 20000);
            // Both done and still plugged: polled, never configured again.
            QTest::qWait(500);
            QCOMPARE(rig.started.size(), 2);
            // Adapter a pulled and plugged again (with the next module on it): the next unit.
            a.unplug();
            QTest::qWait(300);
            QVERIFY(a.plug());
            QTRY_COMPARE_WITH_TIMEOUT(rig.ended.size(), 3, 20000);
            // A third adapter plugged in while the line runs.
            radiosim::VirtualModule c(rig.Module(QStringLiteral("adapter-c"), "00A0C1000030"));
            QVERIFY(c.start());
            QTRY_COMPARE_WITH_TIMEOUT(rig.ended.size(), 4, 20000);
            c.stop();
            QCOMPARE(Histories(c.history()), QStringList{QStringLiteral("00A0C1000030 configured=1 name=UNIT-0045")});
        });
        std::sort(rig.started.begin(), rig.started.end());
        QCOMPARE(rig.started, (QList<qint64>{42, 43, 44, 45}));
        const QList<QJsonObject> records = rig.Records();
        QCOMPARE(records.size(), 2 + 4);
        for (qsizetype i = 2; i < records.size(); ++i) {
            QCOMPARE(records[i].value(u"result").toString(), QStringLiteral("PASS"));
            QCOMPARE(records[i].value(u"speed").toInt(), 9600);
            QVERIFY(records[i].value(u"port").toString().startsWith(rig.folder + QStringLiteral("/adapter-")));
        }
        a.stop();
        b.stop();
        QStringList history = Histories(a.history()) + Histories(b.history());
        history.sort();
        // Each module configured exactly once, each with a name of its own.
        QCOMPARE(history.size(), 3);
        QSet<QString> names;
        for (const QString& line : history) {
            QVERIFY2(line.contains(QStringLiteral(" configured=1 name=UNIT-00")), qPrintable(line));
            names.insert(line.section(QStringLiteral("name="), 1));
        }
        QCOMPARE(names.size(), 3);
    }

    // A fixture whose adapter is there when the line starts, no module in it yet:
    // polled, no failed unit; the module pressed in is unit 1.
    void aFixtureEmptyAtTheStartIsNoFailedUnit()
    {
        TLineRig rig;
        radiosim::VirtualModule fixture(rig.Module(QStringLiteral("adapter-fixture"), "00A0C10000C0"));
        QVERIFY(fixture.start());
        fixture.pullModule();
        TLinePlan plan;
        plan.Count = 1;
        rig.Run(plan, [&](TProductionLine&) {
            // Several polls of the empty fixture.
            QTest::qWait(600);
            fixture.insertModule();
        });
        const QList<QJsonObject> records = rig.Records();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].value(u"unit").toInt(), 1);
        QCOMPARE(records[0].value(u"result").toString(), QStringLiteral("PASS"));
    }

    // A unit whose record cannot be written is no PASS: the log would not know it.
    void aUnitTheLogCannotTakeFails()
    {
        TLineRig rig;
        rig.logPath = QStringLiteral("/dev/full");
        radiosim::VirtualModule a(rig.Module(QStringLiteral("adapter-a"), "00A0C1000010"));
        QVERIFY(a.start());
        TLinePlan plan;
        plan.Count = 1;
        rig.Run(plan);
        QCOMPARE(rig.ended.size(), 1);
        QVERIFY(!rig.ended[0].Passed);
        QVERIFY2(rig.ended[0].Error.startsWith(QStringLiteral("log: ")), qPrintable(rig.ended[0].Error));
    }

    void aFixtureTakesModulesSwappedInTurn()
    {
        TLineRig rig;
        radiosim::VirtualModule fixture(rig.Module(QStringLiteral("adapter-fixture"), "00A0C10000F0"));
        QVERIFY(fixture.start());
        TLinePlan plan;
        plan.Count = 3;
        rig.Run(plan, [&](TProductionLine& line) {
            QObject::connect(&line, &TProductionLine::UnitEnded, [&fixture](const TUnitRecord&) { fixture.swapModule(); });
        });
        // The module swapped in after the last unit sits there, and is no unit.
        QTRY_VERIFY_WITH_TIMEOUT(fixture.modulePresent(), 3000);
        QTest::qWait(300);
        QCOMPARE(rig.started.size(), 3);
        fixture.stop();
        QCOMPARE(Histories(fixture.history()),
                 (QStringList{QStringLiteral("00A0C10000F0 configured=1 name=UNIT-0001"),
                              QStringLiteral("00A0C10000F1 configured=1 name=UNIT-0002"),
                              QStringLiteral("00A0C10000F2 configured=1 name=UNIT-0003"),
                              QStringLiteral("00A0C10000F3 configured=0 name=RADIOSIM")}));
        const QList<QJsonObject> records = rig.Records();
        QCOMPARE(records.size(), 3);
        QCOMPARE(records[2].value(u"module").toObject().value(u"local_address").toString(), QStringLiteral("00A0C10000F2"));
    }

    // A module whose unit failed is not taken again while it sits in the fixture;
    // pressed in again, it is the same unit's next attempt.
    void aFailedModulePressedInAgainIsAnotherAttempt()
    {
        TLineRig rig;
        radiosim::Options o = rig.Module(QStringLiteral("adapter-fixture"), "00A0C10000A0");
        o.errorOnCommandPrefix = "AT+BTROLE";
        radiosim::VirtualModule fixture(o);
        QVERIFY(fixture.start());
        TLinePlan plan;
        rig.Run(plan, [&](TProductionLine& line) {
            QTRY_COMPARE_WITH_TIMEOUT(rig.ended.size(), 1, 20000);
            // Polled again and again meanwhile, never taken.
            QTRY_VERIFY_WITH_TIMEOUT(fixture.receivedCommands().size() > 40, 20000);
            QCOMPARE(rig.started.size(), 1);
            fixture.reseatModule();
            QTRY_COMPARE_WITH_TIMEOUT(rig.ended.size(), 2, 20000);
            line.Stop();
        });
        QCOMPARE(rig.started, (QList<qint64>{1, 1}));
        const QList<QJsonObject> records = rig.Records();
        QCOMPARE(records.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(records[i].value(u"unit").toInt(), 1);
            QCOMPARE(records[i].value(u"attempt").toInt(), i + 1);
            QCOMPARE(records[i].value(u"result").toString(), QStringLiteral("FAIL"));
        }
    }

    // The port list reports the port gone and back (a loose contact) only while
    // its worker already runs a unit on the module the fixture's poll found
    // there: the next worker polls first and leaves that module alone.
    void aPortBackWhileItsWorkerRunsConfiguresNoModuleTwice()
    {
        TLineRig rig;
        const radiosim::Options o = rig.SlowModule(QStringLiteral("adapter-a"), "00A0C1000010");
        radiosim::VirtualModule a(o);
        QVERIFY(a.start());
        auto source = std::make_unique<TFakePortSource>();
        TFakePortSource* fake = source.get();
        TPortDevice device = UsbAdapter(QStringLiteral("adapter-a"));
        device.Node = QString::fromStdString(o.linkPath);
        TLinePlan plan;
        plan.PollIntervalMs = 100;
        QVERIFY(rig.log.Open(rig.logPath));
        TProductionLine line(plan, std::move(source), WriteNameJob, &rig.log);
        QObject::connect(&line, &TProductionLine::UnitStarted, [&rig](qint64 unit, const QString&) { rig.started.append(unit); });
        QObject::connect(&line, &TProductionLine::UnitEnded, [&rig](const TUnitRecord& r) { rig.ended.append(r); });
        line.Start();
        fake->Plug(device);
        QTRY_COMPARE_WITH_TIMEOUT(rig.ended.size(), 1, 20000);
        // Another module on the port, unseen by the port list: the fixture's poll takes it.
        a.unplug();
        QVERIFY(a.plug());
        QTRY_COMPARE_WITH_TIMEOUT(rig.started.size(), 2, 20000);
        fake->Pull(device.Node);
        fake->Plug(device);
        QTRY_COMPARE_WITH_TIMEOUT(rig.ended.size(), 2, 20000);
        // The next worker polls twice and finds the module just done each time.
        a.clearTranscript();
        const auto polls = [&a] {
            const std::vector<std::string> commands = a.receivedCommands();
            return std::count(commands.cbegin(), commands.cend(), std::string("AT+BTINFO?8"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(polls() >= 2, 20000);
        QCOMPARE(rig.started, (QList<qint64>{1, 2}));
        line.Stop();
        a.stop();
        QCOMPARE(Histories(a.history()), (QStringList{QStringLiteral("00A0C1000010 configured=1 name=UNIT-0001"),
                                                      QStringLiteral("00A0C1000011 configured=1 name=UNIT-0002")}));
    }

    void aModulePulledMidWriteIsLoggedFailedAndTheNextProceeds()
    {
        TLineRig rig;
        const radiosim::Options o = rig.SlowModule(QStringLiteral("adapter-a"), "00A0C1000010");
        radiosim::VirtualModule a(o);
        QVERIFY(a.start());
        TLinePlan plan;
        plan.Count = 2;
        rig.Run(plan, [&](TProductionLine&) {
            QTRY_VERIFY_WITH_TIMEOUT(Writing(a), 20000);
            a.unplug();
            QTRY_COMPARE_WITH_TIMEOUT(rig.ended.size(), 1, 20000);
            QVERIFY(a.plug());
        });
        QCOMPARE(rig.ended.size(), 2);
        QVERIFY(!rig.ended[0].Passed);
        QVERIFY2(!rig.ended[0].Error.isEmpty(), qPrintable(rig.ended[0].Error));
        QVERIFY(rig.ended[1].Passed);
        const QList<QJsonObject> records = rig.Records();
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[0].value(u"result").toString(), QStringLiteral("FAIL"));
        QCOMPARE(records[0].value(u"error").toString(), rig.ended[0].Error);
        QCOMPARE(records[1].value(u"result").toString(), QStringLiteral("PASS"));
        QCOMPARE(records[1].value(u"unit").toInt(), 2);
    }

    void aStopLetsTheUnitInProgressFinish()
    {
        TLineRig rig;
        const radiosim::Options o = rig.SlowModule(QStringLiteral("adapter-a"), "00A0C1000010");
        radiosim::VirtualModule a(o);
        QVERIFY(a.start());
        TLinePlan plan;
        rig.Run(plan, [&](TProductionLine& line) {
            QTRY_VERIFY_WITH_TIMEOUT(Writing(a), 20000);
            line.Stop();
            QVERIFY(!rig.finished);
            QVERIFY(rig.ended.isEmpty());
        });
        QCOMPARE(rig.ended.size(), 1);
        QVERIFY(rig.ended[0].Passed);
        a.stop();
        QCOMPARE(Histories(a.history()), QStringList{QStringLiteral("00A0C1000010 configured=1 name=UNIT-0001")});
    }
};

QTEST_GUILESS_MAIN(TestProductionLine)
#include "tst_productionline.moc"
