// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortDevice.h"
#include "PortHolders.h"

#include <QList>
#include <QString>

// What the serial port dialog knows of one port: its path, which is what OPEN
// uses, and what helps a person recognise it.
struct TPortInfo {
    QString Path;       // "/dev/ttyUSB0"
    QString Adapter;    // vendor and model, "FTDI FT232R USB UART"; empty when unknown
    QString Serial;     // the adapter's serial number, "A10K3X2Q"; empty when unknown
    QString HolderName; // the program that holds the port open; empty when none is known

    bool operator==(const TPortInfo&) const = default;
};

// The port behind a real tty, with what udev's properties tell of the adapter.
// Prefers the names the adapter gives itself over the USB database's longer ones.
TPortInfo PortInfoFrom(const TPortDevice& device);

// One line of the drop-down: the path, then the adapter, its serial number and
// "in use by NAME" where known, joined by dashes:
//   "/dev/ttyUSB0 — FTDI FT232R USB UART — A10K3X2Q — in use by screen"
QString PortEntryText(const TPortInfo& port);

// The part that names the holder: "in use by NAME", or empty when there is none.
QString PortInUseText(const QString& holderName);

// How an entry names a holder: the program's name, or its process id where the
// system does not tell the name; empty when nobody holds the port.
QString HolderName(const std::optional<TPortHolder>& holder);

// The holder of the port at `path` among the computer's processes, as HolderName
// gives it.
QString SystemHolderName(const QString& path);
