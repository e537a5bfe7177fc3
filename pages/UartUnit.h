// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPageForm.h"

class QComboBox;
class TUartParam;

// The module's own serial interface. Three of the four fields are stored as
// the text of the chosen item.
class TUartForm final : public TPageForm
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TUartForm)

public:
    explicit TUartForm(QWidget* parent = nullptr);

    bool LegacyDevice = false;
    TUartParam* Group = nullptr;

    QComboBox* BaudRate;
    QComboBox* ParityBit;
    QComboBox* StopBit;
    QComboBox* HWFlowControl;

    void LoadFromParams();

    void BaudRateChange();
    void ParityBitChange();
    void StopBitChange();
    void HWFlowControlChange();
};
