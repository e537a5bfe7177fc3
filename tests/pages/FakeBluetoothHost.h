// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BluetoothUnit.h"

#include <QString>
#include <QStringList>

// Stands in for the main window: records every request of the page, in order.
class FakeBluetoothHost final : public TBluetoothPageHost
{
public:
    bool Connected = true;
    QStringList Calls;

    bool PortConnected() const override { return Connected; }
    void SendToModule(const QByteArray& text) override { Calls << QStringLiteral("send ") + QString::fromLatin1(text); }
    void SetCommMode(qint32 mode) override { Calls << QStringLiteral("mode %1").arg(mode); }
    void SetServiceNameRequested(qint32 requested) override { Calls << QStringLiteral("requested %1").arg(requested); }
    void StartDeviceSearch() override { Calls << QStringLiteral("search"); }
};
