// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/backtest_evidence.h"

/// How much a group's return rate and excess would vary if every bet won with the chance its odds
/// imply. A bootstrap of the hits that came sees only the payouts that came: with a few long-odds
/// hits it is far too narrow. The market's chances know the payouts that did not come.
///
/// A bet's chance is its share of the race's inverse odds, times the winners its type pays (one
/// quinella pair, three wide pairs); what it pays on a hit is the season's mean return divided by
/// that chance, so every bet's expected return is the season's (for wide this stands in for the
/// payout above the shown low end). Quinella pairs of a race exclude each other; two wide pairs
/// are paid together only when they share a horse and the third horse places with them.
struct MarketSpread
{
    double mean = 0; ///< the season's mean return, percent: each bet's expected return
    /// Σ E[X²] / n² over the group's bets, with (wide) E[X·X'] of its pairs sharing a horse:
    /// Var(rate) = θ·linear − θ²·square
    double linear = 0;
    double square = 0;    ///< Σ over races of (Σ E[X])² / n²
    double excessVar = 0; ///< the variance of the excess over the odds-matched baseline
};

/// Per group (index as the groups' bits in BetRecord), for the races' bets of one bet type in
/// `bins`; empty when no bet won anything (no chance to scale).
std::optional<std::array<MarketSpread, kBacktestGroups>>
marketSpreadOf(const std::vector<RaceBets>& races, BetType bet, const OddsBins& bins);

/// The z of a two-sided 95% interval.
inline constexpr double kZ95 = 1.959964;

/// A group with fewer hits than this is, more often than not, a group that expected more and was
/// unlucky, and its rate rests on a handful of payouts: the market's part of its interval is
/// taken at z = 3 (1.96 elsewhere). On realistic seasons of 288 course-days the 99% of z 2.576
/// still left such groups' true rate out in 2 of 51.
inline constexpr qint64 kFewHits = 10;

/// The z of the market's part of an interval for a group with `hits`.
double marketZ(qint64 hits);

/// The score interval of a group's expected return rate (percent) given its observed `rate`:
/// every T = θ·mean with (rate − T)² ≤ z²·Var(θ), the variance growing with the return as a
/// count of rare hits does. Skewed as such a count is, it stays honest with few hits. Empty
/// where the spread is degenerate.
std::optional<std::pair<double, double>>
scoreInterval(double rate, const MarketSpread& spread, double z = kZ95);

/// The variance (percent²) of each group's 先読み差 (the return rate of the bets judged on the
/// files less that of those judged at earlier odds, over the same races and results) under the
/// market's chances at the files' odds. Races and pairs as the two judgements listed them; a
/// pair in both judgements' group cancels.
std::array<double, kBacktestGroups> lookaheadVarianceOf(const std::vector<RaceBets>& onFiles,
                                                        const std::vector<RaceBets>& early,
                                                        BetType bet);
