// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <termios.h>

namespace radiosim {

// What one character costs on an asynchronous serial line set up by these
// settings: a start bit, the data bits, the parity bit if any and the stop bits,
// each at the line's bit time. Zero when the line has no speed (B0).
struct LineCharacter {
    int bits = 0;         // per character, start bit included
    long bitsPerSecond = 0;
    std::chrono::nanoseconds time{0};
};

LineCharacter CharacterOnLine(const termios& settings);
// The same with the speed given in bits per second, for a line whose speed was
// set by number rather than by one of the B constants.
LineCharacter CharacterOnLine(const termios& settings, long bitsPerSecond);

}  // namespace radiosim
