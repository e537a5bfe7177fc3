// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>

class QApplication;
class QStyle;
class QWidget;

// The one light blue-grey theme over every window, and the colours that the
// windows set themselves.
inline const QColor SkinTextColor(66, 69, 82);
inline const QColor SkinWindowColor(222, 226, 234);
inline const QColor SkinBaseColor(255, 255, 255);
inline const QColor EditColor(242, 242, 245);
inline const QColor NotSupportedColor(255, 119, 119);
inline const QColor InactiveCaptionColor(191, 205, 219);
inline const QColor LampOnColor(0, 255, 0);
inline const QColor LampOffColor(0, 255 / 3, 0);
inline const QColor AccentRed(200, 0, 0);
inline const QColor AccentBlue(0, 0, 200);

// Applies the theme and the UI font to the whole application.
void ApplySkin(QApplication& app);

// A new instance of the theme's style, for a widget that needs a style of its own
// on top of it; the caller owns it.
QStyle* CreateSkinStyle();

// The UI font: 11 pixels high, as the fixed layouts were drawn for.
QFont SkinFont(bool bold = false);

// Gives a widget a fixed text colour that the theme does not repaint.
void SetTextColor(QWidget* widget, const QColor& color);

// Gives an edit box or list a background colour of its own.
void SetBackgroundColor(QWidget* widget, const QColor& color);
