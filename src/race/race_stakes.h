// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "analysis/backtest_evidence.h"
#include "base/bet_type.h"
#include "race/model_fit.h"
#include "settings/model_settings.h"
#include "settings/stake_settings.h"

class PairList;
struct PairRow;
class RaceDisplay;

/// Whether a pair of a list is a bet: it has actual odds and is not scratched.
bool isBetRow(const PairRow& row);
/// The bets of a list in its row order (odds as shown, no payouts).
RaceBets betsOfList(const PairList& list);

/// One bet of the race: the model's chance, the odds a stake would be paid at (quinella the
/// shown odds, wide the low end of its range), chance × odds, and the stake in yen.
struct PairValue
{
    int first = 0;
    int second = 0;
    double chance = 0.0;
    float odds = 0.0F;
    double value = 0.0;
    qint64 stake = 0;
};

/// The values of the race's bets of both bet types. Stakes are made only for the bet types
/// whose reason is empty; chances and values are shown whenever there is a model.
struct RaceStakes
{
    std::array<std::vector<PairValue>, 2> pairs; ///< in the lists' row order when made
    std::array<QString, 2> reason;               ///< why a bet type has no stakes
    QString modelLine;                           ///< the line above the lists
    QString modelDetails;                        ///< the same with the gains' intervals

    /// The pair's value; null when it is no bet.
    const PairValue* find(BetType bet, int first, int second) const;
    /// The pair with the highest expected value; null when there is none.
    const PairValue* best(BetType bet) const;
    qint64 totalStake() const;
};

/// Every bet of the race shown under `model`: chances as raceKelly() uses them and, for the bet
/// types `staked`, Kelly × `kellyFraction` × `bankroll` floored to 100 yen (stakesInYen), each
/// bet type from the whole bankroll, as the backtest stakes them.
RaceStakes stakeRace(const RaceDisplay& display,
                     const ModelSettings& model,
                     std::array<bool, 2> staked,
                     qint64 bankroll,
                     double kellyFraction);

/// The race's stakes under the settings' choice and the window's fit, with the reasons and the
/// model line; `noFit` says why there is no fit, when it is known.
RaceStakes raceStakesOf(const RaceDisplay& display,
                        const StakeSettings& settings,
                        const std::optional<ModelFit>& fit,
                        const QString& noFit = {});

/// For `stakes --json`: {file, model, bankroll, kelly, reasons, value: [{bet, pair, chance,
/// odds, ev, stake}]}, the pairs with a stake.
QByteArray
raceStakesJson(const RaceStakes& stakes, const QString& file, const StakeSettings& settings);
/// The value list of stakes as JSON objects {bet, pair, chance, odds, ev, stake}, for the
/// board and the command.
class QJsonArray;
QJsonArray stakedPairsJson(const RaceStakes& stakes);
/// The stakes as a table for reading.
QString raceStakesText(const RaceStakes& stakes);
