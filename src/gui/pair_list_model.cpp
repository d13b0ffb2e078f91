// SPDX-License-Identifier: MIT
#include "pair_list_model.h"

#include <algorithm>

#include <QGuiApplication>
#include <QPalette>

#include "gui/grouped_number.h"

using namespace Qt::StringLiterals;

PairListModel::PairListModel(PairList& list, QObject* parent)
    : QAbstractTableModel(parent)
    , m_list(list)
{
    m_valueOf.fill(-1);
}

int PairListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_list.size();
}

int PairListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

const PairRow& PairListModel::rowAt(int row) const
{
    const auto at = static_cast<std::size_t>(row);
    const bool ordered = m_order.size() == m_list.rows().size();
    return m_list.rows()[ordered ? static_cast<std::size_t>(m_order[at]) : at];
}

int PairListModel::pairIndexAt(int row) const
{
    return row >= 0 && row < rowCount() ? rowAt(row)[LabelColumn].pairIndex() : -1;
}

const PairValue* PairListModel::valueAt(int row) const
{
    const int pair = pairIndexAt(row);
    const int at = pair >= 0 ? m_valueOf[static_cast<std::size_t>(pair)] : -1;
    return at >= 0 ? &m_values[static_cast<std::size_t>(at)] : nullptr;
}

QVariant PairListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumns) {
        return {};
    }
    if (index.column() >= PairList::kColumns) {
        if (role == Qt::TextAlignmentRole) {
            return QVariant::fromValue(alignment(index.column()));
        }
        const PairValue* value = valueAt(index.row());
        if (role != Qt::DisplayRole || value == nullptr) {
            return {};
        }
        switch (index.column()) {
        case ChanceColumn:
            return QString::number(value->chance, 'f', 4);
        case ValueColumn:
            return QString::number(value->value, 'f', 2);
        default:
            return value->stake > 0 ? groupedNumber(QString::number(value->stake)) : QString();
        }
    }
    const PairRow& r = rowAt(index.row());
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
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) {
        switch (section) {
        case ChanceColumn:
            return u"確率"_s;
        case ValueColumn:
            return u"期待値"_s;
        case StakeYenColumn:
            return u"賭け金"_s;
        default:
            return PairList::heading(m_list.betType(), section);
        }
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
        // The rows are new: the order shown follows them before the reset ends.
        orderByValue();
        m_changing = false;
        endResetModel();
    }
}

void PairListModel::sortByColumn(int column, PairSort kind)
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    if (column >= PairList::kColumns) {
        m_valueSort = column;
    } else {
        m_valueSort = -1;
        m_list.sortByColumn(column, kind);
    }
    orderByValue();
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void PairListModel::setValues(const std::vector<PairValue>& values)
{
    m_values = values;
    m_valueOf.fill(-1);
    for (std::size_t k = 0; k < m_values.size(); ++k) {
        const PairValue& v = m_values[k];
        if (v.first >= 1 && v.first < v.second && v.second <= kMaxRunners) {
            m_valueOf[static_cast<std::size_t>(Cell::pairLabel(v.first, v.second).pairIndex())]
                = static_cast<int>(k);
        }
    }
    if (m_valueSort >= 0) {
        // The rows move with their new values; the cells chosen stay on their pairs.
        Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList before = persistentIndexList();
        std::vector<int> pairs;
        for (const QModelIndex& index : before) {
            pairs.push_back(pairIndexAt(index.row()));
        }
        orderByValue();
        std::vector<int> rowOfPair(Cell::kPairIndexCount, -1);
        for (int row = 0; row < rowCount(); ++row) {
            if (const int pair = pairIndexAt(row); pair >= 0) {
                rowOfPair[static_cast<std::size_t>(pair)] = row;
            }
        }
        QModelIndexList after;
        for (qsizetype k = 0; k < before.size(); ++k) {
            const int pair = pairs[static_cast<std::size_t>(k)];
            const int row = pair >= 0 ? rowOfPair[static_cast<std::size_t>(pair)] : -1;
            after << (row >= 0 ? index(row, before[k].column()) : QModelIndex());
        }
        changePersistentIndexList(before, after);
        Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    } else if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0, ChanceColumn), index(rowCount() - 1, StakeYenColumn));
    }
    Q_EMIT valuesChanged();
}

void PairListModel::orderByValue()
{
    m_order.clear();
    if (m_valueSort < 0) {
        return;
    }
    const auto keyOf = [this](int row) -> std::optional<double> {
        const PairValue* v = valueAt(row);
        if (v == nullptr) {
            return std::nullopt;
        }
        return m_valueSort == ChanceColumn  ? v->chance
               : m_valueSort == ValueColumn ? v->value
                                            : static_cast<double>(v->stake);
    };
    // Keys of the list's rows, taken while m_order is still empty (rows map to themselves).
    std::vector<std::pair<std::optional<double>, int>> keys;
    keys.reserve(static_cast<std::size_t>(m_list.size()));
    for (int row = 0; row < m_list.size(); ++row) {
        keys.emplace_back(keyOf(row), row);
    }
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        return a.first.has_value() && (!b.first.has_value() || *a.first > *b.first);
    });
    for (const auto& key : keys) {
        m_order.push_back(key.second);
    }
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
