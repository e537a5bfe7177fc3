// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TToolDialog.h"

class QPushButton;

// The answers of the write question.
inline constexpr qint32 AnswerCancel = 0;
inline constexpr qint32 AnswerWrite = 1;
inline constexpr qint32 AnswerReturnToRead = 2;

// Asked before the parameters are written; also offers to throw the edits away.
class TWriteQuestionForm final : public TToolDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TWriteQuestionForm)

public:
    explicit TWriteQuestionForm(QWidget* parent = nullptr);

    // Stays AnswerCancel unless a button other than CANCEL closed the dialog.
    qint32 Answer = AnswerCancel;

    QPushButton* BtnWrite;
    QPushButton* BtnReturn;
    QPushButton* BtnCancel;
};
