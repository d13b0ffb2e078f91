// SPDX-License-Identifier: MIT
// The model fit on seasons with a known truth, the scoreboard of the models on a realistic and
// an efficient season, and the calibrate command's file reading.
#include <cmath>
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "analysis/calibration.h"
#include "race/calibration_run.h"
#include "race_generator.h"
#include "realistic_season.h"
#include "season_generator.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

// A season's races as the calibration reads them from the files: the chances from the win odds
// as shown (one decimal), the first three of the drawn order.
std::vector<CalibrationRace> seasonRaces(std::uint64_t seed, double lambda, double tau)
{
    SeasonOptions options;
    options.seed = seed;
    options.orderLambda = lambda;
    options.orderTau = tau;
    std::vector<CalibrationRace> races;
    for (int day = 0; day < options.days; ++day) {
        for (const GeneratedRace& generated : generateSeasonDay(options, day)) {
            CalibrationRace race;
            race.runners = generated.runners();
            std::array<double, kMaxRunners + 1> odds{};
            for (int h = 1; h <= race.runners; ++h) {
                const GeneratedHorse& horse = generated.horses[static_cast<std::size_t>(h - 1)];
                odds[static_cast<std::size_t>(h)]
                    = horse.scratched ? 0.0 : formatOdds(horse.winOdds, 6).trimmed().toDouble();
            }
            race.p = winChances(odds);
            race.first = generated.finishOrder.at(0);
            race.second = generated.finishOrder.at(1);
            race.third = generated.finishOrder.at(2);
            races.push_back(race);
        }
    }
    return races;
}

double worstZ(const std::vector<CalibrationBin>& bins, bool onlyWellFilled)
{
    double worst = 0.0;
    for (const CalibrationBin& bin : bins) {
        if (bin.z && (!onlyWellFilled || (bin.expectedHits >= 10 && bin.expectedMisses >= 10))) {
            worst = std::max(worst, std::abs(*bin.z));
        }
    }
    return worst;
}

} // namespace

// Seeds 31 and 32 (a 3,456-race season each); bounds a correct fit passes on most seeds.
TEST(Calibration, RecoversTheSeasonsOrderingModelAndShowsHarvillesBias)
{
    const auto fitRaces = seasonRaces(31, 0.81, 0.65);
    ASSERT_EQ(fitRaces.size(), 3456U);
    const DiscountFit fit = fitDiscount(fitRaces);
    EXPECT_LT(std::abs(fit.lambda - 0.81), 3 * fit.lambdaSe) << fit.lambda << " ± " << fit.lambdaSe;
    EXPECT_LT(std::abs(fit.tau - 0.65), 3 * fit.tauSe) << fit.tau << " ± " << fit.tauSe;
    EXPECT_GT(fit.logLikFit, fit.logLikHarville);

    // Out of sample: Harville's wide chances miss in some bin; the fitted ones in none.
    const auto testRaces = seasonRaces(32, 0.81, 0.65);
    EXPECT_GT(worstZ(calibrationTable(testRaces, BetType::Wide, 1.0, 1.0), false), 3.0);
    EXPECT_LE(worstZ(calibrationTable(testRaces, BetType::Wide, fit.lambda, fit.tau), true), 3.0);
    EXPECT_LE(worstZ(calibrationTable(testRaces, BetType::Quinella, fit.lambda, fit.tau), true),
              3.0);

    // On a Harville season the fit finds Harville.
    const DiscountFit harville = fitDiscount(seasonRaces(33, 1.0, 1.0));
    EXPECT_LT(std::abs(harville.lambda - 1.0), 3 * harville.lambdaSe);
    EXPECT_LT(std::abs(harville.tau - 1.0), 3 * harville.tauSe);
}

// The tables' bins: contiguous deciles from 0 to 1, every pair in one bin.
TEST(Calibration, BinsCoverEveryPairOnce)
{
    const auto races = seasonRaces(34, 1.0, 1.0);
    qint64 pairs = 0;
    for (const CalibrationRace& race : races) {
        int running = 0;
        for (int h = 1; h <= race.runners; ++h) {
            running += race.p[static_cast<std::size_t>(h)] > 0.0 ? 1 : 0;
        }
        pairs += running * (running - 1) / 2;
    }
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        const auto bins = calibrationTable(races, bet, 1.0, 1.0);
        ASSERT_EQ(bins.size(), 10U);
        EXPECT_EQ(bins.front().lo, 0.0);
        EXPECT_EQ(bins.back().hi, 1.0);
        qint64 counted = 0;
        for (std::size_t k = 0; k < bins.size(); ++k) {
            counted += bins[k].pairs;
            if (k + 1 < bins.size()) {
                EXPECT_EQ(bins[k].hi, bins[k + 1].lo);
            }
            // Deciles: about a tenth of the pairs each.
            EXPECT_NEAR(static_cast<double>(bins[k].pairs), pairs / 10.0, pairs / 100.0);
        }
        EXPECT_EQ(counted, pairs);
    }
}

// From files: skipped races by cause, JSON with every field, the fit stored with --save.
TEST(Calibration, ReadsFoldersAndSkipsRacesWithoutAnOrder)
{
    TestFolder folder;
    SeasonOptions options;
    options.seed = 35;
    options.days = 3;
    QString error;
    ASSERT_TRUE(writeSeason(folder.filePath(u"season"_s), options, &error)) << qPrintable(error);
    // One race without its result.
    const auto races = generateSeasonDay(options, 0);
    ASSERT_TRUE(QFile::remove(folder.filePath(u"season/"_s + raceResultFileName(races[0]))));

    CalibrationReport report = runCalibration({{folder.filePath(u"season"_s)}, {}});
    ASSERT_TRUE(report.ok) << qPrintable(report.error);
    EXPECT_EQ(report.races, 35);
    EXPECT_EQ(report.skipped[u"no_ks"_s], 1);
    EXPECT_EQ(report.tables.size(), 8U); // two bet types, four models
    const QJsonObject json = QJsonDocument::fromJson(calibrationJson(report)).object();
    EXPECT_EQ(json[u"races"_s].toInt(), 35);
    EXPECT_TRUE(json[u"test_loglik_fit"_s].isNull());
    EXPECT_EQ(json[u"lambda"_s].toDouble(), report.fit.lambda); // full precision
    EXPECT_EQ(json[u"tables"_s].toArray().size(), 8);

    report = runCalibration({{folder.filePath(u"season"_s)}, {folder.filePath(u"season"_s)}});
    EXPECT_EQ(report.tables.size(), 16U);
    EXPECT_DOUBLE_EQ(*report.testLogLikFit, report.fit.logLikFit); // the same races
    const QJsonArray models
        = QJsonDocument::fromJson(calibrationJson(report)).object()[u"models"_s].toArray();
    ASSERT_EQ(models.size(), 8);
    for (const QJsonValue& value : models) {
        const QJsonObject model = value.toObject();
        EXPECT_EQ(model[u"races"_s].toInt(), 35) << model[u"name"_s].toString().toStdString();
        EXPECT_DOUBLE_EQ(model[u"test_logloss"_s].toDouble(), model[u"logloss"_s].toDouble());
        EXPECT_LT(model[u"pseudo_r2"_s].toDouble(), 1.0);
        EXPECT_TRUE(model[u"params"_s].isObject());
    }
    EXPECT_FALSE(runCalibration({{folder.filePath(u"missing"_s)}, {}}).ok);
}

// Half a realistic year on each of two seeds, fitted on one and scored on the other. The
// quinella pool is drawn from the truth with a smaller error than the win pool, so the pool and
// the blend forecast the first two better than the models of the win odds; what the blend adds
// to the pool is small, and is reported, not required.
TEST(Calibration, ScoreboardOnARealisticSeasonFittedOnOneSeedAndScoredOnAnother)
{
    TestFolder folder;
    QStringList seasons;
    for (const std::uint64_t seed : {41, 42}) {
        RealisticSeasonOptions options;
        options.seed = seed;
        options.days = 144;
        seasons << folder.filePath(u"season%1"_s.arg(seed));
        QString error;
        ASSERT_TRUE(writeRealisticSeason(seasons.back(), options, &error)) << qPrintable(error);
    }
    const CalibrationReport report = runCalibration({{seasons[0]}, {seasons[1]}});
    const CalibrationReport other = runCalibration({{seasons[1]}, {}});
    ASSERT_TRUE(report.ok && other.ok);

    const BetScoreboard& quinella = report.scoreboards[0];
    ASSERT_TRUE(quinella.test);
    EXPECT_GT(quinella.test->races, 1600);
    const auto loss = [&quinella](ScoredModel model) {
        return quinella.test->models[static_cast<std::size_t>(model)].logLoss;
    };
    for (const ScoredModel market : {ScoredModel::Pool, ScoredModel::Blend}) {
        EXPECT_LT(loss(market), loss(ScoredModel::Discount)) << qPrintable(scoredModelName(market));
        EXPECT_LT(loss(market), loss(ScoredModel::Harville)) << qPrintable(scoredModelName(market));
    }
    const BlendGain& gain = quinella.test->gain;
    EXPECT_GT(gain.high, 0.0) << "the blend is worse than the pool beyond its interval";
    EXPECT_LE(gain.low, gain.perRace);
    EXPECT_GE(gain.high, gain.perRace);
    std::printf("quinella blend gain over the pool, test races: %.4f [%.4f, %.4f] nats a race\n",
                gain.perRace,
                gain.low,
                gain.high);

    // The quinella weights of the two seeds agree within 3 SE of their difference. (Wide's
    // place weight spreads across seeds by about 1.7 times its SE, though a bootstrap of races
    // within a season matches the SE: too often beyond 3 SE for a test.)
    const BlendFit& x = report.scoreboards[0].blend;
    const BlendFit& y = other.scoreboards[0].blend;
    for (const std::size_t s : {std::size_t{ModelSource}, std::size_t{PoolSource}}) {
        ASSERT_TRUE(x.kept[s] && y.kept[s]);
        EXPECT_LT(std::abs(x.weights[s] - y.weights[s]), 3 * std::hypot(x.se[s], y.se[s]))
            << s << ": " << x.weights[s] << " vs " << y.weights[s];
    }
}

// On the efficient season the pools are priced by Harville as the win odds are: the blend's
// sources coincide, the fit says so and keeps the pool, with a weight near 1.
TEST(Calibration, EfficientSeasonsBlendKeepsOneSource)
{
    TestFolder folder;
    SeasonOptions options;
    options.seed = 43;
    options.days = 24;
    QString error;
    ASSERT_TRUE(writeSeason(folder.filePath(u"season"_s), options, &error)) << qPrintable(error);
    const CalibrationReport report = runCalibration({{folder.filePath(u"season"_s)}, {}});
    ASSERT_TRUE(report.ok);
    for (const BetScoreboard& board : report.scoreboards) {
        const BlendFit& fit = board.blend;
        EXPECT_TRUE(fit.converged);
        EXPECT_FALSE(fit.drops.empty());
        EXPECT_EQ(std::count(fit.kept.begin(), fit.kept.end(), true), 1);
        EXPECT_TRUE(fit.kept[PoolSource]);
        EXPECT_LT(std::abs(fit.weights[PoolSource] - 1.0), 3 * fit.se[PoolSource])
            << fit.weights[PoolSource] << " ± " << fit.se[PoolSource];
        EXPECT_EQ(board.degreesOfFreedom, 1);
    }
    EXPECT_TRUE(calibrationText(report).contains(u"のみを使います"_s));
}
