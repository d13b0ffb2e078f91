// SPDX-License-Identifier: MIT
#include "move_delegate.h"

#include "gui/move_painting.h"
#include "gui/pair_list_model.h"

void MoveDelegate::paint(QPainter* painter,
                         const QStyleOptionViewItem& option,
                         const QModelIndex& index) const
{
    const int direction = index.data(PairListModel::MoveRole).toInt();
    if (direction != 0) {
        MovePainting::paintTint(*painter, option.rect, direction);
    }
    QStyledItemDelegate::paint(painter, option, index);
    if (direction != 0) {
        MovePainting::paintArrow(*painter, option.rect, direction);
    }
}
