// SPDX-License-Identifier: MIT
#include "archive_files.h"

#include <QDir>
#include <QFileInfo>

#include "base/message_sink.h"
#include "pat/folder_index.h"
#include "pat/pat_header.h"
#include "pat/pat_names.h"
#include "pat/race_card.h"
#include "race/csv_export.h"
#include "race/odds_history.h"

using namespace Qt::StringLiterals;

bool readRaceFiles(const QString& zoPath, RaceFiles& files, QString& error)
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
    files.fetched = std::max(QFileInfo(zoPath).lastModified(), QFileInfo(uoPath).lastModified());
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
    RaceCardRecord card;
    if (readRaceCardFile(raceCardPathOf(zoPath), card)) {
        const QTime start = QTime::fromString(card.startTime.view().toString(), u"HHmm"_s);
        if (start.isValid()) {
            race.post = QDateTime(files.fetched.date(), start);
        }
    }
    return true;
}

OddsArchive::Stored archiveRaceFiles(OddsArchive& archive, const QString& zoPath, QString& error)
{
    RaceFiles files;
    if (!readRaceFiles(zoPath, files, error)) {
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
            report.error = u"フォルダがありません: %1"_s.arg(QDir::toNativeSeparators(name));
            return report;
        }
        for (const QString& race : folder->raceNames()) {
            ++report.races;
            QString error;
            switch (archiveRaceFiles(archive, folder->prefix() + race, error)) {
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
