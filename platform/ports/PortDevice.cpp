// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortDevice.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Reads a small sysfs attribute; empty when it cannot be read.
QByteArray ReadAttribute(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64).trimmed();
}

} // namespace

void ReadSysfsAttributes(const QString& ttyFolder, TPortDevice& device)
{
    device.HasDevice = QFileInfo::exists(ttyFolder + QStringLiteral("/device"));
    device.HasDriver = QFileInfo::exists(ttyFolder + QStringLiteral("/device/driver"));
    device.UartType = ReadAttribute(ttyFolder + QStringLiteral("/type"));
}

bool IsRealPort(const TPortDevice& device)
{
    if (device.Node.isEmpty())
        return false;
    // Consoles, pseudo-terminals and other virtual ttys have no device behind them.
    if (!device.HasDevice)
        return false;
    // serial_core publishes the UART type; 0 means no UART answered at that address.
    // USB adapters have no such attribute and are kept.
    if (device.UartType == QByteArrayLiteral("0"))
        return false;
    // The 8250 driver registers every ttyS it has room for; a placeholder that no
    // driver has bound is not a port either.
    if (device.SysName.startsWith(u"ttyS") && !device.HasDriver)
        return false;
    return true;
}
