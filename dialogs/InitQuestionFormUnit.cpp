// SPDX-License-Identifier: GPL-3.0-or-later
#include "InitQuestionFormUnit.h"

#include "Artwork.h"
#include "Skin.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

TInitQuestionForm::TInitQuestionForm(QWidget* parent)
    : TToolDialog(QStringLiteral("Factory Initialization"), QSize(334, 99), parent)
{
    QGroupBox* warning = AddGroup(QStringLiteral("WARNING : FACTORY INITIALIZATION"), QRect(5, 2, 323, 65),
                                  palette().color(QPalette::WindowText));
    auto* triangle = new QLabel(warning);
    triangle->setPixmap(Artwork::WarningTriangle(45));
    triangle->setGeometry(3, 16, 45, 45);
    AddLabel(warning, QStringLiteral("This device will be initialized to Factory Setting"), 52, 25, AccentRed);
    AddLabel(warning, QStringLiteral("Do you want to initialize this device?"), 71, 42, SkinTextColor);

    BtnInit = AddButton(QStringLiteral("INIT DEVICE"), QRect(5, 73, 159, 20), AccentRed);
    BtnCancel = AddButton(QStringLiteral("CANCEL"), QRect(169, 73, 159, 20), palette().color(QPalette::WindowText));
    setTabOrder(BtnInit, BtnCancel);

    connect(BtnInit, &QPushButton::clicked, this, [this] {
        Confirmed = true;
        accept();
    });
    connect(BtnCancel, &QPushButton::clicked, this, [this] {
        Confirmed = false;
        reject();
    });
    BtnInit->setFocus();
}
