// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageIndex.h"

QString PageMenuCaption(int index)
{
    switch (index) {
    case PageOverview: return QStringLiteral("OVERVIEW");
    case PageBluetooth: return QStringLiteral("BLUETOOTH PARAMETERS");
    case PageSecurity: return QStringLiteral("SECURITY PARAMETERS");
    case PageSystem: return QStringLiteral("SYSTEM PARAMETERS");
    case PageUart: return QStringLiteral("UART PARAMETERS");
    case PageMultiComm: return QStringLiteral("1:N COMM. PARAMETERS");
    default: return {};
    }
}
