// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortHolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace PortHolders {

namespace {

bool ProcessAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    if (::kill(pid_t(pid), 0) == 0)
        return true;
    // Someone else's process: it exists, we may only not signal it.
    return errno == EPERM;
}

// The first process other than this one with a descriptor on `device`.
std::optional<qint64> ProcessWithDevice(dev_t device)
{
    const pid_t self = ::getpid();
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return std::nullopt;
    std::optional<qint64> found;
    while (!found) {
        const dirent* entry = ::readdir(proc);
        if (!entry)
            break;
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self)
            continue;
        const std::string fdDir = std::string("/proc/") + entry->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds)
            continue; // gone meanwhile, or not ours to look at
        while (const dirent* fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.')
                continue;
            // Only descriptors on device nodes are looked at closer: stat follows
            // the link to the open file, and on a network or FUSE file that
            // could wait for a server. Terminals live under /dev.
            const std::string path = fdDir + '/' + fd->d_name;
            char target[16] = {};
            const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
            if (length < 5 || std::strncmp(target, "/dev/", 5) != 0)
                continue;
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device) {
                found = pid;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return found;
}

} // namespace

QStringList DefaultLockDirectories()
{
    return { QStringLiteral("/run/lock"), QStringLiteral("/var/lock") };
}

QStringList LockFileNames(const QString& devicePath)
{
    QStringList names;
    auto add = [&names](const QString& name) {
        const QString file = QStringLiteral("LCK..") + name;
        if (!name.isEmpty() && !names.contains(file))
            names.append(file);
    };
    QStringList paths { devicePath };
    const QString canonical = QFileInfo(devicePath).canonicalFilePath();
    if (!canonical.isEmpty() && canonical != devicePath)
        paths.prepend(canonical);
    for (const QString& path : std::as_const(paths)) {
        if (path.startsWith(QLatin1String("/dev/"))) {
            QString relative = path.mid(5);
            relative.replace(u'/', u'_');
            add(relative);
        }
        add(QFileInfo(path).fileName());
    }
    return names;
}

std::optional<qint64> LiveLockOwner(const QString& lockFile)
{
    QFile file(lockFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = file.read(64);
    qint64 pid = 0;
    bool ok = false;
    if (content.size() == 4 && !content.trimmed().isEmpty()
        && !std::all_of(content.begin(), content.end(), [](char c) { return c == ' ' || c == '\n' || (c >= '0' && c <= '9'); })) {
        qint32 binary = 0;
        std::memcpy(&binary, content.constData(), sizeof binary);
        pid = binary;
        ok = true;
    } else {
        pid = content.trimmed().toLongLong(&ok);
    }
    if (!ok || pid <= 0 || pid == ::getpid() || !ProcessAlive(pid))
        return std::nullopt;
    return pid;
}

QString ProcessName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(comm.readAll().trimmed());
}

std::optional<TPortHolder> FindPortHolder(const QString& devicePath, const QStringList& lockDirectories)
{
    const QByteArray path = QFile::encodeName(devicePath);
    struct stat st {};
    if (!path.isEmpty() && ::stat(path.constData(), &st) == 0 && S_ISCHR(st.st_mode)) {
        if (const auto pid = ProcessWithDevice(st.st_rdev))
            return TPortHolder { *pid, ProcessName(*pid) };
    }
    for (const QString& directory : lockDirectories) {
        for (const QString& name : LockFileNames(devicePath)) {
            if (const auto pid = LiveLockOwner(QDir(directory).filePath(name)))
                return TPortHolder { *pid, ProcessName(*pid) };
        }
    }
    return std::nullopt;
}

} // namespace PortHolders

std::optional<TPortHolder> FindPortHolder(const QString& devicePath)
{
    return PortHolders::FindPortHolder(devicePath, PortHolders::DefaultLockDirectories());
}
