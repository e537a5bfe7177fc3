// SPDX-License-Identifier: GPL-3.0-or-later
#include "PortReports.h"

#include "ISerialDevice.h"
#include "TPosixSerialDevice.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

QString PlatformErrorText(int error)
{
    if (const char* text = ::strerrordesc_np(error))
        return QString::fromLatin1(text);
    return QStringLiteral("Unknown error %1").arg(error);
}

QString OpenFailureDetail(const QString& port, int platformError)
{
    const QString first = QStringLiteral("COM Port Opening Failed.\r\n");
    if (port.trimmed().isEmpty())
        return first + QStringLiteral("No COM PORT was chosen: this computer shows no serial port.");

    if (SerialPortHeld(platformError))
        return first + QStringLiteral("This port has already opened by other program.");
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
    case -1:
        return first + QStringLiteral("This port has already opened by other program.");
    default:
        return first + QStringLiteral("The system reported: %1.").arg(PlatformErrorText(platformError));
    }
}

TReport SerialOpenReport(const QString& port, int platformError, const std::optional<TPortHolder>& holder,
                         int failureCode)
{
    TReport report;
    report.Title = QStringLiteral("SERIAL OPEN ERROR");
    if (holder) {
        report.Detail = OpenFailureDetail(port, EBUSY);
        if (!holder->Name.isEmpty())
            report.Detail += QStringLiteral("\r\nHeld by %1, process %2.").arg(holder->Name).arg(holder->Pid);
        else
            report.Detail += QStringLiteral("\r\nHeld by process %1.").arg(holder->Pid);
    } else if (failureCode == EComPort::LineRefused) {
        // The device opened but its driver kept a speed, character size or
        // parity other than the one asked for.
        report.Detail = QStringLiteral("COM Port Opening Failed.\r\n"
                                       "The port does not take these line settings (speed, parity, data bits).");
    } else {
        report.Detail = OpenFailureDetail(port, platformError);
    }
    report.MaintenanceLine = QStringLiteral("Check ") + port + QStringLiteral(" Port and Try Open Again.");
    return report;
}

TReport SerialOpenFailure(const QString& port, int platformError, int failureCode)
{
    std::optional<TPortHolder> holder;
    if (SerialPortHeld(platformError) && !port.trimmed().isEmpty())
        holder = FindPortHolder(TPosixSerialDevice::DevicePath(port));
    return SerialOpenReport(port, platformError, holder, failureCode);
}

TReport PortGoneReport(const QString& port)
{
    return {
        QStringLiteral("SERIAL PORT DISAPPEARED"),
        QStringLiteral("COM Port ") + port
            + QStringLiteral(" has disappeared.\r\nThe adapter was pulled out or the device was removed."),
        QStringLiteral("Plug the Adapter in Again, then SERIAL OPEN."),
    };
}
