// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PortSource.h"

#include <QFileInfo>

#include <memory>

// A port source that a test fills: devices it "has", and events it sends when
// the test plugs or pulls one. The test keeps a pointer; the watcher owns it.
class TFakePortSource final : public IPortSource
{
public:
    QList<TPortDevice> Devices;
    bool CanWatch = true;
    int Enumerations = 0;

    QList<TPortDevice> Enumerate() override
    {
        ++Enumerations;
        return Devices;
    }

    bool Watch(std::function<void(const TPortEvent&)> onEvent) override
    {
        if (!CanWatch)
            return false;
        m_onEvent = std::move(onEvent);
        return true;
    }

    bool Watched() const { return static_cast<bool>(m_onEvent); }

    void Plug(const TPortDevice& device)
    {
        Devices.append(device);
        if (m_onEvent)
            m_onEvent({TPortEvent::Added, device});
    }

    void Pull(const QString& node)
    {
        TPortDevice gone;
        for (qsizetype i = 0; i < Devices.size(); ++i)
            if (Devices[i].Node == node)
                gone = Devices.takeAt(i--);
        gone.Node = node;
        // A removal carries little more than the node.
        gone.Properties.clear();
        if (m_onEvent)
            m_onEvent({TPortEvent::Removed, gone});
    }

private:
    std::function<void(const TPortEvent&)> m_onEvent;
};

// A USB adapter as udev describes it; an empty vendor leaves out every property.
inline TPortDevice UsbAdapter(const QString& name, const QByteArray& vendorEnc = "FTDI",
                              const QByteArray& modelEnc = "FT232R\\x20USB\\x20UART",
                              const QByteArray& serial = "A10K3X2Q")
{
    TPortDevice device;
    device.SysName = name;
    device.Node = QStringLiteral("/dev/") + name;
    device.HasDevice = true;
    device.HasDriver = true;
    if (!vendorEnc.isEmpty()) {
        device.Properties.insert("ID_VENDOR_ENC", vendorEnc);
        device.Properties.insert("ID_MODEL_ENC", modelEnc);
        device.Properties.insert("ID_SERIAL_SHORT", serial);
    }
    return device;
}
