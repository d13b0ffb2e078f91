// SPDX-License-Identifier: MIT
#pragma once

#include <QStyledItemDelegate>

/// The actual odds of a pair list, with the tint and arrow of their move
/// (PairListModel::MoveRole).
class MoveDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter,
               const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
