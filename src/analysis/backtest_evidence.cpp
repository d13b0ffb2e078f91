// SPDX-License-Identifier: MIT
#include "backtest_evidence.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

#include <QtConcurrent>

#include "analysis/market_spread.h"
#include "analysis/resampling.h"

namespace {

__extension__ using Int128 = __int128;

// A return rate as its exact fraction.
struct Rate
{
    qint64 returns = 0;
    qint64 stake = 0;
    bool operator<(const Rate& other) const
    {
        return static_cast<Int128>(returns) * other.stake
               < static_cast<Int128>(other.returns) * stake;
    }
};

// What a resample sums, one block per unit: counts as singles (a resample's counts stay below
// 2^24, exact in a single), yen as doubles (exact below 2^53), in vector lanes.
__extension__ typedef float SingleQuad __attribute__((vector_size(16)));
__extension__ typedef double DoublePair __attribute__((vector_size(16)));

constexpr int kGroupLanes = 16;
// Singles: the groups' bets, the bins' bets, then every group's bets in every bin.
constexpr int kBinCountAt = kGroupLanes;
constexpr int kGroupBinAt = kBinCountAt + kOddsBins;
constexpr int kSingles = kGroupBinAt + kBacktestGroups * kOddsBins + 4; // to whole quads
constexpr int kQuads = kSingles / 4;
// Doubles: the groups' returns, then the bins' returns.
constexpr int kBinReturnsAt = kGroupLanes;
constexpr int kDoubles = kBinReturnsAt + kOddsBins;
constexpr int kPairs = kDoubles / 2;
static_assert(kSingles % 4 == 0 && kDoubles % 2 == 0);

struct UnitBlock
{
    std::array<SingleQuad, kQuads> counts{};
    std::array<DoublePair, kPairs> yen{};

    void addCount(int at, float value)
    {
        counts[static_cast<std::size_t>(at / 4)][at % 4] += value;
    }
    void addAmount(int at, double value) { yen[static_cast<std::size_t>(at / 2)][at % 2] += value; }
    float count(int at) const { return counts[static_cast<std::size_t>(at / 4)][at % 4]; }
    double amount(int at) const { return yen[static_cast<std::size_t>(at / 2)][at % 2]; }
};

// One group of one bet type in one resample.
struct Drawn
{
    Rate rate;
    double excess = 0; // percentage points
};

qint64 tenthsOf(double percent)
{
    return std::llround(percent * 10);
}

double percentOf(qint64 returns, qint64 stake)
{
    return stake > 0 ? 100.0 * static_cast<double>(returns) / static_cast<double>(stake) : 0.0;
}

// Hansen (2005), consistent version: the largest studentised excess against the bootstrap of
// that maximum, each group's resamples centred at 0, except those far below 0 (they cannot be
// the best and would only make the test timid). A group's excess is studentised by the larger of
// its bootstrap spread and `least`, the market's: few long-odds hits make the first too small.
SpaResult spaTest(const std::vector<std::pair<int, int>>& tested,
                  const std::vector<std::array<std::array<Drawn, kBacktestGroups>, 2>>& drawn,
                  const std::array<std::array<double, kBacktestGroups>, 2>& excessOf,
                  const std::array<std::array<double, kBacktestGroups>, 2>& least,
                  quint32 units)
{
    struct Studied
    {
        std::size_t bet;
        std::size_t group;
        double excess;
        double spread;
        double centre;
    };
    SpaResult result;
    const double threshold = units > 15 ? std::sqrt(2 * std::log(std::log(double(units)))) : 0;
    const auto k = static_cast<double>(drawn.size());
    std::vector<Studied> studied;
    double observed = 0;
    for (const auto& [bet, group] : tested) {
        const auto b = static_cast<std::size_t>(bet);
        const auto g = static_cast<std::size_t>(group);
        double sum = 0;
        double squares = 0;
        for (const auto& sample : drawn) {
            sum += sample[b][g].excess;
            squares += sample[b][g].excess * sample[b][g].excess;
        }
        const double spread = std::sqrt(std::max(0.0, squares / k - (sum / k) * (sum / k)));
        if (!(spread > 1e-12)) {
            continue; // the whole season's group: its excess is 0 in every resample
        }
        // The resamples' deviations keep their own scale; the observed excess and the centre
        // are judged against the wider spread.
        const double t = excessOf[b][g] / std::max(spread, least[b][g]);
        if (studied.empty() || t > observed) {
            observed = t;
            result.bestBet = bet;
            result.bestGroup = group;
        }
        studied.push_back({b, g, excessOf[b][g], spread, t <= -threshold ? t * spread : 0.0});
    }
    result.groups = static_cast<int>(studied.size());
    if (studied.empty()) {
        return result;
    }
    observed = std::max(observed, 0.0);
    qint64 atLeast = 0;
    for (const auto& sample : drawn) {
        double largest = 0;
        for (const Studied& s : studied) {
            largest = std::max(largest,
                               (sample[s.bet][s.group].excess - s.excess + s.centre) / s.spread);
        }
        atLeast += largest >= observed ? 1 : 0;
    }
    result.pValue = static_cast<double>(atLeast) / k;
    return result;
}

} // namespace

OddsBins OddsBins::of(const std::vector<RaceBets>& races)
{
    OddsBins bins;
    // Odds are shown in tenths: a count per tenth below 10,000.0 orders a season's million bets
    // in one pass; the rare higher odds are sorted.
    constexpr qint64 kCounted = 100000;
    std::vector<quint32> counts(kCounted, 0);
    std::vector<double> higher;
    std::size_t total = 0;
    for (const RaceBets& race : races) {
        for (const BetRecord& bet : race) {
            const qint64 tenths = std::llround(double(bet.odds) * 10);
            if (tenths < kCounted) {
                ++counts[static_cast<std::size_t>(std::max<qint64>(tenths, 0))];
            } else {
                higher.push_back(bet.odds);
            }
            ++total;
        }
    }
    if (total == 0) {
        return bins;
    }
    std::sort(higher.begin(), higher.end());
    // The order statistics, asked in rising order.
    std::size_t tenth = 0;
    std::size_t below = 0; // bets under `tenth`
    const auto statistic = [&](std::size_t at) {
        while (tenth < counts.size() && below + counts[tenth] <= at) {
            below += counts[tenth];
            ++tenth;
        }
        return std::log(tenth < counts.size() ? static_cast<double>(tenth) / 10
                                              : higher[at - below]);
    };
    const auto n = static_cast<double>(total);
    for (int k = 1; k < kOddsBins; ++k) {
        // Quantiles of the log odds, interpolated between neighbouring order statistics.
        const double at = (n - 1) * k / kOddsBins;
        const auto low = static_cast<std::size_t>(std::floor(at));
        const std::size_t high = std::min(low + 1, total - 1);
        const double lowLog = statistic(low);
        const double highLog = statistic(high);
        // Kept as odds: a bet's bin is then found without its logarithm.
        bins.m_edges[static_cast<std::size_t>(k - 1)]
            = std::exp(lowLog + (highLog - lowLog) * (at - static_cast<double>(low)));
    }
    std::array<double, kOddsBins> sums{};
    std::array<qint64, kOddsBins> inBin{};
    for (const RaceBets& race : races) {
        for (const BetRecord& bet : race) {
            const auto b = static_cast<std::size_t>(bins.binOf(bet.odds));
            sums[b] += bet.payout;
            ++inBin[b];
        }
    }
    for (std::size_t b = 0; b < sums.size(); ++b) {
        bins.m_mean[b] = inBin[b] > 0 ? sums[b] / static_cast<double>(inBin[b]) : 0.0;
    }
    return bins;
}

int OddsBins::binOf(double odds) const
{
    // Ties at an edge go to the lower bin, so equal odds always share a bin.
    return static_cast<int>(std::lower_bound(m_edges.begin(), m_edges.end(), odds)
                            - m_edges.begin());
}

std::optional<qint64> betsNeeded(qint64 bets, double sumPayouts, double sumSquaredPayouts)
{
    if (bets < 2) {
        return std::nullopt;
    }
    const auto n = static_cast<double>(bets);
    const double variance
        = std::max(0.0, (sumSquaredPayouts - sumPayouts * sumPayouts / n) / (n - 1));
    // Payouts for 100 yen are percentages already: half-width 1.96·s/√n = 10 points.
    const double needed = 1.96 * 1.96 * variance / 100.0;
    return static_cast<qint64>(std::ceil(needed - 1e-9));
}

SeasonSummary
summariseSeason(const std::array<BetTypeSeason, 2>& season, quint32 units, int resamples)
{
    SeasonSummary summary;
    summary.units = units;
    std::array<std::array<double, kBacktestGroups>, 2> excessOf{};
    std::array<std::vector<UnitBlock>, 2> blocks;
    std::array<std::optional<std::array<MarketSpread, kBacktestGroups>>, 2> market;
    // The two bet types at once: each reads its own million bets.
    const std::array<std::size_t, 2> types = {0, 1};
    QtConcurrent::blockingMap(types, [&](std::size_t b) {
        const BetTypeSeason& type = season[b];
        const BetType bet = b == 0 ? BetType::Quinella : BetType::Wide;
        const int groups = backtestGroupCount(bet);
        auto& lines = summary.lines[b];
        lines.assign(static_cast<std::size_t>(groups), GroupSummary{});
        for (int g = 0; g < groups; ++g) {
            GroupSummary& line = lines[static_cast<std::size_t>(g)];
            line.races = static_cast<qint64>(type.tallies.size());
            qint64 profit = 0;
            qint64 peak = 0;
            for (const RaceTally& race : type.tallies) {
                const GroupTally& tally = race[static_cast<std::size_t>(g)];
                line.bets += tally.bets;
                line.hits += tally.hits;
                line.returns += tally.returns;
                profit += tally.returns - qint64{100} * tally.bets;
                peak = std::max(peak, profit);
                line.maxDrawdown = std::max(line.maxDrawdown, peak - profit);
            }
            line.stake = qint64{100} * line.bets;
            if (line.bets > 0) {
                line.hitRate = percentTenths(line.hits, line.bets);
                line.returnRate = percentTenths(line.returns, line.stake);
            }
        }

        // The baseline from the bets' own odds bins.
        const bool withBets = !type.bets.empty();
        const OddsBins& bins = summary.bins[b] = OddsBins::of(type.bets);
        std::array<double, kBacktestGroups> baseline{};
        std::array<double, kBacktestGroups> sum{};
        std::array<double, kBacktestGroups> squares{};
        std::array<qint64, kBacktestGroups> count{};
        blocks[b].assign(units, UnitBlock{});
        for (std::size_t r = 0; r < type.tallies.size(); ++r) {
            UnitBlock& block = blocks[b][type.unitOf[r]];
            for (int g = 0; g < groups; ++g) {
                const GroupTally& tally = type.tallies[r][static_cast<std::size_t>(g)];
                block.addCount(g, static_cast<float>(tally.bets));
                block.addAmount(g, static_cast<double>(tally.returns));
            }
            if (!withBets) {
                continue;
            }
            for (const BetRecord& record : type.bets[r]) {
                const int bin = bins.binOf(record.odds);
                block.addCount(kBinCountAt + bin, 1);
                block.addAmount(kBinReturnsAt + bin, record.payout);
                for (unsigned mask = record.groups; mask != 0; mask &= mask - 1) {
                    const int g = std::countr_zero(mask);
                    const auto gi = static_cast<std::size_t>(g);
                    block.addCount(kGroupBinAt + g * kOddsBins + bin, 1);
                    baseline[gi] += bins.meanOf(bin);
                    sum[gi] += record.payout;
                    squares[gi] += double(record.payout) * record.payout;
                    ++count[gi];
                }
            }
        }
        for (int g = 0; g < groups && withBets; ++g) {
            GroupSummary& line = lines[static_cast<std::size_t>(g)];
            const auto gi = static_cast<std::size_t>(g);
            if (line.bets == 0 || count[gi] == 0) {
                continue;
            }
            const auto bets = static_cast<double>(count[gi]);
            line.baselineRate = tenthsOf(baseline[gi] / bets);
            excessOf[b][gi] = (sum[gi] - baseline[gi]) / bets;
            line.excess = tenthsOf(excessOf[b][gi]);
            line.betsNeeded = betsNeeded(count[gi], sum[gi], squares[gi]);
        }
        if (withBets) {
            market[b] = marketSpreadOf(type.bets, bet, bins);
        }
    });
    if (units == 0 || resamples <= 0) {
        return summary;
    }

    // Each resample has its own seed, so the result does not depend on how the work is shared
    // among the threads.
    std::vector<std::array<std::array<Drawn, kBacktestGroups>, 2>> drawn(
        static_cast<std::size_t>(resamples));
    std::vector<int> indices(static_cast<std::size_t>(resamples));
    std::iota(indices.begin(), indices.end(), 0);
    QtConcurrent::blockingMap(indices, [&](int k) {
        Resampler random(kBootstrapSeed ^ (static_cast<quint64>(k) * 0xD1B5'4A32'D192'ED03ULL));
        std::vector<quint32> counts(units, 0);
        for (quint32 i = 0; i < units; ++i) {
            ++counts[random.below(units)];
        }
        for (std::size_t b = 0; b < 2; ++b) {
            UnitBlock total;
            for (quint32 u = 0; u < units; ++u) {
                if (counts[u] == 0) {
                    continue;
                }
                const auto c = static_cast<float>(counts[u]);
                const SingleQuad cq = {c, c, c, c};
                const DoublePair cp = {c, c};
                const UnitBlock& block = blocks[b][u];
                for (std::size_t q = 0; q < kQuads; ++q) {
                    total.counts[q] += cq * block.counts[q];
                }
                for (std::size_t p = 0; p < kPairs; ++p) {
                    total.yen[p] += cp * block.yen[p];
                }
            }
            auto& out = drawn[static_cast<std::size_t>(k)][b];
            for (int g = 0; g < kBacktestGroups; ++g) {
                const float bets = total.count(g);
                out[static_cast<std::size_t>(g)].rate
                    = Rate{static_cast<qint64>(total.amount(g)), 100 * static_cast<qint64>(bets)};
                double base = 0;
                double betsInBins = 0;
                for (int bin = 0; bin < kOddsBins; ++bin) {
                    const float inBin = total.count(kGroupBinAt + g * kOddsBins + bin);
                    if (inBin > 0) {
                        base += inBin * total.amount(kBinReturnsAt + bin)
                                / total.count(kBinCountAt + bin);
                        betsInBins += inBin;
                    }
                }
                out[static_cast<std::size_t>(g)].excess
                    = betsInBins > 0 ? (total.amount(g) - base) / betsInBins : 0.0;
            }
        }
    });

    std::vector<std::pair<int, int>> tested;
    std::vector<Rate> rates;
    std::vector<double> excesses;
    for (std::size_t b = 0; b < 2; ++b) {
        for (std::size_t g = 0; g < summary.lines[b].size(); ++g) {
            GroupSummary& line = summary.lines[b][g];
            rates.clear();
            excesses.clear();
            for (const auto& sample : drawn) {
                if (sample[b][g].rate.stake > 0) {
                    rates.push_back(sample[b][g].rate);
                    excesses.push_back(sample[b][g].excess);
                }
            }
            if (rates.empty()) {
                continue;
            }
            std::sort(rates.begin(), rates.end());
            const auto rateAt = [](const Rate& rate) {
                return percentTenths(rate.returns, rate.stake);
            };
            line.returnRateLower = rateAt(nearestRank(rates, 25));
            line.returnRateUpper = rateAt(nearestRank(rates, 975));
            // Widened to what the market's chances say the rate could have been.
            const MarketSpread* spread = market[b] ? &(*market[b])[g] : nullptr;
            const auto rate = percentOf(line.returns, line.stake);
            if (const auto score
                = spread ? scoreInterval(rate, *spread, marketZ(line.hits)) : std::nullopt) {
                line.returnRateLower = std::min(*line.returnRateLower, tenthsOf(score->first));
                line.returnRateUpper = std::max(*line.returnRateUpper, tenthsOf(score->second));
            }
            if (!line.excess || line.hits < kMinHitsForEvidence) {
                continue;
            }
            std::sort(excesses.begin(), excesses.end());
            line.excessLower = tenthsOf(nearestRank(excesses, 25));
            line.excessUpper = tenthsOf(nearestRank(excesses, 975));
            if (spread) {
                const double half = kZ95 * std::sqrt(spread->excessVar);
                line.excessLower = std::min(*line.excessLower, tenthsOf(excessOf[b][g] - half));
                line.excessUpper = std::max(*line.excessUpper, tenthsOf(excessOf[b][g] + half));
            }
            tested.emplace_back(static_cast<int>(b), static_cast<int>(g));
        }
    }
    std::array<std::array<double, kBacktestGroups>, 2> least{};
    for (std::size_t b = 0; b < 2; ++b) {
        for (std::size_t g = 0; g < kBacktestGroups && market[b]; ++g) {
            least[b][g] = std::sqrt((*market[b])[g].excessVar);
        }
    }
    summary.spa = spaTest(tested, drawn, excessOf, least, units);
    return summary;
}

std::vector<GroupSummary>
summariseBacktest(const std::vector<RaceTally>& races, BetType bet, int resamples)
{
    std::array<BetTypeSeason, 2> season;
    BetTypeSeason& type = season[betIndex(bet)];
    type.tallies = races;
    type.unitOf.resize(races.size());
    std::iota(type.unitOf.begin(), type.unitOf.end(), 0U);
    return summariseSeason(season, static_cast<quint32>(races.size()), resamples)
        .lines[betIndex(bet)];
}

std::vector<LookaheadLine> lookaheadOf(const std::vector<RaceTally>& early,
                                       const std::vector<RaceTally>& onFiles,
                                       const std::vector<quint32>& unitOf,
                                       quint32 units,
                                       int groups,
                                       const std::array<double, kBacktestGroups>* variance,
                                       int resamples)
{
    const auto g = static_cast<std::size_t>(groups);
    // Per unit and group: the stakes and returns on the files, then at the earlier odds.
    constexpr std::size_t kSums = 4;
    std::vector<std::vector<double>> sums(units, std::vector<double>(g * kSums, 0.0));
    std::vector<qint64> filesHits(g, 0); // the fewer of the two judgements' hits sets the z
    std::vector<qint64> earlyHits(g, 0);
    for (std::size_t r = 0; r < early.size(); ++r) {
        std::vector<double>& unit = sums[unitOf[r]];
        for (std::size_t k = 0; k < g; ++k) {
            filesHits[k] += onFiles[r][k].hits;
            earlyHits[k] += early[r][k].hits;
            unit[k * kSums] += 100.0 * onFiles[r][k].bets;
            unit[k * kSums + 1] += static_cast<double>(onFiles[r][k].returns);
            unit[k * kSums + 2] += 100.0 * early[r][k].bets;
            unit[k * kSums + 3] += static_cast<double>(early[r][k].returns);
        }
    }
    const auto difference = [](const double* s) -> std::optional<double> {
        if (s[0] <= 0 || s[2] <= 0) {
            return std::nullopt;
        }
        return 1000.0 * (s[1] / s[0] - s[3] / s[2]);
    };
    std::vector<std::vector<double>> draws(g);
    resampleUnitSums(sums, resamples, kBootstrapSeed, [&](const std::vector<double>& total) {
        for (std::size_t k = 0; k < g; ++k) {
            if (const auto d = difference(&total[k * kSums])) {
                draws[k].push_back(*d);
            }
        }
    });
    std::vector<double> all(g * kSums, 0.0);
    for (const auto& unit : sums) {
        for (std::size_t i = 0; i < all.size(); ++i) {
            all[i] += unit[i];
        }
    }
    std::vector<LookaheadLine> lines(g);
    for (std::size_t k = 0; k < g; ++k) {
        if (const auto d = difference(&all[k * kSums])) {
            lines[k].difference = qRound64(*d);
        }
        if (const auto interval = percentileInterval(std::move(draws[k]))) {
            lines[k].lower = qRound64(interval->first);
            lines[k].upper = qRound64(interval->second);
            if (variance != nullptr && lines[k].difference) {
                const double z = marketZ(std::min(filesHits[k], earlyHits[k]));
                const double half = 10 * z * std::sqrt((*variance)[k]);
                lines[k].lower
                    = std::min(*lines[k].lower, qRound64(*difference(&all[k * kSums]) - half));
                lines[k].upper
                    = std::max(*lines[k].upper, qRound64(*difference(&all[k * kSums]) + half));
            }
        }
    }
    return lines;
}
