// SPDX-License-Identifier: GPL-3.0-or-later
// The ports of a production line: adapters reported as they come (through the
// port list's seam), globs expanded again and again over links to virtual
// modules, and the fixture's rule for the next module.

#include "AnnouncedPorts.h"
#include "FakePortSource.h"
#include "PortWatch.h"
#include "VirtualModule.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(TWatchedPort)

namespace {

QStringList Names(const QSignalSpy& spy)
{
    QStringList names;
    for (const QList<QVariant>& call : spy)
        names.append(call.at(0).value<TWatchedPort>().Name);
    return names;
}

} // namespace

class TestPortWatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<TWatchedPort>(); }

    // Without -p: every adapter the system reports, plugged in while it runs.
    void eachAdapterThatAppearsIsOneUnitUntilItGoes()
    {
        auto source = std::make_unique<TFakePortSource>();
        TFakePortSource* fake = source.get();
        fake->Devices.append(UsbAdapter(QStringLiteral("ttyUSB0")));
        TPortWatch watch({}, std::move(source));
        QSignalSpy appeared(&watch, &TPortWatch::Appeared);
        QSignalSpy gone(&watch, &TPortWatch::Gone);
        watch.Start();
        QVERIFY(fake->Watched());
        // What is there at the start is no unit: nobody said it holds a module.
        QCOMPARE(appeared.size(), 0);
        QCOMPARE(watch.Present().size(), 1);

        fake->Plug(UsbAdapter(QStringLiteral("ttyUSB1"), "Prolific", "PL2303", "P1"));
        QCOMPARE(Names(appeared), QStringList{QStringLiteral("/dev/ttyUSB1")});
        const TWatchedPort first = appeared.at(0).at(0).value<TWatchedPort>();
        QCOMPARE(first.Vendor, QStringLiteral("Prolific"));
        QCOMPARE(first.Model, QStringLiteral("PL2303"));
        QCOMPARE(first.Serial, QStringLiteral("P1"));
        fake->Plug(UsbAdapter(QStringLiteral("ttyUSB2")));
        QCOMPARE(appeared.size(), 2);
        QCOMPARE(appeared.last().at(0).value<TWatchedPort>().Model, QStringLiteral("FT232R USB UART"));
        // A console is no adapter.
        TPortDevice console;
        console.SysName = QStringLiteral("tty1");
        console.Node = QStringLiteral("/dev/tty1");
        fake->Plug(console);
        QCOMPARE(appeared.size(), 2);
        // Nothing new: nothing reported again.
        fake->Plug(UsbAdapter(QStringLiteral("ttyUSB1"), "Prolific", "PL2303", "P1"));
        QCOMPARE(appeared.size(), 2);

        fake->Pull(QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(Names(gone), QStringList{QStringLiteral("/dev/ttyUSB0")});
        // Pulled and plugged in again: now a unit; and again after the next time.
        fake->Plug(UsbAdapter(QStringLiteral("ttyUSB0"), "FTDI", "FT232R\\x20USB\\x20UART", "B77"));
        fake->Pull(QStringLiteral("/dev/ttyUSB0"));
        fake->Plug(UsbAdapter(QStringLiteral("ttyUSB0"), "FTDI", "FT232R\\x20USB\\x20UART", "B78"));
        QCOMPARE(Names(appeared), (QStringList{QStringLiteral("/dev/ttyUSB1"), QStringLiteral("/dev/ttyUSB2"),
                                               QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyUSB0")}));
        QCOMPARE(appeared.last().at(0).value<TWatchedPort>().Serial, QStringLiteral("B78"));
        QCOMPARE(watch.Present().size(), 3);
    }

    // With -p: links to virtual modules come and go under the glob; each
    // appearance is a unit, a link that leads elsewhere is a new one.
    void globsAreExpandedAgainAndAgain()
    {
        QTemporaryDir dir;
        const QString announced = dir.filePath(QStringLiteral("announced"));
        const QString line = dir.filePath(QStringLiteral("line"));
        QVERIFY(QDir().mkpath(announced) && QDir().mkpath(line));
        QFile::setPermissions(announced, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const auto options = [&](const char* link) {
            radiosim::Options o;
            o.announce = true;
            o.announceFolder = announced.toStdString();
            o.linkPath = QDir(line).filePath(QString::fromLatin1(link)).toStdString();
            return o;
        };

        TPortWatch watch({line + QStringLiteral("/adapter-*")}, MakeAnnouncedPortSource(announced));
        QSignalSpy appeared(&watch, &TPortWatch::Appeared);
        QSignalSpy gone(&watch, &TPortWatch::Gone);
        watch.Start();
        QCOMPARE(appeared.size(), 0);

        radiosim::VirtualModule a(options("adapter-1"));
        QVERIFY(a.start());
        QTRY_COMPARE_WITH_TIMEOUT(appeared.size(), 1, 3000);
        const TWatchedPort first = appeared.at(0).at(0).value<TWatchedPort>();
        QCOMPARE(first.Name, line + QStringLiteral("/adapter-1"));
        QCOMPARE(first.Device, QString::fromStdString(a.devicePath()));

        radiosim::VirtualModule b(options("adapter-2"));
        QVERIFY(b.start());
        // A link under the glob to something that is no listed port is not a unit.
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), line + QStringLiteral("/adapter-9")));
        radiosim::VirtualModule elsewhere(options("other-1"));
        QVERIFY(elsewhere.start());
        QTRY_COMPARE_WITH_TIMEOUT(appeared.size(), 2, 3000);
        QCOMPARE(Names(appeared).last(), line + QStringLiteral("/adapter-2"));

        // A name made for a port already listed comes without any event of the system.
        QTest::qWait(3 * TPortWatch::GlobInterval);
        QVERIFY(QFile::link(QString::fromStdString(elsewhere.devicePath()), line + QStringLiteral("/adapter-7")));
        QTRY_COMPARE_WITH_TIMEOUT(appeared.size(), 3, 3000);
        QCOMPARE(Names(appeared).last(), line + QStringLiteral("/adapter-7"));

        a.unplug();
        QTRY_COMPARE_WITH_TIMEOUT(Names(gone), QStringList{line + QStringLiteral("/adapter-1")}, 3000);
        QVERIFY(a.plug());
        QTRY_COMPARE_WITH_TIMEOUT(appeared.size(), 4, 3000);
        QCOMPARE(appeared.last().at(0).value<TWatchedPort>().Device, QString::fromStdString(a.devicePath()));
        QTest::qWait(3 * TPortWatch::GlobInterval);
        QCOMPARE(appeared.size(), 4);
        QCOMPARE(watch.Present().size(), 3);
    }

    void theFixtureTakesAnotherModuleOnly_data()
    {
        QTest::addColumn<QByteArray>("done");      // "-": no unit done yet
        QTest::addColumn<bool>("silence");
        QTest::addColumn<QByteArray>("found");
        QTest::addColumn<bool>("next");
        QTest::addColumn<bool>("failed");  // the unit just done failed
        QTest::newRow("first module") << QByteArray("-") << false << QByteArray("00A0C1D2E3F4") << true << false;
        QTest::newRow("the one just done") << QByteArray("00A0C1D2E3F4") << false << QByteArray("00A0C1D2E3F4") << false << false;
        QTest::newRow("the one just done, put back") << QByteArray("00A0C1D2E3F4") << true << QByteArray("00A0C1D2E3F4") << false << false;
        QTest::newRow("swapped between two polls") << QByteArray("00A0C1D2E3F4") << false << QByteArray("00A0C1D2E3F5") << true << false;
        QTest::newRow("swapped") << QByteArray("00A0C1D2E3F4") << true << QByteArray("00A0C1D2E3F5") << true << false;
        QTest::newRow("no address, no silence") << QByteArray("00A0C1D2E3F4") << false << QByteArray() << false << false;
        QTest::newRow("no address after silence") << QByteArray("00A0C1D2E3F4") << true << QByteArray() << true << false;
        // A module whose unit failed, taken out and pressed in again, is tried again.
        QTest::newRow("failed, still there") << QByteArray("00A0C1D2E3F4") << false << QByteArray("00A0C1D2E3F4") << false << true;
        QTest::newRow("failed, pressed in again") << QByteArray("00A0C1D2E3F4") << true << QByteArray("00A0C1D2E3F4") << true << true;
    }
    void theFixtureTakesAnotherModuleOnly()
    {
        QFETCH(QByteArray, done);
        QFETCH(bool, silence);
        QFETCH(QByteArray, found);
        QFETCH(bool, next);
        QFETCH(bool, failed);
        TFixtureRule rule;
        if (done != "-")
            rule.UnitDone(done, !failed);
        if (silence)
            rule.Silence();
        QCOMPARE(rule.IsNextUnit(found), next);
    }

    // Polls of a fixture's line: the next module is left awake, the one just
    // done is put back into its data mode, an empty fixture is silence.
    void pollingAFixtureFindsTheNextModuleAndLeavesTheDoneOneAlone()
    {
        radiosim::Options o;
        o.swapSilenceMs = 600;
        radiosim::VirtualModule module(o);
        QVERIFY(module.start());
        TModuleLine line;
        const TLineOptions options;
        QVERIFY(!line.Open(QString::fromStdString(module.devicePath()), options));
        TFixtureRule rule;

        TFixturePoll poll = PollFixture(line, options, rule);
        QVERIFY(poll.Answered && poll.NextUnit);
        QCOMPARE(poll.LocalAddress, QByteArray("00A0C1D2E3F4"));
        QVERIFY(module.inConfigurationMode());
        // The unit runs and ends with the module restarted.
        line.Send("ATZ\r");
        QTRY_VERIFY_WITH_TIMEOUT(!module.inConfigurationMode(), 2000);
        rule.UnitDone(poll.LocalAddress);
        module.clearTranscript();

        poll = PollFixture(line, options, rule);
        QVERIFY(poll.Answered && !poll.NextUnit);
        QTRY_VERIFY_WITH_TIMEOUT(!module.inConfigurationMode(), 2000);
        // Woken, asked, restarted: nothing else reached it, no setting changed.
        QCOMPARE(module.receivedCommands(), (std::vector<std::string>{"<1E>", "AT+BTINFO?8", "ATZ"}));

        // A module whose unit failed is left in its configuration mode: it may be partly written.
        rule.UnitDone(poll.LocalAddress, false);
        module.clearTranscript();
        poll = PollFixture(line, options, rule);
        QVERIFY(poll.Answered && !poll.NextUnit);
        QCOMPARE(module.receivedCommands(), (std::vector<std::string>{"<1E>", "AT+BTINFO?8"}));
        QVERIFY(module.inConfigurationMode());
        line.Send("ATZ\r");
        QTRY_VERIFY_WITH_TIMEOUT(!module.inConfigurationMode(), 2000);

        module.swapModule();
        poll = PollFixture(line, options, rule);
        QVERIFY(!poll.Answered && !poll.NextUnit);
        QVERIFY(rule.SilenceSeen());
        QTRY_VERIFY_WITH_TIMEOUT(module.modulePresent(), 3000);
        poll = PollFixture(line, options, rule);
        QVERIFY(poll.Answered && poll.NextUnit);
        QCOMPARE(poll.LocalAddress, QByteArray("00A0C1D2E3F5"));
    }
};

QTEST_GUILESS_MAIN(TestPortWatch)
#include "tst_portwatch.moc"
