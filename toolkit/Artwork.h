// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// Every picture of the program, drawn here with vector strokes so that it stays
// sharp at any scale factor.
namespace Artwork {

enum class ToolbarGlyph { Open, Close, Read, Write, Init, Exit };
enum class MenuLook { Normal, Highlighted, Disabled };

// 82 x 58: an icon above a bold label.
QPixmap ToolbarPicture(ToolbarGlyph glyph);
QString ToolbarLabel(ToolbarGlyph glyph);

// 90 x 40: the page's title (OVERVIEW on one line, the others above PARAMETERS).
QPixmap MenuButtonPicture(int pageIndex, MenuLook look);

// The menu column: light grey with a dark-blue MENU header strip.
QPixmap MenuBackground(QSize size);

// The white title picture shown when no page is open.
QPixmap PlaceholderPicture(QSize size);

// A yellow warning triangle with an exclamation mark, transparent around it.
QPixmap WarningTriangle(int side);

// The small icon of the progress dialog.
QPixmap ProcessingIcon(int side);

// A page's painted heading band.
QPixmap PageHeading(const QString& title, int width);

QIcon ApplicationIcon();

} // namespace Artwork
