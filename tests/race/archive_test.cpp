// SPDX-License-Identifier: MIT
// The odds archive on a realistic season's fetches: what it keeps, what it gives back as the
// window would have shown it, one writer at a time, and the race-day board beside the main
// window's own analysis.
#include <gtest/gtest.h>
#include <numeric>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "archive/odds_archive.h"
#include "base/message_sink.h"
#include "pat/pat_names.h"
#include "pat/race_time.h"
#include "race/archive_files.h"
#include "race/backtest.h"
#include "race/csv_export.h"
#include "race/race_day_board.h"
#include "race/race_display.h"
#include "realistic_season.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

const QStringList kFetchNames = {u"m60"_s, u"m30"_s, u"m10"_s, u"m05"_s, u"m02"_s};

// Two course-days with the odds of every fetch.
struct Season
{
    TestFolder folder;
    QString days = folder.filePath(u"days"_s);
    QString snapshots = folder.filePath(u"snapshots"_s);

    Season()
    {
        RealisticSeasonOptions options;
        options.seed = 11;
        options.days = 2;
        options.snapshotFolder = snapshots;
        QString error;
        EXPECT_TRUE(writeRealisticSeason(days, options, &error)) << qPrintable(error);
    }
    QStringList fetchFolders() const
    {
        QStringList folders;
        for (const QString& fetch : kFetchNames) {
            folders << QDir(snapshots).filePath(fetch);
        }
        return folders;
    }
};

// Copies a race's Zo- and Uo- files from `from` into `to`, keeping their times.
void copyOdds(const QString& from, const QString& to, const QString& zoName)
{
    for (const QString& name : {zoName, QFileInfo(quinellaOddsPathOf(zoName)).fileName()}) {
        const QString target = QDir(to).filePath(name);
        QFile::remove(target);
        ASSERT_TRUE(QFile::copy(QDir(from).filePath(name), target));
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(QFileInfo(QDir(from).filePath(name)).lastModified(),
                         QFileDevice::FileModificationTime);
    }
}

} // namespace

TEST(OddsArchive, KeepsEachFetchOnceAndGivesTheWindowsMovementBack)
{
    Season season;
    const QString path = season.folder.filePath(u"odds.sqlite"_s);
    QString note;
    auto archive = OddsArchive::open(path, note);
    ASSERT_TRUE(archive) << qPrintable(note);
    EXPECT_TRUE(note.isEmpty());
    const ArchiveImport first = importFolders(*archive, season.fetchFolders() << season.days);
    EXPECT_EQ(first.failed, 0) << qPrintable(first.error);
    EXPECT_EQ(first.races, 6 * 24);
    // The folder holds the last fetch again; a fetch equal to the one before is none either.
    EXPECT_EQ(first.added + first.unchanged, 6 * 24);
    EXPECT_GE(first.unchanged, 24);
    EXPECT_GE(first.added, 4 * 24);
    const ArchiveImport again = importFolders(*archive, season.fetchFolders());
    EXPECT_EQ(again.added, 0);
    const OddsArchive::Info info = archive->info();
    EXPECT_EQ(info.races, 24);
    EXPECT_EQ(info.snapshots, first.added);
    EXPECT_TRUE(archive->integrityOk());

    // A second program reads only, and says so.
    QString second;
    const auto reader = OddsArchive::open(path, second);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(reader->isReadOnly());
    EXPECT_FALSE(second.isEmpty());
    RaceFiles files;
    QString error;
    const QString race = QFileInfo(season.days).absoluteFilePath() + u'/';
    const QString zoName = QDir(season.days).entryList({u"Zo-*"_s}, QDir::Files).first();
    ASSERT_TRUE(readRaceFiles(race + zoName, files, error));
    EXPECT_EQ(reader->store(files.race, files.fetched.addSecs(1), files.win, *files.pairs),
              OddsArchive::Stored::Failed);
    EXPECT_EQ(reader->info().snapshots, info.snapshots);

    // The window, left open on the race while PAT wrote each fetch, writes the same movement.
    TestFolder live;
    SettingsStore settings(live.filePath(u"s.ini"_s));
    NullMessageSink sink;
    RaceDisplay display(settings, sink);
    display.setKeepsHistory(true);
    for (const QString& card : {raceCardPathOf(zoName)}) {
        ASSERT_TRUE(QFile::copy(QDir(season.days).filePath(QFileInfo(card).fileName()),
                                live.filePath(QFileInfo(card).fileName())));
    }
    for (qsizetype k = 0; k < kFetchNames.size(); ++k) {
        copyOdds(season.fetchFolders()[k], live.path(), zoName);
        ASSERT_TRUE(k == 0 ? display.load(live.filePath(zoName)) : display.refresh(false));
    }
    EXPECT_EQ(display.history().snapshots().size(), archive->snapshots(zoName).size());
    EXPECT_EQ(archivedMovement(*archive, zoName), CsvExport::buildMovement(display));

    // A file that is no database: no archive, and why.
    const QString garbage = season.folder.write(u"garbage.sqlite"_s, QByteArray(4096, 'x'));
    QString why;
    EXPECT_FALSE(OddsArchive::open(garbage, why));
    EXPECT_FALSE(why.isEmpty());
}

TEST(RaceDayBoard, RowsAreTheMainWindowsAnalysisOfEachRaceOfTheLatestDay)
{
    Season season;
    QString note;
    auto archive = OddsArchive::open(season.folder.filePath(u"odds.sqlite"_s), note);
    ASSERT_TRUE(archive);
    importFolders(*archive, season.fetchFolders());
    TestFolder home;
    SettingsStore settings(home.filePath(u"s.ini"_s));
    RaceDayBoard board(settings, archive.get());
    ASSERT_TRUE(board.refresh(season.days));
    // Two course-days on one date (seed 11's first date has two courses) or the later date.
    ASSERT_FALSE(board.rows().empty());
    NullMessageSink sink;
    RaceDisplay display(settings, sink);
    int moves = 0;
    for (const BoardRow& row : board.rows()) {
        EXPECT_EQ(jraDateOf(row.post), board.date());
        ASSERT_TRUE(display.load(row.path));
        EXPECT_EQ(row.runners, display.horseTable().getHorseCount());
        EXPECT_EQ(row.recommendedLines, display.recommendedBetLines());
        EXPECT_EQ(boardTexts(row, row.post)[static_cast<int>(BoardColumn::Post)],
                  display.raceTime());
        double best = -1e9;
        int marked = 0;
        for (const PairRow& pair : display.quinellaList().rows()) {
            if (const auto d = pair[DeviationColumn].shownNumber()) {
                best = std::max(best, *d);
            }
            marked += pair.level > 0 ? 1 : 0;
        }
        for (const PairRow& pair : display.wideList().rows()) {
            marked += pair.level > 0 ? 1 : 0;
        }
        ASSERT_TRUE(row.bestQuinella);
        EXPECT_EQ(row.bestQuinella->deviation, best);
        EXPECT_EQ(std::accumulate(row.marked.begin(), row.marked.end(), 0), marked);
        EXPECT_TRUE(row.result.has_value()); // the season is run
        moves += row.largestMove ? 1 : 0;
    }
    EXPECT_EQ(moves, static_cast<int>(board.rows().size()));
    const QJsonObject json = QJsonDocument::fromJson(board.json()).object();
    EXPECT_EQ(json[u"date"_s].toString(), board.date().toString(Qt::ISODate));
    const QJsonArray races = json[u"races"_s].toArray();
    ASSERT_EQ(races.size(), static_cast<qsizetype>(board.rows().size()));
    for (const auto* key : {u"file",
                            u"venue",
                            u"race",
                            u"post_time",
                            u"post",
                            u"runners",
                            u"best_quinella",
                            u"best_wide",
                            u"marked",
                            u"recommended",
                            u"skip",
                            u"hits",
                            u"largest_move",
                            u"result"}) {
        EXPECT_TRUE(races[0].toObject().contains(QString::fromUtf16(key)));
    }
    // Data, not display texts: pairs as two numbers, the hits apart, 見送り as a flag.
    for (qsizetype k = 0; k < races.size(); ++k) {
        const QJsonObject race = races[k].toObject();
        const BoardRow& row = board.rows()[static_cast<std::size_t>(k)];
        const QJsonArray recommended = race[u"recommended"_s].toArray();
        ASSERT_EQ(recommended.size(), static_cast<qsizetype>(row.recommended.size()));
        for (const QJsonValue& pair : recommended) {
            ASSERT_EQ(pair.toArray().size(), 2);
            EXPECT_LT(pair[0].toInt(), pair[1].toInt());
        }
        EXPECT_EQ(race[u"skip"_s].toBool(), recommended.isEmpty());
        // The season is run: every race has its hits, each one of the recommended pairs the
        // window marks.
        int marks = 0;
        for (const QString& line : row.recommendedLines) {
            marks += line.endsWith(u'◎') || line.endsWith(u'○') ? 1 : 0;
        }
        ASSERT_TRUE(race[u"hits"_s].isArray());
        EXPECT_EQ(race[u"hits"_s].toArray().size(), marks);
        for (const QJsonValue& pair : race[u"best_quinella"_s][u"pair"_s].toArray()) {
            EXPECT_TRUE(pair.isDouble());
        }
    }

    // The close: minutes to go, red under one, 締切 two minutes before the post time.
    const QDateTime post = board.rows().front().post;
    bool urgent = false;
    EXPECT_EQ(closeText(post, post.addSecs(-600), &urgent), u"8分"_s);
    EXPECT_FALSE(urgent);
    EXPECT_EQ(closeText(post, post.addSecs(-150), &urgent), u"1分"_s);
    EXPECT_TRUE(urgent);
    EXPECT_EQ(closeText(post, post.addSecs(-120), &urgent), u"締切"_s);
    EXPECT_EQ(board.nextToClose(post.addSecs(-600)), 0);
}

// --at 10 judges every race on its m10 fetch: the same tallies as a folder that holds the m10
// odds beside the results. Before the first fetch there is nothing to judge on.
TEST(Backtest, AtMinutesJudgesEachRaceOnTheSnapshotThenKnown)
{
    Season season;
    const QString archivePath = season.folder.filePath(u"odds.sqlite"_s);
    {
        QString note;
        auto archive = OddsArchive::open(archivePath, note);
        ASSERT_TRUE(archive);
        importFolders(*archive, season.fetchFolders());
    }
    const QString m10 = season.fetchFolders()[2];
    for (const QString& ks : QDir(season.days).entryList({u"Ks-*"_s}, QDir::Files)) {
        ASSERT_TRUE(QFile::copy(QDir(season.days).filePath(ks), QDir(m10).filePath(ks)));
    }
    BacktestRequest request;
    request.settingsFile = season.folder.filePath(u"s.ini"_s);
    request.folders = {season.days};
    request.atMinutes = 10;
    request.archivePath = archivePath;
    const BacktestReport at = runBacktest(request);
    ASSERT_TRUE(at.ok) << qPrintable(at.error);
    EXPECT_EQ(at.skipped[static_cast<std::size_t>(SkipCause::NoSnapshot)], 0);
    BacktestRequest files;
    files.settingsFile = request.settingsFile;
    files.folders = {m10};
    const BacktestReport known = runBacktest(files);
    ASSERT_TRUE(known.ok);
    for (std::size_t b = 0; b < 2; ++b) {
        ASSERT_EQ(at.bets[b].races.size(), known.bets[b].races.size());
        for (std::size_t r = 0; r < at.bets[b].races.size(); ++r) {
            for (std::size_t g = 0; g < kBacktestGroups; ++g) {
                EXPECT_EQ(at.bets[b].races[r][g].bets, known.bets[b].races[r][g].bets);
                EXPECT_EQ(at.bets[b].races[r][g].returns, known.bets[b].races[r][g].returns);
            }
        }
        // Every bet of 全 is bet either way and settles on the same payouts.
        EXPECT_EQ(at.bets[b].lookahead[0].difference, 0);
    }
    EXPECT_TRUE(backtestSummaryRows(at).first().contains(u"先読み差"_s));

    request.atMinutes = 61;
    const BacktestReport early = runBacktest(request);
    EXPECT_FALSE(early.ok);
    EXPECT_EQ(early.skipped[static_cast<std::size_t>(SkipCause::NoSnapshot)], 24);
}

// Two snapshots of one millisecond: the first stays. A race first fetched the day before its
// race day moves to it with the fetch on the day; a damaged file is refused and never written.
TEST(OddsArchive, KeepsTheFirstOfOneMillisecondFollowsTheLatestFetchAndRefusesADamagedFile)
{
    Season season;
    const QString path = season.folder.filePath(u"odds.sqlite"_s);
    const QString zoName = QDir(season.days).entryList({u"Zo-*"_s}, QDir::Files).first();
    const QString m60 = QDir(season.fetchFolders()[0]).filePath(zoName);
    const QString m30 = QDir(season.fetchFolders()[1]).filePath(zoName);
    RaceFiles early;
    RaceFiles later;
    QString error;
    ASSERT_TRUE(readRaceFiles(m60, early, error, QString()));
    ASSERT_TRUE(readRaceFiles(m30, later, error, QString()));
    {
        QString note;
        auto archive = OddsArchive::open(path, note);
        ASSERT_TRUE(archive);
        // The m60 odds as if fetched the evening before: the card's time that day has passed.
        const QDateTime post = later.race.post;
        const QDateTime evening = post.addDays(-1).addSecs(6 * 3600);
        ArchiveRace advance = early.race;
        advance.post
            = postTimeOf(post.toTimeZone(jraTimeZone()).toString(u"HHmm"_s), evening, false);
        EXPECT_EQ(advance.post, post);   // the card's time on the next day
        advance.post = post.addDays(-1); // as the old rule stored it: the fetch's own date
        advance.runners = early.race.runners - 1;
        ASSERT_EQ(archive->store(advance, evening, early.win, *early.pairs),
                  OddsArchive::Stored::Added);
        EXPECT_EQ(archive->race(zoName)->post, post.addDays(-1));
        // Another snapshot of that millisecond is no new one; the first is kept.
        EXPECT_EQ(archive->store(advance, evening, later.win, *later.pairs),
                  OddsArchive::Stored::Unchanged);
        ASSERT_EQ(archive->snapshots(zoName).size(), 1U);
        EXPECT_EQ(archive->snapshots(zoName)[0].win.horse(1).winOdds, early.win.horse(1).winOdds);
        // The fetch on the race day knows the post time and the field.
        ASSERT_EQ(archive->store(later.race, later.fetched, later.win, *later.pairs),
                  OddsArchive::Stored::Added);
        EXPECT_EQ(archive->race(zoName)->post, post);
        EXPECT_EQ(archive->race(zoName)->runners, later.race.runners);
        // Each snapshot keeps the field it was taken with.
        const auto snapshots = archive->snapshots(zoName);
        ASSERT_EQ(snapshots.size(), 2U);
        EXPECT_TRUE(snapshots[0].win.horse(later.race.runners).winOdds.trimmed().isEmpty());
        EXPECT_EQ(snapshots[1].win.horse(later.race.runners).winOdds,
                  later.win.horse(later.race.runners).winOdds);
        importFolders(*archive, {season.days});
    }
    // The heads of a few pages overwritten: the quick check on opening refuses the file, for
    // reading and for writing, and the file stays as it was.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_GT(file.size(), 4 * 4096);
    for (const qint64 page : {1, 2, 3}) {
        file.seek(page * 4096);
        file.write(QByteArray(16, '\xA5'));
    }
    file.close();
    const QByteArray damaged = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    for (const bool readOnly : {false, true}) {
        QString note;
        EXPECT_FALSE(OddsArchive::open(path, note, readOnly));
        EXPECT_TRUE(note.contains(u"壊れています"_s)) << qPrintable(note);
    }
    QString note;
    const auto checked = OddsArchive::open(path, note, true, OddsArchive::Check::None);
    ASSERT_TRUE(checked);
    EXPECT_FALSE(checked->integrityOk());
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), damaged);
}
