// SPDX-License-Identifier: MIT
// The blend's fit on races drawn from known weights, its guard against sources that coincide,
// and the χ² tail it reports its likelihood ratio with.
#include <cmath>
#include <gtest/gtest.h>
#include <random>

#include "analysis/market_blend.h"
#include "analysis/model_scores.h"

namespace {

// Races of twelve pairs whose sources are independent normal logs; the realised pair drawn from
// the blend with `truth` (quinella). With `same`, the pool is the model itself.
std::vector<BlendSample> drawnRaces(int count, const BlendWeights& truth, bool same)
{
    std::mt19937_64 engine(7);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    std::vector<BlendSample> samples(static_cast<std::size_t>(count));
    std::array<double, kMaxPairs> chances{};
    for (BlendSample& sample : samples) {
        sample.race.bet = BetType::Quinella;
        sample.race.pairs = 12;
        for (int k = 0; k < 12; ++k) {
            auto& x = sample.race.logs[static_cast<std::size_t>(k)];
            x[ModelSource] = normal(engine);
            x[PoolSource] = same ? x[ModelSource] : normal(engine);
            sample.race.index[static_cast<std::size_t>(k)] = static_cast<quint8>(k);
        }
        blendChances(sample.race, truth, chances);
        double u = uniform(engine);
        int k = 0;
        while (k < 11 && u >= chances[static_cast<std::size_t>(k)]) {
            u -= chances[static_cast<std::size_t>(k++)];
        }
        sample.realised[0] = static_cast<qint16>(k);
    }
    return samples;
}

} // namespace

TEST(MarketBlend, FitRecoversTheWeightsAndKeepsOneOfTwoSourcesThatCoincide)
{
    const BlendWeights truth{0.4, 0.9, 0.0};
    const BlendFit fit = fitBlend(drawnRaces(4000, truth, false), BetType::Quinella);
    ASSERT_TRUE(fit.converged);
    EXPECT_TRUE(fit.drops.empty());
    for (const int s : {int(ModelSource), int(PoolSource)}) {
        const auto i = static_cast<std::size_t>(s);
        EXPECT_GT(fit.se[i], 0.0);
        EXPECT_LT(std::abs(fit.weights[i] - truth[i]), 3 * fit.se[i])
            << s << ": " << fit.weights[i] << " ± " << fit.se[i];
    }
    // A likelihood that is the truth's: the fit's optimism is its number of weights.
    EXPECT_NEAR(fit.optimism, 2.0, 0.3);

    // Identical sources: one weight (the pool's) carries both, the other is dropped with a note.
    const BlendFit same = fitBlend(drawnRaces(2000, truth, true), BetType::Quinella);
    ASSERT_TRUE(same.converged);
    ASSERT_EQ(same.drops.size(), 1U);
    EXPECT_EQ(same.drops[0].dropped, ModelSource);
    EXPECT_TRUE(same.kept[PoolSource]);
    EXPECT_FALSE(same.kept[ModelSource]);
    EXPECT_EQ(same.weights[ModelSource], 0.0);
    EXPECT_LT(std::abs(same.weights[PoolSource] - 1.3), 3 * same.se[PoolSource]);

    // A pool that is no number somewhere gives no fit: the pool is used alone, and the fit is
    // never taken for one that converged.
    std::vector<BlendSample> broken = drawnRaces(200, truth, false);
    broken[5].race.logs[3][PoolSource] = std::nan("");
    const BlendFit failed = fitBlend(broken, BetType::Quinella);
    EXPECT_FALSE(failed.converged);
    EXPECT_TRUE(failed.kept[PoolSource]);
    EXPECT_FALSE(failed.kept[ModelSource]);
}

TEST(MarketBlend, ChiSquareTailAtTheTabulatedFivePercentPoints)
{
    EXPECT_NEAR(chiSquareSurvival(3.841459, 1), 0.05, 1e-6);
    EXPECT_NEAR(chiSquareSurvival(5.991465, 2), 0.05, 1e-6);
    EXPECT_NEAR(chiSquareSurvival(7.814728, 3), 0.05, 1e-6);
    EXPECT_NEAR(chiSquareSurvival(9.487729, 4), 0.05, 1e-6);
    EXPECT_EQ(chiSquareSurvival(0.0, 2), 1.0);
    // Student's t at the tabulated 97.5% points.
    EXPECT_NEAR(studentQuantile975(5), 2.570582, 0.003);
    EXPECT_NEAR(studentQuantile975(10), 2.228139, 2e-4);
    EXPECT_NEAR(studentQuantile975(47), 2.011741, 1e-5);
}

// A gain made of rare large results (a long shot the blend prices better) and a small loss on
// every other race, over 48 course-days: over many draws the interval holds the known mean at
// least 95% of the time (percentile and Student's t alone: 93%).
TEST(MarketBlend, GainIntervalHoldsItsPromiseOnASkewedGain)
{
    constexpr double kRare = 0.03;
    constexpr double kWin = 0.7;
    constexpr double kLoss = -0.01;
    const double mean = kRare * kWin + (1 - kRare) * kLoss;
    std::mt19937_64 engine(11);
    std::bernoulli_distribution rare(kRare);
    int covered = 0;
    constexpr int kTrials = 1000;
    for (int trial = 0; trial < kTrials; ++trial) {
        ScoreSample sample;
        for (quint32 day = 0; day < 48; ++day) {
            for (int race = 0; race < 12; ++race) {
                std::array<double, kScoredModels> loss{};
                loss[static_cast<std::size_t>(ScoredModel::Blend)] = rare(engine) ? -kWin : -kLoss;
                sample.loss.push_back(loss);
                sample.nullLoss.push_back(1.0);
                sample.unit.push_back(day);
            }
        }
        const BlendGain gain = scoreSample(sample, 999).gain;
        covered += gain.low <= mean && mean <= gain.high;
    }
    EXPECT_GE(covered, kTrials * 95 / 100) << covered << " of " << kTrials;
}
