// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual module's answers, driven over its pseudo-terminal as RadioSet drives it.

#include "SimClient.h"
#include "VirtualModule.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

using radiosim::ModuleType;
using radiosim::Options;
using radiosim::VirtualModule;

Q_DECLARE_METATYPE(radiosim::ModuleType)

namespace {

// A started module with a connected, woken client.
struct Session {
    explicit Session(Options options = {}, bool wake = true)
        : sim(std::move(options))
    {
        started = sim.start();
        client = std::make_unique<SimClient>(sim.devicePath());
        if (wake) {
            client->send(QByteArrayLiteral("\r\x1E"));
            woken = client->answer() == "OK";
        }
    }
    VirtualModule sim;
    std::unique_ptr<SimClient> client;
    bool started = false;
    bool woken = false;
};

Options OfType(ModuleType type)
{
    Options o;
    o.type = type;
    return o;
}

std::map<std::string, std::string> FactorySettings(const Options& o = {})
{
    return VirtualModule(o).settings();
}

}  // namespace

class TestSimProtocol : public QObject {
    Q_OBJECT

private slots:
    void wakeUp_data();
    void wakeUp();
    void infoQueryAnswer_data();
    void infoQueryAnswer();
    void writeCommand_data();
    void writeCommand();
    void legacyModuleRefusesWhatItLacks_data();
    void legacyModuleRefusesWhatItLacks();
    void modelQueryAnswersErrorWithoutModelName();
    void factorySettingsRestoredByAtF();
    void restartReturnsToDataModeAndTakesNewDebugChar();
    void searchListsDevicesPacedThenOk();
    void searchRefusedInSlaveRole();
    void restartCutsSearchShort();
    void profileChangeSwitchesServiceName();
    void toolCanCloseAndReopenLine();
    void linkStateFileAndTranscriptFile();
};

void TestSimProtocol::wakeUp_data()
{
    QTest::addColumn<bool>("errorOnWrong");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QList<QByteArray>>("answers");

    QTest::newRow("lone CR ignored") << false << QByteArray("\r") << QList<QByteArray>{"OK"};
    QTest::newRow("wrong char unanswered") << false << QByteArray("\r\x1F") << QList<QByteArray>{"OK"};
    QTest::newRow("command in data mode ignored") << false << QByteArray("AT+BTINFO?0\r") << QList<QByteArray>{"OK"};
    QTest::newRow("wrong char ERROR by option") << true << QByteArray("\r\x1F") << QList<QByteArray>{"ERROR", "OK"};
}

void TestSimProtocol::wakeUp()
{
    QFETCH(bool, errorOnWrong);
    QFETCH(QByteArray, before);
    QFETCH(QList<QByteArray>, answers);
    Options o;
    o.errorOnWrongDebugChar = errorOnWrong;
    Session s(o, false);
    QVERIFY(s.started);
    QVERIFY(!s.sim.inConfigurationMode());

    s.client->send(before);
    s.client->send(QByteArrayLiteral("\x1E"));
    QByteArray framed;
    for (const QByteArray& expected : answers) {
        QCOMPARE(s.client->answer(), expected);
        framed += "\r\n" + expected + "\r\n";
    }
    QCOMPARE(SentBytes(s.sim), framed);  // nothing else was said
    QVERIFY(s.sim.inConfigurationMode());
    QCOMPARE(s.sim.receivedCommands(), std::vector<std::string>{"<1E>"});
    QCOMPARE(QByteArray::fromStdString(s.sim.receivedBytes()), before + "\x1E");
}

void TestSimProtocol::infoQueryAnswer_data()
{
    QTest::addColumn<ModuleType>("type");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("items");

    // Factory answers of a current module; item counts of the list answers.
    const struct {
        int query;
        const char* answer;
        int items;
    } current[] = {
        {0, "RADIOSIM", 0}, {1, "1234,1,0", 3}, {2, "000000000000", 0}, {3, "MODE1", 0},
        {4, "1,0,20,1B,1E", 5}, {5, "9600,8,N,1", 4}, {6, "SLAVE,MODE0", 2}, {7, "1,128", 2},
        {8, "00A0C1D2E3F4", 0}, {9, "SIM-1.06", 0}, {10, "2.1", 0}, {11, "9E8B33,001F00", 2},
        {12, "0", 0}, {13, "1000", 0}, {14, "0", 0}, {15, "SERIAL PORT", 0}, {16, "0", 0},
        {100, "QN7201", 0},
    };
    const struct {
        ModuleType type;
        const char* name;
    } types[] = {{ModuleType::Current, "current"},
                 {ModuleType::LegacyFastSwitch, "legacy fast"},
                 {ModuleType::Legacy, "legacy"}};
    for (const auto& t : types) {
        for (const auto& row : current) {
            QByteArray expected = row.answer;
            const bool legacy = t.type != ModuleType::Current;
            if (legacy && row.query >= 11 && row.query <= 15)
                expected = "ERROR";
            if (row.query == 10 && t.type == ModuleType::LegacyFastSwitch)
                expected = "2.0";
            if ((row.query == 10 || row.query == 16) && t.type == ModuleType::Legacy)
                expected = "ERROR";
            QTest::addRow("%s ?%d", t.name, row.query)
                << t.type << "AT+BTINFO?" + QByteArray::number(row.query) << expected
                << (expected == "ERROR" ? 0 : row.items);
        }
        QTest::addRow("%s ?17 unknown", t.name) << t.type << QByteArray("AT+BTINFO?17") << QByteArray("ERROR") << 0;
        QTest::addRow("%s ?010 malformed", t.name) << t.type << QByteArray("AT+BTINFO?010") << QByteArray("ERROR") << 0;
    }
}

void TestSimProtocol::infoQueryAnswer()
{
    QFETCH(ModuleType, type);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, expected);
    QFETCH(int, items);
    Session s(OfType(type));
    QVERIFY(s.woken);

    const QByteArray answer = s.client->command(query);
    QCOMPARE(answer, expected);
    if (items > 0)
        QCOMPARE(answer.split(',').size(), items);
}

void TestSimProtocol::writeCommand_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("stored");

    const auto ok = [](const char* command, const char* setting, const char* stored) {
        QTest::addRow("%s", command) << QByteArray(command) << true << QString::fromLatin1(setting)
                                     << QString::fromLatin1(stored);
    };
    const auto refused = [](const char* command, const char* setting) {
        QTest::addRow("refused %s", command) << QByteArray(command) << false << QString::fromLatin1(setting)
                                             << QString();
    };
    ok("AT+BTNAME=ABC", "DeviceName", "ABC");
    ok("AT+BTNAME=TWELVE CHARS", "DeviceName", "TWELVE CHARS");
    refused("AT+BTNAME=", "DeviceName");
    refused("AT+BTNAME=THIRTEEN CHAR", "DeviceName");
    ok("AT+BTROLE=m", "Role", "MASTER");
    ok("AT+BTROLE=M", "Role", "MASTER");
    refused("AT+BTROLE=x", "Role");
    refused("AT+BTROLE=ms", "Role");
    ok("AT+BTADDR=0012ab34CD56", "RemoteBDAddr", "0012AB34CD56");
    refused("AT+BTADDR=0012AB34CD5", "RemoteBDAddr");
    refused("AT+BTADDR=0012AB34CD567", "RemoteBDAddr");
    refused("AT+BTADDR=0012AB34CD5G", "RemoteBDAddr");
    ok("AT+BTLPM,1", "PowerSave", "1");
    refused("AT+BTLPM,2", "PowerSave");
    refused("AT+BTLPM,", "PowerSave");
    ok("AT+BTLT=99", "LinkTimeout", "99");
    ok("AT+BTLT=0", "LinkTimeout", "0");
    refused("AT+BTLT=100", "LinkTimeout");
    refused("AT+BTLT=-1", "LinkTimeout");
    refused("AT+BTLT=5x", "LinkTimeout");
    ok("AT+BTSEC,2,0", "Auth", "2");
    ok("AT+BTSEC,0,1", "Encry", "1");
    refused("AT+BTSEC,3,0", "Auth");
    refused("AT+BTSEC,1,2", "Encry");
    refused("AT+BTSEC,0", "Auth");
    refused("AT+BTSEC,0,1,0", "Encry");
    ok("AT+BTKEY=000000000000", "PinCode", "000000000000");
    refused("AT+BTKEY=", "PinCode");
    refused("AT+BTKEY=0000000000000", "PinCode");
    refused("AT+BTKEY=12,34", "PinCode");
    ok("AT+BTMSG,0", "StatusMessage", "0");
    refused("AT+BTMSG,2", "StatusMessage");
    ok("AT+BTMODE,4", "ConnectionMode", "MODE4");
    refused("AT+BTMODE,0", "ConnectionMode");
    refused("AT+BTMODE,5", "ConnectionMode");
    ok("AT+SETESC,2b", "EscapeChar", "2B");
    ok("AT+SETESC,0000000000FF", "EscapeChar", "FF");
    ok("AT+SETESC,5", "EscapeChar", "05");
    refused("AT+SETESC,100", "EscapeChar");
    refused("AT+SETESC,G1", "EscapeChar");
    refused("AT+SETESC,", "EscapeChar");
    refused("AT+SETESC,00000000000FF", "EscapeChar");
    ok("AT+SETDEBUG,41", "DebugChar", "41");
    refused("AT+SETDEBUG,1FF", "DebugChar");
    ok("AT+BTUART,115200,e,2", "BaudRate", "115200");
    ok("AT+BTUART,1200,O,1", "ParityBit", "O");
    ok("AT+BTUART,230400,n,2", "StopBit", "2");
    refused("AT+BTUART,9601,n,1", "BaudRate");
    refused("AT+BTUART,600,n,1", "BaudRate");
    refused("AT+BTUART,9600,x,1", "ParityBit");
    refused("AT+BTUART,9600,n,3", "StopBit");
    refused("AT+BTUART,19200,n", "BaudRate");
    ok("AT+BTOPMODE,2", "OperationMode", "MODE2");
    refused("AT+BTOPMODE,3", "OperationMode");
    ok("AT+BTDEV=7", "NumberOfDevice", "7");
    refused("AT+BTDEV=0", "NumberOfDevice");
    refused("AT+BTDEV=8", "NumberOfDevice");
    ok("AT+BTBUFF=999", "RxBufferSize", "999");
    ok("AT+BTBUFF=0", "RxBufferSize", "0");
    refused("AT+BTBUFF=1000", "RxBufferSize");
    ok("AT+BTFASTCH,1", "StreamSwitchingFast", "1");
    refused("AT+BTFASTCH,2", "StreamSwitchingFast");
    ok("AT+BTIAC=3f", "InquiryAccessCode", "9E8B3F");
    ok("AT+BTIAC=0", "InquiryAccessCode", "9E8B00");
    refused("AT+BTIAC=40", "InquiryAccessCode");
    refused("AT+BTIAC=012", "InquiryAccessCode");
    ok("AT+BTCOD=5a020c", "ClassOfDevice", "5A020C");
    ok("AT+BTCOD=1", "ClassOfDevice", "000001");
    refused("AT+BTCOD=1234567", "ClassOfDevice");
    refused("AT+BTCOD=", "ClassOfDevice");
    ok("AT+BTPRO,1", "SupportProfile", "1");
    refused("AT+BTPRO,2", "SupportProfile");
    ok("AT+BTSN=MY SERVICE, TWENTY", "ServiceName", "MY SERVICE, TWENTY");
    refused("AT+BTSN=TWENTY ONE CHARACTERS", "ServiceName");
    refused("AT+BTSN=", "ServiceName");
    ok("AT+BTCDELAY=999999", "ConnectionDelayTime", "999999");
    refused("AT+BTCDELAY=1000000", "ConnectionDelayTime");
    ok("AT+BTHFC,1", "HWFlowControl", "1");
    refused("AT+BTHFC,2", "HWFlowControl");
    refused("AT+BTFOO=1", "DeviceName");
}

void TestSimProtocol::writeCommand()
{
    QFETCH(QByteArray, command);
    QFETCH(bool, accepted);
    QFETCH(QString, setting);
    QFETCH(QString, stored);
    Session s;
    QVERIFY(s.woken);
    const std::string key = setting.toStdString();
    const std::string factory = FactorySettings().at(key);

    QCOMPARE(s.client->command(command), accepted ? QByteArray("OK") : QByteArray("ERROR"));
    QCOMPARE(s.sim.settings().at(key), accepted ? stored.toStdString() : factory);
}

void TestSimProtocol::legacyModuleRefusesWhatItLacks_data()
{
    QTest::addColumn<ModuleType>("type");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("expected");

    const char* const currentOnly[] = {"AT+BTIAC=00", "AT+BTCOD=001F00", "AT+BTPRO,1",
                                       "AT+BTSN=X", "AT+BTCDELAY=5", "AT+BTHFC,1"};
    for (const ModuleType type : {ModuleType::Legacy, ModuleType::LegacyFastSwitch}) {
        const char* name = type == ModuleType::Legacy ? "legacy" : "legacy fast";
        for (const char* command : currentOnly)
            QTest::addRow("%s %s", name, command) << type << QByteArray(command) << QByteArray("ERROR");
        QTest::addRow("%s SSP", name) << type << QByteArray("AT+BTSEC,2,0") << QByteArray("ERROR");
        QTest::addRow("%s PIN auth", name) << type << QByteArray("AT+BTSEC,1,1") << QByteArray("OK");
        QTest::addRow("%s buffer", name) << type << QByteArray("AT+BTBUFF=5") << QByteArray("OK");
    }
    QTest::newRow("legacy fast switching") << ModuleType::Legacy << QByteArray("AT+BTFASTCH,1") << QByteArray("ERROR");
    QTest::newRow("legacy fast fast switching")
        << ModuleType::LegacyFastSwitch << QByteArray("AT+BTFASTCH,1") << QByteArray("OK");
}

void TestSimProtocol::legacyModuleRefusesWhatItLacks()
{
    QFETCH(ModuleType, type);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, expected);
    Session s(OfType(type));
    QVERIFY(s.woken);
    const auto before = s.sim.settings();

    QCOMPARE(s.client->command(command), expected);
    QCOMPARE(s.sim.settings() == before, expected == "ERROR");
}

void TestSimProtocol::modelQueryAnswersErrorWithoutModelName()
{
    Options o;
    o.modelUnknown = true;
    Session s(o);
    QVERIFY(s.woken);
    QCOMPARE(s.client->command("AT+BTINFO?100"), QByteArray("ERROR"));
}

void TestSimProtocol::factorySettingsRestoredByAtF()
{
    Session s;
    QVERIFY(s.woken);
    for (const char* command : {"AT+BTNAME=CHANGED", "AT+BTROLE=m", "AT+SETDEBUG,41", "AT+BTPRO,1", "AT+BTUART,2400,e,2"})
        QCOMPARE(s.client->command(command), QByteArray("OK"));
    QVERIFY(s.sim.settings() != FactorySettings());

    QCOMPARE(s.client->command("AT&F"), QByteArray("OK"));
    QCOMPARE(s.sim.settings(), FactorySettings());
    QCOMPARE(s.client->command("AT+BTINFO?0"), QByteArray("RADIOSIM"));
    QVERIFY(s.sim.inConfigurationMode());
}

void TestSimProtocol::restartReturnsToDataModeAndTakesNewDebugChar()
{
    Session s;
    QVERIFY(s.woken);
    QCOMPARE(s.client->command("AT+SETDEBUG,5"), QByteArray("OK"));
    QCOMPARE(s.client->command("AT+BTINFO?4"), QByteArray("1,0,20,1B,05"));
    s.client->send(QByteArrayLiteral("\x1E"));  // the old character still works until the restart
    QCOMPARE(s.client->answer(), QByteArray("OK"));
    s.sim.clearTranscript();

    s.client->send(QByteArrayLiteral("ATZ\r"));
    QVERIFY(s.sim.waitForCommandCount(1, 5000));
    QVERIFY(!s.sim.inConfigurationMode());
    s.client->send(QByteArrayLiteral("\r\x1E" "AT+BTINFO?0\r\x05"));
    QCOMPARE(s.client->answer(), QByteArray("OK"));
    QCOMPARE(SentBytes(s.sim), QByteArray("\r\nOK\r\n"));  // ATZ, the old character and the query got nothing
    QCOMPARE(s.sim.receivedCommands(), (std::vector<std::string>{"ATZ", "<05>"}));
    QVERIFY(s.sim.inConfigurationMode());
}

void TestSimProtocol::searchListsDevicesPacedThenOk()
{
    Options o;
    o.inquiryPaceMs = 150;
    o.devices = {{"0011223344AA", "", "001F00"}, {"0011223344BB", "NAME, WITH COMMA", "5A020C"}};
    Session s(o);
    QVERIFY(s.woken);
    QCOMPARE(s.client->command("AT+BTROLE=m"), QByteArray("OK"));

    QElapsedTimer clock;
    clock.start();
    s.client->send(QByteArrayLiteral("AT+BTINQ?\r"));
    const QList<QByteArray> expected{"OK", "0011223344AA,,001F00", "0011223344BB,NAME, WITH COMMA,5A020C", "OK"};
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(s.client->answer(), expected[i]);
        QVERIFY2(clock.elapsed() >= i * o.inquiryPaceMs, qPrintable(QStringLiteral("answer %1 too early").arg(i)));
    }
}

void TestSimProtocol::searchRefusedInSlaveRole()
{
    Session s;
    QVERIFY(s.woken);
    QCOMPARE(s.client->command("AT+BTINQ?"), QByteArray("ERROR"));
    QCOMPARE(s.client->command("AT+BTINFO?0"), QByteArray("RADIOSIM"));  // nothing else follows the refusal
}

void TestSimProtocol::restartCutsSearchShort()
{
    Session s;
    QVERIFY(s.woken);
    s.sim.setSetting("Role", "MASTER");
    QCOMPARE(s.client->command("AT+BTINQ?"), QByteArray("OK"));
    s.client->send(QByteArrayLiteral("ATZ\r\x1E"));
    QCOMPARE(s.client->answer(), QByteArray("OK"));
    QCOMPARE(s.client->command("AT+BTINFO?6"), QByteArray("MASTER,MODE0"));
}

void TestSimProtocol::profileChangeSwitchesServiceName()
{
    Session s;
    QVERIFY(s.woken);
    QCOMPARE(s.client->command("AT+BTPRO,1"), QByteArray("OK"));
    QCOMPARE(s.client->command("AT+BTINFO?15"), QByteArray("DIAL-UP NETWORKING"));
    QCOMPARE(s.client->command("AT+BTINFO?14"), QByteArray("1"));
    QCOMPARE(s.client->command("AT+BTPRO,0"), QByteArray("OK"));
    QCOMPARE(s.client->command("AT+BTINFO?15"), QByteArray("SERIAL PORT"));
}

void TestSimProtocol::toolCanCloseAndReopenLine()
{
    Session s;
    QVERIFY(s.woken);
    for (int round = 0; round < 3; ++round) {
        s.client->close();
        QTRY_VERIFY(s.sim.peerHungUp());
        s.client = std::make_unique<SimClient>(s.sim.devicePath());
        QVERIFY2(s.client->isOpen(), "exclusive reopen refused");
        QTRY_VERIFY(!s.sim.peerHungUp());
        // Still in configuration mode: the debug character is answered again.
        s.client->send(QByteArrayLiteral("\r\x1E"));
        QCOMPARE(s.client->answer(), QByteArray("OK"));
        QCOMPARE(s.client->command("AT+BTINFO?3"), QByteArray("MODE1"));
    }
    s.client->send(QByteArrayLiteral("ATZ\r"));
    QVERIFY(s.sim.waitForCommandCount(8, 5000));
    s.client->close();
    s.client = std::make_unique<SimClient>(s.sim.devicePath());
    s.client->send(QByteArrayLiteral("\r\x1E"));
    QCOMPARE(s.client->answer(), QByteArray("OK"));
}

void TestSimProtocol::linkStateFileAndTranscriptFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Options o;
    o.linkPath = dir.filePath(QStringLiteral("module")).toStdString();
    o.stateFile = dir.filePath(QStringLiteral("state")).toStdString();
    o.transcriptPath = dir.filePath(QStringLiteral("transcript")).toStdString();
    {
        VirtualModule sim(o);
        QVERIFY(sim.start());
        char target[256] = {};
        QVERIFY(::readlink(o.linkPath.c_str(), target, sizeof target - 1) > 0);
        QCOMPARE(std::string(target), sim.devicePath());

        SimClient client(o.linkPath);
        QVERIFY(client.isOpen());
        client.send(QByteArrayLiteral("\x1E"));
        QCOMPARE(client.answer(), QByteArray("OK"));
        QCOMPARE(client.command("AT+BTNAME=FROMFILE"), QByteArray("OK"));

        QFile state(QString::fromStdString(o.stateFile));
        QVERIFY(state.open(QIODevice::ReadOnly));
        const QByteArray lines = state.readAll();
        QVERIFY(lines.contains("\nDeviceName=FROMFILE\n"));
        QVERIFY(lines.contains("\nDebugChar=1E\n"));
    }
    QVERIFY(::access(o.linkPath.c_str(), F_OK) != 0);  // removed with the module

    QFile transcript(QString::fromStdString(o.transcriptPath));
    QVERIFY(transcript.open(QIODevice::ReadOnly));
    const QByteArray log = transcript.readAll();
    const qsizetype command = log.indexOf("tool> AT+BTNAME=FROMFILE<0D>");
    QVERIFY(log.indexOf("tool> <1E>") >= 0);
    QVERIFY(command > 0);
    QVERIFY(log.indexOf("<sim  <0D><0A>OK<0D><0A>", command) > command);
}

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "tst_simprotocol.moc"
