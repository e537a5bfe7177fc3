// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageValidation.h"

#include "BluetoothUnit.h"
#include "FieldRules.h"
#include "MultiCommUnit.h"
#include "PageIndex.h"
#include "SecurityUnit.h"
#include "SystemUnit.h"
#include "TEditBox.h"

#include <QComboBox>

namespace {

using Result = std::optional<TPageFault>;

// Only a length of 0 counts as empty: a lone space is a value.
bool Empty(const TEditBox* box)
{
    return box->text().isEmpty();
}

bool NoSelection(const QComboBox* list)
{
    return list->currentIndex() < 0;
}

// The report of a field whose requirement fails, in the table's words.
TPageFault Fault(QWidget* control, TFieldId id)
{
    const TFieldFault* fault = FieldFault(id);
    return {control, QString::fromLatin1(fault->Detail), QString::fromLatin1(fault->Maintenance)};
}

// Whether the control meets its field's requirement on this module type. A
// field the type does not require (or lacks) always does.
bool Meets(TFieldId id, TModuleType type, const QWidget* control)
{
    if (!FieldRequired(id, type))
        return true;
    switch (FieldRule(id).Required) {
    case TRequirement::Filled: return !Empty(static_cast<const TEditBox*>(control));
    // Complete means all its characters; whether they are hex digits is the box's business.
    case TRequirement::Complete:
        return static_cast<const TEditBox*>(control)->text().size() >= FieldRule(id).Limit;
    case TRequirement::Selected: return !NoSelection(static_cast<const QComboBox*>(control));
    case TRequirement::None: return true;
    }
    return true;
}

struct TCheckedControl
{
    TFieldId Id;
    QWidget* Control;
};

// The fields of a page in the order they are tested; the first that fails is reported.
Result FirstFault(std::initializer_list<TCheckedControl> controls, TModuleType type)
{
    for (const TCheckedControl& c : controls) {
        if (!Meets(c.Id, type, c.Control))
            return Fault(c.Control, c.Id);
    }
    return std::nullopt;
}

Result CheckBluetooth(const TBluetoothForm& page, TModuleType type)
{
    return FirstFault({{TFieldId::DeviceName, page.DeviceName},
                       {TFieldId::RemoteBDAddr, page.RemoteBDAddr},
                       {TFieldId::InquiryAccessCode, page.InquiryAccessCodeSecond},
                       {TFieldId::ClassOfDevice, page.ClassOfDevice},
                       {TFieldId::LinkTimeout, page.LinkTimeout},
                       {TFieldId::ServiceName, page.ServiceName}},
                      type);
}

Result CheckSecurity(const TSecurityForm& page, TModuleType type)
{
    return FirstFault({{TFieldId::PinCode, page.PinCode}}, type);
}

Result CheckSystem(const TSystemForm& page, TModuleType type)
{
    return FirstFault({{TFieldId::EscapeChar, page.EscapeChar},
                       {TFieldId::DebugChar, page.DebugChar},
                       {TFieldId::ConnectionDelayTime, page.ConnectionDelayTime},
                       {TFieldId::StreamSwitchingFast, page.StreamSwitchingFast}},
                      type);
}

Result CheckMultiComm(const TMultiCommForm& page, TModuleType type)
{
    return FirstFault({{TFieldId::RxBufferSize, page.RxBufferSize}}, type);
}

} // namespace

std::optional<TPageFault> CheckPage(int pageIndex, QWidget* page, bool legacyDevice, bool legacyFastSwitch)
{
    const TModuleType type = ModuleTypeOf(legacyDevice, legacyFastSwitch);
    // A page object of another kind than the index names has none of the
    // controls to test; it is let through rather than taken apart.
    switch (pageIndex) {
    case PageBluetooth:
        if (const auto* p = dynamic_cast<const TBluetoothForm*>(page))
            return CheckBluetooth(*p, type);
        break;
    case PageSecurity:
        if (const auto* p = dynamic_cast<const TSecurityForm*>(page))
            return CheckSecurity(*p, type);
        break;
    case PageSystem:
        if (const auto* p = dynamic_cast<const TSystemForm*>(page))
            return CheckSystem(*p, type);
        break;
    case PageMultiComm:
        if (const auto* p = dynamic_cast<const TMultiCommForm*>(page))
            return CheckMultiComm(*p, type);
        break;
    default:
        break;
    }
    return std::nullopt;
}
