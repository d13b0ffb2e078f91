// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "analysis/calibration.h"

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
    bool discount = false; ///< the fitted model; else exact Harville on the same chances
    bool test = false;     ///< the test races; else the fit races
    std::vector<CalibrationBin> bins;
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
    /// Fit races: quinella Harville, quinella fitted, wide Harville, wide fitted; then, with test
    /// folders, the same four on the test races (with the parameters fitted on the fit races).
    std::vector<CalibrationTable> tables;
};

/// Reads the races of the folders (each listed once), fits the discounted model on the first
/// three finishers and tabulates both models' calibration. Fails when a folder is missing or no
/// race counts.
CalibrationReport runCalibration(const CalibrationRequest& request);

/// The report as one JSON object, numbers at full double precision.
QByteArray calibrationJson(const CalibrationReport& report);

/// The report as text aligned for reading.
QString calibrationText(const CalibrationReport& report);
