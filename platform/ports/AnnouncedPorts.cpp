// SPDX-License-Identifier: GPL-3.0-or-later
#include "AnnouncedPorts.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

namespace {

// How often the folder is looked at again while it is watched: a module killed
// with SIGKILL leaves its file behind, and only its lock tells that it is gone.
constexpr int RecheckInterval = 500;

// An announcement is a few short lines; anything longer is not one.
constexpr qint64 MaxAnnouncementSize = 4096;
constexpr qsizetype MaxFieldLength = 64;

// Only a folder that no other user can write to is believed: in a shared /tmp
// someone else could have made it first and filled it.
bool IsOwnFolder(const QString& path)
{
    struct stat st{};
    const QByteArray native = QFile::encodeName(path);
    return ::lstat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()
        && (st.st_mode & 022) == 0;
}

// Printable text only, blanks folded, cut to a length a list entry can show.
QString CleanField(const QByteArray& value)
{
    QString text = QString::fromUtf8(value);
    text.removeIf([](QChar c) { return c.category() == QChar::Other_Control || c.category() == QChar::Other_Format; });
    return text.simplified().left(MaxFieldLength);
}

// The announcement in `file` when the module that made it still runs.
std::optional<TAnnouncedPort> ReadAnnouncement(const QString& file)
{
    const QByteArray native = QFile::encodeName(file);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > MaxAnnouncementSize) {
        ::close(fd);
        return std::nullopt;
    }
    // A shared lock that can be had means the module's exclusive one is gone
    // (closing drops the lock just taken).
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0 || errno != EWOULDBLOCK) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray content(MaxAnnouncementSize, '\0');
    qsizetype filled = 0;
    while (filled < content.size()) {
        const ssize_t n = ::read(fd, content.data() + filled, static_cast<size_t>(content.size() - filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        filled += n;
    }
    ::close(fd);
    content.truncate(filled);

    TAnnouncedPort found;
    for (const QByteArray& line : content.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1);
        if (key == "path")
            found.Path = QFile::decodeName(value);
        else if (key == "type")
            found.Type = CleanField(value);
        else if (key == "model")
            found.Model = CleanField(value);
        else if (key == "pid")
            found.Pid = value.toLongLong();
    }
    // A module offers a device; one whose device has gone offers nothing.
    if (!found.Path.startsWith(u'/') || found.Type.isEmpty() || !QFileInfo::exists(found.Path))
        return std::nullopt;
    return found;
}

TPortDevice DeviceFrom(const TAnnouncedPort& port)
{
    TPortDevice device;
    device.SysName = port.Path.startsWith(QStringLiteral("/dev/")) ? port.Path.mid(5) : port.Path;
    device.Node = port.Path;
    device.HasDevice = true;
    device.HasDriver = true;
    device.Properties.insert(QByteArray(VirtualModuleProperty), VirtualModuleDescription(port).toUtf8());
    return device;
}

class TAnnouncedPortSource final : public IPortSource
{
public:
    explicit TAnnouncedPortSource(QString folder) : m_folder(std::move(folder)) {}

    ~TAnnouncedPortSource() override = default;

    QList<TPortDevice> Enumerate() override
    {
        QList<TPortDevice> devices;
        for (const TAnnouncedPort& port : ReadAnnouncedPorts(m_folder))
            devices.append(DeviceFrom(port));
        return devices;
    }

    bool Watch(std::function<void(const TPortEvent&)> onEvent) override
    {
        m_onEvent = std::move(onEvent);
        for (const TPortDevice& device : Enumerate())
            m_known.insert(device.Node, device);
        // The folder is watched where it exists; the timer also finds it once a
        // first module has made it.
        m_files = std::make_unique<QFileSystemWatcher>();
        QObject::connect(m_files.get(), &QFileSystemWatcher::directoryChanged, m_files.get(), [this] { Check(); });
        m_recheck = std::make_unique<QTimer>();
        m_recheck->setInterval(RecheckInterval);
        QObject::connect(m_recheck.get(), &QTimer::timeout, m_recheck.get(), [this] { Check(); });
        m_recheck->start();
        WatchFolder();
        return true;
    }

private:
    void WatchFolder()
    {
        if (m_files->directories().isEmpty() && QFileInfo(m_folder).isDir())
            m_files->addPath(m_folder);
    }

    void Check()
    {
        WatchFolder();
        QHash<QString, TPortDevice> now;
        for (const TPortDevice& device : Enumerate())
            now.insert(device.Node, device);
        const QHash<QString, TPortDevice> before = std::exchange(m_known, now);
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (!now.contains(it.key())) {
                TPortEvent event{TPortEvent::Removed, {}};
                event.Device.Node = it.key();
                m_onEvent(event);
            }
        }
        for (auto it = now.cbegin(); it != now.cend(); ++it) {
            const auto old = before.constFind(it.key());
            if (old == before.cend() || old->Properties != it->Properties)
                m_onEvent({TPortEvent::Added, *it});
        }
    }

    QString m_folder;
    std::function<void(const TPortEvent&)> m_onEvent;
    QHash<QString, TPortDevice> m_known;
    std::unique_ptr<QFileSystemWatcher> m_files;
    std::unique_ptr<QTimer> m_recheck;
};

} // namespace

QString VirtualModuleAdapterName()
{
    return QStringLiteral("RadioSet virtual module");
}

QString AnnouncementFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(u'/'))
        return runtime + QStringLiteral("/radioset/ports");
    return QStringLiteral("/tmp/radioset-%1/ports").arg(::geteuid());
}

QList<TAnnouncedPort> ReadAnnouncedPorts(const QString& folder)
{
    QList<TAnnouncedPort> ports;
    if (!IsOwnFolder(folder) || !IsOwnFolder(QFileInfo(folder).path()))
        return ports;
    const QDir dir(folder);
    // Hidden files are the folder's lock and announcements still being written.
    for (const QString& name : dir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        if (std::optional<TAnnouncedPort> port = ReadAnnouncement(dir.filePath(name)))
            ports.append(*port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const TAnnouncedPort& a, const TAnnouncedPort& b) { return a.Path.compare(b.Path) < 0; });
    return ports;
}

QString VirtualModuleDescription(const TAnnouncedPort& port)
{
    return port.Type + (port.Model.isEmpty() ? QStringLiteral(" (no model name)") : u' ' + port.Model);
}

std::unique_ptr<IPortSource> MakeAnnouncedPortSource(const QString& folder)
{
    return std::make_unique<TAnnouncedPortSource>(folder);
}
