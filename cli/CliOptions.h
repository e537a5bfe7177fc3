// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortJob.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// radioset-cli's command line: its options, what they mean, and every reason
// to stop before any port is touched (exit status 2), so that a test can drive
// each of them without a process.

struct TCliOptions
{
    TJobPlan Plan;
    QStringList Ports;          // absolute, each device once, in the order given
    QStringList PortWarnings;   // names dropped as the same device as another
    QStringList ProfileWarnings; // values the rules change, said once for every port
    QString Output;             // -o, "{port}" still in it
    bool Json = false;
    bool Quiet = false;
    bool Yes = false;           // init on several ports
    int Jobs = 0;               // 0: every port at once
    QString ProfilePath;
    QList<QByteArray> Sets;

    // A production line (--watch): the -p values as given, globs unexpanded
    // (none: every adapter plugged in while it runs), and the units to do (0: until
    // stopped).
    bool Watch = false;
    QStringList Globs;
    qint64 Count = 0;
    QString LogPath;            // --log: JSON Lines, one record per unit
    QString TranscriptPath;     // --transcript, "{port}" still in it
};

struct TCommandLine
{
    enum class TAction { Run, Help, Version, Stop };
    TAction Action = TAction::Run;
    // Stop: why, for standard error; the exit status is 2.
    QString Error;
    // Stop: a usage slip, to be followed by the pointer to --help; a profile's
    // error names its file and line instead.
    bool Usage = true;
    TCliOptions Options;
};

// Parses the arguments (the program's name first, as QCoreApplication gives
// them) with GNU conventions: "-j1", "-qp PORT", "--baud=9600", "--" ending the
// options. For write, also reads the profile and checks the form of every
// value against the rules that hold for any module.
TCommandLine ParseCommandLine(const QStringList& arguments);

// The --help text.
const char* UsageText();

// The ports one -p stands for, each as an absolute path (see --help).
QStringList ExpandPort(const QString& port);
