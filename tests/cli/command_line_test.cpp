// SPDX-License-Identifier: MIT
// The program's command line, run as a separate process without any display.
#include <gtest/gtest.h>
#include <map>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>

#include "archive/bet_ledger.h"
#include "archive/odds_archive.h"
#include "race/backtest.h"
#include "race/csv_export.h"
#include "race/model_fit.h"
#include "race/race_display.h"
#include "race_generator.h"
#include "realistic_season.h"
#include "season_generator.h"
#include "settings/model_settings.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

struct ProcessRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the program; `zone`, when given, is the machine's time zone for it.
ProcessRun run(const QStringList& arguments, const QString& zone = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"DISPLAY"_s);
    env.remove(u"WAYLAND_DISPLAY"_s);
    env.remove(u"QT_QPA_PLATFORM"_s);
    if (!zone.isEmpty()) {
        env.insert(u"TZ"_s, zone);
    }
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(MIKAZUKI_BINARY), arguments);
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(CommandLine, ExportWritesWhatTheWindowWould)
{
    TestFolder folder;
    PatRandom random(9);
    const GeneratedRace race = generateRace(random, 10, 18, true);
    QString error;
    ASSERT_TRUE(writeRaceSet(folder.path(), race, &error));
    const QString zo = folder.filePath(winPlaceOddsFileName(race));
    const QString ini = folder.filePath(u"settings.ini"_s);
    {
        SettingsStore settings(ini);
        settings.writeInteger16(
            SettingsKey::DetectVal, {}, 1, 3); // the export must use the given settings
    }
    const QString out = folder.filePath(u"race.csv"_s);
    const ProcessRun result = run({u"--settings"_s, ini, u"--export-csv"_s, out, zo});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();

    SettingsStore settings(ini);
    RecordingMessageSink sink;
    RaceDisplay display(settings, sink);
    ASSERT_TRUE(display.load(zo));
    EXPECT_EQ(readFile(out), CsvExport::build(display));
}

TEST(CommandLine, FailuresExitOneAndLeaveOutUntouched)
{
    TestFolder folder;
    const QString zo = folder.write(u"Zo-bad.jra"_s, "too short");
    const QString out = folder.filePath(u"new.csv"_s);
    ProcessRun result = run({u"--export-csv"_s, out, zo});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(u"ファイルの読み込みに失敗しました。"))
        << result.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));

    const QString existing = folder.write(u"old.csv"_s, "old contents");
    result = run({u"--export-csv"_s, existing, folder.filePath(u"Zo-missing.jra"_s)});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(readFile(existing), "old contents");

    // A race that reads, an OUT that cannot be written.
    const QString good = folder.write(u"Zo-0001.jra"_s,
                                      handWinPlaceOdds(u" 1"_s, {{u"2.0"_s, u"1.1"_s, u"1.2"_s}}));
    result = run({u"--export-csv"_s, folder.filePath(u"no/such/dir.csv"_s), good});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(u"ファイルの保存に失敗しました。")) << result.err.toStdString();

    result = run({u"--export-csv"_s, out});
    EXPECT_EQ(result.exitCode, 1);
}

TEST(CommandLine, HelpAndVersionNeedNoDisplay)
{
    const ProcessRun version = run({u"--version"_s});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.contains(u"0.1.0")) << version.out.toStdString();
    const ProcessRun help = run({u"--help"_s});
    EXPECT_EQ(help.exitCode, 0);
    for (const QString& part : {u"--export-csv"_s, u"backtest"_s, u"calibrate"_s, u"使い方"_s}) {
        EXPECT_TRUE(help.out.contains(part)) << qPrintable(part) << help.out.toStdString();
    }
}

// Without a display, with a mistyped command or an unusable --settings the program says why in
// Japanese, on one line, and exits 1 (never Qt's abort).
TEST(CommandLine, CommandsThatCannotRunSayWhy)
{
    TestFolder folder;
    ProcessRun result = run({});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(u"ディスプレイが必要です"_s)) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(u"backtest"_s));
    result = run({u"backtst"_s, folder.path()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(u"不明なコマンドです: backtst"_s)) << result.err.toStdString();

    const QString zo = folder.write(u"Zo-0001.jra"_s,
                                    handWinPlaceOdds(u" 1"_s, {{u"2.0"_s, u"1.1"_s, u"1.2"_s}}));
    const QString binary = folder.write(u"binary.ini"_s, QByteArray("\x01\x00\xFFzz", 5));
    for (const QString& ini : {folder.path(), binary}) {
        const QList<QStringList> commands
            = {{u"backtest"_s, u"--settings"_s, ini, folder.path()},
               {u"calibrate"_s, u"--settings"_s, ini, folder.path()},
               {u"--settings"_s, ini, u"--export-csv"_s, folder.filePath(u"out.csv"_s), zo}};
        for (const QStringList& arguments : commands) {
            result = run(arguments);
            EXPECT_EQ(result.exitCode, 1) << qPrintable(arguments.join(u' '));
            EXPECT_TRUE(result.err.contains(u"--settings "_s + ini + u": "_s))
                << result.err.toStdString();
            EXPECT_EQ(result.err.count(u'\n'), 1) << result.err.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(folder.filePath(u"out.csv"_s)));
}

// The backtest as a process: the table on standard output, the CSV as the summary's bytes, the
// skipped races on standard error; a run where nothing counts exits 1 and writes nothing.
TEST(CommandLine, BacktestPrintsTheTableAndWritesItsCsv)
{
    TestFolder folder;
    PatRandom random(21);
    QString error;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(writeRaceSet(folder.path(), generateRace(random, i, 9, i != 3), &error));
    }
    const QString ini = folder.filePath(u"settings.ini"_s);
    const QString csv = folder.filePath(u"summary.csv"_s);
    ProcessRun result = run({u"backtest"_s, u"--settings"_s, ini, u"--csv"_s, csv, folder.path()});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
    // The table, the SPA line, then the staking line and its table.
    ASSERT_EQ(lines.size(), 1 + 13 + 14 + 1 + 1 + 3);
    EXPECT_TRUE(lines[1].startsWith(u"馬連  全"_s)) << lines[1].toStdString();
    EXPECT_TRUE(result.err.contains(u"Ks-"_s)); // the race still to be run
    BacktestRequest request;
    request.folders = {folder.path()};
    request.settingsFile = ini;
    EXPECT_EQ(readFile(csv), backtestSummaryCsv(runBacktest(request)));

    const QString empty = folder.filePath(u"empty"_s);
    ASSERT_TRUE(QDir().mkdir(empty));
    result = run({u"backtest"_s, u"--settings"_s, ini, u"--csv"_s, csv, empty});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_FALSE(result.err.isEmpty());
    EXPECT_EQ(readFile(csv), backtestSummaryCsv(runBacktest(request))); // untouched
    EXPECT_EQ(run({u"backtest"_s, folder.filePath(u"missing"_s)}).exitCode, 1);
}

// calibrate --save --json: the JSON on standard output, the fitted model in the settings.
TEST(CommandLine, CalibrateSavesTheFitItPrints)
{
    TestFolder folder;
    SeasonOptions options;
    options.seed = 36;
    options.days = 4;
    QString error;
    ASSERT_TRUE(writeSeason(folder.filePath(u"season"_s), options, &error));
    const QString ini = folder.filePath(u"settings.ini"_s);
    const ProcessRun result = run({u"calibrate"_s,
                                   u"--settings"_s,
                                   ini,
                                   u"--save"_s,
                                   u"--json"_s,
                                   folder.filePath(u"season"_s)});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(result.out.toUtf8()).object();
    EXPECT_EQ(json[u"races"_s].toInt(), 48);
    const ModelSettings model = ModelSettings::read(SettingsStore(ini));
    EXPECT_EQ(model.kind, TheoryModel::Discounted);
    EXPECT_EQ(model.lambda, json[u"lambda"_s].toDouble());
    EXPECT_EQ(model.tau, json[u"tau"_s].toDouble());
    EXPECT_EQ(run({u"calibrate"_s, folder.filePath(u"missing"_s)}).exitCode, 1);
}

// A realistic season in `days` with the odds of its five fetches beside it; the fetch folders,
// first to last (none when it could not be written).
QStringList writeSeasonWithFetches(const TestFolder& folder, quint64 seed, int days)
{
    RealisticSeasonOptions options;
    options.seed = seed;
    options.days = days;
    options.snapshotFolder = folder.filePath(u"snap"_s);
    QString error;
    if (!writeRealisticSeason(folder.filePath(u"days"_s), options, &error)) {
        ADD_FAILURE() << qPrintable(error);
        return {};
    }
    QStringList fetches;
    for (const char* fetch : {"m60", "m30", "m10", "m05", "m02"}) {
        fetches << folder.filePath(u"snap/"_s + QString::fromLatin1(fetch));
    }
    return fetches;
}

// Every snapshot of an archive: race, fetch time and odds.
std::map<std::pair<QString, qint64>, QByteArray> snapshotsOf(const OddsArchive& archive)
{
    std::map<std::pair<QString, qint64>, QByteArray> all;
    for (const ArchiveRace& race : archive.races()) {
        for (const ArchivedOdds& odds : archive.snapshots(race.file)) {
            all[{race.file, odds.fetched.toMSecsSinceEpoch()}]
                = OddsArchive::packOdds(race.runners, odds.win, *odds.pairs);
        }
    }
    return all;
}

// The archive's commands on a season's fetches; an import killed while it writes, again and
// again, leaves a sound archive whose snapshots are those of a clean import, less the one being
// written at most.
TEST(CommandLine, ArchiveImportKilledMidWriteLosesNoStoredSnapshot)
{
    TestFolder folder;
    const QStringList fetches = writeSeasonWithFetches(folder, 13, 4);
    ASSERT_EQ(fetches.size(), 5);
    const QString whole = folder.filePath(u"whole.sqlite"_s);
    // A folder that is not there is named, the others imported all the same, and the run fails.
    const QString missing = folder.filePath(u"missing"_s);
    const ProcessRun withMissing = run(QStringList{u"archive"_s, u"import"_s, u"--archive"_s, whole}
                                       << fetches[0] << missing << fetches.mid(1));
    EXPECT_EQ(withMissing.exitCode, 1);
    EXPECT_TRUE(withMissing.err.contains(QDir::toNativeSeparators(missing)))
        << withMissing.err.toStdString();
    const ProcessRun again
        = run(QStringList{u"archive"_s, u"import"_s, u"--archive"_s, whole} + fetches);
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.contains(u"記録 0 "_s)) << again.out.toStdString();
    const ProcessRun info = run({u"archive"_s, u"info"_s, u"--archive"_s, whole});
    EXPECT_TRUE(info.out.startsWith(u"レース 48\n"_s)) << info.out.toStdString();
    const ProcessRun check = run({u"archive"_s, u"check"_s, u"--archive"_s, whole});
    EXPECT_EQ(check.exitCode, 0) << check.err.toStdString();

    QString note;
    const auto clean = OddsArchive::open(whole, note, true);
    ASSERT_TRUE(clean) << qPrintable(note);
    const auto cleanSnapshots = snapshotsOf(*clean);
    const QString killed = folder.filePath(u"killed.sqlite"_s);
    int partial = 0; // rounds killed before the end
    for (int round = 0; round < 8; ++round) {
        for (const QString& file : QDir(folder.path()).entryList({u"killed.sqlite*"_s})) {
            QFile::remove(folder.filePath(file));
        }
        QProcess process;
        process.start(QStringLiteral(MIKAZUKI_BINARY),
                      QStringList{u"archive"_s, u"import"_s, u"--archive"_s, killed} + fetches);
        ASSERT_TRUE(process.waitForStarted());
        // Killed once it has begun to write (its journal is there), a little later each round.
        QElapsedTimer waited;
        waited.start();
        while (!QFileInfo::exists(killed + u"-wal"_s) && waited.elapsed() < 10000) {
            QThread::msleep(1);
        }
        QThread::msleep(static_cast<unsigned long>(4 * round));
        process.kill();
        process.waitForFinished();
        const auto archive = OddsArchive::open(killed, note, true);
        ASSERT_TRUE(archive) << qPrintable(note);
        EXPECT_TRUE(archive->integrityOk());
        // Every snapshot that survived is one of the clean import, as it was stored there.
        const auto survived = snapshotsOf(*archive);
        EXPECT_EQ(static_cast<qint64>(survived.size()), archive->info().snapshots);
        for (const auto& [key, odds] : survived) {
            const auto at = cleanSnapshots.find(key);
            ASSERT_NE(at, cleanSnapshots.end()) << qPrintable(key.first);
            EXPECT_EQ(odds, at->second) << qPrintable(key.first);
        }
        partial += survived.size() < cleanSnapshots.size() ? 1 : 0;
    }
    EXPECT_GT(partial, 0);
    // Finished at last, it holds what a clean import holds.
    ASSERT_EQ(
        run(QStringList{u"archive"_s, u"import"_s, u"--archive"_s, killed} + fetches).exitCode, 0);
    const auto finished = OddsArchive::open(killed, note, true);
    ASSERT_TRUE(finished) << qPrintable(note);
    EXPECT_EQ(snapshotsOf(*finished), cleanSnapshots);
}

// Japan's clock whatever the machine's: the board and backtest --at give the same rows and pick
// the same snapshots under Tokyo, UTC and New York time.
TEST(CommandLine, BoardAndBacktestAtAreTheSameInEveryTimeZone)
{
    TestFolder folder;
    const QStringList fetches = writeSeasonWithFetches(folder, 14, 2);
    ASSERT_EQ(fetches.size(), 5);
    QStringList boards;
    QStringList backtests;
    for (const QString& zone : {u"Asia/Tokyo"_s, u"UTC"_s, u"America/New_York"_s}) {
        const QString archive = folder.filePath(zone.section(u'/', -1) + u".sqlite"_s);
        ASSERT_EQ(
            run(QStringList{u"archive"_s, u"import"_s, u"--archive"_s, archive} + fetches, zone)
                .exitCode,
            0);
        const ProcessRun board = run(
            {u"board"_s, u"--json"_s, u"--archive"_s, archive, folder.filePath(u"days"_s)}, zone);
        ASSERT_EQ(board.exitCode, 0) << board.err.toStdString();
        boards << board.out;
        const ProcessRun at = run({u"backtest"_s,
                                   u"--quiet"_s,
                                   u"--settings"_s,
                                   folder.filePath(u"s.ini"_s),
                                   u"--at"_s,
                                   u"10"_s,
                                   u"--archive"_s,
                                   archive,
                                   folder.filePath(u"days"_s)},
                                  zone);
        ASSERT_EQ(at.exitCode, 0) << at.err.toStdString();
        EXPECT_FALSE(at.err.contains(u"記録が無い"_s)) << at.err.toStdString();
        backtests << at.out;
    }
    const QJsonObject json = QJsonDocument::fromJson(boards[0].toUtf8()).object();
    const QJsonArray races = json[u"races"_s].toArray();
    ASSERT_EQ(races.size(), 24); // both course-days are on one date
    EXPECT_EQ(races[0][u"post_time"_s].toString(), u"10:00"_s);
    EXPECT_TRUE(races[0][u"post"_s].toString().endsWith(u"+09:00"_s));
    EXPECT_EQ(boards[1], boards[0]);
    EXPECT_EQ(boards[2], boards[0]);
    EXPECT_EQ(backtests[1], backtests[0]);
    EXPECT_EQ(backtests[2], backtests[0]);
}

// The stakes of a race are the same on the board and from `stakes`, in JSON as data; a bankroll
// that is no whole number of yen in range is refused in Japanese before anything is read.
TEST(CommandLine, StakesAndTheBoardStakeARaceAlike)
{
    TestFolder folder;
    SeasonOptions options;
    options.days = 2;
    options.wideLongshotFactor = 1.6;
    QString error;
    ASSERT_TRUE(writeSeason(folder.filePath(u"days"_s), options, &error));
    const QString ini = folder.filePath(u"settings.ini"_s);
    {
        // A fit as 自動較正 keeps it, its gates open.
        ModelFit fit;
        fit.fittedAt = QDateTime::currentDateTimeUtc();
        fit.folders = {folder.filePath(u"days"_s)};
        fit.races = 800;
        fit.testRaces = 200;
        fit.model.kind = TheoryModel::Blend;
        for (ModelFit::Test& test : fit.test) {
            test.races = 200;
            test.blendGain = {0.01, 0.002, 0.02};
            test.discountGain = test.blendGain;
        }
        SettingsStore settings(ini);
        fit.write(settings);
    }
    const ProcessRun board = run({u"board"_s,
                                  u"--json"_s,
                                  u"--settings"_s,
                                  ini,
                                  u"--archive"_s,
                                  folder.filePath(u"none.sqlite"_s),
                                  folder.filePath(u"days"_s)});
    ASSERT_EQ(board.exitCode, 0) << board.err.toStdString();
    int compared = 0;
    for (const QJsonValue race :
         QJsonDocument::fromJson(board.out.toUtf8())[u"races"_s].toArray()) {
        const QJsonArray value = race[u"value"_s].toArray();
        if (value.isEmpty()) {
            continue;
        }
        const ProcessRun stakes = run({u"stakes"_s,
                                       u"--json"_s,
                                       u"--settings"_s,
                                       ini,
                                       folder.filePath(u"days/"_s + race[u"file"_s].toString())});
        ASSERT_EQ(stakes.exitCode, 0) << stakes.err.toStdString();
        const QJsonObject json = QJsonDocument::fromJson(stakes.out.toUtf8()).object();
        EXPECT_EQ(json[u"value"_s].toArray(), value);
        EXPECT_EQ(json[u"total"_s].toInteger(), race[u"stake"_s].toInteger());
        EXPECT_EQ(value[0][u"pair"_s].toArray().size(), 2);
        if (++compared == 3) {
            break;
        }
    }
    EXPECT_EQ(compared, 3);

    const ProcessRun refused = run({u"stakes"_s,
                                    u"--settings"_s,
                                    ini,
                                    u"--bankroll"_s,
                                    u"1e5"_s,
                                    folder.filePath(u"days/none.jra"_s)});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_TRUE(refused.err.contains(u"--bankroll: 数値を正しく入力して下さい。"_s))
        << refused.err.toStdString();
}

namespace {

// A day of a realistic season in an archive, and a CSV of bets on three pairs of each race.
struct LedgerDay
{
    TestFolder folder;
    QString days = folder.filePath(u"days"_s);
    QString archive = folder.filePath(u"odds.sqlite"_s);
    QStringList races;

    LedgerDay()
    {
        const QStringList fetches = writeSeasonWithFetches(folder, 23, 1);
        EXPECT_EQ(
            run(QStringList{u"archive"_s, u"import"_s, u"--archive"_s, archive} << fetches << days)
                .exitCode,
            0);
        races = QDir(days).entryList({u"Zo-*"_s}, QDir::Files, QDir::Name);
    }
    QByteArray csv() const
    {
        QByteArray out = u"日時,レース,券種,組番,金額,オッズ,メモ\r\n"_s.toUtf8();
        for (const QString& race : races) {
            for (const char* pair : {"1-2", "3-4", "2-5"}) {
                out += u"2026/01/03 09:00,%1,ワイド,%2,200,,\"メモ, 一行\"\r\n"_s
                           .arg(race, QString::fromLatin1(pair))
                           .toUtf8();
            }
        }
        return out;
    }
    QStringList ledger(const QStringList& words) const
    {
        return QStringList{u"ledger"_s} << words.first() << u"--archive"_s << archive
                                        << words.mid(1);
    }
};

// Every bet of an archive as the export writes it, less the time each was settled.
QByteArray ledgerWithoutSettledTimes(const QString& archive, const QString& out)
{
    EXPECT_EQ(run({u"ledger"_s, u"export"_s, u"--archive"_s, archive, out}).exitCode, 0);
    QList<QByteArray> lines = readFile(out).split('\n');
    for (QByteArray& line : lines) {
        QList<QByteArray> fields = line.split(',');
        if (fields.size() > 12) {
            fields[fields.size() - 2].clear();
        }
        line = fields.join(',');
    }
    return lines.join('\n');
}

} // namespace

// Bad bets are refused in Japanese with nothing stored; an import takes a whole file or none
// of it (code page 932 read as well); settle, report and export agree.
TEST(CommandLine, LedgerRefusesBadBetsAndImportsAllOrNothing)
{
    LedgerDay day;
    const QString race = day.races.first();
    const auto bet
        = [](const QString& key, const QString& type, const QString& pair, const QString& stake) {
              return QStringList{
                  u"--race"_s, key, u"--bet"_s, type, u"--pair"_s, pair, u"--stake"_s, stake};
          };
    for (const auto& [arguments, why] : std::vector<std::pair<QStringList, QString>>{
             {bet(u"Zo-0000000000.jra"_s, u"wide"_s, u"1-2"_s, u"100"_s), u"記録にないレース"_s},
             {bet(race, u"wide"_s, u"1-19"_s, u"100"_s), u"頭数"_s},
             {bet(race, u"wide"_s, u"1-2"_s, u"250"_s), u"100円単位"_s},
             {bet(race, u"wide"_s, u"1-2"_s, u"0"_s), u"100円単位"_s},
             {bet(race, u"trio"_s, u"1-2"_s, u"100"_s), u"券種"_s}}) {
        const ProcessRun add = run(day.ledger(QStringList{u"add"_s} + arguments));
        EXPECT_EQ(add.exitCode, 1);
        EXPECT_TRUE(add.err.contains(why)) << add.err.toStdString();
    }
    const QString empty = day.folder.filePath(u"empty.csv"_s);
    ASSERT_EQ(run(day.ledger({u"export"_s, empty})).exitCode, 0);
    EXPECT_EQ(readFile(empty).count("\r\n"), 1); // the heading alone

    // Code page 932, one line naming a pair outside its race: that line is named, nothing kept.
    QByteArray bad = sjis(QString::fromUtf8(day.csv()));
    bad += sjis(u"2026/01/03 09:00,%1,馬連,3-19,100\r\n"_s.arg(race));
    const QString badFile = day.folder.write(u"bad.csv"_s, bad);
    const ProcessRun refused = run(day.ledger({u"import"_s, badFile}));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(u"%1行目"_s.arg(day.races.size() * 3 + 2)))
        << refused.err.toStdString();
    ASSERT_EQ(run(day.ledger({u"export"_s, empty})).exitCode, 0);
    EXPECT_EQ(readFile(empty).count("\r\n"), 1);

    const QString good = day.folder.write(u"good.csv"_s, day.csv());
    const ProcessRun imported = run(day.ledger({u"import"_s, good}));
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    const ProcessRun settled = run(day.ledger({u"settle"_s, day.days}));
    ASSERT_EQ(settled.exitCode, 0) << settled.err.toStdString();
    EXPECT_TRUE(settled.out.contains(u"精算 %1件"_s.arg(day.races.size() * 3)))
        << settled.out.toStdString();
    const ProcessRun report = run(day.ledger({u"report"_s, u"--json"_s}));
    ASSERT_EQ(report.exitCode, 0) << report.err.toStdString();
    const QJsonObject all
        = QJsonDocument::fromJson(report.out.toUtf8()).object()[u"all"_s].toObject();
    const QString out = day.folder.filePath(u"out.csv"_s);
    ASSERT_EQ(run(day.ledger({u"export"_s, out})).exitCode, 0);
    const QByteArray exported = readFile(out);
    qint64 returns = 0;
    for (const QByteArray& line : exported.split('\n').mid(1)) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() > 12) {
            returns += fields[fields.size() - 4].toLongLong();
        }
    }
    EXPECT_EQ(all[u"bets"_s].toInt(), day.races.size() * 3);
    EXPECT_EQ(all[u"returns"_s].toInteger(), returns);
    EXPECT_TRUE(exported.contains(sjis(u"\"メモ, 一行\""_s)));
}

// A ledger import or settlement killed part-way, again and again, leaves a sound archive with
// that change made whole or not at all; finished at last, the ledger is a clean run's.
TEST(CommandLine, LedgerKilledMidChangeLosesAtMostThatChange)
{
    LedgerDay day;
    const QString csv = day.folder.write(u"bets.csv"_s, day.csv());
    const qint64 count = day.races.size() * 3;
    const QString clean = day.folder.filePath(u"clean.sqlite"_s);
    ASSERT_TRUE(QFile::copy(day.archive, clean));
    for (const QString& action : {u"import"_s, u"settle"_s}) {
        ASSERT_EQ(run({u"ledger"_s,
                       action,
                       u"--archive"_s,
                       clean,
                       action == u"import"_s ? csv : day.days})
                      .exitCode,
                  0);
    }
    const QByteArray cleanLedger
        = ledgerWithoutSettledTimes(clean, day.folder.filePath(u"clean.csv"_s));

    const QString killed = day.folder.filePath(u"killed.sqlite"_s);
    int cut = 0; // rounds killed before a change was whole
    for (int round = 0; round < 6; ++round) {
        for (const QString& file : QDir(day.folder.path()).entryList({u"killed.sqlite*"_s})) {
            QFile::remove(day.folder.filePath(file));
        }
        ASSERT_TRUE(QFile::copy(day.archive, killed));
        for (const QString& action : {u"import"_s, u"settle"_s}) {
            const QStringList arguments{u"ledger"_s,
                                        action,
                                        u"--archive"_s,
                                        killed,
                                        action == u"import"_s ? csv : day.days};
            QProcess process;
            process.start(QStringLiteral(MIKAZUKI_BINARY), arguments);
            ASSERT_TRUE(process.waitForStarted());
            // Killed once it has the archive open (its journal is there), later each round.
            QElapsedTimer waited;
            waited.start();
            while (!QFileInfo::exists(killed + u"-wal"_s) && waited.elapsed() < 10000) {
                QThread::msleep(1);
            }
            QThread::msleep(static_cast<unsigned long>(3 * round));
            process.kill();
            process.waitForFinished();
            QString note;
            {
                const auto archive = OddsArchive::open(killed, note, true);
                ASSERT_TRUE(archive) << qPrintable(note);
                EXPECT_TRUE(archive->integrityOk());
                const auto bets = BetLedger(*const_cast<OddsArchive*>(archive.get())).bets();
                qint64 settled = 0;
                for (const LedgerBet& bet : bets) {
                    settled += bet.settlement ? 1 : 0;
                }
                if (action == u"import"_s) {
                    EXPECT_TRUE(bets.empty() || static_cast<qint64>(bets.size()) == count);
                    cut += bets.empty() ? 1 : 0;
                } else {
                    EXPECT_TRUE(settled == 0 || settled == count) << settled;
                    cut += settled == 0 ? 1 : 0;
                }
                if ((action == u"import"_s && !bets.empty())
                    || (action == u"settle"_s && settled == count)) {
                    continue;
                }
            }
            const ProcessRun again = run(arguments);
            ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
        }
        EXPECT_EQ(ledgerWithoutSettledTimes(killed, day.folder.filePath(u"killed.csv"_s)),
                  cleanLedger);
    }
    std::printf("killed before the change was whole: %d of 12\n", cut);
}
