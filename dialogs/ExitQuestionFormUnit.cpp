#include "ExitQuestionFormUnit.h"

#include "Skin.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

TExitQuestionForm::TExitQuestionForm(QWidget* parent)
    : TToolDialog(QStringLiteral("Exit Application"), QSize(277, 121), parent)
{
    QGroupBox* note = AddGroup(QStringLiteral("NOTE"), QRect(6, 1, 265, 88), palette().color(QPalette::WindowText));
    // Group-relative positions: the box starts at (6, 1).
    QLabel* lines = AddLabel(note, QStringLiteral("If the COM PORT is opened now, \r\nwhen this Application is closed,\r\nRestart Command will be sent to the device."), 1, 16, SkinTextColor);
    lines->setFixedSize(249, 39);
    // "Restart Command" is shown in red over the same words of the third line.
    QLabel* red = AddLabel(note, QStringLiteral("Restart Command"), 1, 42, AccentRed);
    red->setAutoFillBackground(true);
    red->setAccessibleName(QString());
    AddLabel(note, QStringLiteral("Do you want to exit this application?"), 1, 67, AccentBlue);

    BtnExit = AddButton(QStringLiteral("EXIT APPLICATION"), QRect(6, 95, 131, 21), AccentRed);
    BtnCancel = AddButton(QStringLiteral("CANCEL"), QRect(140, 95, 131, 21), palette().color(QPalette::WindowText));
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
