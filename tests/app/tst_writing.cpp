// SPDX-License-Identifier: GPL-3.0-or-later
// WRITE and INIT against a virtual module: what is sent and what the module keeps.
#include "Session.h"

#include "AtProtocol.h"
#include "BluetoothUnit.h"
#include "SearchDevicesFormUnit.h"

#include <QPushButton>
#include <QTreeWidget>

namespace {

QStringList WriteCommandsReceived(const radiosim::VirtualModule& module)
{
    QStringList commands;
    for (const std::string& command : module.receivedCommands())
        if (command.rfind("AT+BTINFO?", 0) != 0 && command.rfind('<', 0) != 0)
            commands << QString::fromStdString(command);
    return commands;
}

// Runs WRITE with the given answer to the question.
void Write(TSession& s, const QString& answer = QStringLiteral("WRITE PARAMETERS"))
{
    PressInNextModal(answer);
    s.Form->BtnWrite->click();
}

} // namespace

class TestWriting : public QObject
{
    Q_OBJECT

private slots:
    void fullWriteSendsTheModuleTypesSequenceAndTheModuleKeepsTheEdits_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("lastStep");
        // The sequences of the other module types are the exchange's (tst_exchange).
        QTest::newRow("current") << int(radiosim::ModuleType::Current) << 21;
    }

    void fullWriteSendsTheModuleTypesSequenceAndTheModuleKeepsTheEdits()
    {
        QFETCH(int, type);
        QFETCH(int, lastStep);
        radiosim::Options options;
        options.type = static_cast<radiosim::ModuleType>(type);
        TSession s(options);
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        s.Module.clearTranscript();

        s.Form->EditParams.Bluetooth.DeviceName = "BENCH-07";
        s.Form->EditParams.Security.PinCode = "9876";
        s.Form->EditParams.Bluetooth.LinkTimeout = 42;
        s.Form->EditParams.Uart.BaudRate = "115200";
        s.Form->EditParams.Uart.ParityBit = "Even";
        s.Form->EditParams.MultiComm.RxBufferSize = 300;

        QStringList expected;
        for (int step = 0; step <= lastStep; ++step)
            expected << QString::fromLatin1(WriteCommand(step, s.Form->EditParams)).chopped(1);
        expected << QStringLiteral("ATZ");

        Write(s);
        QTRY_VERIFY_WITH_TIMEOUT(!s.Form->MainComPort.Connected(), 15000);
        QVERIFY(s.Form->BtnOpen->isEnabled());
        QVERIFY(s.Form->isEnabled());
        QCOMPARE(WriteCommandsReceived(s.Module), expected);

        const auto settings = s.Module.settings();
        QCOMPARE(settings.at("DeviceName"), std::string("BENCH-07"));
        QCOMPARE(settings.at("PinCode"), std::string("9876"));
        QCOMPARE(settings.at("LinkTimeout"), std::string("42"));
        QCOMPARE(settings.at("BaudRate"), std::string("115200"));
        QCOMPARE(settings.at("ParityBit"), std::string("E"));
        QCOMPARE(settings.at("RxBufferSize"), std::string("300"));

        // A new connection reads back what was written.
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        QCOMPARE(s.Form->ReadParams.Bluetooth.DeviceName, QByteArray("BENCH-07"));
        QCOMPARE(s.Form->ReadParams.Uart.ParityBit, QByteArray("Even"));
    }

    void returnToReadRestoresTheReadValuesAndSendsNothing()
    {
        TSession s;
        QVERIFY(s.OpenAndIdentify());
        QVERIFY(s.Read());
        const QByteArray readName = s.Form->ReadParams.Bluetooth.DeviceName;
        s.Form->EditParams.Bluetooth.DeviceName = "EDITED";
        s.Form->EditParams.Bluetooth.ServiceName = "KEPT";
        s.Module.clearTranscript();
        Write(s, QStringLiteral("RETURN TO READ"));
        QCOMPARE(s.Form->EditParams.Bluetooth.DeviceName, readName);
        QCOMPARE(s.Form->EditParams.Bluetooth.ServiceName, QByteArray("KEPT"));
        QTest::qWait(100);
        QVERIFY(s.Module.receivedBytes().empty());
        QVERIFY(s.Form->MainComPort.Connected());
    }

    void initRightAfterTheHandshakeRestoresFactorySettingsWithoutRestart()
    {
        TSession s;
        s.Module.setSetting("DeviceName", "NOTFACTORY");
        QVERIFY(s.OpenAndIdentify());
        s.Module.clearTranscript();
        PressInNextModal(QStringLiteral("INIT DEVICE"));
        s.Form->BtnInit->click();
        QTRY_VERIFY_WITH_TIMEOUT(!s.Form->MainComPort.Connected(), 5000);
        QCOMPARE(s.Module.receivedBytes(), std::string("AT&F\r"));
        QVERIFY(s.Module.settings().at("DeviceName") != "NOTFACTORY");
        QVERIFY(s.Form->BtnOpen->isEnabled());
    }
};

QTEST_MAIN(TestWriting)
#include "tst_writing.moc"
