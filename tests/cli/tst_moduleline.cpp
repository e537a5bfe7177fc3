// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-cli's driver of the module exchange, in this process, against a
// virtual module on a pseudo-terminal: every byte passes its hook, a run can be
// stopped between two commands, and a line that goes away is reported.

#include "AtProtocol.h"
#include "ModuleLine.h"
#include "VirtualModule.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A line to a module, with its exchange, woken and identified.
struct TConnected
{
    explicit TConnected(radiosim::VirtualModule& module, TModuleLine::ByteHook hook = {})
        : Line({}, std::move(hook))
        , Exchange(State, Read, Edit)
    {
        Opened = !Line.Open(QString::fromStdString(module.devicePath()), TLineOptions{});
        if (!Opened)
            return;
        Line.Send(WakeUpText());
        TModuleLine::Pause(DebugCharDelayMs);
        Line.Discard();
        Handshake = Line.Run(Exchange, Exchange.StartHandshake(0x1E));
        Identified = Handshake.End;
    }

    TModuleLine Line;
    TSequencerState State;
    TParameters Read;
    TParameters Edit;
    TModuleExchange Exchange;
    bool Opened = false;
    TExchangeStep Handshake;
    TExchangeEnd Identified = TExchangeEnd::None;
};

int WriteCommandsReceived(const radiosim::VirtualModule& module)
{
    int count = 0;
    for (const std::string& command : module.receivedCommands())
        count += command.rfind("AT+BT", 0) == 0 && command.rfind("AT+BTINFO?", 0) != 0 ? 1 : 0;
    return count;
}

} // namespace

class TestModuleLine : public QObject
{
    Q_OBJECT

private slots:
    void everyByteBothWaysPassesTheHook()
    {
        radiosim::VirtualModule module;
        QVERIFY(module.start());
        QByteArray sent, received;
        TConnected c(module, [&](TModuleLine::TDirection direction, const QByteArray& bytes) {
            (direction == TModuleLine::TDirection::Sent ? sent : received) += bytes;
        });
        QVERIFY(c.Opened);
        QCOMPARE(c.Identified, TExchangeEnd::Identified);
        const TExchangeStep end = c.Line.Run(c.Exchange, c.Exchange.StartReading());
        QCOMPARE(end.End, TExchangeEnd::Read);
        QCOMPARE(c.Read.Local.ModelName, "QN7201"_ba);
        c.Line.Close();

        QCOMPARE(sent, QByteArray::fromStdString(module.receivedBytes()));
        QByteArray answered;
        for (const radiosim::TranscriptEntry& entry : module.transcript())
            if (!entry.fromTool)
                answered += QByteArray::fromStdString(entry.bytes);
        // What the module said after the lone CR was dropped is all here too.
        QVERIFY(answered.endsWith(received));
        QVERIFY(received.contains("\r\nQN7201\r\n"));
        QVERIFY(sent.startsWith("\r\x1E" "AT+BTINFO?10\r"));
    }

    void observerStopsTheWritingBetweenTwoCommands()
    {
        radiosim::VirtualModule module;
        QVERIFY(module.start());
        TConnected c(module);
        QCOMPARE(c.Identified, TExchangeEnd::Identified);
        QCOMPARE(c.Line.Run(c.Exchange, c.Exchange.StartReading()).End, TExchangeEnd::Read);
        QList<int> acknowledged;
        const TExchangeStep last = c.Line.Run(c.Exchange, c.Exchange.StartWriting(), [&](const TExchangeStep& step) {
            if (step.Acknowledged)
                acknowledged << *step.Acknowledged;
            return acknowledged.size() < 3;
        });
        QCOMPARE(last.End, TExchangeEnd::None);
        QVERIFY(!last.Report);
        QCOMPARE(acknowledged, (QList<int>{0, 1, 2}));
        QVERIFY(module.waitForCommandCount(module.receivedCommands().size(), 1000));
        QTest::qWait(100);
        QCOMPARE(WriteCommandsReceived(module), 3);
    }

    void lineThatGoesAwayIsReportedAsGone()
    {
        radiosim::Options options;
        // The line closes 300 ms after the answer; answers paced at 100 ms
        // have that happen long before the reading is over.
        options.vanishAfterCommand = 3 + 4; // the handshake, then read queries 0..3
        options.answerDelayMs = 100;
        radiosim::VirtualModule module(options);
        QVERIFY(module.start());
        TConnected c(module);
        QCOMPARE(c.Identified, TExchangeEnd::Identified);
        const TExchangeStep last = c.Line.Run(c.Exchange, c.Exchange.StartReading());
        QVERIFY(last.Report);
        QCOMPARE(last.Report->Title, u"SERIAL PORT DISAPPEARED"_s);
        QVERIFY(c.Line.Gone());
        QCOMPARE(c.Read.Bluetooth.DeviceName, "RADIOSIM"_ba); // answered before the line went
        QVERIFY(c.State.CommandStep < 17);
    }

    void silentModuleRunsIntoTheAnswerLimit()
    {
        radiosim::Options options;
        options.silentFromCommand = 2; // the version query gets no answer
        radiosim::VirtualModule module(options);
        QVERIFY(module.start());
        QElapsedTimer clock;
        clock.start();
        TConnected c(module);
        QCOMPARE(c.Identified, TExchangeEnd::None);
        QVERIFY(c.Handshake.Report);
        QCOMPARE(c.Handshake.Report->Title, u"CONNECTING ERROR"_s);
        QVERIFY(clock.elapsed() >= DebugCharDelayMs + AnswerLimitMs);
        QCOMPARE(c.State.CommandStep, 1);
    }
};

QTEST_GUILESS_MAIN(TestModuleLine)
#include "tst_moduleline.moc"
