// The connection: sending to the module, received bytes, OPEN, CLOSE,
// the debug character and the disconnection with its lamps.

#include "MainUnit.h"
#include "MainInternal.h"

#include "Artwork.h"
#include "AtProtocol.h"
#include "BluetoothUnit.h"
#include "ErrorFormUnit.h"
#include "ExitQuestionFormUnit.h"
#include "IniFile.h"
#include "InitQuestionFormUnit.h"
#include "MainDisplayUnit.h"
#include "MessageBox.h"
#include "MultiCommUnit.h"
#include "PortReports.h"
#include "OverviewUnit.h"
#include "PageValidation.h"
#include "ProcessingFormUnit.h"
#include "SecurityUnit.h"
#include "SelectProductUnit.h"
#include "SerialFormUnit.h"
#include "Skin.h"
#include "SystemUnit.h"
#include "TLed.h"
#include "TPictureButton.h"
#include "TTimer.h"
#include "UartUnit.h"
#include "WriteQuestionFormUnit.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>


using namespace MainForm;

namespace {

// The debug character is typed as one or two hexadecimal digits.
bool ParseDebugChar(const QString& text, qint32* value)
{
    if (text.isEmpty())
        return false;
    qint32 result = 0;
    for (QChar c : text) {
        // ASCII only: QChar::isDigit would take the digits of every script.
        const int digit = (c >= u'0' && c <= u'9') ? c.unicode() - u'0'
                          : (c >= u'a' && c <= u'f') ? c.unicode() - u'a' + 10
                          : (c >= u'A' && c <= u'F') ? c.unicode() - u'A' + 10
                                                     : -1;
        if (digit < 0 || result > 0x7FFFFFF)
            return false;
        result = result * 16 + digit;
    }
    *value = result;
    return true;
}

} // namespace

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
    MainComPort.ReadStr(received, count);
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

    const QString port = dialog.ComPort->currentText();
    const QString baud = dialog.BaudRate->currentText();
    MainComPort.SetPort(port);
    if (baud == QLatin1String("230400")) {
        MainComPort.SetCustomBaudRate(230400);
        MainComPort.SetBaudRate(brCustom);
    } else {
        MainComPort.SetCustomBaudRate(9600);
        MainComPort.SetBaudRate(StrToBaudRate(baud));
    }
    MainComPort.SetParityBits(StrToParity(dialog.ParityBit->currentText()));
    MainComPort.SetStopBits(StrToStopBits(dialog.StopBit->currentText()));
    MainComPort.SetDataBits(dbEight);

    const QString debugChar = dialog.DebugChar->text();
    if (debugChar.isEmpty()) {
        ErrorDialog->SetError(QStringLiteral("DEBUG CHAR ERROR"),
                              QStringLiteral("Debug Char must be input in connecting\r\nDebug Char is used for "
                                             "Configuration Mode in the device."),
                              QStringLiteral("Retry Connect Again with Correct Debug Char"));
        ShowErrorFormTimer->Start();
        return;
    }

    DebugCharValue = 0;
    qint32 value = 0;
    if (!ParseDebugChar(debugChar, &value)) {
        PlatformMessageBox::Show(QStringLiteral("'$%1' is not a valid integer value").arg(debugChar), this);
        return;
    }
    DebugCharValue = value;

    try {
        MainComPort.Open();
    } catch (const EComPort& e) {
        ErrorDialog->SetError(QStringLiteral("SERIAL OPEN ERROR"), OpenFailureDetail(port, e.PlatformError()),
                              QStringLiteral("Check ") + port + QStringLiteral(" Port and Try Open Again."));
        ShowErrorFormTimer->Start();
        return;
    }
    SetToolbarButtons(ToolbarClose);
    SerialLED->SetOn(true);
    SerialLED->SetCaption(QStringLiteral("SERIAL OPENED"));
    SendText(QByteArrayLiteral("\r"));
    SendDebugCharTimer->Start();
}

void TMainForm::SendDebugCharTimerTimer()
{
    SendDebugCharTimer->Stop();
    if (!MainComPort.Connected())
        return;
    CommandStep = 0;
    CommMode = ModeConnecting;
    RxTimeoutTimer->Start();
    SendText(QByteArray(1, static_cast<char>(DebugCharValue & 0xFF)));
}

void TMainForm::BtnCloseClick()
{
    CommMode = ModeIdle;
    RxQueue.Clear();
    CommandStep = -1;
    if (MainComPort.Connected() && ReadyToSetLED->On())
        SendText(RestartCommand);
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
