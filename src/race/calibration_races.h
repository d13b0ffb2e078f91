// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <map>
#include <vector>

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

#include "analysis/calibration.h"

/// The races of some folders that a calibration can count, each with its course-day; the
/// course-days numbered from 0 in the order they were run (their first file's time).
struct CalibrationSeason
{
    std::vector<CalibrationRace> races;
    QStringList names;                 ///< their Zo- file names
    std::map<QString, qint64> skipped; ///< cause ("no_ks", …) → races
    QHash<QString, quint32> dayOf;     ///< the course-day of every race whose Zo- file read
    quint32 days = 0;
    std::vector<QDate> dateOf; ///< each course-day's date in Japan, by its first file's time
};

/// Reads the races of the folders, each folder once; false with `error` when a folder is
/// missing or `cancel` (may be null) was set (what was read so far stays in `season`).
bool readCalibrationSeason(const QStringList& folders,
                           CalibrationSeason& season,
                           QString& error,
                           const std::atomic<bool>* cancel = nullptr);
