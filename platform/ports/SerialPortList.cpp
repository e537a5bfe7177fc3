// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialPortList.h"

#include "PortSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>

namespace {

// A terminal device, told by its device number without opening it (opening a
// serial adapter moves its modem lines): pseudo-terminals by their major
// numbers, the rest by their class in sysfs.
bool IsTerminalDevice(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned major = ::major(st.st_rdev);
    if (major >= 136 && major <= 143)
        return true;
    const QString subsystem = QFileInfo(QStringLiteral("/sys/dev/char/%1:%2/subsystem")
                                            .arg(major)
                                            .arg(::minor(st.st_rdev)))
                                  .symLinkTarget();
    return subsystem.endsWith(QStringLiteral("/tty"));
}

// A name of the user's own outside /dev that leads to a terminal.
bool IsOwnTerminalName(const QString& path)
{
    if (path.startsWith(QStringLiteral("/dev/")))
        return false;
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || st.st_uid != ::geteuid())
        return false;
    return IsTerminalDevice(path);
}

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
        if (ports.contains(ResolvePortPath(path)) || IsOwnTerminalName(path))
            found.append(path);
    }
    found.removeDuplicates();
    std::sort(found.begin(), found.end(), NaturalLess);
    return found;
}

bool NaturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            // By value: without leading zeros, the longer run is the larger.
            QStringView x = QStringView(a).mid(i, ei - i);
            QStringView y = QStringView(b).mid(j, ej - j);
            while (x.size() > 1 && x.front() == u'0')
                x = x.mid(1);
            while (y.size() > 1 && y.front() == u'0')
                y = y.mid(1);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int c = x.compare(y); c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    // Equal by value ("x01" and "x1"): the plain text decides, so that the order is total.
    return a < b;
}
