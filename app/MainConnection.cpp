// SPDX-License-Identifier: GPL-3.0-or-later
// The connection: sending to the module, received bytes, OPEN, CLOSE,
// the debug character and the disconnection with its lamps.

#include "MainUnit.h"
#include "MainInternal.h"

#include "AtProtocol.h"
#include "BluetoothUnit.h"
#include "ErrorFormUnit.h"
#include "LineSettings.h"
#include "MessageBox.h"
#include "PortReports.h"
#include "PortSource.h"
#include "ProcessingFormUnit.h"
#include "SearchDevicesFormUnit.h"
#include "SelectProductUnit.h"
#include "SerialFormUnit.h"
#include "TLed.h"
#include "TTimer.h"

#include <QTimer>

using namespace MainForm;

// ---------------------------------------------------------------- port

bool TMainForm::PortConnected() const
{
    return MainComPort.Connected();
}

void TMainForm::SendToModule(const QByteArray& text)
{
    SendText(text);
}

bool TMainForm::SendText(const QByteArray& text)
{
    if (!MainComPort.Connected())
        return false;
    try {
        MainComPort.WriteStr(text);
        return true;
    } catch (const EComPort& e) {
        // A device that has gone is no failure of the write: the port reports the
        // loss itself, once, and MainComPortLost tells the user.
        if (SerialDeviceGone(e.PlatformError()))
            return false;
        // Shown once this handler has returned, so no modal loop runs inside the
        // exchange; the exchange itself runs into its time limit.
        const QString message = e.Message();
        QTimer::singleShot(0, this, [this, message] { PlatformMessageBox::Show(message, this); });
        return false;
    }
}

void TMainForm::MainComPortRxChar(TCustomComPort*, qint32 count)
{
    QByteArray received;
    try {
        MainComPort.ReadStr(received, count);
    } catch (const EComPort& e) {
        // A vanished device is reported by the port itself (MainComPortLost);
        // any other failure ends the port's event thread, as before.
        if (SerialDeviceGone(e.PlatformError()))
            return;
        throw;
    }
    if (count > 0 && CommMode != ModeIdle) {
        for (char byte : std::as_const(received))
            RxQueue.Push(QByteArray(1, byte));
    }
}

// ---------------------------------------------------------------- connection

void TMainForm::BtnOpenClick()
{
    CommandStep = -1;
    CommMode = ModeIdle;

    TSerialForm dialog(this);
    dialog.exec();
    if (!dialog.Confirmed)
        return;
    const TSerialSettings chosen = dialog.Settings();

    // A stable name (/dev/serial/by-id/...) stands for the device it links to:
    // that device is what is opened, checked for other holders and locked.
    const QString port = chosen.Port;
    const QString device = ResolvePortPath(port);
    // A speed, parity or stop bits the line does not know keeps its default: the
    // dialog lets a person type any text into those lists.
    const TLineReading line = ReadLineTexts(chosen.Line);
    MainComPort.SetPort(device);
    ApplyLineSettings(MainComPort, line.Settings);

    if (line.Faults.DebugCharEmpty) {
        ErrorDialog->SetError(QStringLiteral("DEBUG CHAR ERROR"),
                              QStringLiteral("Debug Char must be input in connecting\r\nDebug Char is used for "
                                             "Configuration Mode in the device."),
                              QStringLiteral("Retry Connect Again with Correct Debug Char"));
        ShowErrorFormTimer->Start();
        return;
    }

    DebugCharValue = 0;
    if (line.Faults.DebugChar) {
        PlatformMessageBox::Show(QStringLiteral("'$%1' is not a valid integer value").arg(chosen.Line.DebugChar), this);
        return;
    }
    DebugCharValue = line.Settings.DebugChar;

    // Whatever the previous connection left half-received is not part of this one.
    RxQueue.Clear();
    RxThread.RestartFraming();
    try {
        MainComPort.Open();
    } catch (const EComPort& e) {
        // A port in use is named with its holder when the system lets us see
        // it. A stable name is reported with the device it points to.
        TReport report = SerialOpenFailure(device, e.PlatformError(), e.Code());
        if (port != device)
            report.MaintenanceLine.replace(device, PortReportName(port, device));
        ErrorDialog->SetError(report.Title, report.Detail, report.MaintenanceLine);
        ShowErrorFormTimer->Start();
        return;
    }
    SetToolbarButtons(ToolbarClose);
    SerialLED->SetOn(true);
    SerialLED->SetCaption(QStringLiteral("SERIAL OPENED"));
    SendText(WakeUpText());
    SendDebugCharTimer->Start();
}

void TMainForm::MainComPortLost(TCustomComPort*)
{
    if (!MainComPort.Connected())
        return;
    const QString port = MainComPort.Port();

    // The exchange ends here, whatever it was: nothing more is sent, and no
    // time limit runs out on an answer that can no longer come.
    CommMode = ModeIdle;
    CommandStep = -1;
    RxQueue.Clear();
    for (TTimer* timer : { RxTimeoutTimer, SendDebugCharTimer, DisconnectTimer, ShowSelectProductTimer,
                           ServiceNameReqTimer, RedrawTimer, m_searchSilenceTimer, m_profileChangeTimer })
        timer->Stop();

    // Dialogs that wait on the module are given back before the report.
    if (BluetoothPage) {
        BluetoothPage->EndSearch();
        if (BluetoothPage->SearchDialog && BluetoothPage->SearchDialog->isVisible())
            BluetoothPage->SearchDialog->reject();
    }
    for (TSelectProductForm* dialog : findChildren<TSelectProductForm*>()) {
        if (dialog->isVisible())
            dialog->reject();
    }
    ProcessingDialog->hide();
    setEnabled(true);

    // Released at once, so a re-plugged adapter comes back under the same name.
    try {
        MainComPort.Close();
    } catch (const EComPort&) {
        // The port is closed all the same.
    }
    DisconnectTimerTimer();

    const TReport report = PortGoneReport(port);
    ErrorDialog->SetError(report.Title, report.Detail, report.MaintenanceLine);
    // A report already on the screen gives way to this one rather than being
    // followed by a second box.
    if (!ErrorDialog->isVisible())
        ShowErrorFormTimer->Start();
}

void TMainForm::SendDebugCharTimerTimer()
{
    SendDebugCharTimer->Stop();
    if (!MainComPort.Connected())
        return;
    ActOn(m_exchange.StartHandshake(static_cast<quint8>(DebugCharValue & 0xFF)));
}

void TMainForm::BtnCloseClick()
{
    CommMode = ModeIdle;
    RxQueue.Clear();
    CommandStep = -1;
    if (MainComPort.Connected() && ReadyToSetLED->On())
        SendText(RestartCommand());
    DisconnectTimer->Start();
}

void TMainForm::DisconnectTimerTimer()
{
    DisconnectTimer->Stop();
    if (MainComPort.Connected()) {
        try {
            MainComPort.Close();
        } catch (const EComPort&) {
            // A purge refused by a vanished device: the port is closed all the same.
        }
    }
    PagesLocked = true;
    DisplayBtnStep = 0;
    // A reveal still running would paint usable pictures over a locked menu.
    DisplayBtnTimer->Stop();
    SerialLED->SetOn(false);
    SerialLED->SetCaption(QStringLiteral("SERIAL CLOSED"));
    ReadyToSetLED->SetOn(false);
    CommMode = ModeIdle;
    CloseAllPages();
    ReadParams.Clear();
    EditParams.Clear();
    RxQueue.Clear();
    ShowMenuButtonsDisabled();
    AllPageLedsOff();
    SetToolbarButtons(ToolbarOpen);
}
