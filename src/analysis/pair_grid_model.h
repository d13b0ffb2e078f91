// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include <QAbstractTableModel>
#include <QColor>

#include "base/bet_type.h"
#include "base/cell.h"
#include "base/colour.h"

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
};

/// The ways a pair list can be sorted by one column; rows with equal keys keep their order.
enum class GridSort {
    GenericAscending, ///< two numbers compare as numbers, anything else as text ignoring case
    GenericDescending,
    NumericDescending, ///< the cells' numeric values
    TextAscending,     ///< text ignoring case
    TextDescending,
    TextCaseDescending, ///< text with case
};

/// A pair list (quinella or wide): eight columns of cells, one row per pair. Headings and column
/// alignment come from here; rows carry their values and colours, and texts are made when the
/// view asks.
class PairGridModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumns = 8;

    /// One pair: its cells, and the two colours a list sets (kept beside the cells, so that a
    /// row stays small: the analysis walks every row several times).
    struct Row
    {
        std::array<Cell, kColumns> cells;
        /// The label's background as 0xAARRGGBB (a result hit); 0 when none is set.
        QRgb labelBackground = 0;
        /// The mark's text colour; 0 when none is set.
        QRgb markColour = 0;
        /// The mark's text takes the platform's window background colour (unmarked judgements).
        bool markColourIsBase = false;
        /// The judgement level (1 to 5) whose band held the deviation; 0 when none did (zero
        /// bytes are an empty row).
        quint8 level = 0;

        Cell& operator[](int column) { return cells[static_cast<std::size_t>(column)]; }
        const Cell& operator[](int column) const { return cells[static_cast<std::size_t>(column)]; }
        bool operator==(const Row&) const = default;
    };

    explicit PairGridModel(BetType bet, QObject* parent = nullptr);

    BetType betType() const { return m_bet; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// The heading text of a column ("馬連 ", "理論値", …).
    QString heading(int column) const;
    /// The tooltip of the "理論値" heading: which model gave the values.
    void setTheoryNote(const QString& note);
    static Qt::Alignment alignment(int column);

    /// Empties every cell's text and colours; the row count stays.
    void clearCells();
    /// Replaces every row at once.
    void setRows(std::vector<Row> rows);
    const std::vector<Row>& rows() const
    {
        applyPendingClear();
        return m_rows;
    }
    /// Lets `build` make all rows anew in the given vector (whose storage it may use again), as one
    /// reset: what the rows held before is not looked at.
    template<typename Build>
    void rebuildRows(Build build)
    {
        beginResetModel();
        m_clearPending = false;
        build(m_rows);
        endResetModel();
    }
    /// Lets `edit` change the rows in place, as one reset.
    template<typename Edit>
    void editRows(Edit edit)
    {
        beginResetModel();
        applyPendingClear();
        edit(m_rows);
        endResetModel();
    }

    const Cell& cell(int row, int column) const;
    /// The label's background (result hits).
    void setLabelBackground(int row, const QColor& colour);

    /// Reorders whole rows by one column.
    void sortByColumn(int column, GridSort kind);
    /// The pairs (Cell::pairIndex) in the order the rows show them.
    std::vector<int> pairOrder() const;
    /// After the user sorted since the last forgetSort(): puts the rows in the order `previous`
    /// gives their pairs (pairs it lacks last), then sorts again by the last sort made. An
    /// automatic reload keeps the order the user saw, the new odds sorted in.
    void followOrder(const std::vector<int>& previous);
    void forgetSort() { m_lastSort.reset(); }

    /// How a row's actual odds moved since the previous odds: −1 falling, +1 rising (data()
    /// gives it for the actual column under this role, and the previous value as its tooltip).
    static constexpr int MoveRole = Qt::UserRole + 1;
    struct Move
    {
        qint8 direction = 0;
        QString toolTip;
    };
    /// The moves by Cell::pairIndex(); empty when nothing moved.
    void setMoves(std::vector<Move> byPair);

    /// The sort a click on a heading asks for: column 0 sorts as text, the others generically
    /// (left ascending, right descending), the middle button descending with case, or as
    /// numbers. Empty for other buttons.
    static std::optional<GridSort> sortForClick(int column, Qt::MouseButton button);

private:
    void cellChanged(int row, int column);
    /// A clear is carried out when the rows are next looked at: a load clears the lists twice
    /// and then usually makes them anew.
    void applyPendingClear() const;

    BetType m_bet;
    QString m_theoryNote;
    std::optional<std::pair<int, GridSort>> m_lastSort;
    std::vector<Move> m_moves;
    mutable std::vector<Row> m_rows;
    mutable bool m_clearPending = false;
    static_assert(std::is_trivially_copyable_v<Row>);
};
