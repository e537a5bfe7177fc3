// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// A tty as the device manager describes it, before we decide whether it is a
// serial port. Filled from sysfs alone, or from udev, which adds the properties
// of the adapter (ID_VENDOR_ENC, ID_MODEL_ENC, ID_SERIAL_SHORT, DEVLINKS, ...).
struct TPortDevice {
    QString SysName;     // "ttyUSB0"
    QString Node;        // "/dev/ttyUSB0"; empty when the device has no node
    bool HasDevice = false; // a device stands behind the tty (not a console or pseudo-terminal)
    bool HasDriver = false; // that device has a driver bound
    QByteArray UartType;    // serial_core's UART type attribute; empty when there is none
    QHash<QByteArray, QByteArray> Properties;
};

// A tty that came or went while we were watching.
struct TPortEvent {
    enum Kind { Added, Removed };
    Kind Action = Added;
    TPortDevice Device; // for Removed, only Node need be set
};

// Whether the tty is a port that can carry a module: a device with a node behind
// it, and for on-board UARTs one that the kernel found fitted.
bool IsRealPort(const TPortDevice& device);

// Reads what sysfs says about the tty in `ttyFolder` (a class/tty entry or the
// device folder it links to) into HasDevice, HasDriver and UartType.
void ReadSysfsAttributes(const QString& ttyFolder, TPortDevice& device);
