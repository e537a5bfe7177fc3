// SPDX-License-Identifier: GPL-3.0-or-later
// radioset-cli: identifies, reads, writes, initialises or searches with many
// modules at once, one port each, from a profile file.

#include "CliOptions.h"
#include "CliOutput.h"
#include "LineRun.h"
#include "PortJob.h"
#include "SignalWatch.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

int UsageError(const QString& message)
{
    std::fprintf(stderr, "radioset-cli: %s\nTry 'radioset-cli --help'.\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    // Before any thread starts, so that every thread leaves them to the watch.
    TSignalWatch::BlockSignals();
    QCoreApplication app(argc, argv);
    const TCommandLine parsed = ParseCommandLine(app.arguments());
    switch (parsed.Action) {
    case TCommandLine::TAction::Help:
        std::fputs(UsageText(), stdout);
        return 0;
    case TCommandLine::TAction::Version:
        std::fputs("radioset-cli " RADIOSET_CLI_VERSION "\n", stdout);
        return 0;
    case TCommandLine::TAction::Stop:
        if (!parsed.Usage) {
            std::fprintf(stderr, "radioset-cli: %s\n", qPrintable(parsed.Error));
            return 2;
        }
        return UsageError(parsed.Error);
    case TCommandLine::TAction::Run:
        break;
    }
    TCliOptions a = parsed.Options;
    for (const QString& warning : a.PortWarnings + a.ProfileWarnings)
        std::fprintf(stderr, "radioset-cli: warning: %s\n", qPrintable(warning));
    TRunRecords records;
    if (const std::optional<QString> error = records.Open(a)) {
        std::fprintf(stderr, "radioset-cli: %s\n", qPrintable(*error));
        return 2;
    }
    if (a.Watch)
        return RunLine(a, records);

    const int count = int(a.Ports.size());
    std::vector<TPortResult> results(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        results[size_t(i)].Port = a.Ports.at(i);
        results[size_t(i)].Name = PortName(a.Ports.at(i));
        results[size_t(i)].Unit = records.FirstUnit() + i;
    }

    // Every output file is opened before any port is touched; each is put in
    // place only when its port has succeeded.
    std::vector<std::unique_ptr<QSaveFile>> outputs(static_cast<size_t>(count));
    if (a.Plan.Command == TCliCommand::Read && !a.Output.isEmpty()) {
        for (int i = 0; i < count; ++i) {
            auto file = std::make_unique<QSaveFile>(OutputPath(a.Output, results[size_t(i)]));
            if (!file->open(QIODevice::WriteOnly))
                return UsageError(QStringLiteral("%1: %2").arg(file->fileName(), file->errorString()));
            outputs[size_t(i)] = std::move(file);
        }
    }

    std::atomic<int> interrupt{NotInterrupted};
    a.Plan.Interrupt = &interrupt;
    TProgressBoard board(a.Ports, a.Quiet, isatty(STDERR_FILENO) != 0);
    const TSignalWatch signalWatch(
        interrupt,
        [&board](int level) {
            board.Notice(level == FinishWrites
                             ? QStringLiteral("radioset-cli: interrupted: no new port and no new write; the writes in "
                                              "progress finish and restart their modules (interrupt again to stop "
                                              "at once)")
                             : QStringLiteral("radioset-cli: interrupted again: stopping at once"));
        },
        [&board] { board.Resized(); });
    std::atomic<int> next{0};
    auto worker = [&] {
        for (int i = next++; i < count; i = next++) {
            TPortResult& result = results[size_t(i)];
            const QString name = PortName(result.Port);
            if (interrupt.load() != NotInterrupted) {
                result.Interrupted = true;
                result.Error = QStringLiteral("INTERRUPTED before it started: nothing sent");
                board.Finished(i, result);
                continue;
            }
            TTrace trace;
            if (a.Plan.Verbose)
                trace = [&board, name](const QString& line) { board.Trace(name, line); };
            board.Started(i);
            RunPortJob(a.Plan, result.Unit, result,
                       [&board, i, &result](const QString& doing, int step, int steps) {
                           board.Update(i, result.Module.Model, doing, step, steps);
                       },
                       trace, records.TranscriptFor(result.Port));
            records.LogPort(a.Plan, result);
            board.Finished(i, result);
        }
    };
    const int jobs = a.Jobs > 0 ? qMin(a.Jobs, count) : count;
    std::vector<std::thread> threads;
    for (int j = 0; j < jobs; ++j)
        threads.emplace_back(worker);
    for (std::thread& t : threads)
        t.join();

    // The outputs, then the table that says how they went.
    QString outputError;
    if (a.Plan.Command == TCliCommand::Read && !a.Output.isEmpty()) {
        for (int i = 0; i < count; ++i) {
            TPortResult& r = results[size_t(i)];
            QSaveFile& file = *outputs[size_t(i)];
            if (!r.Ok) {
                file.cancelWriting();
                continue;
            }
            const QByteArray text =
                a.Json ? QJsonDocument(ResultJson(r, a.Plan)).toJson() : ResultText(r, a.Plan, count > 1);
            CommitOutput(file, text, r);
        }
    } else {
        QByteArray out;
        if (a.Json) {
            QJsonArray array;
            for (const TPortResult& r : results)
                array.append(ResultJson(r, a.Plan));
            out = QJsonDocument(array).toJson();
        } else {
            for (const TPortResult& r : results) {
                if (r.Ok)
                    out += ResultText(r, a.Plan, count > 1);
            }
        }
        errno = 0;
        const bool written = std::fwrite(out.constData(), 1, size_t(out.size()), stdout) == size_t(out.size());
        if (std::fflush(stdout) != 0 || !written || std::ferror(stdout))
            outputError = QStringLiteral("standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno ? errno : EIO)));
    }
    board.Done(results, outputError);

    if (interrupt.load() != NotInterrupted)
        return 130;
    bool allOk = outputError.isEmpty();
    for (const TPortResult& r : results)
        allOk = allOk && r.Ok;
    return allOk ? 0 : 1;
}
