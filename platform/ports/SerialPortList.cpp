// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialPortList.h"

#include "PortSource.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

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

QStringList PortsMatching(const QString& pattern)
{
    return PortsMatching(pattern, ListSerialPorts());
}

QStringList PortsMatching(const QString& pattern, const QStringList& ports)
{
    // "*" and "?" stop at a "/", as in a shell.
    const QRegularExpression wildcard(QRegularExpression::wildcardToRegularExpression(pattern));
    QStringList found;
    for (const QString& port : ports)
        if (wildcard.match(port).hasMatch())
            found.append(port);
    // Names on disk, where only the last part of the pattern holds wildcards.
    const QFileInfo info(pattern);
    const QDir dir = info.dir();
    for (const QString& name : dir.entryList({info.fileName()}, QDir::System | QDir::Files | QDir::NoDotAndDotDot | QDir::CaseSensitive)) {
        const QString path = dir.filePath(name);
        if (ports.contains(ResolvePortPath(path)))
            found.append(path);
    }
    found.sort(Qt::CaseSensitive);
    found.removeDuplicates();
    return found;
}
