// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The texts of every protocol failure the user is shown: a title in capitals, a
// detail of one or two lines and a maintenance line saying what to do. The window
// shows them in its error dialog; the command-line program prints them on one line.

struct TReport
{
    QString Title;
    QString Detail;
    QString MaintenanceLine;

    // "TITLE: detail" with the detail's line breaks turned into ", ".
    QString OneLine() const;
};

// The exchanges whose answers are timed.
enum class TExchange { Connecting, Reading, Writing, Initialising };

// No answer within the time limit; `step` is the read or write step.
TReport NoAnswerReport(TExchange exchange, int step);
// The debug character was answered with something else than "OK".
TReport DebugCharReport();
// An info answer with a wrong item count (or a number that is none).
TReport WrongDataReport(int step);
// A write command answered with something else than "OK".
TReport WriteRefusedReport(int step);
// "AT&F" answered with something else than "OK".
TReport InitRefusedReport();

// The device search ended without its closing "OK", for a program that reports
// it: the module refused the inquiry, or went silent.
TReport SearchRefusedReport();
TReport SearchSilentReport();
