// SPDX-License-Identifier: GPL-3.0-or-later
// Device search and the profile change of the Bluetooth page. The answers are
// the exchange's.

#include "MainUnit.h"
#include "MainInternal.h"

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
    if (!ActOn(m_exchange.StartSearch()))
        ActOn(m_exchange.EndSearch());
}

// ---------------------------------------------------------------- profile change

void TMainForm::ServiceNameReqTimerTimer()
{
    ServiceNameReqTimer->Stop();
    if (MainComPort.Connected())
        ActOn(m_exchange.RequestServiceName());
    else
        CommMode = ModeIdle;
}
