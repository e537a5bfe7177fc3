// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortDevice.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

// Where the ttys of the computer come from, and how their coming and going is
// learnt. The system's sources are udev and, where udev is missing, sysfs; a test
// hands in its own.
class IPortSource
{
public:
    IPortSource() = default;
    virtual ~IPortSource() = default;
    IPortSource(const IPortSource&) = delete;
    IPortSource& operator=(const IPortSource&) = delete;

    // Every tty known now, real ports or not (IsRealPort decides).
    virtual QList<TPortDevice> Enumerate() = 0;

    // Starts reporting ttys that come and go to `onEvent`, on the calling thread,
    // until the source is destroyed. False when this source cannot tell; the caller
    // then enumerates again from time to time.
    virtual bool Watch(std::function<void(const TPortEvent&)> onEvent) = 0;
};

// The hand-written walk of class/tty under a sysfs root; nodes are looked for in
// `devRoot`. Knows nothing of adapters' names and cannot watch.
class TSysfsPortSource final : public IPortSource
{
public:
    TSysfsPortSource(QString sysfsRoot = QStringLiteral("/sys"), QString devRoot = QStringLiteral("/dev"));

    QList<TPortDevice> Enumerate() override;
    bool Watch(std::function<void(const TPortEvent&)> onEvent) override;

private:
    QString m_sysfsRoot;
    QString m_devRoot;
};

// udev's view of the ttys, with the adapters' properties; null when this build
// has no libudev or udev cannot be used here. It watches only where the udev
// daemon runs: without it no events are sent.
std::unique_ptr<IPortSource> MakeUdevPortSource();

// The computer's ports: udev where its daemon runs and finds any, the sysfs
// walk otherwise (a container without udev, a build without libudev); and the
// virtual modules running for this user (AnnouncedPorts.h).
std::unique_ptr<IPortSource> MakeSystemPortSource();

// Resolves a port name typed by the user to the device it stands for: a link such
// as /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3X2Q-if00-port0 becomes
// /dev/ttyUSB0. A name that is no link, or a link to nothing, is returned as given.
QString ResolvePortPath(const QString& name);

// How a report names the port: as typed, followed by the device in brackets when
// the name was a link ("/dev/serial/by-id/usb-FTDI_... (/dev/ttyUSB0)").
QString PortReportName(const QString& typed, const QString& device);
