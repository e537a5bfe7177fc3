// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainDisplayUnit.h"

#include "Artwork.h"

#include <QPainter>

TMainDisplayForm::TMainDisplayForm(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(440, 360);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TMainDisplayForm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(rect(), Artwork::PlaceholderPicture(size()));
}
