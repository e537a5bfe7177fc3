// SPDX-License-Identifier: GPL-3.0-or-later
#include "SecurityUnit.h"

#include "PropertyUnit.h"
#include "Skin.h"
#include "TEditBox.h"

#include <QComboBox>
#include <QLabel>

TSecurityForm::TSecurityForm(QWidget* parent)
    : TPageForm(QStringLiteral("SECURITY PARAMETERS"), parent)
{
    Auth = AddList(QString::fromLatin1(FieldRule(TFieldId::Auth).Caption), 0, 120, {});
    SspNote = new QLabel(QStringLiteral("* SSP : Secure Simple Pairing\n   (Bluetooth 2.1 modules only)"), this);
    SspNote->setFont(SkinFont(false));
    SspNote->setGeometry(ControlLeft, Row(0) + ControlHeight + 3, width() - ControlLeft - 8, 30);
    SspNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PinCode = AddFieldEdit(TFieldId::PinCode, 2, 120);
    Encry = AddFieldList(TFieldId::Encry, 3, 120);

    connect(Auth, &QComboBox::activated, this, &TSecurityForm::AuthChange);
    connect(PinCode, &QLineEdit::textChanged, this, &TSecurityForm::PinCodeChange);
    connect(Encry, &QComboBox::activated, this, &TSecurityForm::EncryChange);
}

void TSecurityForm::LoadFromParams()
{
    if (!Group)
        return;
    Auth->clear();
    // SSP is offered by current modules only.
    Auth->addItems(FieldItems(TFieldId::Auth, LegacyDevice ? TModuleType::Legacy : TModuleType::Current));
    // A stored choice the list does not offer (SSP on a legacy module) shows
    // nothing and stays stored until the user picks an item.
    SelectIndex(Auth, Group->Auth);
    PinCode->setText(QString::fromLatin1(Group->PinCode));
    SelectIndex(Encry, Group->Encry);
}

void TSecurityForm::AuthChange()
{
    if (Group)
        Group->Auth = Auth->currentIndex();
}

void TSecurityForm::PinCodeChange()
{
    // An emptied box keeps the stored code; leaving the page is refused instead.
    if (Group && !PinCode->text().isEmpty())
        Group->PinCode = PinCode->text().toLatin1();
}

void TSecurityForm::EncryChange()
{
    if (Group)
        Group->Encry = Encry->currentIndex();
}
