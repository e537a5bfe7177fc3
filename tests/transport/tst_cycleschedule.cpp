// SPDX-License-Identifier: GPL-3.0-or-later
// The receive worker's cycle: its grid, overruns and stop.
#include "CycleSchedule.h"
#include "SerialQueueThreadUnit.h"
#include "SerialQueueUnit.h"

#include <QTest>

#include <deque>
#include <semaphore>
#include <utility>
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

// The receive worker on a clock the test moves. A wait returns at its end or as
// soon as the worker is woken; the scripted events due before then happen on
// the way, on the worker's own thread, so every run is the same.
class ScriptedWorker
{
public:
    struct Event {
        Clock::duration at;
        std::function<void(ScriptedWorker&)> act;
    };

    explicit ScriptedWorker(std::deque<Event> script)
        : thread(TWorkerTime{[this] { return m_now; },
                             [this](TSerialQueue& q, std::optional<Clock::time_point> until,
                                    const std::function<bool()>& woken) { Wait(q, until, woken); }})
        , m_script(std::move(script))
    {
        thread.Queue = &queue;
        thread.OnResponse = [this](const QByteArray& response) { responses << response; };
    }

    // Runs the script to its end; the last event is expected to stop the worker.
    void Run()
    {
        thread.Start();
        m_stopped.acquire();
        thread.Stop(); // joins
    }

    // On the worker's own thread: asks it to stop, without joining.
    void Stop()
    {
        thread.Stop();
        if (!std::exchange(m_stopAsked, true))
            m_stopped.release();
    }

    void Push(const QByteArray& bytes)
    {
        for (char c : bytes)
            queue.Push(QByteArray(1, c));
    }

    TSerialQueue queue;
    TSerialQueueThread thread;
    std::vector<Clock::duration> wakes;  // when each wait ended
    std::vector<Clock::duration> takes;  // when each piece was taken
    QList<QByteArray> responses;
    bool sleptForGood = false;           // waited with nothing left that could wake it

private:
    void Wait(TSerialQueue& q, std::optional<Clock::time_point> until, const std::function<bool()>& woken)
    {
        // Pieces taken since the last wait were taken at the time it ended.
        for (qint64 taken = thread.PiecesTaken(); qint64(takes.size()) < taken;)
            takes.push_back(m_now - Origin);
        for (;;) {
            if (woken() || (!until && q.Count() > 0))
                break;
            if (until && (m_script.empty() || *until < Origin + m_script.front().at)) {
                m_now = *until;
                break;
            }
            if (m_script.empty()) {
                sleptForGood = true;
                Stop();
                break;
            }
            const Event event = m_script.front();
            m_script.pop_front();
            m_now = Origin + event.at;
            event.act(*this);
        }
        wakes.push_back(m_now - Origin);
        if (wakes.size() == 10000)
            Stop();
    }

    static constexpr Clock::time_point Origin{std::chrono::seconds(1000)};
    Clock::time_point m_now = Origin;
    std::deque<Event> m_script;
    bool m_stopAsked = false;
    std::binary_semaphore m_stopped{0};
};

// Times in milliseconds, which QCOMPARE can show.
using Times = QList<double>;

Times InMs(const std::vector<Clock::duration>& times)
{
    Times ms;
    for (const Clock::duration t : times)
        ms << std::chrono::duration<double, std::milli>(t).count();
    return ms;
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

    void resumeTakesTheNextPointOfTheGrid()
    {
        ManualClock clock;
        TCycleSchedule schedule(10ms, clock.Source());
        const Clock::time_point first = schedule.Begin();
        clock.now += 2ms;
        QCOMPARE(schedule.Next() - first, Clock::duration(10ms));
        // Woken before the cycle that was due anyway: that cycle.
        clock.now = first + 4ms;
        QCOMPARE(schedule.Resume() - first, Clock::duration(10ms));
        // Woken later: the next point of the same grid, a point itself included.
        clock.now = first + 1234567us;
        QCOMPARE(schedule.Resume() - first, Clock::duration(1240ms));
        clock.now = first + 1300ms;
        QCOMPARE(schedule.Resume() - first, Clock::duration(1300ms));
    }

    void workerOnAnEmptyQueueWaitsWithoutTicking()
    {
        ScriptedWorker w({{5s, [](ScriptedWorker& s) { s.Stop(); }}});
        w.Run();
        // The first cycle runs at the start; after it, one wait until the stop.
        QCOMPARE(InMs(w.wakes), Times{5000});
        QVERIFY(w.takes.empty());
        QVERIFY(!w.sleptForGood);
    }

    void piecesArrivingBetweenCyclesAreTakenOnTheGridOnePerCycle()
    {
        ScriptedWorker w({
            {23500us, [](ScriptedWorker& s) { s.Push("ABC"); }}, // wakes it; taken from the cycle at 30 ms on
            {44ms, [](ScriptedWorker& s) { s.Push("D"); }},      // while it waits for its next cycle
            {80ms, [](ScriptedWorker& s) { s.Push("E"); }},      // on a point of the grid
            {1s, [](ScriptedWorker& s) { s.Stop(); }},
        });
        w.Run();
        QCOMPARE(InMs(w.takes), (Times{30, 40, 50, 60, 80}));
        // Awake for the pieces only: never between them and the stop.
        QCOMPARE(InMs(w.wakes), (Times{23.5, 30, 40, 50, 60, 80, 1000}));
        QVERIFY(!w.sleptForGood);
    }

    void stopAndFramingRestartWakeTheWorkerAtOnce()
    {
        ScriptedWorker w({
            {5ms, [](ScriptedWorker& s) { s.Push("\r\nO"); }},
            {100ms, [](ScriptedWorker& s) { s.thread.RestartFraming(); }}, // asleep on an empty queue
            {200ms, [](ScriptedWorker& s) { s.Push("K\r\n"); }},
            {205ms, [](ScriptedWorker& s) { s.thread.RestartFraming(); }}, // waiting for its next cycle
            {400ms, [](ScriptedWorker& s) { s.Push("XY"); }},
            {403ms, [](ScriptedWorker& s) { s.Stop(); }},          // waiting for its next cycle
        });
        w.Run();
        QCOMPARE(InMs(w.wakes), (Times{5, 10, 20, 30, 100, 200, 205, 210, 220, 400, 403}));
        QCOMPARE(InMs(w.takes), (Times{10, 20, 30, 200, 210, 220, 400}));
        // The restart at 100 ms forgot CR LF "O": "K" CR LF completes nothing.
        QVERIFY(w.responses.isEmpty());
        QVERIFY(!w.sleptForGood);
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
