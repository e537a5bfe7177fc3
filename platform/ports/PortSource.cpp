// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortSource.h"

#include "AnnouncedPorts.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#ifdef RADIOSET_HAVE_UDEV
#include <libudev.h>
#endif

// ---------------------------------------------------------------- sysfs

TSysfsPortSource::TSysfsPortSource(QString sysfsRoot, QString devRoot)
    : m_sysfsRoot(std::move(sysfsRoot)), m_devRoot(std::move(devRoot))
{
}

QList<TPortDevice> TSysfsPortSource::Enumerate()
{
    const QDir ttyClass(m_sysfsRoot + QStringLiteral("/class/tty"));
    QList<TPortDevice> devices;
    // Entries are symbolic links to the device folders; they count as folders here.
    const QStringList names = ttyClass.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString& name : names) {
        TPortDevice device;
        device.SysName = name;
        ReadSysfsAttributes(ttyClass.filePath(name), device);
        const QString node = m_devRoot + u'/' + name;
        // A device without a node (no udev, or a container) cannot be opened by path.
        if (QFileInfo::exists(node))
            device.Node = node;
        devices.append(device);
    }
    return devices;
}

bool TSysfsPortSource::Watch(std::function<void(const TPortEvent&)>)
{
    return false;
}

// ---------------------------------------------------------------- udev

namespace {

// The udev daemon keeps its control socket here while it runs. Without it udev
// has no properties to add and sends no events: its view is the sysfs walk's,
// only slower.
bool UdevDaemonRuns()
{
    return QFileInfo::exists(QStringLiteral("/run/udev/control"));
}

} // namespace

#ifdef RADIOSET_HAVE_UDEV
namespace {

struct TUdevUnref {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T> using TUdevPtr = std::unique_ptr<T, TUdevUnref>;

TPortDevice FromUdev(udev_device* dev)
{
    TPortDevice device;
    device.SysName = QString::fromUtf8(udev_device_get_sysname(dev));
    if (const char* node = udev_device_get_devnode(dev); node && QFileInfo::exists(QString::fromUtf8(node)))
        device.Node = QString::fromUtf8(node);
    if (const char* syspath = udev_device_get_syspath(dev))
        ReadSysfsAttributes(QString::fromUtf8(syspath), device);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(dev))
    {
        const char* value = udev_list_entry_get_value(entry);
        device.Properties.insert(QByteArray(udev_list_entry_get_name(entry)), QByteArray(value ? value : ""));
    }
    return device;
}

class TUdevPortSource final : public IPortSource
{
public:
    explicit TUdevPortSource(TUdevPtr<udev> context) : m_udev(std::move(context)) {}

    ~TUdevPortSource() override
    {
        // The notifier goes before the socket it listens on.
        m_notifier.reset();
        m_monitor.reset();
    }

    QList<TPortDevice> Enumerate() override
    {
        QList<TPortDevice> devices;
        TUdevPtr<udev_enumerate> scan(udev_enumerate_new(m_udev.get()));
        if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "tty") < 0
            || udev_enumerate_scan_devices(scan.get()) < 0)
            return devices;
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get()))
        {
            TUdevPtr<udev_device> dev(udev_device_new_from_syspath(m_udev.get(), udev_list_entry_get_name(entry)));
            if (dev)
                devices.append(FromUdev(dev.get()));
        }
        return devices;
    }

    bool Watch(std::function<void(const TPortEvent&)> onEvent) override
    {
        // Without the daemon nothing is ever sent on udev's channel, and a device
        // announced by the kernel alone may not have its node yet.
        if (!UdevDaemonRuns())
            return false;
        TUdevPtr<udev_monitor> monitor(udev_monitor_new_from_netlink(m_udev.get(), "udev"));
        if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "tty", nullptr) < 0
            || udev_monitor_enable_receiving(monitor.get()) < 0)
            return false;
        const int fd = udev_monitor_get_fd(monitor.get());
        if (fd < 0)
            return false;
        m_monitor = std::move(monitor);
        m_onEvent = std::move(onEvent);
        m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { Receive(); });
        return true;
    }

private:
    void Receive()
    {
        // The socket does not block: take everything that has arrived.
        while (TUdevPtr<udev_device> dev{udev_monitor_receive_device(m_monitor.get())}) {
            const QByteArray action(udev_device_get_action(dev.get()));
            TPortEvent event;
            if (action == "remove") {
                event.Action = TPortEvent::Removed;
                event.Device.SysName = QString::fromUtf8(udev_device_get_sysname(dev.get()));
                if (const char* node = udev_device_get_devnode(dev.get()))
                    event.Device.Node = QString::fromUtf8(node);
            } else if (action == "add" || action == "change") {
                event.Action = TPortEvent::Added;
                event.Device = FromUdev(dev.get());
            } else {
                continue;
            }
            m_onEvent(event);
        }
    }

    TUdevPtr<udev> m_udev;
    TUdevPtr<udev_monitor> m_monitor;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void(const TPortEvent&)> m_onEvent;
};

} // namespace
#endif

std::unique_ptr<IPortSource> MakeUdevPortSource()
{
#ifdef RADIOSET_HAVE_UDEV
    TUdevPtr<udev> context(udev_new());
    if (context)
        return std::make_unique<TUdevPortSource>(std::move(context));
#endif
    return nullptr;
}

// ---------------------------------------------------------------- the system's

namespace {

class TSystemPortSource final : public IPortSource
{
public:
    // Where the daemon does not run, the sysfs walk is used alone: it is repeated
    // twice a second while the dialog is open, and udev's enumeration costs more.
    TSystemPortSource()
        : m_udev(UdevDaemonRuns() ? MakeUdevPortSource() : nullptr), m_announced(MakeAnnouncedPortSource())
    {
    }

    QList<TPortDevice> Enumerate() override
    {
        QList<TPortDevice> devices = Hardware();
        devices += m_announced->Enumerate();
        return devices;
    }

    // Either both tell what comes and goes, or the caller walks both again.
    bool Watch(std::function<void(const TPortEvent&)> onEvent) override
    {
        if (!m_udev || !m_udev->Watch(onEvent))
            return false;
        return m_announced->Watch(std::move(onEvent));
    }

private:
    QList<TPortDevice> Hardware()
    {
        if (m_udev) {
            QList<TPortDevice> devices = m_udev->Enumerate();
            for (const TPortDevice& device : std::as_const(devices))
                if (IsRealPort(device))
                    return devices;
        }
        return m_sysfs.Enumerate();
    }

    std::unique_ptr<IPortSource> m_udev;
    TSysfsPortSource m_sysfs;
    std::unique_ptr<IPortSource> m_announced;
};

} // namespace

std::unique_ptr<IPortSource> MakeSystemPortSource()
{
    return std::make_unique<TSystemPortSource>();
}

QString ResolvePortPath(const QString& name)
{
    // Only full paths: a bare name is the component's to look up under /dev.
    if (!name.startsWith(u'/'))
        return name;
    const QFileInfo info(name);
    if (!info.isSymLink())
        return name;
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? name : target;
}

QString PortReportName(const QString& typed, const QString& device)
{
    if (device.isEmpty() || typed == device)
        return typed;
    return typed + QStringLiteral(" (") + device + u')';
}
