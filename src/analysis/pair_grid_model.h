// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QAbstractTableModel>
#include <QColor>

#include "base/bet_type.h"
#include "base/cell.h"
#include "base/colour.h"

/// One cell of a pair list: its value, and the colours set on it.
struct GridCell
{
    Cell value;
    /// Colours set on the cell as 0xAARRGGBB; 0 (transparent black) when none is set.
    QRgb foreground = 0;
    QRgb background = 0;
    /// The text takes the platform's window background colour (set on unmarked judgements).
    bool foregroundIsBase = false;

    QString text() const { return value.text(); }
    bool operator==(const GridCell&) const = default;
};

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
/// alignment come from here; cells carry their own values and colours, and their texts are made
/// when the view asks.
class PairGridModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumns = 8;
    using Row = std::array<GridCell, kColumns>;

    explicit PairGridModel(BetType bet, QObject* parent = nullptr);

    BetType betType() const { return m_bet; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// The heading text of a column ("馬連 ", "理論値", …).
    QString heading(int column) const;
    static Qt::Alignment alignment(int column);

    /// Empties every cell's text and colours; the row count stays.
    void clearCells();
    /// Replaces every row at once.
    void setRows(std::vector<Row> rows);
    const std::vector<Row>& rows() const { return m_rows; }
    /// Lets `edit` change the rows in place, as one reset.
    template<typename Edit>
    void editRows(Edit edit)
    {
        beginResetModel();
        edit(m_rows);
        endResetModel();
    }

    const GridCell& cell(int row, int column) const;
    void setBackground(int row, int column, const QColor& colour);

    /// Reorders whole rows by one column.
    void sortByColumn(int column, GridSort kind);

    /// The sort a click on a heading asks for: column 0 sorts as text, the others generically
    /// (left ascending, right descending), the middle button descending with case, or as
    /// numbers. Empty for other buttons.
    static std::optional<GridSort> sortForClick(int column, Qt::MouseButton button);

private:
    GridCell& cellRef(int row, int column);
    void cellChanged(int row, int column);

    BetType m_bet;
    std::vector<Row> m_rows;
};
