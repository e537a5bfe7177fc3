// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ModuleExchange.h"
#include "ModuleLine.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Finding the speed a module's UART runs at, by trying the line's speeds in
// turn until the module answers its debug character.
//
// A module cannot answer a wake-up it received garbled, so a wrong speed is
// given only as long as a right one would need: the debug character's answer
// at that speed and a margin (ProbeAnswerMs), not the usual 2000 ms. Each try
// begins as OPEN does, with the lone CR and the debug character 200 ms later:
// the CR also ends whatever line a garbled probe left in a module that it woke
// unseen, or that an earlier run left in its configuration mode, so the debug
// character reaches such a module at the start of a line and is answered.

// The speeds of --baud auto, commonest first: 9600, 115200, 38400, 57600, 19200,
// 230400, 4800, 2400, 1200.
QList<qint32> AutoSpeeds();

// "auto", or speeds separated by commas ("9600,115200"): each one the line can
// run at, none twice. Nothing, with `error` set, for anything else.
std::optional<QList<qint32>> ParseSpeeds(const QString& text, QString* error = nullptr);

// How long a try waits for the answer to the debug character at `baud`.
int ProbeAnswerMs(qint32 baud);

struct TSpeedSearch
{
    std::optional<qint32> Speed;  // the speed the module answered at
    QList<qint32> Tried;          // in order, the found one last
    // The handshake's last step at the speed found (its end, or the report of a
    // failure after the module had answered); without a speed, the report
    // naming the speeds tried.
    TExchangeStep Last;
};

// Called before each speed is tried.
using TSpeedTry = std::function<void(qint32 baud)>;

// With the line open: tries each speed of `speeds` in turn and runs the
// handshake to its end at the first one whose module answers the debug
// character. A single speed is tried as a plain run is, with the usual answer
// limit. The line is left at the speed found (at the last one tried when none).
// A run stopped by the line's stop request ends the search there, its last step
// without end and report.
TSpeedSearch FindSpeed(TModuleLine& line, TModuleExchange& exchange, const TLineOptions& options,
                       const QList<qint32>& speeds, const TSpeedTry& trying = {});

// "no answer to the debug character at 9600, 115200 or 1200 Bd"
QString NoAnswerAtAnySpeed(const QList<qint32>& tried);
