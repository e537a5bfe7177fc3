#include "SerialPortList.h"

#include <QDir>
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

bool IsRealPort(const QString& ttyFolder, const QString& name)
{
    // Consoles, pseudo-terminals and other virtual ttys have no device behind them.
    if (!QFileInfo::exists(ttyFolder + QStringLiteral("/device")))
        return false;

    // serial_core publishes the UART type; 0 means no UART answered at that address.
    // USB adapters have no such attribute and are kept.
    const QString typePath = ttyFolder + QStringLiteral("/type");
    if (QFileInfo::exists(typePath) && ReadAttribute(typePath) == QByteArrayLiteral("0"))
        return false;

    // The 8250 driver registers every ttyS it has room for; a placeholder that no
    // driver has bound is not a port either.
    if (name.startsWith(u"ttyS") && !QFileInfo::exists(ttyFolder + QStringLiteral("/device/driver")))
        return false;

    return true;
}

} // namespace

QStringList ListSerialPorts()
{
    return ListSerialPorts(QStringLiteral("/sys"), QStringLiteral("/dev"));
}

QStringList ListSerialPorts(const QString& sysfsRoot, const QString& devRoot)
{
    const QDir ttyClass(sysfsRoot + QStringLiteral("/class/tty"));
    QStringList ports;
    // Entries are symbolic links to the device folders; they count as folders here.
    const QStringList names = ttyClass.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString& name : names) {
        if (!IsRealPort(ttyClass.filePath(name), name))
            continue;
        const QString node = devRoot + u'/' + name;
        // A device without a node (no udev, or a container) cannot be opened by path.
        if (!QFileInfo::exists(node))
            continue;
        ports.append(node);
    }
    ports.sort(Qt::CaseSensitive);
    ports.removeDuplicates();
    return ports;
}
