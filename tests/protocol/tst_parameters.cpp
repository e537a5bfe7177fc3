// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter set: clearing it and copying what was read.
#include "FieldTexts.h"
#include "PropertyUnit.h"

#include <QTest>


class TestParameters : public QObject
{
    Q_OBJECT

private slots:
    void clearEmptiesEveryTextAndZeroesEveryInteger()
    {
        TParameters p;
        FillAll(p, "x", 100);
        p.Clear();
        QCOMPARE(p.Bluetooth.ClassOfDevice, QByteArray());
        QCOMPARE(p.Bluetooth.DeviceName, QByteArray());
        QCOMPARE(p.Bluetooth.ServiceName, QByteArray());
        QCOMPARE(p.Bluetooth.InquiryAccessCodeFirst, QByteArray());
        QCOMPARE(p.Bluetooth.InquiryAccessCodeSecond, QByteArray());
        QCOMPARE(p.Bluetooth.RemoteBDAddr, QByteArray());
        QCOMPARE(p.Bluetooth.PowerSave + p.Bluetooth.Role + p.Bluetooth.SupportProfile + p.Bluetooth.LinkTimeout, 0);
        QCOMPARE(p.Uart.BaudRate + p.Uart.ParityBit + p.Uart.StopBit, QByteArray());
        QCOMPARE(p.Uart.HWFlowControl, 0);
        QCOMPARE(p.MultiComm.NumberOfDevice, 0);
        QCOMPARE(p.MultiComm.OperationMode, 0);
        QCOMPARE(p.MultiComm.RxBufferSize, 0);
        QCOMPARE(p.Local.BTSpec + p.Local.ModelName + p.Local.LocalBDAddr + p.Local.SWVersion, QByteArray());
        QCOMPARE(p.System.DebugChar + p.System.EscapeChar, QByteArray());
        QCOMPARE(p.System.ConnectionMode, 0);
        QCOMPARE(p.System.StatusMessage, 0);
        QCOMPARE(p.System.ConnectionDelayTime, 0);
        QCOMPARE(p.System.StreamSwitchingFast, 0);
        QCOMPARE(p.Security.Encry, 0);
        QCOMPARE(p.Security.Auth, 0);
        QCOMPARE(p.Security.PinCode, QByteArray());
    }

    void groupReferencesStayValidAcrossClear()
    {
        TParameters p;
        TBluetoothParam* before = &p.Bluetooth;
        p.Clear();
        QCOMPARE(&p.Bluetooth, before);
    }

    void copyReadValuesCopiesTwentyEightFieldsAndKeepsTheTwoPageExchangeFields()
    {
        TParameters read;
        TParameters edit;
        FillAll(read, "r", 100);
        FillAll(edit, "e", 200);
        edit.CopyReadValues(read);

        // The two fields changed by page exchanges keep their working values.
        QCOMPARE(edit.Bluetooth.ServiceName, QByteArray("esn"));
        QCOMPARE(edit.System.StreamSwitchingFast, 212);

        // Every other field now equals the read set: refill a copy of the read set
        // with the two kept values and compare all thirty fields.
        TParameters expected;
        FillAll(expected, "r", 100);
        expected.Bluetooth.ServiceName = "esn";
        expected.System.StreamSwitchingFast = 212;
        QCOMPARE(edit.Bluetooth.ClassOfDevice, expected.Bluetooth.ClassOfDevice);
        QCOMPARE(edit.Bluetooth.PowerSave, expected.Bluetooth.PowerSave);
        QCOMPARE(edit.Bluetooth.RemoteBDAddr, expected.Bluetooth.RemoteBDAddr);
        QCOMPARE(edit.Bluetooth.Role, expected.Bluetooth.Role);
        QCOMPARE(edit.Bluetooth.DeviceName, expected.Bluetooth.DeviceName);
        QCOMPARE(edit.Bluetooth.SupportProfile, expected.Bluetooth.SupportProfile);
        QCOMPARE(edit.Bluetooth.LinkTimeout, expected.Bluetooth.LinkTimeout);
        QCOMPARE(edit.Bluetooth.InquiryAccessCodeFirst, expected.Bluetooth.InquiryAccessCodeFirst);
        QCOMPARE(edit.Bluetooth.InquiryAccessCodeSecond, expected.Bluetooth.InquiryAccessCodeSecond);
        QCOMPARE(edit.Uart.BaudRate, expected.Uart.BaudRate);
        QCOMPARE(edit.Uart.ParityBit, expected.Uart.ParityBit);
        QCOMPARE(edit.Uart.StopBit, expected.Uart.StopBit);
        QCOMPARE(edit.Uart.HWFlowControl, expected.Uart.HWFlowControl);
        QCOMPARE(edit.MultiComm.NumberOfDevice, expected.MultiComm.NumberOfDevice);
        QCOMPARE(edit.MultiComm.OperationMode, expected.MultiComm.OperationMode);
        QCOMPARE(edit.MultiComm.RxBufferSize, expected.MultiComm.RxBufferSize);
        QCOMPARE(edit.Local.BTSpec, expected.Local.BTSpec);
        QCOMPARE(edit.Local.ModelName, expected.Local.ModelName);
        QCOMPARE(edit.Local.LocalBDAddr, expected.Local.LocalBDAddr);
        QCOMPARE(edit.Local.SWVersion, expected.Local.SWVersion);
        QCOMPARE(edit.System.ConnectionMode, expected.System.ConnectionMode);
        QCOMPARE(edit.System.DebugChar, expected.System.DebugChar);
        QCOMPARE(edit.System.EscapeChar, expected.System.EscapeChar);
        QCOMPARE(edit.System.StatusMessage, expected.System.StatusMessage);
        QCOMPARE(edit.System.ConnectionDelayTime, expected.System.ConnectionDelayTime);
        QCOMPARE(edit.Security.Encry, expected.Security.Encry);
        QCOMPARE(edit.Security.PinCode, expected.Security.PinCode);
        QCOMPARE(edit.Security.Auth, expected.Security.Auth);

        // The source is left untouched.
        QCOMPARE(read.Bluetooth.ServiceName, QByteArray("rsn"));
    }
};

QTEST_GUILESS_MAIN(TestParameters)
#include "tst_parameters.moc"
