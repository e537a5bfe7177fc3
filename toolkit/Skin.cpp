#include "Skin.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <QWidget>

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
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

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
