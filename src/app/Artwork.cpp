#include "app/Artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace updater {

namespace {

QPixmap house(const QColor& colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour.darker(170), 1));
    QPainterPath roof;
    roof.moveTo(1.5, 8);
    roof.lineTo(8, 1.5);
    roof.lineTo(14.5, 8);
    roof.closeSubpath();
    p.setBrush(colour.darker(120));
    p.drawPath(roof);
    p.setBrush(colour);
    p.drawRect(QRectF(3.5, 7.5, 9, 7));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7, 10, 2.5, 4.5));
    return pixmap;
}

} // namespace

std::array<QPixmap, 4> houseImages()
{
    return {house(QColor(0x9a, 0x9a, 0x9a)), house(QColor(0x2a, 0x6c, 0xe0)), house(QColor(0x22, 0xb0, 0x3a)),
            house(QColor(0xd8, 0x22, 0x22))};
}

QPixmap downloadIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x20, 0x40, 0x80), 1.5));
    p.setBrush(QColor(0xd8, 0xe4, 0xf8));
    p.drawRoundedRect(QRectF(3, 18, 26, 11), 2, 2);
    QPainterPath arrow;
    arrow.moveTo(12, 2);
    arrow.lineTo(20, 2);
    arrow.lineTo(20, 12);
    arrow.lineTo(25, 12);
    arrow.lineTo(16, 22);
    arrow.lineTo(7, 12);
    arrow.lineTo(12, 12);
    arrow.closeSubpath();
    p.setBrush(QColor(0x2a, 0x9c, 0x3a));
    p.drawPath(arrow);
    return pixmap;
}

QPixmap serverIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    for (int i = 0; i < 3; ++i) {
        const QRectF unit(5, 3 + i * 9.5, 22, 8);
        p.setBrush(QColor(0x70, 0x78, 0x88));
        p.drawRoundedRect(unit, 1.5, 1.5);
        p.setBrush(i == 1 ? QColor(0xff, 0xb0, 0x20) : QColor(0x30, 0xe0, 0x50));
        p.drawEllipse(QPointF(9, unit.center().y()), 1.6, 1.6);
        p.setPen(QPen(QColor(0x40, 0x44, 0x50), 1));
        p.drawLine(QPointF(14, unit.center().y()), QPointF(24, unit.center().y()));
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    }
    return pixmap;
}

} // namespace updater
