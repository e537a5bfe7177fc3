// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FieldRules.h"
#include "ModuleLine.h"
#include "Profile.h"
#include "Transcript.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// The work on one port, start to end, on the calling thread: open, wake the
// module, identify it, then read, write, initialise or search, and close. Each
// port has its own line, frame assembler and parameter sets; nothing is shared.

enum class TCliCommand { Identify, Read, Write, Init, Search };

// How far the program has been interrupted. The whole program shares one level;
// every job looks at it between two commands.
enum TInterruptLevel : int {
    NotInterrupted = 0,
    // The first SIGINT or SIGTERM: no new port, no new write; a write in
    // progress finishes and restarts its module; a reading stops.
    FinishWrites = 1,
    // The second: stop at once, between two commands, also within a write.
    StopAtOnce = 2,
};

struct TJobPlan
{
    TCliCommand Command = TCliCommand::Identify;
    TLineOptions Line;
    // The speeds to try in turn until the module answers (--baud auto or a
    // list); empty: Line.Baud alone, as a plain run.
    QList<qint32> Speeds;
    TProfile Profile;   // write: the settings to change
    bool Verify = false;
    bool DryRun = false;
    bool Verbose = false;
    QString ProductList; // for the models' OPMODE / NUMBEROFDEVICE
    QString ProfilePath;       // write: the profile's file, for the log
    QByteArray ProfileSha256;  // and its SHA-256 in hex
    // The program's interruption level (TInterruptLevel); none when null.
    const std::atomic<int>* Interrupt = nullptr;
};

// How far a write came.
struct TWriteProgress
{
    bool Started = false;   // the first write command went out
    int Commands = 0;       // in the module type's write sequence
    int Acknowledged = 0;   // acknowledged with "OK", from the first on
    QByteArray Failed;      // the command refused, unanswered or never sent, without its CR
    bool Restarted = false; // "ATZ" went out after the write
    bool Complete() const { return Started && Acknowledged == Commands; }
};

struct TPortResult
{
    QString Port;       // as given
    QString Name;       // base name, used in every report
    qint64 Unit = 0;    // what {n} stood for
    bool Ok = false;
    bool Started = false;      // the job began on its port
    bool Interrupted = false;  // stopped by the program's interruption
    QString Error;      // one line, the window's report where there is one
    QStringList Warnings;
    TModuleInfo Module;
    bool Identified = false;
    qint32 Speed = 0;          // the line speed the module answered at; 0 when none did
    bool SpeedSearched = false; // more than one speed was tried
    // Write: each setting the profile names ("SECTION.KEY") with the value sent,
    // templates filled in.
    QList<QPair<QByteArray, QByteArray>> Values;
    std::optional<bool> Verified;          // write --verify, once the read-back was compared
    std::shared_ptr<TParameters> Read;     // what was read (read, write)
    std::shared_ptr<TParameters> Written;  // what the write sends (write)
    // Write: what the module holds: what was read, with the values of every
    // acknowledged command over it; never a value the module did not take.
    std::shared_ptr<TParameters> Held;
    QList<TFieldId> WrittenFields;         // the settings of the acknowledged commands
    TWriteProgress Writing;
    QList<QByteArray> Commands;            // dry run: the commands write would send
    // Dry run: the settings the write would change, as the pages show them.
    struct TChange
    {
        TFieldId Id;
        QByteArray From;
        QByteArray To;
    };
    QList<TChange> Changes;
    QList<TFoundDevice> Found;             // search
    qint64 Milliseconds = 0;
};

// What the job tells about its progress: what it does and how far it is.
using TProgress = std::function<void(const QString& doing, int step, int steps)>;
// Extra lines for --verbose: every command and answer.
using TTrace = std::function<void(const QString& line)>;

// `number` is what {n} stands for. Every byte on the line goes to `transcript`
// when it is set.
void RunPortJob(const TJobPlan& plan, qint64 number, TPortResult& result, const TProgress& progress,
                const TTrace& trace, const TTranscriptWriter& transcript = {});

// The settings a write command of `step` (0..21) carries.
QList<TFieldId> WriteStepFields(int step);
// Copies the settings of write step `step` from `from` to `to`.
void TakeWriteStep(int step, const TParameters& from, TParameters& to);

// The ports, each device once: two names are the same device when they lead to
// the same device number (a link and its target, /dev/serial/by-id/... and
// /dev/ttyUSB0). The first name given is kept; `warnings` gets one line for
// each name dropped, naming both. A name that leads nowhere is kept as given.
QStringList DistinctPorts(const QStringList& ports, QStringList& warnings);

// The name of a port in reports: "/dev/ttyUSB3" -> "ttyUSB3", "/dev/pts/4" -> "pts/4".
QString PortName(const QString& port);
