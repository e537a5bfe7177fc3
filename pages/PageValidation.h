// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

class QWidget;

inline const QString InputParameterErrorTitle = QStringLiteral("INPUT PARAMETER ERROR");

struct TPageFault
{
    QWidget* Control = nullptr;
    QString Detail;
    QString MaintenanceLine;
};

// Runs the tests of page `pageIndex` on its controls as they stand on screen; returns the
// first failure, or nothing when the page may be left. `page` is the page object in the slot.
std::optional<TPageFault> CheckPage(int pageIndex, QWidget* page, bool legacyDevice, bool legacyFastSwitch);
