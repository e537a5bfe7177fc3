// SPDX-License-Identifier: GPL-3.0-or-later
#include "MultiCommUnit.h"

#include "IniFile.h"
#include "PropertyUnit.h"
#include "TEditBox.h"

#include <QComboBox>

TMultiCommForm::TMultiCommForm(QWidget* parent)
    : TPageForm(QStringLiteral("1:N COMMUNICATION PARAMETERS"), parent)
{
    OperationMode = AddFieldList(TFieldId::OperationMode, 0, 120);
    NumberOfDevice = AddFieldList(TFieldId::NumberOfDevice, 1, 120);
    RxBufferSize = AddFieldEdit(TFieldId::RxBufferSize, 2, 60);

    connect(OperationMode, &QComboBox::activated, this, &TMultiCommForm::OperationModeChange);
    connect(NumberOfDevice, &QComboBox::activated, this, &TMultiCommForm::NumberOfDeviceChange);
    connect(RxBufferSize, &QLineEdit::textChanged, this, &TMultiCommForm::RxBufferSizeChange);
}

QByteArray TMultiCommForm::ReadConfigValue(const QByteArray& section, const QByteArray& key) const
{
    if (ConfigPath.isEmpty())
        return {};
    return ReadProductListValue(ConfigPath, section, key);
}

std::optional<int> TMultiCommForm::ReadChoiceCount(const QByteArray& key) const
{
    const QByteArray text = ReadConfigValue(ModelName, key);
    if (text.isEmpty())
        return std::nullopt;
    // A value that is not a decimal number (or an absurd one) leaves the
    // designed items in place, as a missing one does.
    return ProductChoiceCount(text);
}

void TMultiCommForm::LoadModelChoices()
{
    if (ModelName.isEmpty())
        return;
    const std::optional<int> modes = ReadChoiceCount(QByteArrayLiteral("OPMODE"));
    if (!modes)
        return;

    OperationMode->clear();
    OperationMode->addItems(OperationModeItems(*modes));
    OperationMode->setEnabled(*modes > 1);
    OperationMode->setCurrentIndex(-1);

    const std::optional<int> devices = ReadChoiceCount(QByteArrayLiteral("NUMBEROFDEVICE"));
    if (!devices)
        return;

    NumberOfDevice->clear();
    NumberOfDevice->addItems(NumberOfDeviceItems(*devices));
    if (*devices <= 1) {
        // One device needs no receive buffer: store 0 through the box's handler.
        RxBufferSize->setText(QStringLiteral("0"));
        NumberOfDevice->setEnabled(false);
        RxBufferSize->setEnabled(false);
    } else {
        NumberOfDevice->setEnabled(true);
        RxBufferSize->setEnabled(true);
    }
    NumberOfDevice->setCurrentIndex(-1);
}

void TMultiCommForm::LoadFromParams()
{
    if (!Group)
        return;
    // An index the list does not hold shows nothing; the group keeps its value.
    SelectIndex(OperationMode, Group->OperationMode);
    SelectIndex(NumberOfDevice, qint64(Group->NumberOfDevice) - 1);
    RxBufferSize->setText(QString::number(Group->RxBufferSize));
}

void TMultiCommForm::ApplyOperationModeLock()
{
    const bool unlocked = Group && Group->OperationMode > 0;
    NumberOfDevice->setEnabled(unlocked);
    RxBufferSize->setEnabled(unlocked);
}

void TMultiCommForm::OperationModeChange()
{
    if (!Group)
        return;
    const int mode = OperationMode->currentIndex();
    Group->OperationMode = mode;
    if (IsSingleConnection(mode)) {
        MakeSingleConnection(*Group);
        SelectIndex(NumberOfDevice, qint64(Group->NumberOfDevice) - 1);
        NumberOfDevice->setEnabled(false);
        RxBufferSize->setText(QString::number(Group->RxBufferSize));
        RxBufferSize->setEnabled(false);
    } else {
        NumberOfDevice->setEnabled(true);
        RxBufferSize->setEnabled(true);
    }
}

void TMultiCommForm::NumberOfDeviceChange()
{
    if (Group)
        Group->NumberOfDevice = NumberOfDevice->currentIndex() + 1;
}

void TMultiCommForm::RxBufferSizeChange()
{
    // An emptied box keeps the stored size; the page cannot be left while it is empty.
    if (!Group || RxBufferSize->text().isEmpty())
        return;
    bool ok = false;
    const qint32 value = RxBufferSize->text().toInt(&ok, 10);
    if (ok)
        Group->RxBufferSize = value;
}

bool TMultiCommForm::RxBufferSizeKeyPress(QChar key)
{
    return KeyAccepted(FieldRule(TFieldId::RxBufferSize).Keys, key);
}
