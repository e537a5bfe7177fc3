// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortJob.h"
#include "UnitLog.h"

#include <QJsonObject>
#include <QSaveFile>
#include <QStringList>

#include <chrono>
#include <mutex>
#include <vector>

// What the program prints while the ports run and after: progress on standard
// error, each port's errors and warnings as they happen, and a table at the end.
// On a terminal the progress is a board redrawn in place: one row per port, cut
// to the terminal's width, or, with more ports than the terminal has rows, a
// compact view (the counts, and the ports busy or failed). Otherwise one line
// per port and state it reaches (connected, read, written, verified), never one
// per step.
class TProgressBoard
{
public:
    TProgressBoard(const QStringList& ports, bool quiet, bool terminal);

    void Started(int index);
    void Update(int index, const QByteArray& model, const QString& doing, int step, int steps);
    void Finished(int index, const TPortResult& result);
    void Trace(const QString& port, const QString& line);
    // A line of the program's own (an interruption, say), shown even when quiet.
    void Notice(const QString& line);
    // The terminal changed its size.
    void Resized();
    // The table, then a line for a failed output, then the count of each outcome.
    void Done(const std::vector<TPortResult>& results, const QString& outputError = {});

    // The board's lines for a terminal of this size (a width or height of 0:
    // unknown, taken as 80 by 24).
    QStringList Lines(int width, int height) const;

private:
    struct TRow
    {
        QString Port;
        QByteArray Model;
        QString Doing = QStringLiteral("waiting");
        int Step = 0;
        int Steps = 0;
        bool Finished = false;
        bool Failed = false;
    };

    QString RowText(const TRow& row) const;
    // Called under the lock: the terminal's size, asked again after a resize.
    void AskSize();
    // Called under the lock: a line for a pipe when the row leaves a stage.
    void Reached(TRow& row, const QString& doing);
    void Redraw(bool force);
    void Paint(const QString* message);
    void Print(const QString& line);

    std::mutex m_lock;
    std::vector<TRow> m_rows;
    bool m_quiet;
    bool m_terminal;
    bool m_drawn = false;
    int m_drawnLines = 0;
    int m_width = 0;
    int m_height = 0;
    std::chrono::steady_clock::time_point m_lastDraw;
};

// "15 ok, 1 FAILED (ttyUSB11)": each outcome with its count, the ports that did
// not succeed by name.
QString Summary(const std::vector<TPortResult>& results, const QString& outputError = {});
// What a port's table row says of it: "ok", "FAILED: ...", or "INTERRUPTED ...".
QString Outcome(const TPortResult& result);

QJsonObject ResultJson(const TPortResult& result, const TJobPlan& plan);
// The text a successful port puts on standard output (or into its -o file).
QByteArray ResultText(const TPortResult& result, const TJobPlan& plan, bool severalPorts);
// -o's name for a port: "{port}" its base name ('/' as '-'), "{n}" its unit,
// "{local}" and "{local4}" its module's local address and its last four characters.
QString OutputPath(const QString& pattern, const TPortResult& result);

// Puts `text` into the open output file of a port that succeeded; a file that
// cannot be written fails the port with "OUTPUT ERROR: FILE: why".
void CommitOutput(QSaveFile& file, const QByteArray& text, TPortResult& result);
// Fails the port with the output file's error.
void FailOutput(const QSaveFile& file, TPortResult& result);

// "write", "read", ...
QString CommandName(TCliCommand command);
// What the log holds of a port's result: command, result, error, speed, module,
// profile, the values written, verified. The caller fills time, unit, port,
// adapter and duration.
void FillUnitRecord(const TPortResult& result, const TJobPlan& plan, TUnitRecord& record);
