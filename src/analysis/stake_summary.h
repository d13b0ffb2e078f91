// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <span>
#include <vector>

#include <QtGlobal>

#include "analysis/backtest_evidence.h"

/// What one race staked and returned in all, in yen (0 and 0 for a race not bet).
struct RaceStake
{
    qint64 stake = 0;
    qint64 returns = 0;
};

/// The bankroll over a run of races, whatever set the stakes (Kelly fractions or flat 100 yen).
struct StakeSummary
{
    qint64 racesBet = 0; ///< races with a stake > 0
    qint64 stakes = 0;
    qint64 returns = 0;
    qint64 finalBankroll = 0;
    /// Mean of ln(B_after / B_before) over the races bet; empty when no race was bet or some
    /// bankroll before or after a race bet was not positive (flat stakes can go past ruin).
    std::optional<double> logGrowthPerRace;
    /// The largest fall from the running peak (the starting bankroll included), in yen and, as
    /// a separate maximum, in percent of that peak (0 while the peak is not positive).
    qint64 maxDrawdownYen = 0;
    double maxDrawdownPercent = 0.0;
    /// The most races bet in a row that returned less than their stake; races not bet neither
    /// end nor lengthen a run.
    int longestLosingRun = 0;
    /// On r = (B_after − B_before) / B_before per race bet: mean / sample standard deviation,
    /// and mean / √(mean of min(r, 0)²). Empty where the ratio is undefined (too few races, no
    /// spread, no loss, a bankroll before a bet that was not positive).
    std::optional<double> sharpe;
    std::optional<double> sortino;
    std::vector<qint64> bankrollCurve; ///< after each race, bet or not
};

/// Runs the races in order from `startingBankroll`: B_after = B_before − stake + returns.
StakeSummary summariseStakes(std::span<const RaceStake> races, qint64 startingBankroll);

/// One Kelly stake as it was placed: its race and bet (indices into the season), the bankroll
/// before the race, the stake and what it returned, in yen.
struct PlacedStake
{
    std::size_t race = 0;
    std::size_t bet = 0;
    qint64 bankroll = 0;
    qint64 yen = 0;
    qint64 returns = 0;
};

/// The bankroll race by race, in the season's order, from `bankroll`. Without `fractions`,
/// flat: 100 yen on every bet (the group 全). With them, each race's Kelly fractions of its bets
/// times `kellyFraction` of the bankroll before the race (stakesInYen), every stake placed being
/// added to `placed` when given.
StakeSummary stakeSeason(const BetTypeSeason& season,
                         const std::vector<std::vector<double>>* fractions,
                         qint64 bankroll,
                         double kellyFraction,
                         std::vector<PlacedStake>* placed = nullptr);
