// SPDX-License-Identifier: GPL-3.0-or-later
#include "UartUnit.h"

#include "PropertyUnit.h"
#include "ListLook.h"

#include <QComboBox>

namespace {

// The first item whose whole text equals the stored text, case and all; no
// selection when there is none, and the stored text is left as it is.
void SelectText(QComboBox* list, const QByteArray& text)
{
    const QString wanted = QString::fromLatin1(text);
    int found = -1;
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i) == wanted) {
            found = i;
            break;
        }
    }
    list->setCurrentIndex(found);
}

} // namespace

TUartForm::TUartForm(QWidget* parent)
    : TPageForm(QStringLiteral("UART PARAMETERS"), parent)
{
    BaudRate = AddFieldList(TFieldId::BaudRate, 0, 120);
    ParityBit = AddFieldList(TFieldId::ParityBit, 1, 120);
    StopBit = AddFieldList(TFieldId::StopBit, 2, 120);
    HWFlowControl = AddFieldList(TFieldId::HWFlowControl, 3, 120);

    connect(BaudRate, &QComboBox::activated, this, &TUartForm::BaudRateChange);
    connect(ParityBit, &QComboBox::activated, this, &TUartForm::ParityBitChange);
    connect(StopBit, &QComboBox::activated, this, &TUartForm::StopBitChange);
    connect(HWFlowControl, &QComboBox::activated, this, &TUartForm::HWFlowControlChange);
}

void TUartForm::LoadFromParams()
{
    if (!Group)
        return;
    SelectText(BaudRate, Group->BaudRate);
    SelectText(ParityBit, Group->ParityBit);
    SelectText(StopBit, Group->StopBit);

    if (LegacyDevice) {
        HWFlowControl->setCurrentIndex(-1);
        SetListReadOnly(HWFlowControl, true);
    } else {
        SelectIndex(HWFlowControl, Group->HWFlowControl);
        SetListReadOnly(HWFlowControl, false);
    }
}

void TUartForm::BaudRateChange()
{
    if (Group && BaudRate->currentIndex() >= 0)
        Group->BaudRate = BaudRate->currentText().toLatin1();
}

void TUartForm::ParityBitChange()
{
    if (Group && ParityBit->currentIndex() >= 0)
        Group->ParityBit = ParityBit->currentText().toLatin1();
}

void TUartForm::StopBitChange()
{
    if (Group && StopBit->currentIndex() >= 0)
        Group->StopBit = StopBit->currentText().toLatin1();
}

void TUartForm::HWFlowControlChange()
{
    if (Group)
        Group->HWFlowControl = HWFlowControl->currentIndex();
}
