// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineRun.h"

#include "CliOutput.h"
#include "LineBoard.h"
#include "PortWatch.h"
#include "ProductionLine.h"
#include "SignalWatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

#include <unistd.h>

#include <cstdio>

namespace {

// The folder a file of this name goes to exists and takes new files.
std::optional<QString> FolderTakesFiles(const QString& pattern, const QString& option)
{
    const QFileInfo folder(QFileInfo(pattern).absolutePath());
    if (!folder.isDir() || !folder.isWritable())
        return QStringLiteral("%1 %2: cannot write in %3").arg(option, pattern, folder.filePath());
    return std::nullopt;
}

void Say(const QString& line)
{
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}

// A unit's reading, into its own -o file; a file that cannot be written fails the unit.
void SaveReading(const TCliOptions& a, const TJobPlan& plan, TPortResult& result)
{
    QSaveFile file(OutputPath(a.Output, result));
    if (file.open(QIODevice::WriteOnly))
        CommitOutput(file, ResultText(result, plan, false), result);
    else
        FailOutput(file, result);
}

} // namespace

std::optional<QString> TRunRecords::Open(const TCliOptions& a)
{
    if (!a.LogPath.isEmpty()) {
        QString error;
        if (!m_log.Open(a.LogPath, &error))
            return QStringLiteral("--log: %1").arg(error);
        m_firstUnit = LastUnitInLog(a.LogPath) + 1;
        if (!a.Watch) {
            // The adapters of the ports, for their records.
            const TPortWatcher ports(MakeSystemPortSource());
            m_listed = ports.Ports();
        }
    }
    if (!a.TranscriptPath.isEmpty()) {
        m_transcripts = std::make_unique<TTranscripts>(a.TranscriptPath);
        if (a.TranscriptPath.contains(QStringLiteral("{port}"))) {
            if (auto error = FolderTakesFiles(a.TranscriptPath, QStringLiteral("--transcript")))
                return error;
        } else {
            QString error;
            if (!m_transcripts->For(QString(), &error))
                return QStringLiteral("--transcript: %1").arg(error);
        }
    }
    if (a.Watch && !a.Output.isEmpty()) {
        if (auto error = FolderTakesFiles(a.Output, QStringLiteral("-o")))
            return error;
    }
    return std::nullopt;
}

TTranscriptWriter TRunRecords::TranscriptFor(const QString& port)
{
    return m_transcripts ? m_transcripts->For(PortName(port)) : TTranscriptWriter();
}

void TRunRecords::LogPort(const TJobPlan& plan, TPortResult& result)
{
    if (!m_log.IsOpen())
        return;
    TUnitRecord record;
    record.Time = QDateTime::currentDateTimeUtc();
    record.Unit = result.Unit;
    record.Port = result.Port;
    const TWatchedPort port = DescribePort(result.Port, ResolvePortPath(result.Port), m_listed);
    record.AdapterVendor = port.Vendor;
    record.AdapterModel = port.Model;
    record.AdapterSerial = port.Serial;
    FillUnitRecord(result, plan, record);
    record.DurationMs = result.Milliseconds;
    QString error;
    if (!m_log.Append(record, &error)) {
        result.Ok = false;
        result.Error += (result.Error.isEmpty() ? QString() : QStringLiteral("; "))
                        + QStringLiteral("OUTPUT ERROR: log: ") + error;
    }
}

int RunLine(const TCliOptions& a, TRunRecords& records)
{
    // The signals' count, and what the units see of it: the first signal only
    // stops new units, so that the units in progress end whole; the second
    // stops them at once.
    std::atomic<int> raised{NotInterrupted};
    std::atomic<int> units{NotInterrupted};
    TJobPlan plan = a.Plan;
    plan.Interrupt = &units;

    TLinePlan linePlan;
    linePlan.Globs = a.Globs;
    linePlan.Count = a.Count;
    linePlan.FirstUnit = records.FirstUnit();
    linePlan.Line = plan.Line;
    linePlan.Speeds = plan.Speeds.isEmpty() ? QList<qint32>{plan.Line.Baud} : plan.Speeds;
    const bool searching = linePlan.Speeds.size() > 1;

    // Set below, before the line starts: what a unit's thread has to say goes
    // through the board on this thread, in order.
    std::function<void(const QString&)> notice;
    const TUnitJob job = [&a, &plan, searching, &notice](const TUnitContext& context, TUnitRecord& record) {
        TJobPlan unit = plan;
        // The speeds in the order the line gives them: the port's last module's first.
        unit.Line.Baud = context.Speeds.value(0, plan.Line.Baud);
        unit.Speeds = searching ? context.Speeds : QList<qint32>{};
        TPortResult result;
        result.Port = context.Port.Name;
        TTrace trace;
        if (plan.Verbose)
            trace = [name = PortName(result.Port), &notice](const QString& line) { notice(name + QStringLiteral(": ") + line); };
        RunPortJob(unit, context.Unit, result, [](const QString&, int, int) {}, trace, context.Transcript);
        if (result.Ok && plan.Command == TCliCommand::Read)
            SaveReading(a, unit, result);
        if (!a.Quiet) {
            for (const QString& warning : result.Warnings)
                notice(QStringLiteral("%1: warning: %2").arg(PortName(result.Port), warning));
        }
        FillUnitRecord(result, unit, record);
    };

    TProductionLine line(linePlan, MakeSystemPortSource(), job, records.Log(), records.Transcripts());
    TLineBoard board(stdout, !a.Quiet && isatty(STDOUT_FILENO) != 0);
    QElapsedTimer clock;
    clock.start();
    const auto counts = [&line, &clock] {
        return TLineCounts{line.Passed() + line.Failed(), line.Passed(), line.Failed(), line.Busy(),
                           double(clock.elapsed()) / 1000.0};
    };
    notice = [&line, &board, &counts](const QString& text) {
        QMetaObject::invokeMethod(&line, [&board, &counts, text] { board.Notice(text, counts()); }, Qt::QueuedConnection);
    };
    QObject::connect(&line, &TProductionLine::UnitEnded, &line, [&](const TUnitRecord& record) {
        if (a.Quiet && record.Passed)
            return;
        board.UnitEnded(record, PortName(record.Port), counts());
    });
    QObject::connect(&line, &TProductionLine::UnitStarted, &line, [&] { board.Status(counts()); });
    QTimer status;
    status.setInterval(1000);
    QObject::connect(&status, &QTimer::timeout, &line, [&] {
        if (line.Busy() > 0)
            board.Status(counts());
    });
    QObject::connect(&line, &TProductionLine::Finished, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);

    const TSignalWatch watch(raised, [&line, &units, &notice](int level) {
        if (level == FinishWrites) {
            notice(QStringLiteral("radioset-cli: interrupted: no new unit; the units in progress finish (interrupt "
                                  "again to stop at once)"));
            QMetaObject::invokeMethod(&line, [&line] { line.Stop(); }, Qt::QueuedConnection);
        } else {
            units.store(StopAtOnce);
            notice(QStringLiteral("radioset-cli: interrupted again: stopping at once"));
        }
    });

    if (!a.Quiet) {
        const QString ports = a.Globs.isEmpty() ? QStringLiteral("every serial adapter plugged in from now on")
                                                : a.Globs.join(QStringLiteral(", "));
        Say(QStringLiteral("radioset-cli: watching %1; the next unit is %2%3; Ctrl-C ends the line")
                .arg(ports)
                .arg(linePlan.FirstUnit)
                .arg(a.Count > 0 ? QStringLiteral(", %1 units to do").arg(a.Count) : QString()));
    }
    line.Start();
    status.start();
    QCoreApplication::exec();
    status.stop();
    board.Finish(counts());
    if (units.load() == StopAtOnce)
        return 130;
    return LineExitStatus(counts());
}
