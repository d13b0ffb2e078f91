// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <vector>

#include "race_generator.h"

/// How the realistic season's races are run and how its public bets. Each race has true win
/// chances; its finish is drawn from them, its pools are priced from what the public believes,
/// which is not the truth. The defaults are tuned so that a season reproduces JRA's published
/// figures (README, "A realistic season"); tests/tools/realistic_season_test.cpp checks them.
struct RealisticMarket
{
    /// Finishing orders: first place by the true chances p, second by p^trueLambda and third by
    /// p^trueTau among the horses left, the rest by p.
    double trueLambda = 0.88;
    double trueTau = 0.78;
    /// Share of races with a dead heat, for first, second or third place alike.
    double deadHeatRate = 0.01;
    /// Chance of each horse to be scratched after sales started (at most one a race, between 89
    /// and 2 minutes before the post time): the fetches before show its odds, the later ones
    /// "ﾄﾘｹｼ", and its tickets are refunded.
    double lateScratchRate = 0.003;

    /// The public's win beliefs. It estimates each chance with an error, p' = p · e^(winNoise · Z)
    /// with Z standard normal, and bets ln q = winCurvature · ln p' + tail(p') − dip(p'),
    /// normalised. Below the knee, tail(p') = winTailSlope · ln(winKnee / p') closes part of a
    /// longshot's distance to the knee: horses at odds of about 100 and more are over-bet (the
    /// favourite–longshot bias; JRA's 41% there). dip(p') = winMiddleDip · exp(−½ (ln(p' /
    /// winMiddleChance) / winMiddleWidth)²) under-bets the horses at odds of 10 to 20 a little
    /// (JRA's 86% there). The error makes the win odds a worse forecast of the first two than
    /// the quinella pool (JRA: by 0.03 to 0.06 nats a race).
    double winCurvature = 0.966;
    double winNoise = 0.22;
    double winKnee = 0.0087;
    double winTailSlope = 0.72;
    double winMiddleDip = 0.10;
    double winMiddleChance = 0.052;
    double winMiddleWidth = 0.25;
    /// The place pool likewise, with its own error, from the Harville place chances of its
    /// beliefs.
    double placeCurvature = 0.966;
    double placeNoise = 0.22;
    double placeKnee = 0.0087;
    double placeTailSlope = 0.5;
    /// The quinella pool from the true chances P of finishing first and second, estimated with
    /// an error as the win chances are: ln w = quinellaCurvature · ln P' + tail(P'), normalised.
    /// Its tail over-bets the unlikely pairs, so that flat betting on every pair returns about
    /// 60% (JRA: 60.5%).
    double quinellaCurvature = 0.97;
    double quinellaNoise = 0.03;
    double quinellaKnee = 0.004;
    double quinellaTailSlope = 0.33;
    /// The wide pool likewise from the true chances of both finishing in the first three.
    double wideCurvature = 0.92;
    double wideNoise = 0.12;
    double wideKnee = 0.01;
    double wideTailSlope = 0.30;
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
