#include "PageValidation.h"

#include "BluetoothUnit.h"
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

TPageFault Fault(QWidget* control, const char* detail, const char* maintenance)
{
    return {control, QString::fromLatin1(detail), QString::fromLatin1(maintenance)};
}

Result CheckBluetooth(const TBluetoothForm& page, bool legacyDevice)
{
    if (Empty(page.DeviceName))
        return Fault(page.DeviceName, "Parameter(Device Name) is empty.\r\nThis parameter must come to fill certainly.",
                     "Fill Device Name Parameter.");
    // Complete means all 12 characters; whether they are hex digits is the box's business.
    if (page.RemoteBDAddr->text().size() < 12)
        return Fault(page.RemoteBDAddr,
                     "Parameter(Remote BD Address) is empty or not enougth.\r\n"
                     "This parameter must come to fill certainly by 12 HEXA Numbers.",
                     "Fill Remote BD Address Parameter by HEXA Number.");
    if (!legacyDevice) {
        if (Empty(page.InquiryAccessCodeSecond))
            return Fault(page.InquiryAccessCodeSecond,
                         "Parameter(Inquiry Access Code) is empty.\r\n"
                         "This parameter must come to fill certainly by under 2 HEXA Numbers.",
                         "Fill Inquiry Access Code Parameter by HEXA Number.");
        if (Empty(page.ClassOfDevice))
            return Fault(page.ClassOfDevice,
                         "Parameter(Class of Device) is empty.\r\n"
                         "This parameter must come to fill certainly by under 6 HEXA Numbers.",
                         "Fill Class of Device Parameter by HEXA Number.");
    }
    if (Empty(page.LinkTimeout))
        return Fault(page.LinkTimeout,
                     "Parameter(Link Supervision Timeout) is empty.\r\n"
                     "This parameter must come to fill certainly by Decimal Number.",
                     "Fill Link Supervision Timeout Parameter by Decimal Number.");
    if (legacyDevice)
        return std::nullopt;
    if (Empty(page.ServiceName))
        return Fault(page.ServiceName, "Parameter(Service Name) is empty.\r\nThis parameter must come to fill any word.",
                     "Fill Service Name Parameter.");
    return std::nullopt;
}

Result CheckSecurity(const TSecurityForm& page)
{
    if (Empty(page.PinCode))
        return Fault(page.PinCode, "Parameter(Pin Code) is empty.\r\nThis parameter must come to fill certainly.",
                     "Fill Pin Code Parameter by Decimal Number.");
    return std::nullopt;
}

Result CheckSystem(const TSystemForm& page, bool legacyDevice, bool legacyFastSwitch)
{
    if (Empty(page.EscapeChar))
        return Fault(page.EscapeChar,
                     "Parameter(Escape Character) is empty.\r\n"
                     "This parameter must come to fill certainly by 2 HEXA Numbers.",
                     "Fill Escape Character Parameter by HEXA Number.");
    if (Empty(page.DebugChar))
        return Fault(page.DebugChar,
                     "Parameter(Debug Character) is empty.\r\n"
                     "This parameter must come to fill certainly by 2 HEXA Numbers.",
                     "Fill Debug Character Parameter by HEXA Number.");
    // Older modules have no connection delay, and only "2.0" ones switch streams fast.
    if (legacyDevice && !legacyFastSwitch)
        return std::nullopt;
    if (!legacyDevice && Empty(page.ConnectionDelayTime))
        return Fault(page.ConnectionDelayTime,
                     "Parameter(Connection Delay Time) is empty.\r\n"
                     "This parameter must come to fill certainly by Decimal Numbers.",
                     "Fill Connection Delay Time Parameter by Decimal Number.");
    if (NoSelection(page.StreamSwitchingFast))
        return Fault(page.StreamSwitchingFast,
                     "Parameter(Stream Switching Fast) is wrong.\r\nThis parameter must be ENABLE or DISABLE.",
                     "Reselect this parameter.");
    return std::nullopt;
}

Result CheckMultiComm(const TMultiCommForm& page)
{
    if (Empty(page.RxBufferSize))
        return Fault(page.RxBufferSize,
                     "Parameter(Rx Buffer Size) is empty.\r\n"
                     "This parameter must come to fill certainly by Decimal Numbers.",
                     "Fill Rx Buffer Size Parameter by Decimal Number.");
    return std::nullopt;
}

} // namespace

std::optional<TPageFault> CheckPage(int pageIndex, QWidget* page, bool legacyDevice, bool legacyFastSwitch)
{
    // A page object of another kind than the index names has none of the
    // controls to test; it is let through rather than taken apart.
    switch (pageIndex) {
    case PageBluetooth:
        if (const auto* p = dynamic_cast<const TBluetoothForm*>(page))
            return CheckBluetooth(*p, legacyDevice);
        break;
    case PageSecurity:
        if (const auto* p = dynamic_cast<const TSecurityForm*>(page))
            return CheckSecurity(*p);
        break;
    case PageSystem:
        if (const auto* p = dynamic_cast<const TSystemForm*>(page))
            return CheckSystem(*p, legacyDevice, legacyFastSwitch);
        break;
    case PageMultiComm:
        if (const auto* p = dynamic_cast<const TMultiCommForm*>(page))
            return CheckMultiComm(*p);
        break;
    default:
        break;
    }
    return std::nullopt;
}
