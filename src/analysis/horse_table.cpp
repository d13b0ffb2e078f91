// SPDX-License-Identifier: MIT
#include "horse_table.h"

#include <cmath>

#include "base/colour.h"
#include "base/display_format.h"
#include "base/number_text.h"
#include "base/texts.h"

using namespace Qt::StringLiterals;

namespace {

constexpr float kScratchedWinOdds = 9999.9F;
constexpr float kScratchedPlaceOdds = 999.9F;
const QString kScratched = Texts::scratched();
const QString kNoRatio = u"-----"_s;
const QString kNone = u"---"_s;

constexpr const char16_t* kColumnNames[] = {
    u"lblHorseName",    u"lblTanOdds",       u"lblFukuOddsMin",    u"lblFukuOddsMax",
    u"lblTanPopular",   u"lblTanRatio",      u"lblFukuOdds",       u"lblFukuPopular",
    u"lblFukuRatio",    u"lblPopular",       u"lblAutoJudge",      u"lblTanHorseNo",
    u"lblTanHorseName", u"lblTanPopOdds",    u"lblTanPopRatio",    u"lblTanFukuRatio",
    u"lblFukuHorseNo",  u"lblFukuHorseName", u"lblFukuPopOddsMin", u"lblFukuPopOddsMax",
    u"lblFukuPopOdds",  u"lblFukuPopRatio",
};
static_assert(std::size(kColumnNames) == static_cast<std::size_t>(HorseColumn::ColumnCount));

int colourSet(HorseColumn column)
{
    switch (column) {
    case HorseColumn::WinOrderHorseNo:
    case HorseColumn::WinOrderHorseName:
        return 0;
    case HorseColumn::PlaceOrderHorseNo:
    case HorseColumn::PlaceOrderHorseName:
        return 1;
    default:
        return -1;
    }
}

} // namespace

QString horseColumnName(HorseColumn column)
{
    return QString::fromUtf16(kColumnNames[static_cast<int>(column)]);
}

HorseTable::HorseTable()
{
    for (int k = 1; k <= kRows; ++k) {
        cell(HorseColumn::PopularityRank, k) = QString::number(k);
    }
}

QString& HorseTable::cell(HorseColumn column, int row)
{
    return m_cells.at(static_cast<std::size_t>(column)).at(static_cast<std::size_t>(row - 1));
}

const QString& HorseTable::cell(HorseColumn column, int row) const
{
    return m_cells.at(static_cast<std::size_t>(column)).at(static_cast<std::size_t>(row - 1));
}

QString HorseTable::text(HorseColumn column, int row) const
{
    return cell(column, row);
}

void HorseTable::setText(HorseColumn column, int row, const QString& text)
{
    cell(column, row) = text;
}

CellColours HorseTable::colours(HorseColumn column, int row) const
{
    const int set = colourSet(column);
    return set < 0 ? CellColours{} : m_colours.at(set).at(static_cast<std::size_t>(row - 1));
}

int HorseTable::getHorseCount() const
{
    // Rows beyond the table cannot hold data, whatever the label says.
    return qBound(0, static_cast<int>(textToInteger(m_horseNum)), kRows);
}

bool HorseTable::isScratched(int row) const
{
    return cell(HorseColumn::WinOdds, row).trimmed() == kScratched;
}

float HorseTable::getWinOddsValue(int row) const
{
    return isScratched(row) ? kScratchedWinOdds
                            : static_cast<float>(numericValue(cell(HorseColumn::WinOdds, row)));
}

float HorseTable::getPlaceOddsMinValue(int row) const
{
    return isScratched(row)
               ? kScratchedPlaceOdds
               : static_cast<float>(numericValue(cell(HorseColumn::PlaceOddsMin, row)));
}

float HorseTable::getPlaceOddsMaxValue(int row) const
{
    return isScratched(row)
               ? kScratchedPlaceOdds
               : static_cast<float>(numericValue(cell(HorseColumn::PlaceOddsMax, row)));
}

int HorseTable::findRankRow(HorseColumn column, int rank) const
{
    const int n = getHorseCount();
    for (int i = 1; i <= n; ++i) {
        if (numericValue(cell(column, i)) == rank) {
            return i;
        }
    }
    return 0;
}

int HorseTable::findWinPopularityRow(int rank) const
{
    return findRankRow(HorseColumn::WinPopularity, rank);
}

int HorseTable::findPlacePopularityRow(int rank) const
{
    return findRankRow(HorseColumn::PlacePopularity, rank);
}

void HorseTable::clearRaw()
{
    for (const auto column : {HorseColumn::HorseName,
                              HorseColumn::WinOrderHorseName,
                              HorseColumn::PlaceOrderHorseName,
                              HorseColumn::WinOdds,
                              HorseColumn::PlaceOddsMin,
                              HorseColumn::PlaceOddsMax,
                              HorseColumn::WinOrderOdds,
                              HorseColumn::PlaceOrderOddsMin,
                              HorseColumn::PlaceOrderOddsMax}) {
        for (int row = 1; row <= kRows; ++row) {
            cell(column, row).clear();
        }
    }
}

void HorseTable::clearDerived()
{
    for (const auto column : {HorseColumn::WinOrderHorseNo,
                              HorseColumn::PlaceOrderHorseNo,
                              HorseColumn::Mark,
                              HorseColumn::WinPopularity,
                              HorseColumn::WinRatio,
                              HorseColumn::PlaceOdds,
                              HorseColumn::PlacePopularity,
                              HorseColumn::PlaceRatio,
                              HorseColumn::WinPlaceRatio,
                              HorseColumn::WinOrderRatio,
                              HorseColumn::PlaceOrderRatio,
                              HorseColumn::PlaceOrderOdds}) {
        for (int row = 1; row <= kRows; ++row) {
            cell(column, row).clear();
        }
    }
}

void HorseTable::rankRows(HorseColumn column, const std::array<double, kRows + 1>& values)
{
    // Rank = 1 + rows with a smaller value + earlier rows with the same value.
    const int n = getHorseCount();
    for (int a = 1; a <= n; ++a) {
        const double value = values[static_cast<std::size_t>(a)];
        int rank = 1;
        for (int b = 1; b <= n; ++b) {
            const double other = values[static_cast<std::size_t>(b)];
            if (other < value || (b < a && other == value)) {
                ++rank;
            }
        }
        cell(column, a) = QString::number(rank);
    }
}

void HorseTable::computeDerived()
{
    const int n = getHorseCount();
    // Win popularity: lower odds first, equal odds by horse number, scratched (9999.9) last.
    std::array<double, kRows + 1> values{};
    for (int i = 1; i <= n; ++i) {
        values[static_cast<std::size_t>(i)] = getWinOddsValue(i);
    }
    rankRows(HorseColumn::WinPopularity, values);
    // Win support ratio.
    for (int i = 1; i <= n; ++i) {
        const double v = numericValue(cell(HorseColumn::WinOdds, i));
        cell(HorseColumn::WinRatio, i) = v != 0.0 ? formatRatio(0.8 / v) : kNoRatio;
    }
    // Average place odds, held in single precision.
    for (int i = 1; i <= n; ++i) {
        const float average = (getPlaceOddsMinValue(i) + getPlaceOddsMaxValue(i)) / 2.0F;
        cell(HorseColumn::PlaceOdds, i) = formatAverage(average);
    }
    // Place popularity, compared on the two-decimal texts.
    for (int i = 1; i <= n; ++i) {
        values[static_cast<std::size_t>(i)] = numericValue(cell(HorseColumn::PlaceOdds, i));
    }
    rankRows(HorseColumn::PlacePopularity, values);
    // Place support ratio.
    for (int i = 1; i <= n; ++i) {
        const double v = numericValue(cell(HorseColumn::PlaceOdds, i));
        cell(HorseColumn::PlaceRatio, i) = v != 0.0 ? formatRatio(0.8 / v / 3.0) : kNoRatio;
    }
}

void HorseTable::fillPopularityBlocks(int threshold)
{
    const int n = getHorseCount();
    for (int k = 1; k <= n; ++k) {
        const int h = findWinPopularityRow(k);
        if (h == 0) {
            continue;
        }
        cell(HorseColumn::WinOrderHorseNo, k) = QString::number(h);
        cell(HorseColumn::WinOrderHorseName, k) = cell(HorseColumn::HorseName, h);
        cell(HorseColumn::WinOrderOdds, k) = cell(HorseColumn::WinOdds, h);
        cell(HorseColumn::WinOrderRatio, k)
            = cell(HorseColumn::WinOdds, h) == kScratched ? kNone : cell(HorseColumn::WinRatio, h);
        const double place = numericValue(cell(HorseColumn::PlaceRatio, h));
        if (place == 0.0) {
            cell(HorseColumn::WinPlaceRatio, k) = formatRatio(0.0);
        } else if (cell(HorseColumn::WinRatio, h) == kNoRatio) {
            // No win odds: a ratio of 0 would read as a real value.
            cell(HorseColumn::WinPlaceRatio, k) = kNoRatio;
        } else {
            cell(HorseColumn::WinPlaceRatio, k)
                = formatRatio(numericValue(cell(HorseColumn::WinRatio, h)) / place);
        }
        const double difference = std::abs(k - numericValue(cell(HorseColumn::PlacePopularity, h)));
        if (difference >= threshold) {
            cell(HorseColumn::Mark, k) = u"★"_s;
        }
    }
    for (int k = 1; k <= n; ++k) {
        const int h = findPlacePopularityRow(k);
        if (h == 0) {
            continue;
        }
        cell(HorseColumn::PlaceOrderHorseNo, k) = QString::number(h);
        cell(HorseColumn::PlaceOrderHorseName, k) = cell(HorseColumn::HorseName, h);
        if (cell(HorseColumn::WinOdds, h) != kScratched) {
            cell(HorseColumn::PlaceOrderOddsMin, k) = cell(HorseColumn::PlaceOddsMin, h);
            cell(HorseColumn::PlaceOrderOddsMax, k) = cell(HorseColumn::PlaceOddsMax, h);
            cell(HorseColumn::PlaceOrderOdds, k) = cell(HorseColumn::PlaceOdds, h);
            cell(HorseColumn::PlaceOrderRatio, k) = cell(HorseColumn::PlaceRatio, h);
        } else {
            cell(HorseColumn::PlaceOrderOddsMin, k) = cell(HorseColumn::WinOdds, h);
            cell(HorseColumn::PlaceOrderOddsMax, k) = kNone;
            cell(HorseColumn::PlaceOrderOdds, k) = kNone;
            cell(HorseColumn::PlaceOrderRatio, k) = kNone;
        }
    }
}

void HorseTable::colourHorseNumbers(const std::function<qint32(int)>& colourOf)
{
    const int n = getHorseCount();
    const auto colour = [&colourOf](const QString& horseNo) {
        const qint32 c = colourOf(textToInteger(horseNo));
        return CellColours{c, c ^ kWhiteSetting};
    };
    for (int k = 1; k <= kRows; ++k) {
        const bool used = k <= n;
        m_colours[0][static_cast<std::size_t>(k - 1)]
            = used ? colour(cell(HorseColumn::WinOrderHorseNo, k)) : CellColours{};
        m_colours[1][static_cast<std::size_t>(k - 1)]
            = used ? colour(cell(HorseColumn::PlaceOrderHorseNo, k)) : CellColours{};
    }
}
