// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QString>
#include <QtGlobal>

#include "base/bet_type.h"

/// The groups of pairs a backtest reports, in their order: every bet, the five judgement levels,
/// the unmarked bets, six bands of the shown deviation, and (wide only) the recommended bets.
enum class BacktestGroup {
    All,
    Level1,
    Level2,
    Level3,
    Level4,
    Level5,
    Unmarked,
    DeviationBelowMinus50,
    DeviationMinus50ToMinus20,
    DeviationMinus20To0,
    Deviation0To20,
    Deviation20To50,
    DeviationFrom50,
    Recommended,
};
inline constexpr int kBacktestGroups = 14;

/// How many groups a bet type reports (the recommended bets are wide bets only).
constexpr int backtestGroupCount(BetType bet)
{
    return bet == BetType::Wide ? kBacktestGroups : kBacktestGroups - 1;
}

/// The group's name as the reports write it ("全", "L1", "無印", "D<-50", "推奨", …).
QString backtestGroupName(int group);

/// The deviation band of a deviation shown with one decimal, given in tenths ("-0.0" is 0).
BacktestGroup deviationBand(qint64 tenths);

/// What betting 100 yen on each pair of one group returned in one race.
struct GroupTally
{
    qint32 bets = 0;
    qint32 hits = 0;
    qint64 returns = 0; ///< yen
};

/// One counted race of one bet type: its groups' tallies.
using RaceTally = std::array<GroupTally, kBacktestGroups>;

/// One line of a backtest summary.
struct GroupSummary
{
    qint64 races = 0;
    qint64 bets = 0;
    qint64 hits = 0;
    qint64 stake = 0;   ///< 100 yen a bet
    qint64 returns = 0; ///< yen
    /// Rates in tenths of a percent, rounded halves away from zero on the exact fraction;
    /// empty when the group has no bet (or, for the bounds, no resample holds one).
    std::optional<qint64> hitRate;
    std::optional<qint64> returnRate;
    std::optional<qint64> returnRateLower;
    std::optional<qint64> returnRateUpper;
    /// The largest fall of the cumulative profit from an earlier peak (the series starts at 0).
    qint64 maxDrawdown = 0;
    /// The odds-matched baseline's return rate and the excess over it, in tenths; the excess's
    /// bounds (shown only with enough hits); bets needed for a ±10-point interval.
    std::optional<qint64> baselineRate;
    std::optional<qint64> excess;
    std::optional<qint64> excessLower;
    std::optional<qint64> excessUpper;
    std::optional<qint64> betsNeeded;
};

inline constexpr int kBootstrapResamples = 2000;

/// The cumulative profit (returns − stake) of one group after each race.
std::vector<qint64> cumulativeProfit(const std::vector<RaceTally>& races, int group);

/// `part` / `whole` × 100 in tenths, rounded halves away from zero; `whole` > 0, `part` ≥ 0.
qint64 percentTenths(qint64 part, qint64 whole);

/// Tenths as a text with one decimal ("77.5").
QString tenthsText(qint64 tenths);
