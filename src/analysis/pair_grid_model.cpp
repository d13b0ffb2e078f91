// SPDX-License-Identifier: MIT
#include "pair_grid_model.h"

#include <algorithm>
#include <cstring>

#include <QGuiApplication>
#include <QPalette>

using namespace Qt::StringLiterals;

PairGridModel::PairGridModel(BetType bet, QObject* parent)
    : QAbstractTableModel(parent)
    , m_bet(bet)
{}

int PairGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PairGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant PairGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumns) {
        return {};
    }
    applyPendingClear();
    const Row& r = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return r[index.column()].text();
    case Qt::ForegroundRole:
        if (index.column() != MarkColumn) {
            return {};
        }
        if (r.markColourIsBase) {
            return qGuiApp != nullptr ? QGuiApplication::palette().color(QPalette::Base)
                                      : QColor(Qt::white);
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
        const int pair = r[LabelColumn].pairIndex();
        if (index.column() != ActualColumn || pair < 0
            || static_cast<std::size_t>(pair) >= m_moves.size()
            || m_moves[static_cast<std::size_t>(pair)].direction == 0) {
            return {};
        }
        const Move& move = m_moves[static_cast<std::size_t>(pair)];
        return role == MoveRole ? QVariant(int{move.direction}) : QVariant(move.toolTip);
    }
    default:
        return {};
    }
}

void PairGridModel::setMoves(std::vector<Move> byPair)
{
    if (byPair.empty() && m_moves.empty()) {
        return;
    }
    m_moves = std::move(byPair);
    if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0, ActualColumn),
                           index(rowCount() - 1, ActualColumn),
                           {MoveRole, Qt::ToolTipRole});
    }
}

std::vector<int> PairGridModel::pairOrder() const
{
    applyPendingClear();
    std::vector<int> order;
    order.reserve(m_rows.size());
    for (const Row& row : m_rows) {
        order.push_back(row[LabelColumn].pairIndex());
    }
    return order;
}

void PairGridModel::followOrder(const std::vector<int>& previous)
{
    if (!m_lastSort) {
        return; // the rows are in the order a load makes
    }
    applyPendingClear();
    std::array<std::size_t, Cell::kPairIndexCount> place;
    place.fill(previous.size());
    for (std::size_t k = 0; k < previous.size(); ++k) {
        if (previous[k] >= 0) {
            place[static_cast<std::size_t>(previous[k])] = k;
        }
    }
    const auto placeOf = [&place, &previous](const Row& row) {
        const int pair = row[LabelColumn].pairIndex();
        return pair >= 0 ? place[static_cast<std::size_t>(pair)] : previous.size();
    };
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::stable_sort(m_rows.begin(), m_rows.end(), [&placeOf](const Row& a, const Row& b) {
        return placeOf(a) < placeOf(b);
    });
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    const auto [column, kind] = *m_lastSort;
    sortByColumn(column, kind);
}

QVariant PairGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) {
        return heading(section);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(alignment(section));
    }
    if (role == Qt::ToolTipRole && section == TheoreticalColumn && !m_theoryNote.isEmpty()) {
        return m_theoryNote;
    }
    return {};
}

void PairGridModel::setTheoryNote(const QString& note)
{
    if (note == m_theoryNote) {
        return;
    }
    m_theoryNote = note;
    Q_EMIT headerDataChanged(Qt::Horizontal, TheoreticalColumn, TheoreticalColumn);
}

QString PairGridModel::heading(int column) const
{
    static const QString kHeadings[kColumns] = {QString(),
                                                u"理論値"_s,
                                                u"実際値"_s,
                                                u"乖離％"_s,
                                                u"支持率"_s,
                                                u"判定"_s,
                                                u"人気"_s,
                                                u" 差"_s};
    if (column == 0) {
        return m_bet == BetType::Quinella ? u"馬連 "_s : u"ﾜｲﾄﾞ "_s;
    }
    return column > 0 && column < kColumns ? kHeadings[column] : QString();
}

Qt::Alignment PairGridModel::alignment(int column)
{
    if (column == 0) {
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
    if (column == 5 || column == 6) {
        return Qt::AlignCenter;
    }
    return Qt::AlignRight | Qt::AlignVCenter;
}

void PairGridModel::clearCells()
{
    beginResetModel();
    m_clearPending = true;
    endResetModel();
}

void PairGridModel::applyPendingClear() const
{
    // A row is plain bytes (checked in the header) whose zeros are all empty values: one fill is
    // far cheaper than assigning row by row.
    if (m_clearPending && !m_rows.empty()) {
        std::memset(static_cast<void*>(m_rows.data()), 0, m_rows.size() * sizeof(Row));
    }
    m_clearPending = false;
}

void PairGridModel::setRows(std::vector<Row> rows)
{
    beginResetModel();
    m_clearPending = false;
    m_rows = std::move(rows);
    endResetModel();
}

const Cell& PairGridModel::cell(int row, int column) const
{
    applyPendingClear();
    return m_rows.at(static_cast<std::size_t>(row)).cells.at(static_cast<std::size_t>(column));
}

void PairGridModel::cellChanged(int row, int column)
{
    const QModelIndex at = index(row, column);
    Q_EMIT dataChanged(at, at);
}

void PairGridModel::setLabelBackground(int row, const QColor& colour)
{
    applyPendingClear();
    m_rows.at(static_cast<std::size_t>(row)).labelBackground = colour.isValid() ? colour.rgba() : 0;
    cellChanged(row, LabelColumn);
}

void PairGridModel::sortByColumn(int column, GridSort kind)
{
    if (column < 0 || column >= kColumns) {
        return;
    }
    applyPendingClear();
    m_lastSort = std::pair{column, kind};
    // Keys are made once per row, not at every comparison.
    const auto keyed = [this](auto keyOf, auto before) {
        using Key = decltype(keyOf(m_rows.front()));
        std::vector<std::pair<Key, std::size_t>> keys;
        keys.reserve(m_rows.size());
        for (std::size_t r = 0; r < m_rows.size(); ++r) {
            keys.emplace_back(keyOf(m_rows[r]), r);
        }
        std::stable_sort(keys.begin(), keys.end(), [&before](const auto& a, const auto& b) {
            return before(a.first, b.first);
        });
        Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        std::vector<Row> sorted;
        sorted.reserve(m_rows.size());
        for (const auto& k : keys) {
            sorted.push_back(m_rows[k.second]);
        }
        m_rows = std::move(sorted);
        Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    };
    const auto cellOf = [column](const Row& row) -> const Cell& {
        return row[column];
    };
    const auto textOf = [&cellOf](const Row& row) {
        return cellOf(row).text();
    };
    switch (kind) {
    case GridSort::GenericAscending:
    case GridSort::GenericDescending: {
        const int sign = kind == GridSort::GenericAscending ? 1 : -1;
        keyed([&cellOf](const Row& row) { return cellOf(row).sortKey(); },
              [sign](const GenericSortKey& a, const GenericSortKey& b) {
                  return sign * compareGeneric(a, b) < 0;
              });
        return;
    }
    case GridSort::NumericDescending:
        keyed([&cellOf](const Row& row) { return cellOf(row).shownValue(); },
              [](double a, double b) { return a > b; });
        return;
    case GridSort::TextAscending:
        keyed(textOf, [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        return;
    case GridSort::TextDescending:
        keyed(textOf, [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) > 0;
        });
        return;
    case GridSort::TextCaseDescending:
        keyed(textOf, [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseSensitive) > 0;
        });
        return;
    }
}

std::optional<GridSort> PairGridModel::sortForClick(int column, Qt::MouseButton button)
{
    const bool label = column == 0;
    switch (button) {
    case Qt::LeftButton:
        return label ? GridSort::TextAscending : GridSort::GenericAscending;
    case Qt::RightButton:
        return label ? GridSort::TextDescending : GridSort::GenericDescending;
    case Qt::MiddleButton:
        return label ? GridSort::TextCaseDescending : GridSort::NumericDescending;
    default:
        return std::nullopt;
    }
}
