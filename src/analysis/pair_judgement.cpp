// SPDX-License-Identifier: MIT
#include "pair_judgement.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "analysis/horse_table.h"
#include "base/number_text.h"
#include "base/texts.h"
#include "pat/quinella_odds.h"

using namespace Qt::StringLiterals;

namespace {

const QString kScratched = Texts::scratched();

// Shared texts: labels and ranks repeat in every run, so they are made once.
const QString& pairLabelText(int a, int b)
{
    static const auto labels = [] {
        std::array<QString, kMaxRunners * kMaxRunners> made;
        for (int i = 1; i <= kMaxRunners; ++i) {
            for (int j = 1; j <= kMaxRunners; ++j) {
                made[static_cast<std::size_t>((i - 1) * kMaxRunners + j - 1)]
                    = QString::number(qMin(i, j)).rightJustified(2) + u'-'
                      + QString::number(qMax(i, j)).rightJustified(2);
            }
        }
        return made;
    }();
    return labels[static_cast<std::size_t>((a - 1) * kMaxRunners + b - 1)];
}

std::optional<float> ratioOf(const HorseTable& table, HorseColumn column, int horse)
{
    const auto value = table.cell(column, horse).shownNumber();
    return value ? std::optional<float>(static_cast<float>(*value)) : std::nullopt;
}

// Harville: either horse first and the other second, the support ratios as win chances.
std::optional<float> theoreticalValue(std::optional<double> pa, std::optional<double> pb, double k)
{
    if (!pa || !pb || *pa == 1.0 || *pb == 1.0) {
        return std::nullopt;
    }
    const auto pab = static_cast<float>(*pa * *pb / (1.0 - *pa));
    const auto pba = static_cast<float>(*pa * *pb / (1.0 - *pb));
    const float sum = pab + pba;
    if (sum == 0.0F || !std::isfinite(sum)) {
        return std::nullopt;
    }
    const auto t = static_cast<float>(k / sum);
    return std::isfinite(t) ? std::optional<float>(t) : std::nullopt;
}

std::optional<float> positive(std::optional<float> value)
{
    return value && *value > 0.0F && std::isfinite(*value) ? value : std::nullopt;
}

std::optional<float> wholeSingle(QStringView text)
{
    const auto number = parseDecimalText(text);
    return number ? decimalTextToSingle(*number) : std::nullopt;
}

std::optional<float> actualOdds(const QuinellaPairEntry& entry, BetType bet)
{
    if (bet == BetType::Quinella) {
        if (entry.quinellaOdds.view().contains(kScratched)) {
            return kMissingValue;
        }
        return positive(wholeSingle(entry.quinellaOdds.view()));
    }
    if (entry.wideOddsMin.view().contains(kScratched)) {
        return kMissingValue;
    }
    // The midpoint of the wide range: the sum held as a single, then halved.
    const auto low = wholeSingle(entry.wideOddsMin.view());
    const auto high = leadingNumber(entry.wideOddsMax.view());
    if (!low || !high) {
        return std::nullopt;
    }
    const auto sum = static_cast<float>(static_cast<double>(*low) + *high);
    return positive(sum / 2.0F);
}

// A ratio limit excludes the pair when either horse lies below it; a ratio that is not a number
// excludes it too.
bool belowRatioLimit(std::optional<float> ra, std::optional<float> rb, float limit)
{
    return !ra || *ra < limit || !rb || *rb < limit;
}

bool judged(const JudgeSettings& s,
            float t,
            float a,
            float d,
            std::optional<float> winA,
            std::optional<float> winB,
            std::optional<float> placeA,
            std::optional<float> placeB)
{
    if (s.dispSign == 1 && d < 0.0F) {
        return false;
    }
    if (s.dispSign == 2 && d > 0.0F) {
        return false;
    }
    if (s.isIdealLimit == true && s.idealLimit && t >= *s.idealLimit) {
        return false;
    }
    if (s.isRealLimit == true && s.realLimit && a >= *s.realLimit) {
        return false;
    }
    if (s.isWinRatioLimit == true && s.winRatioLimit
        && belowRatioLimit(winA, winB, *s.winRatioLimit)) {
        return false;
    }
    if (s.isPlaceRatioLimit == true && s.placeRatioLimit
        && belowRatioLimit(placeA, placeB, *s.placeRatioLimit)) {
        return false;
    }
    return true;
}

// The level whose band holds the deviation's size; empty when none does.
std::optional<std::size_t> levelFor(const JudgeSettings& s, float deviation)
{
    const float size = std::abs(deviation);
    for (std::size_t level = 0; level < 5; ++level) {
        const auto& low = s.detectMin[level];
        const auto& high = s.detectMax[level];
        if (low && high && size >= *low && size < *high) {
            return level;
        }
    }
    return std::nullopt;
}

// Ranks the rows by their shown actual odds, lowest first, equal odds in pair order. A scratched
// pair is ranked "ﾄﾘｹｼ" but still uses up its number; a pair without odds gets no rank.
void rankByActualOdds(std::vector<PairGridModel::Row>& rows)
{
    std::vector<std::pair<double, std::size_t>> order;
    order.reserve(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Cell& actual = rows[r][ActualColumn].value;
        if (!actual.showsNothing()) {
            order.emplace_back(actual.shownValue(), r);
        }
    }
    std::stable_sort(
        order.begin(), order.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    for (std::size_t k = 0; k < order.size(); ++k) {
        const auto [value, r] = order[k];
        // The shown "99999.9" reads back as exactly this double.
        rows[r][PopularityColumn].value = value == 99999.9 ? Cell::lastingText(kScratched)
                                                           : Cell::integer(static_cast<int>(k) + 1);
    }
}

} // namespace

std::vector<PairGridModel::Row> judgePairs(const HorseTable& table,
                                           const QuinellaOddsRecord& odds,
                                           BetType bet,
                                           const JudgeSettings& settings)
{
    const int n = table.getHorseCount();
    const bool quinella = bet == BetType::Quinella;
    const double constant = quinella ? 0.75 : 0.75 / 3.0;
    const HorseColumn theoryRatio = quinella ? HorseColumn::WinRatio : HorseColumn::PlaceRatio;

    // What each horse contributes, read once from the shown texts.
    struct Horse
    {
        bool scratched = false;
        std::optional<double> theoryRatio;
        std::optional<float> winRatio;
        std::optional<float> placeRatio;
    };
    std::array<Horse, kMaxRunners + 1> horses{};
    for (int h = 1; h <= n; ++h) {
        auto& horse = horses[static_cast<std::size_t>(h)];
        horse.scratched = table.isScratched(h);
        horse.theoryRatio = table.cell(theoryRatio, h).shownNumber();
        horse.winRatio = ratioOf(table, HorseColumn::WinRatio, h);
        horse.placeRatio = ratioOf(table, HorseColumn::PlaceRatio, h);
    }

    // Marks are texts of the settings: cells keep lasting copies.
    std::array<const QString*, 5> marks{};
    for (std::size_t level = 0; level < marks.size(); ++level) {
        marks[level] = &internText(settings.dispChar[level]);
    }
    const auto colourOf = [](const std::optional<qint32>& setting) -> QRgb {
        return setting ? colourFromSetting(*setting).rgba() : 0;
    };
    const QRgb plusColour = colourOf(settings.plusColor);
    const QRgb minusColour = colourOf(settings.minusColor);

    std::vector<PairGridModel::Row> rows;
    rows.reserve(static_cast<std::size_t>(std::max(0, n * (n - 1) / 2)));
    for (int a = 1; a < n; ++a) {
        const Horse& ha = horses[static_cast<std::size_t>(a)];
        for (int b = a + 1; b <= n; ++b) {
            const Horse& hb = horses[static_cast<std::size_t>(b)];
            PairGridModel::Row& row = rows.emplace_back();
            row[LabelColumn].value = Cell::lastingText(pairLabelText(a, b));

            const std::optional<float> t
                = ha.scratched || hb.scratched
                      ? std::optional<float>(kMissingValue)
                      : theoreticalValue(ha.theoryRatio, hb.theoryRatio, constant);
            const std::optional<float> actual = actualOdds(odds.pair(a, b), bet);
            std::optional<float> d;
            if (t && actual) {
                d = (*actual - *t) * 100.0F / *actual;
            }
            if (t) {
                row[TheoreticalColumn].value = Cell::number(*t, CellForm::Fixed1);
            }
            if (actual) {
                row[ActualColumn].value = Cell::number(*actual, CellForm::Fixed1);
                const double implied = quinella ? 0.75 / *actual : 0.75 / *actual / 3.0;
                row[SupportRatioColumn].value = Cell::number(implied, CellForm::Fixed3);
            }
            if (d) {
                row[DeviationColumn].value = Cell::number(*d, CellForm::Signed1);
            }

            GridCell& mark = row[MarkColumn];
            std::optional<std::size_t> level;
            if (d
                && judged(settings,
                          *t,
                          *actual,
                          *d,
                          ha.winRatio,
                          hb.winRatio,
                          ha.placeRatio,
                          hb.placeRatio)) {
                level = levelFor(settings, *d);
                if (level) {
                    mark.value = Cell::lastingText(*marks[*level]);
                }
            }
            if (level && !marks[*level]->trimmed().isEmpty() && *d != 0.0F) {
                mark.foreground = *d > 0.0F ? plusColour : minusColour;
            } else {
                mark.foregroundIsBase = true;
            }
        }
    }
    rankByActualOdds(rows);
    return rows;
}

void writePopularityDifference(PairGridModel& quinella, PairGridModel& wide)
{
    const auto isScratchedRank = [](const Cell& rank) {
        return rank.textValue() == kScratched;
    };
    quinella.editRows([&](std::vector<PairGridModel::Row>& q) {
        wide.editRows([&](std::vector<PairGridModel::Row>& w) {
            const std::size_t rows = std::min(q.size(), w.size());
            for (std::size_t r = 0; r < rows; ++r) {
                const Cell& wideRank = w[r][PopularityColumn].value;
                const Cell& quinellaRank = q[r][PopularityColumn].value;
                Cell difference;
                if (isScratchedRank(wideRank)) {
                    difference = Cell::integer(0);
                } else if (!wideRank.showsNothing() && !quinellaRank.showsNothing()
                           && !isScratchedRank(quinellaRank)) {
                    difference
                        = Cell::integer(quinellaRank.shownInteger() - wideRank.shownInteger());
                }
                q[r][DifferenceColumn].value = difference;
                w[r][DifferenceColumn].value = difference;
            }
        });
    });
}
