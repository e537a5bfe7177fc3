// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ISerialDevice.h"

// Line settings of a Linux terminal device through the kernel's arbitrary-speed
// interface. The kernel's own terminal header and the C library's <termios.h>
// declare the same names differently, so the kernel one is kept to this unit's
// source file alone.
namespace TermiosLine {

// What the driver holds now, as far as the component cares.
struct Readback {
    qint32 Speed = 0;
    int DataBits = 0;
    int Parity = 0; // 0 none, 1 odd, 2 even, 3 mark, 4 space
    bool TwoStopBits = false;
    bool HardwareFlow = false;
    bool SoftwareFlow = false;
};

// Returns 0 when `fd` is a terminal, otherwise the error number.
int CheckTerminal(int fd);

// Applies the settings as a raw binary line at the exact speed asked for. Returns
// EINVAL when the driver keeps a speed, a character size or a parity other than
// the one asked for.
int Apply(int fd, const SerialLineSettings& line);

// 0 when the driver holds what was asked for, otherwise EINVAL. A speed within
// 2 % counts as the speed asked for.
int CheckReadback(const SerialLineSettings& line, const Readback& readback);

int Read(int fd, Readback& readback);

} // namespace TermiosLine
