// SPDX-License-Identifier: GPL-3.0-or-later
#include "TermiosLine.h"

// The kernel's definitions, not the C library's: only these carry termios2 and
// BOTHER. Nothing in this file may include <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdlib>

namespace TermiosLine {

namespace {

int GetAttributes(int fd, termios2& tio)
{
    return ioctl(fd, TCGETS2, &tio) == 0 ? 0 : errno;
}

// A driver that cannot run a speed exactly reports the nearest one it can; a
// difference below 2 % is within what a UART receiver tolerates.
bool SpeedAccepted(qint32 asked, qint32 actual)
{
    const qint64 difference = std::llabs(qint64(asked) - qint64(actual));
    return difference * 100 < qint64(asked) * 2;
}

tcflag_t DataBitsFlag(int dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

bool PseudoTerminal(int fd)
{
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    // Unix 98 pseudo-terminal slaves, and the old BSD ones.
    const unsigned int number = major(st.st_rdev);
    return (number >= 136 && number <= 143) || number == 3;
}

} // namespace

int CheckTerminal(int fd)
{
    termios2 tio {};
    return GetAttributes(fd, tio);
}

int Apply(int fd, const SerialLineSettings& line)
{
    if (line.Speed <= 0 || line.DataBits < 5 || line.DataBits > 8)
        return EINVAL;

    termios2 tio {};
    if (const int error = GetAttributes(fd, tio))
        return error;

    // Raw binary line: no translation, no echo, no signals, reads never wait.
    tio.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF
                             | IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
    tio.c_oflag &= ~tcflag_t(OPOST);
    tio.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    // Parity errors are only looked for when checking is asked for; the line
    // then drops nothing but hands the byte on as received.
    if (line.ParityCheck)
        tio.c_iflag |= INPCK;

    tio.c_cflag |= DataBitsFlag(line.DataBits);
    switch (line.Parity) {
    case 1: tio.c_cflag |= PARENB | PARODD; break;
    case 2: tio.c_cflag |= PARENB; break;
    case 3: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 4: tio.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    // Linux knows one or two stop bits. Two is the closer for one and a half:
    // a UART sends 1.5 stop bits for it with 5-bit characters anyway.
    if (line.StopBits != 0)
        tio.c_cflag |= CSTOPB;

    if (line.OutCtsFlow || line.RtsControl == 2)
        tio.c_cflag |= CRTSCTS;
    if (line.XonXoffOut)
        tio.c_iflag |= IXON;
    if (line.XonXoffIn)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = cc_t(line.XonChar);
    tio.c_cc[VSTOP] = cc_t(line.XoffChar);

    // Every speed goes through BOTHER, also those with a B-constant, so the line
    // runs at exactly the number asked for; input speed follows output speed.
    tio.c_cflag &= ~tcflag_t(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = speed_t(line.Speed);
    tio.c_ospeed = speed_t(line.Speed);

    if (ioctl(fd, TCSETS2, &tio) != 0)
        return errno;

    Readback now;
    if (const int error = Read(fd, now))
        return error;
    if (PseudoTerminal(fd)) {
        // A pseudo-terminal has no wire: Linux always keeps it at 8 bits without
        // parity, and the bytes cross unchanged whatever was asked.
        now.DataBits = line.DataBits;
        now.Parity = line.Parity;
    }
    return CheckReadback(line, now);
}

int CheckReadback(const SerialLineSettings& line, const Readback& readback)
{
    // A driver may quietly keep what its hardware cannot do (no mark or space
    // parity, no 5-bit characters); the line would then garble every byte.
    if (!SpeedAccepted(line.Speed, readback.Speed) || readback.DataBits != line.DataBits)
        return EINVAL;
    const int parity = line.Parity >= 0 && line.Parity <= 4 ? line.Parity : 0;
    return readback.Parity == parity ? 0 : EINVAL;
}

int Read(int fd, Readback& readback)
{
    termios2 tio {};
    if (const int error = GetAttributes(fd, tio))
        return error;
    readback.Speed = qint32(tio.c_ospeed);
    switch (tio.c_cflag & CSIZE) {
    case CS5: readback.DataBits = 5; break;
    case CS6: readback.DataBits = 6; break;
    case CS7: readback.DataBits = 7; break;
    default: readback.DataBits = 8; break;
    }
    if (!(tio.c_cflag & PARENB))
        readback.Parity = 0;
    else if (tio.c_cflag & CMSPAR)
        readback.Parity = (tio.c_cflag & PARODD) ? 3 : 4;
    else
        readback.Parity = (tio.c_cflag & PARODD) ? 1 : 2;
    readback.TwoStopBits = (tio.c_cflag & CSTOPB) != 0;
    readback.HardwareFlow = (tio.c_cflag & CRTSCTS) != 0;
    readback.SoftwareFlow = (tio.c_iflag & (IXON | IXOFF)) != 0;
    return 0;
}

} // namespace TermiosLine
