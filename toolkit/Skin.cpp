// SPDX-License-Identifier: GPL-3.0-or-later
#include "Skin.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QStyleOptionHeaderV2>
#include <QStyleOptionSlider>
#include <QStyleOptionSpinBox>
#include <QWidget>

#include <vector>

namespace {

// Fusion with two changes.
//
// A group box's frame starts at the middle of its title, which breaks the top
// edge, instead of a whole indicator height below the top. The fixed layouts
// place text 16 pixels into a group box; with Fusion's own frame that text would
// sit on the top edge.
//
// Equal palettes are drawn as one. Fusion keeps the faces it draws for buttons,
// list headers, combo boxes, spin boxes and sliders in the application's pixmap
// cache, under a key made of the palette's identity (QPalette::cacheKey), not of
// its colours.
// Every widget given a colour of its own holds a palette with a fresh identity,
// so every dialog or page built anew would add the same faces to the cache once
// more, until the cache is full (10 MiB): a long session's memory would grow by
// that much. Drawn with the first palette of the same colours, they meet the
// faces already cached.
QPalette SharedPalette(const QPalette& palette);

class TSkinStyle final : public QProxyStyle
{
public:
    TSkinStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    {
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        const auto draw = [&](const QStyleOption* o) { QProxyStyle::drawPrimitive(element, o, painter, widget); };
        if (element == PE_PanelButtonCommand
            && (WithSharedPalette<QStyleOptionButton>(option, draw) || WithSharedPalette<QStyleOption>(option, draw)))
            return;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        const auto draw = [&](const QStyleOption* o) { QProxyStyle::drawControl(element, o, painter, widget); };
        if (element == CE_HeaderSection
            && (WithSharedPalette<QStyleOptionHeaderV2>(option, draw) || WithSharedPalette<QStyleOptionHeader>(option, draw)))
            return;
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        if (DrawnShared<QStyleOptionComboBox>(CC_ComboBox, control, option, painter, widget)
            || DrawnShared<QStyleOptionSpinBox>(CC_SpinBox, control, option, painter, widget)
            || DrawnShared<QStyleOptionSlider>(CC_Slider, control, option, painter, widget))
            return;
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

    // Draws an option of this kind with the shared palette of its colours in
    // place of its own; false (nothing drawn) for an option of another kind.
    template <typename Option, typename Draw>
    static bool WithSharedPalette(const QStyleOption* option, const Draw& draw)
    {
        const auto* typed = qstyleoption_cast<const Option*>(option);
        if (!typed)
            return false;
        Option shared = *typed;
        shared.palette = SharedPalette(typed->palette);
        draw(&shared);
        return true;
    }

    template <typename Option>
    bool DrawnShared(ComplexControl which, ComplexControl control, const QStyleOptionComplex* option,
                     QPainter* painter, const QWidget* widget) const
    {
        return control == which && WithSharedPalette<Option>(option, [&](const QStyleOption* o) {
                   QProxyStyle::drawComplexControl(control, static_cast<const QStyleOptionComplex*>(o), painter, widget);
               });
    }

    static QRect GroupFrame(const QStyleOptionGroupBox& group)
    {
        const int top = group.text.isEmpty() ? 0 : group.fontMetrics.height() / 2;
        return group.rect.adjusted(0, top, 0, 0);
    }
};

// The first palette seen with the same colours as `palette`, for every skin
// style alike (a button may have a style of its own on top of the skin). The
// few colour sets of the theme are kept; past a bound a palette is drawn as it is.
// Painting happens on the window thread only.
QPalette SharedPalette(const QPalette& palette)
{
    static constexpr size_t MaxPalettes = 64;
    static std::vector<QPalette> known;
    for (const QPalette& candidate : known) {
        if (candidate.isCopyOf(palette) || candidate == palette)
            return candidate;
    }
    if (known.size() < MaxPalettes)
        known.push_back(palette);
    return palette;
}

} // namespace

QStyle* CreateSkinStyle()
{
    return new TSkinStyle;
}

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
    app.setStyle(CreateSkinStyle());

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
