// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

// One complete copy of the module's settings. Text fields are single-byte strings
// exactly as the module sent them; flags and list choices are plain integers.

class TBluetoothParam
{
public:
    QByteArray ClassOfDevice;
    qint32 PowerSave = 0;
    QByteArray RemoteBDAddr;
    qint32 Role = 0;
    QByteArray DeviceName;
    qint32 SupportProfile = 0;
    qint32 LinkTimeout = 0;
    QByteArray InquiryAccessCodeFirst;
    QByteArray InquiryAccessCodeSecond;
    QByteArray ServiceName;
};

class TUartParam
{
public:
    QByteArray BaudRate;
    QByteArray ParityBit;
    QByteArray StopBit;
    qint32 HWFlowControl = 0;
};

class TMultiCommParam
{
public:
    qint32 NumberOfDevice = 0;
    qint32 OperationMode = 0;
    qint32 RxBufferSize = 0;
};

class TLocalParam
{
public:
    QByteArray BTSpec;
    QByteArray ModelName;
    QByteArray LocalBDAddr;
    QByteArray SWVersion;
};

class TSystemParam
{
public:
    qint32 ConnectionMode = 0;
    QByteArray DebugChar;
    QByteArray EscapeChar;
    qint32 StatusMessage = 0;
    qint32 ConnectionDelayTime = 0;
    qint32 StreamSwitchingFast = 0;
};

class TSecurityParam
{
public:
    qint32 Encry = 0;
    QByteArray PinCode;
    qint32 Auth = 0;
};

// Holds the six groups. As a base it is built before the public references below,
// in the order Local, Bluetooth, Security, System, Uart, MultiComm.
class TParameterGroups
{
protected:
    TLocalParam m_local;
    TBluetoothParam m_bluetooth;
    TSecurityParam m_security;
    TSystemParam m_system;
    TUartParam m_uart;
    TMultiCommParam m_multiComm;
};

class TParameters : private TParameterGroups
{
public:
    TParameters() = default;
    TParameters(const TParameters&) = delete;
    TParameters& operator=(const TParameters&) = delete;

    // The groups are never replaced: pages keep references to them.
    TBluetoothParam& Bluetooth = m_bluetooth;
    TUartParam& Uart = m_uart;
    TMultiCommParam& MultiComm = m_multiComm;
    TLocalParam& Local = m_local;
    TSystemParam& System = m_system;
    TSecurityParam& Security = m_security;

    // Empties every text and zeroes every integer.
    void Clear();

    // The copy behind the main window's RestoreReadParameters: `source` over this set, all but Bluetooth.ServiceName and
    // System.StreamSwitchingFast: those two are changed on the pages by exchanges
    // of their own and survive a return to the values read.
    void CopyReadValues(const TParameters& source);
};
