// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <utility>
#include <vector>

#include <QString>

#include "base/runners.h"

/// What the season report reads of one race: the final win odds (Zo-) and the result with its
/// payouts (Ks-). Nothing else, so that the same figures can be taken from real races.
struct ReportRace
{
    int runners = 0; ///< horse numbers 1 to runners
    /// The final win odds by horse number; 0 for a horse that does not run.
    std::array<double, kMaxRunners + 1> winOdds{};
    std::vector<std::pair<int, int>> finish; ///< (position, horse number), first first
    /// Payouts in yen for 100 yen: win and place by horse, quinella and wide by pair (a < b).
    std::vector<std::pair<int, int>> winPaid, placePaid;
    std::vector<std::pair<std::pair<int, int>, int>> quinellaPaid, widePaid;
};

/// A figure of a season and its standard error, the races being the clusters.
struct Estimate
{
    double value = 0.0;
    double se = 0.0;
};

/// The figures a season of realised results gives, as 40,970 JRA races gave them (see
/// jraFigures): returns are of 100 yen on every starter or pair of a group, a starter's band is
/// its final win odds, a pair's Harville odds are 1 / P from the win odds.
struct SeasonFigures
{
    static constexpr std::array<double, 6> kWinBands = {1.0, 10.0, 20.0, 50.0, 100.0, 1e9};
    static constexpr std::array<double, 9> kQuinellaBands
        = {0.0, 5.0, 10.0, 20.0, 50.0, 100.0, 200.0, 500.0, 1e12};
    static constexpr std::array<double, 9> kWideBands
        = {0.0, 2.0, 3.0, 5.0, 10.0, 20.0, 50.0, 100.0, 1e12};

    qint64 races = 0;
    Estimate runners;                                      ///< starters per race
    Estimate sixteenOrMore, seventeenOrMore, eightOrFewer; ///< shares of the races
    std::array<Estimate, 5> starters;                      ///< share of the starters by band
    Estimate favouriteWon;                                 ///< share of the races
    std::array<Estimate, 6> winReturn;                     ///< by band, then every starter
    std::array<Estimate, 6> placeReturn;                   ///< likewise
    /// −ln P_Harville + ln P_pool of the realised quinella pair, P_pool = 0.775 · 100 / payout,
    /// a race; the races with one quinella pair paid.
    Estimate quinellaGain;
    std::array<Estimate, 8> quinellaRatio;  ///< observed ÷ Harville's frequency, by odds band
    std::array<Estimate, 8> quinellaReturn; ///< by Harville odds band
    Estimate wideGain;                      ///< likewise, per paid wide pair
    std::array<Estimate, 8> wideRatio;
    std::array<Estimate, 8> wideReturn;
    /// The discounted ordering model fitted on the first three by maximum likelihood, as
    /// `mikazuki calibrate` fits it (races with a dead heat among the first three left out).
    Estimate lambda, tau;
};

/// The figures of `races`.
SeasonFigures seasonFigures(const std::vector<ReportRace>& races);

/// JRA's figures: 40,970 races from June 2014 (when today's payout rates began) to April 2026,
/// from the public race-result pages, computed as seasonFigures computes them. A standard error
/// is given where it was measured, else 0.
const SeasonFigures& jraFigures();

/// The races of a season folder that have a result; false with `error` when the folder cannot
/// be read.
bool readReportRaces(const QString& folder, std::vector<ReportRace>& races, QString* error);

/// The figures as a table, JRA's beside the season's (with its standard errors).
QString seasonReportText(const SeasonFigures& season);
