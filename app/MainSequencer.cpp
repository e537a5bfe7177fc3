// SPDX-License-Identifier: GPL-3.0-or-later
// The sequencer: every framed answer and every time limit goes to the exchange,
// and what the exchange says comes next is carried out here; the error report.

#include "MainUnit.h"
#include "MainInternal.h"

#include "BluetoothUnit.h"
#include "ErrorFormUnit.h"
#include "ProcessingFormUnit.h"
#include "TLed.h"
#include "TTimer.h"

using namespace MainForm;

// ---------------------------------------------------------------- sequencer

void TMainForm::HandleResponse(const QByteArray& answer)
{
    ActOn(m_exchange.Answer(answer));
}

TTimer* TMainForm::TimerFor(TAnswerTimer timer) const
{
    switch (timer) {
    case TAnswerTimer::Answer: return RxTimeoutTimer;
    case TAnswerTimer::SearchSilence: return m_searchSilenceTimer;
    case TAnswerTimer::ProfileChange: return m_profileChangeTimer;
    case TAnswerTimer::None: break;
    }
    return nullptr;
}

bool TMainForm::ActOn(const TExchangeStep& step)
{
    if (TTimer* timer = TimerFor(step.Stop))
        timer->Stop();
    if (step.Report)
        ReportError(step.Report->Title, step.Report->Detail, step.Report->MaintenanceLine);
    // The ends of reading and writing have their own steps, in their own order.
    if (step.End == TExchangeEnd::Read) {
        FinishReading();
        return true;
    }
    if (step.End == TExchangeEnd::Written) {
        FinishWriting();
        return true;
    }
    if (step.ReadyToSet)
        ReadyToSetLED->SetOn(true);
    if (step.Progress)
        ProcessingDialog->ProcessBar->SetPosition(*step.Progress);
    if (step.Found && BluetoothPage)
        BluetoothPage->AddSearchResult(step.Found->Address, step.Found->Name, step.Found->ClassOfDevice);
    if (step.ServiceName && BluetoothPage)
        BluetoothPage->ShowServiceName(*step.ServiceName);
    if (step.ClearQueue)
        RxQueue.Clear();
    switch (step.End) {
    case TExchangeEnd::Identified:
        SetToolbarButtons(ToolbarClose | ToolbarRead | ToolbarInit);
        break;
    case TExchangeEnd::ProductChoice:
        ShowSelectProductTimer->Start();
        break;
    case TExchangeEnd::Initialised:
        DisconnectTimer->Start();
        break;
    case TExchangeEnd::SearchCompleted:
    case TExchangeEnd::SearchRefused:
    case TExchangeEnd::SearchSilent:
        if (BluetoothPage)
            BluetoothPage->EndSearch();
        break;
    default:
        break;
    }
    if (step.ServiceNameAfterMs >= 0)
        ServiceNameReqTimer->Start();

    TTimer* limit = TimerFor(step.Start);
    if (step.Command.isEmpty()) {
        if (limit)
            limit->Start();
        return true;
    }
    // Nothing is sent, and no time limit starts, while the port is closed.
    if (!MainComPort.Connected())
        return false;
    if (limit)
        limit->Start();
    return SendText(step.Command);
}

void TMainForm::ReportError(const QString& title, const QString& detail, const QString& maintenanceLine)
{
    ErrorDialog->SetError(title, detail, maintenanceLine);
    ShowErrorFormTimer->Start();
}

void TMainForm::ShowErrorFormTimerTimer()
{
    ShowErrorFormTimer->Stop();
    ProcessingDialog->hide();
    setEnabled(true);
    CommMode = ModeIdle;
    RxQueue.Clear();
    ErrorDialog->exec();
}

void TMainForm::RxTimeoutTimerTimer()
{
    RxTimeoutTimer->Stop();
    ActOn(m_exchange.TimedOut(TAnswerTimer::Answer));
}
