// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// Who else has a serial port. On Linux opening a terminal device is never
// exclusive by itself: a program that neither locks nor asks for exclusive mode
// (a terminal, a script, a modem manager) shares the line and takes part of the
// module's answers. So before a port is taken, every process is looked at.

struct TPortHolder {
    qint64 Pid = 0;
    QString Name; // the program's name as the system shows it, empty if unknown
};

// Another process that has the character device behind `devicePath` open
// (symbolic links such as /dev/serial/by-id/... are followed; devices are
// compared by number, not by name), or whose UUCP lock file for the port is
// still alive. Never the calling process itself. Processes of other users are
// seen only as far as the system shows them (root sees all).
std::optional<TPortHolder> FindPortHolder(const QString& devicePath);

namespace PortHolders {

// The directories where UUCP lock files are looked for.
QStringList DefaultLockDirectories();

// FindPortHolder with the lock files looked for in `lockDirectories`.
std::optional<TPortHolder> FindPortHolder(const QString& devicePath, const QStringList& lockDirectories);

// The lock file names of a device, e.g. "LCK..ttyUSB0"; for a device in a
// subdirectory of /dev both "LCK..pts_3" and "LCK..3" are asked about.
QStringList LockFileNames(const QString& devicePath);

// The process that owns a UUCP lock file, if it is alive and not this process.
// The file holds the process id in text (any width, spaces allowed) or, in the
// old binary form, as a 4-byte integer.
std::optional<qint64> LiveLockOwner(const QString& lockFile);

// The name of a running process, empty if the system does not tell.
QString ProcessName(qint64 pid);

} // namespace PortHolders
