// SPDX-License-Identifier: MIT
#include "pair_list_model.h"

#include <QGuiApplication>
#include <QPalette>

PairListModel::PairListModel(PairList& list, QObject* parent)
    : QAbstractTableModel(parent)
    , m_list(list)
{}

int PairListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_list.size();
}

int PairListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : PairList::kColumns;
}

QVariant PairListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= PairList::kColumns) {
        return {};
    }
    const PairRow& r = m_list.rows()[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return r[index.column()].text();
    case Qt::ForegroundRole:
        if (index.column() != MarkColumn) {
            return {};
        }
        if (r.markColourIsBase) {
            return QGuiApplication::palette().color(QPalette::Base);
        }
        return r.markColour != 0 ? QVariant(QColor::fromRgba(r.markColour)) : QVariant();
    case Qt::BackgroundRole:
        return index.column() == LabelColumn && r.labelBackground != 0
                   ? QVariant(QColor::fromRgba(r.labelBackground))
                   : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignment(index.column()));
    case MoveRole:
    case Qt::ToolTipRole: {
        const PairMove* move
            = index.column() == ActualColumn ? m_list.moveOf(r[LabelColumn].pairIndex()) : nullptr;
        if (move == nullptr) {
            return {};
        }
        return role == MoveRole ? QVariant(int{move->direction}) : QVariant(move->toolTip);
    }
    default:
        return {};
    }
}

QVariant PairListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= PairList::kColumns) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) {
        return PairList::heading(m_list.betType(), section);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(alignment(section));
    }
    if (role == Qt::ToolTipRole && section == TheoreticalColumn && !m_list.theoryNote().isEmpty()) {
        return m_list.theoryNote();
    }
    return {};
}

Qt::Alignment PairListModel::alignment(int column)
{
    if (column == LabelColumn) {
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
    if (column == MarkColumn || column == PopularityColumn) {
        return Qt::AlignCenter;
    }
    return Qt::AlignRight | Qt::AlignVCenter;
}

void PairListModel::beginChange()
{
    if (!m_changing) {
        m_changing = true;
        beginResetModel();
    }
}

void PairListModel::endChange()
{
    if (m_changing) {
        m_changing = false;
        endResetModel();
    }
}

void PairListModel::sortByColumn(int column, PairSort kind)
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_list.sortByColumn(column, kind);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::optional<PairSort> PairListModel::sortForClick(int column, Qt::MouseButton button)
{
    const bool label = column == LabelColumn;
    switch (button) {
    case Qt::LeftButton:
        return label ? PairSort::TextAscending : PairSort::GenericAscending;
    case Qt::RightButton:
        return label ? PairSort::TextDescending : PairSort::GenericDescending;
    case Qt::MiddleButton:
        return label ? PairSort::TextCaseDescending : PairSort::NumericDescending;
    default:
        return std::nullopt;
    }
}
