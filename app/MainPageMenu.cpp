// SPDX-License-Identifier: GPL-3.0-or-later
// The page menu: opening, building and checking pages, the menu buttons,
// their reveal and the page lamps.

#include "MainUnit.h"
#include "MainInternal.h"

#include "Artwork.h"
#include "BluetoothUnit.h"
#include "ErrorFormUnit.h"
#include "MultiCommUnit.h"
#include "OverviewUnit.h"
#include "PageValidation.h"
#include "SecurityUnit.h"
#include "SystemUnit.h"
#include "TLed.h"
#include "TPictureButton.h"
#include "TTimer.h"
#include "UartUnit.h"

#include <QComboBox>

using namespace MainForm;

// ---------------------------------------------------------------- page menu

QWidget* TMainForm::PageInSlot(int k) const
{
    switch (k) {
    case PageOverview: return OverviewPage;
    case PageBluetooth: return BluetoothPage;
    case PageSecurity: return SecurityPage;
    case PageSystem: return SystemPage;
    case PageUart: return UartPage;
    case PageMultiComm: return MultiCommPage;
    default: return nullptr;
    }
}

void TMainForm::OpenPage(int k)
{
    if (k < 0 || k >= PageCount || !MainComPort.Connected() || PagesLocked)
        return;
    for (int i = 0; i < PageCount; ++i) {
        if (OpenPages[i] && !ValidatePage(i))
            return;
    }
    CloseAllPages();
    OpenPages[k] = true;

    // The page built last of this kind is released once its successor takes the slot.
    if (QWidget* previous = PageInSlot(k))
        previous->deleteLater();

    QWidget* page = nullptr;
    switch (k) {
    case PageOverview: page = OverviewPage = new TOverviewForm(DisplayPanel); break;
    case PageBluetooth: page = BluetoothPage = new TBluetoothForm(DisplayPanel); break;
    case PageSecurity: page = SecurityPage = new TSecurityForm(DisplayPanel); break;
    case PageSystem: page = SystemPage = new TSystemForm(DisplayPanel); break;
    case PageUart: page = UartPage = new TUartForm(DisplayPanel); break;
    case PageMultiComm: page = MultiCommPage = new TMultiCommForm(DisplayPanel); break;
    default: break;
    }
    page->setGeometry(0, 0, DisplayPanel->width(), DisplayPanel->height());
    PreparePage(k);
    page->show();
    page->raise();
    ShowPageLed(k);
}

void TMainForm::PreparePage(int k)
{
    const bool roleAndBaudEditable = RoleAndBaudEditable(ReadParams.Local.ModelName, EditParams.System.ConnectionMode);
    switch (k) {
    case PageOverview:
        OverviewPage->LegacyDevice = LegacyDevice;
        OverviewPage->LegacyFastSwitch = LegacyFastSwitch;
        OverviewPage->Params = &EditParams;
        OverviewPage->LoadFromParams();
        break;
    case PageBluetooth:
        BluetoothPage->LegacyDevice = LegacyDevice;
        BluetoothPage->Group = &EditParams.Bluetooth;
        BluetoothPage->MasterMode = ReadParams.Bluetooth.Role == 0;
        BluetoothPage->LoadFromParams();
        BluetoothPage->Role->setEnabled(roleAndBaudEditable);
        BluetoothPage->Host = this;
        CommMode = ModeIdle;
        break;
    case PageSecurity:
        SecurityPage->Group = &EditParams.Security;
        SecurityPage->LegacyDevice = LegacyDevice;
        SecurityPage->LoadFromParams();
        break;
    case PageSystem:
        SystemPage->LegacyDevice = LegacyDevice;
        SystemPage->LegacyFastSwitch = LegacyFastSwitch;
        SystemPage->Group = &EditParams.System;
        SystemPage->LoadFromParams();
        break;
    case PageUart:
        UartPage->Group = &EditParams.Uart;
        UartPage->LegacyDevice = LegacyDevice;
        UartPage->LoadFromParams();
        UartPage->BaudRate->setEnabled(roleAndBaudEditable);
        break;
    case PageMultiComm:
        MultiCommPage->ModelName = EditParams.Local.ModelName;
        MultiCommPage->Group = &EditParams.MultiComm;
        MultiCommPage->ConfigPath = m_productListPath;
        MultiCommPage->LoadModelChoices();
        MultiCommPage->LoadFromParams();
        MultiCommPage->ApplyOperationModeLock();
        break;
    default:
        break;
    }
}

void TMainForm::CloseAllPages()
{
    for (int i = 0; i < PageCount; ++i) {
        if (OpenPages[i]) {
            if (QWidget* page = PageInSlot(i))
                page->hide();
        }
        OpenPages[i] = false;
    }
}

void TMainForm::ShowPageLed(int index)
{
    AllPageLedsOff();
    if (index >= 0 && index < PageCount)
        PageLeds[index]->SetOn(true);
}

void TMainForm::AllPageLedsOff()
{
    for (TLed* lamp : PageLeds)
        lamp->SetOn(false);
}

void TMainForm::ShowMenuButtonsDisabled()
{
    for (int k = 0; k < PageCount; ++k)
        MenuButtons[k]->SetPicture(Artwork::MenuButtonPicture(k, Artwork::MenuLook::Disabled));
}

void TMainForm::ReopenCurrentPage()
{
    for (int k = 0; k < PageCount; ++k) {
        if (OpenPages[k]) {
            OpenPage(k);
            return;
        }
    }
}

bool TMainForm::ValidatePage(int k)
{
    const std::optional<TPageFault> fault = CheckPage(k, PageInSlot(k), LegacyDevice, LegacyFastSwitch);
    if (!fault)
        return true;
    if (fault->Control)
        fault->Control->setFocus();
    ErrorDialog->SetError(InputParameterErrorTitle, fault->Detail, fault->MaintenanceLine);
    ShowErrorFormTimer->Start();
    return false;
}

void TMainForm::MenuButtonMouseMove(int k)
{
    if (!MainComPort.Connected() || PagesLocked)
        return;
    MenuButtons[k]->SetPicture(Artwork::MenuButtonPicture(k, Artwork::MenuLook::Highlighted));
}

void TMainForm::MenuButtonMouseLeave(int k)
{
    if (!MainComPort.Connected() || PagesLocked)
        return;
    MenuButtons[k]->SetPicture(Artwork::MenuButtonPicture(k, Artwork::MenuLook::Normal));
}

void TMainForm::DisplayBtnTimerTimer()
{
    if (DisplayBtnStep >= 0 && DisplayBtnStep < PageCount) {
        MenuButtons[DisplayBtnStep]->SetPicture(Artwork::MenuButtonPicture(DisplayBtnStep, Artwork::MenuLook::Normal));
        ++DisplayBtnStep;
    } else if (DisplayBtnStep == PageCount) {
        DisplayBtnStep = 0;
        DisplayBtnTimer->Stop();
    }
}

void TMainForm::RedrawTimerTimer()
{
    RedrawTimer->Stop();
    RestoreReadParameters();
    ReopenCurrentPage();
}
