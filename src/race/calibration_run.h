// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "analysis/calibration.h"
#include "analysis/model_scores.h"
#include "settings/model_settings.h"

/// The folders a calibration reads: the races to fit on, and optionally others to test on.
struct CalibrationRequest
{
    QStringList folders;
    QStringList testFolders;
};

/// One calibration table: a bet type under one model on one sample.
struct CalibrationTable
{
    BetType bet = BetType::Quinella;
    ScoredModel model = ScoredModel::Harville;
    bool test = false; ///< the test races; else the fit races
    std::vector<CalibrationBin> bins;
};

/// The scoreboard of one bet type: every model on the fit races and, with test folders, on the
/// test races (with what was fitted on the fit races).
struct BetScoreboard
{
    BetType bet = BetType::Quinella;
    BlendFit blend;
    SampleScores fit;
    std::optional<SampleScores> test;
    /// The blend against the pool alone on the fit races: 2 · (ln L blend − ln L pool), its
    /// degrees of freedom (the sources the blend kept) and its χ² p-value. For wide the
    /// likelihood is a composite, so the χ² reference is only approximate.
    double likelihoodRatio = 0.0;
    int degreesOfFreedom = 0;
    double pValue = 1.0;
};

struct CalibrationReport
{
    bool ok = false;
    QString error; ///< why it failed, for the user
    qint64 races = 0;
    qint64 testRaces = 0;
    std::map<QString, qint64> skipped; ///< cause ("no_ks", …) → races
    DiscountFit fit;
    std::optional<double> testLogLikHarville;
    std::optional<double> testLogLikFit;
    /// Fit races: for quinella, then wide, Harville, the fitted discount, the pool and the blend;
    /// then, with test folders, the same on the test races (with what was fitted on the fit
    /// races).
    std::vector<CalibrationTable> tables;
    std::array<BetScoreboard, 2> scoreboards; ///< quinella, wide

    /// The fitted models as one set of parameters of a bet type.
    ModelParameters parameters(BetType bet) const;
};

/// Reads the races of the folders (each listed once), fits the discounted model on the first
/// three finishers and the blend on the realised pairs, scores every model and tabulates their
/// calibration. Fails when a folder is missing or no
/// race counts.
CalibrationReport runCalibration(const CalibrationRequest& request);

/// The pair chances a calibration's scores rest on, for each race of `folders` it counts (in
/// the folders' order): per bet type the pairs taking part, by their number in pair order
/// (1-2, 1-3, …), with their chances under the pool alone and under the blend `report` fitted.
/// For judging the scoreboard's gains against a known truth.
struct ScoredPairs
{
    QString file; ///< the Zo- file name
    int runners = 0;
    std::array<std::vector<int>, 2> pairs;
    std::array<std::vector<double>, 2> pool;
    std::array<std::vector<double>, 2> blend;
};
std::vector<ScoredPairs> scoredPairsOf(const QStringList& folders, const CalibrationReport& report);

/// The fitted λ, τ and blend weights into `model`; its kind becomes the discounted model unless
/// the blend is chosen.
void saveFittedModel(const CalibrationReport& report, ModelSettings& model);

/// The scoreboard of a bet type as the window's table shows it: the headings, then one line per
/// model (name, log-loss and pseudo-R² in and out of sample, parameters).
QList<QStringList> scoreboardRows(const CalibrationReport& report, BetType bet);
QStringList scoreboardHeadings();
/// The blend against the pool alone, and the fit's notes, as the window's line under the table.
QString blendComparisonLine(const CalibrationReport& report, BetType bet);

/// The report as one JSON object, numbers at full double precision.
QByteArray calibrationJson(const CalibrationReport& report);

/// The report as text aligned for reading.
QString calibrationText(const CalibrationReport& report);
