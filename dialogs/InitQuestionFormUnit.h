// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TToolDialog.h"

class QPushButton;

// Asked before the module is reset to its factory settings.
class TInitQuestionForm final : public TToolDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TInitQuestionForm)

public:
    explicit TInitQuestionForm(QWidget* parent = nullptr);

    // True only when INIT DEVICE closed the dialog.
    bool Confirmed = false;

    QPushButton* BtnInit;
    QPushButton* BtnCancel;
};
