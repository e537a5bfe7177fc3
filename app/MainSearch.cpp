// SPDX-License-Identifier: GPL-3.0-or-later
// Device search and the profile change of the Bluetooth page.

#include "MainUnit.h"
#include "MainInternal.h"

#include "AtProtocol.h"
#include "BluetoothUnit.h"
#include "TTimer.h"

using namespace MainForm;

// ---------------------------------------------------------------- device search

void TMainForm::StartDeviceSearch()
{
    if (!MainComPort.Connected()) {
        // Nothing can be sent, so nothing will answer: give the dialog back at once.
        if (BluetoothPage)
            BluetoothPage->EndSearch();
        return;
    }
    CommandStep = 0;
    RxQueue.Clear();
    CommMode = ModeSearching;
    m_searchSilenceTimer->Stop();
    m_searchSilenceTimer->Start();
    if (!SendText(QByteArrayLiteral("AT+BTINQ?\r")))
        EndDeviceSearch();
}

void TMainForm::EndDeviceSearch()
{
    m_searchSilenceTimer->Stop();
    CommMode = ModeIdle;
    RxQueue.Clear();
    if (BluetoothPage)
        BluetoothPage->EndSearch();
}

void TMainForm::HandleSearching(const QByteArray& answer)
{
    // Every answer shows the module is still searching.
    m_searchSilenceTimer->Stop();
    m_searchSilenceTimer->Start();
    if (CommandStep == 0) {
        if (answer == AnswerOk)
            CommandStep = 1;
        else if (answer == AnswerError)
            EndDeviceSearch(); // the module refused the inquiry: no closing "OK" will come
        return;
    }
    if (answer == AnswerOk) {
        EndDeviceSearch();
        return;
    }
    const QList<QByteArray> items = SplitResponse(answer);
    if (items.size() == 3 && BluetoothPage)
        BluetoothPage->AddSearchResult(items.at(0), items.at(1), items.at(2));
}

// ---------------------------------------------------------------- profile change

void TMainForm::HandleProfileChange(const QByteArray& answer)
{
    m_profileChangeTimer->Stop();
    if (ServiceNameRequested == 0) {
        if (answer == AnswerOk) {
            ServiceNameReqTimer->Start();
            m_profileChangeTimer->Start();
        } else {
            CommMode = ModeIdle;
        }
        return;
    }
    if (BluetoothPage)
        BluetoothPage->ShowServiceName(answer);
    CommMode = ModeIdle;
}

void TMainForm::ServiceNameReqTimerTimer()
{
    ServiceNameReqTimer->Stop();
    if (MainComPort.Connected()) {
        ServiceNameRequested = 1;
        m_profileChangeTimer->Stop();
        m_profileChangeTimer->Start();
        SendText(QByteArrayLiteral("AT+BTINFO?15\r"));
    } else {
        CommMode = ModeIdle;
    }
}
