// SPDX-License-Identifier: GPL-3.0-or-later
#include "PropertyUnit.h"

void TParameters::Clear()
{
    Local = TLocalParam{};
    Bluetooth = TBluetoothParam{};
    Security = TSecurityParam{};
    System = TSystemParam{};
    Uart = TUartParam{};
    MultiComm = TMultiCommParam{};
}

void TParameters::CopyReadValues(const TParameters& source)
{
    const QByteArray serviceName = Bluetooth.ServiceName;
    const qint32 streamSwitchingFast = System.StreamSwitchingFast;

    Local = source.Local;
    Bluetooth = source.Bluetooth;
    Security = source.Security;
    System = source.System;
    Uart = source.Uart;
    MultiComm = source.MultiComm;

    Bluetooth.ServiceName = serviceName;
    System.StreamSwitchingFast = streamSwitchingFast;
}
