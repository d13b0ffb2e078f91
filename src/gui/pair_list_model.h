// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QAbstractTableModel>

#include "analysis/pair_list.h"
#include "race/race_stakes.h"

/// The columns after the list's own: each bet's chance, expected value and stake (RaceStakes).
/// They are the window's only: the CSV writes the PairList.
enum StakeColumn {
    ChanceColumn = PairColumnCount, ///< "確率"
    ValueColumn,                    ///< "期待値"
    StakeYenColumn,                 ///< "賭け金"
    ShownColumnCount,
};

/// The table model the pair-list views show: a thin view of a PairList that the race display
/// owns, and the values of its bets. Texts, colours and alignment are made here when a view
/// asks. A sort by a value column orders the rows shown only, so the list (and the CSV) keep
/// the order of the last sort by one of its own columns.
class PairListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumns = ShownColumnCount;

    explicit PairListModel(PairList& list, QObject* parent = nullptr);

    const PairList& list() const { return m_list; }
    /// The pair (Cell::pairIndex) a row shows; -1 for an empty row.
    int pairIndexAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static Qt::Alignment alignment(int column);

    /// The list is about to change as a whole (a load), and has changed: one reset.
    void beginChange();
    void endChange();

    /// Sorts the list by a column, as the views see it; a value column sorts the rows shown,
    /// highest first, the bets without a value last.
    void sortByColumn(int column, PairSort kind);

    /// The values of the list's bets (RaceStakes::pairs of its bet type); rows find theirs by
    /// pair, so any order of the list will do.
    void setValues(const std::vector<PairValue>& values);

Q_SIGNALS:
    /// New values are shown (their texts may have grown).
    void valuesChanged();

public:
    /// How a row's actual odds moved: −1 falling, +1 rising (for the actual column; the
    /// previous value is its tooltip).
    static constexpr int MoveRole = Qt::UserRole + 1;

    /// The sort a click on a heading asks for: column 0 sorts as text, the others generically
    /// (left ascending, right descending), the middle button descending with case, or as
    /// numbers. Empty for other buttons.
    static std::optional<PairSort> sortForClick(int column, Qt::MouseButton button);

private:
    const PairRow& rowAt(int row) const;
    const PairValue* valueAt(int row) const;
    /// The rows shown in order of the value column sorted by; the list's order when none is.
    void orderByValue();

    PairList& m_list;
    bool m_changing = false;
    std::vector<PairValue> m_values;
    /// Where each pair's value lies in m_values, by Cell::pairIndex; -1 for none.
    std::array<int, Cell::kPairIndexCount> m_valueOf{};
    /// The value column the rows are sorted by, and the list rows in that order.
    int m_valueSort = -1;
    std::vector<int> m_order;
};
