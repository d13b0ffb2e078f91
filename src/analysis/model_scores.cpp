// SPDX-License-Identifier: MIT
#include "model_scores.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <tuple>

#include "analysis/kelly.h"
#include "analysis/resampling.h"

using namespace Qt::StringLiterals;

namespace {

OrderingModel modelOf(const CalibrationRace& race, double lambda, double tau)
{
    return OrderingModel(
        std::span(race.p.data(), static_cast<std::size_t>(race.runners) + 1), lambda, tau);
}

std::vector<std::pair<int, int>> realisedPairs(const CalibrationRace& race, BetType bet)
{
    const auto ordered = [](int x, int y) {
        return std::pair(std::min(x, y), std::max(x, y));
    };
    if (bet == BetType::Quinella) {
        return {ordered(race.first, race.second)};
    }
    return {ordered(race.first, race.second),
            ordered(race.first, race.third),
            ordered(race.second, race.third)};
}

} // namespace

QString scoredModelName(ScoredModel model)
{
    static const QString names[] = {u"harville"_s, u"discount"_s, u"pool"_s, u"blend"_s};
    return names[static_cast<int>(model)];
}

std::vector<BlendSample> blendSamples(const std::vector<CalibrationRace>& races,
                                      BetType bet,
                                      double lambda,
                                      double tau,
                                      std::vector<std::size_t>* raceOf)
{
    std::vector<BlendSample> samples;
    samples.reserve(races.size());
    std::array<double, kMaxPairs> odds{};
    for (std::size_t r = 0; r < races.size(); ++r) {
        const CalibrationRace& race = races[r];
        const auto& shown = bet == BetType::Quinella ? race.quinellaOdds : race.wideOdds;
        std::copy(shown.begin(), shown.end(), odds.begin());
        BlendSample sample;
        sample.unit = race.unit;
        blendSources(bet, modelOf(race, lambda, tau), race.place, odds, sample.race);
        std::array<qint16, kMaxPairs> positionOf{};
        positionOf.fill(-1);
        for (int k = 0; k < sample.race.pairs; ++k) {
            positionOf[sample.race.index[static_cast<std::size_t>(k)]] = static_cast<qint16>(k);
        }
        bool complete = true;
        std::size_t slot = 0;
        for (const auto& [a, b] : realisedPairs(race, bet)) {
            const qint16 at = positionOf[static_cast<std::size_t>(pairIndex(race.runners, a, b))];
            complete = complete && at >= 0;
            sample.realised[slot++] = at;
        }
        if (complete) {
            samples.push_back(sample);
            if (raceOf) {
                raceOf->push_back(r);
            }
        }
    }
    return samples;
}

ScoreSample scoreRaces(const std::vector<CalibrationRace>& races,
                       const std::vector<BlendSample>& samples,
                       const std::vector<std::size_t>& raceOf,
                       BetType bet,
                       const ModelParameters& parameters)
{
    ScoreSample score;
    const bool quinella = bet == BetType::Quinella;
    std::array<double, kMaxPairs> pool{};
    std::array<double, kMaxPairs> blend{};
    for (std::size_t s = 0; s < samples.size(); ++s) {
        const CalibrationRace& race = races[raceOf[s]];
        const BlendSample& sample = samples[s];
        const OrderingModel harville = modelOf(race, 1.0, 1.0);
        const OrderingModel discount = modelOf(race, parameters.lambda, parameters.tau);
        blendChances(sample.race, poolOnlyWeights(), pool);
        blendChances(sample.race, parameters.weights, blend);
        std::array<double, kScoredModels> loss{};
        std::size_t slot = 0;
        for (const auto& [a, b] : realisedPairs(race, bet)) {
            const auto at = static_cast<std::size_t>(sample.realised[slot++]);
            loss[0] -= std::log(quinella ? harville.firstTwo(a, b) : harville.firstThree(a, b));
            loss[1] -= std::log(quinella ? discount.firstTwo(a, b) : discount.firstThree(a, b));
            loss[2] -= std::log(pool[at]);
            loss[3] -= std::log(blend[at]);
        }
        score.loss.push_back(loss);
        const double equal = pairChanceTotal(bet) / sample.race.pairs;
        score.nullLoss.push_back(-static_cast<double>(slot) * std::log(equal));
        score.unit.push_back(race.unit);
    }
    return score;
}

double studentQuantile975(double df)
{
    // Cornish–Fisher expansion about the normal quantile: within 0.003 from 5 degrees of freedom,
    // 2e-4 from 10.
    const double z = 1.959964;
    const double z3 = z * z * z;
    const double z5 = z3 * z * z;
    const double z7 = z5 * z * z;
    return z + (z3 + z) / (4 * df) + (5 * z5 + 16 * z3 + 3 * z) / (96 * df * df)
           + (3 * z7 + 19 * z5 + 17 * z3 - 15 * z) / (384 * df * df * df);
}

BlendGain
gainOver(const ScoreSample& sample, ScoredModel model, ScoredModel baseline, int resamples)
{
    // The gain by course-day, then course-days drawn with replacement.
    const auto pool = static_cast<std::size_t>(baseline);
    const auto blend = static_cast<std::size_t>(model);
    const std::size_t n = sample.loss.size();
    BlendGain gain;
    if (n == 0) {
        return gain;
    }
    double poolTotal = 0.0;
    double modelTotal = 0.0;
    std::map<quint32, std::size_t> dense;
    // gain, races and their squares and product: a resample's own standard error from its sums
    std::vector<std::vector<double>> units;
    for (std::size_t r = 0; r < n; ++r) {
        const auto [it, added] = dense.try_emplace(sample.unit[r], units.size());
        if (added) {
            units.push_back(std::vector<double>(5, 0.0));
        }
        units[it->second][0] += sample.loss[r][pool] - sample.loss[r][blend];
        poolTotal += sample.loss[r][pool];
        modelTotal += sample.loss[r][blend];
        units[it->second][1] += 1.0;
    }
    std::vector<double> whole(5, 0.0); // the sums over every course-day
    for (std::vector<double>& unit : units) {
        unit[2] = unit[0] * unit[0];
        unit[3] = unit[0] * unit[1];
        unit[4] = unit[1] * unit[1];
        for (std::size_t i = 0; i < whole.size(); ++i) {
            whole[i] += unit[i];
        }
    }
    const auto m = static_cast<double>(units.size());
    // The linearised standard error of a gain per race Σg/Σn over course-days.
    const auto standardError = [m](const std::vector<double>& sums) {
        const double ratio = sums[0] / sums[1];
        const double residuals = sums[2] - 2 * ratio * sums[3] + ratio * ratio * sums[4];
        return m > 1 ? std::sqrt(std::max(0.0, residuals) * m / (m - 1)) / sums[1] : 0.0;
    };
    gain.perRace = (poolTotal - modelTotal) / static_cast<double>(n);
    const double error = standardError(whole);
    std::vector<double> draws;
    std::vector<double> studentised;
    draws.reserve(static_cast<std::size_t>(resamples));
    studentised.reserve(static_cast<std::size_t>(resamples));
    resampleUnitSums(units, resamples, kBootstrapSeed, [&](const std::vector<double>& sums) {
        draws.push_back(sums[0] / sums[1]);
        if (const double drawn = standardError(sums); drawn > 0) {
            studentised.push_back((sums[0] / sums[1] - gain.perRace) / drawn);
        }
    });
    // The percentile interval of a mean over a few dozen course-days falls short of 95%: it is
    // joined with the mean ± Student's t for that many units times the spread of the draws,
    // corrected for the bootstrap's divisor n, and with the studentised bootstrap, which follows
    // the skew a few long-odds results give the gain.
    double sum = 0.0;
    double squares = 0.0;
    for (const double draw : draws) {
        sum += draw;
        squares += draw * draw;
    }
    const auto k = static_cast<double>(draws.size());
    const double spread = k > 1 ? std::sqrt(std::max(0.0, (squares - sum * sum / k) / (k - 1))) : 0;
    if (const auto interval = percentileInterval(std::move(draws))) {
        std::tie(gain.low, gain.high) = *interval;
        if (m > 5) {
            const double half = studentQuantile975(m - 1) * spread * std::sqrt(m / (m - 1));
            gain.low = std::min(gain.low, gain.perRace - half);
            gain.high = std::max(gain.high, gain.perRace + half);
        }
    }
    if (const auto t = percentileInterval(std::move(studentised)); t && m > 5) {
        gain.low = std::min(gain.low, gain.perRace - t->second * error);
        gain.high = std::max(gain.high, gain.perRace - t->first * error);
    }
    return gain;
}

SampleScores scoreSample(const ScoreSample& sample, int resamples)
{
    SampleScores scores;
    const std::size_t n = sample.loss.size();
    scores.races = static_cast<qint64>(n);
    if (n == 0) {
        return scores;
    }
    double nullTotal = 0.0;
    std::array<double, kScoredModels> totals{};
    for (std::size_t r = 0; r < n; ++r) {
        nullTotal += sample.nullLoss[r];
        for (std::size_t m = 0; m < totals.size(); ++m) {
            totals[m] += sample.loss[r][m];
        }
    }
    for (std::size_t m = 0; m < totals.size(); ++m) {
        scores.models[m].logLoss = totals[m] / static_cast<double>(n);
        scores.models[m].pseudoR2 = nullTotal > 0.0 ? 1.0 - totals[m] / nullTotal : 0.0;
    }

    scores.gain = gainOver(sample, ScoredModel::Blend, ScoredModel::Pool, resamples);
    return scores;
}

double chiSquareSurvival(double x, int df)
{
    if (!(x > 0.0)) {
        return 1.0;
    }
    const double half = x / 2.0;
    double sum = 0.0;
    if (df % 2 == 0) {
        // e^(−x/2) Σ_{k < df/2} (x/2)^k / k!
        double term = 1.0;
        for (int k = 0; k < df / 2; ++k) {
            sum += term;
            term *= half / (k + 1);
        }
        return std::exp(-half) * sum;
    }
    // erfc(√(x/2)) + e^(−x/2) Σ_{k=1}^{(df−1)/2} (x/2)^(k−½) / Γ(k + ½)
    double term = std::sqrt(half) / (std::sqrt(std::numbers::pi) / 2.0);
    for (int k = 1; k <= (df - 1) / 2; ++k) {
        sum += term;
        term *= half / (k + 0.5);
    }
    return std::erfc(std::sqrt(half)) + std::exp(-half) * sum;
}

std::vector<CalibrationBin> blendCalibrationTable(const std::vector<BlendSample>& samples,
                                                  const BlendWeights& weights)
{
    std::vector<PredictedPair> pairs;
    std::array<double, kMaxPairs> chances{};
    for (const BlendSample& sample : samples) {
        blendChances(sample.race, weights, chances);
        for (int k = 0; k < sample.race.pairs; ++k) {
            const bool hit = std::find(sample.realised.begin(), sample.realised.end(), k)
                             != sample.realised.end();
            pairs.push_back({chances[static_cast<std::size_t>(k)], hit});
        }
    }
    return calibrationBins(std::move(pairs));
}
