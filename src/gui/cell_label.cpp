// SPDX-License-Identifier: MIT
#include "cell_label.h"

#include <QPainter>

#include "gui/move_painting.h"

QLabel* CellLabel::create(
    QWidget* parent, const QString& name, const QString& text, Look look, Qt::Alignment align)
{
    auto* label = look == Look::Caption ? new QLabel(text, parent) : new CellLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(align);
    if (look == Look::Cell) {
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, Qt::white);
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    label->setIndent(2);
    return label;
}

void CellLabel::setMove(int direction)
{
    if (direction != m_move) {
        m_move = direction;
        setProperty("move", direction);
        update();
    }
}

void CellLabel::paintEvent(QPaintEvent* event)
{
    const int direction = m_move;
    if (direction != 0) {
        QPainter tint(this);
        MovePainting::paintTint(tint, rect(), direction);
    }
    QLabel::paintEvent(event);
    QPainter painter(this);
    if (direction != 0) {
        MovePainting::paintArrow(painter, rect().adjusted(1, 1, -1, -1), direction);
    }
    painter.setPen(QColor(Qt::black));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
