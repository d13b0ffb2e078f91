// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <utility>

#include <QString>

#include "base/cell.h"
#include "base/colour.h"
#include "pat/pat_field.h"

/// The per-horse columns of the main window. Block A is by horse number, block B by win
/// popularity, block C by place popularity.
enum class HorseColumn {
    // Block A
    HorseName,
    WinOdds,
    PlaceOddsMin,
    PlaceOddsMax,
    WinPopularity,
    WinRatio,
    PlaceOdds,
    PlacePopularity,
    PlaceRatio,
    // Block B
    PopularityRank,
    Mark,
    WinOrderHorseNo,
    WinOrderHorseName,
    WinOrderOdds,
    WinOrderRatio,
    WinPlaceRatio,
    // Block C
    PlaceOrderHorseNo,
    PlaceOrderHorseName,
    PlaceOrderOddsMin,
    PlaceOrderOddsMax,
    PlaceOrderOdds,
    PlaceOrderRatio,
    ColumnCount
};

/// The odds of a horse in the Zo- file.
enum class HorseOdds { Win, PlaceMin, PlaceMax };

/// The historic control name of a column ("lblTanOdds"); its cells are named "lblTanOdds_3".
QString horseColumnName(HorseColumn column);

/// Colours of a cell as 0x00BBGGRR, the settings' colour form.
struct CellColours
{
    qint32 background = kWhiteSetting;
    qint32 text = 0;

    bool operator==(const CellColours&) const = default;
};

/// The horse summary table, rows 1 to 18. The odds and names are the files' texts; everything
/// derived is held as numbers (cells) and made into text only when shown. Later steps read the
/// derived values as shown (Cell::shown…), so the display forms are part of the interface.
class HorseTable final
{
public:
    HorseTable();

    /// The text shown in a cell.
    QString text(HorseColumn column, int row) const;
    /// A derived cell; empty for the columns that show the files' texts (see isFileColumn).
    Cell cell(HorseColumn column, int row) const;
    /// A file's text shown in a cell of a file column: the odds trimmed, a name as the race card
    /// holds it; empty for other columns.
    QStringView fileText(HorseColumn column, int row) const;
    /// Columns that show the files' texts: odds and names, also in popularity order.
    static bool isFileColumn(HorseColumn column);
    /// Which odds of which horse a cell shows; empty for names, derived columns, empty rows and
    /// the "ﾄﾘｹｼ" a scratched horse shows in place of its place odds.
    std::optional<std::pair<HorseOdds, int>> oddsShownAt(HorseColumn column, int row) const;

    /// Sets an odds text (WinOdds, PlaceOddsMin, PlaceOddsMax; kept trimmed, at most five
    /// characters as the Zo- file holds them) or a horse name (HorseName, at most 18 characters).
    void setFileText(HorseColumn column, int row, QStringView text);
    /// Sets a derived cell of block A (the popularity blocks are made by fillPopularityBlocks).
    void setCell(HorseColumn column, int row, const Cell& cell);

    /// The text of the runner-count label; the table reads N back from it.
    QString horseNum() const;
    void setHorseNum(std::optional<int> runners) { m_runners = runners; }

    /// Colours of the four horse-number coloured columns (white on black elsewhere).
    CellColours colours(HorseColumn column, int row) const;

    // Accessors read by the analysis.
    int getHorseCount() const;
    bool isScratched(int row) const;
    float getWinOddsValue(int row) const;
    /// The win odds as the file's text reads in double; 0 for a scratched horse or no odds.
    double winOdds(int row) const;
    /// The mean of the place odds' two values; 0 for a scratched horse or when either is none.
    double placeOdds(int row) const;
    float getPlaceOddsMinValue(int row) const;
    float getPlaceOddsMaxValue(int row) const;
    int findWinPopularityRow(int rank) const;
    int findPlacePopularityRow(int rank) const;

    /// Blanks the raw columns, names and the popularity-ordered odds (what a new race replaces).
    void clearRaw();
    /// Blanks the derived columns.
    void clearDerived();
    /// Popularity ranks, support ratios and average place odds of rows 1 to N.
    void computeDerived();
    /// Blocks B and C, with "★" where the two popularity ranks differ by `threshold` or more.
    void fillPopularityBlocks(int threshold);
    /// Colours the horse-number columns by `colourOf(horse number)`; rows beyond N white/black.
    void colourHorseNumbers(const std::function<qint32(int)>& colourOf);

    bool operator==(const HorseTable&) const = default;

private:
    enum FileField { NameField, WinField, MinField, MaxField, FieldCount };
    struct Runner
    {
        PatText<18> name;
        qsizetype nameLength = 0;
        std::array<PatText<5>, 3> odds; // win, place minimum, place maximum
        /// The leading number of each odds text, read once when it is set.
        std::array<double, 3> oddsValue{};
        bool scratched = false;

        bool operator==(const Runner&) const = default;
    };

    Cell& at(HorseColumn column, int row);
    const Cell& at(HorseColumn column, int row) const;
    /// The file field and horse a cell shows; field FieldCount when it shows none.
    std::pair<FileField, int> fileFieldOf(HorseColumn column, int row) const;
    int findRankRow(HorseColumn column, int rank) const;
    void rankRows(HorseColumn column, const std::array<double, kMaxRunners + 1>& values);

    std::array<Runner, kMaxRunners> m_horses;
    std::array<std::array<Cell, kMaxRunners>, static_cast<int>(HorseColumn::ColumnCount)> m_cells;
    // The horse shown in each row of blocks B and C (0: none).
    std::array<int, kMaxRunners + 1> m_winOrder{};
    std::array<int, kMaxRunners + 1> m_placeOrder{};
    // Colours of the win-order horse number and name (index 0) and of the place-order ones
    // (index 1), per row.
    std::array<std::array<CellColours, kMaxRunners>, 2> m_colours;
    std::optional<int> m_runners;
};
