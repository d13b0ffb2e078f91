// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

class HorseTable;
class PairGridModel;
struct RaceResultRecord;

/// The recommended bets: in pair order, every pair whose quinella deviation is 0 or more and
/// whose actual quinella odds lie in [lo, hi), the window of width 10 centred on
/// (favourite's win odds − 1) × 10. "該当無し" and "見送りレース" when none qualifies.
QStringList listRecommendedBets(const HorseTable& table, const PairGridModel& quinella);

/// Marks one wide payout of the result: the pair's label cells in both lists turn red (the first
/// payout) or green, and a recommended bet of that pair gets "◎" or "○".
void markResultHit(const QString& label,
                   bool first,
                   PairGridModel& quinella,
                   PairGridModel& wide,
                   QStringList& bets);

/// Marks every wide payout of a read result, the first in red, the others in green.
void markResultHits(const RaceResultRecord& result,
                    PairGridModel& quinella,
                    PairGridModel& wide,
                    QStringList& bets);
