// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QtGlobal>

#include "analysis/ordering_model.h"
#include "base/bet_type.h"

/// One race as a calibration sees it: the win chances (from the win odds, normalised), the
/// place chances and the pair pools' actual odds, its first three finishers and its course-day.
struct CalibrationRace
{
    std::array<double, kMaxRunners + 1> p{};
    std::array<double, kMaxRunners + 1> place{}; ///< see placeChances()
    /// Actual odds as the pair lists show them, in pair order; 0 for none or a scratched pair.
    std::array<float, kMaxPairs> quinellaOdds{};
    std::array<float, kMaxPairs> wideOdds{};
    int runners = 0; ///< horse numbers 1 to runners
    int first = 0;
    int second = 0;
    int third = 0;
    quint32 unit = 0; ///< the course-day, numbered from 0
};

/// The discounted model fitted by maximum likelihood on the first three finishers.
struct DiscountFit
{
    double lambda = 1.0;
    double lambdaSe = 0.0; ///< from the observed information
    double tau = 1.0;
    double tauSe = 0.0;
    double logLikHarville = 0.0; ///< λ = τ = 1
    double logLikFit = 0.0;
};

/// ln P(first three) summed over the races, natural log.
double orderLogLikelihood(const std::vector<CalibrationRace>& races, double lambda, double tau);

/// Fits λ and τ: each appears in one factor of the likelihood only (second place, third place),
/// so each is one concave one-dimensional problem, solved by Newton's method.
DiscountFit fitDiscount(const std::vector<CalibrationRace>& races);

/// One bin of a calibration table: the pairs whose predicted chance lies in [lo, hi).
struct CalibrationBin
{
    double lo = 0.0;
    double hi = 1.0;
    qint64 pairs = 0;
    std::optional<double> predicted; ///< mean predicted chance; empty for an empty bin
    std::optional<double> observed;  ///< share of the pairs that hit
    std::optional<double> z;         ///< (hits − Σp) / √Σp(1−p)
    double expectedHits = 0.0;       ///< Σp
    double expectedMisses = 0.0;     ///< Σ(1−p)
};

/// A pair's predicted chance and whether it came in.
struct PredictedPair
{
    double predicted = 0.0;
    bool hit = false;
};
/// Ten bins at the deciles of the predicted chances, contiguous from 0 to 1.
std::vector<CalibrationBin> calibrationBins(std::vector<PredictedPair> pairs);

/// Ten bins at the deciles of the predicted chances of every pair of the races (quinella: the
/// pair finishes first and second; wide: both in the first three), contiguous from 0 to 1, under
/// the model with λ and τ.
std::vector<CalibrationBin>
calibrationTable(const std::vector<CalibrationRace>& races, BetType bet, double lambda, double tau);
