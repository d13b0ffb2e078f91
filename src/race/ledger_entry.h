// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <vector>

#include <QDateTime>
#include <QString>

#include "archive/bet_ledger.h"
#include "settings/stake_settings.h"

class OddsArchive;
class RaceDisplay;
struct RaceStakes;

/// The bet the pair `pairIndex` (Cell::pairIndex) of the race shown makes when recorded at
/// `now`: the stake shown for it (else 100 yen), the odds shown (wide: the low end), and the
/// model's chance and value when the stakes hold the pair. Empty when the pair is no bet (no
/// odds, scratched) or no race is shown.
std::optional<LedgerBet> ledgerBetOfPair(const RaceDisplay& display,
                                         const RaceStakes& stakes,
                                         StakeModel model,
                                         BetType bet,
                                         int pairIndex,
                                         const QDateTime& now);

/// The staked pairs (stake > 0) of the race whose Zo- file is `zoPath`, quinella first, as
/// bets recorded at `now`.
std::vector<LedgerBet> ledgerBetsOfStakes(const QString& zoPath,
                                          const RaceStakes& stakes,
                                          StakeModel model,
                                          const QDateTime& now);

/// Records `bets` of the race whose Zo- file is `zoPath` in one add(). A race the archive does
/// not know yet (opened from another folder) has its current files stored first, since the
/// ledger keys bets by the archive's races. False with `error` when nothing was recorded.
bool recordLedgerBets(OddsArchive& archive,
                      const QString& zoPath,
                      const std::vector<LedgerBet>& bets,
                      QString& error);
