// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The process's resident memory now (VmRSS), in KiB; -1 when the system does
// not say. For the fault tests and the soak run, which watch it grow or not.

#include <QByteArray>
#include <QFile>
#include <QString>

inline qint64 ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}
