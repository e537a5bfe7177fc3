// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The thirty fields of a parameter set as a test sees them: every field by
// "Group.Field" with integers in decimal, and a filler that gives each field a
// distinct value. Shared by the protocol tests and the answer fuzzer.
#include "PropertyUnit.h"

#include <QByteArray>
#include <QMap>

using FieldTexts = QMap<QByteArray, QByteArray>;

// Every field of a set, by "Group.Field", integers in decimal: lets a test state
// which fields an answer changes and check that no other one moved.
inline FieldTexts AllFields(const TParameters& p)
{
    const auto n = [](qint32 v) { return QByteArray::number(v); };
    return {
        {"Bluetooth.ClassOfDevice", p.Bluetooth.ClassOfDevice},
        {"Bluetooth.PowerSave", n(p.Bluetooth.PowerSave)},
        {"Bluetooth.RemoteBDAddr", p.Bluetooth.RemoteBDAddr},
        {"Bluetooth.Role", n(p.Bluetooth.Role)},
        {"Bluetooth.DeviceName", p.Bluetooth.DeviceName},
        {"Bluetooth.SupportProfile", n(p.Bluetooth.SupportProfile)},
        {"Bluetooth.LinkTimeout", n(p.Bluetooth.LinkTimeout)},
        {"Bluetooth.InquiryAccessCodeFirst", p.Bluetooth.InquiryAccessCodeFirst},
        {"Bluetooth.InquiryAccessCodeSecond", p.Bluetooth.InquiryAccessCodeSecond},
        {"Bluetooth.ServiceName", p.Bluetooth.ServiceName},
        {"Uart.BaudRate", p.Uart.BaudRate},
        {"Uart.ParityBit", p.Uart.ParityBit},
        {"Uart.StopBit", p.Uart.StopBit},
        {"Uart.HWFlowControl", n(p.Uart.HWFlowControl)},
        {"MultiComm.NumberOfDevice", n(p.MultiComm.NumberOfDevice)},
        {"MultiComm.OperationMode", n(p.MultiComm.OperationMode)},
        {"MultiComm.RxBufferSize", n(p.MultiComm.RxBufferSize)},
        {"Local.BTSpec", p.Local.BTSpec},
        {"Local.ModelName", p.Local.ModelName},
        {"Local.LocalBDAddr", p.Local.LocalBDAddr},
        {"Local.SWVersion", p.Local.SWVersion},
        {"System.ConnectionMode", n(p.System.ConnectionMode)},
        {"System.DebugChar", p.System.DebugChar},
        {"System.EscapeChar", p.System.EscapeChar},
        {"System.StatusMessage", n(p.System.StatusMessage)},
        {"System.ConnectionDelayTime", n(p.System.ConnectionDelayTime)},
        {"System.StreamSwitchingFast", n(p.System.StreamSwitchingFast)},
        {"Security.Encry", n(p.Security.Encry)},
        {"Security.PinCode", p.Security.PinCode},
        {"Security.Auth", n(p.Security.Auth)},
    };
}

// Distinct values in every field, different per set, none of them a value the
// answers below store.
inline void FillAll(TParameters& p, const QByteArray& tag, qint32 base)
{
    p.Bluetooth.ClassOfDevice = tag + "cod";
    p.Bluetooth.PowerSave = base + 1;
    p.Bluetooth.RemoteBDAddr = tag + "addr";
    p.Bluetooth.Role = base + 2;
    p.Bluetooth.DeviceName = tag + "name";
    p.Bluetooth.SupportProfile = base + 3;
    p.Bluetooth.LinkTimeout = base + 4;
    p.Bluetooth.InquiryAccessCodeFirst = tag + "iac1";
    p.Bluetooth.InquiryAccessCodeSecond = tag + "iac2";
    p.Bluetooth.ServiceName = tag + "sn";
    p.Uart.BaudRate = tag + "baud";
    p.Uart.ParityBit = tag + "par";
    p.Uart.StopBit = tag + "stop";
    p.Uart.HWFlowControl = base + 5;
    p.MultiComm.NumberOfDevice = base + 6;
    p.MultiComm.OperationMode = base + 7;
    p.MultiComm.RxBufferSize = base + 8;
    p.Local.BTSpec = tag + "btver";
    p.Local.ModelName = tag + "model";
    p.Local.LocalBDAddr = tag + "local";
    p.Local.SWVersion = tag + "sw";
    p.System.ConnectionMode = base + 9;
    p.System.DebugChar = tag + "dbg";
    p.System.EscapeChar = tag + "esc";
    p.System.StatusMessage = base + 10;
    p.System.ConnectionDelayTime = base + 11;
    p.System.StreamSwitchingFast = base + 12;
    p.Security.Encry = base + 13;
    p.Security.PinCode = tag + "pin";
    p.Security.Auth = base + 14;
}
