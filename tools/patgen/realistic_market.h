// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <vector>

#include "race_generator.h"

/// How much more the public bets on a bet than its own estimate of the bet's chance says, by that
/// estimate (the odds level): ln factors at points given as (chance, ln factor) from the likeliest
/// to the least likely, linear in ln chance between them and constant beyond the ends.
struct BiasCurve
{
    std::vector<std::array<double, 2>> points;

    double operator()(double chance) const;
};

/// How the realistic season's races are run and how its public bets. Each race has true win
/// chances; its finish is drawn from them, its pools are priced from what the public believes,
/// which is not the truth. The defaults were fitted so that a season gives, from its files,
/// the figures of 40,970 JRA races (README, "A realistic season"; `patgen --report` prints
/// both); tests/tools/realistic_season_test.cpp checks them.
struct RealisticMarket
{
    /// Relative frequencies of cards of 5 to 18 horses. In fields of 10 or more each horse is
    /// scratched before sales with chance 1.5% (at most two), so a card of 16 often runs with
    /// 15: these make the fields that run peak at 16, 41.5% with 16 or more, 9.2% with 17 or
    /// 18 and 4.5% with 8 or fewer, 13.96 on average.
    std::array<double, 14> fieldSizes
        = {0.1, 0.4, 1.0, 2.9, 3.2, 5.2, 6.2, 7.1, 8.0, 10.3, 3.5, 42.0, 2.6, 7.6};
    /// True win chances in proportion to strengths e^(strengthSpread · Z − strengthTail · E −
    /// strengthRange · U), with Z standard normal, E standard exponential and U uniform on
    /// [0, 1) for each horse: the uniform spreads the field evenly over a range of odds, the
    /// exponential draws out its weak end, so that a fifth of the starters go off at 100 or
    /// more (up to 999.9) while the favourite wins a third of the races.
    double strengthSpread = 0.3;
    double strengthTail = 1.7;
    double strengthRange = 3.5;

    /// Finishing orders: first place by the true chances p, second by p^trueLambda and third by
    /// p^trueTau among the horses left, the rest by p. Fitted on the win odds, whose errors
    /// flatten the chances, the discount comes out at JRA's 0.846 and 0.722.
    double trueLambda = 0.837;
    double trueTau = 0.695;
    /// Share of races with a dead heat, for first, second or third place alike.
    double deadHeatRate = 0.01;
    /// Chance of each horse to be scratched after sales started (at most one a race, between 89
    /// and 2 minutes before the post time): the fetches before show its odds, the later ones
    /// "ﾄﾘｹｼ", and its tickets are refunded.
    double lateScratchRate = 0.003;

    /// The public estimates each win chance with an error, p' = p · e^(winNoise · Z), and bets
    /// ln q = ln p' + winBias(p'), normalised. The bias over-bets long shots (the
    /// favourite–longshot bias) and a little the horses at odds of 3 to 10, so that the win
    /// returns by odds are JRA's.
    double winNoise = 0.35;
    BiasCurve winBias = {{{0.5, 0.0},
                          {0.2, 0.18},
                          {0.11, 0.23},
                          {0.057, 0.17},
                          {0.027, 0.35},
                          {0.011, 0.34},
                          {0.0057, 0.52},
                          {0.0027, 0.86},
                          {0.00089, 0.95},
                          {0.0003, 1.44}}};
    /// The place and quinella bettors share this part of the win bettors' error (sharedError ·
    /// winNoise · Z in ln chance), the wide bettors wideSharedError of it, so that the quinella
    /// and wide pools beat Harville from the win odds by JRA's 0.022 and 0.035 nats, not by all
    /// of the win pool's error.
    double sharedError = 0.74;
    double wideSharedError = 0.84;
    /// The place pool: each horse's chance to finish in the places by the discounted model on
    /// the shared estimate with an error of its own (placeNoise), then its bias: the favourites'
    /// places are heavily backed, as their payouts show.
    double placeNoise = 0.345;
    BiasCurve placeBias = {{{0.75, 0.96},
                            {0.55, 0.29},
                            {0.4, 0.31},
                            {0.27, 0.0},
                            {0.15, 0.0},
                            {0.08, -0.01},
                            {0.04, -0.02},
                            {0.017, 0.48},
                            {0.006, 0.63}}};
    /// The quinella pool from each pair's chance P to finish first and second on the shared
    /// estimate, with its own error, P' = P · e^(quinellaNoise · Z), and its bias by P'.
    double quinellaNoise = 0.21;
    BiasCurve quinellaBias = {{{0.3, -0.29},
                               {0.14, -0.13},
                               {0.07, -0.03},
                               {0.032, 0.0},
                               {0.014, 0.08},
                               {0.007, 0.14},
                               {0.0032, 0.18},
                               {0.0008, 0.68},
                               {0.0001, 0.88}}};
    /// The wide pool likewise from each pair's chance of both finishing in the first three: its
    /// shortest pairs and its long ones are over-bet.
    double wideNoise = 0.17;
    BiasCurve wideBias = {{{0.6, 0.31},
                           {0.4, 0.03},
                           {0.26, 0.02},
                           {0.14, 0.0},
                           {0.07, -0.01},
                           {0.032, 0.08},
                           {0.014, 0.17},
                           {0.004, 0.68},
                           {0.0005, 0.98}}};
    /// Late information: the standard deviation of the news about each horse's chance (in
    /// ln chance) that reaches the public between two fetches, m60 → m30, m30 → m10, m10 → m05
    /// and m05 → m02. At a fetch the news still to come is noise in what the public knows, so
    /// later odds forecast better (JRA: the close beats 25 to 30 minutes before by 0.044 nats).
    std::array<double, 4> lateNews = {0.15, 0.27, 0.17, 0.12};
};

/// The fetches of a race's odds, in minutes before its post time, first to last. The last is
/// the odds the race closes with (PAT stops selling 2 minutes before the post time).
inline constexpr std::array<int, 5> kFetchMinutes = {60, 30, 10, 5, 2};
inline constexpr int kFetches = static_cast<int>(kFetchMinutes.size());

/// One race of the realistic season with the truth it was drawn from.
struct RealisticRace
{
    GeneratedRace race; ///< the card, the odds of the last fetch, and the result
    /// The odds at each fetch in kFetchMinutes order, without result; the last equals race's.
    std::vector<GeneratedRace> fetches;
    std::vector<double> trueWin;      ///< by horse number − 1; 0 for a scratched horse
    std::vector<double> trueFirstTwo; ///< by pair in file order: first and second, either order
    std::vector<double> trueTopThree; ///< by pair in file order: both in the first three
    /// Expected payouts in yen for 100 yen under the truth at the closing pools: each horse's
    /// win bet (whose payout may pass the 999.9 the files show) and place bet, each pair's wide
    /// bet (a pair pays by the third horse); a race taken as run without a dead heat.
    std::vector<double> winReturn;
    std::vector<double> placeReturn;
    std::vector<double> wideReturn;
};

/// Chances of a race under the discounted model with `lambda` and `tau` (see RealisticMarket);
/// `p` by horse number − 1, 0 for a horse that does not run.
struct OrderChances
{
    std::vector<double> firstTwo; ///< by pair in file order
    std::vector<double> topThree; ///< by pair in file order
};
OrderChances discountedOrderChances(const std::vector<double>& p, double lambda, double tau);

/// Runs the race `card` (header, names and runners as generateRaceCard makes them): true chances,
/// scratches, the public's pools at every fetch, the finish and its payouts.
RealisticRace
runRealisticRace(PatRandom& random, GeneratedRace card, const RealisticMarket& market);
