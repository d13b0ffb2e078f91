// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

class HorseTable;
class PairList;
struct RaceResultRecord;

/// The recommended bets: in pair order, every pair whose quinella deviation is 0 or more and
/// whose actual quinella odds lie in [lo, hi), the window of width 10 centred on
/// (favourite's win odds − 1) × 10. "該当無し" and "見送りレース" when none qualifies.
QStringList listRecommendedBets(const HorseTable& table, const PairList& quinella);

/// Marks one wide payout of the result: the pair's label cells in both lists turn red (the first
/// payout) or green, and a recommended bet of that pair gets "◎" or "○".
void markResultHit(
    const QString& label, bool first, PairList& quinella, PairList& wide, QStringList& bets);

/// Marks every wide payout of a read result, the first in red, the others in green.
void markResultHits(const RaceResultRecord& result,
                    PairList& quinella,
                    PairList& wide,
                    QStringList& bets);
