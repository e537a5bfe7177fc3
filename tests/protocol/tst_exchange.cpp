// SPDX-License-Identifier: GPL-3.0-or-later
// The module exchange, answer by answer, on a clock the test moves by hand:
// what each answer or missing answer leads to, for the three module types.

#include "AtProtocol.h"
#include "FieldTexts.h"
#include "ModuleExchange.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(TModuleType)

namespace {

// An exchange with its own state and parameter sets, on a hand-moved clock.
struct TRig
{
    explicit TRig(TModuleType type = TModuleType::Current, TExchangeOptions options = {})
        : Exchange(State, Read, Edit, options, [this] { return Now; })
    {
        State.LegacyDevice = IsLegacy(type);
        State.LegacyFastSwitch = type == TModuleType::LegacyFast;
    }

    void Advance(std::chrono::milliseconds ms) { Now += ms; }

    TModuleExchange::Clock::time_point Now{};
    TSequencerState State;
    TParameters Read;
    TParameters Edit;
    TModuleExchange Exchange;
};

// A good answer to every info query.
QByteArray GoodAnswer(int step)
{
    static const QList<QByteArray> answers = {
        "UNIT-A",       "4321,1,0",      "112233445566", "MODE2",   "1,0,30,1b,5", "19200,8,E,1",
        "MASTER,MODE1", "4,256",         "00A0C1D2E3F4", "SW-2.3",  "2.1",         "9E8B33,001F00",
        "1",            "50",            "1",            "SERIAL PORT", "1",       "QN7201",
    };
    return answers.value(step);
}

// Answers the reading refuses: a wrong item count, or a number that is none.
QList<QPair<int, QByteArray>> RefusedAnswers()
{
    return {
        {1, "4321,1"},        {1, "4321,X,0"},      {3, "MODEX"},         {4, "1,0,30,1b"},
        {4, "1,0,30,zz,5"},   {5, "19200,8,E"},     {5, "19200,8,E,1,2"},  {6, "MASTER"},
        {6, "MASTER,MODEX"},  {7, "4"},             {7, "4,X"},           {11, "9E8B33"},
        {11, "9E8,001F00"},   {12, "X"},            {13, ""},             {14, "1.5"},
        {16, "X"},
    };
}

QStringList Texts(const std::optional<TReport>& report)
{
    if (!report)
        return {};
    return {report->Title, report->Detail, report->MaintenanceLine};
}

QStringList Range(int from, int to)
{
    QStringList list;
    for (int i = from; i <= to; ++i)
        list << QString::number(i);
    return list;
}

// The query number of an info query ("AT+BTINFO?7\r" -> "7").
QString QueryNumber(const QByteArray& command)
{
    return QString::fromLatin1(command.mid(10).chopped(1));
}

// Answers every query of a reading well up to `upTo` (exclusive): the step
// that asks for `upTo`, or the last step when the reading ends before.
TExchangeStep ReadUpTo(TRig& rig, int upTo)
{
    TExchangeStep step = rig.Exchange.StartReading();
    while (rig.State.CommandStep != upTo && step.End == TExchangeEnd::None && !step.Command.isEmpty())
        step = rig.Exchange.Answer(GoodAnswer(rig.State.CommandStep));
    return step;
}

void FillWritable(TParameters& p)
{
    p.Bluetooth.DeviceName = "BENCH-07";
    p.Bluetooth.Role = 1;
    p.Bluetooth.RemoteBDAddr = "001122334455";
    p.Bluetooth.InquiryAccessCodeSecond = "33";
    p.Bluetooth.ClassOfDevice = "001F00";
    p.Bluetooth.LinkTimeout = 42;
    p.Bluetooth.ServiceName = "SPP";
    p.Security.PinCode = "9876";
    p.System.EscapeChar = "2B";
    p.System.DebugChar = "1E";
    p.Uart.BaudRate = "115200";
    p.Uart.ParityBit = "Even";
    p.Uart.StopBit = "1";
    p.MultiComm.RxBufferSize = 300;
}

const QString ConnectRetry =
    u"After Serial Port Close, then Retry Connect with Correct Debug Char\r\nOr Contact and Refer Manufacturer."_s;
const QString Manufacturer = u"Contact and Refer Manufacturer"_s;

} // namespace

class TestExchange : public QObject
{
    Q_OBJECT

private slots:
    void stepPlansOfTheThreeModuleTypes()
    {
        QList<int> current;
        for (int i = 0; i <= 17; ++i)
            current.append(i);
        QCOMPARE(ReadPlan(TModuleType::Current), current);
        QCOMPARE(ReadPlan(TModuleType::LegacyFast), (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 16}));
        QCOMPARE(ReadPlan(TModuleType::Legacy), (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        QCOMPARE(ReadGaugeMaximum(TModuleType::Current), 17);
        QCOMPARE(ReadGaugeMaximum(TModuleType::LegacyFast), 10);
        QCOMPARE(ReadGaugeMaximum(TModuleType::Legacy), 9);
        QCOMPARE(LastWriteStep(TModuleType::Current), 21);
        QCOMPARE(LastWriteStep(TModuleType::LegacyFast), 15);
        QCOMPARE(LastWriteStep(TModuleType::Legacy), 14);
        QCOMPARE(ModuleTypeFromVersionAnswer("ERROR"), TModuleType::Legacy);
        QCOMPARE(ModuleTypeFromVersionAnswer("2.0"), TModuleType::LegacyFast);
        QCOMPARE(ModuleTypeFromVersionAnswer("2.1"), TModuleType::Current);
        QCOMPARE(ModuleTypeFromVersionAnswer("error"), TModuleType::Current);
    }

    // ------------------------------------------------------------ handshake

    void handshakeIdentifiesTheModule_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<bool>("legacy");
        QTest::addColumn<bool>("fastSwitch");
        QTest::addColumn<int>("end");
        // The fast-switching flag starts set: a current module leaves it as it was.
        QTest::newRow("current") << "2.1"_ba << "QN7201"_ba << false << true << int(TExchangeEnd::Identified);
        QTest::newRow("2.0: legacy with fast switching") << "2.0"_ba << "QN7101"_ba << true << true
                                                         << int(TExchangeEnd::Identified);
        QTest::newRow("ERROR: legacy") << "ERROR"_ba << "QN7101"_ba << true << false << int(TExchangeEnd::Identified);
        QTest::newRow("lower-case error: current") << "error"_ba << "X"_ba << false << true
                                                   << int(TExchangeEnd::Identified);
        QTest::newRow("no model name") << "2.1"_ba << "ERROR"_ba << false << true << int(TExchangeEnd::ProductChoice);
        QTest::newRow("any model text") << "2.1"_ba << "OK"_ba << false << true << int(TExchangeEnd::Identified);
    }

    void handshakeIdentifiesTheModule()
    {
        QFETCH(QByteArray, version);
        QFETCH(QByteArray, model);
        QFETCH(bool, legacy);
        QFETCH(bool, fastSwitch);
        QFETCH(int, end);
        TRig rig;
        rig.State.LegacyFastSwitch = true;
        rig.Read.Local.ModelName = "OLD";
        rig.Edit.Local.ModelName = "OLD";

        TExchangeStep step = rig.Exchange.StartHandshake(0x1E);
        QCOMPARE(step.Command, "\x1E"_ba);
        QCOMPARE(step.Start, TAnswerTimer::Answer);
        QCOMPARE(rig.State.CommMode, int(ModeConnecting));
        QCOMPARE(rig.State.CommandStep, 0);

        step = rig.Exchange.Answer("OK");
        QVERIFY(step.ReadyToSet);
        QCOMPARE(step.Stop, TAnswerTimer::Answer);
        QCOMPARE(step.Command, "AT+BTINFO?10\r"_ba);
        QCOMPARE(rig.State.CommandStep, 1);

        step = rig.Exchange.Answer(version);
        QVERIFY(!step.ReadyToSet);
        QCOMPARE(step.Command, "AT+BTINFO?100\r"_ba);
        QCOMPARE(step.Start, TAnswerTimer::Answer);
        QCOMPARE(rig.State.LegacyDevice, legacy);
        QCOMPARE(rig.State.LegacyFastSwitch, fastSwitch);
        QCOMPARE(rig.State.CommandStep, 2);
        QCOMPARE(rig.Read.Local.BTSpec, QByteArray()); // the version is not stored

        step = rig.Exchange.Answer(model);
        QCOMPARE(int(step.End), end);
        QVERIFY(step.Command.isEmpty());
        QCOMPARE(step.Start, TAnswerTimer::None);
        QVERIFY(step.ClearQueue);
        QCOMPARE(rig.State.CommMode, int(ModeIdle));
        QVERIFY(!rig.Exchange.Deadline());
        const QByteArray stored = end == int(TExchangeEnd::Identified) ? model : "OLD"_ba;
        QCOMPARE(step.Model, end == int(TExchangeEnd::Identified) ? model : QByteArray());
        QCOMPARE(rig.Read.Local.ModelName, stored);
        QCOMPARE(rig.Edit.Local.ModelName, stored);
    }

    void debugCharacterAnsweredWithAnythingButOkIsReported_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("ERROR") << "ERROR"_ba;
        QTest::newRow("lower-case ok") << "ok"_ba;
        QTest::newRow("OK with a blank") << "OK "_ba;
    }

    void debugCharacterAnsweredWithAnythingButOkIsReported()
    {
        QFETCH(QByteArray, answer);
        TRig rig;
        rig.Exchange.StartHandshake(0x42);
        const TExchangeStep step = rig.Exchange.Answer(answer);
        QCOMPARE(Texts(step.Report), (QStringList{u"Debug Char ERROR"_s,
                                                  u"Debug Char was wrong\r\nError Data was recevied for Debug Char"_s,
                                                  ConnectRetry}));
        QVERIFY(!step.ReadyToSet);
        QVERIFY(step.Command.isEmpty());
        QCOMPARE(step.End, TExchangeEnd::None);
        // The exchange waits where it is until the report has been shown.
        QCOMPARE(rig.State.CommMode, int(ModeConnecting));
        QCOMPARE(rig.State.CommandStep, 0);
    }

    void handshakeAnswerAtAnotherStepIsIgnored()
    {
        TRig rig;
        rig.Exchange.StartHandshake(0x1E);
        rig.State.CommandStep = 5;
        const TExchangeStep step = rig.Exchange.Answer("OK");
        QCOMPARE(step.Stop, TAnswerTimer::Answer);
        QVERIFY(step.Command.isEmpty());
        QVERIFY(!step.ReadyToSet);
        QCOMPARE(rig.State.CommMode, int(ModeConnecting));
    }

    // ------------------------------------------------------------ time limits

    void missingAnswerIsReportedAtTheLimitAndNotBefore_data()
    {
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<QVariant>("type");
        QTest::addColumn<int>("step");
        QTest::addColumn<QStringList>("report");
        const QString connecting = u"Input Debug Char was wrong\r\nOr Response Data was not received."_s;
        const auto reading = [](int step) {
            return u"Response Data was not received for Read Command\r\nRead Command Number : %1"_s.arg(step);
        };
        const auto writing = [](int step) {
            return u"Response Data was not received for Write Command\r\nWrite Command Number : %1"_s.arg(step);
        };
        const QVariant current = QVariant::fromValue(TModuleType::Current);
        const QVariant fast = QVariant::fromValue(TModuleType::LegacyFast);
        const QVariant legacy = QVariant::fromValue(TModuleType::Legacy);
        for (int step = 0; step <= 2; ++step)
            QTest::addRow("handshake, step %d", step) << u"connect"_s << current << step
                                                     << QStringList{u"CONNECTING ERROR"_s, connecting, ConnectRetry};
        for (int step : {0, 5, 16, 17})
            QTest::addRow("read current, step %d", step) << u"read"_s << current << step
                                                        << QStringList{u"READING ERROR"_s, reading(step), Manufacturer};
        QTest::newRow("read 2.0, the step in place of 10") << u"read"_s << fast << 16
                                                           << QStringList{u"READING ERROR"_s, reading(16), Manufacturer};
        QTest::newRow("read ERROR, last step") << u"read"_s << legacy << 9
                                               << QStringList{u"READING ERROR"_s, reading(9), Manufacturer};
        for (int step : {0, 2, 21})
            QTest::addRow("write current, step %d", step) << u"write"_s << current << step
                                                         << QStringList{u"WRITING ERROR"_s, writing(step), Manufacturer};
        QTest::newRow("write ERROR, last step") << u"write"_s << legacy << 14
                                                << QStringList{u"WRITING ERROR"_s, writing(14), Manufacturer};
        QTest::newRow("init") << u"init"_s << current << -1
                              << QStringList{u"INITIALIZATION ERROR"_s,
                                             u"Response Data was not received for Init Command\r\nCommand : AT&F "
                                             "(Initialization Command)"_s,
                                             Manufacturer};
    }

    void missingAnswerIsReportedAtTheLimitAndNotBefore()
    {
        QFETCH(QString, exchange);
        QFETCH(QVariant, type);
        QFETCH(int, step);
        QFETCH(QStringList, report);
        TRig rig(type.value<TModuleType>());
        FillWritable(rig.Edit);
        TExchangeStep last;
        if (exchange == u"connect") {
            last = rig.Exchange.StartHandshake(0x1E);
            const QByteArray answers[] = {"OK", "2.1"};
            for (int i = 0; i < step; ++i)
                last = rig.Exchange.Answer(answers[i]);
        } else if (exchange == u"read") {
            last = ReadUpTo(rig, step);
        } else if (exchange == u"write") {
            last = rig.Exchange.StartWriting();
            for (int i = 0; i < step; ++i)
                last = rig.Exchange.Answer("OK");
        } else {
            last = rig.Exchange.StartInitialising();
        }
        QVERIFY(!last.Command.isEmpty());
        QCOMPARE(last.Start, TAnswerTimer::Answer);
        QCOMPARE(last.LimitMs, 2000);
        if (step >= 0)
            QCOMPARE(rig.State.CommandStep, step);

        rig.Advance(1999ms);
        const TExchangeStep early = rig.Exchange.CheckTime();
        QVERIFY(!early.Report);
        QCOMPARE(rig.Exchange.Deadline(), std::optional(rig.Now + 1ms));
        rig.Advance(1ms);
        const TExchangeStep late = rig.Exchange.CheckTime();
        QCOMPARE(Texts(late.Report), report);
        QVERIFY(late.Command.isEmpty());
        QVERIFY(!rig.Exchange.Deadline());
        // Reported once.
        rig.Advance(5000ms);
        QVERIFY(!rig.Exchange.CheckTime().Report);
    }

    void eachAnswerStartsTheLimitAnew()
    {
        TRig rig;
        rig.Exchange.StartHandshake(0x1E);
        rig.Advance(1999ms);
        rig.Exchange.Answer("OK");
        rig.Advance(1999ms);
        QVERIFY(!rig.Exchange.CheckTime().Report);
        rig.Exchange.Answer("2.1");
        rig.Advance(1999ms);
        QVERIFY(!rig.Exchange.CheckTime().Report);
        rig.Advance(1ms);
        QCOMPARE(rig.Exchange.CheckTime().Report->Title, u"CONNECTING ERROR"_s);
    }

    void debugCharacterMayBeProbedWithAShorterLimit()
    {
        TRig rig;
        const TExchangeStep first = rig.Exchange.StartHandshake(0x1E, 300);
        QCOMPARE(first.LimitMs, 300);
        QCOMPARE(rig.Exchange.Deadline(), std::optional(rig.Now + 300ms));
        const TExchangeStep second = rig.Exchange.Answer("OK");
        QCOMPARE(second.LimitMs, 2000);
        QCOMPARE(rig.Exchange.Deadline(), std::optional(rig.Now + 2000ms));
    }

    // A timer that no longer watches the exchange in progress changes nothing:
    // an answer limit that ticks during a search, or after the error dialog has
    // made the exchange idle.
    void limitOfAnotherExchangeChangesNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("timer");
        QTest::newRow("answer limit while searching") << int(ModeSearching) << int(TAnswerTimer::Answer);
        QTest::newRow("answer limit while idle") << int(ModeIdle) << int(TAnswerTimer::Answer);
        QTest::newRow("search limit while reading") << int(ModeReading) << int(TAnswerTimer::SearchSilence);
        QTest::newRow("profile limit while idle") << int(ModeIdle) << int(TAnswerTimer::ProfileChange);
        QTest::newRow("profile limit while searching") << int(ModeSearching) << int(TAnswerTimer::ProfileChange);
    }

    void limitOfAnotherExchangeChangesNothing()
    {
        QFETCH(int, mode);
        QFETCH(int, timer);
        TRig rig;
        rig.State.CommMode = mode;
        rig.State.CommandStep = 3;
        const TExchangeStep step = rig.Exchange.TimedOut(TAnswerTimer(timer));
        QVERIFY(!step.Report);
        QCOMPARE(step.End, TExchangeEnd::None);
        QVERIFY(!step.ClearQueue);
        QCOMPARE(rig.State.CommMode, mode);
        QCOMPARE(rig.State.CommandStep, 3);
    }

    void answerWhileIdleIsIgnored()
    {
        TRig rig;
        FillAll(rig.Read, "r", 10);
        const FieldTexts before = AllFields(rig.Read);
        for (const QByteArray& answer : {"OK"_ba, "ERROR"_ba, "UNIT-A"_ba}) {
            const TExchangeStep step = rig.Exchange.Answer(answer);
            QCOMPARE(step.Stop, TAnswerTimer::None);
            QVERIFY(step.Command.isEmpty());
            QVERIFY(!step.Report);
            QCOMPARE(step.End, TExchangeEnd::None);
        }
        QCOMPARE(AllFields(rig.Read), before);
        QCOMPARE(rig.State.CommMode, int(ModeIdle));
    }

    // ------------------------------------------------------------ reading

    void readingSendsTheModuleTypesQueriesAndStoresEveryAnswer_data()
    {
        QTest::addColumn<QVariant>("type");
        QTest::addColumn<QStringList>("queries");
        QTest::addColumn<int>("maximum");
        QTest::newRow("current") << QVariant::fromValue(TModuleType::Current) << Range(0, 16) + QStringList{u"100"_s}
                                 << 17;
        QTest::newRow("2.0") << QVariant::fromValue(TModuleType::LegacyFast) << Range(0, 9) + QStringList{u"16"_s}
                             << 10;
        QTest::newRow("ERROR") << QVariant::fromValue(TModuleType::Legacy) << Range(0, 9) << 9;
    }

    void readingSendsTheModuleTypesQueriesAndStoresEveryAnswer()
    {
        QFETCH(QVariant, type);
        QFETCH(QStringList, queries);
        QFETCH(int, maximum);
        TRig rig(type.value<TModuleType>());
        FillAll(rig.Read, "r", 100);
        FillAll(rig.Edit, "e", 200);
        const FieldTexts readBefore = AllFields(rig.Read);
        QCOMPARE(rig.Exchange.ReadGaugeMaximum(), maximum);

        QStringList sent;
        QList<int> positions;
        TExchangeStep step = rig.Exchange.StartReading();
        QCOMPARE(rig.State.CommMode, int(ModeReading));
        while (step.End == TExchangeEnd::None) {
            QVERIFY2(!step.Command.isEmpty(), qPrintable(sent.join(u' ')));
            QCOMPARE(step.Start, TAnswerTimer::Answer);
            QVERIFY(!step.Report);
            sent << QueryNumber(step.Command);
            positions << step.Progress.value_or(-1);
            step = rig.Exchange.Answer(GoodAnswer(rig.State.CommandStep));
            QCOMPARE(step.Stop, TAnswerTimer::Answer);
        }
        QCOMPARE(sent, queries);
        // The gauge shows each step as it is asked for, up to its maximum.
        QList<int> expected;
        for (int i = 0; i <= maximum; ++i)
            expected << i;
        QCOMPARE(positions, expected);
        QCOMPARE(step.End, TExchangeEnd::Read);
        QVERIFY(step.ClearQueue);
        QVERIFY(step.Command.isEmpty());
        QCOMPARE(rig.State.CommMode, int(ModeIdle));
        QVERIFY(!rig.Exchange.Deadline());

        // Both sets hold every answer; what was not asked keeps its value.
        QCOMPARE(rig.Read.Bluetooth.DeviceName, "UNIT-A"_ba);
        QCOMPARE(rig.Edit.Bluetooth.DeviceName, "UNIT-A"_ba);
        QCOMPARE(rig.Edit.Security.PinCode, "4321"_ba);
        QCOMPARE(rig.Read.System.ConnectionMode, 1);
        QCOMPARE(rig.Read.Local.SWVersion, "SW-2.3"_ba);
        const bool current = maximum == 17;
        QCOMPARE(rig.Read.Bluetooth.ClassOfDevice, current ? "001F00"_ba : readBefore["Bluetooth.ClassOfDevice"]);
        QCOMPARE(rig.Read.Local.ModelName, current ? "QN7201"_ba : readBefore["Local.ModelName"]);
        QCOMPARE(rig.Read.System.StreamSwitchingFast,
                 maximum == 9 ? readBefore["System.StreamSwitchingFast"].toInt() : 1);
    }

    void wrongDataIsReportedAtEachStepAndTheWindowReadsOn_data()
    {
        QTest::addColumn<QVariant>("type");
        QTest::addColumn<int>("step");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("readOn");
        const QList<QPair<TModuleType, const char*>> types = {
            {TModuleType::Current, "current"}, {TModuleType::LegacyFast, "2.0"}, {TModuleType::Legacy, "ERROR"}};
        for (const auto& [type, name] : types) {
            for (const auto& [step, answer] : RefusedAnswers()) {
                if (!ReadPlan(type).contains(step))
                    continue;
                for (bool readOn : {true, false})
                    QTest::addRow("%s, step %d, \"%s\"%s", name, step, answer.constData(), readOn ? "" : ", stop")
                        << QVariant::fromValue(type) << step << answer << readOn;
            }
        }
    }

    void wrongDataIsReportedAtEachStepAndTheWindowReadsOn()
    {
        QFETCH(QVariant, type);
        QFETCH(int, step);
        QFETCH(QByteArray, answer);
        QFETCH(bool, readOn);
        TExchangeOptions options;
        options.ReadOnAfterWrongData = readOn;
        const TModuleType moduleType = type.value<TModuleType>();
        TRig rig(moduleType, options);
        QVERIFY(!ReadUpTo(rig, step).Command.isEmpty());
        QCOMPARE(rig.State.CommandStep, step);
        const FieldTexts readBefore = AllFields(rig.Read);
        const FieldTexts editBefore = AllFields(rig.Edit);

        const TExchangeStep next = rig.Exchange.Answer(answer);
        QCOMPARE(Texts(next.Report),
                 (QStringList{u"WRONG DATA"_s, u"Wrong Data was received\r\nRead Command Number : %1"_s.arg(step),
                              u"Retry Read Again\r\nOr Contact and Refer Manufacturer."_s}));
        // None of the step's fields changes.
        QCOMPARE(AllFields(rig.Read), readBefore);
        QCOMPARE(AllFields(rig.Edit), editBefore);

        const QList<int> plan = ReadPlan(moduleType);
        const qsizetype at = plan.indexOf(step);
        if (!readOn) {
            QVERIFY(next.Command.isEmpty());
            QCOMPARE(next.End, TExchangeEnd::None);
        } else if (at + 1 < plan.size()) {
            // The reading goes on exactly as after a good answer.
            QCOMPARE(QueryNumber(next.Command), plan.at(at + 1) == 17 ? u"100"_s : QString::number(plan.at(at + 1)));
            QCOMPARE(next.Progress, std::optional<qint32>(qint32(at + 1)));
            QCOMPARE(rig.State.CommMode, int(ModeReading));
        } else {
            QCOMPARE(next.End, TExchangeEnd::Read);
            QCOMPARE(rig.State.CommMode, int(ModeIdle));
        }
    }

    void modelQueryAtTheEndOfAReadStoresErrorAsTheModel()
    {
        TRig rig;
        ReadUpTo(rig, 17);
        const TExchangeStep step = rig.Exchange.Answer("ERROR");
        QVERIFY(!step.Report);
        QCOMPARE(step.End, TExchangeEnd::Read);
        QCOMPARE(rig.Read.Local.ModelName, "ERROR"_ba);
    }

    void failedReadingKeepsTheValuesReadSoFar()
    {
        TRig rig;
        FillAll(rig.Read, "r", 100);
        FillAll(rig.Edit, "e", 200);
        ReadUpTo(rig, 5);
        rig.Advance(2000ms);
        QCOMPARE(rig.Exchange.CheckTime().Report->Title, u"READING ERROR"_s);
        QCOMPARE(rig.Read.Bluetooth.DeviceName, "UNIT-A"_ba); // step 0
        QCOMPARE(rig.Edit.System.DebugChar, "05"_ba);         // step 4
        QCOMPARE(rig.Read.Uart.BaudRate, "rbaud"_ba);         // step 5 never came
        QCOMPARE(rig.Edit.Uart.BaudRate, "ebaud"_ba);
    }

    void readingLimitedToSomeStepsAsksOnlyThose_data()
    {
        QTest::addColumn<QVariant>("type");
        QTest::addColumn<QList<int>>("only");
        QTest::addColumn<QStringList>("queries");
        const QList<int> identify{8, 9, 10, 11};
        QTest::newRow("current") << QVariant::fromValue(TModuleType::Current) << identify << Range(8, 11);
        QTest::newRow("2.0") << QVariant::fromValue(TModuleType::LegacyFast) << identify << Range(8, 9);
        QTest::newRow("ERROR") << QVariant::fromValue(TModuleType::Legacy) << identify << Range(8, 9);
        QTest::newRow("role only") << QVariant::fromValue(TModuleType::Current) << QList<int>{6} << Range(6, 6);
    }

    void readingLimitedToSomeStepsAsksOnlyThose()
    {
        QFETCH(QVariant, type);
        QFETCH(QList<int>, only);
        QFETCH(QStringList, queries);
        TRig rig(type.value<TModuleType>());
        QStringList sent;
        TExchangeStep step = rig.Exchange.StartReading(only);
        while (step.End == TExchangeEnd::None && !step.Command.isEmpty()) {
            sent << QueryNumber(step.Command);
            step = rig.Exchange.Answer(GoodAnswer(rig.State.CommandStep));
        }
        QCOMPARE(sent, queries);
        QCOMPARE(step.End, TExchangeEnd::Read);
        QCOMPARE(rig.State.CommMode, int(ModeIdle));
    }

    // ------------------------------------------------------------ writing

    void writingSendsTheModuleTypesCommandsThenTheRestart_data()
    {
        QTest::addColumn<QVariant>("type");
        QTest::addColumn<int>("last");
        QTest::newRow("current") << QVariant::fromValue(TModuleType::Current) << 21;
        QTest::newRow("2.0") << QVariant::fromValue(TModuleType::LegacyFast) << 15;
        QTest::newRow("ERROR") << QVariant::fromValue(TModuleType::Legacy) << 14;
    }

    void writingSendsTheModuleTypesCommandsThenTheRestart()
    {
        QFETCH(QVariant, type);
        QFETCH(int, last);
        const TModuleType moduleType = type.value<TModuleType>();
        TRig rig(moduleType);
        FillWritable(rig.Edit);
        QCOMPARE(rig.Exchange.LastWriteStep(), last);

        QList<QByteArray> sent;
        QList<int> positions;
        QList<int> acknowledged;
        TExchangeStep step = rig.Exchange.StartWriting();
        while (step.End == TExchangeEnd::None) {
            QVERIFY(!step.Report);
            QCOMPARE(step.Start, TAnswerTimer::Answer);
            QCOMPARE(rig.State.CommMode, int(ModeWriting));
            sent << step.Command;
            positions << step.Progress.value_or(-1);
            step = rig.Exchange.Answer("OK");
            acknowledged << step.Acknowledged.value_or(-1);
        }
        QList<QByteArray> expected;
        QList<int> steps;
        for (int i = 0; i <= last; ++i) {
            expected << WriteCommand(i, rig.Edit);
            steps << i;
        }
        QCOMPARE(sent, expected);
        QCOMPARE(WriteSequence(moduleType, rig.Edit), expected);
        QCOMPARE(sent.first(), "AT+BTNAME=BENCH-07\r"_ba);
        QCOMPARE(positions, steps);
        QCOMPARE(acknowledged, steps);
        QCOMPARE(step.End, TExchangeEnd::Written);
        QCOMPARE(step.Command, "ATZ\r"_ba);
        QCOMPARE(step.Start, TAnswerTimer::None);
        QVERIFY(step.ClearQueue);
        QCOMPARE(rig.State.CommMode, int(ModeIdle));
        QVERIFY(!rig.Exchange.Deadline());
    }

    void refusedWriteCommandIsNamedAndStopsTheWriting_data()
    {
        QTest::addColumn<QVariant>("type");
        QTest::addColumn<int>("step");
        QTest::addColumn<QByteArray>("answer");
        const QList<QPair<TModuleType, const char*>> types = {
            {TModuleType::Current, "current"}, {TModuleType::LegacyFast, "2.0"}, {TModuleType::Legacy, "ERROR"}};
        for (const auto& [type, name] : types) {
            for (int step = 0; step <= LastWriteStep(type); ++step)
                QTest::addRow("%s, step %d", name, step) << QVariant::fromValue(type) << step << "ERROR"_ba;
        }
        QTest::newRow("lower-case ok") << QVariant::fromValue(TModuleType::Current) << 3 << "ok"_ba;
        QTest::newRow("the value read back") << QVariant::fromValue(TModuleType::Current) << 0 << "BENCH-07"_ba;
    }

    void refusedWriteCommandIsNamedAndStopsTheWriting()
    {
        QFETCH(QVariant, type);
        QFETCH(int, step);
        QFETCH(QByteArray, answer);
        TRig rig(type.value<TModuleType>());
        FillWritable(rig.Edit);
        rig.Exchange.StartWriting();
        for (int i = 0; i < step; ++i)
            rig.Exchange.Answer("OK");
        const TExchangeStep refused = rig.Exchange.Answer(answer);
        QCOMPARE(Texts(refused.Report),
                 (QStringList{u"ERROR RECEIVED"_s,
                              u"Error Data was received\r\nWrite Command Number : %1\r\nCommand : %2"_s.arg(step).arg(
                                  QString::fromLatin1(CommandNames().at(step))),
                              u"Retry Write Again\r\nOr Contact and Refer Manufacturer."_s}));
        QVERIFY(!refused.Acknowledged);
        QVERIFY(refused.Command.isEmpty());
        QCOMPARE(refused.End, TExchangeEnd::None);
        QCOMPARE(rig.State.CommandStep, step);

        // A new WRITE starts again from the first command.
        const TExchangeStep again = rig.Exchange.StartWriting();
        QVERIFY(again.Command.startsWith("AT+BTNAME="));
        QCOMPARE(rig.State.CommandStep, 0);
    }

    void refusalsNameTheCommandsAsTheirTextsGive()
    {
        QCOMPARE(WriteRefusedReport(5).Detail, u"Error Data was received\r\nWrite Command Number : 5\r\nCommand : AT+BTSEC"_s);
        QCOMPARE(WriteRefusedReport(15).Detail.section(u"Command : "_s, -1), u"AT+BTFASTCH"_s);
        QCOMPARE(WriteRefusedReport(19).Detail.section(u"Command : "_s, -1), u"AT+BTSN"_s);
    }

    // ------------------------------------------------------------ initialisation

    void initialisationEndsTheConnectionOnOkAndReportsAnythingElse_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("OK") << "OK"_ba << true;
        QTest::newRow("ERROR") << "ERROR"_ba << false;
        QTest::newRow("other text") << "AT&F"_ba << false;
    }

    void initialisationEndsTheConnectionOnOkAndReportsAnythingElse()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, accepted);
        TRig rig;
        rig.State.CommandStep = 7;
        const TExchangeStep first = rig.Exchange.StartInitialising();
        QCOMPARE(first.Command, "AT&F\r"_ba);
        QCOMPARE(first.Start, TAnswerTimer::Answer);
        QCOMPARE(rig.State.CommMode, int(ModeInitialising));
        QCOMPARE(rig.State.CommandStep, 7); // keeps its value

        const TExchangeStep step = rig.Exchange.Answer(answer);
        QCOMPARE(step.Stop, TAnswerTimer::Answer);
        QVERIFY(step.Command.isEmpty()); // no restart after a factory reset
        if (accepted) {
            QCOMPARE(step.End, TExchangeEnd::Initialised);
            QVERIFY(step.ClearQueue);
            QVERIFY(!step.Report);
            QCOMPARE(rig.State.CommMode, int(ModeIdle));
        } else {
            QCOMPARE(step.End, TExchangeEnd::None);
            QCOMPARE(Texts(step.Report), (QStringList{u"WRONG DATA RECEIVED"_s,
                                                      u"Wrong Data was received\r\nInit Command : AT&F"_s,
                                                      u"Retry Init Again\r\nOr Contact and Refer Manufacturer."_s}));
        }
    }

    // ------------------------------------------------------------ device search

    void eachSearchAnswerIsTakenByItsPlace_data()
    {
        QTest::addColumn<QList<QByteArray>>("answers");
        QTest::addColumn<QList<QByteArray>>("found");
        QTest::addColumn<int>("end");
        const QByteArray found = "0A0B0C0D0E0F,FOUND,5A020C";
        const QList<QByteArray> foundName{"FOUND"};
        const int completed = int(TExchangeEnd::SearchCompleted);
        QTest::newRow("devices between the two OKs")
            << QList<QByteArray>{"OK", "001122334455,SCANNER,001F00", "0A0B0C0D0E0F,,5A020C", "OK"}
            << QList<QByteArray>{"SCANNER", ""} << completed;
        QTest::newRow("a device before the first OK is ignored")
            << QList<QByteArray>{"001122334455,EARLY,001F00", "OK", found, "OK"} << foundName << completed;
        QTest::newRow("a line of two items is ignored")
            << QList<QByteArray>{"OK", "112233445566,TWO,", found, "OK"} << foundName << completed;
        QTest::newRow("a line of four items is ignored")
            << QList<QByteArray>{"OK", "112233445566,FOUR,001F00,X", found, "OK"} << foundName << completed;
        QTest::newRow("ERROR as the first answer ends the search")
            << QList<QByteArray>{"ERROR", "OK", found, "OK"} << QList<QByteArray>{} << int(TExchangeEnd::SearchRefused);
        QTest::newRow("ERROR after the first OK is neither a device nor the end")
            << QList<QByteArray>{"OK", "ERROR", found, "OK"} << foundName << completed;
    }

    void eachSearchAnswerIsTakenByItsPlace()
    {
        QFETCH(QList<QByteArray>, answers);
        QFETCH(QList<QByteArray>, found);
        QFETCH(int, end);
        TRig rig;
        rig.State.CommandStep = 9;
        const TExchangeStep first = rig.Exchange.StartSearch();
        QCOMPARE(first.Command, "AT+BTINQ?\r"_ba);
        QVERIFY(first.ClearQueue);
        QCOMPARE(first.Start, TAnswerTimer::SearchSilence);
        QCOMPARE(first.LimitMs, SearchSilenceLimitMs);
        QCOMPARE(rig.State.CommMode, int(ModeSearching));
        QCOMPARE(rig.State.CommandStep, 0);

        QList<QByteArray> names;
        TExchangeStep step;
        for (const QByteArray& answer : answers) {
            step = rig.Exchange.Answer(answer);
            QCOMPARE(step.Stop, TAnswerTimer::SearchSilence);
            QVERIFY(step.Command.isEmpty());
            if (step.Found)
                names << step.Found->Name;
            if (step.End != TExchangeEnd::None)
                break;
            // Every answer shows the module is still searching.
            QCOMPARE(step.Start, TAnswerTimer::SearchSilence);
        }
        QCOMPARE(names, found);
        QCOMPARE(int(step.End), end);
        QVERIFY(step.ClearQueue);
        QCOMPARE(step.Start, TAnswerTimer::None);
        QCOMPARE(rig.State.CommMode, int(ModeIdle));
        QVERIFY(!rig.Exchange.Deadline());
    }

    void foundDeviceKeepsItsThreeFields()
    {
        TRig rig;
        rig.Exchange.StartSearch();
        rig.Exchange.Answer("OK");
        const TExchangeStep step = rig.Exchange.Answer("123456789ABCDEF0,LONG ADDR,000000");
        QVERIFY(step.Found);
        QCOMPARE(step.Found->Address, "123456789ABCDEF0"_ba);
        QCOMPARE(step.Found->Name, "LONG ADDR"_ba);
        QCOMPARE(step.Found->ClassOfDevice, "000000"_ba);
    }

    void searchWithoutItsClosingOkEndsAfterTheSilenceLimit()
    {
        TRig rig;
        rig.Exchange.StartSearch();
        rig.Advance(29999ms);
        QCOMPARE(rig.Exchange.CheckTime().End, TExchangeEnd::None);
        rig.Exchange.Answer("OK");
        rig.Advance(29999ms);
        rig.Exchange.Answer("001122334455,SCANNER,001F00");
        rig.Advance(29999ms);
        QCOMPARE(rig.Exchange.CheckTime().End, TExchangeEnd::None);
        rig.Advance(1ms);
        const TExchangeStep step = rig.Exchange.CheckTime();
        QCOMPARE(step.End, TExchangeEnd::SearchSilent);
        QCOMPARE(step.Stop, TAnswerTimer::SearchSilence);
        QVERIFY(step.ClearQueue);
        QVERIFY(!step.Report);
        QCOMPARE(rig.State.CommMode, int(ModeIdle));
    }

    void searchThatCouldNotBeSentIsEndedAtOnce()
    {
        TRig rig;
        rig.Exchange.StartSearch();
        const TExchangeStep step = rig.Exchange.EndSearch();
        QCOMPARE(step.End, TExchangeEnd::SearchCompleted);
        QCOMPARE(step.Stop, TAnswerTimer::SearchSilence);
        QCOMPARE(rig.State.CommMode, int(ModeIdle));
        QVERIFY(!rig.Exchange.Deadline());
    }

    // ------------------------------------------------------------ profile change

    void profileChangeReadsTheServiceNameBack()
    {
        TRig rig;
        FillAll(rig.Read, "r", 100);
        const FieldTexts readBefore = AllFields(rig.Read);
        const TExchangeStep first = rig.Exchange.StartProfileChange(1);
        QCOMPARE(first.Command, "AT+BTPRO,1\r"_ba);
        QCOMPARE(first.Start, TAnswerTimer::ProfileChange);
        QCOMPARE(rig.State.CommMode, int(ModeProfileChange));
        QCOMPARE(rig.State.ServiceNameRequested, 0);

        const TExchangeStep acknowledged = rig.Exchange.Answer("OK");
        QCOMPARE(acknowledged.Stop, TAnswerTimer::ProfileChange);
        QVERIFY(acknowledged.Command.isEmpty());
        QCOMPARE(acknowledged.ServiceNameAfterMs, 100);
        QCOMPARE(acknowledged.Start, TAnswerTimer::ProfileChange);

        const TExchangeStep query = rig.Exchange.RequestServiceName();
        QCOMPARE(query.Command, "AT+BTINFO?15\r"_ba);
        QCOMPARE(query.Start, TAnswerTimer::ProfileChange);
        QCOMPARE(rig.State.ServiceNameRequested, 1);

        const TExchangeStep named = rig.Exchange.Answer("DIAL-UP NETWORKING");
        QCOMPARE(named.ServiceName, std::optional("DIAL-UP NETWORKING"_ba));
        QCOMPARE(named.End, TExchangeEnd::ProfileChanged);
        QVERIFY(named.Command.isEmpty());
        QCOMPARE(rig.State.CommMode, int(ModeIdle));
        // The page stores the name; the values read stay as they were.
        QCOMPARE(AllFields(rig.Read), readBefore);
    }

    void profileChangeEndsQuietly_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("end");
        QTest::newRow("profile refused") << u"refused"_s << int(TExchangeEnd::ProfileRefused);
        QTest::newRow("profile command unanswered") << u"silent first"_s << int(TExchangeEnd::ProfileAbandoned);
        QTest::newRow("service name query never sent") << u"silent pause"_s << int(TExchangeEnd::ProfileAbandoned);
        QTest::newRow("service name unanswered") << u"silent query"_s << int(TExchangeEnd::ProfileAbandoned);
    }

    void profileChangeEndsQuietly()
    {
        QFETCH(QString, how);
        QFETCH(int, end);
        TRig rig;
        TExchangeStep step = rig.Exchange.StartProfileChange(0);
        QCOMPARE(step.Command, "AT+BTPRO,0\r"_ba);
        if (how == u"refused") {
            step = rig.Exchange.Answer("ERROR");
            QCOMPARE(step.ServiceNameAfterMs, -1);
        } else {
            if (how != u"silent first") {
                rig.Exchange.Answer("OK");
                if (how == u"silent query")
                    rig.Exchange.RequestServiceName();
            }
            rig.Advance(1999ms);
            QCOMPARE(rig.Exchange.CheckTime().End, TExchangeEnd::None);
            rig.Advance(1ms);
            step = rig.Exchange.CheckTime();
        }
        QCOMPARE(int(step.End), end);
        QVERIFY(step.Command.isEmpty());
        QVERIFY(!step.Report);
        QVERIFY(!step.ServiceName);
        QCOMPARE(rig.State.CommMode, int(ModeIdle));
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
