// SPDX-License-Identifier: MIT
#include "archive_files.h"

#include <QDir>
#include <QFileInfo>

#include "base/message_sink.h"
#include "pat/folder_index.h"
#include "pat/pat_header.h"
#include "pat/pat_names.h"
#include "pat/race_card.h"
#include "pat/race_time.h"
#include "race/csv_export.h"
#include "race/odds_history.h"

using namespace Qt::StringLiterals;

bool readRaceFiles(const QString& zoPath,
                   RaceFiles& files,
                   QString& error,
                   const std::optional<QString>& resultPath)
{
    NullMessageSink sink;
    const QString uoPath = quinellaOddsPathOf(zoPath);
    if (!readWinPlaceOddsFile(zoPath, files.win, sink)) {
        error = u"読めません: %1"_s.arg(QDir::toNativeSeparators(zoPath));
        return false;
    }
    if (!readQuinellaOddsFile(uoPath, *files.pairs, sink)) {
        error = u"読めません: %1"_s.arg(QDir::toNativeSeparators(uoPath));
        return false;
    }
    files.fetched = newestFileTime({zoPath, uoPath});
    const PatFileHeader& h = files.win.header;
    ArchiveRace& race = files.race;
    race.file = QFileInfo(zoPath).fileName();
    race.meeting = meetingText(h);
    race.name = raceNameText(h);
    race.venue = h.venueName.trimmed().toString();
    race.meetingNo = h.meetingNo.trimmed().toString();
    race.meetingDay = h.meetingDay.trimmed().toString();
    race.raceNo = h.raceNo.trimmed().toString();
    race.runners = std::min(runnerCountOf(h.runnerCount), kMaxRunners);
    race.post = {};
    RaceCardRecord card;
    if (readRaceCardFile(raceCardPathOf(zoPath), card)) {
        race.post = postTimeOf(card.startTime.view(), files.fetched, true);
        // Only odds fetched well after that day's post time ask whether the race was run
        // (else they were sold the day before): a search of the folder is spared the others.
        if (race.post.isValid() && race.post.addSecs(60 * kPostGraceMinutes) < files.fetched
            && (resultPath ? resultPath->isEmpty() : raceResultPathOf(zoPath).isEmpty())) {
            race.post = postTimeOf(card.startTime.view(), files.fetched, false);
        }
    }
    return true;
}

OddsArchive::Stored archiveRaceFiles(OddsArchive& archive,
                                     const QString& zoPath,
                                     QString& error,
                                     const std::optional<QString>& resultPath)
{
    RaceFiles files;
    if (!readRaceFiles(zoPath, files, error, resultPath)) {
        return OddsArchive::Stored::Failed;
    }
    const auto stored = archive.store(files.race, files.fetched, files.win, *files.pairs);
    if (stored == OddsArchive::Stored::Failed) {
        error = archive.lastError();
    }
    return stored;
}

ArchiveImport importFolders(OddsArchive& archive, const QStringList& folders)
{
    ArchiveImport report;
    for (const QString& name : folders) {
        const auto folder = FolderIndex::read(name);
        if (!folder) {
            report.missing << name;
            continue;
        }
        for (const QString& race : folder->raceNames()) {
            ++report.races;
            QString error;
            const QString path = folder->prefix() + race;
            switch (archiveRaceFiles(
                archive, path, error, folder->resultPathOf(path).value_or(QString()))) {
            case OddsArchive::Stored::Added:
                ++report.added;
                break;
            case OddsArchive::Stored::Unchanged:
                ++report.unchanged;
                break;
            case OddsArchive::Stored::Failed:
                ++report.failed;
                if (report.error.isEmpty()) {
                    report.error = error;
                }
                break;
            }
        }
    }
    return report;
}

std::vector<OddsHistory::Snapshot>
archivedHistory(const OddsArchive& archive, const QString& file, int runners)
{
    std::vector<OddsHistory::Snapshot> history;
    for (const ArchivedOdds& odds : archive.snapshots(file)) {
        history.push_back(OddsHistory::snapshotOf(odds, runners));
    }
    return history;
}

QByteArray archivedMovement(const OddsArchive& archive, const QString& file)
{
    const auto race = archive.race(file);
    if (!race) {
        return {};
    }
    OddsHistory history;
    for (const ArchivedOdds& odds : archive.snapshots(file)) {
        history.add(OddsHistory::snapshotOf(odds, race->runners));
    }
    return CsvExport::buildMovement(race->meeting, race->name, race->runners, history);
}
