// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FieldRules.h"

#include <QWidget>

class QComboBox;
class QLabel;
class TEditBox;

// The frame every parameter page shares: a borderless 440 x 360 form with a
// painted heading band, captions at the left of their controls and hints at
// their right. Pages place their controls on a common row grid so they look
// alike.
class TPageForm : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TPageForm)

public:
    TPageForm(const QString& heading, QWidget* parent);

    static constexpr int RowTop = 44;       // top of the first row
    static constexpr int RowPitch = 30;     // distance between rows
    static constexpr int CaptionLeft = 16;  // captions start here
    static constexpr int ControlLeft = 190; // controls start here
    static constexpr int ControlHeight = 21;

    static int Row(int index) { return RowTop + index * RowPitch; }

protected:
    void paintEvent(QPaintEvent* event) override;

    // A caption painted at the left of row `row`.
    QLabel* AddCaption(const QString& text, int row);
    // A hint at the right of a control that ends at `left`.
    QLabel* AddHint(const QString& text, int row, int left);
    // An edit box in row `row`, `width` wide, with the caption as accessible name.
    // `maxLength` limits typing only: a loaded value is shown and kept whole.
    TEditBox* AddEdit(const QString& caption, int row, int width, int maxLength, int left = ControlLeft);
    // A select-only list in row `row`.
    QComboBox* AddList(const QString& caption, int row, int width, const QStringList& items, int left = ControlLeft);
    // The same for a setting of the field table: caption, typing limit, upper case,
    // accepted keys and the designed items come from its rule.
    TEditBox* AddFieldEdit(TFieldId id, int row, int width, int left = ControlLeft);
    QComboBox* AddFieldList(TFieldId id, int row, int width);

    // Selects a stored list choice; an index the list does not hold selects
    // nothing (and the stored value stays as it is).
    static void SelectIndex(QComboBox* list, qint64 index);

private:
    QString m_heading;
};
