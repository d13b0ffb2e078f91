// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include <QColor>
#include <QString>

#include "base/bet_type.h"
#include "base/cell.h"

/// The columns of a pair list.
enum PairColumn {
    LabelColumn = 0,    ///< "馬連 " / "ﾜｲﾄﾞ ": the pair label
    TheoreticalColumn,  ///< "理論値"
    ActualColumn,       ///< "実際値"
    DeviationColumn,    ///< "乖離％"
    SupportRatioColumn, ///< "支持率"
    MarkColumn,         ///< "判定"
    PopularityColumn,   ///< "人気"
    DifferenceColumn,   ///< " 差"
    PairColumnCount,
};

/// The ways a pair list can be sorted by one column; rows with equal keys keep their order.
enum class PairSort {
    GenericAscending, ///< two numbers compare as numbers, anything else as text ignoring case
    GenericDescending,
    NumericDescending, ///< the cells' numeric values
    TextAscending,     ///< text ignoring case
    TextDescending,
    TextCaseDescending, ///< text with case
};

/// One pair: its cells, and the two colours a list sets (kept beside the cells, so that a row
/// stays small: the analysis walks every row several times). Zero bytes are an empty row.
struct PairRow
{
    std::array<Cell, PairColumnCount> cells;
    /// The label's background as 0xAARRGGBB (a result hit); 0 when none is set.
    QRgb labelBackground = 0;
    /// The mark's text colour; 0 when none is set.
    QRgb markColour = 0;
    /// The mark's text takes the platform's window background colour (unmarked judgements).
    bool markColourIsBase = false;
    /// The judgement level (1 to 5) whose band held the deviation; 0 when none did.
    quint8 level = 0;

    Cell& operator[](int column) { return cells[static_cast<std::size_t>(column)]; }
    const Cell& operator[](int column) const { return cells[static_cast<std::size_t>(column)]; }
    bool operator==(const PairRow&) const = default;
};

/// How a pair's actual odds moved since the previous odds of the race.
struct PairMove
{
    qint8 direction = 0; ///< −1 falling, +1 rising, 0 unchanged
    QString toolTip;     ///< the previous value and its time
};

/// A pair list (quinella or wide) as a plain value: one row per pair, the sort the user made
/// last, and how each pair's odds moved. The views, the CSV, the backtest and the live race all
/// read it; texts are made only when one of them asks a cell.
class PairList final
{
public:
    static constexpr int kColumns = PairColumnCount;

    explicit PairList(BetType bet)
        : m_bet(bet)
    {}

    BetType betType() const { return m_bet; }
    /// The heading of a column in the lists ("馬連 ", "理論値", …).
    static QString heading(BetType bet, int column);

    int size() const { return static_cast<int>(m_rows.size()); }
    const std::vector<PairRow>& rows() const { return m_rows; }
    /// The rows to be made or changed in place (the judgement writes them all at once).
    std::vector<PairRow>& rows()
    {
        m_cleared = false;
        return m_rows;
    }
    const Cell& cell(int row, int column) const;
    void setRows(std::vector<PairRow> rows)
    {
        m_cleared = false;
        m_rows = std::move(rows);
    }

    /// Empties every cell and colour; the row count stays.
    void clearCells();
    /// The label's background (result hits): 0xAARRGGBB, 0 for none.
    void setLabelBackground(int row, QRgb colour);

    /// Which model gave the theoretical values (the tooltip of the "理論値" heading).
    const QString& theoryNote() const { return m_theoryNote; }
    void setTheoryNote(const QString& note) { m_theoryNote = note; }

    /// Reorders whole rows by one column; remembered as the last sort.
    void sortByColumn(int column, PairSort kind);
    /// The pairs (Cell::pairIndex) in the order the rows show them.
    std::vector<int> pairOrder() const;
    /// After a sort since the last forgetSort(): puts the rows in the order `previous` gives
    /// their pairs (pairs it lacks last), then sorts again by the last sort made. An automatic
    /// reload keeps the order the user saw, the new odds sorted in.
    void followOrder(const std::vector<int>& previous);
    void forgetSort() { m_lastSort.reset(); }

    /// The moves by Cell::pairIndex(); empty when nothing moved.
    void setMoves(std::vector<PairMove> byPair) { m_moves = std::move(byPair); }
    /// The move of a pair; null when its odds did not move.
    const PairMove* moveOf(int pairIndex) const;

private:
    BetType m_bet;
    QString m_theoryNote;
    std::optional<std::pair<int, PairSort>> m_lastSort;
    std::vector<PairMove> m_moves;
    std::vector<PairRow> m_rows;
    /// Every cell is empty already: a load clears the lists twice before it makes them anew.
    bool m_cleared = false;
    static_assert(std::is_trivially_copyable_v<PairRow>);
};
