// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPageForm.h"

class QGroupBox;
class QLabel;
class TParameters;

// The read-only summary of the whole working parameter set: one value label
// per field, in six groups.
class TOverviewForm final : public TPageForm
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TOverviewForm)

public:
    explicit TOverviewForm(QWidget* parent = nullptr);

    bool LegacyDevice = false;
    bool LegacyFastSwitch = false;
    TParameters* Params = nullptr;

    QLabel* Overview_ModelName = nullptr;
    QLabel* Overview_BTSpec = nullptr;
    QLabel* Overview_LoaclBDAddr = nullptr;
    QLabel* Overview_SWVersion = nullptr;

    QLabel* Overview_DeviceName = nullptr;
    QLabel* Overview_Role = nullptr;
    QLabel* Overview_RemoteBDAddr = nullptr;
    QLabel* Overview_InquiryAccessCode = nullptr;
    QLabel* Overview_ClassOfDevice = nullptr;
    QLabel* Overview_PowerSave = nullptr;
    QLabel* Overview_LinkTimeout = nullptr;
    QLabel* Overview_SupportProfile = nullptr;
    QLabel* Overview_ServiceName = nullptr;

    QLabel* Overview_Auth = nullptr;
    QLabel* Overview_PinCode = nullptr;
    QLabel* Overview_Encry = nullptr;

    QLabel* Overview_StatusMessage = nullptr;
    QLabel* Overview_ConnectionMode = nullptr;
    QLabel* Overview_EscChar = nullptr;
    QLabel* Overview_DebugChar = nullptr;
    QLabel* Overview_ConnectionDelayTime = nullptr;
    QLabel* StreamSwitchingFast = nullptr;

    QLabel* Overview_BaudRate = nullptr;
    QLabel* Overview_ParityBit = nullptr;
    QLabel* Overview_StopBit = nullptr;
    QLabel* Overview_HWFlowControl = nullptr;

    QLabel* Overview_OperationMode = nullptr;
    QLabel* Overview_NumberOfDevice = nullptr;
    QLabel* Overview_RxBufferSize = nullptr;

    void LoadFromParams();

private:
    enum TValuePlace { ValueBesideCaption, ValueBelowCaption };

    QGroupBox* AddGroup(const QString& heading, const QRect& place);
    QLabel* AddRow(QGroupBox* group, int row, const QString& caption, const QString& valueName,
                   TValuePlace place = ValueBesideCaption);
};
