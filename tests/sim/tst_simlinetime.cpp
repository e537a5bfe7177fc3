// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual module's line time: characters paced by the line settings.
#include "LineTime.h"
#include "SimClient.h"
#include "TPosixSerialDevice.h"
#include "VirtualModule.h"

#include <QTest>

#include <chrono>
#include <thread>

using namespace radiosim;
using Clock = std::chrono::steady_clock;

Q_DECLARE_METATYPE(speed_t)

class TestSimLineTime : public QObject {
    Q_OBJECT

private slots:
    void characterTimeFollowsTheSettings_data()
    {
        QTest::addColumn<speed_t>("speed");
        QTest::addColumn<unsigned>("format");
        QTest::addColumn<int>("bits");
        QTest::addColumn<long>("bitsPerSecond");
        QTest::newRow("9600 8N1") << speed_t(B9600) << unsigned(CS8) << 10 << 9600L;
        QTest::newRow("115200 8N1") << speed_t(B115200) << unsigned(CS8) << 10 << 115200L;
        QTest::newRow("115200 7E2") << speed_t(B115200) << unsigned(CS7 | PARENB | CSTOPB) << 11 << 115200L;
        QTest::newRow("19200 8O2") << speed_t(B19200) << unsigned(CS8 | PARENB | PARODD | CSTOPB) << 12 << 19200L;
        QTest::newRow("2400 5N1") << speed_t(B2400) << unsigned(CS5) << 7 << 2400L;
        QTest::newRow("1200 6N2") << speed_t(B1200) << unsigned(CS6 | CSTOPB) << 9 << 1200L;
        QTest::newRow("no speed") << speed_t(B0) << unsigned(CS8) << 10 << 0L;
    }
    void characterTimeFollowsTheSettings()
    {
        QFETCH(speed_t, speed);
        QFETCH(unsigned, format);
        QFETCH(int, bits);
        QFETCH(long, bitsPerSecond);
        termios t{};
        ::cfmakeraw(&t);
        t.c_cflag = (t.c_cflag & ~(CSIZE | PARENB | PARODD | CSTOPB)) | format;
        QCOMPARE(::cfsetspeed(&t, speed), 0);
        const LineCharacter c = CharacterOnLine(t);
        QCOMPARE(c.bits, bits);
        QCOMPARE(c.bitsPerSecond, bitsPerSecond);
        const long long expected = bitsPerSecond ? bits * 1000000000LL / bitsPerSecond : 0;
        QCOMPARE(static_cast<long long>(c.time.count()), expected);
    }

    void exchangeTakesAtLeastItsLineTime_data()
    {
        QTest::addColumn<speed_t>("speed");
        QTest::addColumn<unsigned>("format");
        QTest::newRow("2400 8N1") << speed_t(B2400) << unsigned(CS8);
        QTest::newRow("2400 8E2") << speed_t(B2400) << unsigned(CS8 | PARENB | CSTOPB);
    }
    void exchangeTakesAtLeastItsLineTime()
    {
        QFETCH(speed_t, speed);
        QFETCH(unsigned, format);
        Options o;
        o.lineTime = true;
        VirtualModule sim(o);
        QVERIFY(sim.start());
        SimClient client(sim.devicePath());
        QVERIFY(client.isOpen());
        QVERIFY(client.setLine(speed, format));
        // As the line holds the settings: a pseudo-terminal may not keep every bit.
        const termios t = client.settings();
        QCOMPARE(cfgetospeed(&t), speed);
        const auto perByte = CharacterOnLine(t).time;
        qInfo("%d bits per character", CharacterOnLine(t).bits);

        const QByteArray wake = QByteArrayLiteral("\r\x1E");
        const auto sent = Clock::now();
        client.send(wake);
        QCOMPARE(client.readRaw(6), QByteArray("\r\nOK\r\n"));
        const auto answered = Clock::now();
        const auto entries = sim.transcript();
        // The answer left byte by byte, the first no sooner than the command's
        // last bit was in and its own were through, each next one a character later.
        QByteArray answer;
        int n = 0;
        for (const TranscriptEntry& e : entries) {
            if (e.fromTool)
                continue;
            answer += QByteArray::fromStdString(e.bytes);
            ++n;
            QCOMPARE(e.bytes.size(), size_t(1));
            QVERIFY2(e.when - sent >= perByte * (wake.size() + n), qPrintable(QString::number(n)));
        }
        QCOMPARE(answer, QByteArray("\r\nOK\r\n"));
        QVERIFY(answered - sent >= perByte * (wake.size() + answer.size()));
    }

    // RadioSet's own serial layer sets every speed by number (BOTHER), which
    // the C library's settings show as no known speed; the module must still
    // take the line's time.
    void speedSetByNumberIsPacedToo_data()
    {
        QTest::addColumn<int>("speed");
        QTest::newRow("2400") << 2400;
        QTest::newRow("4800") << 4800;
    }
    void speedSetByNumberIsPacedToo()
    {
        QFETCH(int, speed);
        Options o;
        o.lineTime = true;
        VirtualModule sim(o);
        QVERIFY(sim.start());
        TPosixSerialDevice device;
        QCOMPARE(device.Open(QString::fromStdString(sim.devicePath())), 0);
        SerialLineSettings line;
        line.Speed = speed;
        QCOMPARE(device.SetLine(line), 0);
        QCOMPARE(device.SetEventMask(SerialEvent::RxChar), 0);
        const auto perByte = std::chrono::nanoseconds(10 * 1000000000LL / speed);

        const QByteArray wake = QByteArrayLiteral("\r\x1E");
        const auto sent = Clock::now();
        qint32 written = 0;
        QCOMPARE(device.Write(wake.constData(), qint32(wake.size()), written), 0);
        QCOMPARE(written, qint32(wake.size()));
        QByteArray got;
        const auto giveUp = sent + std::chrono::seconds(5);
        while (got.size() < 6 && Clock::now() < giveUp) {
            quint32 events = 0;
            int error = 0;
            device.WaitEventFor(events, error, 100);
            char buffer[16];
            qint32 n = 0;
            if (device.Read(buffer, sizeof buffer, n) == 0 && n > 0)
                got.append(buffer, n);
        }
        const auto answered = Clock::now();
        QCOMPARE(got, QByteArray("\r\nOK\r\n"));
        // Two bytes in, six out, one after the other.
        QVERIFY2(answered - sent >= perByte * (wake.size() + got.size()),
                 qPrintable(QStringLiteral("%1 us").arg(
                     std::chrono::duration_cast<std::chrono::microseconds>(answered - sent).count())));
        device.Close();
    }
};

QTEST_GUILESS_MAIN(TestSimLineTime)
#include "tst_simlinetime.moc"
