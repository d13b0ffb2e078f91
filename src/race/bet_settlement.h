// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QDateTime>
#include <QStringList>

#include "archive/bet_ledger.h"

class OddsArchive;
struct ArchivedOdds;
struct RaceResultRecord;
struct WinPlaceOddsRecord;
struct QuinellaOddsRecord;

/// What a race's result pays `bet`, as JRA pays it: the whole stake back when a horse of the
/// pair did not start (its win odds read ﾄﾘｹｼ in `odds`) or the result lists no payout of the bet
/// type though it lists the win's (the pool void); else every slot of the result that names the
/// pair pays its yen per 100 (a dead heat lists each combination it pays at its own price).
/// Empty while the result lists no payout at all: it is not final yet.
std::optional<BetSettlement>
settlementOf(const LedgerBet& bet, const RaceResultRecord& result, const WinPlaceOddsRecord& odds);

/// The odds a bet's pair shows in a set of odds records (wide: the low end); 0 for none.
double
pairOddsOf(const LedgerBet& bet, const WinPlaceOddsRecord& win, const QuinellaOddsRecord& pairs);

/// The odds the archive showed for the bet's pair when it was placed (its last snapshot at or
/// before then); 0 when it holds none.
double shownOddsOf(const OddsArchive& archive, const LedgerBet& bet);

/// What a settling run did.
struct LedgerSettling
{
    int settled = 0; ///< bets settled now
    int waiting = 0; ///< open bets whose result is not there yet
    QString error;   ///< the failure that stopped it (nothing stored)
};

/// Settles the open bets whose race's result file is in one of `folders`, in one transaction,
/// at `now`. Each bet's closing odds are its race's last archived snapshot at or before the post
/// time (the last one when the post time is unknown), else the race's files as they are now.
/// Bets settled already are left as they are, so that a second run changes nothing.
LedgerSettling settleLedger(OddsArchive& archive, const QStringList& folders, const QDateTime& now);
