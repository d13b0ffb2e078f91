// SPDX-License-Identifier: MIT
#include "calibration.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace {

// One race's share of a place's log-likelihood in the parameter θ (λ for second place, τ for
// third): θ·x_w − ln Σ e^{θ·x_s} over the horses s still without a place, x = ln p. Returns the
// value and its first two derivatives.
struct Term
{
    double value = 0.0;
    double slope = 0.0;
    double curvature = 0.0;
};

Term placeTerm(const CalibrationRace& race, int winner, int skip1, int skip2, double theta)
{
    // The largest exponent first, so that the sum cannot overflow.
    double top = -std::numeric_limits<double>::infinity();
    for (int s = 1; s <= race.runners; ++s) {
        const double p = race.p[static_cast<std::size_t>(s)];
        if (s != skip1 && s != skip2 && p > 0.0) {
            top = std::max(top, theta * std::log(p));
        }
    }
    double sum = 0.0;
    double mean = 0.0;
    double square = 0.0;
    for (int s = 1; s <= race.runners; ++s) {
        const double p = race.p[static_cast<std::size_t>(s)];
        if (s == skip1 || s == skip2 || p <= 0.0) {
            continue;
        }
        const double x = std::log(p);
        const double w = std::exp(theta * x - top);
        sum += w;
        mean += w * x;
        square += w * x * x;
    }
    mean /= sum;
    const double x = std::log(race.p[static_cast<std::size_t>(winner)]);
    return {theta * x - (top + std::log(sum)), x - mean, -(square / sum - mean * mean)};
}

Term sumTerms(const std::vector<CalibrationRace>& races, bool third, double theta)
{
    Term total;
    for (const CalibrationRace& race : races) {
        const Term t = third ? placeTerm(race, race.third, race.first, race.second, theta)
                             : placeTerm(race, race.second, race.first, 0, theta);
        total.value += t.value;
        total.slope += t.slope;
        total.curvature += t.curvature;
    }
    return total;
}

// Newton's method on a concave function, from θ = 1, with the step halved while it would leave
// θ > 0 or lower the likelihood.
std::pair<double, double> maximise(const std::vector<CalibrationRace>& races, bool third)
{
    double theta = 1.0;
    Term at = sumTerms(races, third, theta);
    for (int iteration = 0; iteration < 100 && at.curvature < 0.0; ++iteration) {
        double step = -at.slope / at.curvature;
        Term next;
        for (int halving = 0; halving < 60; ++halving, step /= 2.0) {
            if (theta + step > 0.0) {
                next = sumTerms(races, third, theta + step);
                if (next.value >= at.value - 1e-12 * std::abs(at.value)) {
                    break;
                }
            }
        }
        theta += step;
        at = next;
        if (std::abs(step) < 1e-12 * std::max(1.0, theta)) {
            break;
        }
    }
    // The observed information is the negative curvature at the maximum.
    return {theta, at.curvature < 0.0 ? 1.0 / std::sqrt(-at.curvature) : 0.0};
}

} // namespace

double orderLogLikelihood(const std::vector<CalibrationRace>& races, double lambda, double tau)
{
    double total = 0.0;
    for (const CalibrationRace& race : races) {
        const OrderingModel model(
            std::span(race.p.data(), static_cast<std::size_t>(race.runners) + 1), lambda, tau);
        total += model.logChanceOfOrder(race.first, race.second, race.third);
    }
    return total;
}

DiscountFit fitDiscount(const std::vector<CalibrationRace>& races)
{
    DiscountFit fit;
    if (races.empty()) {
        return fit;
    }
    std::tie(fit.lambda, fit.lambdaSe) = maximise(races, false);
    std::tie(fit.tau, fit.tauSe) = maximise(races, true);
    fit.logLikHarville = orderLogLikelihood(races, 1.0, 1.0);
    fit.logLikFit = orderLogLikelihood(races, fit.lambda, fit.tau);
    return fit;
}

std::vector<CalibrationBin>
calibrationTable(const std::vector<CalibrationRace>& races, BetType bet, double lambda, double tau)
{
    std::vector<PredictedPair> pairs;
    for (const CalibrationRace& race : races) {
        const OrderingModel model(
            std::span(race.p.data(), static_cast<std::size_t>(race.runners) + 1), lambda, tau);
        const auto placed = [&race, bet](int h) {
            return h == race.first || h == race.second || (bet == BetType::Wide && h == race.third);
        };
        for (int a = 1; a < race.runners; ++a) {
            if (race.p[static_cast<std::size_t>(a)] <= 0.0) {
                continue;
            }
            for (int b = a + 1; b <= race.runners; ++b) {
                if (race.p[static_cast<std::size_t>(b)] <= 0.0) {
                    continue;
                }
                const double p
                    = bet == BetType::Quinella ? model.firstTwo(a, b) : model.firstThree(a, b);
                pairs.push_back({p, placed(a) && placed(b)});
            }
        }
    }
    return calibrationBins(std::move(pairs));
}

std::vector<CalibrationBin> calibrationBins(std::vector<PredictedPair> pairs)
{
    std::vector<CalibrationBin> bins(10);
    if (pairs.empty()) {
        return bins;
    }
    std::sort(pairs.begin(), pairs.end(), [](const PredictedPair& x, const PredictedPair& y) {
        return x.predicted < y.predicted;
    });
    // Deciles by nearest rank; the bins are contiguous from 0 to 1.
    const auto n = static_cast<qint64>(pairs.size());
    for (int k = 0; k < 10; ++k) {
        CalibrationBin& bin = bins[static_cast<std::size_t>(k)];
        bin.lo = k == 0 ? 0.0 : pairs[static_cast<std::size_t>((k * n + 9) / 10 - 1)].predicted;
        bin.hi
            = k == 9 ? 1.0 : pairs[static_cast<std::size_t>(((k + 1) * n + 9) / 10 - 1)].predicted;
    }
    std::vector<double> hits(10, 0.0);
    std::vector<double> variance(10, 0.0);
    for (const PredictedPair& pair : pairs) {
        // The last bin whose lower edge it reaches: [lo, hi) with hi the next bin's lo (a bin
        // whose edges coincide stays empty); a chance of 1 belongs to the last.
        std::size_t k = 9;
        while (k > 0 && pair.predicted < bins[k].lo) {
            --k;
        }
        CalibrationBin& bin = bins[k];
        ++bin.pairs;
        bin.expectedHits += pair.predicted;
        bin.expectedMisses += 1.0 - pair.predicted;
        hits[k] += pair.hit ? 1.0 : 0.0;
        variance[k] += pair.predicted * (1.0 - pair.predicted);
    }
    for (std::size_t k = 0; k < bins.size(); ++k) {
        CalibrationBin& bin = bins[k];
        if (bin.pairs == 0) {
            continue;
        }
        const auto count = static_cast<double>(bin.pairs);
        bin.predicted = bin.expectedHits / count;
        bin.observed = hits[k] / count;
        if (variance[k] > 0.0) {
            bin.z = (hits[k] - bin.expectedHits) / std::sqrt(variance[k]);
        }
    }
    return bins;
}
