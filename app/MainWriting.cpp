// SPDX-License-Identifier: GPL-3.0-or-later
// Writing the working copy back, and factory initialisation.

#include "MainUnit.h"
#include "MainInternal.h"

#include "AtProtocol.h"
#include "ErrorFormUnit.h"
#include "FieldRules.h"
#include "InitQuestionFormUnit.h"
#include "ProcessingFormUnit.h"
#include "Reports.h"
#include "TTimer.h"
#include "WriteQuestionFormUnit.h"

using namespace MainForm;

// ---------------------------------------------------------------- writing

int TMainForm::LastWriteStep() const
{
    return ::LastWriteStep(ModuleTypeOf(LegacyDevice, LegacyFastSwitch));
}

void TMainForm::BtnWriteClick()
{
    for (int i = 0; i < PageCount; ++i) {
        if (OpenPages[i] && !ValidatePage(i))
            return;
    }
    TWriteQuestionForm question(this);
    question.exec();
    // The port may have gone while the question was open; its report has been made.
    if (!MainComPort.Connected())
        return;
    switch (question.Answer) {
    case AnswerWrite:
        CommandStep = 0;
        ShowProgress(QStringLiteral("WRITING"), QStringLiteral("WRITING PARAMETERS"), LastWriteStep());
        SendWriteCommand();
        break;
    case AnswerReturnToRead:
        RestoreReadParameters();
        ReopenCurrentPage();
        break;
    default:
        break;
    }
}

void TMainForm::SendWriteCommand()
{
    CommMode = ModeWriting;
    const QByteArray command = WriteCommand(CommandStep, EditParams);
    if (MainComPort.Connected()) {
        RxTimeoutTimer->Start();
        SendText(command);
    }
}

void TMainForm::HandleWriting(const QByteArray& answer)
{
    if (answer != AnswerOk) {
        const TReport report = WriteRefusedReport(CommandStep);
        ReportError(report.Title, report.Detail, report.MaintenanceLine);
        return;
    }
    if (CommandStep >= LastWriteStep()) {
        FinishWriting();
        return;
    }
    ++CommandStep;
    ProcessingDialog->ProcessBar->SetPosition(CommandStep);
    SendWriteCommand();
}

void TMainForm::FinishWriting()
{
    CommMode = ModeIdle;
    RxQueue.Clear();
    ProcessingDialog->hide();
    setEnabled(true);
    SendText(RestartCommand);
    DisconnectTimer->Start();
}

// ---------------------------------------------------------------- factory initialisation

void TMainForm::BtnInitClick()
{
    TInitQuestionForm question(this);
    question.exec();
    if (question.Confirmed && MainComPort.Connected()) {
        CommMode = ModeInitialising;
        RxTimeoutTimer->Start();
        SendText(QByteArrayLiteral("AT&F\r"));
    }
}

void TMainForm::HandleInitialising(const QByteArray& answer)
{
    if (answer == AnswerOk) {
        CommMode = ModeIdle;
        RxQueue.Clear();
        DisconnectTimer->Start();
        return;
    }
    const TReport report = InitRefusedReport();
    ReportError(report.Title, report.Detail, report.MaintenanceLine);
}
