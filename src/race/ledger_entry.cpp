// SPDX-License-Identifier: MIT
#include "ledger_entry.h"

#include <cmath>

#include <QFileInfo>

#include "analysis/pair_judgement.h"
#include "archive/odds_archive.h"
#include "race/archive_files.h"
#include "race/race_display.h"
#include "race/race_stakes.h"

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kUnitStake = 100;

LedgerBet betOf(const QString& zoPath, BetType bet, int first, int second, const QDateTime& now)
{
    LedgerBet b;
    b.placed = now;
    b.race = QFileInfo(zoPath).fileName();
    b.bet = bet;
    b.first = first;
    b.second = second;
    return b;
}

// Odds as the files write them, to a tenth: the lists hold them in single precision, and a
// bet at the closing price must compare equal with it, not a hair above or below.
double tenths(double odds)
{
    return std::round(odds * 10.0) / 10.0;
}

void takeValue(LedgerBet& bet, const PairValue& value, StakeModel model)
{
    bet.model = stakeModelKey(model);
    bet.chance = value.chance;
    bet.ev = value.value;
    bet.odds = tenths(value.odds);
}

} // namespace

std::optional<LedgerBet> ledgerBetOfPair(const RaceDisplay& display,
                                         const RaceStakes& stakes,
                                         StakeModel model,
                                         BetType bet,
                                         int pairIndex,
                                         const QDateTime& now)
{
    if (display.currentFile().isEmpty() || pairIndex < 0) {
        return std::nullopt;
    }
    const PairRow* row = nullptr;
    for (const PairRow& r : display.pairList(bet).rows()) {
        if (r[LabelColumn].pairIndex() == pairIndex) {
            row = &r;
            break;
        }
    }
    if (row == nullptr || !isBetRow(*row)) {
        return std::nullopt;
    }
    const int first = pairIndex / (kMaxRunners + 1);
    const int second = pairIndex % (kMaxRunners + 1);
    LedgerBet b = betOf(display.currentFile(), bet, first, second, now);
    // The quinella list shows the odds paid; a wide ticket is sure of the low end only.
    if (bet == BetType::Quinella) {
        b.odds = tenths((*row)[ActualColumn].shownValue());
    } else if (display.quinellaOddsRead()) {
        b.odds = tenths(wideLowOddsOf(display.quinellaOdds().pair(first, second)).value_or(0.0F));
    }
    b.stake = kUnitStake;
    if (const PairValue* value = stakes.find(bet, first, second)) {
        takeValue(b, *value, model);
        if (value->stake > 0) {
            b.stake = value->stake;
        }
    }
    return b;
}

std::vector<LedgerBet> ledgerBetsOfStakes(const QString& zoPath,
                                          const RaceStakes& stakes,
                                          StakeModel model,
                                          const QDateTime& now)
{
    std::vector<LedgerBet> bets;
    for (const BetType bet : kBetTypes) {
        for (const PairValue& value : stakes.pairs[betIndex(bet)]) {
            if (value.stake <= 0) {
                continue;
            }
            LedgerBet b = betOf(zoPath, bet, value.first, value.second, now);
            takeValue(b, value, model);
            b.stake = value.stake;
            bets.push_back(b);
        }
    }
    return bets;
}

bool recordLedgerBets(OddsArchive& archive,
                      const QString& zoPath,
                      const std::vector<LedgerBet>& bets,
                      QString& error)
{
    if (archive.isReadOnly()) {
        error = BetLedger::readOnlyText();
        return false;
    }
    if (!archive.race(QFileInfo(zoPath).fileName())) {
        if (archiveRaceFiles(archive, zoPath, error) == OddsArchive::Stored::Failed) {
            return false;
        }
    }
    return BetLedger(archive).add(bets, error).has_value();
}
