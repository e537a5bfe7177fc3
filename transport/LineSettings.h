// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CPort.h"

#include <QString>

// The line to the module as a person names it: the texts of the serial port
// dialog, or radioset-cli's --baud, --parity, --stop and --debug-char. One
// reading of them for every program, so that a text means the same line in each.
struct TLineTexts {
    QString Speed;      // bits per second: "9600", "230400"
    QString Parity;     // "None", "Even", "Odd" ("Mark", "Space"), any case
    QString StopBits;   // "1", "1.5", "2"
    QString DebugChar;  // the module's debug character: one or two hexadecimal digits
};

// The line settings the texts give, with the defaults of the serial port dialog.
struct TLineSettings {
    qint32 Speed = 9600;
    TParityBits Parity = prNone;
    TStopBits StopBits = sbOneStopBit;
    quint8 DebugChar = 0x1E;

    bool operator==(const TLineSettings&) const = default;
};

// The texts that could not be read; the setting of each keeps its default.
struct TLineTextFaults {
    bool Speed = false;           // not a speed the port names (110 to 256000, and 230400)
    bool Parity = false;
    bool StopBits = false;
    bool DebugCharEmpty = false;
    bool DebugChar = false;       // not one or two hexadecimal digits (0-9, a-f, A-F)

    bool Any() const { return Speed || Parity || StopBits || DebugCharEmpty || DebugChar; }
    bool operator==(const TLineTextFaults&) const = default;
};

struct TLineReading {
    TLineSettings Settings;
    TLineTextFaults Faults;
};

// Reads the texts. The debug character is one byte, so it takes one or two
// digits: a longer text is refused, not cut to its last byte. The window keeps
// the defaults for a speed, parity or stop bits it does not know, as its dialog
// lets a person type any text there, and refuses a faulty debug character;
// radioset-cli refuses any fault before it opens a port.
TLineReading ReadLineTexts(const TLineTexts& texts);

// Hands the settings to a port whose line is closed: a speed that has a
// TBaudRate name as that name, any other as the custom speed; eight data bits.
void ApplyLineSettings(TCustomComPort& port, const TLineSettings& settings);
