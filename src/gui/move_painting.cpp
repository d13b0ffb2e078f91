// SPDX-License-Identifier: MIT
#include "move_painting.h"

#include <iterator>

#include <QPainter>

void MovePainting::paintTint(QPainter& painter, const QRect& cell, int direction)
{
    painter.fillRect(cell, direction < 0 ? QColor(255, 226, 226) : QColor(226, 234, 255));
}

void MovePainting::paintArrow(QPainter& painter, const QRect& cell, int direction)
{
    // Narrow enough to sit in the room a six-character value leaves in its column.
    const qreal h = qMax(4.0, cell.height() * 0.5);
    const qreal w = h * 0.6;
    const QPointF centre(cell.left() + 1 + w / 2, cell.center().y() + 0.5);
    const qreal tip = direction < 0 ? h / 2 : -h / 2;
    const QPointF arrow[] = {{centre.x(), centre.y() + tip},
                             {centre.x() - w / 2, centre.y() - tip * 0.1},
                             {centre.x() - w / 6, centre.y() - tip * 0.1},
                             {centre.x() - w / 6, centre.y() - tip},
                             {centre.x() + w / 6, centre.y() - tip},
                             {centre.x() + w / 6, centre.y() - tip * 0.1},
                             {centre.x() + w / 2, centre.y() - tip * 0.1}};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(direction < 0 ? QColor(200, 0, 0) : QColor(0, 70, 200));
    painter.drawPolygon(arrow, static_cast<int>(std::size(arrow)));
    painter.restore();
}
