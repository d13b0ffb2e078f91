// SPDX-License-Identifier: MIT
#include "backtest_stats.h"

#include <algorithm>
#include <numeric>

#include <QtConcurrent>

using namespace Qt::StringLiterals;

namespace {
// Products of two sums of yen need more than 64 bits in the worst case.
__extension__ using Int128 = __int128;
} // namespace

QString backtestGroupName(int group)
{
    static const std::array<QString, kBacktestGroups> names = {u"全"_s,
                                                               u"L1"_s,
                                                               u"L2"_s,
                                                               u"L3"_s,
                                                               u"L4"_s,
                                                               u"L5"_s,
                                                               u"無印"_s,
                                                               u"D<-50"_s,
                                                               u"-50<=D<-20"_s,
                                                               u"-20<=D<0"_s,
                                                               u"0<=D<20"_s,
                                                               u"20<=D<50"_s,
                                                               u"D>=50"_s,
                                                               u"推奨"_s};
    return names.at(static_cast<std::size_t>(group));
}

BacktestGroup deviationBand(qint64 tenths)
{
    if (tenths < -500) {
        return BacktestGroup::DeviationBelowMinus50;
    }
    if (tenths < -200) {
        return BacktestGroup::DeviationMinus50ToMinus20;
    }
    if (tenths < 0) {
        return BacktestGroup::DeviationMinus20To0;
    }
    if (tenths < 200) {
        return BacktestGroup::Deviation0To20;
    }
    if (tenths < 500) {
        return BacktestGroup::Deviation20To50;
    }
    return BacktestGroup::DeviationFrom50;
}

qint64 percentTenths(qint64 part, qint64 whole)
{
    // part × 1000 / whole, halves up (both are non-negative), without overflow.
    const Int128 scaled = static_cast<Int128>(part) * 2000 + whole;
    return static_cast<qint64>(scaled / (static_cast<Int128>(whole) * 2));
}

QString tenthsText(qint64 tenths)
{
    const qint64 size = tenths < 0 ? -tenths : tenths;
    return (tenths < 0 ? u"-"_s : QString()) + QString::number(size / 10) + u'.'
           + QString::number(size % 10);
}

std::vector<qint64> cumulativeProfit(const std::vector<RaceTally>& races, int group)
{
    std::vector<qint64> series;
    series.reserve(races.size());
    qint64 profit = 0;
    for (const RaceTally& race : races) {
        const GroupTally& tally = race[static_cast<std::size_t>(group)];
        profit += tally.returns - qint64{100} * tally.bets;
        series.push_back(profit);
    }
    return series;
}

namespace {

// splitmix64: a fixed seed gives the same resamples on every platform and library.
class Resampler
{
public:
    explicit Resampler(quint64 seed)
        : m_state(seed)
    {}

    quint64 next()
    {
        quint64 z = (m_state += 0x9E37'79B9'7F4A'7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EBULL;
        return z ^ (z >> 31);
    }

    // 32 random bits: each 64-bit draw serves twice.
    quint32 next32()
    {
        if (m_halfLeft) {
            m_halfLeft = false;
            return static_cast<quint32>(m_half);
        }
        m_half = next();
        m_halfLeft = true;
        return static_cast<quint32>(m_half >> 32);
    }

    // Uniform in [0, n), without the bias of a plain modulo (Lemire's method).
    quint32 below(quint32 n)
    {
        quint64 product = quint64{next32()} * n;
        auto low = static_cast<quint32>(product);
        if (low < n) {
            const quint32 threshold = (0U - n) % n;
            while (low < threshold) {
                product = quint64{next32()} * n;
                low = static_cast<quint32>(product);
            }
        }
        return static_cast<quint32>(product >> 32);
    }

private:
    quint64 m_state;
    quint64 m_half = 0;
    bool m_halfLeft = false;
};

constexpr quint64 kBootstrapSeed = 20261208;

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

// The per-race numbers a resample sums, in twelve registers: bets as singles (four lanes; a
// resample's bets of a group stay below 2^24, exact in a single) and returns as doubles (two
// lanes; sums of whole yen stay exact below 2^53). An array of sums would go through memory on
// every race.
__extension__ typedef float SingleQuad __attribute__((vector_size(16)));
__extension__ typedef double DoublePair __attribute__((vector_size(16)));
struct DenseRace
{
    std::array<SingleQuad, 4> bets{};
    std::array<DoublePair, 8> returns{};
};

} // namespace

std::vector<GroupSummary>
summariseBacktest(const std::vector<RaceTally>& races, BetType bet, int resamples)
{
    const int groups = backtestGroupCount(bet);
    std::vector<GroupSummary> lines(static_cast<std::size_t>(groups));
    std::vector<DenseRace> dense(races.size());
    for (std::size_t r = 0; r < races.size(); ++r) {
        for (std::size_t g = 0; g < static_cast<std::size_t>(groups); ++g) {
            dense[r].bets[g / 4][g % 4] = static_cast<float>(races[r][g].bets);
            dense[r].returns[g / 2][g % 2] = static_cast<double>(races[r][g].returns);
        }
    }
    for (int g = 0; g < groups; ++g) {
        GroupSummary& line = lines[static_cast<std::size_t>(g)];
        line.races = static_cast<qint64>(races.size());
        qint64 profit = 0;
        qint64 peak = 0;
        for (const RaceTally& race : races) {
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
    if (races.empty() || resamples <= 0) {
        return lines;
    }

    // Each resample has its own seed, so the result does not depend on how the work is shared
    // among the threads.
    const auto m = static_cast<quint32>(races.size());
    std::vector<std::array<Rate, kBacktestGroups>> drawn(static_cast<std::size_t>(resamples));
    std::vector<int> indices(static_cast<std::size_t>(resamples));
    std::iota(indices.begin(), indices.end(), 0);
    QtConcurrent::blockingMap(indices, [&](int k) {
        Resampler random(kBootstrapSeed ^ (static_cast<quint64>(k) * 0xD1B5'4A32'D192'ED03ULL));
        std::vector<quint32> counts(m, 0);
        for (quint32 i = 0; i < m; ++i) {
            ++counts[random.below(m)];
        }
        SingleQuad b0{}, b1{}, b2{}, b3{};
        DoublePair s0{}, s1{}, s2{}, s3{}, s4{}, s5{}, s6{}, s7{};
        for (quint32 r = 0; r < m; ++r) {
            if (counts[r] == 0) {
                continue;
            }
            const auto c = static_cast<float>(counts[r]);
            const SingleQuad cq = {c, c, c, c};
            const DoublePair cp = {c, c};
            const DenseRace& race = dense[r];
            b0 += cq * race.bets[0];
            b1 += cq * race.bets[1];
            b2 += cq * race.bets[2];
            b3 += cq * race.bets[3];
            s0 += cp * race.returns[0];
            s1 += cp * race.returns[1];
            s2 += cp * race.returns[2];
            s3 += cp * race.returns[3];
            s4 += cp * race.returns[4];
            s5 += cp * race.returns[5];
            s6 += cp * race.returns[6];
            s7 += cp * race.returns[7];
        }
        const std::array<SingleQuad, 4> bets = {b0, b1, b2, b3};
        const std::array<DoublePair, 8> returns = {s0, s1, s2, s3, s4, s5, s6, s7};
        auto& out = drawn[static_cast<std::size_t>(k)];
        for (std::size_t g = 0; g < kBacktestGroups; ++g) {
            out[g] = Rate{static_cast<qint64>(returns[g / 2][g % 2]),
                          100 * static_cast<qint64>(bets[g / 4][g % 4])};
        }
    });

    std::vector<Rate> rates;
    rates.reserve(static_cast<std::size_t>(resamples));
    for (int g = 0; g < groups; ++g) {
        rates.clear();
        for (const auto& sample : drawn) {
            if (sample[static_cast<std::size_t>(g)].stake > 0) {
                rates.push_back(sample[static_cast<std::size_t>(g)]);
            }
        }
        if (rates.empty()) {
            continue;
        }
        std::sort(rates.begin(), rates.end());
        // Nearest rank: the smallest value with at least P% of the values at or below it.
        const auto n = static_cast<qint64>(rates.size());
        const auto at = [&rates](qint64 rank) {
            const Rate& rate = rates[static_cast<std::size_t>(std::max<qint64>(rank, 1) - 1)];
            return percentTenths(rate.returns, rate.stake);
        };
        GroupSummary& line = lines[static_cast<std::size_t>(g)];
        line.returnRateLower = at((25 * n + 999) / 1000);
        line.returnRateUpper = at((975 * n + 999) / 1000);
    }
    return lines;
}
