// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <span>
#include <vector>

#include "analysis/backtest_evidence.h"
#include "base/bet_type.h"

class HorseTable;
class OrderingModel;
struct ModelSettings;
struct QuinellaOddsRecord;

/// The Kelly fractions of wealth for one race's bets of one bet type, in the bets' order: their
/// chances from `model` (quinella: both first two, exclusive; wide: the top threes, which pay up
/// to three pairs together) against their shown actual odds. `quinellaChances`, when given,
/// holds the quinella chances by pair number (pairIndex) in place of the model's (the market
/// blend's, which gives no chances of whole top threes).
/// `gap`, when given, receives how far the wide solver's growth may lie below the optimum (0
/// for quinella's closed form).
std::vector<double> raceKellyFractions(BetType bet,
                                       const OrderingModel& model,
                                       int runners,
                                       std::span<const BetRecord> bets,
                                       std::span<const double> quinellaChances = {},
                                       double* gap = nullptr);

/// A race's Kelly fractions of both bet types' bets, in their order, and the odds each bet is
/// staked at: those it is sure to be paid at if it wins (quinella the shown odds, wide the low
/// end of its range).
struct RaceKelly
{
    std::array<std::vector<double>, 2> fractions;
    std::array<std::vector<float>, 2> odds;
    /// The wide stakes' growth may lie this far below the optimum (kKellyGapTolerance at most
    /// when the solver reached it).
    double wideGap = 0.0;
};

/// The Kelly fractions of a race's bets under the settings' theory model: the discounted model
/// when chosen, otherwise Harville's on the win odds; under the blend its quinella chances, and
/// for wide (whose bets pay together by top threes) its model source, the discounted model.
/// Only the bet types `wanted` are staked. `chances`, when given, receives every bet's chance
/// as the stakes take it (quinella the blend's or the ordering model's chance of the first two,
/// wide the ordering model's of both in the first three), and `odds` is then filled for every
/// bet, staked or not.
RaceKelly raceKelly(const HorseTable& table,
                    const QuinellaOddsRecord& odds,
                    const ModelSettings& model,
                    const std::array<RaceBets, 2>& bets,
                    std::array<bool, 2> wanted,
                    std::array<std::vector<double>, 2>* chances = nullptr);
