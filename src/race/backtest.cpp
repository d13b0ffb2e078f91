// SPDX-License-Identifier: MIT
#include "backtest.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QThread>
#include <QThreadPool>

#include "analysis/kelly.h"
#include "analysis/ordering_model.h"
#include "analysis/pair_judgement.h"
#include "analysis/race_kelly.h"
#include "analysis/resampling.h"
#include "archive/odds_archive.h"
#include "base/file_failure.h"
#include "base/message_sink.h"
#include "base/number_text.h"
#include "pat/folder_index.h"
#include "pat/pat_file.h"
#include "pat/pat_names.h"
#include "pat/race_result.h"
#include "race/csv_writer.h"
#include "race/race_display.h"
#include "settings/model_settings.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

QString skipCauseText(SkipCause cause)
{
    switch (cause) {
    case SkipCause::ZoUnreadable:
        return u"Zo-が読めない"_s;
    case SkipCause::NoUo:
        return u"Uo-が無い"_s;
    case SkipCause::UoUnreadable:
        return u"Uo-が読めない"_s;
    case SkipCause::NoKs:
        return u"Ks-が無い"_s;
    case SkipCause::KsUnreadable:
        return u"Ks-が読めない"_s;
    case SkipCause::NoQuinellaPayout:
        return u"馬連の払戻が無い"_s;
    case SkipCause::NoWidePayout:
        return u"ﾜｲﾄﾞの払戻が無い"_s;
    case SkipCause::NoSnapshot:
        return u"その時刻のｵｯｽﾞの記録が無い"_s;
    }
    return {};
}

namespace {

// A race as its folder's listing found it.
struct RaceJob
{
    const FolderIndex* folder = nullptr;
    QString name;
    QString path;
};

// The pairs table's lines of one race, kept until the season's baselines are known: each
// line's end and the bet's odds (0 where the pair is no bet).
struct PairLines
{
    QByteArray bytes;
    std::vector<qint32> ends;
    std::vector<float> odds;
    std::vector<quint8> bet; // betIndex of each line
};

struct RaceOutcome
{
    std::optional<SkipCause> skip[2];
    RaceTally tally[2]{};
    std::array<RaceBets, 2> bets;
    std::array<std::vector<double>, 2> fractions; // Kelly's, per bet
    RaceTally fileTally[2]{};                     // with a snapshot: the race on its files
    QString day;                                  // the course-day: venue, meeting and day
    PairLines pairs;
};

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

// Whether a pair is a bet: it has actual odds and is not scratched.
bool isBet(const PairRow& row)
{
    const Cell& actual = row[ActualColumn];
    if (actual.showsNothing()) {
        return false;
    }
    const auto units = actual.shownUnits();
    return !(units && *units == kMissingTenths);
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
        const bool betRow = isBet(row);
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
            if (isBet(row)) {
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

// One worker's tools, made once per thread: a display and its settings store.
struct Worker
{
    std::unique_ptr<SettingsStore> settings;
    NullMessageSink sink;
    std::unique_ptr<RaceDisplay> display;
    std::optional<ModelSettings> kelly;   // the theory model, when stakes are Kelly's
    std::unique_ptr<OddsArchive> archive; // a connection of this thread's, with atMinutes
    std::optional<int> atMinutes;
};

// The Kelly fractions of the race's bets under the theory model: the discounted model when it
// is chosen, otherwise Harville's on the win odds; under the blend its quinella chances, and for
// wide (whose bets pay together by top threes) its model source, the discounted model.
void kellyFractions(const Worker& worker, RaceOutcome& outcome)
{
    const HorseTable& table = worker.display->horseTable();
    const int runners = table.getHorseCount();
    std::array<double, kMaxRunners + 1> winOdds{};
    for (int h = 1; h <= runners; ++h) {
        winOdds[static_cast<std::size_t>(h)] = table.winOdds(h);
    }
    const bool blend = worker.kelly->kind == TheoryModel::Blend;
    const bool discounted = worker.kelly->kind == TheoryModel::Discounted || blend;
    const auto chances = winChances(winOdds);
    const OrderingModel model(
        std::span<const double>(chances).first(static_cast<std::size_t>(runners) + 1),
        discounted ? worker.kelly->lambda : 1.0,
        discounted ? worker.kelly->tau : 1.0);
    std::array<double, kMaxPairs> blendChances{};
    if (blend) {
        blendPairChances(table,
                         worker.display->quinellaOdds(),
                         BetType::Quinella,
                         *worker.kelly,
                         model,
                         blendChances);
    }
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        const auto b = betIndex(bet);
        if (outcome.skip[b]) {
            continue;
        }
        outcome.fractions[b] = raceKellyFractions(bet,
                                                  model,
                                                  runners,
                                                  outcome.bets[b],
                                                  blend ? std::span<const double>(blendChances)
                                                        : std::span<const double>());
    }
}

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
        kellyFractions(worker, outcome);
    }
    if (snapshot && display.load(job.path, listing)) {
        // The same race judged on the odds its files hold, for the difference.
        RaceBets unused;
        for (const BetType bet : kBetTypes) {
            const auto b = betIndex(bet);
            if (!outcome.skip[b]) {
                tallyRace(display,
                          bet,
                          bet == BetType::Quinella ? quinella : wide,
                          job.name,
                          outcome.fileTally[b],
                          unused,
                          nullptr);
            }
        }
    }
    return outcome;
}

// A file of the run that could not be written, for the user; straight after the failed call,
// while the system's error number is still the failure's.
QString saveFailure(const QString& path, const QSaveFile& file)
{
    const int systemError = errno;
    return fileFailureLine(path,
                           fileProblemText(systemError, FileAccess::Write, file.errorString()));
}

QByteArray pairsHeading()
{
    CsvBytes out;
    CsvLine(out).texts({u"ファイル",
                        u"券種",
                        u"組番",
                        u"理論値",
                        u"実際値",
                        u"乖離％",
                        u"支持率",
                        u"判定",
                        u"人気",
                        u"的中",
                        u"払戻",
                        u"基準"});
    return out.take();
}

} // namespace

namespace {

// The races of some folders in Zo- name order (ordinal, ignoring case; the folders' order
// among equal names), and what replaying each gave.
struct Season
{
    std::vector<FolderIndex> folders;
    std::vector<RaceJob> jobs;
    std::vector<RaceOutcome> outcomes;
};

bool listSeason(const QStringList& folders, Season& season, QString* error)
{
    season.folders.reserve(static_cast<std::size_t>(folders.size()));
    for (const QString& folder : folders) {
        auto index = FolderIndex::read(folder);
        if (!index) {
            *error = u"フォルダがありません: %1"_s.arg(QDir::toNativeSeparators(folder));
            return false;
        }
        season.folders.push_back(std::move(*index));
    }
    for (const FolderIndex& folder : season.folders) {
        for (const QString& name : folder.raceNames()) {
            season.jobs.push_back(RaceJob{&folder, name, folder.prefix() + name});
        }
    }
    std::stable_sort(
        season.jobs.begin(), season.jobs.end(), [](const RaceJob& a, const RaceJob& b) {
            return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
        });
    return true;
}

// Replays every race of the season on all cores; `done` counts the races finished.
void replaySeason(Season& season,
                  const BacktestRequest& request,
                  bool withPairs,
                  bool kelly,
                  std::atomic<qint64>& done,
                  const std::function<void()>& progress,
                  const std::atomic<bool>* cancel)
{
    season.outcomes.assign(season.jobs.size(), RaceOutcome{});
    std::atomic<qint64> nextJob{0};
    QThreadPool pool;
    const int threads = qMax(1, QThread::idealThreadCount());
    pool.setMaxThreadCount(threads);
    for (int t = 0; t < threads; ++t) {
        pool.start([&] {
            Worker worker;
            worker.settings = SettingsStore::open(request.settingsFile);
            worker.display = std::make_unique<RaceDisplay>(*worker.settings, worker.sink);
            if (kelly) {
                worker.kelly = ModelSettings::read(*worker.settings);
            }
            if (request.atMinutes) {
                // A connection is the thread's own; the archive takes many readers.
                QString note;
                worker.atMinutes = request.atMinutes;
                worker.archive = OddsArchive::open(request.archivePath, note, true);
            }
            for (;;) {
                const qint64 i = nextJob.fetch_add(1);
                if (i >= static_cast<qint64>(season.jobs.size())
                    || (cancel != nullptr && cancel->load())) {
                    break;
                }
                season.outcomes[static_cast<std::size_t>(i)]
                    = replay(worker, season.jobs[static_cast<std::size_t>(i)], withPairs);
                done.fetch_add(1);
            }
        });
    }
    while (!pool.waitForDone(100)) {
        if (progress) {
            progress();
        }
    }
}

// The counted races of both bet types, their resampling units and summaries.
struct Counted
{
    std::array<BetTypeSeason, 2> season;
    std::array<QStringList, 2> raceFiles;
    std::array<std::vector<std::vector<double>>, 2> fractions;
    std::array<std::vector<RaceTally>, 2> fileTallies; // with a snapshot: on the files
    quint32 units = 0;
};

Counted countSeason(Season& season, ResampleUnit resample, BacktestReport* skips)
{
    Counted counted;
    QHash<QString, quint32> dayUnits;
    for (std::size_t i = 0; i < season.jobs.size(); ++i) {
        RaceOutcome& outcome = season.outcomes[i];
        bool counts = false;
        for (int b = 0; b < 2; ++b) {
            if (outcome.skip[b]) {
                const auto cause = static_cast<std::size_t>(*outcome.skip[b]);
                // A race skipped for both bet types for one cause is one race to report.
                if (skips == nullptr || (b == 1 && outcome.skip[0] == outcome.skip[1])) {
                    continue;
                }
                ++skips->skipped[cause];
                if (skips->firstSkipped[cause].size() < 10) {
                    skips->firstSkipped[cause] << season.jobs[i].name;
                }
                continue;
            }
            counts = true;
        }
        if (!counts) {
            continue;
        }
        quint32 unit = counted.units;
        if (resample == ResampleUnit::Day) {
            unit = dayUnits.value(outcome.day, counted.units);
            dayUnits.insert(outcome.day, unit);
        }
        counted.units = std::max(counted.units, unit + 1);
        for (std::size_t b = 0; b < 2; ++b) {
            if (outcome.skip[b]) {
                continue;
            }
            BetTypeSeason& type = counted.season[b];
            type.tallies.push_back(outcome.tally[b]);
            type.bets.push_back(std::move(outcome.bets[b]));
            type.unitOf.push_back(unit);
            counted.raceFiles[b] << season.jobs[i].name;
            counted.fractions[b].push_back(std::move(outcome.fractions[b]));
            counted.fileTallies[b].push_back(outcome.fileTally[b]);
        }
    }
    return counted;
}

// The bankroll race by race under the request's staking; Kelly's stakes, when asked, as CSV
// lines. Each bet type has a bankroll of its own.
StakeSummary
stakeSeason(const BacktestRequest& request, const Counted& counted, std::size_t b, CsvBytes* stakes)
{
    const BetTypeSeason& type = counted.season[b];
    std::vector<RaceStake> races;
    races.reserve(type.tallies.size());
    qint64 bankroll = request.bankroll;
    const QString name = betName(b == 0 ? BetType::Quinella : BetType::Wide);
    for (std::size_t r = 0; r < type.tallies.size(); ++r) {
        RaceStake race;
        if (request.stake == StakeRule::Flat) {
            const GroupTally& all = type.tallies[r][static_cast<std::size_t>(BacktestGroup::All)];
            race = RaceStake{qint64{100} * all.bets, all.returns};
        } else {
            const std::vector<double>& fractions = counted.fractions[b][r];
            // Kelly's stakes grow with the bankroll without end; no race's pool takes stakes
            // beyond ten billion yen, and the sums stay far inside 64 bits.
            constexpr qint64 kMaxStakedBankroll = 10'000'000'000;
            const std::vector<qint64> yen
                = stakesInYen(fractions,
                              std::clamp<qint64>(bankroll, 0, kMaxStakedBankroll),
                              request.kellyFraction);
            for (std::size_t k = 0; k < yen.size(); ++k) {
                if (yen[k] == 0) {
                    continue;
                }
                const BetRecord& bet = type.bets[r][k];
                const qint64 returns = yen[k] / 100 * bet.payout;
                race.stake += yen[k];
                race.returns += returns;
                if (stakes != nullptr) {
                    CsvLine(*stakes)
                        .text(counted.raceFiles[b][static_cast<qsizetype>(r)])
                        .text(name)
                        .text(u"%1-%2"_s.arg(bet.first).arg(bet.second))
                        .plain(QString::number(double(bet.odds), 'f', 1))
                        .plain(QString::number(fractions[k], 'f', 6))
                        .integer(bankroll)
                        .integer(yen[k])
                        .integer(returns);
                }
            }
        }
        bankroll += race.returns - race.stake;
        races.push_back(race);
    }
    return summariseStakes(races, request.bankroll);
}

// The pairs table with each bet's baseline return, in race order.
bool writePairs(QSaveFile& file, const Season& season, const std::array<OddsBins, 2>& bins)
{
    QByteArray out;
    for (const RaceOutcome& outcome : season.outcomes) {
        const PairLines& pairs = outcome.pairs;
        out.clear();
        qint32 from = 0;
        for (std::size_t k = 0; k < pairs.ends.size(); ++k) {
            out.append(pairs.bytes.constData() + from, pairs.ends[k] - from);
            out.append(',');
            if (pairs.odds[k] > 0) {
                out.append(
                    QByteArray::number(bins[pairs.bet[k]].baselineOf(pairs.odds[k]), 'f', 1));
            }
            out.append("\r\n");
            from = pairs.ends[k] + 2;
        }
        if (file.write(out) != out.size()) {
            return false;
        }
    }
    return true;
}

// 回収率 on the files minus 回収率 at the snapshot, per group, with a bootstrap of the units that
// draws each race's two results together.
std::vector<BacktestBetResult::Lookahead>
lookaheadOf(const Counted& counted, std::size_t b, int groups, int resamples = kBootstrapResamples)
{
    const std::vector<RaceTally>& atSnapshot = counted.season[b].tallies;
    const std::vector<RaceTally>& onFiles = counted.fileTallies[b];
    const std::vector<quint32>& unitOf = counted.season[b].unitOf;
    std::vector<BacktestBetResult::Lookahead> lines(static_cast<std::size_t>(groups));
    // Per unit and group: stakes and returns of both.
    struct Sums
    {
        double fileStake = 0, fileReturns = 0, snapStake = 0, snapReturns = 0;
    };
    std::vector<std::vector<Sums>> units(counted.units,
                                         std::vector<Sums>(static_cast<std::size_t>(groups)));
    for (std::size_t r = 0; r < atSnapshot.size(); ++r) {
        for (std::size_t g = 0; g < static_cast<std::size_t>(groups); ++g) {
            Sums& sums = units[unitOf[r]][g];
            sums.snapStake += 100.0 * atSnapshot[r][g].bets;
            sums.snapReturns += static_cast<double>(atSnapshot[r][g].returns);
            sums.fileStake += 100.0 * onFiles[r][g].bets;
            sums.fileReturns += static_cast<double>(onFiles[r][g].returns);
        }
    }
    const auto difference = [](const Sums& total) -> std::optional<double> {
        if (total.fileStake <= 0 || total.snapStake <= 0) {
            return std::nullopt;
        }
        return 1000.0 * (total.fileReturns / total.fileStake - total.snapReturns / total.snapStake);
    };
    Resampler random(kBootstrapSeed);
    std::vector<std::vector<double>> draws(static_cast<std::size_t>(groups));
    std::vector<Sums> total(static_cast<std::size_t>(groups));
    for (int k = 0; k < resamples && !units.empty(); ++k) {
        std::fill(total.begin(), total.end(), Sums{});
        for (std::size_t u = 0; u < units.size(); ++u) {
            const auto& unit = units[random.below(static_cast<quint32>(units.size()))];
            for (std::size_t g = 0; g < total.size(); ++g) {
                total[g].fileStake += unit[g].fileStake;
                total[g].fileReturns += unit[g].fileReturns;
                total[g].snapStake += unit[g].snapStake;
                total[g].snapReturns += unit[g].snapReturns;
            }
        }
        for (std::size_t g = 0; g < total.size(); ++g) {
            if (const auto d = difference(total[g])) {
                draws[g].push_back(*d);
            }
        }
    }
    for (std::size_t g = 0; g < lines.size(); ++g) {
        Sums all;
        for (const auto& unit : units) {
            all.fileStake += unit[g].fileStake;
            all.fileReturns += unit[g].fileReturns;
            all.snapStake += unit[g].snapStake;
            all.snapReturns += unit[g].snapReturns;
        }
        if (const auto d = difference(all)) {
            lines[g].difference = qRound64(*d);
        }
        std::vector<double>& x = draws[g];
        if (!x.empty()) {
            std::sort(x.begin(), x.end());
            lines[g].lower = qRound64(nearestRank(x, 25));
            lines[g].upper = qRound64(nearestRank(x, 975));
        }
    }
    return lines;
}

} // namespace

BacktestReport runBacktest(const BacktestRequest& request,
                           const std::function<void(qint64, qint64)>& progress,
                           const std::atomic<bool>* cancel)
{
    BacktestReport report;
    report.resample = request.resample;
    report.tested = !request.testFolders.isEmpty();
    Season season;
    Season test;
    if (!listSeason(request.folders, season, &report.error)
        || !listSeason(request.testFolders, test, &report.error)) {
        return report;
    }
    report.racesSeen = static_cast<qint64>(season.jobs.size());
    report.testRacesSeen = static_cast<qint64>(test.jobs.size());

    // The outputs open first: one that cannot be written stops the run before any work.
    std::unique_ptr<QSaveFile> pairsFile;
    if (!request.pairsPath.isEmpty()) {
        pairsFile = std::make_unique<QSaveFile>(request.pairsPath);
        const QByteArray heading = pairsHeading();
        errno = 0;
        if (!pairsFile->open(QIODevice::WriteOnly) || pairsFile->write(heading) != heading.size()) {
            report.error = saveFailure(request.pairsPath, *pairsFile);
            return report;
        }
    }
    std::unique_ptr<QSaveFile> stakesFile;
    CsvBytes stakeLines;
    if (!request.stakesPath.isEmpty()) {
        stakesFile = std::make_unique<QSaveFile>(request.stakesPath);
        errno = 0;
        if (!stakesFile->open(QIODevice::WriteOnly)) {
            report.error = saveFailure(request.stakesPath, *stakesFile);
            return report;
        }
        CsvLine(stakeLines)
            .texts(
                {u"ファイル", u"券種", u"組番", u"実際値", u"割合", u"資金", u"賭け金", u"払戻"});
    }
    std::unique_ptr<QSaveFile> csvFile;
    if (!request.csvPath.isEmpty()) {
        csvFile = std::make_unique<QSaveFile>(request.csvPath);
        errno = 0;
        if (!csvFile->open(QIODevice::WriteOnly)) {
            report.error = saveFailure(request.csvPath, *csvFile);
            return report;
        }
    }

    std::atomic<qint64> done{0};
    const qint64 total = report.racesSeen + report.testRacesSeen;
    const auto tell = [&] {
        if (progress) {
            progress(done.load(), total);
        }
    };
    const bool kelly = request.stake == StakeRule::Kelly;
    replaySeason(season, request, pairsFile != nullptr, kelly, done, tell, cancel);
    replaySeason(test, request, false, false, done, tell, cancel);
    tell();
    if (cancel != nullptr && cancel->load()) {
        report.cancelled = true;
        report.error = u"中止しました。"_s;
        return report;
    }

    report.stake = request.stake;
    report.kellyFraction = request.kellyFraction;
    report.bankroll = request.bankroll;
    report.atMinutes = request.atMinutes;
    Counted counted = countSeason(season, request.resample, &report);
    if (request.atMinutes) {
        for (std::size_t b = 0; b < 2; ++b) {
            report.bets[b].lookahead = lookaheadOf(
                counted, b, backtestGroupCount(b == 0 ? BetType::Quinella : BetType::Wide));
        }
    }
    const SeasonSummary summary = summariseSeason(counted.season, counted.units);
    report.units = counted.units;
    report.spa = summary.spa;
    for (std::size_t b = 0; b < 2; ++b) {
        report.bets[b].staking
            = stakeSeason(request, counted, b, stakesFile ? &stakeLines : nullptr);
        report.bets[b].races = std::move(counted.season[b].tallies);
        report.bets[b].raceFiles = std::move(counted.raceFiles[b]);
        report.bets[b].lines = summary.lines[b];
        report.bets[b].bets = std::move(counted.season[b].bets);
        report.bets[b].bins = summary.bins[b];
    }
    if (report.tested) {
        Counted testCounted = countSeason(test, request.resample, nullptr);
        const SeasonSummary testSummary = summariseSeason(testCounted.season, testCounted.units);
        report.testUnits = testCounted.units;
        for (std::size_t b = 0; b < 2; ++b) {
            report.bets[b].testLines = testSummary.lines[b];
        }
    }
    // The whole season's group is its own baseline: its excess is 0 in every resample.
    std::optional<qint64> best;
    for (std::size_t b = 0; b < 2; ++b) {
        const auto& lines = report.bets[b].lines;
        for (std::size_t g = 1; g < lines.size(); ++g) {
            if (lines[g].excessLower && (!best || *lines[g].excessLower > *best)) {
                best = lines[g].excessLower;
                report.chosen = std::pair{static_cast<int>(b), static_cast<int>(g)};
            }
        }
    }

    if (report.bets[0].races.empty() && report.bets[1].races.empty()) {
        report.error = u"集計できるレースがありません。"_s;
        return report; // the save files are dropped unwritten
    }
    errno = 0;
    if (pairsFile && (!writePairs(*pairsFile, season, summary.bins) || !pairsFile->commit())) {
        report.error = saveFailure(request.pairsPath, *pairsFile);
        return report;
    }
    if (stakesFile) {
        const QByteArray bytes = stakeLines.take();
        errno = 0;
        if (stakesFile->write(bytes) != bytes.size() || !stakesFile->commit()) {
            report.error = saveFailure(request.stakesPath, *stakesFile);
            return report;
        }
    }
    if (csvFile) {
        const QByteArray bytes = backtestSummaryCsv(report);
        errno = 0;
        if (csvFile->write(bytes) != bytes.size() || !csvFile->commit()) {
            report.error = saveFailure(request.csvPath, *csvFile);
            return report;
        }
    }
    report.ok = true;
    return report;
}

namespace {

// The columns of the summary, each line's values as texts (empty where there is none).
const QStringList kSummaryHeadings = {u"券種"_s,
                                      u"区分"_s,
                                      u"レース数"_s,
                                      u"点数"_s,
                                      u"的中数"_s,
                                      u"的中率"_s,
                                      u"投資"_s,
                                      u"回収"_s,
                                      u"回収率"_s,
                                      u"回収率下限"_s,
                                      u"回収率上限"_s,
                                      u"最大ドローダウン"_s,
                                      u"基準回収率"_s,
                                      u"超過"_s,
                                      u"超過下限"_s,
                                      u"超過上限"_s,
                                      u"必要点数"_s};
const QStringList kLookaheadHeadings = {u"先読み差"_s, u"先読み差下限"_s, u"先読み差上限"_s};

const QStringList kTestHeadings = {u"検証点数"_s,
                                   u"検証回収率"_s,
                                   u"検証基準回収率"_s,
                                   u"検証超過"_s,
                                   u"検証超過下限"_s,
                                   u"検証超過上限"_s};

QString rateText(const std::optional<qint64>& tenths)
{
    return tenths ? tenthsText(*tenths) : QString();
}

QStringList summaryValues(BetType bet, int group, const GroupSummary& line)
{
    return {betName(bet),
            backtestGroupName(group),
            QString::number(line.races),
            QString::number(line.bets),
            QString::number(line.hits),
            rateText(line.hitRate),
            QString::number(line.stake),
            QString::number(line.returns),
            rateText(line.returnRate),
            rateText(line.returnRateLower),
            rateText(line.returnRateUpper),
            QString::number(line.maxDrawdown),
            rateText(line.baselineRate),
            rateText(line.excess),
            rateText(line.excessLower),
            rateText(line.excessUpper),
            line.betsNeeded ? QString::number(*line.betsNeeded) : QString()};
}

QStringList testValues(const GroupSummary& line)
{
    return {QString::number(line.bets),
            rateText(line.returnRate),
            rateText(line.baselineRate),
            rateText(line.excess),
            rateText(line.excessLower),
            rateText(line.excessUpper)};
}

template<typename Visit>
void forEachLine(const BacktestReport& report, Visit visit)
{
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        const auto& result = report.bets[betIndex(bet)];
        const std::vector<GroupSummary> empty(static_cast<std::size_t>(backtestGroupCount(bet)));
        const auto& lines = result.lines.empty() ? empty : result.lines;
        const auto& tests = result.testLines.empty() ? empty : result.testLines;
        for (int g = 0; g < backtestGroupCount(bet); ++g) {
            visit(bet, g, lines[static_cast<std::size_t>(g)], tests[static_cast<std::size_t>(g)]);
        }
    }
}

// Columns of a terminal: East Asian wide and full-width characters take two.
int displayWidth(QStringView text)
{
    int width = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF)
                          || (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF)
                          || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
                          || (u >= 0xFFE0 && u <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

} // namespace

QList<QStringList> backtestSummaryRows(const BacktestReport& report)
{
    const bool at = report.atMinutes.has_value();
    QList<QStringList> rows{kSummaryHeadings + (report.tested ? kTestHeadings : QStringList())
                            + (at ? kLookaheadHeadings : QStringList())};
    forEachLine(report,
                [&](BetType bet, int group, const GroupSummary& line, const GroupSummary& test) {
                    QStringList values = summaryValues(bet, group, line)
                                         + (report.tested ? testValues(test) : QStringList());
                    if (at) {
                        const auto& lookahead = report.bets[betIndex(bet)].lookahead;
                        const auto d = static_cast<std::size_t>(group) < lookahead.size()
                                           ? lookahead[static_cast<std::size_t>(group)]
                                           : BacktestBetResult::Lookahead{};
                        values << rateText(d.difference) << rateText(d.lower) << rateText(d.upper);
                    }
                    rows.push_back(values);
                });
    return rows;
}

QByteArray backtestSummaryCsv(const BacktestReport& report)
{
    CsvBytes out;
    const QList<QStringList> rows = backtestSummaryRows(report);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QStringList& values = rows[r];
        CsvLine csv(out);
        for (qsizetype k = 0; k < values.size(); ++k) {
            // Headings and the first two columns are texts; numbers go plain (an empty rate is
            // an empty field).
            if (r == 0 || k < 2) {
                csv.text(values[k]);
            } else {
                csv.plain(values[k]);
            }
        }
    }
    return out.take();
}

namespace {

// Rows aligned for reading: the first columns texts to the left, the numbers (and the headings
// above them) to the right.
QString alignedText(const QList<QStringList>& rows, int textColumns)
{
    std::vector<int> widths(static_cast<std::size_t>(rows.first().size()), 0);
    for (const QStringList& row : rows) {
        for (qsizetype k = 0; k < row.size(); ++k) {
            widths[static_cast<std::size_t>(k)]
                = std::max(widths[static_cast<std::size_t>(k)], displayWidth(row[k]));
        }
    }
    QString text;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype k = 0; k < row.size(); ++k) {
            const QString pad(widths[static_cast<std::size_t>(k)] - displayWidth(row[k]), u' ');
            // Texts to the left, numbers (and the headings above them) to the right.
            line
                += (k == 0 ? QString() : u"  "_s) + (k < textColumns ? row[k] + pad : pad + row[k]);
        }
        text += line.trimmed() + u'\n';
    }
    return text;
}

} // namespace

QString backtestSummaryText(const BacktestReport& report)
{
    return alignedText(backtestSummaryRows(report), 2);
}

QString backtestSpaText(const BacktestReport& report)
{
    const SpaResult& spa = report.spa;
    const QString unit = report.resample == ResampleUnit::Day ? u"開催日"_s : u"レース"_s;
    if (spa.groups == 0) {
        return u"データスヌーピング検定（Hansen SPA）: 超過の区間を示せるグループがありません。"_s;
    }
    return u"データスヌーピング検定（Hansen SPA、%1単位の再標本化%2回）: 最良の%3 %4の超過が"
           u"偶然によるものである確率 p = %5（超過の区間を示した%6グループの中で）"_s.arg(unit)
               .arg(QString::number(kBootstrapResamples))
               .arg(betName(spa.bestBet == 0 ? BetType::Quinella : BetType::Wide),
                    backtestGroupName(spa.bestGroup),
                    QString::number(spa.pValue, 'f', 3))
               .arg(spa.groups);
}

QList<QStringList> backtestStakeRows(const BacktestReport& report)
{
    QList<QStringList> rows{{u"券種"_s,
                             u"レース数"_s,
                             u"投資"_s,
                             u"回収"_s,
                             u"最終資金"_s,
                             u"対数成長率"_s,
                             u"最大ドローダウン"_s,
                             u"最大ドローダウン％"_s,
                             u"最長連敗"_s,
                             u"シャープ"_s,
                             u"ソルティノ"_s}};
    const auto ratio = [](const std::optional<double>& value, int decimals) {
        return value ? QString::number(*value, 'f', decimals) : QString();
    };
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        const StakeSummary& s = report.bets[betIndex(bet)].staking;
        rows.push_back({betName(bet),
                        QString::number(s.racesBet),
                        QString::number(s.stakes),
                        QString::number(s.returns),
                        QString::number(s.finalBankroll),
                        ratio(s.logGrowthPerRace, 5),
                        QString::number(s.maxDrawdownYen),
                        QString::number(s.maxDrawdownPercent, 'f', 1),
                        QString::number(s.longestLosingRun),
                        ratio(s.sharpe, 3),
                        ratio(s.sortino, 3)});
    }
    return rows;
}

QString backtestStakeText(const BacktestReport& report)
{
    const QString rule
        = report.stake == StakeRule::Flat
              ? u"資金: 均等買い（全組番に100円）、初期資金 %1円"_s.arg(report.bankroll)
              : u"資金: ケリー基準 × %1（100円未満切り捨て）、初期資金 %2円"_s.arg(
                  QString::number(report.kellyFraction), QString::number(report.bankroll));
    return rule + u'\n' + alignedText(backtestStakeRows(report), 1);
}

QString backtestChoiceText(const BacktestReport& report)
{
    if (!report.tested) {
        return {};
    }
    if (!report.chosen) {
        return u"検証: 超過の区間を示せるグループがありません。"_s;
    }
    const auto [b, g] = *report.chosen;
    const auto& result = report.bets[static_cast<std::size_t>(b)];
    const GroupSummary& line = result.lines[static_cast<std::size_t>(g)];
    const GroupSummary test
        = result.testLines.empty() ? GroupSummary{} : result.testLines[static_cast<std::size_t>(g)];
    const auto interval = [](const GroupSummary& s) {
        if (!s.excess) {
            return u"なし"_s;
        }
        return s.excessLower ? u"%1 [%2, %3]"_s.arg(
                   tenthsText(*s.excess), tenthsText(*s.excessLower), tenthsText(*s.excessUpper))
                             : tenthsText(*s.excess);
    };
    return u"超過下限が最も高いグループ: %1 %2（超過 %3、%4点）→ 検証フォルダ: 超過 %5、%6点"_s.arg(
        betName(b == 0 ? BetType::Quinella : BetType::Wide),
        backtestGroupName(g),
        interval(line),
        QString::number(line.bets),
        interval(test),
        QString::number(test.bets));
}

QString backtestSkippedText(const BacktestReport& report)
{
    QString text;
    for (int c = 0; c < kSkipCauses; ++c) {
        const auto count = report.skipped[static_cast<std::size_t>(c)];
        if (count == 0) {
            continue;
        }
        text += u"除外 %1: %2レース"_s.arg(skipCauseText(static_cast<SkipCause>(c))).arg(count);
        const QStringList& names = report.firstSkipped[static_cast<std::size_t>(c)];
        text
            += u" (%1%2)\n"_s.arg(names.join(u", "_s), count > names.size() ? u", …"_s : QString());
    }
    return text;
}
