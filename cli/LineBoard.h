// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "UnitLog.h"

#include <QString>

#include <cstdio>

// What a production line shows while it runs. On a terminal: one line per unit
// as it ends, wide and plain, read from a step away (unit number, port, local
// address, PASS or FAIL, time), a bell on FAIL, and a status line with the
// counts kept at the bottom. Elsewhere plain lines, each starting with the
// port's name, and no status line.

struct TLineCounts
{
    qint64 Units = 0;   // ended
    qint64 Passed = 0;
    qint64 Failed = 0;
    int Busy = 0;       // units in progress
    double Seconds = 0; // since the line started
};

// "  UNIT 42    ttyUSB0    00A0C1D2E3F4    PASS    2.3 s at 9600 Bd"
QString UnitBoardLine(const TUnitRecord& record, const QString& portName);
// "ttyUSB0: unit 42 PASS 00A0C1D2E3F4 2.3 s at 9600 Bd" (and ": error" on FAIL)
QString UnitPlainLine(const TUnitRecord& record, const QString& portName);
// "units 12 | passed 11 | failed 1 | in progress 2 | 412 units/h"
QString LineStatus(const TLineCounts& counts);
// "12 units, 11 passed, 1 failed, 412 units per hour"
QString LineSummary(const TLineCounts& counts);
// 0 when no unit failed, 1 otherwise.
int LineExitStatus(const TLineCounts& counts);

class TLineBoard
{
public:
    TLineBoard(std::FILE* out, bool terminal);

    void UnitEnded(const TUnitRecord& record, const QString& portName, const TLineCounts& counts);
    void Status(const TLineCounts& counts);
    // A line of the program's own (an interruption, a warning) on standard
    // error, with the status line moved out of its way and drawn again below it.
    void Notice(const QString& text, const TLineCounts& counts);
    // Clears the status line and prints the summary.
    void Finish(const TLineCounts& counts);

private:
    void Put(const QString& text);

    std::FILE* m_out;
    bool m_terminal;
    bool m_statusShown = false;
};
