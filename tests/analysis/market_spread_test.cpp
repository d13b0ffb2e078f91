// SPDX-License-Identifier: MIT
// The spread under the market's chances against an enumeration of every finish of two small
// quinella races and of a four-runner wide race, and the score interval against a hand
// computation.
#include <cmath>
#include <gtest/gtest.h>
#include <map>

#include "analysis/market_spread.h"

namespace {

// The first two moments of a group's rate and excess over an enumeration's outcomes.
struct Moments
{
    double rateSum = 0, rateSquares = 0, excessSum = 0, excessSquares = 0;
    void add(double weight, double sum, double base, double n)
    {
        rateSum += weight * sum / n;
        rateSquares += weight * (sum / n) * (sum / n);
        excessSum += weight * (sum - base) / n;
        excessSquares += weight * ((sum - base) / n) * ((sum - base) / n);
    }
    double rateVar() const { return rateSquares - rateSum * rateSum; }
    double excessVar() const { return excessSquares - excessSum * excessSum; }
};

BetRecord record(float odds, qint32 payout, quint16 groups)
{
    return BetRecord{odds, payout, groups, 1, 2};
}

} // namespace

TEST(MarketSpread, MatchesEveryFinishOfTwoQuinellaRaces)
{
    // Group 0 holds every bet, group 1 two of them (one sharing its odds bin with bets outside
    // the group); the first pair of each race came in.
    const std::vector<RaceBets> races
        = {{record(2.0F, 200, 1), record(3.0F, 0, 3), record(8.0F, 0, 1)},
           {record(3.0F, 300, 1), record(3.0F, 0, 1), record(6.0F, 0, 3)}};
    const OddsBins bins = OddsBins::of(races);
    const auto spread = marketSpreadOf(races, BetType::Quinella, bins);
    ASSERT_TRUE(spread.has_value());

    const double mean = 500.0 / 6.0;
    const double s1 = 0.5 + 1.0 / 3.0 + 0.125;
    const std::vector<std::vector<double>> chance
        = {{0.5 / s1, 1.0 / 3.0 / s1, 0.125 / s1}, {0.4, 0.4, 0.2}};
    std::array<Moments, 2> moments;
    for (int first = 0; first < 3; ++first) {
        for (int second = 0; second < 3; ++second) {
            const double weight = chance[0][first] * chance[1][second];
            // Each bet pays the mean over its chance when it comes in.
            std::vector<std::pair<const BetRecord*, double>> paid;
            for (int r = 0; r < 2; ++r) {
                for (int b = 0; b < 3; ++b) {
                    const int winner = r == 0 ? first : second;
                    paid.emplace_back(&races[r][b], b == winner ? mean / chance[r][b] : 0.0);
                }
            }
            std::array<double, kOddsBins> binSum{}, binCount{};
            for (const auto& [bet, x] : paid) {
                binSum[bins.binOf(bet->odds)] += x;
                ++binCount[bins.binOf(bet->odds)];
            }
            for (int g = 0; g < 2; ++g) {
                double sum = 0, base = 0, n = 0;
                for (const auto& [bet, x] : paid) {
                    if ((bet->groups & (1U << g)) != 0) {
                        const int k = bins.binOf(bet->odds);
                        sum += x;
                        base += binSum[k] / binCount[k];
                        ++n;
                    }
                }
                moments[g].add(weight, sum, base, n);
            }
        }
    }
    for (int g = 0; g < 2; ++g) {
        const MarketSpread& s = (*spread)[g];
        EXPECT_NEAR(s.mean, mean, 1e-9);
        EXPECT_NEAR(moments[g].rateSum, mean, 1e-9);
        EXPECT_NEAR(s.linear - s.square, moments[g].rateVar(), 1e-6) << g;
        EXPECT_NEAR(s.excessVar, moments[g].excessVar(), 1e-6) << g;
    }
    EXPECT_GT((*spread)[1].excessVar, 1.0); // the group differs from its bins: not trivially 0

    // A season without a payout has no scale.
    EXPECT_FALSE(marketSpreadOf({{record(2.0F, 0, 1)}}, BetType::Quinella, bins).has_value());
}

TEST(MarketSpread, ScoreIntervalOfAPoissonCount)
{
    // A count of rare hits with mean θ: three seen. By hand, (3 − θ)² = 1.96²·θ gives
    // θ = (6 + z² ∓ √((6 + z²)² − 36)) / 2.
    MarketSpread spread;
    spread.mean = 1;
    spread.linear = 1;
    const auto interval = scoreInterval(3.0, spread);
    ASSERT_TRUE(interval.has_value());
    const double z2 = 1.959964 * 1.959964;
    const double root = std::sqrt((6 + z2) * (6 + z2) - 36);
    EXPECT_NEAR(interval->first, (6 + z2 - root) / 2, 1e-9);
    EXPECT_NEAR(interval->second, (6 + z2 + root) / 2, 1e-9);
    // None seen: from 0 up to z².
    const auto none = scoreInterval(0.0, spread);
    ASSERT_TRUE(none.has_value());
    EXPECT_NEAR(none->first, 0.0, 1e-12);
    EXPECT_NEAR(none->second, z2, 1e-9);
    // Far above what the market pays, where the variance with B would turn negative: still an
    // interval around the rate.
    spread.square = 0.5;
    const auto far = scoreInterval(10.0, spread);
    ASSERT_TRUE(far.has_value());
    EXPECT_LT(far->first, 10.0);
    EXPECT_GT(far->second, 10.0);
}

TEST(MarketSpread, LookaheadVarianceMatchesEveryFinish)
{
    // The same two races judged twice: on the files pairs 1-2 and 1-3 of the first race are in
    // group 1, at the earlier odds 1-3 and 2-3 (listed in another order); the second race's 1-2
    // is in group 1 both ways. Group 0 holds every pair both ways: its difference cannot vary.
    const auto pair = [](int a, int b, float odds, quint16 groups) {
        return BetRecord{odds, a == 1 && b == 2 ? 200 : 0, groups, quint8(a), quint8(b)};
    };
    const std::vector<RaceBets> onFiles
        = {{pair(1, 2, 2.0F, 3), pair(1, 3, 4.0F, 3), pair(2, 3, 8.0F, 1)},
           {pair(1, 2, 3.0F, 3), pair(1, 3, 3.0F, 1), pair(2, 3, 6.0F, 1)}};
    const std::vector<RaceBets> early
        = {{pair(2, 3, 7.0F, 3), pair(1, 3, 5.0F, 3), pair(1, 2, 2.0F, 1)},
           {pair(2, 3, 6.0F, 1), pair(1, 3, 3.0F, 1), pair(1, 2, 3.0F, 3)}};
    const auto variance = lookaheadVarianceOf(onFiles, early, BetType::Quinella);

    const double mean = 400.0 / 6.0;
    const std::vector<std::vector<double>> chance
        = {{0.5 / 0.875, 0.25 / 0.875, 0.125 / 0.875}, {0.4, 0.4, 0.2}};
    // Files' group 1: race 1 pairs 0, 1 and race 2 pair 0; early: race 1 pairs 1, 2, race 2 pair 0.
    const std::vector<std::vector<int>> inFiles = {{1, 1, 0}, {1, 0, 0}};
    const std::vector<std::vector<int>> inEarly = {{0, 1, 1}, {1, 0, 0}};
    double sum = 0;
    double squares = 0;
    for (int first = 0; first < 3; ++first) {
        for (int second = 0; second < 3; ++second) {
            double d = 0;
            for (int r = 0; r < 2; ++r) {
                const int winner = r == 0 ? first : second;
                const double x = mean / chance[r][winner];
                d += x * (inFiles[r][winner] / 3.0 - inEarly[r][winner] / 3.0);
            }
            const double weight = chance[0][first] * chance[1][second];
            sum += weight * d;
            squares += weight * d * d;
        }
    }
    EXPECT_NEAR(variance[1], squares - sum * sum, 1e-6);
    EXPECT_GT(variance[1], 1.0);
    EXPECT_NEAR(variance[0], 0.0, 1e-9);
}

TEST(MarketSpread, WidePairsOfARaceMatchEveryTopThree)
{
    // Four runners: the top three are all but the one that finishes fourth, horse h with chance
    // e_h, so pair a-b is paid with chance 1 − e_a − e_b. Pairs sharing a horse are paid
    // together, pairs without one never: the variance must see both.
    const std::array<double, 4> fourth = {0.1, 0.2, 0.3, 0.4};
    std::vector<std::pair<int, int>> pairs;
    RaceBets race;
    // Group 0 every pair; 1 three pairs with horse 1; 2 two pairs without a common horse.
    const std::map<std::pair<int, int>, quint16> groups
        = {{{1, 2}, 7}, {{1, 3}, 3}, {{1, 4}, 3}, {{2, 3}, 1}, {{2, 4}, 1}, {{3, 4}, 5}};
    for (const auto& [pair, inGroups] : groups) {
        const double chance = 1 - fourth[pair.first - 1] - fourth[pair.second - 1];
        const bool paid = pair.first != 4 && pair.second != 4; // 4 came fourth
        race.push_back(BetRecord{static_cast<float>(1 / chance),
                                 paid ? 100 + 10 * pair.second : 0,
                                 inGroups,
                                 quint8(pair.first),
                                 quint8(pair.second)});
    }
    const std::vector<RaceBets> races = {race};
    const OddsBins bins = OddsBins::of(races);
    const auto spread = marketSpreadOf(races, BetType::Wide, bins);
    ASSERT_TRUE(spread.has_value());
    // The same race judged earlier with group 1 made of 1-2, 2-3 and 3-4.
    RaceBets early = race;
    for (BetRecord& record : early) {
        const int key = record.first * 10 + record.second;
        record.groups = key == 12 || key == 23 || key == 34 ? 3 : 1;
    }
    const auto lookahead = lookaheadVarianceOf(races, {early}, BetType::Wide);

    double inverse = 0;
    for (const BetRecord& record : race) {
        inverse += 1.0 / record.odds;
    }
    const double mean = (120 + 130 + 130) / 6.0;
    std::array<Moments, 3> moments;
    double aheadSum = 0, aheadSquares = 0;
    for (int out = 1; out <= 4; ++out) {
        const double weight = fourth[out - 1];
        std::vector<double> x;
        std::array<double, kOddsBins> binSum{}, binCount{};
        for (const BetRecord& record : race) {
            const bool paid = record.first != out && record.second != out;
            x.push_back(paid ? mean * record.odds * inverse / 3 : 0.0);
            binSum[bins.binOf(record.odds)] += x.back();
            ++binCount[bins.binOf(record.odds)];
        }
        for (int g = 0; g < 3; ++g) {
            double sum = 0, base = 0, n = 0;
            for (std::size_t i = 0; i < race.size(); ++i) {
                if ((race[i].groups & (1U << g)) != 0) {
                    const int k = bins.binOf(race[i].odds);
                    sum += x[i];
                    base += binSum[k] / binCount[k];
                    ++n;
                }
            }
            moments[g].add(weight, sum, base, n);
        }
        double d = 0;
        for (std::size_t i = 0; i < race.size(); ++i) {
            d += x[i] * (int((race[i].groups >> 1) & 1U) - int((early[i].groups >> 1) & 1U)) / 3.0;
        }
        aheadSum += weight * d;
        aheadSquares += weight * d * d;
    }
    for (int g = 0; g < 3; ++g) {
        const MarketSpread& s = (*spread)[g];
        const double rateVar = moments[g].rateVar();
        EXPECT_NEAR(moments[g].rateSum, mean, 1e-3);
        EXPECT_NEAR(s.linear - s.square, rateVar, 1e-5 * rateVar + 1e-6) << g;
        const double excessVar = moments[g].excessVar();
        EXPECT_NEAR(s.excessVar, excessVar, 1e-5 * excessVar + 1e-6) << g;
    }
    EXPECT_GT((*spread)[1].linear - (*spread)[1].square, 1.0);
    const double aheadVar = aheadSquares - aheadSum * aheadSum;
    EXPECT_GT(aheadVar, 1.0);
    EXPECT_NEAR(lookahead[1], aheadVar, 1e-5 * aheadVar);
}
