// SPDX-License-Identifier: MIT
// The backtest's counting on small generated folders, and its statistics on tallies made by hand.
#include <gtest/gtest.h>
#include <map>

#include <QFile>
#include <QStringDecoder>

#include "race/backtest.h"
#include "race/race_display.h"
#include "race_generator.h"
#include "season_generator.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

RaceTally tally(std::initializer_list<std::pair<BacktestGroup, GroupTally>> groups)
{
    RaceTally t{};
    for (const auto& [group, value] : groups) {
        t[static_cast<std::size_t>(group)] = value;
    }
    return t;
}

const GroupSummary& lineOf(const BacktestReport& report, BetType bet, BacktestGroup group)
{
    return report.bets[bet == BetType::Quinella ? 0 : 1].lines[static_cast<std::size_t>(group)];
}

} // namespace

TEST(BacktestStats, RatesDrawdownAndBootstrap)
{
    EXPECT_EQ(percentTenths(1, 8), 125); // 12.5 exactly
    EXPECT_EQ(percentTenths(1, 16), 63); // 6.25 → 6.3, half away from zero
    EXPECT_EQ(percentTenths(2, 3), 667); // 66.66… → 66.7
    EXPECT_EQ(tenthsText(775), u"77.5"_s);

    // Profit after each race: -100, +400, +200, -300, 0: the fall from the peak +400 to -300.
    const std::vector<RaceTally> races = {
        tally({{BacktestGroup::All, {1, 0, 0}}}),
        tally({{BacktestGroup::All, {1, 1, 600}}}),
        tally({{BacktestGroup::All, {2, 0, 0}}}),
        tally({{BacktestGroup::All, {5, 0, 0}}}),
        tally({{BacktestGroup::All, {1, 1, 400}}}),
    };
    const auto lines = summariseBacktest(races, BetType::Quinella);
    ASSERT_EQ(lines.size(), 13U);
    const GroupSummary& all = lines[0];
    EXPECT_EQ(all.bets, 10);
    EXPECT_EQ(all.hits, 2);
    EXPECT_EQ(all.stake, 1000);
    EXPECT_EQ(all.returns, 1000);
    EXPECT_EQ(all.returnRate, 1000);
    EXPECT_EQ(all.hitRate, 200);
    EXPECT_EQ(all.maxDrawdown, 700);
    EXPECT_EQ(cumulativeProfit(races, 0), (std::vector<qint64>{-100, 400, 200, -300, 0}));
    ASSERT_TRUE(all.returnRateLower && all.returnRateUpper);
    EXPECT_LE(*all.returnRateLower, *all.returnRate);
    EXPECT_GE(*all.returnRateUpper, *all.returnRate);
    EXPECT_EQ(summariseBacktest(races, BetType::Quinella)[0].returnRateLower,
              all.returnRateLower); // a fixed seed: the same bounds every run
    // A group without bets: no rates, no bounds, no drawdown.
    EXPECT_FALSE(lines[1].returnRate || lines[1].hitRate || lines[1].returnRateLower);
    EXPECT_EQ(lines[1].maxDrawdown, 0);

    EXPECT_EQ(deviationBand(-501), BacktestGroup::DeviationBelowMinus50);
    EXPECT_EQ(deviationBand(-500), BacktestGroup::DeviationMinus50ToMinus20);
    EXPECT_EQ(deviationBand(-1), BacktestGroup::DeviationMinus20To0);
    EXPECT_EQ(deviationBand(0), BacktestGroup::Deviation0To20); // "-0.0" too
    EXPECT_EQ(deviationBand(200), BacktestGroup::Deviation20To50);
    EXPECT_EQ(deviationBand(500), BacktestGroup::DeviationFrom50);
}

// Races of a generated folder: the counts against the window's own lists of each race.
TEST(Backtest, CountsWhatTheWindowShowsAndSkipsWithTheFirstCause)
{
    TestFolder folder;
    PatRandom random(15);
    QString error;
    std::vector<GeneratedRace> races;
    for (int i = 0; i < 6; ++i) {
        GeneratedRace race = generateRace(random, i, 6 + i, true);
        if (i == 1) {
            race.widePayouts.clear(); // counts for quinella only
        }
        if (i == 2) {
            // A dead heat: the winning wide pair paid twice.
            race.widePayouts.push_back(race.widePayouts.front());
            race.widePayouts.back().amount = 1230;
        }
        ASSERT_TRUE(writeRaceSet(folder.path(), race, &error)) << qPrintable(error);
        races.push_back(race);
    }
    // Race 3 has no result; race 4's Uo- is broken; race 5's Zo- is broken.
    ASSERT_TRUE(QFile::remove(folder.filePath(raceResultFileName(races[3]))));
    folder.write(u"Uo-"_s + races[4].fileKey + u".jra"_s, "short");
    folder.write(winPlaceOddsFileName(races[5]), "short");

    BacktestRequest request;
    request.folders = {folder.path()};
    request.settingsFile = folder.filePath(u"settings.ini"_s);
    request.pairsPath = folder.filePath(u"pairs.csv"_s);
    const BacktestReport report = runBacktest(request);
    ASSERT_TRUE(report.ok) << qPrintable(report.error);
    EXPECT_EQ(report.racesSeen, 6);
    EXPECT_EQ(report.bets[0].raceFiles.size(), 3);
    EXPECT_EQ(report.bets[1].raceFiles.size(), 2);
    const auto skipped = [&report](SkipCause cause) {
        return report.skipped[static_cast<std::size_t>(cause)];
    };
    EXPECT_EQ(skipped(SkipCause::NoKs), 1);
    EXPECT_EQ(skipped(SkipCause::UoUnreadable), 1);
    EXPECT_EQ(skipped(SkipCause::ZoUnreadable), 1);
    EXPECT_EQ(skipped(SkipCause::NoWidePayout), 1);

    // The expected sums, race by race, from the window's lists.
    SettingsStore settings(request.settingsFile);
    NullMessageSink sink;
    RaceDisplay display(settings, sink);
    qint64 quinellaBets = 0;
    qint64 wideReturns = 0;
    qint64 pairLines = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(display.load(folder.filePath(winPlaceOddsFileName(races[i]))));
        for (const auto& row : display.quinellaList().rows()) {
            quinellaBets += row[ActualColumn].showsNothing() ? 0 : 1;
        }
        pairLines += static_cast<qint64>(display.quinellaList().rows().size());
        if (i != 1) {
            pairLines += static_cast<qint64>(display.wideList().rows().size());
            for (const auto& payout : races[static_cast<std::size_t>(i)].widePayouts) {
                wideReturns += payout.amount;
            }
        }
    }
    EXPECT_EQ(lineOf(report, BetType::Quinella, BacktestGroup::All).bets, quinellaBets);
    // Every wide payout is a listed pair's (the dead heat's twice, as one hit).
    const GroupSummary& wide = lineOf(report, BetType::Wide, BacktestGroup::All);
    EXPECT_EQ(wide.returns, wideReturns);
    EXPECT_EQ(wide.hits,
              static_cast<qint64>(races[0].widePayouts.size() + races[2].widePayouts.size()) - 1);
    QFile pairs(request.pairsPath);
    ASSERT_TRUE(pairs.open(QIODevice::ReadOnly));
    EXPECT_EQ(pairs.readAll().count("\r\n"), pairLines + 1); // and the heading
}

TEST(Backtest, WritesNothingWhenNoRaceCountsOrAFolderIsMissing)
{
    TestFolder folder;
    PatRandom random(3);
    QString error;
    ASSERT_TRUE(writeRaceSet(folder.path(), generateRace(random, 0, 8, false), &error));
    const QString csv = folder.write(u"summary.csv"_s, "kept");
    BacktestRequest request;
    request.folders = {folder.path()};
    request.settingsFile = folder.filePath(u"settings.ini"_s);
    request.csvPath = csv;
    request.pairsPath = folder.filePath(u"pairs.csv"_s);
    BacktestReport report = runBacktest(request);
    EXPECT_FALSE(report.ok);
    EXPECT_EQ(report.skipped[static_cast<std::size_t>(SkipCause::NoKs)], 1);
    QFile kept(csv);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "kept");
    EXPECT_FALSE(QFile::exists(request.pairsPath));

    request.folders << folder.filePath(u"missing"_s);
    report = runBacktest(request);
    EXPECT_FALSE(report.ok);
    EXPECT_TRUE(report.error.contains(u"missing"_s));
}

namespace {

// The wide lines of a pairs table: (file, label) → (actual odds text, payout).
std::map<std::pair<QString, QString>, std::pair<QString, qint64>> widePairs(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QStringDecoder decoder("windows-932");
    const QString text = decoder.decode(file.readAll());
    std::map<std::pair<QString, QString>, std::pair<QString, qint64>> pairs;
    for (const QString& line : text.split(u"\r\n"_s, Qt::SkipEmptyParts).mid(1)) {
        const QStringList f = line.split(u',');
        if (f.size() == 11 && f[1] == u"\"ﾜｲﾄﾞ\"") {
            pairs[{f[0], f[2]}] = {f[4], f[10].toLongLong()};
        }
    }
    return pairs;
}

} // namespace

// A generated season whose market is efficient returns the takeout's 77.5% within the interval;
// the same season with the wide odds of longshot pairs raised by 1.6 returns more, and those
// pairs, found in the pairs table by their changed odds, pay above their stake with confidence.
TEST(Backtest, FindsThePlantedEdgeOfASeasonAndNoneInAnEfficientOne)
{
    TestFolder folder;
    SeasonOptions options;
    options.seed = 7;
    options.days = 144;
    QString error;
    ASSERT_TRUE(writeSeason(folder.filePath(u"fair"_s), options, &error)) << qPrintable(error);
    options.wideLongshotFactor = 1.6;
    ASSERT_TRUE(writeSeason(folder.filePath(u"planted"_s), options, &error)) << qPrintable(error);

    BacktestRequest request;
    request.settingsFile = folder.filePath(u"settings.ini"_s);
    request.folders = {folder.filePath(u"fair"_s)};
    request.pairsPath = folder.filePath(u"fair.csv"_s);
    const BacktestReport fair = runBacktest(request);
    request.folders = {folder.filePath(u"planted"_s)};
    request.pairsPath = folder.filePath(u"planted.csv"_s);
    const BacktestReport planted = runBacktest(request);
    ASSERT_TRUE(fair.ok && planted.ok);
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        const GroupSummary& all = lineOf(fair, bet, BacktestGroup::All);
        EXPECT_LE(*all.returnRateLower, 775) << betName(bet).toStdString();
        EXPECT_GE(*all.returnRateUpper, 775) << betName(bet).toStdString();
    }
    EXPECT_GT(*lineOf(planted, BetType::Wide, BacktestGroup::All).returnRate,
              *lineOf(fair, BetType::Wide, BacktestGroup::All).returnRate);

    // The planted pairs' bets, race by race, summed as one group.
    const auto before = widePairs(folder.filePath(u"fair.csv"_s));
    const auto after = widePairs(folder.filePath(u"planted.csv"_s));
    std::vector<RaceTally> races;
    QString lastFile;
    for (const auto& [key, value] : after) {
        const auto it = before.find(key);
        ASSERT_NE(it, before.end());
        if (it->second.first == value.first || value.first.isEmpty()
            || value.first == u"99999.9"_s) {
            continue; // not planted, or no bet
        }
        if (key.first != lastFile) {
            races.emplace_back();
            lastFile = key.first;
        }
        GroupTally& t = races.back()[0];
        ++t.bets;
        t.hits += value.second > 0 ? 1 : 0;
        t.returns += value.second;
    }
    const GroupSummary edge = summariseBacktest(races, BetType::Wide)[0];
    EXPECT_GT(edge.bets, 1000);
    EXPECT_GT(*edge.returnRateLower, 1000);
}
