// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortWatch.h"
#include "Transcript.h"
#include "UnitLog.h"

#include <QObject>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

// A production line: module after module, as ports appear and as modules are
// pressed into a fixture, each configured once, numbered and recorded.
//
// Each watched port has a worker thread of its own. A port that appears starts
// a unit at once (adapter per module); one that is there when the line starts is
// polled first, so that a fixture still empty then is no failed unit. When the unit has ended the worker polls
// the port (PollFixture) until another module answers there, which is the next
// unit (fixture), or until the port goes. The polls go round the speeds, the
// one the last module answered at every other time. Units on several ports run at once.
// A module whose unit failed, taken out of the fixture and pressed in again, is
// another attempt at that unit: its number again, the attempt counted on. A
// port that goes and comes back while its worker still runs (a loose contact, a
// re-plug during a unit) is polled first: the module there may be the one just done.
// Unit numbers are handed out in the order units start, from FirstUnit on. The
// record of each unit is in the log before the unit is reported as ended.

// The speed of a fixture's poll number `poll` (from 0): every other poll at the
// first speed (the last module's: a batch of modules mostly runs at one), the
// others round the rest, so that the next module is found within two polls when
// it runs at the last one's speed, and within twice the list otherwise.
qint32 PollSpeed(const QList<qint32>& speeds, qsizetype poll);

struct TUnitContext
{
    qint64 Unit = 0;
    TWatchedPort Port;
    // The speeds to try, the one the port's last module answered at first.
    QList<qint32> Speeds;
    TTranscriptWriter Transcript;
};

// Configures the module of one unit on the port and fills the record: command,
// result, error, speed, module, profile, values, verified. The line fills the
// time, unit, port, adapter and duration. Runs on the port's worker thread.
using TUnitJob = std::function<void(const TUnitContext& context, TUnitRecord& record)>;

struct TLinePlan
{
    QStringList Globs;              // empty: every adapter the system reports
    qint64 Count = 0;               // units to start; 0: until stopped
    qint64 FirstUnit = 1;
    TLineOptions Line;              // debug character, parity, stop bits
    QList<qint32> Speeds{9600};
    int PollIntervalMs = 300;       // between two polls of a fixture
};

class TProductionLine final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TProductionLine)

public:
    // `log` and `transcripts` may be null; they must outlive the line.
    TProductionLine(TLinePlan plan, std::unique_ptr<IPortSource> source, TUnitJob job, TUnitLog* log = nullptr,
                    TTranscripts* transcripts = nullptr, QObject* parent = nullptr);
    // Stops every worker and waits for them: a unit in progress finishes first.
    ~TProductionLine() override;

    void Start();
    // No unit starts any more; those in progress finish, then Finished.
    void Stop();

    qint64 Started() const;
    qint64 Passed() const { return m_passed; }
    qint64 Failed() const { return m_failed; }
    // Ports with a unit in progress.
    int Busy() const;

signals:
    void UnitStarted(qint64 unit, const QString& port);
    void UnitEnded(const TUnitRecord& record);
    void PortAppeared(const TWatchedPort& port);
    void PortGone(const TWatchedPort& port);
    // Count units have ended, or the line was stopped and the last unit in
    // progress has ended.
    void Finished();

private:
    struct TWorker;

    void OnAppeared(const TWatchedPort& port);
    void OnGone(const TWatchedPort& port);
    // `before`: the port's last worker, when the port came back before it ended;
    // `pollFirst`: a port there at the start.
    void StartWorker(const TWatchedPort& port, const TWorker* before = nullptr, bool pollFirst = false);
    void WorkerEnded(const QString& name);
    void Work(TWorker& worker);
    // The next unit's number, or 0 when no unit may start any more. A retry
    // keeps its unit's number and is not counted as a unit of its own.
    qint64 ReserveUnit(const TWorker& worker, qint64 retrying = 0);
    // Sleeps up to `ms`; false when the worker must end.
    bool Wait(TWorker& worker, int ms);
    void CheckFinished();

    TLinePlan m_plan;
    TUnitJob m_job;
    TUnitLog* m_log;
    TTranscripts* m_transcripts;
    TPortWatch m_watch;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    qint64 m_next = 1;
    qint64 m_started = 0;
    int m_running = 0;              // units in progress
    std::map<QString, std::unique_ptr<TWorker>> m_workers;

    // UI thread only.
    bool m_starting = false;
    qint64 m_passed = 0;
    qint64 m_failed = 0;
    bool m_finished = false;
};
