// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldRules.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr const char* BluetoothSection = "BLUETOOTH";
constexpr const char* SecuritySection = "SECURITY";
constexpr const char* SystemSection = "SYSTEM";
constexpr const char* UartSection = "UART";
constexpr const char* MultiCommSection = "MULTI-CONNECTION";

// ---------------------------------------------------------------- codecs

// The group of a parameter set that holds a member of that group's class.
template <typename TGroup> TGroup& GroupIn(const TParameters& p);
template <> TBluetoothParam& GroupIn(const TParameters& p) { return p.Bluetooth; }
template <> TSecurityParam& GroupIn(const TParameters& p) { return p.Security; }
template <> TSystemParam& GroupIn(const TParameters& p) { return p.System; }
template <> TUartParam& GroupIn(const TParameters& p) { return p.Uart; }
template <> TMultiCommParam& GroupIn(const TParameters& p) { return p.MultiComm; }

template <typename> struct TMemberOf;
template <typename TGroup, typename TValue> struct TMemberOf<TValue TGroup::*> { using Group = TGroup; };

// The field a member pointer names, in a parameter set (whose groups are
// references, so a const set still hands out its groups for writing).
template <auto Member> auto& FieldIn(const TParameters& p)
{
    return GroupIn<typename TMemberOf<decltype(Member)>::Group>(p).*Member;
}

QStringList CurrentItems(TFieldId id)
{
    return FieldItems(id, TModuleType::Current);
}

// A text kept as it is shown: names, addresses, hex digits, and the UART lists,
// which keep their item's text.
template <auto Member> constexpr TFieldCodec AsText{
    [](const TParameters& p, TFieldId) -> QByteArray { return FieldIn<Member>(p); },
    [](TParameters& p, TFieldId, const QByteArray& shown) { FieldIn<Member>(p) = shown; },
    nullptr,
    true,
};

// A number kept as an integer and shown in decimal; NUMBER OF DEVICE too, whose
// items are the counts themselves.
template <auto Member> constexpr TFieldCodec AsNumber{
    [](const TParameters& p, TFieldId) { return QByteArray::number(FieldIn<Member>(p)); },
    [](TParameters& p, TFieldId, const QByteArray& shown) { FieldIn<Member>(p) = shown.toInt(); },
    [](const TParameters& p) -> qint32 { return FieldIn<Member>(p); },
};

// A list choice kept as its item's index. A stored index the list lacks is
// shown as its number.
template <auto Member> constexpr TFieldCodec AsIndex{
    [](const TParameters& p, TFieldId id) {
        const qint32 index = FieldIn<Member>(p);
        const QStringList items = CurrentItems(id);
        return index >= 0 && index < items.size() ? items.at(index).toLatin1() : QByteArray::number(index);
    },
    [](TParameters& p, TFieldId id, const QByteArray& shown) {
        FieldIn<Member>(p) = qint32(CurrentItems(id).indexOf(QString::fromLatin1(shown)));
    },
    [](const TParameters& p) -> qint32 { return FieldIn<Member>(p); },
};

// An operation mode: "MODE n" kept as n.
constexpr QByteArrayView ModeWord = "MODE ";
template <auto Member> constexpr TFieldCodec AsMode{
    [](const TParameters& p, TFieldId) {
        const qint32 mode = FieldIn<Member>(p);
        return mode >= 0 ? ModeWord.toByteArray() + QByteArray::number(mode) : QByteArray::number(mode);
    },
    [](TParameters& p, TFieldId, const QByteArray& shown) {
        FieldIn<Member>(p) = shown.mid(ModeWord.size()).toInt();
    },
    [](const TParameters& p) -> qint32 { return FieldIn<Member>(p); },
};

// ---------------------------------------------------------------- the table

constexpr const char* OffOn[] = {"DISABLE", "ENABLE"};
constexpr const char* RoleItems[] = {"MASTER", "SLAVE"};
constexpr const char* ProfileItems[] = {"SPP", "DUN"};
// SSP exists on current modules only.
constexpr const char* AuthItems[] = {"DISABLE", "ENABLE", "SSP"};
constexpr const char* ConnectionModeItems[] = {"MODE 1", "MODE 2", "MODE 3", "MODE 4"};
constexpr const char* BaudRateItems[] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400"};
constexpr const char* ParityItems[] = {"None", "Even", "Odd"};
constexpr const char* StopBitItems[] = {"1", "2"};

// The lists the product list sizes, when it says nothing for the model.
constexpr int DefaultOperationModes = 3;
constexpr int DefaultDevices = 7;

using enum TFieldKind;
using enum TFieldKeys;
using enum TRequirement;

// clang-format off
constexpr TFieldRule Rows[] = {
    {.Id = TFieldId::DeviceName, .Page = 1, .Section = BluetoothSection, .Caption = "DEVICE NAME",
     .Stored = AsText<&TBluetoothParam::DeviceName>, .Kind = Text, .Limit = 12, .UpperCase = true, .Required = Filled},
    {.Id = TFieldId::Role, .Page = 1, .Section = BluetoothSection, .Caption = "ROLE",
     .Stored = AsIndex<&TBluetoothParam::Role>, .Items = RoleItems},
    {.Id = TFieldId::RemoteBDAddr, .Page = 1, .Section = BluetoothSection, .Caption = "REMOTE BD ADDRESS",
     .Stored = AsText<&TBluetoothParam::RemoteBDAddr>, .Kind = Text, .Limit = 12, .Keys = Hex, .UpperCase = true,
     .Required = Complete},
    // The editable part of the code; the fixed part is the module's.
    {.Id = TFieldId::InquiryAccessCode, .Page = 1, .Section = BluetoothSection, .Caption = "INQUIRY ACCESS CODE",
     .Stored = AsText<&TBluetoothParam::InquiryAccessCodeSecond>, .Kind = Text, .Limit = 2, .Keys = Hex,
     .UpperCase = true, .Maximum = AccessCodeMaximum, .Supported = OnCurrent, .Required = Filled},
    {.Id = TFieldId::ClassOfDevice, .Page = 1, .Section = BluetoothSection, .Caption = "CLASS OF DEVICE",
     .Stored = AsText<&TBluetoothParam::ClassOfDevice>, .Kind = Text, .Limit = 6, .Keys = Hex, .UpperCase = true,
     .Maximum = 0xFFFFFF, .Supported = OnCurrent, .Required = Filled},
    {.Id = TFieldId::PowerSave, .Page = 1, .Section = BluetoothSection, .Caption = "POWER SAVE",
     .Stored = AsIndex<&TBluetoothParam::PowerSave>, .Items = OffOn},
    {.Id = TFieldId::LinkTimeout, .Page = 1, .Section = BluetoothSection, .Caption = "LINK SUPERVISION TIMEOUT",
     .Stored = AsNumber<&TBluetoothParam::LinkTimeout>, .Kind = Text, .Limit = 2, .Keys = Decimal, .Maximum = 99,
     .Required = Filled},
    {.Id = TFieldId::SupportProfile, .Page = 1, .Section = BluetoothSection, .Caption = "SUPPORT PROFILE",
     .Stored = AsIndex<&TBluetoothParam::SupportProfile>, .Items = ProfileItems, .Supported = OnCurrent},
    {.Id = TFieldId::ServiceName, .Page = 1, .Section = BluetoothSection, .Caption = "SERVICE NAME",
     .Stored = AsText<&TBluetoothParam::ServiceName>, .Kind = Text, .Limit = 20, .UpperCase = true,
     .Supported = OnCurrent, .Required = Filled},

    {.Id = TFieldId::Auth, .Page = 2, .Section = SecuritySection, .Caption = "AUTHENTICATION",
     .Stored = AsIndex<&TSecurityParam::Auth>, .Items = AuthItems, .ItemsOnLegacy = 2},
    {.Id = TFieldId::PinCode, .Page = 2, .Section = SecuritySection, .Caption = "PIN CODE",
     .Stored = AsText<&TSecurityParam::PinCode>, .Kind = Text, .Limit = 12, .UpperCase = true, .Required = Filled},
    {.Id = TFieldId::Encry, .Page = 2, .Section = SecuritySection, .Caption = "ENCRYPTION",
     .Stored = AsIndex<&TSecurityParam::Encry>, .Items = OffOn},

    {.Id = TFieldId::StatusMessage, .Page = 3, .Section = SystemSection, .Caption = "STATUS MESSAGE",
     .Stored = AsIndex<&TSystemParam::StatusMessage>, .Items = OffOn},
    {.Id = TFieldId::ConnectionMode, .Page = 3, .Section = SystemSection, .Caption = "CONNECTION MODE",
     .Stored = AsIndex<&TSystemParam::ConnectionMode>, .Items = ConnectionModeItems},
    // The escape sequence may be several characters long, unlike the debug character.
    {.Id = TFieldId::EscapeChar, .Page = 3, .Section = SystemSection, .Caption = "ESCAPE CHARACTER (HEXA)",
     .Stored = AsText<&TSystemParam::EscapeChar>, .Kind = Text, .Limit = 12, .Keys = Hex, .UpperCase = true,
     .Required = Filled},
    {.Id = TFieldId::DebugChar, .Page = 3, .Section = SystemSection, .Caption = "DEBUG CHARACTER (HEXA)",
     .Stored = AsText<&TSystemParam::DebugChar>, .Kind = Text, .Limit = 2, .Keys = Hex, .UpperCase = true,
     .Maximum = 0xFF, .Required = Filled},
    {.Id = TFieldId::ConnectionDelayTime, .Page = 3, .Section = SystemSection, .Caption = "CONNECTION DELAY TIME",
     .Stored = AsNumber<&TSystemParam::ConnectionDelayTime>, .Kind = Text, .Limit = 6, .Keys = Decimal,
     .Supported = OnCurrent, .Required = Filled},
    // Only "2.0" legacy modules switch streams fast; older ones do not.
    {.Id = TFieldId::StreamSwitchingFast, .Page = 3, .Section = SystemSection, .Caption = "STREAM SWITCHING FAST",
     .Stored = AsIndex<&TSystemParam::StreamSwitchingFast>, .Items = OffOn, .Supported = OnCurrent | OnLegacyFast,
     .Required = Selected},

    {.Id = TFieldId::BaudRate, .Page = 4, .Section = UartSection, .Caption = "BAUDRATE",
     .Stored = AsText<&TUartParam::BaudRate>, .Items = BaudRateItems},
    {.Id = TFieldId::ParityBit, .Page = 4, .Section = UartSection, .Caption = "PARITY BIT",
     .Stored = AsText<&TUartParam::ParityBit>, .Items = ParityItems},
    {.Id = TFieldId::StopBit, .Page = 4, .Section = UartSection, .Caption = "STOP BIT",
     .Stored = AsText<&TUartParam::StopBit>, .Items = StopBitItems},
    {.Id = TFieldId::HWFlowControl, .Page = 4, .Section = UartSection, .Caption = "H/W FLOW CONTROL",
     .Stored = AsIndex<&TUartParam::HWFlowControl>, .Items = OffOn, .Supported = OnCurrent},

    // Their items come from the product list (OperationModeItems, NumberOfDeviceItems).
    {.Id = TFieldId::OperationMode, .Page = 5, .Section = MultiCommSection, .Caption = "OPERATION MODE",
     .Stored = AsMode<&TMultiCommParam::OperationMode>},
    {.Id = TFieldId::NumberOfDevice, .Page = 5, .Section = MultiCommSection, .Caption = "NUMBER OF DEVICE",
     .Stored = AsNumber<&TMultiCommParam::NumberOfDevice>},
    {.Id = TFieldId::RxBufferSize, .Page = 5, .Section = MultiCommSection, .Caption = "RX BUFFER SIZE",
     .Stored = AsNumber<&TMultiCommParam::RxBufferSize>, .Kind = Text, .Limit = 3, .Keys = Decimal,
     .Required = Filled},
};

// The page checks' reports, keyed by field.
constexpr TFieldFault Faults[] = {
    {TFieldId::DeviceName,
     "Parameter(Device Name) is empty.\r\nThis parameter must come to fill certainly.",
     "Fill Device Name Parameter."},
    {TFieldId::RemoteBDAddr,
     "Parameter(Remote BD Address) is empty or not enougth.\r\n"
     "This parameter must come to fill certainly by 12 HEXA Numbers.",
     "Fill Remote BD Address Parameter by HEXA Number."},
    {TFieldId::InquiryAccessCode,
     "Parameter(Inquiry Access Code) is empty.\r\n"
     "This parameter must come to fill certainly by under 2 HEXA Numbers.",
     "Fill Inquiry Access Code Parameter by HEXA Number."},
    {TFieldId::ClassOfDevice,
     "Parameter(Class of Device) is empty.\r\n"
     "This parameter must come to fill certainly by under 6 HEXA Numbers.",
     "Fill Class of Device Parameter by HEXA Number."},
    {TFieldId::LinkTimeout,
     "Parameter(Link Supervision Timeout) is empty.\r\n"
     "This parameter must come to fill certainly by Decimal Number.",
     "Fill Link Supervision Timeout Parameter by Decimal Number."},
    {TFieldId::ServiceName,
     "Parameter(Service Name) is empty.\r\nThis parameter must come to fill any word.",
     "Fill Service Name Parameter."},
    {TFieldId::PinCode,
     "Parameter(Pin Code) is empty.\r\nThis parameter must come to fill certainly.",
     "Fill Pin Code Parameter by Decimal Number."},
    {TFieldId::EscapeChar,
     "Parameter(Escape Character) is empty.\r\n"
     "This parameter must come to fill certainly by 2 HEXA Numbers.",
     "Fill Escape Character Parameter by HEXA Number."},
    {TFieldId::DebugChar,
     "Parameter(Debug Character) is empty.\r\n"
     "This parameter must come to fill certainly by 2 HEXA Numbers.",
     "Fill Debug Character Parameter by HEXA Number."},
    {TFieldId::ConnectionDelayTime,
     "Parameter(Connection Delay Time) is empty.\r\n"
     "This parameter must come to fill certainly by Decimal Numbers.",
     "Fill Connection Delay Time Parameter by Decimal Number."},
    {TFieldId::StreamSwitchingFast,
     "Parameter(Stream Switching Fast) is wrong.\r\nThis parameter must be ENABLE or DISABLE.",
     "Reselect this parameter."},
    {TFieldId::RxBufferSize,
     "Parameter(Rx Buffer Size) is empty.\r\n"
     "This parameter must come to fill certainly by Decimal Numbers.",
     "Fill Rx Buffer Size Parameter by Decimal Number."},
};
// clang-format on

constexpr const TFieldFault* FaultOf(TFieldId id)
{
    for (const TFieldFault& fault : Faults) {
        if (fault.Id == id)
            return &fault;
    }
    return nullptr;
}

// What the table must hold, checked as it is compiled.
constexpr bool RowsInIdOrder()
{
    for (std::size_t i = 0; i < std::size(Rows); ++i) {
        if (static_cast<std::size_t>(Rows[i].Id) != i)
            return false;
    }
    return true;
}

constexpr bool EveryRowComplete()
{
    for (const TFieldRule& row : Rows) {
        if (row.Page < 1 || !row.Section || !row.Caption || !row.Stored.Shown || !row.Stored.Store)
            return false;
        // A text field has a typing limit; a fixed list has items.
        if (row.Kind == TFieldKind::Text ? row.Limit <= 0 : (!row.Items.empty() && row.Limit != 0))
            return false;
        // A field with a requirement has its report, and only such a field.
        if ((row.Required != TRequirement::None) != (FaultOf(row.Id) != nullptr))
            return false;
    }
    return true;
}

static_assert(std::size(Rows) == FieldCount, "one row per field");
static_assert(RowsInIdOrder(), "rows in the order of TFieldId");
static_assert(EveryRowComplete(), "every row names its page, caption and store, and every requirement its report");

const QList<TFieldRule>& Table()
{
    static const QList<TFieldRule> table(std::begin(Rows), std::end(Rows));
    return table;
}

QString Flat(const char* text)
{
    QString flat = QString::fromLatin1(text);
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return flat;
}

QString Key(const TFieldRule& rule)
{
    return QString::fromLatin1(rule.Section) + u'.' + QString::fromLatin1(rule.Caption);
}

QString OnlyKeysText(const TFieldRule& rule, const QByteArray& text)
{
    return QStringLiteral("\"%1\" takes only %2")
        .arg(QString::fromLatin1(text),
             rule.Keys == TFieldKeys::Hex ? QStringLiteral("hex digits") : QStringLiteral("decimal digits"));
}

// The item of a list that a value names, without regard to letter case.
std::optional<QString> ItemNamed(const QStringList& items, const QByteArray& value)
{
    for (const QString& item : items) {
        if (item.compare(QString::fromLatin1(value), Qt::CaseInsensitive) == 0)
            return item;
    }
    return std::nullopt;
}

// Checks a value that differs from what the module holds. Returns the problem,
// or nothing and the value to store in *accepted.
std::optional<QString> CheckChangedValue(const TFieldRule& rule, const QByteArray& value, const TRuleContext& context,
                                         QByteArray* accepted)
{
    if (rule.Kind == TFieldKind::List) {
        const QStringList items = FieldItems(rule.Id, context.Type, context.OperationModes, context.Devices);
        if (const std::optional<QString> item = ItemNamed(items, value)) {
            *accepted = item->toLatin1();
            return std::nullopt;
        }
        return QStringLiteral("\"%1\" is not one of: %2")
            .arg(QString::fromLatin1(value), items.join(QStringLiteral(", ")));
    }

    const QByteArray text = rule.UpperCase ? value.toUpper() : value;
    if (text.isEmpty()) {
        if (const TFieldFault* fault = FaultOf(rule.Id))
            return Flat(fault->Detail);
        return QStringLiteral("must not be empty");
    }
    if (text.size() > rule.Limit)
        return QStringLiteral("\"%1\" is longer than %2 characters").arg(QString::fromLatin1(text)).arg(rule.Limit);
    if (!TextAccepted(rule.Keys, text))
        return OnlyKeysText(rule, text);
    if (rule.Required == TRequirement::Complete && text.size() < rule.Limit)
        return Flat(FaultOf(rule.Id)->Detail);
    if (rule.Maximum >= 0) {
        bool ok = false;
        const qint64 number = text.toLongLong(&ok, rule.Keys == TFieldKeys::Hex ? 16 : 10);
        if (!ok || number > rule.Maximum)
            return QStringLiteral("\"%1\" is out of range (%2)").arg(QString::fromLatin1(text), FieldRangeText(rule.Id));
    }
    *accepted = text;
    return std::nullopt;
}

bool IsNumber(const QByteArray& value)
{
    bool ok = false;
    value.toInt(&ok, 10);
    return ok;
}

} // namespace

std::optional<QString> CheckValueForm(TFieldId id, const QByteArray& value)
{
    const TFieldRule& rule = FieldRule(id);
    if (rule.Kind == TFieldKind::List) {
        // An index the list lacks may be what a module holds, shown as its number.
        if (IsNumber(value) && !rule.Stored.KeepsText)
            return std::nullopt;
        QByteArray accepted;
        TRuleContext widest;
        widest.OperationModes = MaxProductChoices;
        widest.Devices = MaxProductChoices;
        const std::optional<QString> fault = CheckChangedValue(rule, value, widest, &accepted);
        if (!fault)
            return std::nullopt;
        // A speed or stop bits the list lacks may be what a module holds, but
        // only as a number; the parity is one of the list's words or nothing a
        // module could hold.
        if (id == TFieldId::BaudRate && (value.isEmpty() || !TextAccepted(TFieldKeys::Decimal, value)))
            return QStringLiteral("\"%1\" is not a line speed (a number such as 9600)").arg(QString::fromLatin1(value));
        if (id == TFieldId::StopBit && (value.count('.') > 1 || !TextAccepted(TFieldKeys::Decimal, QByteArray(value).replace('.', ""))))
            return QStringLiteral("\"%1\" is not a number of stop bits").arg(QString::fromLatin1(value));
        if (id == TFieldId::BaudRate || id == TFieldId::StopBit)
            return std::nullopt;
        return fault;
    }
    if (value.isEmpty() && rule.Required != TRequirement::None)
        return Flat(FaultOf(id)->Detail);
    const QByteArray text = rule.UpperCase ? value.toUpper() : value;
    if (!TextAccepted(rule.Keys, text))
        return OnlyKeysText(rule, text);
    return std::nullopt;
}

unsigned ModuleTypeBit(TModuleType type)
{
    switch (type) {
    case TModuleType::Current: return OnCurrent;
    case TModuleType::LegacyFast: return OnLegacyFast;
    case TModuleType::Legacy: return OnLegacy;
    }
    return 0;
}

const QList<TFieldRule>& FieldRules()
{
    return Table();
}

const TFieldRule& FieldRule(TFieldId id)
{
    return Table().at(static_cast<int>(id));
}

const TFieldFault* FieldFault(TFieldId id)
{
    return FaultOf(id);
}

const TFieldRule* FindFieldRule(const QByteArray& section, const QByteArray& caption)
{
    for (const TFieldRule& rule : Table()) {
        if (section.compare(rule.Section, Qt::CaseInsensitive) == 0
            && caption.compare(rule.Caption, Qt::CaseInsensitive) == 0)
            return &rule;
    }
    return nullptr;
}

QStringList ProfileSections()
{
    QStringList sections;
    for (const TFieldRule& rule : Table()) {
        const QString section = QString::fromLatin1(rule.Section);
        if (!sections.contains(section))
            sections.append(section);
    }
    return sections;
}

QList<TProfileKey> ProfileKeys()
{
    QList<TProfileKey> keys;
    for (const TFieldRule& rule : Table())
        keys.append({QString::fromLatin1(rule.Section), QString::fromLatin1(rule.Caption), rule.Supported});
    return keys;
}

bool FieldSupported(TFieldId id, TModuleType type)
{
    return (FieldRule(id).Supported & ModuleTypeBit(type)) != 0;
}

bool FieldRequired(TFieldId id, TModuleType type)
{
    return FieldRule(id).Required != TRequirement::None && FieldSupported(id, type);
}

bool KeyAccepted(TFieldKeys keys, QChar key)
{
    if (key == QChar(8))
        return true;
    const bool decimal = key >= u'0' && key <= u'9';
    switch (keys) {
    case TFieldKeys::Any: return true;
    case TFieldKeys::Decimal: return decimal;
    case TFieldKeys::Hex: return decimal || (key >= u'a' && key <= u'f') || (key >= u'A' && key <= u'F');
    }
    return false;
}

bool TextAccepted(TFieldKeys keys, const QByteArray& text)
{
    return std::all_of(text.begin(), text.end(),
                       [keys](char c) { return c != 8 && KeyAccepted(keys, QChar::fromLatin1(c)); });
}

QStringList FieldItems(TFieldId id, TModuleType type, std::optional<int> operationModes, std::optional<int> devices)
{
    if (id == TFieldId::OperationMode)
        return OperationModeItems(operationModes.value_or(DefaultOperationModes));
    if (id == TFieldId::NumberOfDevice)
        return NumberOfDeviceItems(devices.value_or(DefaultDevices));
    const TFieldRule& rule = FieldRule(id);
    const qsizetype count = IsLegacy(type) && rule.ItemsOnLegacy >= 0 ? rule.ItemsOnLegacy : rule.Items.size();
    QStringList items;
    for (const char* item : rule.Items.first(count))
        items.append(QString::fromLatin1(item));
    return items;
}

bool AccessCodeInRange(const QString& text)
{
    if (text.isEmpty() || !TextAccepted(TFieldKeys::Hex, text.toLatin1()))
        return false;
    bool ok = false;
    const int value = text.toInt(&ok, 16);
    return ok && value >= 0 && value <= AccessCodeMaximum;
}

QString FieldRangeText(TFieldId id)
{
    const TFieldRule& rule = FieldRule(id);
    if (rule.Maximum < 0)
        return QString();
    const QString top = rule.Keys == TFieldKeys::Hex ? QString::number(rule.Maximum, 16).toUpper()
                                                     : QString::number(rule.Maximum);
    return QStringLiteral("0 ~ ") + top;
}

bool RoleAndBaudNeedModeFour(const QByteArray& model)
{
    return model == "QN7101" || model == "QN7201" || model == "QN7x01";
}

bool RoleAndBaudEditable(const QByteArray& model, qint32 connectionMode)
{
    // Connection mode 3 is shown as "MODE 4".
    return !RoleAndBaudNeedModeFour(model) || connectionMode >= 3;
}

bool IsSingleConnection(qint32 operationMode)
{
    return operationMode == 0;
}

void MakeSingleConnection(TMultiCommParam& group)
{
    group.NumberOfDevice = 1;
    group.RxBufferSize = 0;
}

std::optional<int> ProductChoiceCount(const QByteArray& text)
{
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value > MaxProductChoices)
        return std::nullopt;
    return value;
}

QStringList OperationModeItems(int count)
{
    QStringList items{QStringLiteral("MODE 0")};
    for (int i = 1; i < count; ++i)
        items.append(QStringLiteral("MODE %1").arg(i));
    return items;
}

QStringList NumberOfDeviceItems(int count)
{
    QStringList items{QStringLiteral("1")};
    for (int i = 2; i <= count; ++i)
        items.append(QString::number(i));
    return items;
}

QByteArray ShownValue(TFieldId id, const TParameters& params)
{
    return FieldRule(id).Stored.Shown(params, id);
}

qint32 StoredNumber(TFieldId id, const TParameters& params)
{
    const TFieldCodec& stored = FieldRule(id).Stored;
    return stored.Number ? stored.Number(params) : 0;
}

void CopyAllFields(const TParameters& source, TParameters& target)
{
    target.CopyReadValues(source);
    target.Bluetooth.ServiceName = source.Bluetooth.ServiceName;
    target.System.StreamSwitchingFast = source.System.StreamSwitchingFast;
}

TApplyResult ApplySettings(const QList<TSettingChange>& changes, const TParameters& read, TParameters& edit,
                           const TRuleContext& context)
{
    TApplyResult result;
    CopyAllFields(read, edit);

    bool changed[FieldCount] = {};
    bool given[FieldCount] = {};
    QByteArray givenValue[FieldCount];
    for (const TSettingChange& change : changes) {
        const TFieldRule& rule = FieldRule(change.Id);
        const int index = static_cast<int>(change.Id);
        if (!FieldSupported(change.Id, context.Type)) {
            result.Warnings.append({change.Id, QStringLiteral("%1 skipped: a %2 module does not have it")
                                                   .arg(Key(rule), QString::fromLatin1(ModuleTypeName(context.Type)))});
            continue;
        }
        given[index] = true;
        givenValue[index] = change.Value;
        // What the module holds is always taken back, whatever its length.
        if (change.Value == ShownValue(change.Id, read)) {
            continue;
        }
        QByteArray accepted;
        if (const std::optional<QString> problem = CheckChangedValue(rule, change.Value, context, &accepted)) {
            result.Errors.append({change.Id, *problem});
            continue;
        }
        if (accepted == ShownValue(change.Id, read))
            continue;
        changed[index] = true;
        rule.Stored.Store(edit, change.Id, accepted);
    }
    if (!result.Ok())
        return result;

    // Role and speed of three models follow the connection mode the write sets.
    for (TFieldId id : {TFieldId::Role, TFieldId::BaudRate}) {
        if (changed[static_cast<int>(id)] && !RoleAndBaudEditable(context.Model, edit.System.ConnectionMode)) {
            result.Errors.append(
                {id, QStringLiteral("%1 of a %2 can be changed only in CONNECTION MODE \"MODE 4\"")
                         .arg(QString::fromLatin1(FieldRule(id).Caption), QString::fromLatin1(context.Model))});
        }
    }

    // A single connection has one device and no receive buffer.
    if (IsSingleConnection(edit.MultiComm.OperationMode)) {
        const int devices = static_cast<int>(TFieldId::NumberOfDevice);
        const int buffer = static_cast<int>(TFieldId::RxBufferSize);
        if (changed[static_cast<int>(TFieldId::OperationMode)]) {
            const bool devicesOk = !given[devices] || givenValue[devices] == "1";
            const bool bufferOk = !given[buffer] || givenValue[buffer] == "0";
            if (!devicesOk || !bufferOk) {
                result.Errors.append({devicesOk ? TFieldId::RxBufferSize : TFieldId::NumberOfDevice,
                                      QStringLiteral("\"MODE 0\" is a single connection: NUMBER OF DEVICE is 1 "
                                                     "and RX BUFFER SIZE is 0")});
            }
            MakeSingleConnection(edit.MultiComm);
        } else {
            for (int i : {devices, buffer}) {
                if (changed[i]) {
                    result.Errors.append({static_cast<TFieldId>(i),
                                          QStringLiteral("cannot be changed in OPERATION MODE \"MODE 0\"")});
                }
            }
        }
    }
    return result;
}
