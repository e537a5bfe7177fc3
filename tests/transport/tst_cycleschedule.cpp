// SPDX-License-Identifier: GPL-3.0-or-later
#include "CycleSchedule.h"

#include <QTest>

#include <vector>

using namespace std::chrono_literals;
using Clock = TCycleSchedule::Clock;

namespace {

// A clock the test moves by hand.
struct ManualClock {
    Clock::time_point now{std::chrono::seconds(1000)};
    TCycleSchedule::Now Source()
    {
        return [this] { return now; };
    }
};

// Runs cycles whose work takes the given times and returns each cycle's start
// as an offset from the first.
std::vector<Clock::duration> Starts(const std::vector<Clock::duration>& work, Clock::duration overshoot = 0ms)
{
    ManualClock clock;
    TCycleSchedule schedule(10ms, clock.Source());
    const Clock::time_point first = schedule.Begin();
    std::vector<Clock::duration> starts{0ms};
    for (const Clock::duration w : work) {
        clock.now += w;
        const Clock::time_point next = schedule.Next();
        // A wait until a point already past returns at once; a sleep until a
        // point ahead never returns before it, maybe later.
        const Clock::time_point started = std::max(clock.now, next);
        clock.now = started + overshoot;
        starts.push_back(started - first);
    }
    return starts;
}

} // namespace

class TestCycleSchedule : public QObject
{
    Q_OBJECT

private slots:
    void cyclesStartOnAFixedGrid_data()
    {
        QTest::addColumn<int>("workUs");
        QTest::addColumn<int>("overshootUs");
        QTest::newRow("no work") << 0 << 0;
        QTest::newRow("work of 3 ms") << 3000 << 0;
        QTest::newRow("work and a late wake-up") << 2000 << 1500;
    }
    void cyclesStartOnAFixedGrid()
    {
        QFETCH(int, workUs);
        QFETCH(int, overshootUs);
        const std::vector<Clock::duration> work(50, std::chrono::microseconds(workUs));
        const auto starts = Starts(work, std::chrono::microseconds(overshootUs));
        // Neither the work nor the sleep's overshoot stretches the rhythm.
        for (size_t i = 0; i < starts.size(); ++i)
            QCOMPARE(starts[i], Clock::duration(10ms * i));
    }

    void overrunIsFollowedAtOnceAndTheGridLaidAnew()
    {
        // The third cycle's work takes 25 ms: two and a half cycles.
        const auto starts = Starts({1ms, 1ms, 25ms, 1ms, 1ms, 1ms});
        const std::vector<Clock::duration> expected = {0ms, 10ms, 20ms, 45ms, 55ms, 65ms, 75ms};
        QCOMPARE(starts.size(), expected.size());
        for (size_t i = 0; i < starts.size(); ++i)
            QCOMPARE(starts[i], expected[i]);
    }

    void neverTwoCyclesWithinOnePeriod()
    {
        // Cycles of mixed lengths, some overrunning: a cycle starts no sooner than
        // one period after the one before, so missed cycles are never made up by
        // handling two pieces at once.
        const auto starts = Starts({12ms, 0ms, 30ms, 0ms, 0ms, 9ms, 11ms, 0ms, 10ms, 0ms});
        for (size_t i = 1; i < starts.size(); ++i)
            QVERIFY2(starts[i] - starts[i - 1] >= 10ms, qPrintable(QString::number(i)));
    }

    void stopIsSeenWithinOneCycleOnTheRealClock()
    {
        // The real clock: the next start is never more than one period away.
        TCycleSchedule schedule(10ms);
        const Clock::time_point begun = schedule.Begin();
        const Clock::time_point next = schedule.Next();
        QVERIFY(next >= begun + 10ms);
        QVERIFY(next <= Clock::now() + 10ms);
    }
};

QTEST_GUILESS_MAIN(TestCycleSchedule)
#include "tst_cycleschedule.moc"
