// SPDX-License-Identifier: GPL-3.0-or-later
#include "WriteQuestionFormUnit.h"

#include "Skin.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

TWriteQuestionForm::TWriteQuestionForm(QWidget* parent)
    : TToolDialog(QStringLiteral("Write Parameters"), QSize(259, 146), parent)
{
    QGroupBox* note = AddGroup(QStringLiteral("NOTE"), QRect(5, 1, 249, 91), palette().color(QPalette::WindowText));
    AddLabel(note, QStringLiteral("Write the PARAMETERS which you set :"), 9, 17, SkinTextColor);
    QLabel* write = AddLabel(note, QStringLiteral("Click WRITE PARAMETERS"), 92, 33, SkinTextColor);
    ColourWords(write, QStringLiteral("Click "), QStringLiteral("WRITE PARAMETERS"), AccentRed);
    AddLabel(note, QStringLiteral("Reset the last read PARAMETERS :"), 9, 57, SkinTextColor);
    QLabel* back = AddLabel(note, QStringLiteral("Click RETURN TO READ"), 92, 72, SkinTextColor);
    ColourWords(back, QStringLiteral("Click "), QStringLiteral("RETURN TO READ"), AccentBlue);

    BtnWrite = AddButton(QStringLiteral("WRITE PARAMETERS"), QRect(5, 96, 122, 21), AccentRed);
    BtnReturn = AddButton(QStringLiteral("RETURN TO READ"), QRect(132, 96, 122, 21), AccentBlue);
    BtnCancel = AddButton(QStringLiteral("CANCEL"), QRect(5, 121, 249, 21), palette().color(QPalette::WindowText));
    setTabOrder(BtnWrite, BtnReturn);
    setTabOrder(BtnReturn, BtnCancel);

    const auto answerWith = [this](qint32 answer) {
        return [this, answer] {
            Answer = answer;
            done(answer == AnswerCancel ? Rejected : Accepted);
        };
    };
    connect(BtnWrite, &QPushButton::clicked, this, answerWith(AnswerWrite));
    connect(BtnReturn, &QPushButton::clicked, this, answerWith(AnswerReturnToRead));
    connect(BtnCancel, &QPushButton::clicked, this, answerWith(AnswerCancel));
    BtnWrite->setFocus();
}
