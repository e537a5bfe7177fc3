// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port component on a fake device: settings, opening, failures, reports.
#include "CPort.h"
#include "PortReports.h"
#include "FakeSerialDevice.h"
#include "SerialQueueUnit.h"

#include <QTest>
#include <QThread>

#include <cerrno>

namespace {

struct FakePort {
    FakePort()
    {
        auto owned = std::make_unique<FakeSerialDevice>();
        device = owned.get();
        port = std::make_unique<TComPort>(std::move(owned));
    }
    FakeSerialDevice* device = nullptr;
    std::unique_ptr<TComPort> port;
};

} // namespace

class TestComPort : public QObject
{
    Q_OBJECT

private slots:
    void creationValues()
    {
        TComPort port(std::make_unique<FakeSerialDevice>());
        QCOMPARE(port.Port(), QStringLiteral("COM1"));
        QCOMPARE(port.BaudRate(), br9600);
        QCOMPARE(port.CustomBaudRate(), 9600);
        QCOMPARE(port.DataBits(), dbEight);
        QCOMPARE(port.StopBits(), sbOneStopBit);
        QVERIFY(port.Parity() == TComParity {});
        QCOMPARE(port.Parity().Bits, prNone);
        QCOMPARE(port.FlowControl().ControlDTR, dtrDisable);
        QCOMPARE(port.FlowControl().ControlRTS, rtsDisable);
        QCOMPARE(port.FlowControl().XonChar, quint8(17));
        QCOMPARE(port.FlowControl().XoffChar, quint8(19));
        QCOMPARE(port.Timeouts().ReadInterval, -1);
        QCOMPARE(port.Timeouts().WriteTotalMultiplier, 100);
        QCOMPARE(port.Timeouts().WriteTotalConstant, 1000);
        QCOMPARE(port.Buffer().InputSize, 1024);
        QCOMPARE(port.Buffer().OutputSize, 1024);
        QVERIFY(port.Events() == TComEvents::All());
        QCOMPARE(port.SyncMethod(), smThreadSync);
        QVERIFY(!port.DiscardNull());
        QCOMPARE(port.EventChar(), quint8(0));
        QVERIFY(!port.Connected());
    }

    void lineSettingsHandedToThePlatform_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("custom");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("expectedDataBits");
        QTest::addColumn<int>("expectedStop");
        QTest::addColumn<int>("expectedParity");

        QTest::newRow("defaults") << int(br9600) << 9600 << int(dbEight) << int(sbOneStopBit) << int(prNone)
                                  << 9600 << 8 << 0 << 0;
        QTest::newRow("custom 230400") << int(brCustom) << 230400 << int(dbEight) << int(sbOneStopBit) << int(prNone)
                                       << 230400 << 8 << 0 << 0;
        QTest::newRow("custom ignored by a standard rate") << int(br115200) << 230400 << int(dbEight)
                                                           << int(sbOneStopBit) << int(prNone) << 115200 << 8 << 0 << 0;
        QTest::newRow("14400 odd 1.5") << int(br14400) << 9600 << int(dbSeven) << int(sbOne5StopBits) << int(prOdd)
                                       << 14400 << 7 << 1 << 1;
        QTest::newRow("256000 even two") << int(br256000) << 9600 << int(dbSix) << int(sbTwoStopBits) << int(prEven)
                                         << 256000 << 6 << 2 << 2;
        QTest::newRow("110 mark five bits") << int(br110) << 9600 << int(dbFive) << int(sbOneStopBit) << int(prMark)
                                            << 110 << 5 << 0 << 3;
        QTest::newRow("1200 space") << int(br1200) << 9600 << int(dbEight) << int(sbOneStopBit) << int(prSpace)
                                    << 1200 << 8 << 0 << 4;
    }

    void lineSettingsHandedToThePlatform()
    {
        QFETCH(int, rate);
        QFETCH(int, custom);
        QFETCH(int, dataBits);
        QFETCH(int, stopBits);
        QFETCH(int, parity);
        FakePort f;
        f.port->SetBaudRate(TBaudRate(rate));
        f.port->SetCustomBaudRate(custom);
        f.port->SetDataBits(TDataBits(dataBits));
        f.port->SetStopBits(TStopBits(stopBits));
        f.port->SetParityBits(TParityBits(parity));
        QVERIFY(f.device->Lines().isEmpty()); // nothing reaches a closed port
        f.port->Open();

        const QList<SerialLineSettings> lines = f.device->Lines();
        QCOMPARE(lines.size(), 1);
        const SerialLineSettings& line = lines.first();
        QTEST(int(line.Speed), "speed");
        QTEST(line.DataBits, "expectedDataBits");
        QTEST(line.StopBits, "expectedStop");
        QTEST(line.Parity, "expectedParity");
        // What the program always asks for: binary, no handshake of any kind,
        // DTR and RTS inactive, no checking.
        QVERIFY(line.Binary);
        QVERIFY(!line.ParityCheck);
        QVERIFY(!line.OutCtsFlow && !line.OutDsrFlow && !line.XonXoffIn && !line.XonXoffOut);
        QCOMPARE(line.DtrControl, 0);
        QCOMPARE(line.RtsControl, 0);
        QCOMPARE(line.XonLimit, 256);
        QCOMPARE(line.XoffLimit, 256);
        QCOMPARE(line.XonChar, quint8(17));
        QCOMPARE(line.XoffChar, quint8(19));
    }

    void openAppliesSettingsInOrderThenWatchesEvents()
    {
        FakePort f;
        f.port->SetPort(QStringLiteral("ttyUSB3"));
        f.port->Open();
        QVERIFY(f.port->Connected());
        QTRY_VERIFY(f.device->Calls().size() >= 5);
        const QStringList expected = { QStringLiteral("Open ttyUSB3"), QStringLiteral("QueueSizes 1024 1024"),
                                       QStringLiteral("Line"), QStringLiteral("Timeouts -1 0 0 100 1000"),
                                       QStringLiteral("EventMask 5ff") };
        QCOMPARE(f.device->Calls().mid(0, 5), expected);
    }

    void openFailureLeavesPortClosed_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("deviceClosed");
        QTest::newRow("device") << QStringLiteral("open") << 1 << false;
        QTest::newRow("queue sizes") << QStringLiteral("queue") << 9 << true;
        QTest::newRow("line settings") << QStringLiteral("line") << 7 << true;
        QTest::newRow("time-outs") << QStringLiteral("timeouts") << 8 << true;
    }

    void openFailureLeavesPortClosed()
    {
        QFETCH(QString, failing);
        QFETCH(int, code);
        QFETCH(bool, deviceClosed);
        FakePort f;
        const int error = ENOENT;
        if (failing == u"open")
            f.device->OpenError = error;
        else if (failing == u"queue")
            f.device->QueueSizeError = error;
        else if (failing == u"line")
            f.device->LineError = error;
        else
            f.device->TimeoutsError = error;

        try {
            f.port->Open();
            QFAIL("Open did not fail");
        } catch (const EComPort& e) {
            QCOMPARE(e.Code(), code);
            QCOMPARE(e.PlatformError(), error);
        }
        QVERIFY(!f.port->Connected());
        QVERIFY(!f.port->EventThreadRunning());
        QCOMPARE(f.device->Calls().contains(QStringLiteral("Close")), deviceClosed);
    }

    void openOnOpenPortAndCloseOnClosedPortDoNothing()
    {
        FakePort f;
        f.port->Close();
        QVERIFY(f.device->Calls().isEmpty());
        f.port->Open();
        f.port->Open();
        QCOMPARE(f.device->Calls().count(QStringLiteral("Open COM1")), 1);
        f.port->Close();
        f.port->Close();
        QCOMPARE(f.device->Calls().count(QStringLiteral("Close")), 1);
        QCOMPARE(f.device->Calls().count(QStringLiteral("Abort")), 1);
        QVERIFY(!f.port->Connected());
    }

    void settingChangedWhileOpenReachesThePlatformAtOnce()
    {
        FakePort f;
        f.port->Open();
        f.port->SetBaudRate(br9600); // same value: nothing
        QCOMPARE(f.device->Lines().size(), 1);
        f.port->SetBaudRate(br57600);
        QCOMPARE(f.device->Lines().size(), 2);
        QCOMPARE(f.device->Lines().last().Speed, 57600);
        f.port->SetCustomBaudRate(230400); // not in use while the rate is standard
        QCOMPARE(f.device->Lines().size(), 2);

        f.device->LineError = EINVAL;
        try {
            f.port->SetStopBits(sbTwoStopBits);
            QFAIL("a refused line setting was not reported");
        } catch (const EComPort& e) {
            QCOMPARE(e.Code(), 7);
        }
    }

    void newPortNameWhileOpenReopens()
    {
        FakePort f;
        f.port->Open();
        f.port->SetPort(QStringLiteral("ttyS1"));
        QVERIFY(f.port->Connected());
        const QStringList calls = f.device->Calls();
        QVERIFY(calls.indexOf(QStringLiteral("Close")) < calls.indexOf(QStringLiteral("Open ttyS1")));
    }

    void failedPurgeStillReleasesThePortAndRaisesCode5()
    {
        FakePort f;
        f.port->Open();
        f.device->PurgeError = EBUSY;
        try {
            f.port->Close();
            QFAIL("a failed purge was not reported");
        } catch (const EComPort& e) {
            QCOMPARE(e.Code(), 5);
            QCOMPARE(e.PlatformError(), EBUSY);
        }
        QVERIFY(!f.port->Connected());
        QVERIFY(!f.port->EventThreadRunning());
        QVERIFY(f.device->Calls().contains(QStringLiteral("Close")));
    }

    void writeFailureRaisesCode2()
    {
        FakePort f;
        f.port->Open();
        QCOMPARE(f.port->WriteStr(QByteArrayLiteral("ATZ\r")), 4);
        QCOMPARE(f.device->Written(), QByteArrayLiteral("ATZ\r"));
        QCOMPARE(f.port->WriteStr(QByteArray()), 0);
        f.device->WriteError = EIO;
        try {
            f.port->WriteStr(QByteArrayLiteral("AT\r"));
            QFAIL("a failed write was not reported");
        } catch (const EComPort& e) {
            QCOMPARE(e.Code(), 2);
            QCOMPARE(e.PlatformError(), EIO);
        }
    }

    void failureMessages_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("open") << 1 << 2 << QStringLiteral("Unable to open com port (No such file or directory, errno 2)");
        QTest::newRow("write") << 2 << 5 << QStringLiteral("WriteFile function failed (Input/output error, errno 5)");
        QTest::newRow("write, no number") << 2 << -1 << QStringLiteral("WriteFile function failed");
        QTest::newRow("read") << 3 << -1 << QStringLiteral("ReadFile function failed");
        QTest::newRow("purge") << 5 << 16 << QStringLiteral("PurgeComm function failed (Device or resource busy, errno 16)");
        QTest::newRow("line") << 7 << 22 << QStringLiteral("SetCommState function failed (Invalid argument, errno 22)");
        QTest::newRow("time-outs") << 8 << -1 << QStringLiteral("SetCommTimeouts failed");
        QTest::newRow("queues") << 9 << -1 << QStringLiteral("SetupComm function failed");
        QTest::newRow("count") << 10 << 0 << QStringLiteral("ClearCommError function failed (Success, errno 0)");
    }

    void failureMessages()
    {
        QFETCH(int, code);
        QFETCH(int, error);
        QFETCH(QString, message);
        const EComPort failure(code, error);
        QCOMPARE(failure.Message(), message);
        QCOMPARE(QString::fromLocal8Bit(failure.what()), message);
    }

    void serialOpenReports_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("error");
        QTest::addColumn<qint64>("pid");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("detail");
        const QString first = QStringLiteral("COM Port Opening Failed.\r\n");
        const QString held = first + QStringLiteral("This port has already opened by other program.");
        QTest::newRow("held, named") << 1 << EBUSY << qint64(4242) << QStringLiteral("screen")
                                     << held + QStringLiteral("\r\nHeld by screen, process 4242.");
        QTest::newRow("held, name unknown") << 1 << EBUSY << qint64(77) << QString()
                                            << held + QStringLiteral("\r\nHeld by process 77.");
        QTest::newRow("locked, holder not visible") << 1 << EWOULDBLOCK << qint64(0) << QString() << held;
        QTest::newRow("line settings refused") << 7 << EINVAL << qint64(0) << QString()
                                               << first + QStringLiteral("The port does not take these line "
                                                                         "settings (speed, parity, data bits).");
        QTest::newRow("missing") << 1 << ENOENT << qint64(0) << QString()
                                 << first + QStringLiteral("This port does not exist on this computer (is the "
                                                           "adapter plugged in?).");
        QTest::newRow("other error") << 1 << EIO << qint64(0) << QString()
                                     << first + QStringLiteral("The system reported: Input/output error.");
    }

    void serialOpenReports()
    {
        QFETCH(int, code);
        QFETCH(int, error);
        QFETCH(qint64, pid);
        QFETCH(QString, name);
        const QString port = QStringLiteral("/dev/ttyUSB0");
        std::optional<TPortHolder> holder;
        if (pid > 0)
            holder = TPortHolder { pid, name };
        const TReport report = SerialOpenReport(port, error, holder, code);
        QCOMPARE(report.Title, QStringLiteral("SERIAL OPEN ERROR"));
        QTEST(report.Detail, "detail");
        QCOMPARE(report.MaintenanceLine, QStringLiteral("Check /dev/ttyUSB0 Port and Try Open Again."));
    }

    void vanishedPortReportNamesThePort()
    {
        const TReport report = PortGoneReport(QStringLiteral("/dev/serial/by-id/usb-FTDI-if00"));
        QCOMPARE(report.Title, report.Title.toUpper());
        QVERIFY(report.Detail.startsWith(QStringLiteral("COM Port /dev/serial/by-id/usb-FTDI-if00 has disappeared.")));
        QVERIFY(report.MaintenanceLine.contains(QStringLiteral("then SERIAL OPEN")));
    }

    void textConversions_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("115200") << QStringLiteral("baud") << QStringLiteral("115200") << int(br115200);
        QTest::newRow("230400 is no standard rate") << QStringLiteral("baud") << QStringLiteral("230400") << int(br9600);
        QTest::newRow("custom, any case") << QStringLiteral("baud") << QStringLiteral("cUSTOM") << int(brCustom);
        QTest::newRow("110") << QStringLiteral("baud") << QStringLiteral("110") << int(br110);
        QTest::newRow("256000") << QStringLiteral("baud") << QStringLiteral("256000") << int(br256000);
        QTest::newRow("empty baud") << QStringLiteral("baud") << QString() << int(br9600);
        QTest::newRow("1.5") << QStringLiteral("stop") << QStringLiteral("1.5") << int(sbOne5StopBits);
        QTest::newRow("2") << QStringLiteral("stop") << QStringLiteral("2") << int(sbTwoStopBits);
        QTest::newRow("3") << QStringLiteral("stop") << QStringLiteral("3") << int(sbOneStopBit);
        QTest::newRow("even") << QStringLiteral("parity") << QStringLiteral("even") << int(prEven);
        QTest::newRow("ODD") << QStringLiteral("parity") << QStringLiteral("ODD") << int(prOdd);
        QTest::newRow("Mark") << QStringLiteral("parity") << QStringLiteral("Mark") << int(prMark);
        QTest::newRow("space") << QStringLiteral("parity") << QStringLiteral("space") << int(prSpace);
        QTest::newRow("unknown parity") << QStringLiteral("parity") << QStringLiteral("E") << int(prNone);
    }

    void textConversions()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(int, value);
        if (kind == u"baud")
            QCOMPARE(int(StrToBaudRate(text)), value);
        else if (kind == u"stop")
            QCOMPARE(int(StrToStopBits(text)), value);
        else
            QCOMPARE(int(StrToParity(text)), value);
    }

    void rxCharRaisedOnThePortThreadWithTheWaitingCount()
    {
        FakePort f;
        QList<qint32> counts;
        bool offThread = false;
        f.port->OnRxChar = [&](TCustomComPort* sender, qint32 count) {
            offThread |= QThread::currentThread() != f.port->thread() || sender != f.port.get();
            counts << count;
        };
        f.port->Open();
        f.device->Receive(QByteArrayLiteral("OK"));
        QTRY_COMPARE(counts.size(), 1);
        // Bytes left waiting are counted again with the next arrival.
        f.device->Receive(QByteArrayLiteral("\r\n"));
        QTRY_COMPARE(counts.size(), 2);
        QCOMPARE(counts, (QList<qint32> { 2, 4 }));
        QVERIFY(!offThread);
    }

    void noRxCharWhenNothingIsWaiting()
    {
        FakePort f;
        int calls = 0;
        f.port->OnRxChar = [&](TCustomComPort* port, qint32 count) {
            QByteArray text;
            port->ReadStr(text, count);
            ++calls;
        };
        f.port->Open();
        f.device->Receive(QByteArrayLiteral("A"));
        QTRY_COMPARE(calls, 1);
        f.device->Receive(QByteArray()); // an event with nothing left to read
        QTRY_COMPARE(f.device->InputCountCalls(), 2);
        QCOMPARE(calls, 1);
        f.device->Receive(QByteArrayLiteral("B"));
        QTRY_COMPARE(calls, 2);
    }

    void closeWhileAHandOverIsUnderWayReturns()
    {
        FakePort f;
        int calls = 0;
        f.port->OnRxChar = [&](TCustomComPort*, qint32) { ++calls; };
        f.port->Open();
        f.device->Receive(QByteArrayLiteral("OK"));
        // The event thread has the event; the event loop is not running, so its
        // hand-over cannot be carried out by anything but Close.
        f.device->WaitUntilEventsTaken(1);
        f.port->Close();
        QVERIFY(!f.port->Connected());
        QVERIFY(!f.port->EventThreadRunning());
        QCOMPARE(calls, 1);
    }

    void closeFromInsideTheHandlerReturns()
    {
        FakePort f;
        int calls = 0;
        f.port->OnRxChar = [&](TCustomComPort* port, qint32) {
            ++calls;
            port->Close();
        };
        f.port->Open();
        f.device->Receive(QByteArrayLiteral("OK"));
        QTRY_COMPARE(calls, 1);
        QVERIFY(!f.port->Connected());
        // And the port opens again with an event thread of its own.
        f.port->Open();
        QVERIFY(f.port->Connected());
        QVERIFY(f.port->EventThreadRunning());
    }

    void reopenFromInsideTheHandlerKeepsReporting()
    {
        FakePort f;
        int calls = 0;
        f.port->OnRxChar = [&](TCustomComPort* port, qint32 count) {
            QByteArray text;
            port->ReadStr(text, count);
            if (++calls == 1) {
                port->Close();
                port->Open();
            }
        };
        f.port->Open();
        f.device->Receive(QByteArrayLiteral("A"));
        QTRY_COMPARE(calls, 1);
        QVERIFY(f.port->Connected());
        f.device->Receive(QByteArrayLiteral("B"));
        QTRY_COMPARE(calls, 2);
        f.port->Close();
        QVERIFY(!f.port->EventThreadRunning());
    }

    void failedDispatchEndsTheEventThreadButNotThePort()
    {
        FakePort f;
        int calls = 0;
        f.port->OnRxChar = [&](TCustomComPort*, qint32) {
            ++calls;
            throw EComPort(3, EIO);
        };
        f.port->Open();
        f.device->Receive(QByteArrayLiteral("A"));
        QTRY_VERIFY(!f.port->EventThreadRunning());
        QVERIFY(f.port->Connected());
        QCOMPARE(calls, 1);
        // Nothing takes the event any more.
        f.device->Receive(QByteArrayLiteral("B"));
        QCoreApplication::processEvents();
        QCOMPARE(calls, 1);
        QCOMPARE(f.device->Pending(), QByteArrayLiteral("AB"));
        f.port->Close();
        QVERIFY(!f.port->Connected());
    }

    void noEventThreadWithoutEvents()
    {
        FakePort f;
        f.port->SetEvents(TComEvents {});
        f.port->Open();
        QVERIFY(f.port->Connected());
        QVERIFY(!f.port->EventThreadRunning());
        f.port->Close();
        QVERIFY(!f.device->Calls().join(u' ').contains(QStringLiteral("EventMask")));
    }
};

QTEST_MAIN(TestComPort)
#include "tst_comport.moc"
