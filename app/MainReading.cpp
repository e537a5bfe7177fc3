// SPDX-License-Identifier: GPL-3.0-or-later
// Reading every setting with the info queries.

#include "MainUnit.h"
#include "MainInternal.h"

#include "ProcessingFormUnit.h"
#include "TTimer.h"

#include <QGroupBox>

using namespace MainForm;

// ---------------------------------------------------------------- reading

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
    ShowProgress(QStringLiteral("READING"), QStringLiteral("READING PARAMETERS"), m_exchange.ReadGaugeMaximum());
    SendReadCommand();
}

void TMainForm::SendReadCommand()
{
    ActOn(m_exchange.ReadStep());
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
