// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortSource.h"

#include <QList>
#include <QString>

#include <memory>

// The ports of the virtual modules (radioset-sim) running for this user. Each
// running module keeps a file in the announcement folder, named after its port,
// with "key=value" lines (path, type, model, pid), and holds an exclusive flock()
// on it while it runs. A file whose lock is free was left by a module that was
// killed and is ignored: the lock goes with the process, so a process id taken
// by another program later cannot make it look alive.

// The property that marks a tty as a virtual module's; its value is the type and
// model it plays ("current QN7201").
inline constexpr char VirtualModuleProperty[] = "RADIOSET_VIRTUAL_MODULE";

// The adapter name a virtual module's entry shows.
QString VirtualModuleAdapterName();

struct TAnnouncedPort {
    QString Path;  // "/dev/pts/3"
    QString Type;  // "current", "legacy-fast", "legacy"
    QString Model; // "QN7201"; empty for a module that cannot name its model
    qint64 Pid = 0;

    bool operator==(const TAnnouncedPort&) const = default;
};

// $XDG_RUNTIME_DIR/radioset/ports, or /tmp/radioset-UID/ports where
// XDG_RUNTIME_DIR is not set, as radioset-sim has it.
QString AnnouncementFolder();

// The running modules announced in `folder`, sorted by path. A folder that is
// missing, or that another user could write to, gives none.
QList<TAnnouncedPort> ReadAnnouncedPorts(const QString& folder = AnnouncementFolder());

// "current QN7201"; "current (no model name)" for a module that cannot name it.
QString VirtualModuleDescription(const TAnnouncedPort& port);

// The virtual modules as ttys: each with its device path as node and the
// description under VirtualModuleProperty. It watches the folder itself, and
// looks again twice a second for a module killed without a word.
std::unique_ptr<IPortSource> MakeAnnouncedPortSource(const QString& folder = AnnouncementFolder());
