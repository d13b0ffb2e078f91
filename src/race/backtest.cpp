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
#include "analysis/market_spread.h"
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
#include "race/race_replay.h"
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
    std::array<std::vector<std::vector<float>>, 2> stakeOdds;
    std::array<std::vector<RaceTally>, 2> fileTallies; // with a snapshot: on the files
    std::array<std::vector<RaceBets>, 2> fileBets;
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
            if (b == 1 && outcome.kelly.wideGap > kKellyGapTolerance && skips != nullptr) {
                ++skips->kellyShort;
                if (skips->firstKellyShort.size() < 10) {
                    skips->firstKellyShort << season.jobs[i].name;
                }
            }
            counted.fractions[b].push_back(std::move(outcome.kelly.fractions[b]));
            counted.stakeOdds[b].push_back(std::move(outcome.kelly.odds[b]));
            counted.fileTallies[b].push_back(outcome.fileTally[b]);
            counted.fileBets[b].push_back(std::move(outcome.fileBets[b]));
        }
    }
    return counted;
}

// The bankroll race by race under the request's staking; Kelly's stakes, when asked, as CSV
// lines. Each bet type has a bankroll of its own.
StakeSummary stakeBetType(const BacktestRequest& request,
                          const Counted& counted,
                          std::size_t b,
                          CsvBytes* stakes,
                          const WalkForwardPlan* plan,
                          WalkForwardReport* walkForward)
{
    const bool kelly = request.stake == StakeRule::Kelly;
    std::vector<PlacedStake> placed;
    StakeSummary summary
        = stakeSeason(counted.season[b],
                      kelly ? &counted.fractions[b] : nullptr,
                      request.bankroll,
                      request.kellyFraction,
                      stakes != nullptr || walkForward != nullptr ? &placed : nullptr);
    if (walkForward != nullptr) {
        walkForward->lines[b]
            = walkForwardLine(summary, placed, counted.season[b].unitOf, *plan, b);
    }
    const QString name = betName(b == 0 ? BetType::Quinella : BetType::Wide);
    for (const PlacedStake& stake : placed) {
        if (stakes == nullptr) {
            break; // placed for the walk-forward's growth only
        }
        const BetRecord& bet = counted.season[b].bets[stake.race][stake.bet];
        CsvLine(*stakes)
            .text(counted.raceFiles[b][static_cast<qsizetype>(stake.race)])
            .text(name)
            .text(u"%1-%2"_s.arg(bet.first).arg(bet.second))
            .plain(QString::number(double(counted.stakeOdds[b][stake.race][stake.bet]), 'f', 1))
            .plain(QString::number(counted.fractions[b][stake.race][stake.bet], 'f', 6))
            .integer(stake.bankroll)
            .integer(stake.yen)
            .integer(stake.returns);
    }
    return summary;
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
    // The walk-forward rule: each race staked under the fit of the course-days before it.
    WalkForwardPlan plan;
    if (request.walkForward) {
        if (!kelly) {
            report.error = u"ウォークフォワードはケリー基準の賭け金で行います。"_s;
            return report;
        }
        if (!planWalkForward(
                request.folders, request.refitDays, request.walkForwardModel, plan, report.error)) {
            return report;
        }
        for (RaceJob& job : season.jobs) {
            // The job points into the plan, which outlives the replay.
            const auto day = plan.dayOf.constFind(job.path);
            const std::optional<ModelSettings>* model
                = day == plan.dayOf.cend() ? nullptr : &plan.modelOfDay[*day];
            job.model = model != nullptr && *model ? &**model : nullptr;
            job.open
                = job.model != nullptr ? plan.openOfDay[*day] : std::array<bool, 2>{false, false};
        }
        report.walkForward = WalkForwardReport{plan.refitDays, plan.model, plan.fits, {}};
    }
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
            const BetType bet = b == 0 ? BetType::Quinella : BetType::Wide;
            const auto variance
                = lookaheadVarianceOf(counted.fileBets[b], counted.season[b].bets, bet);
            report.bets[b].lookahead = lookaheadOf(counted.season[b].tallies,
                                                   counted.fileTallies[b],
                                                   counted.season[b].unitOf,
                                                   counted.units,
                                                   backtestGroupCount(bet),
                                                   &variance);
        }
    }
    const SeasonSummary summary = summariseSeason(counted.season, counted.units);
    report.units = counted.units;
    report.spa = summary.spa;
    for (std::size_t b = 0; b < 2; ++b) {
        report.bets[b].staking = stakeBetType(request,
                                              counted,
                                              b,
                                              stakesFile ? &stakeLines : nullptr,
                                              &plan,
                                              report.walkForward ? &*report.walkForward : nullptr);
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
