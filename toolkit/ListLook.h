// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QComboBox;

// The two looks of a page's drop-down list.
//
// Selectable: the skin's own list look (the window colour of the theme, drawn
// with its gradient), the same for every list of every page.
//
// Read-only: the user cannot open it, type into it or scroll it, and it is
// drawn flat in NotSupportedColor like the red edit boxes beside it, with its
// text in the skin's text colour, never in the greyed look of a disabled control.
void SetListReadOnly(QComboBox* list, bool readOnly);

// Whether SetListReadOnly made the list read-only.
bool ListReadOnly(const QComboBox* list);
