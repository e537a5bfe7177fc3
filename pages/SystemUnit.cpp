// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemUnit.h"

#include "PropertyUnit.h"
#include "ListLook.h"
#include "Skin.h"
#include "TEditBox.h"

#include <QComboBox>

TSystemForm::TSystemForm(QWidget* parent)
    : TPageForm(QStringLiteral("SYSTEM PARAMETERS"), parent)
{
    StatusMessage = AddFieldList(TFieldId::StatusMessage, 0, 120);
    ConnectionMode = AddFieldList(TFieldId::ConnectionMode, 1, 120);

    // The escape sequence may be several characters long, unlike the debug character.
    EscapeChar = AddFieldEdit(TFieldId::EscapeChar, 2, 120);
    AddHint(QStringLiteral("( 00 ~ FF )"), 2, ControlLeft + 120);

    DebugChar = AddFieldEdit(TFieldId::DebugChar, 3, 60);
    AddHint(QStringLiteral("( 00 ~ FF )"), 3, ControlLeft + 60);

    ConnectionDelayTime = AddFieldEdit(TFieldId::ConnectionDelayTime, 4, 60);
    AddHint(QStringLiteral("mSec ( 00 ~ 99 )"), 4, ControlLeft + 60);

    StreamSwitchingFast = AddFieldList(TFieldId::StreamSwitchingFast, 5, 120);

    connect(StatusMessage, &QComboBox::activated, this, &TSystemForm::StatusMessageChange);
    connect(ConnectionMode, &QComboBox::activated, this, &TSystemForm::ConnectionModeChange);
    connect(EscapeChar, &QLineEdit::textChanged, this, &TSystemForm::EscapeCharChange);
    connect(DebugChar, &QLineEdit::textChanged, this, &TSystemForm::DebugCharChange);
    connect(ConnectionDelayTime, &QLineEdit::textChanged, this, &TSystemForm::ConnectionDelayTimeChange);
    connect(StreamSwitchingFast, &QComboBox::activated, this, &TSystemForm::StreamSwitchingFastChange);
}

void TSystemForm::LoadFromParams()
{
    if (!Group)
        return;
    SelectIndex(StatusMessage, Group->StatusMessage);
    SelectIndex(ConnectionMode, Group->ConnectionMode);
    EscapeChar->setText(QString::fromLatin1(Group->EscapeChar));
    DebugChar->setText(QString::fromLatin1(Group->DebugChar));

    if (LegacyDevice) {
        ConnectionDelayTime->clear();
        ConnectionDelayTime->setReadOnly(true);
        SetBackgroundColor(ConnectionDelayTime, NotSupportedColor);
        // A "2.0" module still switches streams fast; older ones do not.
        if (LegacyFastSwitch) {
            SetListReadOnly(StreamSwitchingFast, false);
            SelectIndex(StreamSwitchingFast, Group->StreamSwitchingFast);
        } else {
            StreamSwitchingFast->setCurrentIndex(-1);
            SetListReadOnly(StreamSwitchingFast, true);
        }
    } else {
        ConnectionDelayTime->setText(QString::number(Group->ConnectionDelayTime));
        ConnectionDelayTime->setReadOnly(false);
        SetBackgroundColor(ConnectionDelayTime, EditColor);
        SetListReadOnly(StreamSwitchingFast, false);
        SelectIndex(StreamSwitchingFast, Group->StreamSwitchingFast);
    }
}

void TSystemForm::StatusMessageChange()
{
    if (Group)
        Group->StatusMessage = StatusMessage->currentIndex();
}

void TSystemForm::ConnectionModeChange()
{
    if (Group)
        Group->ConnectionMode = ConnectionMode->currentIndex();
}

// Emptied boxes keep the stored value; the page cannot be left while they are empty.
void TSystemForm::EscapeCharChange()
{
    if (Group && !EscapeChar->text().isEmpty())
        Group->EscapeChar = EscapeChar->text().toLatin1();
}

void TSystemForm::DebugCharChange()
{
    if (Group && !DebugChar->text().isEmpty())
        Group->DebugChar = DebugChar->text().toLatin1();
}

void TSystemForm::ConnectionDelayTimeChange()
{
    if (!Group || ConnectionDelayTime->text().isEmpty())
        return;
    // Only digits get past the box, so a failed conversion means the text
    // was set by program from something else; the stored value stays then.
    bool ok = false;
    const qint32 value = ConnectionDelayTime->text().toInt(&ok, 10);
    if (ok)
        Group->ConnectionDelayTime = value;
}

void TSystemForm::StreamSwitchingFastChange()
{
    if (Group)
        Group->StreamSwitchingFast = StreamSwitchingFast->currentIndex();
}

bool TSystemForm::EscapeCharKeyPress(QChar key)
{
    return KeyAccepted(FieldRule(TFieldId::EscapeChar).Keys, key);
}

bool TSystemForm::DebugCharKeyPress(QChar key)
{
    return KeyAccepted(FieldRule(TFieldId::DebugChar).Keys, key);
}

bool TSystemForm::ConnectionDelayTimeKeyPress(QChar key)
{
    return KeyAccepted(FieldRule(TFieldId::ConnectionDelayTime).Keys, key);
}
