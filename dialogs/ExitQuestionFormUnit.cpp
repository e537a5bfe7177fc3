// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExitQuestionFormUnit.h"

#include "Skin.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

TExitQuestionForm::TExitQuestionForm(QWidget* parent)
    : TToolDialog(QStringLiteral("Exit Application"), QSize(277, 121), parent)
{
    QGroupBox* note = AddGroup(QStringLiteral("NOTE"), QRect(6, 1, 265, 88), palette().color(QPalette::WindowText));
    // One label per line, 13 pixels apart, so the red words can lie exactly over the
    // start of the third line whatever line spacing the font would choose.
    const QStringList lines = QStringLiteral("If the COM PORT is opened now, \r\nwhen this Application is closed,\r\n"
                                             "Restart Command will be sent to the device.")
                                  .split(QStringLiteral("\r\n"));
    QLabel* line = nullptr;
    for (qsizetype i = 0; i < lines.size(); ++i)
        line = AddLabel(note, lines[i], 7, 17 + 13 * int(i), SkinTextColor);
    ColourWords(line, QString(), QStringLiteral("Restart Command"), AccentRed);
    AddLabel(note, QStringLiteral("Do you want to exit this application?"), 7, 68, AccentBlue);

    BtnExit = AddButton(QStringLiteral("EXIT APPLICATION"), QRect(6, 95, 131, 21), AccentRed);
    BtnCancel = AddButton(QStringLiteral("CANCEL"), QRect(140, 95, 131, 21), palette().color(QPalette::WindowText));
    DrawNoFocusFrame(BtnExit);
    DrawNoFocusFrame(BtnCancel);
    setTabOrder(BtnExit, BtnCancel);

    connect(BtnExit, &QPushButton::clicked, this, [this] {
        Confirmed = true;
        accept();
    });
    connect(BtnCancel, &QPushButton::clicked, this, [this] {
        Confirmed = false;
        reject();
    });
    BtnExit->setFocus();
}
