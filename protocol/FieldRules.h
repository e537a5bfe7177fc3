// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ModuleType.h"
#include "PropertyUnit.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

// The rules every editable setting follows, kept in one table: which page shows
// it under which caption, where a parameter set keeps it and how its text
// converts, how long it may be typed, which characters it takes, its items or
// range, whether it must be filled, and which module types have it at all.
// The pages, the window's sequencer and the command-line program all read it;
// none of them keeps a rule of its own. No widgets here.

// ---------------------------------------------------------------- fields

enum class TFieldId {
    DeviceName,
    Role,
    RemoteBDAddr,
    InquiryAccessCode,
    ClassOfDevice,
    PowerSave,
    LinkTimeout,
    SupportProfile,
    ServiceName,
    Auth,
    PinCode,
    Encry,
    StatusMessage,
    ConnectionMode,
    EscapeChar,
    DebugChar,
    ConnectionDelayTime,
    StreamSwitchingFast,
    BaudRate,
    ParityBit,
    StopBit,
    HWFlowControl,
    OperationMode,
    NumberOfDevice,
    RxBufferSize,
};
inline constexpr int FieldCount = 25;

enum class TFieldKind { Text, List };
// Characters a text field takes (as typed; backspace always passes).
enum class TFieldKeys { Any, Hex, Decimal };
// What leaving the page or writing requires of the field.
enum class TRequirement {
    None,
    Filled,    // not empty (a lone space is a value)
    Complete,  // filled to its whole length
    Selected,  // a list with an item selected
};

// Module types as bits, for support masks.
enum TModuleTypeBits : unsigned {
    OnCurrent = 1,
    OnLegacyFast = 2,
    OnLegacy = 4,
    OnAll = 7,
};
unsigned ModuleTypeBit(TModuleType type);

// Where a field is kept in a parameter set, and how what is kept there turns
// into the text its page shows (ShownValue) and back. The codecs live in
// FieldRules.cpp: a text kept as it is shown, a decimal number, a list choice
// kept as its index, an operation mode kept as its number.
struct TFieldCodec
{
    QByteArray (*Shown)(const TParameters& params, TFieldId id) = nullptr;
    // Stores a value already checked against the field's rule.
    void (*Store)(TParameters& params, TFieldId id, const QByteArray& shown) = nullptr;
    // The integer kept for a field kept as a number or an index; nullptr for texts.
    qint32 (*Number)(const TParameters& params) = nullptr;
    bool KeepsText = false;  // the shown text itself is kept (a list of speeds, say)
};

// One row of the table. Rows are written with named fields; what most rows share
// is the default.
struct TFieldRule
{
    TFieldId Id;
    int Page = 0;                  // the page's index: 1 Bluetooth, 2 Security, 3 System, 4 UART, 5 Multi-connection
    const char* Section = nullptr; // profile section: "BLUETOOTH", "SECURITY", "SYSTEM", "UART", "MULTI-CONNECTION"
    const char* Caption = nullptr; // the page's caption, and the profile key
    TFieldCodec Stored;            // where the value is kept and how its text converts
    TFieldKind Kind = TFieldKind::List;
    std::span<const char* const> Items = {};  // a fixed list's items, in index order
    int ItemsOnLegacy = -1;        // how many of them a legacy module offers; -1 all
    int Limit = 0;                 // typing limit of a text field; 0 for lists
    TFieldKeys Keys = TFieldKeys::Any;
    bool UpperCase = false;        // typed letters become upper case
    qint64 Maximum = -1;           // largest value of a hex or decimal field; -1 when only the limit bounds it
    unsigned Supported = OnAll;    // module types that have the setting
    TRequirement Required = TRequirement::None;  // holds on every type that has the setting
};

// The page check's report when a field's requirement fails, in the system's words.
struct TFieldFault
{
    TFieldId Id;
    const char* Detail;
    const char* Maintenance;
};

const QList<TFieldRule>& FieldRules();
const TFieldRule& FieldRule(TFieldId id);
// The report of a field that has a requirement; nullptr for the others.
const TFieldFault* FieldFault(TFieldId id);
// Looks a field up by section and caption, both without regard to letter case.
const TFieldRule* FindFieldRule(const QByteArray& section, const QByteArray& caption);
QStringList ProfileSections();
// Every key of a profile as "SECTION.CAPTION", in the table's order, with the
// module types that lack it named: what radioset-cli's --help and the user's
// guide list.
struct TProfileKey
{
    QString Section;
    QString Caption;
    unsigned Supported;
};
QList<TProfileKey> ProfileKeys();

bool FieldSupported(TFieldId id, TModuleType type);
bool FieldRequired(TFieldId id, TModuleType type);
bool KeyAccepted(TFieldKeys keys, QChar key);
bool TextAccepted(TFieldKeys keys, const QByteArray& text);

// The items a list offers, as designed and for the module type (the SSP choice
// of AUTHENTICATION exists on current modules only). OPERATION MODE and NUMBER
// OF DEVICE take the product list's counts into account when given.
QStringList FieldItems(TFieldId id, TModuleType type, std::optional<int> operationModes = std::nullopt,
                       std::optional<int> devices = std::nullopt);

// The inquiry access code's editable part is two hex digits up to 3F.
inline constexpr int AccessCodeMaximum = 0x3F;
bool AccessCodeInRange(const QString& text);

// A field's range as its page's hint and its range error give it: "0 ~ 3F" for
// a hex field, "0 ~ 99" for a decimal one. Empty when only the limit bounds it.
QString FieldRangeText(TFieldId id);

// ---------------------------------------------------------------- model rules

// Three models change their role and UART speed only in the fourth connection mode.
bool RoleAndBaudNeedModeFour(const QByteArray& model);
bool RoleAndBaudEditable(const QByteArray& model, qint32 connectionMode);

// OPERATION MODE "MODE 0" is a single connection: one device, no receive buffer.
bool IsSingleConnection(qint32 operationMode);
void MakeSingleConnection(TMultiCommParam& group);

// The product list's OPMODE / NUMBEROFDEVICE value as a count: nothing when the
// text is missing, not a decimal number, or absurdly large.
inline constexpr int MaxProductChoices = 255;
std::optional<int> ProductChoiceCount(const QByteArray& text);
// Items of the two lists for a product list count: "MODE 0".."MODE n-1" (one item
// "MODE 0" when n is 1 or less) and "1".."c" (one item "1" when c is 1 or less).
QStringList OperationModeItems(int count);
QStringList NumberOfDeviceItems(int count);

// ---------------------------------------------------------------- values as shown

// The value as its page shows it: list fields by their item text ("SLAVE",
// "MODE 4", "Even"), numbers in decimal, texts whole. A stored list choice the
// list does not offer is given as its number.
QByteArray ShownValue(TFieldId id, const TParameters& params);
// The integer a parameter set keeps for a list choice or a number (0 for a text).
qint32 StoredNumber(TFieldId id, const TParameters& params);

// What the rules make of a set of changes against what the module holds.
struct TSettingChange
{
    TFieldId Id;
    QByteArray Value;  // as the page would show it
};

struct TSettingProblem
{
    TFieldId Id;
    QString Text;
};

struct TRuleContext
{
    TModuleType Type = TModuleType::Current;
    QByteArray Model;
    std::optional<int> OperationModes;  // from the product list, for the model
    std::optional<int> Devices;
};

struct TApplyResult
{
    QList<TSettingProblem> Errors;
    QList<TSettingProblem> Warnings;  // settings skipped because the module type lacks them
    bool Ok() const { return Errors.isEmpty(); }
};

// Starts the working copy from what was read (every field) and applies the
// changes under the pages' rules: a value equal to what the module holds is
// always taken; a setting the module type lacks is skipped with a warning;
// otherwise length, characters, range, requirement and list items are checked,
// then the model's MODE 4 rule and the single-connection rule of MODE 0 (one
// device, no buffer). `edit` is complete and valid when the result is Ok.
TApplyResult ApplySettings(const QList<TSettingChange>& changes, const TParameters& read, TParameters& edit,
                           const TRuleContext& context);

// The part of the rules that holds whatever the module: a list value must be one
// of the items any module type offers (or a plain number, the form a choice the
// list lacks is shown in), a required field must not be empty, and a text takes
// only its accepted characters. Length, range and completeness are left out: a
// module may hold a longer value, and what it holds is always taken back.
std::optional<QString> CheckValueForm(TFieldId id, const QByteArray& value);

// Copies every one of the thirty fields.
void CopyAllFields(const TParameters& source, TParameters& target);
