// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPageForm.h"

class QComboBox;
class QLabel;
class TEditBox;
class TSecurityParam;

// Authentication, PIN code and encryption. SSP is only offered to modules that
// are not legacy modules.
class TSecurityForm final : public TPageForm
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TSecurityForm)

public:
    explicit TSecurityForm(QWidget* parent = nullptr);

    bool LegacyDevice = false;
    TSecurityParam* Group = nullptr;

    QComboBox* Auth;
    QLabel* SspNote;
    TEditBox* PinCode;
    QComboBox* Encry;

    void LoadFromParams();

    void AuthChange();
    void PinCodeChange();
    void EncryChange();
};
