// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TToolDialog.h"

class QPushButton;

// Asked whenever the main window is about to close.
class TExitQuestionForm final : public TToolDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TExitQuestionForm)

public:
    explicit TExitQuestionForm(QWidget* parent = nullptr);

    bool Confirmed = false;

    QPushButton* BtnExit;
    QPushButton* BtnCancel;
};
