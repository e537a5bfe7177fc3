// SPDX-License-Identifier: GPL-3.0-or-later
#include "Artwork.h"

#include "Skin.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace Artwork {
namespace {

const QColor MenuBlue(24, 64, 160);
const QColor MenuRed(210, 20, 20);
const QColor HeaderBlue(22, 38, 92);

QPixmap Canvas(QSize size)
{
    const qreal dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pm(size * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    return pm;
}

QFont Bold(int pixelSize)
{
    QFont f = SkinFont(true);
    f.setPixelSize(pixelSize);
    return f;
}

void DrawGlyph(QPainter& p, ToolbarGlyph glyph, const QRectF& box)
{
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c = box.center();
    QPen pen(QColor(40, 60, 110), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    switch (glyph) {
    case ToolbarGlyph::Open:
    case ToolbarGlyph::Close: {
        // A serial connector: a trapezoid shell with pins.
        QPainterPath shell;
        shell.moveTo(c.x() - 15, c.y() - 9);
        shell.lineTo(c.x() + 15, c.y() - 9);
        shell.lineTo(c.x() + 11, c.y() + 9);
        shell.lineTo(c.x() - 11, c.y() + 9);
        shell.closeSubpath();
        p.setBrush(glyph == ToolbarGlyph::Open ? QColor(120, 200, 120) : QColor(200, 205, 215));
        p.drawPath(shell);
        p.setBrush(QColor(40, 60, 110));
        for (int i = 0; i < 5; ++i)
            p.drawEllipse(QPointF(c.x() - 10 + i * 5, c.y() - 3), 1.2, 1.2);
        for (int i = 0; i < 4; ++i)
            p.drawEllipse(QPointF(c.x() - 7.5 + i * 5, c.y() + 3), 1.2, 1.2);
        if (glyph == ToolbarGlyph::Close) {
            p.setPen(QPen(QColor(200, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(c.x() - 12, c.y() - 12), QPointF(c.x() + 12, c.y() + 12));
        }
        break;
    }
    case ToolbarGlyph::Read:
    case ToolbarGlyph::Write: {
        // A chip with an arrow out of it (read) or into it (write).
        p.setBrush(QColor(70, 80, 100));
        p.drawRoundedRect(QRectF(c.x() - 16, c.y() - 4, 14, 14), 2, 2);
        p.setPen(QPen(QColor(70, 80, 100), 1.5));
        for (int i = 0; i < 3; ++i) {
            p.drawLine(QPointF(c.x() - 13 + i * 4, c.y() - 7), QPointF(c.x() - 13 + i * 4, c.y() - 4));
            p.drawLine(QPointF(c.x() - 13 + i * 4, c.y() + 10), QPointF(c.x() - 13 + i * 4, c.y() + 13));
        }
        const QColor arrow = glyph == ToolbarGlyph::Read ? QColor(30, 130, 40) : QColor(200, 60, 20);
        p.setPen(QPen(arrow, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        const bool out = glyph == ToolbarGlyph::Read;
        const QPointF from(c.x() + (out ? 1 : 16), c.y() + 3);
        const QPointF to(c.x() + (out ? 16 : 1), c.y() + 3);
        p.drawLine(from, to);
        const qreal dir = out ? 1 : -1;
        p.drawLine(to, QPointF(to.x() - dir * 5, to.y() - 5));
        p.drawLine(to, QPointF(to.x() - dir * 5, to.y() + 5));
        break;
    }
    case ToolbarGlyph::Init: {
        // A circular arrow: back to the factory state.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(190, 120, 0), 3, Qt::SolidLine, Qt::RoundCap));
        const QRectF ring(c.x() - 11, c.y() - 11, 22, 22);
        p.drawArc(ring, 60 * 16, 290 * 16);
        const QPointF tip(c.x() + 5.5, c.y() - 9.5);
        p.drawLine(tip, QPointF(tip.x() - 6, tip.y() - 3));
        p.drawLine(tip, QPointF(tip.x() - 1, tip.y() + 6));
        break;
    }
    case ToolbarGlyph::Exit: {
        // A door with an arrow leaving it.
        p.setBrush(QColor(150, 110, 70));
        p.drawRect(QRectF(c.x() - 14, c.y() - 13, 14, 26));
        p.setBrush(QColor(40, 60, 110));
        p.drawEllipse(QPointF(c.x() - 4, c.y()), 1.3, 1.3);
        p.setPen(QPen(QColor(200, 30, 30), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(c.x() + 2, c.y()), QPointF(c.x() + 16, c.y()));
        p.drawLine(QPointF(c.x() + 16, c.y()), QPointF(c.x() + 11, c.y() - 5));
        p.drawLine(QPointF(c.x() + 16, c.y()), QPointF(c.x() + 11, c.y() + 5));
        break;
    }
    }
}

QString MenuTitle(int pageIndex)
{
    switch (pageIndex) {
    case 0: return QStringLiteral("OVERVIEW");
    case 1: return QStringLiteral("BLUETOOTH");
    case 2: return QStringLiteral("SECURITY");
    case 3: return QStringLiteral("SYSTEM");
    case 4: return QStringLiteral("UART");
    case 5: return QStringLiteral("1:N COMM.");
    default: return {};
    }
}

} // namespace

QString ToolbarLabel(ToolbarGlyph glyph)
{
    switch (glyph) {
    case ToolbarGlyph::Open: return QStringLiteral("SERIAL OPEN");
    case ToolbarGlyph::Close: return QStringLiteral("SERIAL CLOSE");
    case ToolbarGlyph::Read: return QStringLiteral("READ");
    case ToolbarGlyph::Write: return QStringLiteral("WRITE");
    case ToolbarGlyph::Init: return QStringLiteral("INIT");
    case ToolbarGlyph::Exit: return QStringLiteral("EXIT");
    }
    return {};
}

QPixmap ToolbarPicture(ToolbarGlyph glyph)
{
    const QSize size(82, 58);
    QPixmap pm = Canvas(size);
    QPainter p(&pm);
    DrawGlyph(p, glyph, QRectF(0, 2, 82, 38));
    p.setFont(Bold(11));
    p.setPen(SkinTextColor);
    p.drawText(QRectF(0, 40, 82, 16), Qt::AlignCenter, ToolbarLabel(glyph));
    return pm;
}

QPixmap MenuButtonPicture(int pageIndex, MenuLook look)
{
    const QSize size(90, 40);
    QPixmap pm = Canvas(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = look == MenuLook::Highlighted ? MenuRed : MenuBlue;
    p.setPen(ink);
    p.setFont(Bold(11));
    if (pageIndex == 0) {
        p.drawText(QRectF(0, 0, 90, 40), Qt::AlignCenter, MenuTitle(0));
    } else {
        p.drawText(QRectF(0, 5, 90, 15), Qt::AlignCenter, MenuTitle(pageIndex));
        p.drawText(QRectF(0, 20, 90, 15), Qt::AlignCenter, QStringLiteral("PARAMETERS"));
    }
    if (look == MenuLook::Normal) {
        p.setPen(Qt::NoPen);
        p.setBrush(MenuBlue);
        p.drawPolygon(QPolygonF({QPointF(1, 1), QPointF(8, 1), QPointF(1, 8)}));
        p.drawPolygon(QPolygonF({QPointF(89, 39), QPointF(82, 39), QPointF(89, 32)}));
    }
    return pm;
}

QPixmap MenuBackground(QSize size)
{
    QPixmap pm = Canvas(size);
    QPainter p(&pm);
    QLinearGradient column(0, 0, size.width(), 0);
    column.setColorAt(0, QColor(232, 234, 238));
    column.setColorAt(1, QColor(210, 214, 222));
    p.fillRect(QRect(QPoint(0, 0), size), column);
    const QRect header(0, 0, size.width(), 26);
    QLinearGradient band(0, 0, 0, header.height());
    band.setColorAt(0, HeaderBlue.lighter(140));
    band.setColorAt(1, HeaderBlue);
    p.fillRect(header, band);
    p.setPen(Qt::white);
    p.setFont(Bold(13));
    p.drawText(header, Qt::AlignCenter, QStringLiteral("MENU"));
    p.setPen(QColor(180, 186, 198));
    p.drawLine(size.width() - 1, 0, size.width() - 1, size.height());
    return pm;
}

QPixmap PlaceholderPicture(QSize size)
{
    QPixmap pm = Canvas(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const QPointF c(size.width() / 2.0, size.height() / 2.0 - 20);
    // Radio waves around a dot.
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        p.setPen(QPen(QColor(24, 64, 160, 255 - i * 60), 3, Qt::SolidLine, Qt::RoundCap));
        const qreal r = 14.0 * i;
        p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 30 * 16, 120 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(24, 64, 160));
    p.drawEllipse(c, 5, 5);
    QFont title = Bold(34);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(title);
    p.setPen(HeaderBlue);
    p.drawText(QRectF(0, c.y() + 20, size.width(), 44), Qt::AlignCenter, QStringLiteral("RADIOSET"));
    p.setFont(Bold(11));
    p.setPen(SkinTextColor);
    p.drawText(QRectF(0, c.y() + 66, size.width(), 16), Qt::AlignCenter,
               QStringLiteral("Bluetooth Serial Module Configuration"));
    return pm;
}

QPixmap WarningTriangle(int side)
{
    QPixmap pm = Canvas(QSize(side, side));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = side;
    QPainterPath tri;
    tri.moveTo(s / 2, s * 0.06);
    tri.lineTo(s * 0.96, s * 0.9);
    tri.lineTo(s * 0.04, s * 0.9);
    tri.closeSubpath();
    p.setPen(QPen(QColor(60, 50, 0), s * 0.05, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 210, 0));
    p.drawPath(tri);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRoundedRect(QRectF(s * 0.455, s * 0.32, s * 0.09, s * 0.33), s * 0.03, s * 0.03);
    p.drawEllipse(QPointF(s / 2, s * 0.76), s * 0.055, s * 0.055);
    return pm;
}

QPixmap ProcessingIcon(int side)
{
    QPixmap pm = Canvas(QSize(side, side));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(side / 2.0, side / 2.0);
    const qreal r = side * 0.36;
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 45.0);
        QColor dot(200, 30, 30);
        dot.setAlpha(60 + i * 24);
        p.setPen(Qt::NoPen);
        p.setBrush(dot);
        p.drawEllipse(QPointF(0, -r), side * 0.09, side * 0.09);
        p.restore();
    }
    return pm;
}

QPixmap PageHeading(const QString& title, int width)
{
    QPixmap pm = Canvas(QSize(width, 24));
    QPainter p(&pm);
    QLinearGradient band(0, 0, width, 0);
    band.setColorAt(0, HeaderBlue);
    band.setColorAt(1, HeaderBlue.lighter(170));
    p.fillRect(QRect(0, 0, width, 24), band);
    p.setPen(Qt::white);
    p.setFont(Bold(13));
    p.drawText(QRect(10, 0, width - 10, 24), Qt::AlignVCenter | Qt::AlignLeft, title);
    return pm;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int side : {16, 32, 48, 64, 128, 256}) {
        QPixmap pm(side, side);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(HeaderBlue);
        p.drawRoundedRect(QRectF(0, 0, side, side), side * 0.18, side * 0.18);
        const QPointF c(side / 2.0, side * 0.62);
        p.setBrush(Qt::NoBrush);
        for (int i = 1; i <= 3; ++i) {
            p.setPen(QPen(Qt::white, side * 0.07, Qt::SolidLine, Qt::RoundCap));
            const qreal r = side * 0.13 * i;
            p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 255, 0));
        p.drawEllipse(c, side * 0.07, side * 0.07);
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace Artwork
