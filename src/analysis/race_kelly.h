// SPDX-License-Identifier: MIT
#pragma once

#include <span>
#include <vector>

#include "analysis/backtest_evidence.h"
#include "base/bet_type.h"

class OrderingModel;

/// The Kelly fractions of wealth for one race's bets of one bet type, in the bets' order: their
/// chances from `model` (quinella: both first two, exclusive; wide: the top threes, which pay up
/// to three pairs together) against their shown actual odds. `quinellaChances`, when given,
/// holds the quinella chances by pair number (pairIndex) in place of the model's (the market
/// blend's, which gives no chances of whole top threes).
std::vector<double> raceKellyFractions(BetType bet,
                                       const OrderingModel& model,
                                       int runners,
                                       std::span<const BetRecord> bets,
                                       std::span<const double> quinellaChances = {});
