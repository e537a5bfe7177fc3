// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLed.h"

#include "Skin.h"

#include <QPainter>

TLed::TLed(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void TLed::SetOn(bool on)
{
    if (m_on == on)
        return;
    m_on = on;
    update();
}

void TLed::SetCaption(const QString& caption)
{
    if (m_caption == caption)
        return;
    m_caption = caption;
    setAccessibleName(caption);
    update();
}

void TLed::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    const QColor face = m_on ? LampOnColor : LampOffColor;
    p.fillRect(r, face);
    // A thin bevel: light top-left, dark bottom-right.
    p.setPen(face.lighter(150));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(face.darker(200));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    if (!m_caption.isEmpty()) {
        p.setFont(SkinFont(true));
        p.setPen(m_on ? QColor(0, 40, 0) : QColor(200, 230, 200));
        p.drawText(r, Qt::AlignCenter, m_caption);
    }
}
