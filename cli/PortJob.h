// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FieldRules.h"
#include "ModuleLine.h"
#include "Profile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

// The work on one port, start to end, on the calling thread: open, wake the
// module, identify it, then read, write, initialise or search, and close. Each
// port has its own line, frame assembler and parameter sets; nothing is shared.

enum class TCliCommand { Identify, Read, Write, Init, Search };

struct TJobPlan
{
    TCliCommand Command = TCliCommand::Identify;
    TLineOptions Line;
    TProfile Profile;   // write: the settings to change
    bool Verify = false;
    bool DryRun = false;
    bool Verbose = false;
    QString ProductList; // for the models' OPMODE / NUMBEROFDEVICE
};

struct TPortResult
{
    QString Port;       // as given
    QString Name;       // base name, used in every report
    bool Ok = false;
    QString Error;      // one line, the window's report where there is one
    QStringList Warnings;
    TModuleInfo Module;
    bool Identified = false;
    std::shared_ptr<TParameters> Read;     // what was read (read, write)
    std::shared_ptr<TParameters> Written;  // what was written (write)
    QList<QByteArray> Commands;            // dry run: the commands write would send
    QList<TFoundDevice> Found;             // search
    qint64 Milliseconds = 0;
};

// What the job tells about its progress: what it does and how far it is.
using TProgress = std::function<void(const QString& doing, int step, int steps)>;
// Extra lines for --verbose: every command and answer.
using TTrace = std::function<void(const QString& line)>;

void RunPortJob(const TJobPlan& plan, int number, TPortResult& result, const TProgress& progress,
                const TTrace& trace);

// The name of a port in reports: "/dev/ttyUSB3" -> "ttyUSB3", "/dev/pts/4" -> "pts/4".
QString PortName(const QString& port);
