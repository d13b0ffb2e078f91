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
    case HorseColumn::TanHorseNo:
    case HorseColumn::TanHorseName:
        return 0;
    case HorseColumn::FukuHorseNo:
    case HorseColumn::FukuHorseName:
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
        cell(HorseColumn::Popular, k) = QString::number(k);
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
    return cell(HorseColumn::TanOdds, row).trimmed() == kScratched;
}

float HorseTable::getTanOddsValue(int row) const
{
    return isScratched(row) ? kScratchedWinOdds
                            : static_cast<float>(numericValue(cell(HorseColumn::TanOdds, row)));
}

float HorseTable::getFukuOddsMinValue(int row) const
{
    return isScratched(row) ? kScratchedPlaceOdds
                            : static_cast<float>(numericValue(cell(HorseColumn::FukuOddsMin, row)));
}

float HorseTable::getFukuOddsMaxValue(int row) const
{
    return isScratched(row) ? kScratchedPlaceOdds
                            : static_cast<float>(numericValue(cell(HorseColumn::FukuOddsMax, row)));
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

int HorseTable::findTanPopularRow(int rank) const
{
    return findRankRow(HorseColumn::TanPopular, rank);
}

int HorseTable::findFukuPopularRow(int rank) const
{
    return findRankRow(HorseColumn::FukuPopular, rank);
}

void HorseTable::clearRaw()
{
    for (const auto column : {HorseColumn::HorseName,
                              HorseColumn::TanHorseName,
                              HorseColumn::FukuHorseName,
                              HorseColumn::TanOdds,
                              HorseColumn::FukuOddsMin,
                              HorseColumn::FukuOddsMax,
                              HorseColumn::TanPopOdds,
                              HorseColumn::FukuPopOddsMin,
                              HorseColumn::FukuPopOddsMax}) {
        for (int row = 1; row <= kRows; ++row) {
            cell(column, row).clear();
        }
    }
}

void HorseTable::clearDerived()
{
    for (const auto column : {HorseColumn::TanHorseNo,
                              HorseColumn::FukuHorseNo,
                              HorseColumn::AutoJudge,
                              HorseColumn::TanPopular,
                              HorseColumn::TanRatio,
                              HorseColumn::FukuOdds,
                              HorseColumn::FukuPopular,
                              HorseColumn::FukuRatio,
                              HorseColumn::TanFukuRatio,
                              HorseColumn::TanPopRatio,
                              HorseColumn::FukuPopRatio,
                              HorseColumn::FukuPopOdds}) {
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
        values[static_cast<std::size_t>(i)] = getTanOddsValue(i);
    }
    rankRows(HorseColumn::TanPopular, values);
    // Win support ratio.
    for (int i = 1; i <= n; ++i) {
        const double v = numericValue(cell(HorseColumn::TanOdds, i));
        cell(HorseColumn::TanRatio, i) = v != 0.0 ? formatRatio(0.8 / v) : kNoRatio;
    }
    // Average place odds, held in single precision.
    for (int i = 1; i <= n; ++i) {
        const float average = (getFukuOddsMinValue(i) + getFukuOddsMaxValue(i)) / 2.0F;
        cell(HorseColumn::FukuOdds, i) = formatAverage(average);
    }
    // Place popularity, compared on the two-decimal texts.
    for (int i = 1; i <= n; ++i) {
        values[static_cast<std::size_t>(i)] = numericValue(cell(HorseColumn::FukuOdds, i));
    }
    rankRows(HorseColumn::FukuPopular, values);
    // Place support ratio.
    for (int i = 1; i <= n; ++i) {
        const double v = numericValue(cell(HorseColumn::FukuOdds, i));
        cell(HorseColumn::FukuRatio, i) = v != 0.0 ? formatRatio(0.8 / v / 3.0) : kNoRatio;
    }
}

void HorseTable::fillPopularityBlocks(int threshold)
{
    const int n = getHorseCount();
    for (int k = 1; k <= n; ++k) {
        const int h = findTanPopularRow(k);
        if (h == 0) {
            continue;
        }
        cell(HorseColumn::TanHorseNo, k) = QString::number(h);
        cell(HorseColumn::TanHorseName, k) = cell(HorseColumn::HorseName, h);
        cell(HorseColumn::TanPopOdds, k) = cell(HorseColumn::TanOdds, h);
        cell(HorseColumn::TanPopRatio, k)
            = cell(HorseColumn::TanOdds, h) == kScratched ? kNone : cell(HorseColumn::TanRatio, h);
        const double place = numericValue(cell(HorseColumn::FukuRatio, h));
        if (place == 0.0) {
            cell(HorseColumn::TanFukuRatio, k) = formatRatio(0.0);
        } else if (cell(HorseColumn::TanRatio, h) == kNoRatio) {
            // No win odds: a ratio of 0 would read as a real value.
            cell(HorseColumn::TanFukuRatio, k) = kNoRatio;
        } else {
            cell(HorseColumn::TanFukuRatio, k)
                = formatRatio(numericValue(cell(HorseColumn::TanRatio, h)) / place);
        }
        const double difference = std::abs(k - numericValue(cell(HorseColumn::FukuPopular, h)));
        if (difference >= threshold) {
            cell(HorseColumn::AutoJudge, k) = u"★"_s;
        }
    }
    for (int k = 1; k <= n; ++k) {
        const int h = findFukuPopularRow(k);
        if (h == 0) {
            continue;
        }
        cell(HorseColumn::FukuHorseNo, k) = QString::number(h);
        cell(HorseColumn::FukuHorseName, k) = cell(HorseColumn::HorseName, h);
        if (cell(HorseColumn::TanOdds, h) != kScratched) {
            cell(HorseColumn::FukuPopOddsMin, k) = cell(HorseColumn::FukuOddsMin, h);
            cell(HorseColumn::FukuPopOddsMax, k) = cell(HorseColumn::FukuOddsMax, h);
            cell(HorseColumn::FukuPopOdds, k) = cell(HorseColumn::FukuOdds, h);
            cell(HorseColumn::FukuPopRatio, k) = cell(HorseColumn::FukuRatio, h);
        } else {
            cell(HorseColumn::FukuPopOddsMin, k) = cell(HorseColumn::TanOdds, h);
            cell(HorseColumn::FukuPopOddsMax, k) = kNone;
            cell(HorseColumn::FukuPopOdds, k) = kNone;
            cell(HorseColumn::FukuPopRatio, k) = kNone;
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
            = used ? colour(cell(HorseColumn::TanHorseNo, k)) : CellColours{};
        m_colours[1][static_cast<std::size_t>(k - 1)]
            = used ? colour(cell(HorseColumn::FukuHorseNo, k)) : CellColours{};
    }
}
