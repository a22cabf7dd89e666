#include "shell/ShellIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quillet {

namespace {

QPixmap DrawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    // Bubble body with a tail at the lower left.
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(2, 3, 28, 20), 6, 6);
    QPainterPath tail;
    tail.moveTo(7, 20);
    tail.lineTo(5, 29);
    tail.lineTo(15, 21);
    tail.closeSubpath();
    bubble = bubble.united(tail);

    p.setPen(QPen(QColor(0x00, 0x30, 0x80), 1.5));
    p.setBrush(QColor(0x20, 0x60, 0xD0));
    p.drawPath(bubble);

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(9.5 + i * 6.5, 13), 2.3, 2.3);
    return pixmap;
}

} // namespace

QIcon QuilletIcon()
{
    QIcon icon;
    for (int size : { 16, 22, 24, 32, 48, 64 })
        icon.addPixmap(DrawIcon(size));
    return icon;
}

} // namespace quillet
