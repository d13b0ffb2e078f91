// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "analysis/calibration.h"
#include "analysis/market_blend.h"

/// The models the scoreboard compares, in its order.
enum class ScoredModel { Harville, Discount, Pool, Blend };
inline constexpr int kScoredModels = 4;
inline constexpr ScoredModel kScoredModelList[]
    = {ScoredModel::Harville, ScoredModel::Discount, ScoredModel::Pool, ScoredModel::Blend};
/// "harville", "discount", "pool", "blend".
QString scoredModelName(ScoredModel model);

/// What the models are given: the discounted model's parameters and the blend's weights.
struct ModelParameters
{
    double lambda = 1.0;
    double tau = 1.0;
    BlendWeights weights = poolOnlyWeights();
};

/// The blend's view of the races for one bet type: the races whose realised pairs (quinella: the
/// first two; wide: each pair of the first three) all take part. `raceOf`, when given, receives
/// each sample's race number.
std::vector<BlendSample> blendSamples(const std::vector<CalibrationRace>& races,
                                      BetType bet,
                                      double lambda,
                                      double tau,
                                      std::vector<std::size_t>* raceOf = nullptr);

/// Each model's log-loss of one bet type race by race: −ln of the chance of the realised pair,
/// for wide summed over the three pairs of the first three (a composite: they are not
/// independent), over the races blendSamples() kept (`samples`, each from race raceOf[k]); and
/// the same under equal chances of the pairs taking part.
struct ScoreSample
{
    std::vector<std::array<double, kScoredModels>> loss;
    std::vector<double> nullLoss;
    std::vector<quint32> unit; ///< each race's course-day
};
ScoreSample scoreRaces(const std::vector<CalibrationRace>& races,
                       const std::vector<BlendSample>& samples,
                       const std::vector<std::size_t>& raceOf,
                       BetType bet,
                       const ModelParameters& parameters);

/// A model's score on one sample.
struct ModelScore
{
    double logLoss = 0.0;  ///< mean per race, nats
    double pseudoR2 = 0.0; ///< McFadden's: 1 − ln L / ln L under equal chances
};

/// The blend against the pool alone: the gain is the pool's log-loss minus the blend's, mean per
/// race (positive: the blend forecasts better), with a 95% interval from resampling course-days.
struct BlendGain
{
    double perRace = 0.0;
    double low = 0.0;
    double high = 0.0;

    bool operator==(const BlendGain&) const = default;
};

struct SampleScores
{
    qint64 races = 0;
    std::array<ModelScore, kScoredModels> models{};
    BlendGain gain;
};
/// What `model` gains over `baseline` per race on a sample (baseline's log-loss minus the
/// model's), with its 95% interval from `resamples` course-day bootstrap draws.
BlendGain
gainOver(const ScoreSample& sample, ScoredModel model, ScoredModel baseline, int resamples);

/// Scores of a sample; `resamples` course-day bootstrap draws (one fixed seed) for the gain.
SampleScores scoreSample(const ScoreSample& sample, int resamples = 2000);

/// Student's t quantile at 97.5% for `df` degrees of freedom (df ≥ 5).
double studentQuantile975(double df);

/// P(χ²_df ≥ x) for a whole df ≥ 1.
double chiSquareSurvival(double x, int df);

/// Calibration bins (as calibrationTable) of the blend with `weights` (the pool alone:
/// poolOnlyWeights()) over the pairs taking part.
std::vector<CalibrationBin> blendCalibrationTable(const std::vector<BlendSample>& samples,
                                                  const BlendWeights& weights);
