// SPDX-License-Identifier: MIT
#include "horse_table.h"

#include <cmath>
#include <limits>

#include "base/colour.h"
#include "base/number_text.h"
#include "base/texts.h"

using namespace Qt::StringLiterals;

namespace {

constexpr float kScratchedWinOdds = 9999.9F;
constexpr float kScratchedPlaceOdds = 999.9F;
const QString kScratched = Texts::scratched();
const QString kNoRatio = u"-----"_s;
const QString kNone = u"---"_s;
const QString kStar = u"★"_s;

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
    for (int k = 1; k <= kMaxRunners; ++k) {
        at(HorseColumn::PopularityRank, k) = Cell::integer(k);
    }
}

Cell& HorseTable::at(HorseColumn column, int row)
{
    return m_cells.at(static_cast<std::size_t>(column)).at(static_cast<std::size_t>(row - 1));
}

const Cell& HorseTable::at(HorseColumn column, int row) const
{
    return m_cells.at(static_cast<std::size_t>(column)).at(static_cast<std::size_t>(row - 1));
}

bool HorseTable::isFileColumn(HorseColumn column)
{
    switch (column) {
    case HorseColumn::HorseName:
    case HorseColumn::WinOdds:
    case HorseColumn::PlaceOddsMin:
    case HorseColumn::PlaceOddsMax:
    case HorseColumn::WinOrderHorseName:
    case HorseColumn::WinOrderOdds:
    case HorseColumn::PlaceOrderHorseName:
    case HorseColumn::PlaceOrderOddsMin:
    case HorseColumn::PlaceOrderOddsMax:
        return true;
    default:
        return false;
    }
}

std::pair<HorseTable::FileField, int> HorseTable::fileFieldOf(HorseColumn column, int row) const
{
    const auto index = static_cast<std::size_t>(row);
    const int win = m_winOrder.at(index);
    const int place = m_placeOrder.at(index);
    const bool placeScratched = place != 0 && isScratched(place);
    switch (column) {
    case HorseColumn::HorseName:
        return {NameField, row};
    case HorseColumn::WinOdds:
        return {WinField, row};
    case HorseColumn::PlaceOddsMin:
        return {MinField, row};
    case HorseColumn::PlaceOddsMax:
        return {MaxField, row};
    case HorseColumn::WinOrderHorseName:
        return {NameField, win};
    case HorseColumn::WinOrderOdds:
        return {WinField, win};
    case HorseColumn::PlaceOrderHorseName:
        return {NameField, place};
    case HorseColumn::PlaceOrderOddsMin:
        // A scratched horse shows its "ﾄﾘｹｼ" where its place odds would be.
        return {placeScratched ? WinField : MinField, place};
    case HorseColumn::PlaceOrderOddsMax:
        return {placeScratched ? FieldCount : MaxField, place};
    default:
        return {FieldCount, 0};
    }
}

QStringView HorseTable::fileText(HorseColumn column, int row) const
{
    const auto [field, horse] = fileFieldOf(column, row);
    if (field == FieldCount || horse == 0) {
        return {};
    }
    const Runner& r = m_horses.at(static_cast<std::size_t>(horse - 1));
    if (field == NameField) {
        return r.name.view().left(r.nameLength);
    }
    return r.odds.at(static_cast<std::size_t>(field - WinField)).trimmed();
}

std::optional<std::pair<HorseOdds, int>> HorseTable::oddsShownAt(HorseColumn column, int row) const
{
    const auto [field, horse] = fileFieldOf(column, row);
    if (horse == 0 || field == NameField || field == FieldCount) {
        return std::nullopt;
    }
    if (field == WinField && column != HorseColumn::WinOdds
        && column != HorseColumn::WinOrderOdds) {
        return std::nullopt;
    }
    return std::pair{static_cast<HorseOdds>(field - WinField), horse};
}

QString HorseTable::text(HorseColumn column, int row) const
{
    if (fileFieldOf(column, row).first != FieldCount) {
        return fileText(column, row).toString();
    }
    return at(column, row).text();
}

Cell HorseTable::cell(HorseColumn column, int row) const
{
    if (isFileColumn(column) && fileFieldOf(column, row).first != FieldCount) {
        return {};
    }
    return at(column, row);
}

void HorseTable::setFileText(HorseColumn column, int row, QStringView text)
{
    Runner& r = m_horses.at(static_cast<std::size_t>(row - 1));
    const auto [field, horse] = fileFieldOf(column, row);
    Q_ASSERT(horse == row);
    if (field == NameField) {
        r.name = PatText<18>::fromString(text);
        r.nameLength = qMin<qsizetype>(text.size(), PatText<18>::kWidth);
        return;
    }
    if (field == FieldCount) {
        return;
    }
    const auto index = static_cast<std::size_t>(field - WinField);
    r.odds.at(index) = PatText<5>::fromString(text.trimmed());
    r.oddsValue.at(index) = numericValue(r.odds.at(index).view());
    if (field == WinField) {
        r.scratched = r.odds[0].trimmed() == kScratched;
    }
}

void HorseTable::setCell(HorseColumn column, int row, const Cell& cell)
{
    at(column, row) = cell;
}

QString HorseTable::horseNum() const
{
    return m_runners ? QString::number(*m_runners) : QString();
}

CellColours HorseTable::colours(HorseColumn column, int row) const
{
    const int set = colourSet(column);
    return set < 0 ? CellColours{} : m_colours.at(set).at(static_cast<std::size_t>(row - 1));
}

int HorseTable::getHorseCount() const
{
    // The label's text read back as a 16-bit count; rows beyond the table cannot hold data.
    const bool fits = m_runners && *m_runners >= std::numeric_limits<qint16>::min()
                      && *m_runners <= std::numeric_limits<qint16>::max();
    return fits ? qBound(0, *m_runners, kMaxRunners) : 0;
}

bool HorseTable::isScratched(int row) const
{
    return m_horses.at(static_cast<std::size_t>(row - 1)).scratched;
}

float HorseTable::getWinOddsValue(int row) const
{
    const Runner& r = m_horses.at(static_cast<std::size_t>(row - 1));
    return r.scratched ? kScratchedWinOdds : static_cast<float>(r.oddsValue[0]);
}

double HorseTable::winOdds(int row) const
{
    const Runner& r = m_horses.at(static_cast<std::size_t>(row - 1));
    return r.scratched ? 0.0 : r.oddsValue[0];
}

double HorseTable::placeOdds(int row) const
{
    const Runner& r = m_horses.at(static_cast<std::size_t>(row - 1));
    return r.scratched || !(r.oddsValue[1] > 0.0) || !(r.oddsValue[2] > 0.0)
               ? 0.0
               : (r.oddsValue[1] + r.oddsValue[2]) / 2.0;
}

float HorseTable::getPlaceOddsMinValue(int row) const
{
    const Runner& r = m_horses.at(static_cast<std::size_t>(row - 1));
    return r.scratched ? kScratchedPlaceOdds : static_cast<float>(r.oddsValue[1]);
}

float HorseTable::getPlaceOddsMaxValue(int row) const
{
    const Runner& r = m_horses.at(static_cast<std::size_t>(row - 1));
    return r.scratched ? kScratchedPlaceOdds : static_cast<float>(r.oddsValue[2]);
}

int HorseTable::findRankRow(HorseColumn column, int rank) const
{
    const int n = getHorseCount();
    for (int i = 1; i <= n; ++i) {
        // Ranks are integers, whose shown value is their value: no rounding to ask for.
        const Cell& cell = at(column, i);
        const double shown = cell.form() == CellForm::Integer ? cell.value() : cell.shownValue();
        if (shown == rank) {
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
    m_horses.fill(Runner{});
    m_winOrder.fill(0);
    m_placeOrder.fill(0);
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
                              HorseColumn::PlaceOrderOdds,
                              HorseColumn::PlaceOrderOddsMax}) {
        m_cells.at(static_cast<std::size_t>(column)).fill(Cell());
    }
    // Blocks B and C show nothing until they are filled again.
    m_winOrder.fill(0);
    m_placeOrder.fill(0);
}

void HorseTable::rankRows(HorseColumn column, const std::array<double, kMaxRunners + 1>& values)
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
        at(column, a) = Cell::integer(rank);
    }
}

void HorseTable::computeDerived()
{
    const int n = getHorseCount();
    // Win popularity: lower odds first, equal odds by horse number, scratched (9999.9) last.
    std::array<double, kMaxRunners + 1> values{};
    for (int i = 1; i <= n; ++i) {
        values[static_cast<std::size_t>(i)] = getWinOddsValue(i);
    }
    rankRows(HorseColumn::WinPopularity, values);
    // Win support ratio.
    for (int i = 1; i <= n; ++i) {
        const double v = m_horses[static_cast<std::size_t>(i - 1)].oddsValue[0];
        at(HorseColumn::WinRatio, i)
            = v != 0.0 ? Cell::number(0.8 / v, CellForm::Fixed3) : Cell::lastingText(kNoRatio);
    }
    // Average place odds, held in single precision.
    for (int i = 1; i <= n; ++i) {
        const float average = (getPlaceOddsMinValue(i) + getPlaceOddsMaxValue(i)) / 2.0F;
        at(HorseColumn::PlaceOdds, i) = Cell::number(average, CellForm::Fixed2);
    }
    // Place popularity, compared on the two-decimal averages as shown.
    for (int i = 1; i <= n; ++i) {
        values[static_cast<std::size_t>(i)] = at(HorseColumn::PlaceOdds, i).shownValue();
    }
    rankRows(HorseColumn::PlacePopularity, values);
    // Place support ratio.
    for (int i = 1; i <= n; ++i) {
        const double v = at(HorseColumn::PlaceOdds, i).shownValue();
        at(HorseColumn::PlaceRatio, i) = v != 0.0 ? Cell::number(0.8 / v / 3.0, CellForm::Fixed3)
                                                  : Cell::lastingText(kNoRatio);
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
        m_winOrder[static_cast<std::size_t>(k)] = h;
        at(HorseColumn::WinOrderHorseNo, k) = Cell::integer(h);
        const Cell& winRatio = at(HorseColumn::WinRatio, h);
        at(HorseColumn::WinOrderRatio, k) = isScratched(h) ? Cell::lastingText(kNone) : winRatio;
        const double place = at(HorseColumn::PlaceRatio, h).shownValue();
        Cell& winPlace = at(HorseColumn::WinPlaceRatio, k);
        if (place == 0.0) {
            winPlace = Cell::number(0.0, CellForm::Fixed3);
        } else if (winRatio.textValue() == kNoRatio) {
            // No win odds: a ratio of 0 would read as a real value.
            winPlace = Cell::lastingText(kNoRatio);
        } else {
            winPlace = Cell::number(winRatio.shownValue() / place, CellForm::Fixed3);
        }
        const double difference = std::abs(k - at(HorseColumn::PlacePopularity, h).shownValue());
        if (difference >= threshold) {
            at(HorseColumn::Mark, k) = Cell::lastingText(kStar);
        }
    }
    for (int k = 1; k <= n; ++k) {
        const int h = findPlacePopularityRow(k);
        if (h == 0) {
            continue;
        }
        m_placeOrder[static_cast<std::size_t>(k)] = h;
        at(HorseColumn::PlaceOrderHorseNo, k) = Cell::integer(h);
        if (!isScratched(h)) {
            at(HorseColumn::PlaceOrderOdds, k) = at(HorseColumn::PlaceOdds, h);
            at(HorseColumn::PlaceOrderRatio, k) = at(HorseColumn::PlaceRatio, h);
        } else {
            at(HorseColumn::PlaceOrderOddsMax, k) = Cell::lastingText(kNone);
            at(HorseColumn::PlaceOrderOdds, k) = Cell::lastingText(kNone);
            at(HorseColumn::PlaceOrderRatio, k) = Cell::lastingText(kNone);
        }
    }
}

void HorseTable::colourHorseNumbers(const std::function<qint32(int)>& colourOf)
{
    const int n = getHorseCount();
    const auto colour = [&colourOf](const Cell& horseNo) {
        const qint32 c = colourOf(horseNo.shownInteger());
        return CellColours{c, c ^ kWhiteSetting};
    };
    for (int k = 1; k <= kMaxRunners; ++k) {
        const bool used = k <= n;
        m_colours[0][static_cast<std::size_t>(k - 1)]
            = used ? colour(at(HorseColumn::WinOrderHorseNo, k)) : CellColours{};
        m_colours[1][static_cast<std::size_t>(k - 1)]
            = used ? colour(at(HorseColumn::PlaceOrderHorseNo, k)) : CellColours{};
    }
}
