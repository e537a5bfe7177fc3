// SPDX-License-Identifier: GPL-3.0-or-later
// The sequencer: dispatch of framed answers by exchange, the error report
// and the answer time-out.

#include "MainUnit.h"
#include "MainInternal.h"

#include "ErrorFormUnit.h"
#include "ProcessingFormUnit.h"
#include "Reports.h"
#include "TTimer.h"

using namespace MainForm;

// ---------------------------------------------------------------- sequencer

void TMainForm::HandleResponse(const QByteArray& answer)
{
    switch (CommMode) {
    case ModeConnecting:
        RxTimeoutTimer->Stop();
        HandleConnecting(answer);
        break;
    case ModeReading:
        RxTimeoutTimer->Stop();
        HandleReading(answer);
        break;
    case ModeWriting:
        RxTimeoutTimer->Stop();
        HandleWriting(answer);
        break;
    case ModeInitialising:
        RxTimeoutTimer->Stop();
        HandleInitialising(answer);
        break;
    case ModeSearching:
        HandleSearching(answer);
        break;
    case ModeProfileChange:
        HandleProfileChange(answer);
        break;
    default:
        break;
    }
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
    TExchange exchange;
    switch (CommMode) {
    case ModeConnecting: exchange = TExchange::Connecting; break;
    case ModeReading: exchange = TExchange::Reading; break;
    case ModeWriting: exchange = TExchange::Writing; break;
    case ModeInitialising: exchange = TExchange::Initialising; break;
    default: return;
    }
    const TReport report = NoAnswerReport(exchange, CommandStep);
    ReportError(report.Title, report.Detail, report.MaintenanceLine);
}
