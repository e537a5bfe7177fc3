// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual module on a production line: a UART of its own speed, modules
// swapped in a fixture, an adapter plugged and pulled under one link.

#include "SimClient.h"
#include "VirtualModule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace radiosim;

namespace {

const QByteArray Wake("\x1E");

// The answer to the debug character, after the lone CR that goes first.
QByteArray Probe(SimClient& client, int timeoutMs = 400)
{
    client.send("\r");
    QTest::qWait(50);
    client.send(Wake);
    return client.answer(timeoutMs);
}

void Control(const QString& fifo, const QByteArray& command)
{
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, command.constData(), size_t(command.size())), ssize_t(command.size()));
    ::close(fd);
}

} // namespace

class TestSimLine : public QObject {
    Q_OBJECT

private slots:
    void bytesAtAnotherSpeedAreLostBothWays()
    {
        Options o;
        o.uartBaud = 19200;
        o.answerDelayMs = 200;
        VirtualModule sim(o);
        QVERIFY(sim.start());
        SimClient client(sim.devicePath());
        QVERIFY(client.isOpen());

        QVERIFY(client.setLine(B9600, CS8));
        QCOMPARE(Probe(client), QByteArray("<none>"));
        QVERIFY(!sim.inConfigurationMode());

        QVERIFY(client.setLine(B19200, CS8));
        QCOMPARE(Probe(client), QByteArray("OK"));
        QCOMPARE(client.command("AT+BTINFO?5"), QByteArray("19200,8,N,1"));
        // Heard at the module's speed, answered at it: a tool listening at another hears nothing.
        client.send("AT+BTINFO?8\r");
        QVERIFY(client.setLine(B9600, CS8));
        QTest::qWait(400);
        QVERIFY(client.setLine(B19200, CS8));
        QCOMPARE(client.answer(300), QByteArray("<none>"));
    }

    void aWrittenSpeedTakesOverAtTheRestart()
    {
        Options o;
        o.uartBaud = 9600;
        VirtualModule sim(o);
        QVERIFY(sim.start());
        SimClient client(sim.devicePath());
        QVERIFY(client.setLine(B9600, CS8));
        QCOMPARE(Probe(client), QByteArray("OK"));
        QCOMPARE(client.command("AT+BTUART,57600,n,1"), QByteArray("OK"));
        client.send("ATZ\r");
        QTest::qWait(100);
        QCOMPARE(Probe(client), QByteArray("<none>"));
        QVERIFY(client.setLine(B57600, CS8));
        QCOMPARE(Probe(client), QByteArray("OK"));
    }

    void aGarbledProbeWakesTheModuleUnseenAndTheRightSpeedStillFindsIt()
    {
        Options o;
        o.uartBaud = 1200;
        o.garbledSpeed = 115200;
        VirtualModule sim(o);
        QVERIFY(sim.start());
        SimClient client(sim.devicePath());
        QVERIFY(client.setLine(B115200, CS8));
        QCOMPARE(Probe(client), QByteArray("<none>"));
        QVERIFY(sim.inConfigurationMode());
        // More garble after it sits in the module's line, unfinished.
        client.send("AT+BT");
        QTest::qWait(50);

        QVERIFY(client.setLine(B1200, CS8));
        // The CR ends the garbled line (refused); the debug character then wakes as usual.
        client.send("\r");
        QCOMPARE(client.answer(), QByteArray("ERROR"));
        client.send(Wake);
        QCOMPARE(client.answer(), QByteArray("OK"));
        QCOMPARE(client.command("AT+BTINFO?10"), QByteArray("2.1"));
    }

    void aSwappedModuleIsSilentThenAnotherWithTheNextAddress()
    {
        Options o;
        o.localAddress = "00A0C1D2E3FF";
        VirtualModule sim(o);
        QVERIFY(sim.start());
        SimClient client(sim.devicePath());
        QVERIFY(client.setLine(B9600, CS8));
        QCOMPARE(Probe(client), QByteArray("OK"));
        QCOMPARE(client.command("AT+BTINFO?8"), QByteArray("00A0C1D2E3FF"));
        QCOMPARE(client.command("AT+BTNAME=UNIT-0001"), QByteArray("OK"));
        client.send("ATZ\r");
        QTest::qWait(50);

        sim.swapModule(400);
        QVERIFY(!sim.modulePresent());
        QCOMPARE(Probe(client, 200), QByteArray("<none>"));
        QTRY_VERIFY_WITH_TIMEOUT(sim.modulePresent(), 2000);
        QCOMPARE(Probe(client), QByteArray("OK"));
        QCOMPARE(client.command("AT+BTINFO?8"), QByteArray("00A0C1D2E400"));
        // A fresh module: factory settings.
        QCOMPARE(client.command("AT+BTINFO?0"), QByteArray("RADIOSIM"));
        QCOMPARE(sim.history(), std::vector<std::string>{"00A0C1D2E3FF configured=1 name=UNIT-0001"});
    }

    void theControlFifoSwapsPullsAndPlugs()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString fifo = dir.filePath(QStringLiteral("control"));
        const QString link = dir.filePath(QStringLiteral("ttyUSB-line"));
        const QString history = dir.filePath(QStringLiteral("history"));
        Options o;
        o.controlPath = fifo.toStdString();
        o.linkPath = link.toStdString();
        o.historyPath = history.toStdString();
        o.swapSilenceMs = 100;
        VirtualModule sim(o);
        QVERIFY(sim.start());
        const std::string firstPath = sim.devicePath();
        QCOMPARE(QFileInfo(link).symLinkTarget(), QString::fromStdString(firstPath));

        Control(fifo, "swap\n");
        QTRY_COMPARE_WITH_TIMEOUT(sim.localAddress(), std::string("00A0C1D2E3F5"), 2000);
        Control(fifo, "pull\n");
        QTRY_VERIFY_WITH_TIMEOUT(!sim.modulePresent(), 2000);
        Control(fifo, "insert\n");
        QTRY_COMPARE_WITH_TIMEOUT(sim.localAddress(), std::string("00A0C1D2E3F6"), 2000);
        // Reseated: the same module again, its settings kept, no history line for it yet.
        sim.setSetting("DeviceName", "KEPT");
        sim.reseatModule(300);
        QVERIFY(!sim.modulePresent());
        QTRY_VERIFY_WITH_TIMEOUT(sim.modulePresent(), 2000);
        QCOMPARE(sim.localAddress(), std::string("00A0C1D2E3F6"));
        // The control FIFO's "reseat" is no swap: the same module comes back.
        Control(fifo, "reseat\n");
        QTest::qWait(300);
        QTRY_VERIFY_WITH_TIMEOUT(sim.modulePresent(), 2000);
        QCOMPARE(sim.history().size(), size_t(2));
        QCOMPARE(sim.localAddress(), std::string("00A0C1D2E3F6"));
        QCOMPARE(sim.settings().at("DeviceName"), std::string("KEPT"));

        {
            SimClient client(firstPath);
            QVERIFY(client.setLine(B9600, CS8));
            Control(fifo, "unplug\n");
            QVERIFY(client.hungUp(2000));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink(), 2000);
        Control(fifo, "plug\n");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 2000);
        SimClient client(QFileInfo(link).symLinkTarget().toStdString());
        QVERIFY(client.setLine(B9600, CS8));
        QCOMPARE(Probe(client), QByteArray("OK"));
        QCOMPARE(client.command("AT+BTINFO?8"), QByteArray("00A0C1D2E3F7"));

        sim.stop();
        QFile file(history);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("00A0C1D2E3F4 configured=0 name=RADIOSIM\n"
                                            "00A0C1D2E3F5 configured=0 name=RADIOSIM\n"
                                            "00A0C1D2E3F6 configured=0 name=KEPT\n"
                                            "00A0C1D2E3F7 configured=0 name=RADIOSIM\n"));
    }

    // The program: SIGUSR1 swaps the module, SIGUSR2 unplugs the adapter and plugs it again.
    void theProgramSwapsAndUnplugsOnSignals()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyUSB-line"));
        QProcess sim;
        sim.start(QStringLiteral(RADIOSET_SIM_EXE),
                  {QStringLiteral("--link=") + link, QStringLiteral("--swap-silence=100"),
                   QStringLiteral("--local-address=00a0c1000100")});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 5000);
        const auto address = [&link] {
            SimClient client(QFileInfo(link).symLinkTarget().toStdString());
            if (!client.setLine(B9600, CS8) || Probe(client) != "OK")
                return QByteArray("<none>");
            const QByteArray answer = client.command("AT+BTINFO?8");
            client.send("ATZ\r");
            QTest::qWait(50);
            return answer;
        };
        QCOMPARE(address(), QByteArray("00A0C1000100"));
        QCOMPARE(::kill(pid_t(sim.processId()), SIGUSR1), 0);
        QTest::qWait(400);
        QCOMPARE(address(), QByteArray("00A0C1000101"));
        QCOMPARE(::kill(pid_t(sim.processId()), SIGUSR2), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo(link).isSymLink(), 5000);
        QCOMPARE(::kill(pid_t(sim.processId()), SIGUSR2), 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 5000);
        QCOMPARE(address(), QByteArray("00A0C1000102"));
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimLine)
#include "tst_simline.moc"
