// SPDX-License-Identifier: GPL-3.0-or-later
#include "TToolDialog.h"

#include "Centring.h"
#include "Skin.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>

namespace {

// The theme's style without the focus frame. Built on the theme rather than on
// the platform's default style, so the button is drawn as the others are.
class TNoFocusFrameStyle final : public QProxyStyle
{
public:
    TNoFocusFrameStyle()
        : QProxyStyle(CreateSkinStyle())
    {
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element == PE_FrameFocusRect)
            return;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

} // namespace

TToolDialog::TToolDialog(const QString& caption, QSize clientSize, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(caption);
    setAccessibleName(caption);
    setFixedSize(clientSize);
    setModal(true);
    CentreOnEveryShowing(this, [this]() -> const QWidget* { return parentWidget(); });
}

void TToolDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && !m_escapeCloses) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QLabel* TToolDialog::AddLabel(QWidget* parent, const QString& text, int left, int top, const QColor& color,
                              bool bold)
{
    auto* label = new QLabel(ToDisplayText(text), parent);
    label->setFont(SkinFont(bold));
    SetTextColor(label, color);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QPushButton* TToolDialog::AddButton(const QString& text, QRect place, const QColor& color)
{
    auto* button = new QPushButton(text, this);
    button->setFont(SkinFont(true));
    SetTextColor(button, color);
    button->setGeometry(place);
    button->setAccessibleName(text);
    button->setAutoDefault(true);
    return button;
}

QGroupBox* TToolDialog::AddGroup(const QString& caption, QRect place, const QColor& color)
{
    auto* group = new QGroupBox(caption, this);
    group->setFont(SkinFont(true));
    SetTextColor(group, color);
    group->setGeometry(place);
    return group;
}

QLabel* TToolDialog::ColourWords(QLabel* line, const QString& prefix, const QString& words, const QColor& color)
{
    auto* coloured = new QLabel(words, line->parentWidget());
    coloured->setFont(line->font());
    SetTextColor(coloured, color);
    // Measured rather than fixed, so the words stay over their grey twins whatever
    // font the machine substitutes.
    coloured->move(line->x() + line->fontMetrics().horizontalAdvance(prefix), line->y());
    coloured->adjustSize();
    // Painting the background hides the grey words underneath, so no grey fringe shows.
    coloured->setAutoFillBackground(true);
    coloured->raise();
    return coloured;
}

void TToolDialog::DrawNoFocusFrame(QAbstractButton* button)
{
    // One style per button, owned by it, so it outlives every paint of the button.
    auto* style = new TNoFocusFrameStyle;
    style->setParent(button);
    button->setStyle(style);
}

QString ToDisplayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}
