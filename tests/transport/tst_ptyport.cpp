// SPDX-License-Identifier: GPL-3.0-or-later
// The port on pseudo-terminals, which the kernel treats as real serial devices.
#include "CPort.h"
#include "Pty.h"
#include "PortHolders.h"
#include "TPosixSerialDevice.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

struct PtyPort {
    PtyPort()
    {
        auto owned = std::make_unique<TPosixSerialDevice>();
        device = owned.get();
        port = std::make_unique<TComPort>(std::move(owned));
        port->SetPort(pty.SlavePath());
    }
    Pty pty;
    TPosixSerialDevice* device = nullptr;
    std::unique_ptr<TComPort> port;
};

int OpenError(TCustomComPort& port)
{
    try {
        port.Open();
    } catch (const EComPort& e) {
        return e.Code() == 1 ? e.PlatformError() : -1000 - e.Code();
    }
    return 0;
}

} // namespace

class TestPtyPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Pty probe;
        if (!probe.Valid())
            QSKIP("no pseudo-terminals on this machine");
    }

    void openAndCloseAreIdempotent()
    {
        PtyPort p;
        p.port->Open();
        QVERIFY(p.port->Connected());
        p.port->Open();
        QVERIFY(p.port->Connected());
        p.port->Close();
        QVERIFY(!p.port->Connected());
        p.port->Close();
        QVERIFY(!p.port->Connected());
        p.port->Open();
        QVERIFY(p.port->Connected());
    }

    void bareDeviceNameIsFoundUnderDev()
    {
        PtyPort p;
        const QString bare = p.pty.SlavePath().mid(QStringLiteral("/dev/").size());
        p.port->SetPort(bare);
        p.port->Open();
        QVERIFY(p.port->Connected());
    }

    void secondOpenerIsRefused()
    {
        PtyPort p;
        p.port->Open();
        // Exclusive mode alone would let root through; the lock does not.
        TComPort second;
        second.SetPort(p.pty.SlavePath());
        QCOMPARE(OpenError(second), EWOULDBLOCK);
        QVERIFY(!second.Connected());
        QVERIFY(p.port->Connected());
        // Released at close: the second one gets it now.
        p.port->Close();
        QCOMPARE(OpenError(second), 0);
    }

    void whatIsNoTerminalIsRefused_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("error");
        QTest::newRow("/dev/null") << QStringLiteral("/dev/null") << ENOTTY;
        QTest::newRow("bare null") << QStringLiteral("null") << ENOTTY;
        QTest::newRow("missing") << QStringLiteral("/dev/ttyRadioSetMissing") << ENOENT;
        QTest::newRow("folder") << QDir::tempPath() << EISDIR;
        QTest::newRow("Windows name") << QStringLiteral("COM1") << ENOENT;
    }

    void whatIsNoTerminalIsRefused()
    {
        QFETCH(QString, path);
        TComPort port;
        port.SetPort(path);
        QTEST(OpenError(port), "error");
        QVERIFY(!port.Connected());
    }

    void regularFileIsRefused()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        TComPort port;
        port.SetPort(file.fileName());
        QCOMPARE(OpenError(port), ENOTTY);
        QVERIFY(!port.Connected());
    }

    void bytesCrossTheLineUnchanged()
    {
        PtyPort p;
        p.port->SetEvents(TComEvents {});
        p.port->Open();
        const QByteArray command = QByteArrayLiteral("AT+BTNAME=A\nB\r");
        QCOMPARE(p.port->WriteStr(command), qint32(command.size()));
        QTRY_COMPARE(p.pty.Received(), command);

        const QByteArray answer("\r\nOK\r\n\0\xff", 8);
        QVERIFY(p.pty.Send(answer));
        QTRY_COMPARE(p.port->InputCount(), qint32(answer.size()));
        QByteArray text;
        QCOMPARE(p.port->ReadStr(text, 100), qint32(answer.size()));
        QCOMPARE(text, answer);
        // Nothing waiting: a read returns at once with nothing.
        QCOMPARE(p.port->ReadStr(text, 10), 0);
        QVERIFY(text.isEmpty());
    }

    // A close right after a write keeps what was written: EXIT sends "ATZ" and
    // closes at once, and the module must still get it.
    void closeRightAfterAWriteKeepsTheBytesWritten()
    {
        const QByteArray restart = QByteArrayLiteral("ATZ\r");
        for (int round = 0; round < 20; ++round) {
            PtyPort p;
            p.port->Open();
            p.port->WriteStr(restart);
            p.port->Close();
            QTRY_COMPARE(p.pty.Received(), restart);
        }
    }

    void lineRunsAtTheExactSpeed_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("custom");
        QTest::addColumn<int>("speed");
        QTest::newRow("9600") << int(br9600) << 0 << 9600;
        QTest::newRow("14400") << int(br14400) << 0 << 14400;
        QTest::newRow("56000") << int(br56000) << 0 << 56000;
        QTest::newRow("128000") << int(br128000) << 0 << 128000;
        QTest::newRow("256000") << int(br256000) << 0 << 256000;
        QTest::newRow("custom 230400") << int(brCustom) << 230400 << 230400;
        QTest::newRow("custom 1200") << int(brCustom) << 1200 << 1200;
    }

    void lineRunsAtTheExactSpeed()
    {
        QFETCH(int, rate);
        QFETCH(int, custom);
        PtyPort p;
        p.port->SetBaudRate(TBaudRate(rate));
        p.port->SetCustomBaudRate(custom);
        p.port->Open();
        TermiosLine::Readback line;
        QCOMPARE(p.device->ReadLine(line), 0);
        QTEST(int(line.Speed), "speed");
        QVERIFY(!line.HardwareFlow);
        QVERIFY(!line.SoftwareFlow);
    }

    void stopBitsReachTheDriver_data()
    {
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<bool>("two");
        QTest::newRow("1") << int(sbOneStopBit) << false;
        QTest::newRow("1.5 becomes 2") << int(sbOne5StopBits) << true;
        QTest::newRow("2") << int(sbTwoStopBits) << true;
    }

    void stopBitsReachTheDriver()
    {
        QFETCH(int, stopBits);
        PtyPort p;
        p.port->Open();
        p.port->SetStopBits(TStopBits(stopBits)); // also while open
        TermiosLine::Readback line;
        QCOMPARE(p.device->ReadLine(line), 0);
        QTEST(line.TwoStopBits, "two");
    }

    void rxCharRunsOnThePortThreadWithTheWaitingCount()
    {
        PtyPort p;
        QByteArray received;
        QList<qint32> counts;
        bool offThread = false;
        p.port->OnRxChar = [&](TCustomComPort* sender, qint32 count) {
            offThread |= QThread::currentThread() != p.port->thread();
            counts << count;
            QByteArray text;
            sender->ReadStr(text, count);
            received += text;
        };
        p.port->Open();
        QVERIFY(p.pty.Send(QByteArrayLiteral("\r\nOK\r\n")));
        QTRY_COMPARE(received, QByteArrayLiteral("\r\nOK\r\n"));
        QVERIFY(!counts.isEmpty());
        QVERIFY(!counts.contains(0));
        qint32 total = 0;
        for (qint32 c : std::as_const(counts))
            total += c;
        QCOMPARE(total, 6);
        QVERIFY(!offThread);

        QVERIFY(p.pty.Send(QByteArrayLiteral("\r\nERROR\r\n")));
        QTRY_COMPARE(received, QByteArrayLiteral("\r\nOK\r\n\r\nERROR\r\n"));
    }

    void bytesLeftWaitingAreReportedAgainOnlyWhenMoreArrive()
    {
        PtyPort p;
        QList<qint32> counts;
        p.port->OnRxChar = [&](TCustomComPort*, qint32 count) { counts << count; };
        p.port->Open();
        QVERIFY(p.pty.Send(QByteArrayLiteral("OK")));
        QTRY_VERIFY(!counts.isEmpty());
        QVERIFY(p.pty.Send(QByteArrayLiteral("\r\n")));
        QTRY_COMPARE(counts.last(), 4);
        // One report per arrival (the kernel may add a spare one), not one per
        // turn of a loop that keeps finding the same bytes.
        QVERIFY2(counts.size() <= 3, qPrintable(QString::number(counts.size())));
        QCOMPARE(counts.first(), 2);
    }

    void lineReadbackMustMatchWhatWasAsked_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("error");
        QTest::newRow("as asked") << 9600 << 8 << 2 << 0;
        QTest::newRow("speed within 2 %") << 9700 << 8 << 2 << 0;
        QTest::newRow("speed kept elsewhere") << 38400 << 8 << 2 << EINVAL;
        QTest::newRow("7 bits kept as 8") << 9600 << 7 << 2 << EINVAL;
        QTest::newRow("even kept as none") << 9600 << 8 << 0 << EINVAL;
        QTest::newRow("even taken as odd") << 9600 << 8 << 1 << EINVAL;
    }

    void lineReadbackMustMatchWhatWasAsked()
    {
        // What the driver answered; asked were 9600 bits per second, 8 bits, even parity.
        SerialLineSettings asked;
        asked.Speed = 9600;
        asked.DataBits = 8;
        asked.Parity = 2;
        TermiosLine::Readback held;
        QFETCH(int, speed);
        QFETCH(int, dataBits);
        QFETCH(int, parity);
        held.Speed = speed;
        held.DataBits = dataBits;
        held.Parity = parity;
        QTEST(TermiosLine::CheckReadback(asked, held), "error");
    }

    void pseudoTerminalTakesEveryCharacterSizeAndParity_data()
    {
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("parity");
        for (int bits : { int(dbFive), int(dbSeven), int(dbEight) }) {
            for (int parity : { int(prNone), int(prOdd), int(prEven), int(prMark), int(prSpace) })
                QTest::addRow("%d bits, parity %d", 5 + bits, parity) << bits << parity;
        }
    }

    void pseudoTerminalTakesEveryCharacterSizeAndParity()
    {
        // A pseudo-terminal has no wire: Linux keeps it at 8 bits without parity
        // whatever is asked, which is no refusal, as the bytes cross unchanged.
        QFETCH(int, dataBits);
        QFETCH(int, parity);
        PtyPort p;
        p.port->SetDataBits(TDataBits(dataBits));
        p.port->SetParityBits(TParityBits(parity));
        QCOMPARE(OpenError(*p.port), 0);
        TermiosLine::Readback line;
        QCOMPARE(p.device->ReadLine(line), 0);
        QCOMPARE(line.DataBits, 8);
        QCOMPARE(line.Parity, 0);
        QVERIFY(p.pty.Send(QByteArrayLiteral("\xff\x00")));
        QTRY_COMPARE(p.port->InputCount(), 2);
    }

    void portOpenInAnotherProgramIsRefused()
    {
        PtyPort p;
        // A program that neither locks nor asks for exclusive mode.
        QProcess holder;
        holder.setStandardInputFile(p.pty.SlavePath());
        holder.start(QStringLiteral("sleep"), { QStringLiteral("1000") });
        QVERIFY(holder.waitForStarted(5000));
        QTRY_VERIFY(FindPortHolder(p.pty.SlavePath()).has_value());
        QCOMPARE(OpenError(*p.port), EBUSY);
        QVERIFY(!p.port->Connected());
        holder.kill();
        QVERIFY(holder.waitForFinished(5000));
        QCOMPARE(OpenError(*p.port), 0);
    }

    void uucpLockFileIsHonouredWhileItsOwnerLives_data()
    {
        QTest::addColumn<bool>("ownerAlive");
        QTest::addColumn<int>("error");
        QTest::newRow("live owner") << true << EBUSY;
        QTest::newRow("stale lock") << false << 0;
    }

    void uucpLockFileIsHonouredWhileItsOwnerLives()
    {
        QFETCH(bool, ownerAlive);
        PtyPort p;
        QProcess owner;
        owner.start(QStringLiteral("sleep"), { QStringLiteral("1000") });
        QVERIFY(owner.waitForStarted(5000));
        const qint64 pid = owner.processId();
        if (!ownerAlive) {
            owner.kill();
            QVERIFY(owner.waitForFinished(5000));
        }
        const QString lockFile = QDir(PortHolders::DefaultLockDirectories().constFirst())
                                     .filePath(PortHolders::LockFileNames(p.pty.SlavePath()).constFirst());
        QFile lock(lockFile);
        if (!lock.open(QIODevice::WriteOnly | QIODevice::Truncate))
            QSKIP("the lock directory cannot be written here");
        lock.write(QByteArray::number(pid).rightJustified(10, ' ') + '\n');
        lock.close();
        const int error = OpenError(*p.port);
        QFile::remove(lockFile);
        owner.kill();
        owner.waitForFinished(5000);
        QTEST(error, "error");
        QCOMPARE(p.port->Connected(), error == 0);
    }

    void failureTextsGiveTheSystemsError()
    {
        PtyPort p;
        p.port->SetPort(QStringLiteral("/dev/ttyRadioSetMissing"));
        try {
            p.port->Open();
            QFAIL("a missing device was opened");
        } catch (const EComPort& e) {
            QCOMPARE(e.Message(), QStringLiteral("Unable to open com port (No such file or directory, errno 2)"));
        }
    }

    void unpluggedDeviceIsReportedOnceOnThePortThread_data()
    {
        QTest::addColumn<bool>("events");
        QTest::newRow("found by the event thread") << true;
        QTest::newRow("found by a write") << false;
    }

    void unpluggedDeviceIsReportedOnceOnThePortThread()
    {
        QFETCH(bool, events);
        PtyPort p;
        if (!events)
            p.port->SetEvents({});
        int lost = 0;
        bool onPortThread = false;
        p.port->OnLost = [&](TCustomComPort* sender) {
            ++lost;
            onPortThread = QThread::currentThread() == sender->thread();
        };
        p.port->Open();
        p.pty.CloseMaster();
        if (events)
            QTRY_VERIFY(!p.port->EventThreadRunning());
        // Every later failure belongs to the same loss.
        QVERIFY_THROWS_EXCEPTION(EComPort, p.port->WriteStr(QByteArrayLiteral("AT\r")));
        QVERIFY_THROWS_EXCEPTION(EComPort, p.port->WriteStr(QByteArrayLiteral("AT\r")));
        QTRY_COMPARE(lost, 1);
        QVERIFY(onPortThread);
        QVERIFY(p.port->Lost());
        // The handler decides; the port itself stays open until closed.
        QVERIFY(p.port->Connected());
        QTest::qWait(50);
        QCOMPARE(lost, 1);
        p.port->Close();
        QVERIFY(!p.port->Connected());
    }

    void lossIsNotReportedOnceThePortIsClosed()
    {
        PtyPort p;
        p.port->SetEvents({});
        int lost = 0;
        p.port->OnLost = [&](TCustomComPort*) { ++lost; };
        p.port->Open();
        p.pty.CloseMaster();
        QVERIFY_THROWS_EXCEPTION(EComPort, p.port->WriteStr(QByteArrayLiteral("AT\r")));
        p.port->Close();
        QTest::qWait(50);
        QCOMPARE(lost, 0);
    }

    void unpluggedDeviceEndsTheEventThreadAndFailsWrites()
    {
        PtyPort p;
        int calls = 0;
        p.port->OnRxChar = [&](TCustomComPort*, qint32) { ++calls; };
        p.port->Open();
        QVERIFY(p.port->EventThreadRunning());
        p.pty.CloseMaster();
        QTRY_VERIFY(!p.port->EventThreadRunning());
        QVERIFY(p.port->Connected());
        try {
            p.port->WriteStr(QByteArrayLiteral("ATZ\r"));
            QFAIL("a write to a device that has gone was not reported");
        } catch (const EComPort& e) {
            QCOMPARE(e.Code(), 2);
            QCOMPARE(e.PlatformError(), EIO);
            QCOMPARE(e.Message(), QStringLiteral("WriteFile function failed (Input/output error, errno 5)"));
        }
        p.port->Close();
        QVERIFY(!p.port->Connected());
        QCOMPARE(calls, 0);
    }
};

QTEST_MAIN(TestPtyPort)
#include "tst_ptyport.moc"
