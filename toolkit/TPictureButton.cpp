// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPictureButton.h"

#include <QMouseEvent>
#include <QPainter>

TPictureButton::TPictureButton(QWidget* parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void TPictureButton::SetPicture(const QPixmap& picture)
{
    m_picture = picture;
    update();
}

void TPictureButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!m_picture.isNull())
        p.drawPixmap(rect(), m_picture);
}

void TPictureButton::mouseMoveEvent(QMouseEvent* event)
{
    if (OnMouseMove)
        OnMouseMove();
    QWidget::mouseMoveEvent(event);
}

void TPictureButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
        OnClick();
    QWidget::mouseReleaseEvent(event);
}

void TPictureButton::leaveEvent(QEvent* event)
{
    if (OnMouseLeave)
        OnMouseLeave();
    QWidget::leaveEvent(event);
}
