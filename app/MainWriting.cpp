// SPDX-License-Identifier: GPL-3.0-or-later
// Writing the working copy back, and factory initialisation.

#include "MainUnit.h"
#include "MainInternal.h"

#include "AtProtocol.h"
#include "InitQuestionFormUnit.h"
#include "ProcessingFormUnit.h"
#include "TTimer.h"
#include "WriteQuestionFormUnit.h"

using namespace MainForm;

// ---------------------------------------------------------------- writing

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
        ShowProgress(QStringLiteral("WRITING"), QStringLiteral("WRITING PARAMETERS"), m_exchange.LastWriteStep());
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
    ActOn(m_exchange.WriteStep());
}

void TMainForm::FinishWriting()
{
    CommMode = ModeIdle;
    RxQueue.Clear();
    ProcessingDialog->hide();
    setEnabled(true);
    SendText(RestartCommand());
    DisconnectTimer->Start();
}

// ---------------------------------------------------------------- factory initialisation

void TMainForm::BtnInitClick()
{
    TInitQuestionForm question(this);
    question.exec();
    if (question.Confirmed && MainComPort.Connected())
        ActOn(m_exchange.StartInitialising());
}
