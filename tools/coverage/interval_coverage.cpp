// SPDX-License-Identifier: MIT
#include "interval_coverage.h"

#include <cmath>
#include <memory>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include "analysis/backtest_evidence.h"
#include "analysis/kelly.h"
#include "archive/odds_archive.h"
#include "race/archive_files.h"
#include "race/backtest.h"
#include "race/calibration_run.h"
#include "realistic_season.h"
#include "season_generator.h"

using namespace Qt::StringLiterals;

namespace {

// A race's truth: the chance of every pair to finish first and second and the expected payout of
// its wide ticket (yen for 100), by pair number in pair order; the chance of both in the first
// three.
struct RaceTruth
{
    int runners = 0;
    std::vector<double> quinella;
    std::vector<double> wide;
    std::vector<double> wideReturn;
};
using Truth = QHash<QString, RaceTruth>;

Truth readTruth(const QString& path)
{
    Truth truth;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return truth;
    }
    file.readLine(); // the heading
    while (!file.atEnd()) {
        const QList<QByteArray> f = file.readLine().trimmed().split(',');
        if (f.size() != 5 || f[3].isEmpty()) {
            if (f.size() == 5 && f[1] == "win") {
                truth[QString::fromLatin1(f[0])].runners = f[2].toInt();
            }
            continue;
        }
        RaceTruth& race = truth[QString::fromLatin1(f[0])];
        const int n = race.runners;
        const auto at = static_cast<std::size_t>(pairIndex(n, f[2].toInt(), f[3].toInt()));
        for (auto* values : {&race.quinella, &race.wide, &race.wideReturn}) {
            values->resize(static_cast<std::size_t>(n * (n - 1) / 2), 0.0);
        }
        const double value = f[4].toDouble();
        if (f[1] == "quinella") {
            race.quinella[at] = value;
        } else if (f[1] == "wide") {
            race.wide[at] = value;
        } else if (f[1] == "wide_return") {
            race.wideReturn[at] = value;
        }
    }
    return truth;
}

// A bet's expected payout under the truth (yen for 100): its chance times what it pays, for
// wide the truth's own expectation over the third horse.
double expectedPayout(const RaceTruth& race, std::size_t b, const BetRecord& bet, float finalOdds)
{
    const auto at = static_cast<std::size_t>(pairIndex(race.runners, bet.first, bet.second));
    if (at >= race.quinella.size()) {
        return 0.0;
    }
    return b == 0 ? race.quinella[at] * std::round(double(finalOdds) * 10.0) * 10.0
                  : race.wideReturn[at];
}

// Each counted race's bets of a bet type with their expected payouts.
struct Expected
{
    std::vector<std::vector<double>> payout; // by race, by bet
};

Expected expectedOf(const BacktestBetResult& result,
                    std::size_t b,
                    const Truth& truth,
                    const QHash<QString, std::vector<float>>* finalOdds)
{
    Expected expected;
    expected.payout.resize(result.bets.size());
    for (std::size_t r = 0; r < result.bets.size(); ++r) {
        const QString& file = result.raceFiles[static_cast<qsizetype>(r)];
        const auto race = truth.constFind(file);
        for (const BetRecord& bet : result.bets[r]) {
            float odds = bet.odds;
            if (race != truth.constEnd() && finalOdds != nullptr) {
                const auto shown = finalOdds->constFind(file);
                const auto at
                    = static_cast<std::size_t>(pairIndex(race->runners, bet.first, bet.second));
                odds = shown != finalOdds->constEnd() && at < shown->size() ? (*shown)[at] : 0.0F;
            }
            expected.payout[r].push_back(
                race != truth.constEnd() ? expectedPayout(*race, b, bet, odds) : 0.0);
        }
    }
    return expected;
}

// The true expected return rate (percent) of each group, and its excess over the baseline made
// from the truth's expectations in the season's odds bins.
struct GroupTruth
{
    std::array<double, kBacktestGroups> rate{};
    std::array<double, kBacktestGroups> excess{};
    std::array<qint64, kBacktestGroups> bets{};
};

GroupTruth groupTruth(const BacktestBetResult& result, const Expected& expected)
{
    GroupTruth truth;
    std::array<double, kOddsBins> binSum{};
    std::array<qint64, kOddsBins> binCount{};
    for (std::size_t r = 0; r < result.bets.size(); ++r) {
        for (std::size_t k = 0; k < result.bets[r].size(); ++k) {
            const auto bin = static_cast<std::size_t>(result.bins.binOf(result.bets[r][k].odds));
            binSum[bin] += expected.payout[r][k];
            ++binCount[bin];
        }
    }
    std::array<double, kBacktestGroups> sum{};
    std::array<double, kBacktestGroups> base{};
    for (std::size_t r = 0; r < result.bets.size(); ++r) {
        for (std::size_t k = 0; k < result.bets[r].size(); ++k) {
            const BetRecord& bet = result.bets[r][k];
            const auto bin = static_cast<std::size_t>(result.bins.binOf(bet.odds));
            for (std::size_t g = 0; g < kBacktestGroups; ++g) {
                if ((bet.groups & (1U << g)) != 0) {
                    sum[g] += expected.payout[r][k];
                    base[g] += binSum[bin] / static_cast<double>(binCount[bin]);
                    ++truth.bets[g];
                }
            }
        }
    }
    for (std::size_t g = 0; g < kBacktestGroups; ++g) {
        if (truth.bets[g] > 0) {
            const auto n = static_cast<double>(truth.bets[g]);
            truth.rate[g] = sum[g] / n;
            truth.excess[g] = (sum[g] - base[g]) / n;
        }
    }
    return truth;
}

// Tenths of a percent, as the report holds its bounds.
bool covers(const std::optional<qint64>& low, const std::optional<qint64>& high, double percent)
{
    return static_cast<double>(*low) <= percent * 10.0 + 0.5
           && percent * 10.0 - 0.5 <= static_cast<double>(*high);
}

void tally(CoverageResult& result,
           IntervalKind kind,
           int b,
           qint64 hits,
           bool estimated,
           const std::optional<qint64>& low,
           const std::optional<qint64>& high,
           double truth)
{
    CoverageCount& count = result.counts[{kind, b, hitBucketOf(hits)}];
    if (low && high) {
        ++count.shown;
        count.covered += covers(low, high, truth) ? 1 : 0;
    } else if (estimated) {
        ++count.withheld;
    }
}

// The final odds of every pair (as the lists show them, by pair number) from the bets of 全.
QHash<QString, std::vector<float>> finalOddsOf(const BacktestBetResult& result, const Truth& truth)
{
    QHash<QString, std::vector<float>> odds;
    for (std::size_t r = 0; r < result.bets.size(); ++r) {
        const QString& file = result.raceFiles[static_cast<qsizetype>(r)];
        const int n = truth.value(file).runners;
        std::vector<float>& shown = odds[file];
        shown.assign(static_cast<std::size_t>(n * (n - 1) / 2), 0.0F);
        for (const BetRecord& bet : result.bets[r]) {
            const auto at = static_cast<std::size_t>(pairIndex(n, bet.first, bet.second));
            if (at < shown.size()) {
                shown[at] = bet.odds;
            }
        }
    }
    return odds;
}

// The blend's gain over the pool expected under the truth, per race, on the races scored.
double expectedGain(const std::vector<ScoredPairs>& scored, const Truth& truth, std::size_t b)
{
    double total = 0.0;
    qint64 races = 0;
    for (const ScoredPairs& race : scored) {
        const auto known = truth.constFind(race.file);
        if (known == truth.constEnd() || race.pairs[b].empty()) {
            continue;
        }
        const std::vector<double>& chance = b == 0 ? known->quinella : known->wide;
        double mass = 0.0;
        double gain = 0.0;
        for (std::size_t k = 0; k < race.pairs[b].size(); ++k) {
            const double p = chance[static_cast<std::size_t>(race.pairs[b][k])];
            mass += p;
            gain += p * (std::log(race.blend[b][k]) - std::log(race.pool[b][k]));
        }
        // The realised pairs are among those scored: the truth given that.
        total += mass > 0.0 ? gain * (b == 0 ? 1.0 : 3.0) / mass : 0.0;
        ++races;
    }
    return races > 0 ? total / static_cast<double>(races) : 0.0;
}

bool coversGain(const BlendGain& gain, double truth)
{
    return gain.low <= truth && truth <= gain.high;
}

} // namespace

QString intervalKindName(IntervalKind kind)
{
    switch (kind) {
    case IntervalKind::ReturnRate:
        return u"回収率"_s;
    case IntervalKind::Excess:
        return u"超過"_s;
    case IntervalKind::Lookahead:
        return u"先読み差"_s;
    case IntervalKind::BlendGain:
        return u"市場合成の改善"_s;
    case IntervalKind::BlendTestGain:
        return u"市場合成の改善（検証）"_s;
    case IntervalKind::Count:
        break;
    }
    return {};
}

int hitBucketOf(qint64 hits)
{
    return hits < 10 ? 0 : hits < 30 ? 1 : hits < 100 ? 2 : 3;
}

QString hitBucketName(int bucket)
{
    static const QString names[] = {u"<10"_s, u"10–29"_s, u"30–99"_s, u"100+"_s};
    return names[bucket];
}

std::pair<double, double> binomialInterval(qint64 k, qint64 n)
{
    if (n <= 0) {
        return {0.0, 1.0};
    }
    const double z = 1.959964;
    const double p = static_cast<double>(k) / static_cast<double>(n);
    const double nn = static_cast<double>(n);
    const double centre = (p + z * z / (2 * nn)) / (1 + z * z / nn);
    const double half = z / (1 + z * z / nn) * std::sqrt(p * (1 - p) / nn + z * z / (4 * nn * nn));
    return {std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

CoverageResult measureCoverage(const CoverageOptions& options,
                               const std::function<void(int, int)>& progress)
{
    CoverageResult result;
    result.options = options;
    const bool realistic = options.market == u"realistic"_s;
    std::unique_ptr<QTemporaryDir> temporary;
    QString work = options.workFolder;
    if (work.isEmpty()) {
        // Memory rather than disk where the system offers it: a season is some 14,000 files.
        temporary = std::make_unique<QTemporaryDir>(
            QDir(u"/dev/shm"_s).exists() ? u"/dev/shm/mikazuki-coverage-XXXXXX"_s : QString());
        work = temporary->path();
    }
    const QDir dir(work);
    for (int s = 0; s < options.seasons; ++s) {
        const quint64 seed = options.firstSeed + static_cast<quint64>(s);
        const QString folder = dir.filePath(u"season"_s);
        const QString truthPath = dir.filePath(u"truth.csv"_s);
        const QString snapshots = dir.filePath(u"snapshots"_s);
        for (const QString& old : {folder, snapshots, dir.filePath(u"test"_s)}) {
            QDir(old).removeRecursively();
        }
        QString error;
        const auto write = [&](const QString& into, quint64 withSeed, bool withSnapshots) {
            if (realistic) {
                RealisticSeasonOptions season;
                season.seed = withSeed;
                season.days = options.days;
                season.truthPath = truthPath;
                season.snapshotFolder = withSnapshots ? snapshots : QString();
                return writeRealisticSeason(into, season, &error);
            }
            SeasonOptions season;
            season.seed = withSeed;
            season.days = options.days;
            return writeSeason(into, season, &error);
        };
        if (!write(folder, seed, options.lookahead && realistic)) {
            result.error = error;
            return result;
        }
        const Truth truth = realistic ? readTruth(truthPath) : Truth();
        BacktestRequest request;
        request.folders = {folder};
        request.settingsFile = dir.filePath(u"settings.ini"_s);
        const BacktestReport report = runBacktest(request);
        if (!report.ok) {
            result.error = report.error;
            return result;
        }
        ++result.spaTests;
        result.spaBelow5 += report.spa.groups > 0 && report.spa.pValue < 0.05 ? 1 : 0;
        for (std::size_t b = 0; b < 2; ++b) {
            const BacktestBetResult& bets = report.bets[b];
            for (const GroupSummary& line : bets.lines) {
                if (line.excessLower) {
                    ++result.excessShown;
                    result.excessWithoutZero
                        += *line.excessLower > 0 || *line.excessUpper < 0 ? 1 : 0;
                }
            }
            if (!realistic) {
                continue;
            }
            const GroupTruth groups = groupTruth(bets, expectedOf(bets, b, truth, nullptr));
            for (std::size_t g = 0; g < bets.lines.size(); ++g) {
                const GroupSummary& line = bets.lines[g];
                if (line.bets == 0) {
                    continue;
                }
                tally(result,
                      IntervalKind::ReturnRate,
                      int(b),
                      line.hits,
                      true,
                      line.returnRateLower,
                      line.returnRateUpper,
                      groups.rate[g]);
                tally(result,
                      IntervalKind::Excess,
                      int(b),
                      line.hits,
                      line.excess.has_value(),
                      line.excessLower,
                      line.excessUpper,
                      groups.excess[g]);
            }
        }
        if (options.lookahead && realistic) {
            const QString archivePath = dir.filePath(u"odds.sqlite"_s);
            QFile::remove(archivePath);
            {
                QString note;
                auto archive = OddsArchive::open(archivePath, note);
                if (!archive) {
                    result.error = note;
                    return result;
                }
                importFolders(*archive,
                              {QDir(snapshots).filePath(u"m60"_s),
                               QDir(snapshots).filePath(u"m30"_s),
                               QDir(snapshots).filePath(u"m10"_s)});
            }
            BacktestRequest at = request;
            at.atMinutes = 10;
            at.archivePath = archivePath;
            const BacktestReport early = runBacktest(at);
            for (std::size_t b = 0; b < 2 && early.ok; ++b) {
                const auto finals = finalOddsOf(report.bets[b], truth);
                const GroupTruth onFiles
                    = groupTruth(report.bets[b], expectedOf(report.bets[b], b, truth, nullptr));
                const GroupTruth atSnapshot = groupTruth(
                    early.bets[b], expectedOf(early.bets[b], b, truth, b == 0 ? &finals : nullptr));
                for (std::size_t g = 0; g < early.bets[b].lookahead.size(); ++g) {
                    const LookaheadLine& line = early.bets[b].lookahead[g];
                    tally(result,
                          IntervalKind::Lookahead,
                          int(b),
                          report.bets[b].lines[g].hits,
                          line.difference.has_value(),
                          line.lower,
                          line.upper,
                          onFiles.rate[g] - atSnapshot.rate[g]);
                }
            }
        }
        if (options.blend && realistic) {
            // Fitted on this season, scored on another drawn beside it.
            const QString test = dir.filePath(u"test"_s);
            const QString fitTruth = truthPath + u".fit"_s;
            QFile::remove(fitTruth);
            QFile::rename(truthPath, fitTruth);
            if (!write(test, seed + 1'000'000, false)) {
                result.error = error;
                return result;
            }
            const Truth testTruth = readTruth(truthPath);
            const CalibrationReport fit = runCalibration({{folder}, {test}});
            if (fit.ok) {
                const auto inSample = scoredPairsOf({folder}, fit);
                const auto outOfSample = scoredPairsOf({test}, fit);
                for (std::size_t b = 0; b < 2; ++b) {
                    const BetScoreboard& board = fit.scoreboards[b];
                    CoverageCount& in
                        = result.counts[{IntervalKind::BlendGain, int(b), kHitBuckets - 1}];
                    ++in.shown;
                    in.covered += coversGain(board.fit.gain, expectedGain(inSample, truth, b));
                    if (board.test) {
                        CoverageCount& out
                            = result.counts[{IntervalKind::BlendTestGain, int(b), kHitBuckets - 1}];
                        ++out.shown;
                        out.covered += coversGain(board.test->gain,
                                                  expectedGain(outOfSample, testTruth, b));
                    }
                }
            }
        }
        if (progress) {
            progress(s + 1, options.seasons);
        }
    }
    return result;
}

QString coverageTable(const std::vector<CoverageResult>& results)
{
    QString text
        = u"| 区間 | 券種 | 開催日数 | 的中数 | 区間あり | 真値を含む | 被覆率 | 被覆率の95%区間 | "
          u"区間なし |\n|---|---|---|---|---|---|---|---|---|\n"_s;
    for (int k = 0; k < static_cast<int>(IntervalKind::Count); ++k) {
        for (int b = 0; b < 2; ++b) {
            for (const CoverageResult& result : results) {
                for (int bucket = 0; bucket < kHitBuckets; ++bucket) {
                    const auto at = result.counts.find({static_cast<IntervalKind>(k), b, bucket});
                    if (at == result.counts.end()) {
                        continue;
                    }
                    const CoverageCount& c = at->second;
                    if (c.shown == 0 && c.withheld == 0) {
                        continue;
                    }
                    const auto [low, high] = binomialInterval(c.covered, c.shown);
                    text += u"| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 |\n"_s.arg(
                        intervalKindName(static_cast<IntervalKind>(k)),
                        b == 0 ? u"馬連"_s : u"ﾜｲﾄﾞ"_s,
                        QString::number(result.options.days),
                        static_cast<IntervalKind>(k) >= IntervalKind::BlendGain
                            ? u"(レース)"_s
                            : hitBucketName(bucket),
                        QString::number(c.shown),
                        QString::number(c.covered),
                        c.shown > 0 ? QString::number(100.0 * c.covered / c.shown, 'f', 1) : u"-"_s,
                        c.shown > 0
                            ? u"%1–%2"_s.arg(100.0 * low, 0, 'f', 1).arg(100.0 * high, 0, 'f', 1)
                            : u"-"_s,
                        QString::number(c.withheld));
                }
            }
        }
    }
    for (const CoverageResult& result : results) {
        text += u"\n%1 (%2開催日 × %3シーズン): 超過の区間 %4、うち0を含まない %5 (%6%)。"
                u"SPAの p < 0.05: %7 / %8シーズン\n"_s
                    .arg(result.options.market == u"realistic"_s ? u"現実的な市場"_s
                                                                 : u"効率的な市場"_s)
                    .arg(result.options.days)
                    .arg(result.options.seasons)
                    .arg(result.excessShown)
                    .arg(result.excessWithoutZero)
                    .arg(result.excessShown > 0 ? QString::number(
                             100.0 * result.excessWithoutZero / result.excessShown, 'f', 1)
                                                : u"-"_s)
                    .arg(result.spaBelow5)
                    .arg(result.spaTests);
    }
    return text;
}
