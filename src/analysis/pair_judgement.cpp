// SPDX-License-Identifier: MIT
#include "pair_judgement.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "analysis/horse_table.h"
#include "analysis/market_blend.h"
#include "analysis/ordering_model.h"
#include "base/number_text.h"
#include "base/texts.h"
#include "pat/quinella_odds.h"

using namespace Qt::StringLiterals;

namespace {

const QString kScratched = Texts::scratched();
// A value that cannot be computed, inside this file: NaN never results from the computations.
constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

float ratioOf(const HorseTable& table, HorseColumn column, int horse)
{
    const auto value = table.cell(column, horse).shownNumber();
    return value ? static_cast<float>(*value) : kNone;
}

// Harville: either horse first and the other second, the support ratios as win chances.
float theoreticalValue(double pa, double pb, double k)
{
    if (std::isnan(pa) || std::isnan(pb) || pa == 1.0 || pb == 1.0) {
        return kNone;
    }
    const auto pab = static_cast<float>(pa * pb / (1.0 - pa));
    const auto pba = static_cast<float>(pa * pb / (1.0 - pb));
    const float sum = pab + pba;
    if (sum == 0.0F || !std::isfinite(sum)) {
        return kNone;
    }
    const auto t = static_cast<float>(k / sum);
    return std::isfinite(t) ? t : kNone;
}

float positive(float value)
{
    return value > 0.0F && std::isfinite(value) ? value : kNone;
}

float positive(std::optional<float> value)
{
    return value ? positive(*value) : kNone;
}

// Whether an odds field holds "ﾄﾘｹｼ" anywhere.
bool holdsScratched(QStringView field)
{
    const QStringView word = kScratched;
    for (qsizetype at = 0; at + word.size() <= field.size(); ++at) {
        if (std::equal(word.begin(), word.end(), field.begin() + at)) {
            return true;
        }
    }
    return false;
}

// An odds field as most are: blanks around digits with at most one ".", below 2^24 in its last
// decimal. Its whole-text single and its leading number are then one exact division each.
struct PlainOdds
{
    std::uint32_t digits = 0;
    int decimals = 0;

    float single() const
    {
        static constexpr float kPowers[] = {1e0F, 1e1F, 1e2F, 1e3F, 1e4F, 1e5F, 1e6F};
        return static_cast<float>(digits) / kPowers[decimals];
    }
    double number() const
    {
        static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
        return static_cast<double>(digits) / kPowers[decimals];
    }
};

Q_ALWAYS_INLINE std::optional<PlainOdds> plainOdds(QStringView field)
{
    // Blanks, then digits with at most one ".", then blanks only; six characters hold at most
    // six digits, so the digits stay below 2^24 and the decimals at most six.
    const char16_t* const c = field.utf16();
    const qsizetype size = field.size();
    if (size > 6) {
        return std::nullopt;
    }
    qsizetype i = 0;
    while (i < size && c[i] == u' ') {
        ++i;
    }
    const qsizetype start = i;
    qsizetype point = -1;
    PlainOdds odds;
    for (; i < size; ++i) {
        const auto digit = static_cast<unsigned>(c[i]) - u'0';
        if (digit < 10) {
            odds.digits = odds.digits * 10 + digit;
        } else if (c[i] == u'.' && point < 0) {
            point = i;
        } else {
            break;
        }
    }
    const qsizetype end = i;
    while (i < size && c[i] == u' ') {
        ++i;
    }
    const qsizetype digits = end - start - (point < 0 ? 0 : 1);
    if (i != size || digits == 0) {
        return std::nullopt;
    }
    odds.decimals = point < 0 ? 0 : static_cast<int>(end - point - 1);
    return odds;
}

} // namespace

float pairActualOdds(const QuinellaPairEntry& entry, BetType bet)
{
    if (bet == BetType::Quinella) {
        if (const auto plain = plainOdds(entry.quinellaOdds.view())) {
            return positive(plain->single());
        }
        if (holdsScratched(entry.quinellaOdds.view())) {
            return kMissingValue;
        }
        return positive(wholeTextToSingle(entry.quinellaOdds.view()));
    }
    const auto plainLow = plainOdds(entry.wideOddsMin.view());
    if (!plainLow && holdsScratched(entry.wideOddsMin.view())) {
        return kMissingValue;
    }
    // The midpoint of the wide range: the sum held as a single, then halved.
    const auto low = plainLow ? std::optional<float>(plainLow->single())
                              : wholeTextToSingle(entry.wideOddsMin.view());
    const auto plainHigh = plainOdds(entry.wideOddsMax.view());
    const auto high = plainHigh ? std::optional<double>(plainHigh->number())
                                : leadingNumber(entry.wideOddsMax.view());
    if (!low || !high) {
        return kNone;
    }
    const auto sum = static_cast<float>(static_cast<double>(*low) + *high);
    return positive(sum / 2.0F);
}

namespace {

// The judgement settings in the form the loop over the pairs asks them: a test that is off, or
// whose value did not convert, never excludes; a level without both bounds never matches.
struct Rules
{
    bool positiveOnly = false;
    bool negativeOnly = false;
    float theoreticalLimit = std::numeric_limits<float>::infinity();
    float actualLimit = std::numeric_limits<float>::infinity();
    std::optional<float> winRatioLimit;
    std::optional<float> placeRatioLimit;
    std::array<float, 5> low{};
    std::array<float, 5> high{};
    std::array<bool, 5> level{};

    explicit Rules(const JudgeSettings& s)
        : positiveOnly(s.markedSigns == 1)
        , negativeOnly(s.markedSigns == 2)
    {
        if (s.isTheoreticalLimit == true && s.theoreticalLimit) {
            theoreticalLimit = *s.theoreticalLimit;
        }
        if (s.isActualLimit == true && s.actualLimit) {
            actualLimit = *s.actualLimit;
        }
        if (s.isWinRatioLimit == true) {
            winRatioLimit = s.winRatioLimit;
        }
        if (s.isPlaceRatioLimit == true) {
            placeRatioLimit = s.placeRatioLimit;
        }
        for (std::size_t k = 0; k < level.size(); ++k) {
            level[k] = s.bandLow[k] && s.bandHigh[k];
            low[k] = level[k] ? static_cast<float>(*s.bandLow[k]) : 0.0F;
            high[k] = level[k] ? static_cast<float>(*s.bandHigh[k]) : 0.0F;
        }
    }

    // A ratio limit excludes the pair when either horse lies below it; a ratio that is not a
    // number (kNone) excludes it too.
    static bool belowRatioLimit(float ra, float rb, float limit)
    {
        return !(ra >= limit) || !(rb >= limit);
    }

    bool judged(float t, float a, float d, float winA, float winB, float placeA, float placeB) const
    {
        if ((positiveOnly && d < 0.0F) || (negativeOnly && d > 0.0F)) {
            return false;
        }
        // An ideal or real limit that is off is infinite: no finite value reaches it.
        if (t >= theoreticalLimit || a >= actualLimit) {
            return false;
        }
        if (winRatioLimit && belowRatioLimit(winA, winB, *winRatioLimit)) {
            return false;
        }
        return !(placeRatioLimit && belowRatioLimit(placeA, placeB, *placeRatioLimit));
    }

    // The level whose band holds the deviation's size; empty when none does.
    std::optional<std::size_t> levelFor(float deviation) const
    {
        const float size = std::abs(deviation);
        for (std::size_t k = 0; k < level.size(); ++k) {
            if (level[k] && size >= low[k] && size < high[k]) {
                return k;
            }
        }
        return std::nullopt;
    }
};

// Ranks the rows by their shown actual odds, lowest first, equal odds in pair order. A scratched
// pair is ranked "ﾄﾘｹｼ" but still uses up its number; a pair without odds gets no rank. Shown
// odds in tenths order as their texts read back do; with the row below, each key is unique.
void rankByActualOdds(std::vector<PairRow>& rows)
{
    std::vector<quint64> order;
    order.reserve(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Cell& actual = rows[r][ActualColumn];
        if (!actual.showsNothing()) {
            // Actual odds are positive and at most a six-digit field: well inside 40 bits.
            const auto units = actual.shownUnits();
            Q_ASSERT(units && *units >= 0 && *units < (qint64{1} << 40));
            order.push_back(static_cast<quint64>(*units) << 16 | r);
        }
    }
    std::sort(order.begin(), order.end());
    for (std::size_t k = 0; k < order.size(); ++k) {
        const auto r = static_cast<std::size_t>(order[k] & 0xFFFF);
        const auto units = static_cast<qint64>(order[k] >> 16);
        rows[r][PopularityColumn] = units == kMissingTenths
                                        ? Cell::lastingText(kScratched)
                                        : Cell::integer(static_cast<int>(k) + 1);
    }
}

} // namespace

namespace {

// The blend's chances from the actual odds already read, 0 or less for none.
void blendFromOdds(const HorseTable& table,
                   std::span<const double> pairOdds,
                   BetType bet,
                   const ModelSettings& settings,
                   const OrderingModel& model,
                   std::span<double, kMaxPairs> chances)
{
    const int n = table.getHorseCount();
    std::array<double, kMaxRunners + 1> placeOdds{};
    if (bet == BetType::Wide) {
        for (int h = 1; h <= n; ++h) {
            placeOdds[static_cast<std::size_t>(h)] = table.placeOdds(h);
        }
    }
    BlendRace race;
    blendSources(bet, model, placeChances(placeOdds), pairOdds, race);
    std::array<double, kMaxPairs> taking{};
    BlendWeights weights{};
    if (bet == BetType::Quinella) {
        std::copy(
            settings.quinellaWeights.begin(), settings.quinellaWeights.end(), weights.begin());
    } else {
        std::copy(settings.wideWeights.begin(), settings.wideWeights.end(), weights.begin());
    }
    blendChances(race, weights, taking);
    std::fill(chances.begin(), chances.end(), std::numeric_limits<double>::quiet_NaN());
    for (int p = 0; p < race.pairs; ++p) {
        chances[race.index[static_cast<std::size_t>(p)]] = taking[static_cast<std::size_t>(p)];
    }
}

} // namespace

std::optional<float> pairOddsOf(const QuinellaPairEntry& entry, BetType bet)
{
    return oddsOrNone(pairActualOdds(entry, bet));
}

std::optional<float> wideLowOddsOf(const QuinellaPairEntry& entry)
{
    if (!pairOddsOf(entry, BetType::Wide)) {
        return std::nullopt;
    }
    const auto plain = plainOdds(entry.wideOddsMin.view());
    const auto low = plain ? std::optional<float>(plain->single())
                           : wholeTextToSingle(entry.wideOddsMin.view());
    if (!low || !(*low > 0.0F)) {
        return std::nullopt;
    }
    const auto shown = Cell::number(*low, CellForm::Fixed1).shownNumber();
    return shown ? std::optional<float>(static_cast<float>(*shown)) : std::nullopt;
}

namespace {

// Every pair's actual odds in pair order, and the same as the blend takes them (0 for none or
// a scratched pair).
void readPairOdds(const QuinellaOddsRecord& odds,
                  BetType bet,
                  int n,
                  std::span<float, kMaxPairs> actual,
                  std::span<double, kMaxPairs> forBlend)
{
    std::size_t k = 0;
    for (int a = 1; a < n; ++a) {
        for (int b = a + 1; b <= n; ++b, ++k) {
            actual[k] = pairActualOdds(odds.pair(a, b), bet);
            forBlend[k] = oddsOrNone(actual[k]).value_or(0.0F);
        }
    }
}

} // namespace

void blendPairChances(const HorseTable& table,
                      const QuinellaOddsRecord& odds,
                      BetType bet,
                      const ModelSettings& settings,
                      const OrderingModel& model,
                      std::span<double, kMaxPairs> chances)
{
    std::array<float, kMaxPairs> actual{};
    std::array<double, kMaxPairs> pairOdds{};
    readPairOdds(odds, bet, table.getHorseCount(), actual, pairOdds);
    blendFromOdds(table, pairOdds, bet, settings, model, chances);
}

std::vector<PairRow> judgePairs(const HorseTable& table,
                                const QuinellaOddsRecord& odds,
                                BetType bet,
                                const JudgeSettings& settings)
{
    std::vector<PairRow> rows;
    judgePairs(table, odds, bet, settings, rows);
    return rows;
}

void judgePairs(const HorseTable& table,
                const QuinellaOddsRecord& odds,
                BetType bet,
                const JudgeSettings& settings,
                std::vector<PairRow>& rows)
{
    const int n = table.getHorseCount();
    const bool quinella = bet == BetType::Quinella;
    const double payback = settings.model.payback;
    const double constant = quinella ? payback : payback / 3.0;
    const HorseColumn theoryRatio = quinella ? HorseColumn::WinRatio : HorseColumn::PlaceRatio;

    // What each horse contributes, read once from the shown texts.
    struct Horse
    {
        bool scratched = false;
        double theoryRatio = kNone;
        float winRatio = kNone;
        float placeRatio = kNone;
    };
    std::array<Horse, kMaxRunners + 1> horses{};
    for (int h = 1; h <= n; ++h) {
        auto& horse = horses[static_cast<std::size_t>(h)];
        horse.scratched = table.isScratched(h);
        horse.theoryRatio = table.cell(theoryRatio, h).shownNumber().value_or(kNone);
        horse.winRatio = ratioOf(table, HorseColumn::WinRatio, h);
        horse.placeRatio = ratioOf(table, HorseColumn::PlaceRatio, h);
    }

    // The discounted model takes both bet types from the win chances; the blend starts from it.
    std::optional<OrderingModel> model;
    const bool blend = settings.model.kind == TheoryModel::Blend;
    if (settings.model.kind == TheoryModel::Discounted || blend) {
        std::array<double, kMaxRunners + 1> winOdds{};
        for (int h = 1; h <= n; ++h) {
            winOdds[static_cast<std::size_t>(h)] = table.winOdds(h);
        }
        const auto chances = winChances(winOdds);
        model.emplace(std::span(chances).first(static_cast<std::size_t>(n) + 1),
                      settings.model.lambda,
                      settings.model.tau);
    }
    // The blend's chance of each pair in pair order (NaN for one that takes no part), from the
    // actual odds read once for both.
    std::array<double, kMaxPairs> blendChance{};
    std::array<float, kMaxPairs> actualAt{};
    if (blend) {
        std::array<double, kMaxPairs> pairOdds{};
        readPairOdds(odds, bet, n, actualAt, pairOdds);
        blendFromOdds(table, pairOdds, bet, settings.model, *model, blendChance);
    }
    const auto chanceValue = [payback](double chance) {
        const auto t = static_cast<float>(payback / chance);
        return chance > 0.0 && std::isfinite(t) ? t : kNone;
    };
    const auto modelValue = [&](int a, int b) {
        return chanceValue(quinella ? model->firstTwo(a, b) : model->firstThree(a, b));
    };

    const auto& marks = settings.marks;
    const Rules rules(settings);
    const auto colourOf = [](const std::optional<qint32>& setting) -> QRgb {
        return setting ? colourFromSetting(*setting).rgba() : 0;
    };
    const QRgb plusColour = colourOf(settings.plusColour);
    const QRgb minusColour = colourOf(settings.minusColour);

    rows.clear();
    rows.reserve(static_cast<std::size_t>(std::max(0, n * (n - 1) / 2)));
    for (int a = 1; a < n; ++a) {
        const Horse& ha = horses[static_cast<std::size_t>(a)];
        for (int b = a + 1; b <= n; ++b) {
            const Horse& hb = horses[static_cast<std::size_t>(b)];
            // Values that cannot be computed are kNone (never a result: every value is finite
            // or, for a deviation, at most infinite).
            const float t = ha.scratched || hb.scratched ? kMissingValue
                            : blend                      ? chanceValue(blendChance[rows.size()])
                            : model                      ? modelValue(a, b)
                                    : theoreticalValue(ha.theoryRatio, hb.theoryRatio, constant);
            const float actual
                = blend ? actualAt[rows.size()] : pairActualOdds(odds.pair(a, b), bet);
            const bool hasT = !std::isnan(t);
            const bool hasActual = !std::isnan(actual);
            const bool hasD = hasT && hasActual;
            const float d = hasD ? (actual - t) * 100.0F / actual : kNone;
            Cell support;
            if (hasActual) {
                const double implied = quinella ? 0.75 / actual : 0.75 / actual / 3.0;
                support = Cell::number(implied, CellForm::Fixed3);
            }

            const QString* mark = nullptr;
            quint8 matched = 0;
            if (hasD
                && rules.judged(
                    t, actual, d, ha.winRatio, hb.winRatio, ha.placeRatio, hb.placeRatio)) {
                if (const auto level = rules.levelFor(d)) {
                    mark = marks[*level];
                    matched = static_cast<quint8>(*level + 1);
                }
            }
            const bool coloured = mark != nullptr && !mark->trimmed().isEmpty() && d != 0.0F;
            // Built whole: a row cleared first and then filled costs a block clear per pair.
            rows.push_back(PairRow{{Cell::pairLabel(a, b),
                                    hasT ? Cell::number(t, CellForm::Fixed1) : Cell(),
                                    hasActual ? Cell::number(actual, CellForm::Fixed1) : Cell(),
                                    hasD ? Cell::number(d, CellForm::Signed1) : Cell(),
                                    support,
                                    mark != nullptr ? Cell::lastingText(*mark) : Cell(),
                                    Cell(),
                                    Cell()},
                                   0,
                                   coloured ? (d > 0.0F ? plusColour : minusColour) : 0,
                                   !coloured,
                                   matched});
        }
    }
    rankByActualOdds(rows);
}

void writePopularityDifference(PairList& quinella, PairList& wide)
{
    const auto isScratchedRank = [](const Cell& rank) {
        return rank.textValue() == kScratched;
    };
    std::vector<PairRow>& q = quinella.rows();
    std::vector<PairRow>& w = wide.rows();
    const std::size_t rows = std::min(q.size(), w.size());
    for (std::size_t r = 0; r < rows; ++r) {
        const Cell& wideRank = w[r][PopularityColumn];
        const Cell& quinellaRank = q[r][PopularityColumn];
        Cell difference;
        if (isScratchedRank(wideRank)) {
            difference = Cell::integer(0);
        } else if (!wideRank.showsNothing() && !quinellaRank.showsNothing()
                   && !isScratchedRank(quinellaRank)) {
            difference = Cell::integer(quinellaRank.shownInteger() - wideRank.shownInteger());
        }
        q[r][DifferenceColumn] = difference;
        w[r][DifferenceColumn] = difference;
    }
}
