// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The serial ports of this computer as device paths that the serial port component
// opens ("/dev/ttyUSB0", "/dev/ttyS0"), sorted as plain text, so "/dev/ttyS10" comes
// before "/dev/ttyS2".
//
// Found through udev, or sysfs where udev is missing (PortSource.h): no port is
// opened, because opening one raises DTR and RTS and would disturb a port that
// another program holds. Listed are USB adapters
// (ttyUSB, ttyACM), on-board UARTs that really exist, and any other tty backed by a
// device (ttyAMA, ttymxc, rfcomm, ...), and the pseudo-terminals of the virtual
// modules running for this user (AnnouncedPorts.h). The kernel keeps placeholders
// for UARTs that are not fitted (ttyS with port type 0); those are left out.
QStringList ListSerialPorts();

// The ports of ListSerialPorts() that a shell-style pattern ("/dev/ttyUSB*",
// "/dev/pts/*") stands for, in natural order (ttyUSB2 before ttyUSB10): a listed
// port whose path matches, or a name on disk that matches and leads to a listed
// port (a link such as /dev/serial/by-id/usb-FTDI_...). Below /dev, consoles,
// other pseudo-terminals and UARTs that are not fitted match nothing. Outside
// /dev a name is the user's own doing: one that belongs to the user and leads
// to a terminal device (a link to a pseudo-terminal made by hand, say) matches
// too.
QStringList PortsMatching(const QString& pattern);
QStringList PortsMatching(const QString& pattern, const QStringList& ports);

// Names compared as a person counts: runs of digits by their value, so that
// "ttyUSB2" comes before "ttyUSB10"; the rest character by character.
bool NaturalLess(const QString& a, const QString& b);

// The same from the sysfs walk alone, over another sysfs root (holding class/tty)
// and device folder, so that a made-up tree can stand in for the machine's.
QStringList ListSerialPorts(const QString& sysfsRoot, const QString& devRoot);
