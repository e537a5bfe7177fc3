// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialPortList.h"

#include "PortSource.h"

namespace {

QStringList RealPortPaths(IPortSource& source)
{
    QStringList ports;
    for (const TPortDevice& device : source.Enumerate())
        if (IsRealPort(device))
            ports.append(device.Node);
    ports.sort(Qt::CaseSensitive);
    ports.removeDuplicates();
    return ports;
}

} // namespace

QStringList ListSerialPorts()
{
    return RealPortPaths(*MakeSystemPortSource());
}

QStringList ListSerialPorts(const QString& sysfsRoot, const QString& devRoot)
{
    TSysfsPortSource source(sysfsRoot, devRoot);
    return RealPortPaths(source);
}
