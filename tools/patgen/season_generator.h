// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

#include <QString>

#include "race_generator.h"

/// A season of race days, each one venue's twelve races, all with results. The market is
/// efficient: every bet pays back its pool's share after takeout, in expectation.
struct SeasonOptions
{
    std::uint64_t seed = 1;
    int days = 288; ///< a JRA year: 36 meetings of 8 days
    /// Multiplies the wide odds and payouts of every pair of two horses at win odds 10.0 or
    /// more: an edge planted for a strategy to find. 1 leaves the market efficient.
    double wideLongshotFactor = 1.0;
    /// Finishing orders by the discounted ordering model: first place by the win chances p,
    /// second by p^orderLambda and third by p^orderTau among the horses left, the rest by p.
    /// The market still prices by Harville (1 and 1), so below 1 longshots fill second and
    /// third more often than the odds say, as in real pools.
    double orderLambda = 1.0;
    double orderTau = 1.0;
};

inline constexpr int kSeasonRacesPerDay = 12;
inline constexpr int kMaxSeasonDays = 2880; ///< ten years; the file keys hold a two-digit year

/// Empty when the options describe a season that can be made, else what is wrong with them.
QString seasonOptionsError(const SeasonOptions& options);

/// The races of race day `day` (0-based) of the season; a day depends only on the seed and its
/// number, not on the days before it.
std::vector<GeneratedRace> generateSeasonDay(const SeasonOptions& options, int day);

/// Writes the whole season into `folder` (created): Zo-, Uo-, De- and Ks- files of every race.
/// False with `error` set when the options are invalid or a file cannot be written.
bool writeSeason(const QString& folder, const SeasonOptions& options, QString* error);
