// SPDX-License-Identifier: MIT
#include "pair_list.h"

#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

QString PairList::heading(BetType bet, int column)
{
    static const QString kHeadings[kColumns] = {QString(),
                                                u"理論値"_s,
                                                u"実際値"_s,
                                                u"乖離％"_s,
                                                u"支持率"_s,
                                                u"判定"_s,
                                                u"人気"_s,
                                                u" 差"_s};
    if (column == LabelColumn) {
        return bet == BetType::Quinella ? u"馬連 "_s : u"ﾜｲﾄﾞ "_s;
    }
    return column > 0 && column < kColumns ? kHeadings[column] : QString();
}

const Cell& PairList::cell(int row, int column) const
{
    return m_rows.at(static_cast<std::size_t>(row)).cells.at(static_cast<std::size_t>(column));
}

void PairList::clearCells()
{
    // A row is plain bytes (checked in the header) whose zeros are all empty values: one fill is
    // far cheaper than assigning row by row.
    if (!m_cleared && !m_rows.empty()) {
        std::memset(static_cast<void*>(m_rows.data()), 0, m_rows.size() * sizeof(PairRow));
    }
    m_cleared = true;
}

void PairList::setLabelBackground(int row, QRgb colour)
{
    m_cleared = false;
    m_rows.at(static_cast<std::size_t>(row)).labelBackground = colour;
}

const PairMove* PairList::moveOf(int pairIndex) const
{
    if (pairIndex < 0 || static_cast<std::size_t>(pairIndex) >= m_moves.size()) {
        return nullptr;
    }
    const PairMove& move = m_moves[static_cast<std::size_t>(pairIndex)];
    return move.direction != 0 ? &move : nullptr;
}

std::vector<int> PairList::pairOrder() const
{
    std::vector<int> order;
    order.reserve(m_rows.size());
    for (const PairRow& row : m_rows) {
        order.push_back(row[LabelColumn].pairIndex());
    }
    return order;
}

void PairList::followOrder(const std::vector<int>& previous)
{
    if (!m_lastSort) {
        return; // the rows are in the order a load makes
    }
    std::array<std::size_t, Cell::kPairIndexCount> place;
    place.fill(previous.size());
    for (std::size_t k = 0; k < previous.size(); ++k) {
        if (previous[k] >= 0) {
            place[static_cast<std::size_t>(previous[k])] = k;
        }
    }
    const auto placeOf = [&place, &previous](const PairRow& row) {
        const int pair = row[LabelColumn].pairIndex();
        return pair >= 0 ? place[static_cast<std::size_t>(pair)] : previous.size();
    };
    std::stable_sort(m_rows.begin(), m_rows.end(), [&placeOf](const PairRow& a, const PairRow& b) {
        return placeOf(a) < placeOf(b);
    });
    const auto [column, kind] = *m_lastSort;
    sortByColumn(column, kind);
}

void PairList::sortByColumn(int column, PairSort kind)
{
    if (column < 0 || column >= kColumns) {
        return;
    }
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
        std::vector<PairRow> sorted;
        sorted.reserve(m_rows.size());
        for (const auto& k : keys) {
            sorted.push_back(m_rows[k.second]);
        }
        m_rows = std::move(sorted);
    };
    const auto cellOf = [column](const PairRow& row) -> const Cell& {
        return row[column];
    };
    const auto textOf = [&cellOf](const PairRow& row) {
        return cellOf(row).text();
    };
    switch (kind) {
    case PairSort::GenericAscending:
    case PairSort::GenericDescending: {
        const int sign = kind == PairSort::GenericAscending ? 1 : -1;
        keyed([&cellOf](const PairRow& row) { return cellOf(row).sortKey(); },
              [sign](const GenericSortKey& a, const GenericSortKey& b) {
                  return sign * compareGeneric(a, b) < 0;
              });
        return;
    }
    case PairSort::NumericDescending:
        keyed([&cellOf](const PairRow& row) { return cellOf(row).shownValue(); },
              [](double a, double b) { return a > b; });
        return;
    case PairSort::TextAscending:
        keyed(textOf, [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        return;
    case PairSort::TextDescending:
        keyed(textOf, [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) > 0;
        });
        return;
    case PairSort::TextCaseDescending:
        keyed(textOf, [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseSensitive) > 0;
        });
        return;
    }
}
