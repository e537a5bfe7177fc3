// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListLook.h"

#include "Skin.h"

#include <QComboBox>
#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace {

const char* const ReadOnlyProperty = "radiosetListReadOnly";
const char* const PainterProperty = "radiosetListPainter";

// Paints a read-only list: the frame and flat fill of an edit box in
// NotSupportedColor, the shown item and the list's arrow, all in the enabled
// look. The list itself stays disabled, which keeps every input away from it.
class TReadOnlyListPainter final : public QObject
{
public:
    explicit TReadOnlyListPainter(QComboBox* list)
        : QObject(list)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* list = static_cast<QComboBox*>(watched);
        if (event->type() != QEvent::Paint || !ListReadOnly(list))
            return false;
        Paint(list);
        return true;
    }

private:
    static void Paint(QComboBox* list)
    {
        QPainter painter(list);
        QStyle* style = list->style();

        QPalette palette = list->palette();
        palette.setCurrentColorGroup(QPalette::Active);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setColor(group, QPalette::Base, NotSupportedColor);
            palette.setColor(group, QPalette::Window, NotSupportedColor);
            palette.setColor(group, QPalette::Text, SkinTextColor);
            palette.setColor(group, QPalette::WindowText, SkinTextColor);
            palette.setColor(group, QPalette::ButtonText, SkinTextColor);
        }

        QStyleOptionFrame frame;
        frame.initFrom(list);
        frame.palette = palette;
        frame.state |= QStyle::State_Enabled;
        frame.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        frame.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, list);
        frame.midLineWidth = 0;
        style->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, list);

        QStyleOptionComboBox combo;
        combo.initFrom(list);
        combo.palette = palette;
        combo.state |= QStyle::State_Enabled;
        combo.editable = false;
        combo.frame = true;
        combo.subControls = QStyle::SC_ComboBoxArrow;
        const QRect field = style->subControlRect(QStyle::CC_ComboBox, &combo, QStyle::SC_ComboBoxEditField, list);
        const QRect arrow = style->subControlRect(QStyle::CC_ComboBox, &combo, QStyle::SC_ComboBoxArrow, list);

        QStyleOption arrowOption;
        arrowOption.initFrom(list);
        arrowOption.palette = palette;
        arrowOption.state |= QStyle::State_Enabled;
        const int side = qMin(arrow.width(), arrow.height()) / 2;
        arrowOption.rect = QRect(0, 0, side, side);
        arrowOption.rect.moveCenter(arrow.center());
        style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrowOption, &painter, list);

        painter.setFont(list->font());
        painter.setPen(SkinTextColor);
        painter.drawText(field, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, list->currentText());
    }
};

} // namespace

void SetListReadOnly(QComboBox* list, bool readOnly)
{
    if (!list->property(PainterProperty).toBool()) {
        list->installEventFilter(new TReadOnlyListPainter(list));
        list->setProperty(PainterProperty, true);
    }
    list->setProperty(ReadOnlyProperty, readOnly);
    // The skin's list look in both states; the read-only painting covers it.
    list->setPalette(QPalette());
    list->setAutoFillBackground(false);
    list->setEnabled(!readOnly);
    list->update();
}

bool ListReadOnly(const QComboBox* list)
{
    return list->property(ReadOnlyProperty).toBool();
}
