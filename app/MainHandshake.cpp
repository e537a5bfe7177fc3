// SPDX-License-Identifier: GPL-3.0-or-later
// The connection handshake: "OK" to the debug character, the module type
// and the model query, and the product selection for a module without a model.

#include "MainUnit.h"
#include "MainInternal.h"

#include "ErrorFormUnit.h"
#include "Reports.h"
#include "SelectProductUnit.h"
#include "TLed.h"
#include "TTimer.h"

using namespace MainForm;

void TMainForm::HandleConnecting(const QByteArray& answer)
{
    switch (CommandStep) {
    case 0:
        if (answer == AnswerOk) {
            ReadyToSetLED->SetOn(true);
            CommandStep = 1;
            RxTimeoutTimer->Start();
            SendText(QByteArrayLiteral("AT+BTINFO?10\r"));
        } else {
            const TReport report = DebugCharReport();
            ReportError(report.Title, report.Detail, report.MaintenanceLine);
        }
        break;
    case 1:
        if (answer == AnswerError) {
            LegacyDevice = true;
            LegacyFastSwitch = false;
        } else if (answer == "2.0") {
            LegacyDevice = true;
            LegacyFastSwitch = true;
        } else {
            LegacyDevice = false;
        }
        CommandStep = 2;
        RxTimeoutTimer->Start();
        SendText(QByteArrayLiteral("AT+BTINFO?100\r"));
        break;
    case 2:
        CommMode = ModeIdle;
        RxQueue.Clear();
        if (answer != AnswerError) {
            ReadParams.Local.ModelName = answer;
            EditParams.Local.ModelName = answer;
            SetToolbarButtons(ToolbarClose | ToolbarRead | ToolbarInit);
        } else {
            ShowSelectProductTimer->Start();
        }
        break;
    default:
        break;
    }
}

void TMainForm::ShowSelectProductTimerTimer()
{
    ShowSelectProductTimer->Stop();
    TSelectProductForm dialog(m_productListPath, this);
    dialog.exec();
    // The port may have gone while the list was open; its report has been made.
    if (!MainComPort.Connected())
        return;
    if (dialog.Confirmed) {
        const QByteArray model = dialog.SelectedProduct().toLatin1();
        ReadParams.Local.ModelName = model;
        EditParams.Local.ModelName = model;
        SetToolbarButtons(ToolbarClose | ToolbarRead | ToolbarInit);
    } else {
        DisconnectTimer->Start();
    }
}
