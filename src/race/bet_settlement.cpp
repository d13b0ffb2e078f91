// SPDX-License-Identifier: MIT
#include "bet_settlement.h"

#include <algorithm>
#include <map>

#include <QDir>

#include "archive/odds_archive.h"
#include "base/cell.h"
#include "base/message_sink.h"
#include "base/number_text.h"
#include "base/texts.h"
#include "pat/folder_index.h"
#include "pat/quinella_odds.h"
#include "pat/race_result.h"
#include "pat/win_place_odds.h"

using namespace Qt::StringLiterals;

namespace {

template<std::size_t N, int W>
qint64 paidPer100(const std::array<PayoutSlot<W>, N>& slots, QStringView label, bool& any)
{
    qint64 yen = 0;
    for (const auto& slot : slots) {
        const QStringView key = slot.betKey.view().trimmed();
        if (key.isEmpty()) {
            continue;
        }
        any = true;
        if (key == label) {
            yen += qRound64(numericValue(slot.payout.view()));
        }
    }
    return yen;
}

// A result without the win's payout is not final yet (a file caught before its payouts).
bool listsPayouts(const RaceResultRecord& result)
{
    return std::any_of(result.winPayouts.begin(), result.winPayouts.end(), [](const auto& slot) {
        return !slot.betKey.view().trimmed().isEmpty();
    });
}

bool scratched(const WinPlaceOddsRecord& odds, int horse)
{
    return horse >= 1 && horse <= static_cast<int>(odds.horses.size())
           && odds.horse(horse).winOdds.view().trimmed() == Texts::scratched();
}

} // namespace

std::optional<BetSettlement>
settlementOf(const LedgerBet& bet, const RaceResultRecord& result, const WinPlaceOddsRecord& odds)
{
    BetSettlement out;
    if (scratched(odds, bet.first) || scratched(odds, bet.second)) {
        out.refund = bet.stake;
        return out;
    }
    if (!listsPayouts(result)) {
        return std::nullopt;
    }
    const QString label = Cell::pairLabel(bet.first, bet.second).textValue().trimmed().toString();
    bool any = false;
    const qint64 per100 = bet.bet == BetType::Quinella
                              ? paidPer100(result.quinellaPayouts, label, any)
                              : paidPer100(result.widePayouts, label, any);
    if (!any) {
        out.refund = bet.stake;
        return out;
    }
    out.payout = per100 * (bet.stake / 100);
    return out;
}

double
pairOddsOf(const LedgerBet& bet, const WinPlaceOddsRecord& win, const QuinellaOddsRecord& pairs)
{
    if (bet.first < 1 || bet.second <= bet.first || bet.second > kMaxRunners
        || scratched(win, bet.first) || scratched(win, bet.second)) {
        return 0.0;
    }
    const QuinellaPairEntry& pair = pairs.pair(bet.first, bet.second);
    const double odds = bet.bet == BetType::Quinella ? numericValue(pair.quinellaOdds.view())
                                                     : numericValue(pair.wideOddsMin.view());
    return odds > 0.0 ? odds : 0.0;
}

double shownOddsOf(const OddsArchive& archive, const LedgerBet& bet)
{
    const auto odds = archive.lastAtOrBefore(bet.race, bet.placed);
    return odds ? pairOddsOf(bet, odds->win, *odds->pairs) : 0.0;
}

LedgerSettling settleLedger(OddsArchive& archive, const QStringList& folders, const QDateTime& now)
{
    LedgerSettling report;
    BetLedger ledger(archive);
    std::map<QString, std::vector<LedgerBet>> byRace;
    for (LedgerBet& bet : ledger.openBets()) {
        byRace[bet.race].push_back(std::move(bet));
    }
    if (byRace.empty()) {
        return report;
    }
    std::vector<std::pair<qint64, BetSettlement>> settled;
    NullMessageSink sink;
    for (const QString& folder : folders) {
        if (byRace.empty()) {
            break;
        }
        const auto index = FolderIndex::read(folder, [](const QString& name) {
            return name.startsWith(u"Zo-"_s, Qt::CaseInsensitive)
                   || name.startsWith(u"Uo-"_s, Qt::CaseInsensitive)
                   || name.startsWith(u"Ks-"_s, Qt::CaseInsensitive);
        });
        if (!index) {
            continue;
        }
        for (auto it = byRace.begin(); it != byRace.end();) {
            const auto zo = index->find(index->prefix() + it->first);
            const auto ks
                = zo && !zo->first.isEmpty() ? index->resultPathOf(zo->first) : std::nullopt;
            RaceResultRecord result;
            WinPlaceOddsRecord win;
            if (!ks || ks->isEmpty() || !readRaceResultFile(*ks, result) || !listsPayouts(result)
                || !readWinPlaceOddsFile(zo->first, win, sink)) {
                ++it;
                continue;
            }
            // The close: the last snapshot before the post time, else the files now.
            std::optional<ArchivedOdds> close;
            if (const auto race = archive.race(it->first)) {
                close = archive.lastAtOrBefore(it->first, race->post.isValid() ? race->post : now);
            }
            auto pairs = std::make_unique<QuinellaOddsRecord>();
            const auto uo = index->find(quinellaOddsPathOf(zo->first));
            const bool filesRead
                = uo && !uo->first.isEmpty() && readQuinellaOddsFile(uo->first, *pairs, sink);
            for (const LedgerBet& bet : it->second) {
                BetSettlement s = *settlementOf(bet, result, win);
                s.settled = now;
                s.closing = close       ? pairOddsOf(bet, close->win, *close->pairs)
                            : filesRead ? pairOddsOf(bet, win, *pairs)
                                        : 0.0;
                settled.emplace_back(bet.id, s);
                ++report.settled;
            }
            it = byRace.erase(it);
        }
    }
    for (const auto& [race, bets] : byRace) {
        report.waiting += static_cast<int>(bets.size());
    }
    if (!ledger.settle(settled, report.error)) {
        report.waiting += report.settled;
        report.settled = 0;
    }
    return report;
}
