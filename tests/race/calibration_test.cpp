// SPDX-License-Identifier: MIT
// The model fit on seasons with a known truth, and the calibrate command's file reading.
#include <cmath>
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "analysis/calibration.h"
#include "race/calibration_run.h"
#include "race_generator.h"
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
    EXPECT_EQ(report.tables.size(), 4U);
    const QJsonObject json = QJsonDocument::fromJson(calibrationJson(report)).object();
    EXPECT_EQ(json[u"races"_s].toInt(), 35);
    EXPECT_TRUE(json[u"test_loglik_fit"_s].isNull());
    EXPECT_EQ(json[u"lambda"_s].toDouble(), report.fit.lambda); // full precision
    EXPECT_EQ(json[u"tables"_s].toArray().size(), 4);

    report = runCalibration({{folder.filePath(u"season"_s)}, {folder.filePath(u"season"_s)}});
    EXPECT_EQ(report.tables.size(), 8U);
    EXPECT_DOUBLE_EQ(*report.testLogLikFit, report.fit.logLikFit); // the same races
    EXPECT_FALSE(runCalibration({{folder.filePath(u"missing"_s)}, {}}).ok);
}
