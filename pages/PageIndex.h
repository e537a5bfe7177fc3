// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The six parameter pages, in menu order. Menu buttons, lamps, page slots and
// the page checks are all indexed by it.
enum PageIndex : int {
    PageOverview = 0,
    PageBluetooth = 1,
    PageSecurity = 2,
    PageSystem = 3,
    PageUart = 4,
    PageMultiComm = 5,
};

inline constexpr int PageCount = 6;

// The page's name as its menu button shows it ("OVERVIEW", "BLUETOOTH PARAMETERS", ...).
QString PageMenuCaption(int index);
