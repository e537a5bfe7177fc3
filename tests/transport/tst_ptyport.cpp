// The port on pseudo-terminals, which the kernel treats as real serial devices.
#include "CPort.h"
#include "TPosixSerialDevice.h"

#include <QDir>
#include <QTemporaryFile>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// The module's end of the line.
class Pty
{
public:
    Pty()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        char name[128] = {};
        if (::ptsname_r(m_master, name, sizeof name) != 0)
            return;
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_slave = QString::fromLocal8Bit(name);
    }
    ~Pty() { CloseMaster(); }
    Q_DISABLE_COPY_MOVE(Pty)

    bool Valid() const { return m_master >= 0 && !m_slave.isEmpty(); }
    QString SlavePath() const { return m_slave; }
    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    bool Send(const QByteArray& bytes) { return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size(); }
    // Everything received so far.
    QByteArray Received()
    {
        char buffer[256];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_received.append(buffer, n);
        }
        return m_received;
    }

private:
    int m_master = -1;
    QString m_slave;
    QByteArray m_received;
};

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
            QVERIFY(e.PlatformError() > 0);
        }
        p.port->Close();
        QVERIFY(!p.port->Connected());
        QCOMPARE(calls, 0);
    }
};

QTEST_MAIN(TestPtyPort)
#include "tst_ptyport.moc"
