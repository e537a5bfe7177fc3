// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual module's fault options, each seen on the line.

#include "SimClient.h"
#include "VirtualModule.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

using radiosim::Options;
using radiosim::VirtualModule;

namespace {

struct Session {
    explicit Session(const Options& options)
        : sim(options)
    {
        started = sim.start();
        client = std::make_unique<SimClient>(sim.devicePath());
    }
    // Wakes the module; the answer is left to the test when the fault shapes it.
    void wake() { client->send(QByteArrayLiteral("\r\x1E")); }
    VirtualModule sim;
    std::unique_ptr<SimClient> client;
    bool started = false;
};

}  // namespace

class TestSimFaults : public QObject {
    Q_OBJECT

private slots:
    void silentFromCommandAnswersAndAppliesNothing();
    void errorOnCommand_data();
    void errorOnCommand();
    void errorOnDebugCharKeepsDataMode();
    void wrongItemCount_data();
    void wrongItemCount();
    void nonNumericItem_data();
    void nonNumericItem();
    void noisePrecedesEveryAnswer();
    void bareOkLacksLeadingCrLf();
    void randomBurstsSplitAnswers();
    void echoSendsCommandBack();
    void answerDelayHoldsAnswersBack();
    void vanishClosesLineAfterAnswer();
};

void TestSimFaults::silentFromCommandAnswersAndAppliesNothing()
{
    Options o;
    o.silentFromCommand = 3;
    Session s(o);
    s.wake();
    QCOMPARE(s.client->answer(), QByteArray("OK"));
    QCOMPARE(s.client->command("AT+BTINFO?0"), QByteArray("RADIOSIM"));
    s.sim.clearTranscript();

    s.client->send(QByteArrayLiteral("AT+BTNAME=NEW\rAT+BTINFO?0\r"));
    QVERIFY(s.sim.waitForCommandCount(2, 5000));
    QCOMPARE(SentBytes(s.sim), QByteArray());
    QCOMPARE(s.sim.settings().at("DeviceName"), std::string("RADIOSIM"));
}

void TestSimFaults::errorOnCommand_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("by name") << QStringLiteral("AT+BTSEC") << QByteArray("AT+BTSEC,1,1") << QByteArray("ERROR");
    QTest::newRow("whole query") << QStringLiteral("AT+BTINFO?4") << QByteArray("AT+BTINFO?4") << QByteArray("ERROR");
    QTest::newRow("other query answered") << QStringLiteral("AT+BTINFO?4") << QByteArray("AT+BTINFO?0")
                                          << QByteArray("RADIOSIM");
    QTest::newRow("by name with comma") << QStringLiteral("AT+BTMODE") << QByteArray("AT+BTMODE,2")
                                          << QByteArray("ERROR");
    QTest::newRow("longer name answered") << QStringLiteral("AT+BTMODE") << QByteArray("AT+BTOPMODE,1")
                                          << QByteArray("OK");
    QTest::newRow("factory") << QStringLiteral("AT&F") << QByteArray("AT&F") << QByteArray("ERROR");
}

void TestSimFaults::errorOnCommand()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, expected);
    Options o;
    o.errorOnCommandPrefix = target.toStdString();
    Session s(o);
    s.wake();
    QCOMPARE(s.client->answer(), QByteArray("OK"));
    const auto before = s.sim.settings();

    QCOMPARE(s.client->command(command), expected);
    if (expected == "ERROR")
        QCOMPARE(s.sim.settings(), before);
}

void TestSimFaults::errorOnDebugCharKeepsDataMode()
{
    Options o;
    o.errorOnCommandPrefix = "<1E>";
    Session s(o);
    s.wake();
    QCOMPARE(s.client->answer(), QByteArray("ERROR"));
    QVERIFY(!s.sim.inConfigurationMode());
}

void TestSimFaults::wrongItemCount_data()
{
    QTest::addColumn<int>("query");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("security") << 1 << QByteArray("1234,1");
    QTest::newRow("system") << 4 << QByteArray("1,0,20,1B");
    QTest::newRow("uart") << 5 << QByteArray("9600,8,N");
    QTest::newRow("role") << 6 << QByteArray("SLAVE");
    QTest::newRow("multi") << 7 << QByteArray("1");
    QTest::newRow("access code") << 11 << QByteArray("9E8B33");
    QTest::newRow("single value") << 0 << QByteArray("RADIOSIM,0");
    QTest::newRow("model") << 100 << QByteArray("QN7201,0");
}

void TestSimFaults::wrongItemCount()
{
    QFETCH(int, query);
    QFETCH(QByteArray, expected);
    Options o;
    o.wrongCountInfo = query;
    Session s(o);
    s.wake();
    QCOMPARE(s.client->answer(), QByteArray("OK"));

    QCOMPARE(s.client->command("AT+BTINFO?" + QByteArray::number(query)), expected);
    const QByteArray other = query == 2 ? "AT+BTINFO?8" : "AT+BTINFO?2";
    QVERIFY(!s.client->command(other).contains(','));  // only the chosen query is spoilt
}

void TestSimFaults::nonNumericItem_data()
{
    QTest::addColumn<int>("query");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("auth") << 1 << QByteArray("1234,X,0");
    QTest::newRow("connection mode") << 3 << QByteArray("MODEX");
    QTest::newRow("status message") << 4 << QByteArray("X,0,20,1B,1E");
    QTest::newRow("baud") << 5 << QByteArray("X,8,N,1");
    QTest::newRow("operation mode") << 6 << QByteArray("SLAVE,MODEX");
    QTest::newRow("devices") << 7 << QByteArray("X,128");
    QTest::newRow("access code") << 11 << QByteArray("X,001F00");
    QTest::newRow("flow control") << 12 << QByteArray("X");
    QTest::newRow("delay") << 13 << QByteArray("X");
    QTest::newRow("profile") << 14 << QByteArray("X");
    QTest::newRow("fast switching") << 16 << QByteArray("X");
    QTest::newRow("text answer kept") << 0 << QByteArray("RADIOSIM");
}

void TestSimFaults::nonNumericItem()
{
    QFETCH(int, query);
    QFETCH(QByteArray, expected);
    Options o;
    o.nonNumericInfo = query;
    Session s(o);
    s.wake();
    QCOMPARE(s.client->answer(), QByteArray("OK"));

    QCOMPARE(s.client->command("AT+BTINFO?" + QByteArray::number(query)), expected);
    QCOMPARE(s.client->command(query == 7 ? "AT+BTINFO?12" : "AT+BTINFO?7"), query == 7 ? QByteArray("0")
                                                                                       : QByteArray("1,128"));
}

void TestSimFaults::noisePrecedesEveryAnswer()
{
    Options o;
    o.noise = true;
    Session s(o);
    s.wake();
    QVERIFY(s.sim.waitForCommandCount(1, 5000));
    s.client->send(QByteArrayLiteral("AT+BTINFO?9\r"));
    QVERIFY(s.sim.waitForCommandCount(2, 5000));

    const QByteArray sent = SentBytes(s.sim);
    QCOMPARE(s.client->readRaw(sent.size()), sent);
    const qsizetype ok = sent.indexOf("\r\nOK\r\n");
    QVERIFY(ok >= 3);
    QVERIFY(sent.endsWith("\r\nSIM-1.06\r\n"));
    const qsizetype junkStart = ok + 6;
    const qsizetype junkLength = sent.size() - junkStart - QByteArray("\r\nSIM-1.06\r\n").size();
    QVERIFY(junkLength >= 3);
    for (const QByteArray& junk : {sent.left(ok), sent.mid(junkStart, junkLength)})
        QVERIFY(!junk.contains('\r') && !junk.contains('\n'));
}

void TestSimFaults::bareOkLacksLeadingCrLf()
{
    Options o;
    o.bareOkWithoutLeadingCrLf = true;
    Session s(o);
    s.wake();
    QCOMPARE(s.client->readRaw(4), QByteArray("OK\r\n"));
    s.client->send(QByteArrayLiteral("AT+BTINFO?0\rAT+BTX\rAT+BTLPM,1\r"));
    const QByteArray rest = "\r\nRADIOSIM\r\n\r\nERROR\r\nOK\r\n";
    QCOMPARE(s.client->readRaw(rest.size()), rest);
}

void TestSimFaults::randomBurstsSplitAnswers()
{
    Options o;
    o.randomBursts = true;
    Session s(o);
    s.wake();
    QCOMPARE(s.client->answer(), QByteArray("OK"));
    s.sim.clearTranscript();

    QCOMPARE(s.client->command("AT+BTINFO?4"), QByteArray("1,0,20,1B,1E"));
    int pieces = 0;
    QByteArray joined;
    for (const auto& e : s.sim.transcript()) {
        if (!e.fromTool) {
            ++pieces;
            QVERIFY(e.bytes.size() <= 4);
            joined += QByteArray::fromStdString(e.bytes);
        }
    }
    QCOMPARE(joined, QByteArray("\r\n1,0,20,1B,1E\r\n"));
    QVERIFY(pieces >= 4);
}

void TestSimFaults::echoSendsCommandBack()
{
    Options o;
    o.echo = true;
    Session s(o);
    s.wake();
    QCOMPARE(s.client->answer(), QByteArray("OK"));  // no echo in data mode
    s.client->send(QByteArrayLiteral("AT+BTINFO?0\r"));
    const QByteArray expected = "AT+BTINFO?0\r\r\nRADIOSIM\r\n";
    QCOMPARE(s.client->readRaw(expected.size()), expected);
}

void TestSimFaults::answerDelayHoldsAnswersBack()
{
    Options o;
    o.answerDelayMs = 250;
    Session s(o);
    QElapsedTimer clock;
    clock.start();
    s.wake();
    QCOMPARE(s.client->answer(), QByteArray("OK"));
    QVERIFY(clock.elapsed() >= o.answerDelayMs);
    clock.restart();
    QCOMPARE(s.client->command("AT+BTINFO?0"), QByteArray("RADIOSIM"));
    QVERIFY(clock.elapsed() >= o.answerDelayMs);
}

void TestSimFaults::vanishClosesLineAfterAnswer()
{
    QTemporaryDir dir;
    Options o;
    o.vanishAfterCommand = 2;
    o.linkPath = dir.filePath(QStringLiteral("module")).toStdString();
    Session s(o);
    s.wake();
    QCOMPARE(s.client->answer(), QByteArray("OK"));
    QVERIFY(!s.sim.vanished());

    QCOMPARE(s.client->command("AT+BTINFO?0"), QByteArray("RADIOSIM"));
    QVERIFY(s.client->hungUp());
    QVERIFY(s.sim.vanished());
    QVERIFY(::access(o.linkPath.c_str(), F_OK) != 0);
}

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
