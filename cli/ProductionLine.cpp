// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProductionLine.h"

#include "PortJob.h"
#include "SpeedSearch.h"

#include <QElapsedTimer>

#include <chrono>

struct TProductionLine::TWorker
{
    TWatchedPort Port;
    std::thread Thread;
    bool Gone = false;                       // under m_mutex
    std::optional<TWatchedPort> Reappeared;  // came back before this worker ended
    // The worker's own while it runs; handed to the next worker of the port
    // when the port came back before this one ended.
    TFixtureRule Rule;
    qint64 LastUnit = 0;
    int Attempt = 1;
    // The port was there at the start, or came back while its last worker still
    // ran: it is polled as a fixture is, and the module there is a unit only if
    // the fixture's rule takes it (it may be the one just done).
    bool PollFirst = false;
};


namespace {

// Moves `speed` to the front of the speeds, the next one to try.
void TakeFirst(QList<qint32>& speeds, qint32 speed)
{
    speeds.removeAll(speed);
    speeds.prepend(speed);
}

} // namespace

qint32 PollSpeed(const QList<qint32>& speeds, qsizetype poll)
{
    if (speeds.size() < 2)
        return speeds.value(0, 9600);
    // Every other poll at the first speed, the others round the rest.
    if (poll % 2 == 0)
        return speeds.first();
    return speeds.at(1 + (poll / 2) % (speeds.size() - 1));
}

TProductionLine::TProductionLine(TLinePlan plan, std::unique_ptr<IPortSource> source, TUnitJob job, TUnitLog* log,
                                 TTranscripts* transcripts, QObject* parent)
    : QObject(parent)
    , m_plan(std::move(plan))
    , m_job(std::move(job))
    , m_log(log)
    , m_transcripts(transcripts)
    , m_watch(m_plan.Globs, std::move(source))
{
    if (m_plan.Speeds.isEmpty())
        m_plan.Speeds = {m_plan.Line.Baud};
    m_next = std::max<qint64>(1, m_plan.FirstUnit);
    connect(&m_watch, &TPortWatch::Appeared, this, &TProductionLine::OnAppeared);
    connect(&m_watch, &TPortWatch::Gone, this, &TProductionLine::OnGone);
}

TProductionLine::~TProductionLine()
{
    std::map<QString, std::unique_ptr<TWorker>> workers;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        workers.swap(m_workers);
    }
    m_wake.notify_all();
    for (auto& [name, worker] : workers)
        if (worker->Thread.joinable())
            worker->Thread.join();
}

void TProductionLine::Start()
{
    // The ports there at the start are reported now, from within.
    m_starting = true;
    m_watch.Start();
    m_starting = false;
    CheckFinished();
}

void TProductionLine::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    CheckFinished();
}

qint64 TProductionLine::Started() const
{
    std::lock_guard lock(m_mutex);
    return m_started;
}

int TProductionLine::Busy() const
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

void TProductionLine::OnAppeared(const TWatchedPort& port)
{
    emit PortAppeared(port);
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        const auto found = m_workers.find(port.Name);
        if (found != m_workers.end()) {
            // Gone and back while its worker still ends: its next worker takes over once it has.
            found->second->Gone = true;
            found->second->Reappeared = port;
            m_wake.notify_all();
            return;
        }
    }
    // A port there when the line starts is polled first: an adapter in a fixture
    // with no module in it yet is no failed unit.
    StartWorker(port, nullptr, m_starting);
}

void TProductionLine::OnGone(const TWatchedPort& port)
{
    emit PortGone(port);
    std::lock_guard lock(m_mutex);
    const auto found = m_workers.find(port.Name);
    if (found == m_workers.end())
        return;
    found->second->Gone = true;
    found->second->Reappeared.reset();
    m_wake.notify_all();
}

void TProductionLine::StartWorker(const TWatchedPort& port, const TWorker* before, bool pollFirst)
{
    std::lock_guard lock(m_mutex);
    auto worker = std::make_unique<TWorker>();
    worker->Port = port;
    worker->PollFirst = pollFirst;
    // Gone and back quickly (a loose contact, a re-plug while a unit ran): the
    // old worker may have taken the module that is there now already.
    if (before && before->Rule.AnyDone()) {
        worker->Rule = before->Rule;
        worker->LastUnit = before->LastUnit;
        worker->Attempt = before->Attempt;
        worker->PollFirst = true;
        // The port went away: as good as an empty fixture, so a module whose unit
        // failed is tried again; the one just done still is not.
        worker->Rule.Silence();
    }
    TWorker* const raw = worker.get();
    m_workers[port.Name] = std::move(worker);
    raw->Thread = std::thread([this, raw] { Work(*raw); });
}

void TProductionLine::WorkerEnded(const QString& name)
{
    std::unique_ptr<TWorker> worker;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_workers.find(name);
        if (found == m_workers.end())
            return;
        worker = std::move(found->second);
        m_workers.erase(found);
    }
    // It has posted this as its last act: the join is immediate.
    worker->Thread.join();
    bool stopping = false;
    {
        std::lock_guard lock(m_mutex);
        stopping = m_stopping;
    }
    if (worker->Reappeared && !stopping)
        StartWorker(*worker->Reappeared, worker.get());
}

qint64 TProductionLine::ReserveUnit(const TWorker& worker, qint64 retrying)
{
    std::lock_guard lock(m_mutex);
    // A port gone meanwhile may be back with another module: its next worker decides.
    if (m_stopping || worker.Gone)
        return 0;
    if (retrying > 0) {
        ++m_running;
        return retrying;
    }
    if (m_plan.Count > 0 && m_started >= m_plan.Count)
        return 0;
    ++m_started;
    ++m_running;
    return m_next++;
}

bool TProductionLine::Wait(TWorker& worker, int ms)
{
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_stopping || worker.Gone; });
    return !m_stopping && !worker.Gone;
}

void TProductionLine::Work(TWorker& worker)
{
    const TWatchedPort port = worker.Port;
    QList<qint32> speeds = m_plan.Speeds;
    TFixtureRule& rule = worker.Rule;
    bool appeared = !worker.PollFirst;
    // Polls go round the speeds (PollSpeed), the last module's most often: the
    // next module may run at another.
    qsizetype poll = 0;
    qint64& lastUnit = worker.LastUnit;
    int& attempt = worker.Attempt;
    bool retry = false;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping || worker.Gone)
                break;
        }
        if (!appeared) {
            // The unit before has ended on a port that stays: wait for the next module.
            TLineOptions options = m_plan.Line;
            options.Baud = PollSpeed(speeds, poll++);
            TModuleLine line;
            if (line.Open(port.Name, options)) {
                if (!Wait(worker, m_plan.PollIntervalMs))
                    break;
                continue;
            }
            const TFixturePoll found = PollFixture(line, options, rule);
            line.Close();
            if (!found.NextUnit) {
                if (!Wait(worker, m_plan.PollIntervalMs))
                    break;
                continue;
            }
            retry = rule.IsRetry(found.LocalAddress);
            // The module answered the poll at this speed: its unit tries it first.
            TakeFirst(speeds, options.Baud);
        }
        appeared = false;
        poll = 0;
        const qint64 unit = ReserveUnit(worker, retry ? lastUnit : 0);
        if (unit == 0)
            break;
        attempt = retry ? attempt + 1 : 1;
        lastUnit = unit;
        retry = false;
        QMetaObject::invokeMethod(this, [this, unit, name = port.Name] { emit UnitStarted(unit, name); },
                                  Qt::QueuedConnection);

        QElapsedTimer clock;
        clock.start();
        TUnitRecord record;
        record.Unit = unit;
        record.Attempt = attempt;
        record.Port = port.Name;
        record.AdapterVendor = port.Vendor;
        record.AdapterModel = port.Model;
        record.AdapterSerial = port.Serial;
        TUnitContext context;
        context.Unit = unit;
        context.Port = port;
        context.Speeds = speeds;
        if (m_transcripts)
            context.Transcript = m_transcripts->For(PortName(port.Name));
        m_job(context, record);
        record.DurationMs = clock.elapsed();
        record.Time = QDateTime::currentDateTimeUtc();
        QString logError;
        if (m_log && !m_log->Append(record, &logError)) {
            // Unrecorded, the unit cannot count as done.
            record.Passed = false;
            record.Error += (record.Error.isEmpty() ? QString() : QStringLiteral("; ")) + QStringLiteral("log: ") + logError;
        }

        rule.UnitDone(record.Module ? record.Module->LocalAddress : QByteArray(), record.Passed);
        if (record.Speed > 0)
            TakeFirst(speeds, record.Speed);
        QMetaObject::invokeMethod(this, [this, record] {
            {
                std::lock_guard lock(m_mutex);
                --m_running;
            }
            ++(record.Passed ? m_passed : m_failed);
            emit UnitEnded(record);
            CheckFinished();
        }, Qt::QueuedConnection);
    }
    QMetaObject::invokeMethod(this, [this, name = port.Name] { WorkerEnded(name); }, Qt::QueuedConnection);
}

void TProductionLine::CheckFinished()
{
    if (m_finished)
        return;
    bool done = false;
    {
        std::lock_guard lock(m_mutex);
        // Every unit of the count has started (a retry is no unit of its own) and ended.
        const bool counted = m_plan.Count > 0 && m_started >= m_plan.Count && m_running == 0;
        done = counted || (m_stopping && m_running == 0);
        if (done)
            m_stopping = true;
    }
    if (!done)
        return;
    m_wake.notify_all();
    m_finished = true;
    emit Finished();
}
