// SPDX-License-Identifier: MIT
// The stakes of the race shown: against a hand computation, against the backtest's own stakes
// over a season, and the walk-forward rule on seasons whose truth is known.
#include <gtest/gtest.h>
#include <map>

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "base/message_sink.h"
#include "pat/pat_names.h"
#include "pat/win_place_odds.h"
#include "race/backtest.h"
#include "race/calibration_races.h"
#include "race/model_fit.h"
#include "race/race_display.h"
#include "race/race_stakes.h"
#include "race/walk_forward.h"
#include "race_generator.h"
#include "realistic_season.h"
#include "season_generator.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

// The stakes CSV of a backtest: per race and bet type the bankroll before it and each pair's
// stake.
struct CsvStakes
{
    qint64 bankroll = 0;
    std::map<std::pair<int, int>, qint64> yen;
};

std::map<std::pair<QString, QString>, CsvStakes> readStakes(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QStringDecoder decoder("windows-932");
    std::map<std::pair<QString, QString>, CsvStakes> races;
    const QString text = decoder.decode(file.readAll());
    for (const QString& line : text.split(u"\r\n"_s, Qt::SkipEmptyParts).mid(1)) {
        const QStringList f = line.split(u',');
        const auto unquoted = [](const QString& s) {
            return s.mid(1, s.size() - 2);
        };
        CsvStakes& race = races[{unquoted(f[0]), unquoted(f[1])}];
        race.bankroll = f[5].toLongLong();
        const QStringList pair = unquoted(f[2]).split(u'-');
        race.yen[{pair[0].toInt(), pair[1].toInt()}] = f[6].toLongLong();
    }
    return races;
}

} // namespace

// Four runners at win odds 2, 4, 5 and 20: the win chances are 1/2, 1/4, 1/5 and 1/20 exactly,
// and Harville's chances by hand. Quinella 1-2 at 3.0 is the only bet worth more than it costs
// (chance 5/12, value 1.25): Kelly's fraction p − R/o with R = (1 − 5/12)/(1 − 1/3) = 7/8 is
// 1/8, a quarter of it on 100,000 yen 3,125, floored to 3,100. Wide 1-4, paid unless 1 or 4
// finishes last (chance 0.2504699 by enumerating the 24 orders), at a low end of 5.0: Kelly's
// (qo − 1)/(o − 1) = 0.0630875, a quarter 1,577 yen, floored to 1,500.
TEST(RaceStakes, AHandMadeRaceHasTheChancesValuesAndStakesComputedByHand)
{
    TestFolder folder;
    PatRandom random(3);
    GeneratedRace race = generateRace(random, 0, 4, false);
    const double win[] = {2.0, 4.0, 5.0, 20.0};
    for (std::size_t h = 0; h < 4; ++h) {
        race.horses[h].scratched = false;
        race.horses[h].winOdds = win[h];
        race.horses[h].placeOddsMin = 1.1;
        race.horses[h].placeOddsMax = 1.5;
    }
    // Quinella and wide low ends by pair, in pair order 1-2, 1-3, 1-4, 2-3, 2-4, 3-4.
    const double quinella[] = {3.0, 2.5, 10.0, 6.0, 25.0, 30.0};
    const double wide[] = {1.0, 1.0, 5.0, 1.1, 2.0, 3.0};
    for (std::size_t k = 0; k < race.pairs.size(); ++k) {
        race.pairs[k].quinellaOdds = quinella[k];
        race.pairs[k].wideOddsMin = wide[k];
        race.pairs[k].wideOddsMax = wide[k] + 1.0;
    }
    QString error;
    ASSERT_TRUE(writeRaceSet(folder.path(), race, &error)) << qPrintable(error);
    SettingsStore settings(folder.filePath(u"settings.ini"_s));
    NullMessageSink sink;
    RaceDisplay display(settings, sink);
    ASSERT_TRUE(display.load(folder.filePath(winPlaceOddsFileName(race))));

    const RaceStakes stakes = stakeRace(display, ModelSettings{}, {true, true}, 100000, 0.25);
    const std::map<std::pair<int, int>, double> quinellaChance
        = {{{1, 2}, 5.0 / 12},
           {{1, 3}, 0.325},
           {{1, 4}, 0.05 + 0.025 / 0.95},
           {{2, 3}, 0.05 / 0.75 + 0.0625},
           {{2, 4}, 0.0125 / 0.75 + 0.0125 / 0.95},
           {{3, 4}, 0.0125 + 0.01 / 0.95}};
    ASSERT_EQ(stakes.pairs[0].size(), 6U);
    for (const PairValue& value : stakes.pairs[0]) {
        const double chance = quinellaChance.at({value.first, value.second});
        EXPECT_NEAR(value.chance, chance, 1e-9) << value.first << '-' << value.second;
        EXPECT_NEAR(value.value, chance * static_cast<double>(value.odds), 1e-9);
        EXPECT_EQ(value.stake, value.first == 1 && value.second == 2 ? 3100 : 0);
    }
    const PairValue* wide14 = stakes.find(BetType::Wide, 1, 4);
    ASSERT_NE(wide14, nullptr);
    EXPECT_NEAR(wide14->chance, 0.25046992481203, 1e-9);
    EXPECT_EQ(wide14->odds, 5.0F);
    EXPECT_NEAR(wide14->value, 5 * 0.25046992481203, 1e-9);
    for (const PairValue& value : stakes.pairs[1]) {
        EXPECT_EQ(value.stake, &value == wide14 ? 1500 : 0) << value.first << '-' << value.second;
    }
    EXPECT_EQ(stakes.best(BetType::Quinella)->second, 2);
    EXPECT_EQ(stakes.totalStake(), 4600);

    // Under Harville nothing is staked, and the reason says so; the values stay.
    StakeSettings chosen;
    chosen.model = StakeModel::Harville;
    const RaceStakes harville = raceStakesOf(display, chosen, std::nullopt);
    EXPECT_EQ(harville.totalStake(), 0);
    EXPECT_FALSE(harville.reason[0].isEmpty());
    EXPECT_NEAR(harville.find(BetType::Quinella, 1, 2)->value, 1.25, 1e-9);
}

// Every race's stakes as the window makes them equal the backtest's Kelly stakes for that race,
// under the same model (the blend and the discounted model) and the bankroll it had then.
TEST(RaceStakes, TheStakesShownAreTheBacktestsRaceByRace)
{
    TestFolder folder;
    SeasonOptions options;
    options.seed = 5;
    options.days = 6;
    options.wideLongshotFactor = 1.6;
    QString error;
    ASSERT_TRUE(writeSeason(folder.filePath(u"season"_s), options, &error));
    for (const TheoryModel kind : {TheoryModel::Blend, TheoryModel::Discounted}) {
        ModelSettings model;
        model.kind = kind;
        model.quinellaWeights = {0.7, 0.3};
        {
            SettingsStore settings(folder.filePath(u"settings.ini"_s));
            model.write(settings);
        }
        BacktestRequest request;
        request.settingsFile = folder.filePath(u"settings.ini"_s);
        request.folders = {folder.filePath(u"season"_s)};
        request.stake = StakeRule::Kelly;
        request.kellyFraction = 0.25;
        request.stakesPath = folder.filePath(u"stakes.csv"_s);
        ASSERT_TRUE(runBacktest(request).ok);
        const auto races = readStakes(request.stakesPath);
        ASSERT_GT(races.size(), 20U);

        SettingsStore settings(request.settingsFile);
        NullMessageSink sink;
        RaceDisplay display(settings, sink);
        qint64 compared = 0;
        for (const auto& [key, csv] : races) {
            ASSERT_TRUE(display.load(folder.filePath(u"season/"_s + key.first)));
            const BetType bet
                = key.second == betName(BetType::Quinella) ? BetType::Quinella : BetType::Wide;
            const RaceStakes shown = stakeRace(display, model, {true, true}, csv.bankroll, 0.25);
            for (const PairValue& value : shown.pairs[betIndex(bet)]) {
                const auto at = csv.yen.find({value.first, value.second});
                EXPECT_EQ(value.stake, at == csv.yen.end() ? 0 : at->second)
                    << qPrintable(key.first) << ' ' << value.first << '-' << value.second;
                compared += value.stake > 0 ? 1 : 0;
            }
        }
        EXPECT_GT(compared, 50);
    }
}

// The walk-forward rule on seasons of 288 course-days: where the pool is Harville's own it
// stakes nothing; where wide pairs of two long shots pay 1.6 times their due, it opens the wide
// gate, stakes those pairs mostly, and its bankroll grows (the log growth's interval above 0).
// Both the held-out fit (自動較正's rule) and the gate come from the same code.
TEST(RaceStakes, TheWalkForwardRuleStakesNothingOnAFairSeasonAndGrowsOnAPlantedOne)
{
    TestFolder folder;
    SeasonOptions options;
    options.seed = 2;
    QString error;
    ASSERT_TRUE(writeSeason(folder.filePath(u"fair"_s), options, &error));
    options.wideLongshotFactor = 1.6;
    ASSERT_TRUE(writeSeason(folder.filePath(u"planted"_s), options, &error));

    BacktestRequest request;
    request.settingsFile = folder.filePath(u"settings.ini"_s);
    request.stake = StakeRule::Kelly;
    request.kellyFraction = 0.25;
    request.walkForward = true;
    request.folders = {folder.filePath(u"fair"_s)};
    const BacktestReport fair = runBacktest(request);
    ASSERT_TRUE(fair.ok && fair.walkForward) << qPrintable(fair.error);
    EXPECT_GT(fair.walkForward->fits, 20);
    for (const WalkForwardLine& line : fair.walkForward->lines) {
        EXPECT_TRUE(line.daysOpen == 0 || line.racesStaked == 0);
    }

    request.folders = {folder.filePath(u"planted"_s)};
    request.stakesPath = folder.filePath(u"stakes.csv"_s);
    const BacktestReport planted = runBacktest(request);
    ASSERT_TRUE(planted.ok && planted.walkForward);
    const WalkForwardLine& wide = planted.walkForward->lines[1];
    ASSERT_TRUE(wide.interval.has_value());
    EXPECT_GT(wide.interval->first, 0.0);
    EXPECT_GT(wide.daysOpen, 0U);
    EXPECT_GT(planted.bets[1].staking.finalBankroll, request.bankroll);
    // The stakes go mostly to the planted pairs, two horses at win odds 10.0 or more.
    qint64 plantedYen = 0;
    qint64 allYen = 0;
    NullMessageSink sink;
    for (const auto& [key, csv] : readStakes(request.stakesPath)) {
        if (key.second != betName(BetType::Wide)) {
            continue;
        }
        WinPlaceOddsRecord odds;
        ASSERT_TRUE(readWinPlaceOddsFile(folder.filePath(u"planted/"_s + key.first), odds, sink));
        for (const auto& [pair, yen] : csv.yen) {
            const bool longShots = odds.horse(pair.first).winOdds.trimmed().toDouble() >= 10.0
                                   && odds.horse(pair.second).winOdds.trimmed().toDouble() >= 10.0;
            plantedYen += longShots ? yen : 0;
            allYen += yen;
        }
    }
    EXPECT_GT(plantedYen, allYen * 3 / 4);

    // Each race staked under its own day's fit, as the window would have staked it then.
    WalkForwardPlan plan;
    ASSERT_TRUE(planWalkForward(request.folders, 7, StakeModel::Blend, plan, error));
    SettingsStore settings(request.settingsFile);
    RaceDisplay display(settings, sink);
    int races = 0;
    for (const auto& [key, csv] : readStakes(request.stakesPath)) {
        const QString path = folder.filePath(u"planted/"_s + key.first);
        const quint32 day = plan.dayOf.value(path);
        ASSERT_TRUE(plan.modelOfDay[day].has_value());
        ASSERT_TRUE(display.load(path));
        const RaceStakes shown
            = stakeRace(display, *plan.modelOfDay[day], plan.openOfDay[day], csv.bankroll, 0.25);
        const BetType bet
            = key.second == betName(BetType::Quinella) ? BetType::Quinella : BetType::Wide;
        for (const PairValue& value : shown.pairs[betIndex(bet)]) {
            const auto at = csv.yen.find({value.first, value.second});
            EXPECT_EQ(value.stake, at == csv.yen.end() ? 0 : at->second) << qPrintable(path);
        }
        if (++races == 40) {
            break;
        }
    }
}

// 自動較正's fit: held out on the last fifth of the course-days in the order they were run, kept
// in the settings as it was made.
TEST(RaceStakes, TheAutomaticFitHoldsOutTheLastFifthAndKeepsWhatItMade)
{
    TestFolder folder;
    SeasonOptions options;
    options.seed = 4;
    options.days = 50;
    QString error;
    ASSERT_TRUE(writeSeason(folder.filePath(u"season"_s), options, &error));
    CalibrationSeason season;
    ASSERT_TRUE(readCalibrationSeason({folder.filePath(u"season"_s)}, season, error));
    ASSERT_EQ(season.days, 50U);
    const ModelFitRun few = fitHeldOut(season, 40, QDateTime::currentDateTimeUtc());
    EXPECT_FALSE(few.fit.has_value()); // 480 races: too few
    EXPECT_FALSE(few.why.isEmpty());
    const ModelFitRun run = fitHeldOut(season, 50, QDateTime::fromSecsSinceEpoch(1'800'000'000));
    ASSERT_TRUE(run.fit.has_value());
    EXPECT_EQ(run.fit->days, 40);
    EXPECT_EQ(run.fit->testDays, 10);
    EXPECT_EQ(run.fit->testRaces + run.fit->races, static_cast<qint64>(season.races.size()));
    // The held-out days are the last run: this season's files share one time, so the order is
    // that of their names (which begin with the date).
    QString lastFitted;
    QString firstHeld = u"~"_s;
    for (auto at = season.dayOf.cbegin(); at != season.dayOf.cend(); ++at) {
        const QString name = QFileInfo(at.key()).fileName();
        if (at.value() < 40) {
            lastFitted = std::max(lastFitted, name);
        } else {
            firstHeld = std::min(firstHeld, name);
        }
    }
    EXPECT_LT(lastFitted, firstHeld);
    SettingsStore settings(folder.filePath(u"settings.ini"_s));
    run.fit->write(settings);
    EXPECT_EQ(ModelFit::read(settings), run.fit);
}

// The walk-forward rule sees nothing of the day it stakes: on a realistic season (its files
// dated as fetched, two or three courses a date) every course-day's fit ends before the first
// course-day of its date, and a season cut short after 50 course-days gets, day for day, the
// models and gates the whole season's plan gives its first 50.
TEST(RaceStakes, TheWalkForwardsFitsSeeOnlyEarlierDates)
{
    TestFolder folder;
    RealisticSeasonOptions options;
    options.seed = 3;
    options.days = 62;
    QString error;
    ASSERT_TRUE(writeRealisticSeason(folder.filePath(u"whole"_s), options, &error));
    options.days = 50;
    ASSERT_TRUE(writeRealisticSeason(folder.filePath(u"cut"_s), options, &error));
    WalkForwardPlan whole;
    WalkForwardPlan cut;
    ASSERT_TRUE(planWalkForward({folder.filePath(u"whole"_s)}, 5, StakeModel::Blend, whole, error));
    ASSERT_TRUE(planWalkForward({folder.filePath(u"cut"_s)}, 5, StakeModel::Blend, cut, error));
    ASSERT_EQ(cut.days, 50U);
    EXPECT_GT(whole.fits, 1);
    for (quint32 d = 0; d < whole.days; ++d) {
        const quint32 end = whole.fitEndOfDay[d];
        ASSERT_LE(end, d);
        if (end > 0) {
            EXPECT_LT(whole.dateOf[end - 1], whole.dateOf[d]) << d;
        }
        if (d < cut.days) {
            EXPECT_EQ(cut.modelOfDay[d], whole.modelOfDay[d]) << d;
            EXPECT_EQ(cut.openOfDay[d], whole.openOfDay[d]) << d;
        }
    }
}
