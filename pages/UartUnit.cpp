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
    BaudRate = AddList(QStringLiteral("BAUDRATE"), 0, 120,
                       {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
                        QStringLiteral("19200"), QStringLiteral("38400"), QStringLiteral("57600"),
                        QStringLiteral("115200"), QStringLiteral("230400")});
    ParityBit = AddList(QStringLiteral("PARITY BIT"), 1, 120,
                        {QStringLiteral("None"), QStringLiteral("Even"), QStringLiteral("Odd")});
    StopBit = AddList(QStringLiteral("STOP BIT"), 2, 120, {QStringLiteral("1"), QStringLiteral("2")});
    HWFlowControl = AddList(QStringLiteral("H/W FLOW CONTROL"), 3, 120,
                            {QStringLiteral("DISABLE"), QStringLiteral("ENABLE")});

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
        const qint32 flow = Group->HWFlowControl;
        HWFlowControl->setCurrentIndex(flow >= 0 && flow < HWFlowControl->count() ? flow : -1);
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
