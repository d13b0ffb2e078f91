// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include "archive/odds_archive.h"
#include "race/odds_history.h"

/// A race's Zo- and Uo- files as the archive takes them: the key, the fetch time (the newer
/// modification time of the two) and the records.
struct RaceFiles
{
    ArchiveRace race;
    QDateTime fetched;
    WinPlaceOddsRecord win;
    std::unique_ptr<QuinellaOddsRecord> pairs = std::make_unique<QuinellaOddsRecord>();
};

/// Reads the race whose Zo- file is `zoPath`; false with `error` when its Zo- or Uo- file does
/// not read. The post time is postTimeOf() the race card's start time and the fetch, with the
/// result file `resultPath` (empty: none; not given: looked for).
bool readRaceFiles(const QString& zoPath,
                   RaceFiles& files,
                   QString& error,
                   const std::optional<QString>& resultPath = std::nullopt);

/// Stores the race's files as a snapshot (see OddsArchive::store).
OddsArchive::Stored archiveRaceFiles(OddsArchive& archive,
                                     const QString& zoPath,
                                     QString& error,
                                     const std::optional<QString>& resultPath = std::nullopt);

/// What an import did.
struct ArchiveImport
{
    qint64 races = 0;
    qint64 added = 0;
    qint64 unchanged = 0;
    qint64 failed = 0;
    QString error;       ///< the first failure
    QStringList missing; ///< folders that are not there
};
/// Stores the races of the folders that exist, each at its files' modification time.
ArchiveImport importFolders(OddsArchive& archive, const QStringList& folders);

/// A race's archived snapshots as the race's odds history shows them (for RaceDisplay).
std::vector<OddsHistory::Snapshot>
archivedHistory(const OddsArchive& archive, const QString& file, int runners);

/// A race's snapshots as the movement CSV the window writes; empty when the archive does not
/// hold the race.
QByteArray archivedMovement(const OddsArchive& archive, const QString& file);
