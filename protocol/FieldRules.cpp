// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldRules.h"

#include <algorithm>

namespace {

constexpr const char* BluetoothSection = "BLUETOOTH";
constexpr const char* SecuritySection = "SECURITY";
constexpr const char* SystemSection = "SYSTEM";
constexpr const char* UartSection = "UART";
constexpr const char* MultiCommSection = "MULTI-CONNECTION";

using K = TFieldKind;
using Keys = TFieldKeys;
using R = TRequirement;

const QList<TFieldRule>& Table()
{
    static const QList<TFieldRule> table = {
        {TFieldId::DeviceName, 1, BluetoothSection, "DEVICE NAME", K::Text, 12, Keys::Any, true, -1, OnAll, R::Filled,
         OnAll, "Parameter(Device Name) is empty.\r\nThis parameter must come to fill certainly.",
         "Fill Device Name Parameter."},
        {TFieldId::Role, 1, BluetoothSection, "ROLE", K::List, 0, Keys::Any, false, -1, OnAll, R::None, 0, nullptr,
         nullptr},
        {TFieldId::RemoteBDAddr, 1, BluetoothSection, "REMOTE BD ADDRESS", K::Text, 12, Keys::Hex, true, -1, OnAll,
         R::Complete, OnAll,
         "Parameter(Remote BD Address) is empty or not enougth.\r\n"
         "This parameter must come to fill certainly by 12 HEXA Numbers.",
         "Fill Remote BD Address Parameter by HEXA Number."},
        {TFieldId::InquiryAccessCode, 1, BluetoothSection, "INQUIRY ACCESS CODE", K::Text, 2, Keys::Hex, true,
         AccessCodeMaximum, OnCurrent, R::Filled, OnCurrent,
         "Parameter(Inquiry Access Code) is empty.\r\n"
         "This parameter must come to fill certainly by under 2 HEXA Numbers.",
         "Fill Inquiry Access Code Parameter by HEXA Number."},
        {TFieldId::ClassOfDevice, 1, BluetoothSection, "CLASS OF DEVICE", K::Text, 6, Keys::Hex, true, 0xFFFFFF,
         OnCurrent, R::Filled, OnCurrent,
         "Parameter(Class of Device) is empty.\r\n"
         "This parameter must come to fill certainly by under 6 HEXA Numbers.",
         "Fill Class of Device Parameter by HEXA Number."},
        {TFieldId::PowerSave, 1, BluetoothSection, "POWER SAVE", K::List, 0, Keys::Any, false, -1, OnAll, R::None, 0,
         nullptr, nullptr},
        {TFieldId::LinkTimeout, 1, BluetoothSection, "LINK SUPERVISION TIMEOUT", K::Text, 2, Keys::Decimal, false, 99,
         OnAll, R::Filled, OnAll,
         "Parameter(Link Supervision Timeout) is empty.\r\n"
         "This parameter must come to fill certainly by Decimal Number.",
         "Fill Link Supervision Timeout Parameter by Decimal Number."},
        {TFieldId::SupportProfile, 1, BluetoothSection, "SUPPORT PROFILE", K::List, 0, Keys::Any, false, -1, OnCurrent,
         R::None, 0, nullptr, nullptr},
        {TFieldId::ServiceName, 1, BluetoothSection, "SERVICE NAME", K::Text, 20, Keys::Any, true, -1, OnCurrent,
         R::Filled, OnCurrent, "Parameter(Service Name) is empty.\r\nThis parameter must come to fill any word.",
         "Fill Service Name Parameter."},
        {TFieldId::Auth, 2, SecuritySection, "AUTHENTICATION", K::List, 0, Keys::Any, false, -1, OnAll, R::None, 0,
         nullptr, nullptr},
        {TFieldId::PinCode, 2, SecuritySection, "PIN CODE", K::Text, 12, Keys::Any, true, -1, OnAll, R::Filled, OnAll,
         "Parameter(Pin Code) is empty.\r\nThis parameter must come to fill certainly.",
         "Fill Pin Code Parameter by Decimal Number."},
        {TFieldId::Encry, 2, SecuritySection, "ENCRYPTION", K::List, 0, Keys::Any, false, -1, OnAll, R::None, 0,
         nullptr, nullptr},
        {TFieldId::StatusMessage, 3, SystemSection, "STATUS MESSAGE", K::List, 0, Keys::Any, false, -1, OnAll, R::None,
         0, nullptr, nullptr},
        {TFieldId::ConnectionMode, 3, SystemSection, "CONNECTION MODE", K::List, 0, Keys::Any, false, -1, OnAll,
         R::None, 0, nullptr, nullptr},
        // The escape sequence may be several characters long, unlike the debug character.
        {TFieldId::EscapeChar, 3, SystemSection, "ESCAPE CHARACTER (HEXA)", K::Text, 12, Keys::Hex, true, -1, OnAll,
         R::Filled, OnAll,
         "Parameter(Escape Character) is empty.\r\n"
         "This parameter must come to fill certainly by 2 HEXA Numbers.",
         "Fill Escape Character Parameter by HEXA Number."},
        {TFieldId::DebugChar, 3, SystemSection, "DEBUG CHARACTER (HEXA)", K::Text, 2, Keys::Hex, true, 0xFF, OnAll,
         R::Filled, OnAll,
         "Parameter(Debug Character) is empty.\r\n"
         "This parameter must come to fill certainly by 2 HEXA Numbers.",
         "Fill Debug Character Parameter by HEXA Number."},
        {TFieldId::ConnectionDelayTime, 3, SystemSection, "CONNECTION DELAY TIME", K::Text, 6, Keys::Decimal, false,
         -1, OnCurrent, R::Filled, OnCurrent,
         "Parameter(Connection Delay Time) is empty.\r\n"
         "This parameter must come to fill certainly by Decimal Numbers.",
         "Fill Connection Delay Time Parameter by Decimal Number."},
        // Only "2.0" legacy modules switch streams fast; older ones do not.
        {TFieldId::StreamSwitchingFast, 3, SystemSection, "STREAM SWITCHING FAST", K::List, 0, Keys::Any, false, -1,
         OnCurrent | OnLegacyFast, R::Selected, OnCurrent | OnLegacyFast,
         "Parameter(Stream Switching Fast) is wrong.\r\nThis parameter must be ENABLE or DISABLE.",
         "Reselect this parameter."},
        {TFieldId::BaudRate, 4, UartSection, "BAUDRATE", K::List, 0, Keys::Any, false, -1, OnAll, R::None, 0, nullptr,
         nullptr},
        {TFieldId::ParityBit, 4, UartSection, "PARITY BIT", K::List, 0, Keys::Any, false, -1, OnAll, R::None, 0,
         nullptr, nullptr},
        {TFieldId::StopBit, 4, UartSection, "STOP BIT", K::List, 0, Keys::Any, false, -1, OnAll, R::None, 0, nullptr,
         nullptr},
        {TFieldId::HWFlowControl, 4, UartSection, "H/W FLOW CONTROL", K::List, 0, Keys::Any, false, -1, OnCurrent,
         R::None, 0, nullptr, nullptr},
        {TFieldId::OperationMode, 5, MultiCommSection, "OPERATION MODE", K::List, 0, Keys::Any, false, -1, OnAll,
         R::None, 0, nullptr, nullptr},
        {TFieldId::NumberOfDevice, 5, MultiCommSection, "NUMBER OF DEVICE", K::List, 0, Keys::Any, false, -1, OnAll,
         R::None, 0, nullptr, nullptr},
        {TFieldId::RxBufferSize, 5, MultiCommSection, "RX BUFFER SIZE", K::Text, 3, Keys::Decimal, false, -1, OnAll,
         R::Filled, OnAll,
         "Parameter(Rx Buffer Size) is empty.\r\n"
         "This parameter must come to fill certainly by Decimal Numbers.",
         "Fill Rx Buffer Size Parameter by Decimal Number."},
    };
    return table;
}

const QStringList OffOn{QStringLiteral("DISABLE"), QStringLiteral("ENABLE")};

// Lists whose choice is kept as its item's text rather than its index.
bool StoredAsText(TFieldId id)
{
    return id == TFieldId::BaudRate || id == TFieldId::ParityBit || id == TFieldId::StopBit;
}

bool IsDecimalField(TFieldId id)
{
    return FieldRule(id).Kind == TFieldKind::Text && FieldRule(id).Keys == TFieldKeys::Decimal;
}

qint32 IndexOf(TFieldId id, const TParameters& p)
{
    switch (id) {
    case TFieldId::Role: return p.Bluetooth.Role;
    case TFieldId::PowerSave: return p.Bluetooth.PowerSave;
    case TFieldId::SupportProfile: return p.Bluetooth.SupportProfile;
    case TFieldId::Auth: return p.Security.Auth;
    case TFieldId::Encry: return p.Security.Encry;
    case TFieldId::StatusMessage: return p.System.StatusMessage;
    case TFieldId::ConnectionMode: return p.System.ConnectionMode;
    case TFieldId::StreamSwitchingFast: return p.System.StreamSwitchingFast;
    case TFieldId::HWFlowControl: return p.Uart.HWFlowControl;
    case TFieldId::OperationMode: return p.MultiComm.OperationMode;
    case TFieldId::NumberOfDevice: return p.MultiComm.NumberOfDevice - 1;
    case TFieldId::LinkTimeout: return p.Bluetooth.LinkTimeout;
    case TFieldId::ConnectionDelayTime: return p.System.ConnectionDelayTime;
    case TFieldId::RxBufferSize: return p.MultiComm.RxBufferSize;
    default: return 0;
    }
}

void SetInteger(TFieldId id, TParameters& p, qint32 value)
{
    switch (id) {
    case TFieldId::Role: p.Bluetooth.Role = value; break;
    case TFieldId::PowerSave: p.Bluetooth.PowerSave = value; break;
    case TFieldId::SupportProfile: p.Bluetooth.SupportProfile = value; break;
    case TFieldId::Auth: p.Security.Auth = value; break;
    case TFieldId::Encry: p.Security.Encry = value; break;
    case TFieldId::StatusMessage: p.System.StatusMessage = value; break;
    case TFieldId::ConnectionMode: p.System.ConnectionMode = value; break;
    case TFieldId::StreamSwitchingFast: p.System.StreamSwitchingFast = value; break;
    case TFieldId::HWFlowControl: p.Uart.HWFlowControl = value; break;
    case TFieldId::OperationMode: p.MultiComm.OperationMode = value; break;
    case TFieldId::NumberOfDevice: p.MultiComm.NumberOfDevice = value + 1; break;
    case TFieldId::LinkTimeout: p.Bluetooth.LinkTimeout = value; break;
    case TFieldId::ConnectionDelayTime: p.System.ConnectionDelayTime = value; break;
    case TFieldId::RxBufferSize: p.MultiComm.RxBufferSize = value; break;
    default: break;
    }
}

QByteArray* TextOf(TFieldId id, TParameters& p)
{
    switch (id) {
    case TFieldId::DeviceName: return &p.Bluetooth.DeviceName;
    case TFieldId::RemoteBDAddr: return &p.Bluetooth.RemoteBDAddr;
    case TFieldId::InquiryAccessCode: return &p.Bluetooth.InquiryAccessCodeSecond;
    case TFieldId::ClassOfDevice: return &p.Bluetooth.ClassOfDevice;
    case TFieldId::ServiceName: return &p.Bluetooth.ServiceName;
    case TFieldId::PinCode: return &p.Security.PinCode;
    case TFieldId::EscapeChar: return &p.System.EscapeChar;
    case TFieldId::DebugChar: return &p.System.DebugChar;
    case TFieldId::BaudRate: return &p.Uart.BaudRate;
    case TFieldId::ParityBit: return &p.Uart.ParityBit;
    case TFieldId::StopBit: return &p.Uart.StopBit;
    default: return nullptr;
    }
}

const QByteArray* TextOf(TFieldId id, const TParameters& p)
{
    return TextOf(id, const_cast<TParameters&>(p));
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

// Checks a value that differs from what the module holds. Returns the problem,
// or nothing and the value to store in *accepted.
std::optional<QString> CheckChangedValue(const TFieldRule& rule, const QByteArray& value, const TRuleContext& context,
                                         QByteArray* accepted)
{
    if (rule.Kind == TFieldKind::List) {
        const QStringList items = FieldItems(rule.Id, context.Type, context.OperationModes, context.Devices);
        for (const QString& item : items) {
            if (item.compare(QString::fromLatin1(value), Qt::CaseInsensitive) == 0) {
                *accepted = item.toLatin1();
                return std::nullopt;
            }
        }
        return QStringLiteral("\"%1\" is not one of: %2")
            .arg(QString::fromLatin1(value), items.join(QStringLiteral(", ")));
    }

    const QByteArray text = rule.UpperCase ? value.toUpper() : value;
    if (text.isEmpty()) {
        if (rule.FaultDetail)
            return Flat(rule.FaultDetail);
        return QStringLiteral("must not be empty");
    }
    if (text.size() > rule.Limit)
        return QStringLiteral("\"%1\" is longer than %2 characters").arg(QString::fromLatin1(text)).arg(rule.Limit);
    if (!TextAccepted(rule.Keys, text)) {
        return QStringLiteral("\"%1\" takes only %2")
            .arg(QString::fromLatin1(text),
                 rule.Keys == TFieldKeys::Hex ? QStringLiteral("hex digits") : QStringLiteral("decimal digits"));
    }
    if (rule.Required == TRequirement::Complete && text.size() < rule.Limit)
        return Flat(rule.FaultDetail);
    if (rule.Maximum >= 0) {
        bool ok = false;
        const qint64 number = text.toLongLong(&ok, rule.Keys == TFieldKeys::Hex ? 16 : 10);
        if (!ok || number > rule.Maximum) {
            const QString top = rule.Keys == TFieldKeys::Hex ? QString::number(rule.Maximum, 16).toUpper()
                                                             : QString::number(rule.Maximum);
            return QStringLiteral("\"%1\" is out of range (0 ~ %2)").arg(QString::fromLatin1(text), top);
        }
    }
    *accepted = text;
    return std::nullopt;
}

void StoreValue(TFieldId id, const QByteArray& value, TParameters& p);

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
        QByteArray accepted;
        if (IsNumber(value) && !StoredAsText(id))
            return std::nullopt;
        TRuleContext widest;
        widest.OperationModes = MaxProductChoices;
        widest.Devices = MaxProductChoices;
        if (!CheckChangedValue(rule, value, widest, &accepted))
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
        return CheckChangedValue(rule, value, widest, &accepted);
    }
    if (value.isEmpty() && rule.Required != TRequirement::None)
        return Flat(rule.FaultDetail);
    const QByteArray text = rule.UpperCase ? value.toUpper() : value;
    if (!TextAccepted(rule.Keys, text)) {
        return QStringLiteral("\"%1\" takes only %2")
            .arg(QString::fromLatin1(text),
                 rule.Keys == TFieldKeys::Hex ? QStringLiteral("hex digits") : QStringLiteral("decimal digits"));
    }
    return std::nullopt;
}

namespace {

void StoreValue(TFieldId id, const QByteArray& value, TParameters& p)
{
    const TFieldRule& rule = FieldRule(id);
    if (rule.Kind == TFieldKind::List) {
        if (StoredAsText(id)) {
            *TextOf(id, p) = value;
            return;
        }
        if (id == TFieldId::NumberOfDevice) {
            SetInteger(id, p, value.toInt() - 1);
            return;
        }
        if (id == TFieldId::OperationMode) {
            SetInteger(id, p, value.mid(5).toInt());
            return;
        }
        const QStringList items = FieldItems(id, TModuleType::Current);
        SetInteger(id, p, qint32(items.indexOf(QString::fromLatin1(value))));
        return;
    }
    if (IsDecimalField(id)) {
        SetInteger(id, p, value.toInt());
        return;
    }
    *TextOf(id, p) = value;
}

} // namespace

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
    return {QString::fromLatin1(BluetoothSection), QString::fromLatin1(SecuritySection),
            QString::fromLatin1(SystemSection), QString::fromLatin1(UartSection),
            QString::fromLatin1(MultiCommSection)};
}

bool FieldSupported(TFieldId id, TModuleType type)
{
    return (FieldRule(id).Supported & ModuleTypeBit(type)) != 0;
}

bool FieldRequired(TFieldId id, TModuleType type)
{
    const TFieldRule& rule = FieldRule(id);
    return rule.Required != TRequirement::None && (rule.RequiredOn & ModuleTypeBit(type)) != 0;
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
    switch (id) {
    case TFieldId::Role: return {QStringLiteral("MASTER"), QStringLiteral("SLAVE")};
    case TFieldId::SupportProfile: return {QStringLiteral("SPP"), QStringLiteral("DUN")};
    case TFieldId::Auth:
        if (IsLegacy(type))
            return OffOn;
        return OffOn + QStringList{QStringLiteral("SSP")};
    case TFieldId::ConnectionMode:
        return {QStringLiteral("MODE 1"), QStringLiteral("MODE 2"), QStringLiteral("MODE 3"), QStringLiteral("MODE 4")};
    case TFieldId::BaudRate:
        return {QStringLiteral("1200"),  QStringLiteral("2400"),  QStringLiteral("4800"),
                QStringLiteral("9600"),  QStringLiteral("19200"), QStringLiteral("38400"),
                QStringLiteral("57600"), QStringLiteral("115200"), QStringLiteral("230400")};
    case TFieldId::ParityBit: return {QStringLiteral("None"), QStringLiteral("Even"), QStringLiteral("Odd")};
    case TFieldId::StopBit: return {QStringLiteral("1"), QStringLiteral("2")};
    case TFieldId::OperationMode: return OperationModeItems(operationModes.value_or(3));
    case TFieldId::NumberOfDevice: return NumberOfDeviceItems(devices.value_or(7));
    case TFieldId::PowerSave:
    case TFieldId::Encry:
    case TFieldId::StatusMessage:
    case TFieldId::StreamSwitchingFast:
    case TFieldId::HWFlowControl: return OffOn;
    default: return {};
    }
}

bool AccessCodeInRange(const QString& text)
{
    if (text.isEmpty() || !TextAccepted(TFieldKeys::Hex, text.toLatin1()))
        return false;
    bool ok = false;
    const int value = text.toInt(&ok, 16);
    return ok && value >= 0 && value <= AccessCodeMaximum;
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
    const TFieldRule& rule = FieldRule(id);
    if (const QByteArray* text = TextOf(id, params))
        return *text;
    if (rule.Kind == TFieldKind::Text)
        return QByteArray::number(IndexOf(id, params));
    switch (id) {
    case TFieldId::OperationMode:
        if (params.MultiComm.OperationMode >= 0)
            return QByteArrayLiteral("MODE ") + QByteArray::number(params.MultiComm.OperationMode);
        return QByteArray::number(params.MultiComm.OperationMode);
    case TFieldId::NumberOfDevice: return QByteArray::number(params.MultiComm.NumberOfDevice);
    default: break;
    }
    const QStringList items = FieldItems(id, TModuleType::Current);
    const qint32 index = IndexOf(id, params);
    if (index >= 0 && index < items.size())
        return items.at(index).toLatin1();
    return QByteArray::number(index);
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
        StoreValue(change.Id, accepted, edit);
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
    if (edit.MultiComm.OperationMode == 0) {
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
            edit.MultiComm.NumberOfDevice = 1;
            edit.MultiComm.RxBufferSize = 0;
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
