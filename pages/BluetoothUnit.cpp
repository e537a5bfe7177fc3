// SPDX-License-Identifier: GPL-3.0-or-later
#include "BluetoothUnit.h"

#include "AtProtocol.h"
#include "ErrorFormUnit.h"
#include "MessageBox.h"
#include "ModuleExchange.h"
#include "PropertyUnit.h"
#include "SearchDevicesFormUnit.h"
#include "ListLook.h"
#include "Skin.h"
#include "TEditBox.h"
#include "TTimer.h"

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

namespace {

QString Shown(const QByteArray& text)
{
    return QString::fromLatin1(text);
}

QByteArray Stored(const QString& text)
{
    return text.toLatin1();
}

bool AllDecimal(const QString& text)
{
    return !text.isEmpty() && TextAccepted(TFieldKeys::Decimal, text.toLatin1());
}

bool AllHex(const QString& text)
{
    return !text.isEmpty() && TextAccepted(TFieldKeys::Hex, text.toLatin1());
}

// "(0 ~ 3F)": the field's range from its rule.
QString RangeHint(TFieldId id)
{
    return u'(' + FieldRangeText(id) + u')';
}

} // namespace

TBluetoothForm::TBluetoothForm(QWidget* parent)
    : TPageForm(QStringLiteral("BLUETOOTH PARAMETERS"), parent)
{
    DeviceName = AddFieldEdit(TFieldId::DeviceName, 0, 120);

    Role = AddFieldList(TFieldId::Role, 1, 100);

    RemoteBDAddr = AddFieldEdit(TFieldId::RemoteBDAddr, 2, 120);

    BtnSearch = new QPushButton(QStringLiteral("SEARCH"), this);
    BtnSearch->setFont(SkinFont(true));
    BtnSearch->setGeometry(ControlLeft + 126, Row(2) - 1, 76, ControlHeight + 2);
    BtnSearch->setAccessibleName(QStringLiteral("SEARCH"));

    // The fixed part of the access code is shown beside the two digits the
    // user may change; the caption belongs to the editable part.
    InquiryAccessCodeFirst = AddEdit(QString::fromLatin1(FieldRule(TFieldId::InquiryAccessCode).Caption), 3, 52, 32767);
    InquiryAccessCodeFirst->setReadOnly(true);
    InquiryAccessCodeFirst->setFocusPolicy(Qt::ClickFocus);
    InquiryAccessCodeFirst->setAccessibleName(QStringLiteral("INQUIRY ACCESS CODE FIXED PART"));
    SetBackgroundColor(InquiryAccessCodeFirst, InactiveCaptionColor);

    InquiryAccessCodeSecond = new TEditBox(this);
    InquiryAccessCodeSecond->setGeometry(ControlLeft + 56, Row(3), 32, ControlHeight);
    InquiryAccessCodeSecond->setFont(SkinFont(true));
    InquiryAccessCodeSecond->setAccessibleName(QString::fromLatin1(FieldRule(TFieldId::InquiryAccessCode).Caption));
    InquiryAccessCodeSecond->SetUpperCase(FieldRule(TFieldId::InquiryAccessCode).UpperCase);
    InquiryAccessCodeSecond->KeyFilter = &TBluetoothForm::InquiryAccessCodeSecondKeyPress;
    InquiryAccessCodeSecond->SetTypingLimit(FieldRule(TFieldId::InquiryAccessCode).Limit);
    SetBackgroundColor(InquiryAccessCodeSecond, EditColor);
    AddHint(RangeHint(TFieldId::InquiryAccessCode), 3, ControlLeft + 88);

    ClassOfDevice = AddFieldEdit(TFieldId::ClassOfDevice, 4, 72);
    AddHint(RangeHint(TFieldId::ClassOfDevice), 4, ControlLeft + 72);

    PowerSave = AddFieldList(TFieldId::PowerSave, 5, 100);

    LinkTimeout = AddFieldEdit(TFieldId::LinkTimeout, 6, 40);
    AddHint(QStringLiteral("Sec ") + RangeHint(TFieldId::LinkTimeout), 6, ControlLeft + 40);

    SupportProfile = AddFieldList(TFieldId::SupportProfile, 7, 100);

    ServiceName = AddFieldEdit(TFieldId::ServiceName, 8, 236);

    AccessCodeErrorTimer = new TTimer(100, this);
    AccessCodeErrorTimer->OnTimer = [this] { AccessCodeErrorTimerTimer(); };

    connect(DeviceName, &QLineEdit::textChanged, this, [this] { DeviceNameChange(); });
    connect(Role, &QComboBox::activated, this, [this] { RoleChange(); });
    connect(RemoteBDAddr, &QLineEdit::textChanged, this, [this] { RemoteBDAddrChange(); });
    connect(InquiryAccessCodeSecond, &QLineEdit::textChanged, this, [this] { InquiryAccessCodeSecondChange(); });
    connect(ClassOfDevice, &QLineEdit::textChanged, this, [this] { ClassOfDeviceChange(); });
    connect(PowerSave, &QComboBox::activated, this, [this] { PowerSaveChange(); });
    connect(LinkTimeout, &QLineEdit::textChanged, this, [this] { LinkTimeoutChange(); });
    connect(SupportProfile, &QComboBox::activated, this, [this] { SupportProfileChange(); });
    connect(ServiceName, &QLineEdit::textChanged, this, [this] { ServiceNameChange(); });
    connect(BtnSearch, &QPushButton::clicked, this, [this] { BtnSearchClick(); });

    setTabOrder(DeviceName, Role);
    setTabOrder(Role, RemoteBDAddr);
    setTabOrder(RemoteBDAddr, BtnSearch);
    setTabOrder(BtnSearch, InquiryAccessCodeSecond);
    setTabOrder(InquiryAccessCodeSecond, ClassOfDevice);
    setTabOrder(ClassOfDevice, PowerSave);
    setTabOrder(PowerSave, LinkTimeout);
    setTabOrder(LinkTimeout, SupportProfile);
    setTabOrder(SupportProfile, ServiceName);
}

TBluetoothForm::~TBluetoothForm() = default;

void TBluetoothForm::LoadFromParams()
{
    if (!Group)
        return;

    DeviceName->setText(Shown(Group->DeviceName));
    Role->setCurrentIndex(Group->Role);
    RemoteBDAddr->setText(Shown(Group->RemoteBDAddr));

    TEditBox* const extended[] = {InquiryAccessCodeSecond, ClassOfDevice, ServiceName};
    if (LegacyDevice) {
        InquiryAccessCodeFirst->clear();
        SetBackgroundColor(InquiryAccessCodeFirst, NotSupportedColor);
        for (TEditBox* box : extended) {
            box->clear();
            box->setReadOnly(true);
            SetBackgroundColor(box, NotSupportedColor);
        }
    } else {
        InquiryAccessCodeFirst->setText(Shown(Group->InquiryAccessCodeFirst));
        SetBackgroundColor(InquiryAccessCodeFirst, InactiveCaptionColor);
        for (TEditBox* box : extended)
            box->setReadOnly(false);
        InquiryAccessCodeSecond->setText(Shown(Group->InquiryAccessCodeSecond));
        ClassOfDevice->setText(Shown(Group->ClassOfDevice));
        ServiceName->setText(Shown(Group->ServiceName));
        for (TEditBox* box : extended)
            SetBackgroundColor(box, EditColor);
    }

    PowerSave->setCurrentIndex(Group->PowerSave);
    LinkTimeout->setText(QString::number(Group->LinkTimeout));

    if (LegacyDevice) {
        SupportProfile->setCurrentIndex(0);
        SetListReadOnly(SupportProfile, true);
    } else {
        SupportProfile->setCurrentIndex(Group->SupportProfile);
        SetListReadOnly(SupportProfile, false);
    }

    BtnSearch->setEnabled(MasterMode);
}

void TBluetoothForm::ShowServiceName(const QByteArray& name)
{
    ServiceName->setText(Shown(name));
}

void TBluetoothForm::DeviceNameChange()
{
    if (Group && !DeviceName->text().isEmpty())
        Group->DeviceName = Stored(DeviceName->text());
}

void TBluetoothForm::RoleChange()
{
    if (Group)
        Group->Role = Role->currentIndex();
}

void TBluetoothForm::RemoteBDAddrChange()
{
    if (Group && !RemoteBDAddr->text().isEmpty())
        Group->RemoteBDAddr = Stored(RemoteBDAddr->text());
}

void TBluetoothForm::InquiryAccessCodeSecondChange()
{
    const QString text = InquiryAccessCodeSecond->text();
    if (!Group || LegacyDevice || text.isEmpty())
        return;
    // Only a hexadecimal text is stored; anything else (which typing and
    // pasting cannot produce) is reported like an out-of-range value.
    if (AllHex(text))
        Group->InquiryAccessCodeSecond = Stored(text);
    if (!AccessCodeInRange(text))
        AccessCodeErrorTimer->Start();
}

void TBluetoothForm::ClassOfDeviceChange()
{
    if (Group && !LegacyDevice && !ClassOfDevice->text().isEmpty())
        Group->ClassOfDevice = Stored(ClassOfDevice->text());
}

void TBluetoothForm::PowerSaveChange()
{
    if (Group)
        Group->PowerSave = PowerSave->currentIndex();
}

void TBluetoothForm::LinkTimeoutChange()
{
    const QString text = LinkTimeout->text();
    if (!Group || !AllDecimal(text))
        return;
    bool ok = false;
    const qint32 value = text.toInt(&ok, 10);
    if (ok)
        Group->LinkTimeout = value;
}

void TBluetoothForm::SupportProfileChange()
{
    if (LegacyDevice || !Group)
        return;
    const int profile = SupportProfile->currentIndex();
    if (profile < 0)
        return;
    Group->SupportProfile = profile;
    if (!Host)
        return;
    if (Host->PortConnected()) {
        Host->SetCommMode(ModeProfileChange);
        Host->SetServiceNameRequested(0);
        Host->SendToModule(ProfileCommand(profile));
    } else {
        Host->SetCommMode(ModeIdle);
    }
}

void TBluetoothForm::ServiceNameChange()
{
    if (Group && !ServiceName->text().isEmpty())
        Group->ServiceName = Stored(ServiceName->text());
}

bool TBluetoothForm::RemoteBDAddrKeyPress(QChar key)
{
    return KeyAccepted(FieldRule(TFieldId::RemoteBDAddr).Keys, key);
}

bool TBluetoothForm::InquiryAccessCodeSecondKeyPress(QChar key)
{
    return KeyAccepted(FieldRule(TFieldId::InquiryAccessCode).Keys, key);
}

bool TBluetoothForm::ClassOfDeviceKeyPress(QChar key)
{
    return KeyAccepted(FieldRule(TFieldId::ClassOfDevice).Keys, key);
}

bool TBluetoothForm::LinkTimeoutKeyPress(QChar key)
{
    return KeyAccepted(FieldRule(TFieldId::LinkTimeout).Keys, key);
}

void TBluetoothForm::AccessCodeErrorTimerTimer()
{
    AccessCodeErrorTimer->Stop();

    const QPointer<TBluetoothForm> self(this);
    QPointer<TErrorForm> dialog = new TErrorForm(this);
    m_errorDialog = dialog;
    dialog->SetError(QStringLiteral("INPUT ERROR"), QStringLiteral("Input value is over or under range\r\n"),
                     QStringLiteral("It must be input 00 ~ 3F.\r\nInput again for Inquiry Access Code"));
    dialog->exec();
    delete dialog;
    if (!self)
        return;
    m_errorDialog = nullptr;

    InquiryAccessCodeSecond->clear();
    InquiryAccessCodeSecond->setFocus(Qt::OtherFocusReason);
}

void TBluetoothForm::BtnSearchClick()
{
    if (!MasterMode) {
        PlatformMessageBox::Show(QStringLiteral("This function must be executed in MASTER MODE"), this);
        return;
    }

    // The dialog of an earlier press is closed; only the newest one receives
    // search results.
    delete SearchDialog;
    const QPointer<TBluetoothForm> self(this);
    QPointer<TSearchDeviceForm> dialog = new TSearchDeviceForm(this);
    SearchDialog = dialog;
    dialog->OnSearchClick = [this] { BeginSearch(); };
    dialog->exec();
    if (!self || !dialog)
        return;
    if (dialog->Inserted)
        RemoteBDAddr->setText(Shown(dialog->SelectedAddress));
}

void TBluetoothForm::BeginSearch()
{
    if (SearchDialog) {
        SearchDialog->DeviceList->clear();
        SearchDialog->setEnabled(false);
    }
    if (Host)
        Host->StartDeviceSearch();
    // With the port closed nothing was sent and no answer will end the search:
    // the dialog, which has no close box, must not stay disabled for good.
    if (!Host || !Host->PortConnected())
        EndSearch();
}

void TBluetoothForm::AddSearchResult(const QByteArray& address, const QByteArray& name, const QByteArray& cod)
{
    if (!SearchDialog)
        return;
    QTreeWidget* list = SearchDialog->DeviceList;
    auto* row = new QTreeWidgetItem(list);
    row->setText(TSearchDeviceForm::SearchIndex, QString::number(list->topLevelItemCount()));
    row->setText(TSearchDeviceForm::DeviceAddress, Shown(address));
    row->setText(TSearchDeviceForm::DeviceNames, Shown(name));
    row->setText(TSearchDeviceForm::ClassOfDevice, Shown(cod));
    row->setTextAlignment(TSearchDeviceForm::SearchIndex, Qt::AlignCenter);
}

void TBluetoothForm::EndSearch()
{
    if (!SearchDialog)
        return;
    SearchDialog->setEnabled(true);
    SearchDialog->BtnSearch->setFocus(Qt::OtherFocusReason);
}
