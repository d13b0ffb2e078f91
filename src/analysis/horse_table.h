// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <functional>

#include <QString>

#include "base/colour.h"

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

/// The historic control name of a column ("lblTanOdds"); its cells are named "lblTanOdds_3".
QString horseColumnName(HorseColumn column);

/// Colours of a cell as 0x00BBGGRR, the settings' colour form.
struct CellColours
{
    qint32 background = kWhiteSetting;
    qint32 text = 0;

    bool operator==(const CellColours&) const = default;
};

/// The horse summary table: every column as display text, rows 1 to 18. The texts are the data
/// store of the race shown: later steps read numbers back from what earlier steps wrote, so the
/// formats are part of the interface.
class HorseTable final
{
public:
    static constexpr int kRows = 18;

    HorseTable();

    QString text(HorseColumn column, int row) const;
    void setText(HorseColumn column, int row, const QString& text);

    /// The text of the runner-count label; the table reads N back from it.
    QString horseNum() const { return m_horseNum; }
    void setHorseNum(const QString& text) { m_horseNum = text; }

    /// Colours of the four horse-number coloured columns (white on black elsewhere).
    CellColours colours(HorseColumn column, int row) const;

    // Accessors read by the analysis.
    int getHorseCount() const;
    bool isScratched(int row) const;
    float getWinOddsValue(int row) const;
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
    QString& cell(HorseColumn column, int row);
    const QString& cell(HorseColumn column, int row) const;
    int findRankRow(HorseColumn column, int rank) const;
    void rankRows(HorseColumn column, const std::array<double, kRows + 1>& values);

    std::array<std::array<QString, kRows>, static_cast<int>(HorseColumn::ColumnCount)> m_cells;
    // Colours of TanHorseNo/Name (index 0) and FukuHorseNo/Name (index 1), per row.
    std::array<std::array<CellColours, kRows>, 2> m_colours;
    QString m_horseNum;
};
