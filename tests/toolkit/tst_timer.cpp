// SPDX-License-Identifier: GPL-3.0-or-later
// The one-shot and periodic timers of the main window.
#include "TTimer.h"

#include <QTest>

class TestTimer : public QObject
{
    Q_OBJECT

private slots:
    void secondStartDoesNotRestartARunningTimer()
    {
        TTimer timer(200);
        timer.OnTimer = [&] { timer.Stop(); };
        timer.Start();
        QTest::qWait(120);
        timer.Start();
        // At least 120 ms have passed, so an untouched timer has at most 80 ms to
        // go; a restarted one would have close to 200.
        QVERIFY(timer.Enabled());
        QVERIFY2(timer.RemainingTime() <= 80, qPrintable(QString::number(timer.RemainingTime())));
    }

    void oneShotTickStoppingItselfTicksOnce()
    {
        TTimer timer(20);
        int ticks = 0;
        timer.OnTimer = [&] {
            timer.Stop();
            ++ticks;
        };
        timer.Start();
        QTest::qWait(150);
        QCOMPARE(ticks, 1);
        QVERIFY(!timer.Enabled());
    }

    void periodicTimerTicksUntilStopped()
    {
        TTimer timer(10);
        int ticks = 0;
        timer.OnTimer = [&] {
            if (++ticks == 3)
                timer.Stop();
        };
        timer.Start();
        QTRY_COMPARE(ticks, 3);
        QTest::qWait(50);
        QCOMPARE(ticks, 3);
    }
};

QTEST_MAIN(TestTimer)
#include "tst_timer.moc"
