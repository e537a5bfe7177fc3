// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineTime.h"

namespace radiosim {

namespace {

long BitsPerSecond(speed_t speed)
{
    switch (speed) {
    case B50: return 50;
    case B75: return 75;
    case B110: return 110;
    case B134: return 134;
    case B150: return 150;
    case B200: return 200;
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B1800: return 1800;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B500000: return 500000;
    case B576000: return 576000;
    case B921600: return 921600;
    case B1000000: return 1000000;
    default: return 0;
    }
}

int DataBits(tcflag_t cflag)
{
    switch (cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
    }
}

}  // namespace

LineCharacter CharacterOnLine(const termios& settings)
{
    // The tool sets the speed it sends at; the module answers at the same one.
    return CharacterOnLine(settings, BitsPerSecond(cfgetospeed(&settings)));
}

LineCharacter CharacterOnLine(const termios& settings, long bitsPerSecond)
{
    LineCharacter c;
    c.bitsPerSecond = bitsPerSecond > 0 ? bitsPerSecond : 0;
    c.bits = 1 + DataBits(settings.c_cflag) + ((settings.c_cflag & PARENB) ? 1 : 0)
             + ((settings.c_cflag & CSTOPB) ? 2 : 1);
    if (c.bitsPerSecond > 0)
        c.time = std::chrono::nanoseconds(c.bits * 1000000000LL / c.bitsPerSecond);
    return c;
}

}  // namespace radiosim
