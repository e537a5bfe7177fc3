// SPDX-License-Identifier: GPL-3.0-or-later
// The AT commands and answers: the comma rule, item conversions, queries and writes.
#include "AtProtocol.h"
#include "FieldTexts.h"

#include <QMap>
#include <QTest>

namespace {

// The parameter set of the write command table.
void FillSample(TParameters& p)
{
    p.Bluetooth.DeviceName = "ABC";
    p.Bluetooth.Role = 0;
    p.Bluetooth.RemoteBDAddr = "0012A3B4C5D6";
    p.Bluetooth.PowerSave = 1;
    p.Bluetooth.LinkTimeout = 20;
    p.Security.Auth = 2;
    p.Security.Encry = 1;
    p.Security.PinCode = "1234";
    p.System.StatusMessage = 1;
    p.System.ConnectionMode = 2;
    p.System.EscapeChar = "2B";
    p.System.DebugChar = "05";
    p.Uart.BaudRate = "9600";
    p.Uart.ParityBit = "Odd";
    p.Uart.StopBit = "1";
    p.MultiComm.OperationMode = 2;
    p.MultiComm.NumberOfDevice = 7;
    p.MultiComm.RxBufferSize = 128;
    p.System.StreamSwitchingFast = 1;
    p.Bluetooth.InquiryAccessCodeSecond = "33";
    p.Bluetooth.ClassOfDevice = "001F00";
    p.Bluetooth.SupportProfile = 1;
    p.Bluetooth.ServiceName = "SPP Dev";
    p.System.ConnectionDelayTime = 300;
    p.Uart.HWFlowControl = 1;
}

using Changes = QList<QPair<QByteArray, QByteArray>>;

} // namespace

class TestAtProtocol : public QObject
{
    Q_OBJECT

private slots:
    void splitResponseFollowsTheCommaRule_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QList<QByteArray>>("items");

        using L = QList<QByteArray>;
        QTest::newRow("empty answer") << QByteArray() << L{};
        QTest::newRow("one value") << QByteArray("abc") << L{"abc"};
        QTest::newRow("three values") << QByteArray("1234,1,0") << L{"1234", "1", "0"};
        QTest::newRow("empty item between commas") << QByteArray("a,,b") << L{"a", "", "b"};
        QTest::newRow("leading comma") << QByteArray(",a") << L{"", "a"};
        QTest::newRow("trailing comma adds none") << QByteArray("a,") << L{"a"};
        QTest::newRow("two values and a comma") << QByteArray("a,b,") << L{"a", "b"};
        QTest::newRow("two trailing commas") << QByteArray("a,b,,") << L{"a", "b", ""};
        QTest::newRow("lone comma") << QByteArray(",") << L{""};
        QTest::newRow("spaces kept") << QByteArray(" a , b") << L{" a ", " b"};
        QTest::newRow("single character items") << QByteArray("1,2") << L{"1", "2"};
    }

    void splitResponseFollowsTheCommaRule()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QList<QByteArray>, items);
        QCOMPARE(SplitResponse(answer), items);
    }

    void decimalItemReadsOnlyWholeNumbers_data()
    {
        QTest::addColumn<QByteArray>("item");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint32>("value");

        QTest::newRow("digits") << QByteArray("20") << true << 20;
        QTest::newRow("leading zeros") << QByteArray("007") << true << 7;
        QTest::newRow("leading blanks") << QByteArray("  \t5") << true << 5;
        QTest::newRow("plus sign") << QByteArray("+3") << true << 3;
        QTest::newRow("minus sign") << QByteArray("-12") << true << -12;
        QTest::newRow("largest") << QByteArray("2147483647") << true << 2147483647;
        QTest::newRow("smallest") << QByteArray("-2147483648") << true << qint32(-2147483647 - 1);
        QTest::newRow("too large") << QByteArray("2147483648") << false << 0;
        QTest::newRow("far too large") << QByteArray("99999999999999999999999") << false << 0;
        QTest::newRow("too small") << QByteArray("-2147483649") << false << 0;
        QTest::newRow("empty") << QByteArray() << false << 0;
        QTest::newRow("blanks only") << QByteArray("  ") << false << 0;
        QTest::newRow("sign only") << QByteArray("-") << false << 0;
        QTest::newRow("trailing blank") << QByteArray("12 ") << false << 0;
        QTest::newRow("letters") << QByteArray("1a") << false << 0;
        QTest::newRow("hex prefix") << QByteArray("$1A") << false << 0;
        QTest::newRow("blank after sign") << QByteArray("- 1") << false << 0;
    }

    void decimalItemReadsOnlyWholeNumbers()
    {
        QFETCH(QByteArray, item);
        QFETCH(bool, valid);
        QFETCH(qint32, value);

        constexpr qint32 untouched = 4711;
        qint32 read = untouched;
        QCOMPARE(DecimalItem(item, &read), valid);
        QCOMPARE(read, valid ? value : untouched);
    }

    void hexItemStoresUpperCaseDigits_data()
    {
        QTest::addColumn<QByteArray>("item");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QByteArray>("stored");

        QTest::newRow("lower case") << QByteArray("1b") << true << QByteArray("1B");
        QTest::newRow("single digit padded") << QByteArray("5") << true << QByteArray("05");
        QTest::newRow("ten") << QByteArray("a") << true << QByteArray("0A");
        QTest::newRow("zero") << QByteArray("0") << true << QByteArray("00");
        QTest::newRow("leading zeros dropped") << QByteArray("001b") << true << QByteArray("1B");
        QTest::newRow("more than FF") << QByteArray("1ff") << true << QByteArray("1FF");
        QTest::newRow("32 bits") << QByteArray("ffffffff") << true << QByteArray("FFFFFFFF");
        QTest::newRow("beyond 32 bits") << QByteArray("100000000") << false << QByteArray();
        QTest::newRow("empty") << QByteArray() << false << QByteArray();
        QTest::newRow("not hex") << QByteArray("1g") << false << QByteArray();
        QTest::newRow("blank") << QByteArray(" 1b") << false << QByteArray();
        QTest::newRow("sign") << QByteArray("-1") << false << QByteArray();
        QTest::newRow("prefix") << QByteArray("$1b") << false << QByteArray();
    }

    void hexItemStoresUpperCaseDigits()
    {
        QFETCH(QByteArray, item);
        QFETCH(bool, valid);
        QFETCH(QByteArray, stored);

        QByteArray result("untouched");
        QCOMPARE(HexItem(item, &result), valid);
        QCOMPARE(result, valid ? stored : QByteArray("untouched"));
    }

    void modeNumberRemovesTheWordMode_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint32>("value");

        QTest::newRow("MODE2") << QByteArray("MODE2") << true << 2;
        QTest::newRow("bare number") << QByteArray("3") << true << 3;
        QTest::newRow("blank after word") << QByteArray("MODE 1") << true << 1;
        QTest::newRow("word twice") << QByteArray("MODE1MODE") << true << 1;
        QTest::newRow("lower case word stays") << QByteArray("mode2") << false << 0;
        QTest::newRow("word alone") << QByteArray("MODE") << false << 0;
        QTest::newRow("letters") << QByteArray("MODEX") << false << 0;
    }

    void modeNumberRemovesTheWordMode()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(qint32, value);

        constexpr qint32 untouched = 4711;
        qint32 read = untouched;
        QCOMPARE(ModeNumber(text, &read), valid);
        QCOMPARE(read, valid ? value : untouched);
    }

    void infoQueryNamesTheStep_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QByteArray>("query");

        QTest::newRow("0") << 0 << QByteArray("AT+BTINFO?0\r");
        QTest::newRow("10") << 10 << QByteArray("AT+BTINFO?10\r");
        QTest::newRow("16") << 16 << QByteArray("AT+BTINFO?16\r");
        QTest::newRow("17 is the model query") << 17 << QByteArray("AT+BTINFO?100\r");
        QTest::newRow("18 sends nothing") << 18 << QByteArray();
        QTest::newRow("negative sends nothing") << -1 << QByteArray();
    }

    void infoQueryNamesTheStep()
    {
        QFETCH(int, step);
        QFETCH(QByteArray, query);
        QCOMPARE(InfoQuery(step), query);
    }

    void writeCommandOfEveryStep_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QByteArray>("command");

        const QList<QByteArray> commands = {
            "AT+BTNAME=ABC\r",         "AT+BTROLE=m\r",         "AT+BTADDR=0012A3B4C5D6\r",
            "AT+BTLPM,1\r",            "AT+BTLT=20\r",          "AT+BTSEC,2,1\r",
            "AT+BTKEY=1234\r",         "AT+BTMSG,1\r",          "AT+BTMODE,3\r",
            "AT+SETESC,2B\r",          "AT+SETDEBUG,05\r",      "AT+BTUART,9600,o,1\r",
            "AT+BTOPMODE,2\r",         "AT+BTDEV=7\r",          "AT+BTBUFF=128\r",
            "AT+BTFASTCH,1\r",         "AT+BTIAC=33\r",         "AT+BTCOD=001F00\r",
            "AT+BTPRO,1\r",            "AT+BTSN=SPP Dev\r",     "AT+BTCDELAY=300\r",
            "AT+BTHFC,1\r",
        };
        QCOMPARE(commands.size(), WriteStepCount);
        for (int step = 0; step < commands.size(); ++step)
            QTest::addRow("step %d", step) << step << commands[step];
        QTest::newRow("below range") << -1 << QByteArray("AT+BT\r");
        QTest::newRow("above range") << 22 << QByteArray("AT+BT\r");
    }

    void writeCommandOfEveryStep()
    {
        QFETCH(int, step);
        QFETCH(QByteArray, command);

        TParameters params;
        FillSample(params);
        QCOMPARE(WriteCommand(step, params), command);
    }

    void writeCommandMapsRoleParityAndMode_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("command");

        QTest::newRow("role 1") << 1 << 1 << QByteArray() << QByteArray("AT+BTROLE=s\r");
        QTest::newRow("role 5") << 1 << 5 << QByteArray() << QByteArray("AT+BTROLE=s\r");
        QTest::newRow("role -1") << 1 << -1 << QByteArray() << QByteArray("AT+BTROLE=s\r");
        QTest::newRow("parity Even") << 11 << 0 << QByteArray("Even") << QByteArray("AT+BTUART,9600,e,1\r");
        QTest::newRow("parity None") << 11 << 0 << QByteArray("None") << QByteArray("AT+BTUART,9600,n,1\r");
        QTest::newRow("parity EVEN") << 11 << 0 << QByteArray("EVEN") << QByteArray("AT+BTUART,9600,n,1\r");
        QTest::newRow("parity odd") << 11 << 0 << QByteArray("odd") << QByteArray("AT+BTUART,9600,n,1\r");
        QTest::newRow("parity empty") << 11 << 0 << QByteArray() << QByteArray("AT+BTUART,9600,n,1\r");
        QTest::newRow("mode 0 is sent as 1") << 8 << 0 << QByteArray() << QByteArray("AT+BTMODE,1\r");
        QTest::newRow("mode at the top of 32 bits") << 8 << 2147483647 << QByteArray() << QByteArray("AT+BTMODE,2147483648\r");
        QTest::newRow("negative decimal") << 4 << -5 << QByteArray() << QByteArray("AT+BTLT=-5\r");
    }

    void writeCommandMapsRoleParityAndMode()
    {
        QFETCH(int, step);
        QFETCH(qint32, number);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, command);

        TParameters params;
        FillSample(params);
        params.Bluetooth.Role = number;
        params.System.ConnectionMode = number;
        params.Bluetooth.LinkTimeout = number;
        params.Uart.ParityBit = text;
        QCOMPARE(WriteCommand(step, params), command);
    }

    // A line end inside a stored text would cut the command short and have the
    // module run the remainder as a command of its own.
    void writeCommandKeepsTextOnOneLine()
    {
        TParameters params;
        FillSample(params);
        params.Bluetooth.DeviceName = "AB\rATZ\n";
        QCOMPARE(WriteCommand(0, params), QByteArray("AT+BTNAME=ABATZ\r"));
    }

    void commandNamesListEveryWriteStep()
    {
        const QList<QByteArray> expected = {
            "AT+BTNAME", "AT+BTROLE", "AT+BTADDR",   "AT+BTLPM",    "AT+BTLT",     "AT+BTSEC",
            "AT+BTKEY",  "AT+BTMSG",  "AT+BTMODE",   "AT+SETESC",   "AT+SETDEBUG", "AT+BTUART",
            "AT+BTOPMODE", "AT+BTDEV", "AT+BTBUFF",  "AT+BTFASTCH", "AT+BTIAC",    "AT+BTCOD",
            "AT+BTPRO",  "AT+BTSN",   "AT+BTCDELAY", "AT+BTHFC",
        };
        QCOMPARE(CommandNames(), expected);

        // Each name is its command up to the first "," or "=".
        TParameters params;
        FillSample(params);
        for (int step = 0; step < WriteStepCount; ++step) {
            const QByteArray command = WriteCommand(step, params);
            const QByteArray& name = CommandNames().at(step);
            QVERIFY2(command.startsWith(name), command.constData());
            const char next = command.at(name.size());
            QVERIFY2(next == ',' || next == '=', command.constData());
        }
    }

    void storeInfoAnswerFillsBothSets_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<Changes>("changes");

        const auto ok = [](const char* name, int step, const char* answer, const Changes& changes) {
            QTest::newRow(name) << step << QByteArray(answer) << true << changes;
        };
        const auto refused = [](const char* name, int step, const char* answer) {
            QTest::newRow(name) << step << QByteArray(answer) << false << Changes{};
        };

        ok("0 name with commas kept whole", 0, "My,Dev", {{"Bluetooth.DeviceName", "My,Dev"}});
        ok("1 security", 1, "1234,1,0", {{"Security.PinCode", "1234"}, {"Security.Auth", "1"}, {"Security.Encry", "0"}});
        ok("1 three values and a comma", 1, "12 34, 2,1,", {{"Security.PinCode", "12 34"}, {"Security.Auth", "2"}, {"Security.Encry", "1"}});
        refused("1 two values and a comma", 1, "1234,1,");
        refused("1 four items", 1, "1234,1,0,0");
        refused("1 number item not a number", 1, "1234,x,0");
        refused("1 empty number item", 1, "1234,,0");
        ok("2 remote address", 2, "0012A3B4C5D6", {{"Bluetooth.RemoteBDAddr", "0012A3B4C5D6"}});
        ok("3 MODE2 is connection mode 1", 3, "MODE2", {{"System.ConnectionMode", "1"}});
        ok("3 bare number", 3, "4", {{"System.ConnectionMode", "3"}});
        refused("3 lower case word", 3, "mode2");
        refused("3 no number", 3, "MODE");
        refused("3 no predecessor", 3, "-2147483648");
        ok("4 escape 1b and debug 5", 4, "1,0,20,1b,5",
           {{"System.StatusMessage", "1"}, {"Bluetooth.PowerSave", "0"}, {"Bluetooth.LinkTimeout", "20"},
            {"System.EscapeChar", "1B"}, {"System.DebugChar", "05"}});
        refused("4 escape not hex", 4, "1,0,20,1g,5");
        refused("4 empty debug item", 4, "1,0,20,1b,");
        refused("4 link timeout not a number", 4, "1,0,x,1b,5");
        refused("4 six items", 4, "1,0,20,1b,5,6");
        ok("5 parity e", 5, "9600,8,e,1", {{"Uart.BaudRate", "9600"}, {"Uart.ParityBit", "Even"}, {"Uart.StopBit", "1"}});
        ok("5 parity E", 5, "19200,8,E,2", {{"Uart.BaudRate", "19200"}, {"Uart.ParityBit", "Even"}, {"Uart.StopBit", "2"}});
        ok("5 parity EVEN", 5, "9600,8,EVEN,1", {{"Uart.BaudRate", "9600"}, {"Uart.ParityBit", "None"}, {"Uart.StopBit", "1"}});
        ok("5 parity o", 5, "9600,x,o,1", {{"Uart.BaudRate", "9600"}, {"Uart.ParityBit", "Odd"}, {"Uart.StopBit", "1"}});
        ok("5 parity N", 5, "9600,8,N,1", {{"Uart.BaudRate", "9600"}, {"Uart.ParityBit", "None"}, {"Uart.StopBit", "1"}});
        refused("5 three items", 5, "9600,8,e");
        ok("6 master", 6, "master,MODE0", {{"Bluetooth.Role", "0"}, {"MultiComm.OperationMode", "0"}});
        ok("6 SLAVE,MODE2", 6, "SLAVE,MODE2", {{"Bluetooth.Role", "1"}, {"MultiComm.OperationMode", "2"}});
        ok("6 other word is slave", 6, "relay,MODE1", {{"Bluetooth.Role", "1"}, {"MultiComm.OperationMode", "1"}});
        refused("6 mode not a number", 6, "MASTER,mode1");
        refused("6 one item", 6, "MASTER");
        ok("7 devices and buffer", 7, "7,128", {{"MultiComm.NumberOfDevice", "7"}, {"MultiComm.RxBufferSize", "128"}});
        refused("7 buffer not a number", 7, "7,big");
        refused("7 three items", 7, "7,128,1");
        ok("8 local address", 8, "0012A3B4C5D7", {{"Local.LocalBDAddr", "0012A3B4C5D7"}});
        ok("9 version with commas", 9, "V1.2,build 3", {{"Local.SWVersion", "V1.2,build 3"}});
        ok("10 version", 10, "2.0", {{"Local.BTSpec", "2.0"}});
        ok("11 access code and class", 11, "9e8b33,001F00",
           {{"Bluetooth.InquiryAccessCodeFirst", "9e8b"}, {"Bluetooth.InquiryAccessCodeSecond", "33"}, {"Bluetooth.ClassOfDevice", "001F00"}});
        ok("11 long access code cut", 11, "9E8B3344,1F",
           {{"Bluetooth.InquiryAccessCodeFirst", "9E8B"}, {"Bluetooth.InquiryAccessCodeSecond", "33"}, {"Bluetooth.ClassOfDevice", "1F"}});
        refused("11 short access code", 11, "9E8B3,001F00");
        refused("11 empty access code", 11, ",001F00");
        refused("11 one item", 11, "9E8B33");
        ok("12 flow control", 12, "1", {{"Uart.HWFlowControl", "1"}});
        refused("12 not a number", 12, "ON");
        ok("13 delay", 13, "123456", {{"System.ConnectionDelayTime", "123456"}});
        refused("13 beyond 32 bits", 13, "99999999999");
        ok("14 profile", 14, "1", {{"Bluetooth.SupportProfile", "1"}});
        refused("14 not a number", 14, "DUN");
        ok("15 service name with commas", 15, "SPP,Dev", {{"Bluetooth.ServiceName", "SPP,Dev"}});
        ok("16 fast switching", 16, "1", {{"System.StreamSwitchingFast", "1"}});
        refused("16 not a number", 16, "ERROR");
        ok("17 ERROR is a model name", 17, "ERROR", {{"Local.ModelName", "ERROR"}});
        ok("17 model", 17, "QN7101", {{"Local.ModelName", "QN7101"}});
        refused("18 no such step", 18, "1");
        refused("-1 no such step", -1, "1");
    }

    void storeInfoAnswerFillsBothSets()
    {
        QFETCH(int, step);
        QFETCH(QByteArray, answer);
        QFETCH(bool, accepted);
        QFETCH(Changes, changes);

        TParameters readParams;
        TParameters editParams;
        FillAll(readParams, "r-", 100);
        FillAll(editParams, "e-", 200);
        FieldTexts expectedRead = AllFields(readParams);
        FieldTexts expectedEdit = AllFields(editParams);
        for (const auto& [field, value] : changes) {
            QVERIFY2(expectedRead.contains(field), field.constData());
            expectedRead[field] = value;
            expectedEdit[field] = value;
        }

        QCOMPARE(StoreInfoAnswer(step, answer, readParams, editParams), accepted);
        QCOMPARE(AllFields(readParams), expectedRead);
        QCOMPARE(AllFields(editParams), expectedEdit);
    }
};

QTEST_GUILESS_MAIN(TestAtProtocol)
#include "tst_atprotocol.moc"
