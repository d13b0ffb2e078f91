// SPDX-License-Identifier: MIT
#include "race_replay.h"

#include <QFileInfo>

#include "analysis/pair_judgement.h"
#include "archive/odds_archive.h"
#include "base/number_text.h"
#include "pat/folder_index.h"
#include "pat/pat_names.h"
#include "pat/race_result.h"
#include "race/csv_writer.h"
#include "race/race_display.h"
#include "race/race_stakes.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

// The payout keys of one bet type: (trimmed key, yen).
using Payouts = std::vector<std::pair<QString, qint64>>;

template<std::size_t N, int W>
Payouts payoutsOf(const std::array<PayoutSlot<W>, N>& slots)
{
    Payouts payouts;
    for (const auto& slot : slots) {
        const QString key = slot.betKey.trimmed().toString();
        if (!key.isEmpty()) {
            payouts.emplace_back(key, qRound64(numericValue(slot.payout.view())));
        }
    }
    return payouts;
}

void add(GroupTally& tally, qint64 payout, bool hit)
{
    ++tally.bets;
    tally.hits += hit ? 1 : 0;
    tally.returns += payout;
}

// Sums one bet type of one race and, when asked, writes its pairs' lines.
void tallyRace(const RaceDisplay& display,
               BetType bet,
               const Payouts& payouts,
               const QString& zoName,
               RaceTally& tally,
               RaceBets& bets,
               PairLines* pairs)
{
    const PairList& list = display.pairList(bet);
    const auto payoutOf = [&payouts](QStringView label, bool* hit) {
        qint64 yen = 0;
        *hit = false;
        for (const auto& [key, amount] : payouts) {
            if (key == label) {
                *hit = true;
                yen += amount; // a dead heat pays every matching slot
            }
        }
        return yen;
    };
    const QString name = betName(bet);
    std::vector<int> recordOfRow(list.rows().size(), -1);
    CsvBytes lines;
    for (std::size_t r = 0; r < list.rows().size(); ++r) {
        const PairRow& row = list.rows()[r];
        const QStringView label = row[LabelColumn].textValue().trimmed();
        bool hit = false;
        const qint64 payout = payoutOf(label, &hit);
        const bool betRow = isBetRow(row);
        if (pairs != nullptr) {
            CsvLine(lines)
                .text(zoName)
                .text(name)
                .cellText(row[LabelColumn])
                .single(row[TheoreticalColumn])
                .single(row[ActualColumn])
                .single(row[DeviationColumn])
                .single(row[SupportRatioColumn])
                .cellText(row[MarkColumn])
                .cellText(row[PopularityColumn])
                .integer(hit ? 1 : 0)
                .integer(payout);
            pairs->odds.push_back(betRow ? static_cast<float>(row[ActualColumn].shownValue())
                                         : 0.0F);
            pairs->bet.push_back(static_cast<quint8>(betIndex(bet)));
        }
        if (!betRow) {
            continue;
        }
        const int pair = Cell::pairOfLabel(label);
        BetRecord record{static_cast<float>(row[ActualColumn].shownValue()),
                         static_cast<qint32>(payout),
                         0,
                         static_cast<quint8>(pair / 100),
                         static_cast<quint8>(pair % 100)};
        const auto group = [&tally, &record](BacktestGroup g) -> GroupTally& {
            record.groups |= static_cast<quint16>(1U << static_cast<int>(g));
            return tally[static_cast<std::size_t>(g)];
        };
        add(group(BacktestGroup::All), payout, hit);
        const int level = row.level; // 1 to 5; 0 when no level matched
        add(level > 0 ? group(
                static_cast<BacktestGroup>(static_cast<int>(BacktestGroup::Level1) + level - 1))
                      : group(BacktestGroup::Unmarked),
            payout,
            hit);
        if (const auto deviation = row[DeviationColumn].shownUnits()) {
            add(group(deviationBand(*deviation)), payout, hit);
        }
        recordOfRow[r] = static_cast<int>(bets.size());
        bets.push_back(record);
    }
    if (pairs != nullptr) {
        // Line ends, found once: the lines of one race are a few kilobytes.
        const QByteArray bytes = lines.take();
        for (qsizetype at = bytes.indexOf("\r\n"); at >= 0; at = bytes.indexOf("\r\n", at + 2)) {
            pairs->ends.push_back(static_cast<qint32>(pairs->bytes.size() + at));
        }
        pairs->bytes += bytes;
    }
    if (bet != BetType::Wide) {
        return;
    }
    // The recommended bets, their hit marks taken off, bet as wide.
    for (QString entry : display.recommendedBetLines()) {
        while (entry.endsWith(u'◎') || entry.endsWith(u'○')) {
            entry.chop(1);
        }
        const QStringView label = QStringView(entry).trimmed();
        if (Cell::pairOfLabel(label) == 0) {
            continue; // "該当無し", "見送りレース"
        }
        for (std::size_t r = 0; r < list.rows().size(); ++r) {
            const PairRow& row = list.rows()[r];
            if (row[LabelColumn].textValue().trimmed() != label) {
                continue;
            }
            if (isBetRow(row)) {
                bool hit = false;
                const qint64 payout = payoutOf(row[LabelColumn].textValue().trimmed(), &hit);
                add(tally[static_cast<std::size_t>(BacktestGroup::Recommended)], payout, hit);
                bets[static_cast<std::size_t>(recordOfRow[r])].groups
                    |= static_cast<quint16>(1U << static_cast<int>(BacktestGroup::Recommended));
            }
            break;
        }
    }
}

} // namespace

Worker::Worker() = default;
Worker::~Worker() = default;

RaceOutcome replay(Worker& worker, const RaceJob& job, bool withPairs)
{
    RaceOutcome outcome;
    const FolderIndex& folder = *job.folder;
    const RaceFolderListing listing = folder.listingOf(job.path);

    const auto skipBoth = [&outcome](SkipCause cause) {
        outcome.skip[0] = cause;
        outcome.skip[1] = cause;
        return outcome;
    };
    RaceDisplay& display = *worker.display;
    std::optional<ArchivedOdds> snapshot;
    if (worker.atMinutes) {
        const auto race = worker.archive ? worker.archive->race(job.name) : std::nullopt;
        if (race && race->post.isValid()) {
            snapshot = worker.archive->lastAtOrBefore(job.name,
                                                      race->post.addSecs(-60 * *worker.atMinutes));
        }
        if (!snapshot) {
            return skipBoth(SkipCause::NoSnapshot);
        }
    }
    if (snapshot ? !display.loadAt(job.path, listing, *snapshot)
                 : !display.load(job.path, listing)) {
        return skipBoth(SkipCause::ZoUnreadable);
    }
    const bool uoExists = listing.siblingsFound ? !listing.uoPath.isEmpty()
                                                : QFileInfo(quinellaOddsPathOf(job.path)).isFile();
    if (!uoExists) {
        return skipBoth(SkipCause::NoUo);
    }
    if (!display.quinellaOddsRead()) {
        return skipBoth(SkipCause::UoUnreadable);
    }
    if (listing.resultPath.isEmpty()) {
        return skipBoth(SkipCause::NoKs);
    }
    const RaceResultRecord* result = display.raceResult();
    if (result == nullptr) {
        return skipBoth(SkipCause::KsUnreadable);
    }
    outcome.day = display.meeting();
    PairLines* pairs = withPairs ? &outcome.pairs : nullptr;
    const Payouts quinella = payoutsOf(result->quinellaPayouts);
    const Payouts wide = payoutsOf(result->widePayouts);
    if (quinella.empty()) {
        outcome.skip[0] = SkipCause::NoQuinellaPayout;
    } else {
        tallyRace(display,
                  BetType::Quinella,
                  quinella,
                  job.name,
                  outcome.tally[0],
                  outcome.bets[0],
                  pairs);
    }
    if (wide.empty()) {
        outcome.skip[1] = SkipCause::NoWidePayout;
    } else {
        tallyRace(display, BetType::Wide, wide, job.name, outcome.tally[1], outcome.bets[1], pairs);
    }
    if (worker.kelly) {
        outcome.kelly
            = raceKelly(display.horseTable(),
                        display.quinellaOdds(),
                        job.model != nullptr ? *job.model : *worker.kelly,
                        outcome.bets,
                        {!outcome.skip[0] && job.open[0], !outcome.skip[1] && job.open[1]});
    }
    if (snapshot && display.load(job.path, listing)) {
        // The same race judged on the odds its files hold, for the difference.
        for (const BetType bet : kBetTypes) {
            const auto b = betIndex(bet);
            if (!outcome.skip[b]) {
                tallyRace(display,
                          bet,
                          bet == BetType::Quinella ? quinella : wide,
                          job.name,
                          outcome.fileTally[b],
                          outcome.fileBets[b],
                          nullptr);
            }
        }
    }
    return outcome;
}
