// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"
#include "PortEntry.h"
#include "Transcript.h"
#include "UnitLog.h"

#include <QString>

#include <memory>
#include <optional>

// What a run keeps besides its output: the log of units (--log) and the
// transcripts of the lines (--transcript). Both are opened before any port is
// touched, so that a file that cannot be written stops the run with nothing sent.
class TRunRecords
{
public:
    // The reason to stop (exit status 2), or nothing.
    std::optional<QString> Open(const TCliOptions& options);

    // The number {n} stands for in the first unit: one after the log's last.
    qint64 FirstUnit() const { return m_firstUnit; }
    TUnitLog* Log() { return m_log.IsOpen() ? &m_log : nullptr; }
    TTranscripts* Transcripts() { return m_transcripts.get(); }
    // A port's transcript; empty without --transcript.
    TTranscriptWriter TranscriptFor(const QString& port);

    // Logs the result of a port run without --watch: the record as a unit's,
    // the adapter from the port list. A record that cannot be written fails the port.
    void LogPort(const TJobPlan& plan, TPortResult& result);

private:
    TUnitLog m_log;
    QList<TPortInfo> m_listed;  // the port list at the start, for the adapters
    std::unique_ptr<TTranscripts> m_transcripts;
    qint64 m_firstUnit = 1;
};

// Runs a production line (--watch) until --count units have ended or it is
// interrupted; returns the exit status: 0 no unit failed, 1 one did, 130 a
// second interruption stopped it at once.
int RunLine(const TCliOptions& options, TRunRecords& records);
