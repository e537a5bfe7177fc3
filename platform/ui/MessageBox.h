// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QWidget;

// The platform's plain message box: a text, an OK button, titled with the
// application's title. Tests install a hook to read what would have been shown
// instead of waiting for a person to press OK.
namespace PlatformMessageBox {

using Hook = std::function<void(const QString& text)>;

void Show(const QString& text, QWidget* parent = nullptr);

// Replaces the box with `hook` until it is reset with an empty hook. Returns the
// hook that was installed before.
Hook SetHook(Hook hook);

} // namespace PlatformMessageBox
