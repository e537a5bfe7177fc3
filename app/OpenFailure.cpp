#include "OpenFailure.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

QString OpenFailureDetail(const QString& port, int platformError)
{
    const QString first = QStringLiteral("COM Port Opening Failed.\r\n");
    if (port.trimmed().isEmpty())
        return first + QStringLiteral("No COM PORT was chosen: this computer shows no serial port.");

    switch (platformError) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return first + QStringLiteral("This port does not exist on this computer (is the adapter plugged in?).");
    case EACCES:
    case EPERM: {
        const QString path = port.startsWith(u'/') ? port : QStringLiteral("/dev/") + port;
        const QString group = QFileInfo(path).group();
        if (group.isEmpty() || group == QLatin1String("root"))
            return first + QStringLiteral("Permission denied: this user may not use this port.");
        return first + QStringLiteral("Permission denied: the port belongs to the group '%1'.\r\n"
                                      "Join it (sudo usermod -aG %1 $USER), then log in again.")
                           .arg(group);
    }
    case ENOTTY:
    case EISDIR:
    case ENOTDIR:
        return first + QStringLiteral("This is not a serial port device.");
    case EBUSY:
    case EWOULDBLOCK:
    case -1:
        return first + QStringLiteral("This port has already opened by other program.");
    default:
        return first + QStringLiteral("The system reported: %1.").arg(QString::fromLocal8Bit(std::strerror(platformError)));
    }
}
