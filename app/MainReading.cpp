// SPDX-License-Identifier: GPL-3.0-or-later
// Reading every setting with the info queries.

#include "MainUnit.h"
#include "MainInternal.h"

#include "AtProtocol.h"
#include "ErrorFormUnit.h"
#include "FieldRules.h"
#include "ProcessingFormUnit.h"
#include "Reports.h"
#include "TTimer.h"

#include <QGroupBox>

using namespace MainForm;

// ---------------------------------------------------------------- reading

int TMainForm::ReadGaugeMaximum() const
{
    return ::ReadGaugeMaximum(ModuleTypeOf(LegacyDevice, LegacyFastSwitch));
}

void TMainForm::ShowProgress(const QString& caption, const QString& title, int maximum)
{
    ProcessingDialog->setWindowTitle(caption);
    ProcessingDialog->ProcessingTitle->setTitle(title);
    ProcessingDialog->ProcessBar->SetMax(maximum);
    ProcessingDialog->ProcessBar->SetPosition(CommandStep);
    ProcessingDialog->CentreOn(this);
    ProcessingDialog->show();
    setEnabled(false);
}

void TMainForm::BtnReadClick()
{
    CommandStep = 0;
    ShowProgress(QStringLiteral("READING"), QStringLiteral("READING PARAMETERS"), ReadGaugeMaximum());
    SendReadCommand();
}

void TMainForm::SendReadCommand()
{
    CommMode = ModeReading;
    if (CommandStep >= 18)
        return;
    CommandStep = ReadStepToQuery(ModuleTypeOf(LegacyDevice, LegacyFastSwitch), CommandStep);
    const QByteArray query = InfoQuery(CommandStep);
    if (MainComPort.Connected()) {
        RxTimeoutTimer->Start();
        SendText(query);
    }
}

void TMainForm::HandleReading(const QByteArray& answer)
{
    if (!StoreInfoAnswer(CommandStep, answer, ReadParams, EditParams)) {
        const TReport report = WrongDataReport(CommandStep);
        ReportError(report.Title, report.Detail, report.MaintenanceLine);
    }
    if (IsLastReadStep(ModuleTypeOf(LegacyDevice, LegacyFastSwitch), CommandStep)) {
        FinishReading();
        return;
    }
    ++CommandStep;
    ProcessingDialog->ProcessBar->SetPosition(CommandStep);
    SendReadCommand();
}

void TMainForm::FinishReading()
{
    if (PagesLocked) {
        PagesLocked = false;
        DisplayBtnTimer->Start();
        SetToolbarButtons(ToolbarClose | ToolbarRead | ToolbarWrite | ToolbarInit);
    }
    CommMode = ModeIdle;
    RxQueue.Clear();
    ProcessingDialog->hide();
    setEnabled(true);
    RedrawTimer->Start();
}

void TMainForm::RestoreReadParameters()
{
    EditParams.CopyReadValues(ReadParams);
}
