#include "Skin.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <QWidget>

namespace {

// Fusion with one change: a group box's frame starts at the middle of its title,
// which breaks the top edge, instead of a whole indicator height below the top.
// The fixed layouts place text 16 pixels into a group box; with Fusion's own
// frame that text would sit on the top edge.
class TSkinStyle final : public QProxyStyle
{
public:
    TSkinStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    {
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        const auto* group = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !group || !(group->subControls & SC_GroupBoxFrame)
            || (group->subControls & SC_GroupBoxCheckBox)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QRect frame = GroupFrame(*group);
        const QRect title = subControlRect(CC_GroupBox, group, SC_GroupBoxLabel, widget);
        painter->save();
        QRegion region(group->rect);
        if (!group->text.isEmpty())
            region -= title.adjusted(-2, 0, 2, 0);
        painter->setClipRegion(region);
        painter->setRenderHint(QPainter::Antialiasing, false);
        const QColor outline = group->palette.color(QPalette::Window).darker(140);
        painter->setPen(outline);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(frame.adjusted(0, 0, -1, -1));
        painter->setPen(QColor(255, 255, 255, 90));
        painter->drawRect(frame.adjusted(1, 1, -2, -2));
        painter->restore();

        QStyleOptionGroupBox label = *group;
        label.subControls &= ~SC_GroupBoxFrame;
        QProxyStyle::drawComplexControl(control, &label, painter, widget);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override
    {
        const auto* group = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control == CC_GroupBox && group && sub == SC_GroupBoxFrame && !(group->subControls & SC_GroupBoxCheckBox))
            return GroupFrame(*group);
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }

private:
    static QRect GroupFrame(const QStyleOptionGroupBox& group)
    {
        const int top = group.text.isEmpty() ? 0 : group.fontMetrics.height() / 2;
        return group.rect.adjusted(0, top, 0, 0);
    }
};

} // namespace

QFont SkinFont(bool bold)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    font.setBold(bold);
    return font;
}

void ApplySkin(QApplication& app)
{
    app.setStyle(new TSkinStyle);

    QPalette palette;
    palette.setColor(QPalette::Window, SkinWindowColor);
    palette.setColor(QPalette::WindowText, SkinTextColor);
    palette.setColor(QPalette::Text, SkinTextColor);
    palette.setColor(QPalette::ButtonText, SkinTextColor);
    palette.setColor(QPalette::Base, SkinBaseColor);
    palette.setColor(QPalette::AlternateBase, QColor(236, 239, 244));
    palette.setColor(QPalette::Button, QColor(214, 220, 230));
    palette.setColor(QPalette::Highlight, QColor(72, 104, 160));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, SkinBaseColor);
    palette.setColor(QPalette::ToolTipText, SkinTextColor);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(140, 144, 156));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(140, 144, 156));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(140, 144, 156));
    app.setPalette(palette);
    app.setFont(SkinFont());
}

void SetTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

void SetBackgroundColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, color);
    palette.setColor(QPalette::Button, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
