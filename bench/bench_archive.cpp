// SPDX-License-Identifier: MIT
// The odds archive and the race-day board on a realistic day (three courses, 36 races, the odds
// of every fetch): storing one snapshot of an 18-runner race against reading its two files, and
// the board's refresh after one race's files changed against a listing of the folder. Then the
// sizes: a day of 30 snapshots a race (patgen's five fetches, each stored six times with its odds
// moved a tenth), a season of patgen's five; and the processor time a recorder takes while it
// watches a season's folder (14,000 files) that nothing changes. The ledger: recording a bet, the
// report of 10,000 bets, and settling a day of 36 races.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include "archive/bet_ledger.h"
#include "archive/odds_archive.h"
#include "bench_main.h"
#include "pat/folder_index.h"
#include "race/archive_files.h"
#include "race/bet_settlement.h"
#include "race/folder_recorder.h"
#include "race/ledger_report.h"
#include "race/race_day_board.h"
#include "realistic_season.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

struct Day
{
    QTemporaryDir dir;
    QString folder;
    QString eighteen;   ///< a Zo- file of an 18-runner race
    QStringList latest; ///< the Zo- names of the latest date's 36 races
    std::unique_ptr<SettingsStore> settings;
};

Day& day()
{
    static Day* made = [] {
        auto* d = new Day;
        d->folder = d->dir.filePath(u"day"_s);
        RealisticSeasonOptions options;
        options.seed = 2026;
        options.days = 19; // January's 16 course-days at two courses, then a date of three
        options.snapshotFolder = d->dir.filePath(u"snap"_s);
        QString error;
        if (!writeRealisticSeason(d->folder, options, &error)) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(error));
            std::exit(1);
        }
        d->settings = std::make_unique<SettingsStore>(d->dir.filePath(u"s.ini"_s));
        RaceDayBoard board(*d->settings, nullptr);
        board.refresh(d->folder);
        for (const BoardRow& row : board.rows()) {
            d->latest << row.file;
            if (row.runners == 18 && d->eighteen.isEmpty()) {
                d->eighteen = row.path;
            }
        }
        return d;
    }();
    return *made;
}

void BM_ReadRaceFiles(benchmark::State& state)
{
    for (auto _ : state) {
        RaceFiles files;
        QString error;
        benchmark::DoNotOptimize(readRaceFiles(day().eighteen, files, error));
    }
}

// A new snapshot each time (its fetch time moves on and one odds text changes), one
// transaction each.
void BM_StoreSnapshot(benchmark::State& state)
{
    QTemporaryDir dir;
    QString note;
    const auto archive = OddsArchive::open(dir.filePath(u"a.sqlite"_s), note);
    RaceFiles files;
    QString error;
    readRaceFiles(day().eighteen, files, error);
    qint64 k = 0;
    for (auto _ : state) {
        ++k;
        files.win.horse(1).winOdds = PatText<5>::fromString(QString::number(k % 9000 + 1000));
        if (archive->store(files.race, files.fetched.addSecs(k), files.win, *files.pairs)
            != OddsArchive::Stored::Added) {
            state.SkipWithError("not stored");
            break;
        }
    }
}

void BM_ListFolder(benchmark::State& state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(FolderIndex::read(day().folder));
    }
}

// The refresh a change of one race makes: the listing, then that race read and analysed.
void BM_BoardRefreshOneChanged(benchmark::State& state)
{
    RaceDayBoard board(*day().settings, nullptr);
    board.refresh(day().folder);
    const QString zo = day().eighteen;
    QFile file(zo);
    file.open(QIODevice::ReadWrite);
    QDateTime time = QFileInfo(zo).lastModified();
    for (auto _ : state) {
        state.PauseTiming();
        time = time.addMSecs(1);
        file.setFileTime(time, QFileDevice::FileModificationTime);
        state.ResumeTiming();
        board.refresh(day().folder);
    }
    if (board.rows().size() != 36) {
        state.SkipWithError("not 36 races");
    }
}

// A new archive in `dir` holding the day folder's races.
std::unique_ptr<OddsArchive> dayArchive(const QTemporaryDir& dir)
{
    QString note;
    auto archive = OddsArchive::open(dir.filePath(u"odds.sqlite"_s), note);
    importFolders(*archive, {day().folder});
    return archive;
}

// An archive of the day folder's races (19 course-days) for the ledger's benchmarks.
OddsArchive& ledgerArchive()
{
    static QTemporaryDir dir;
    static std::unique_ptr<OddsArchive> archive = dayArchive(dir);
    return *archive;
}

LedgerBet betOn(const QString& race, int k)
{
    LedgerBet bet;
    bet.race = race;
    bet.bet = k % 2 == 0 ? BetType::Quinella : BetType::Wide;
    bet.first = 1;
    bet.second = 2 + k % 3;
    bet.stake = 100 * (1 + k % 5);
    bet.odds = 5.0 + k % 40;
    bet.placed = QDateTime::currentDateTimeUtc();
    if (k % 3 == 0) {
        bet.model = u"blend"_s;
        bet.chance = 0.1;
        bet.ev = 0.1 * bet.odds;
    }
    return bet;
}

// One bet recorded as the window and `ledger add` record it: checked, then one transaction.
void BM_RecordBet(benchmark::State& state)
{
    BetLedger ledger(ledgerArchive());
    int k = 0;
    for (auto _ : state) {
        QString error;
        if (!ledger.add({betOn(day().latest.front(), k++)}, error)) {
            state.SkipWithError(qPrintable(error));
            break;
        }
    }
}

// The report of 10,000 settled bets on every race of the folder: read from the archive, then
// summed and resampled.
void BM_LedgerReport10000(benchmark::State& state)
{
    QTemporaryDir dir;
    const auto archive = dayArchive(dir);
    std::vector<QString> races;
    for (const ArchiveRace& race : archive->races()) {
        races.push_back(race.file);
    }
    std::vector<LedgerBet> bets;
    for (int k = 0; k < 10000; ++k) {
        bets.push_back(betOn(races[static_cast<std::size_t>(k) % races.size()], k));
    }
    BetLedger ledger(*archive);
    QString error;
    const auto ids = ledger.add(bets, error);
    std::vector<std::pair<qint64, BetSettlement>> settled;
    for (std::size_t k = 0; ids && k < ids->size(); ++k) {
        settled.emplace_back((*ids)[k],
                             BetSettlement{k % 7 == 0 ? 3000 : 0, 0, bets[k].placed, 10.0});
    }
    if (!ids || !ledger.settle(settled, error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    for (auto _ : state) {
        const LedgerReport report = ledgerReport(ledger.bets());
        if (report.all.bets != 10000) {
            state.SkipWithError("not 10,000 bets");
            break;
        }
        benchmark::DoNotOptimize(report);
    }
}

// Settling the latest date's 36 races, three open bets each, from their result files.
void BM_SettleDay(benchmark::State& state)
{
    QTemporaryDir dir;
    const auto archive = dayArchive(dir);
    std::vector<LedgerBet> bets;
    for (const QString& race : day().latest) {
        for (int k = 0; k < 3; ++k) {
            bets.push_back(betOn(race, k));
        }
    }
    QString error;
    if (!BetLedger(*archive).add(bets, error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    QSqlQuery clear(QSqlDatabase::database(archive->connectionName()));
    for (auto _ : state) {
        state.PauseTiming();
        clear.exec(u"DELETE FROM settlement"_s);
        state.ResumeTiming();
        const LedgerSettling done
            = settleLedger(*archive, {day().folder}, QDateTime::currentDateTimeUtc());
        if (done.settled != 108) {
            state.SkipWithError("not 108 bets settled");
            break;
        }
    }
}

BENCHMARK(BM_ReadRaceFiles);
BENCHMARK(BM_StoreSnapshot);
BENCHMARK(BM_ListFolder);
BENCHMARK(BM_BoardRefreshOneChanged);
BENCHMARK(BM_RecordBet);
BENCHMARK(BM_LedgerReport10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SettleDay)->Unit(benchmark::kMillisecond);

qint64 archiveBytes(const QString& path)
{
    return QFileInfo(path).size() + QFileInfo(path + u"-wal"_s).size();
}

// A day of 30 snapshots a race: each fetch six times, a tenth added to every quinella odds each
// time after the first.
qint64 daySize()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"day.sqlite"_s);
    {
        QString note;
        auto archive = OddsArchive::open(path, note);
        for (const char* fetch : {"m60", "m30", "m10", "m05", "m02"}) {
            const auto index = FolderIndex::read(
                QDir(day().dir.filePath(u"snap"_s)).filePath(QString::fromLatin1(fetch)));
            for (const QString& name : index->raceNames()) {
                if (!day().latest.contains(name)) {
                    continue;
                }
                RaceFiles files;
                QString error;
                readRaceFiles(index->prefix() + name, files, error);
                for (int step = 0; step < 6; ++step) {
                    for (auto& pair : files.pairs->pairs) {
                        bool ok = false;
                        const double odds = pair.quinellaOdds.trimmed().toDouble(&ok);
                        if (ok && step > 0) {
                            pair.quinellaOdds = PatText<6>::fromString(
                                QString::number(odds + 0.1, 'f', 1).rightJustified(6));
                        }
                    }
                    archive->store(
                        files.race, files.fetched.addSecs(step * 20), files.win, *files.pairs);
                }
            }
        }
        std::printf("day: %lld races, %lld snapshots\n",
                    static_cast<long long>(archive->info().races),
                    static_cast<long long>(archive->info().snapshots));
    }
    return archiveBytes(path);
}

qint64 seasonSize(const QString& season, const QString& snapshots)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"season.sqlite"_s);
    QString note;
    {
        auto archive = OddsArchive::open(path, note);
        QStringList folders;
        for (const char* fetch : {"m60", "m30", "m10", "m05", "m02"}) {
            folders << QDir(snapshots).filePath(QString::fromLatin1(fetch));
        }
        const ArchiveImport report = importFolders(*archive, folders);
        std::printf("season: %lld races, %lld snapshots stored\n",
                    static_cast<long long>(archive->info().races),
                    static_cast<long long>(report.added));
    }
    Q_UNUSED(season);
    return archiveBytes(path);
}

double cpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    initialiseInterleaved(argc, argv);
    day();
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    printRatio(reporter,
               "storing a snapshot of an 18-runner race",
               "BM_StoreSnapshot",
               "BM_ReadRaceFiles");
    printRatio(reporter,
               "the board of 36 races after one race changed",
               "BM_BoardRefreshOneChanged",
               "BM_ListFolder");
    printRatio(reporter, "recording a bet", "BM_RecordBet", "BM_ReadRaceFiles");
    printRatio(reporter, "the report of 10,000 bets", "BM_LedgerReport10000", "BM_ListFolder");
    printRatio(reporter, "settling a day of 36 races", "BM_SettleDay", "BM_ListFolder");
    std::printf("archive of a day of 30 snapshots a race: %.2f MB\n", daySize() / 1e6);

    // A season with patgen's five fetches a race, and its folder watched while nothing changes.
    QTemporaryDir dir;
    RealisticSeasonOptions options;
    options.seed = 2026;
    options.snapshotFolder = dir.filePath(u"snap"_s);
    QString error;
    if (!writeRealisticSeason(dir.filePath(u"season"_s), options, &error)) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("archive of a season of five snapshots a race: %.1f MB\n",
                seasonSize(dir.filePath(u"season"_s), options.snapshotFolder) / 1e6);
    FolderRecorder recorder(nullptr);
    recorder.follow(dir.filePath(u"season"_s));
    const auto wait = [](int milliseconds) {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
    };
    wait(2000); // the first reading of the latest day
    const double before = cpuMilliseconds();
    QElapsedTimer idle;
    idle.start();
    wait(5000);
    const double used = cpuMilliseconds() - before;
    std::printf("watching %lld files idle: %.3f ms of processor time a second\n",
                static_cast<long long>(QDir(dir.filePath(u"season"_s)).count() - 2),
                used / (static_cast<double>(idle.elapsed()) / 1000.0));
    benchmark::Shutdown();
    return 0;
}
