// SPDX-License-Identifier: MIT
#include "folder_recorder.h"

#include <QFileInfo>

#include "archive/odds_archive.h"
#include "pat/folder_index.h"
#include "pat/pat_names.h"
#include "race/archive_files.h"
#include "race/race_day_board.h"

using namespace Qt::StringLiterals;

FolderRecorder::FolderRecorder(OddsArchive* archive, QObject* parent)
    : FolderRecorder(archive, Timing{}, parent)
{}

FolderRecorder::FolderRecorder(OddsArchive* archive, Timing timing, QObject* parent)
    : QObject(parent)
    , m_archive(archive)
    , m_timing(timing)
{
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &FolderRecorder::settle);
    const auto changed = [this] {
        m_quiet.start(m_timing.quiet);
    };
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this, changed] {
        m_listed = false;
        changed();
    });
}

FolderRecorder::Stamp FolderRecorder::stampOf(const QString& zoPath)
{
    const QFileInfo zo(zoPath);
    const QFileInfo uo(quinellaOddsPathOf(zoPath));
    return {zo.lastModified(), uo.lastModified(), zo.size() + uo.size()};
}

void FolderRecorder::follow(const QString& folder)
{
    if (!m_watcher.files().isEmpty()) {
        m_watcher.removePaths(m_watcher.files());
    }
    if (!m_watcher.directories().isEmpty()) {
        m_watcher.removePaths(m_watcher.directories());
    }
    m_folder = folder;
    m_seen.clear();
    m_listed = false;
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        return;
    }
    m_watcher.addPath(folder);
    relist();
    // The odds there now are stored too: the archive skips them when it has them already.
    m_quiet.start(0);
}

void FolderRecorder::relist()
{
    m_listed = true;
    const auto index = FolderIndex::read(m_folder);
    if (!index) {
        return;
    }
    const QStringList races = latestDayOf(*index).paths;
    for (const QString& path : races) {
        m_seen.try_emplace(path, Stamp{});
    }
    watchRaces(races);
}

void FolderRecorder::watchRaces(const QStringList& zoPaths)
{
    QStringList fresh;
    const QStringList watched = m_watcher.files();
    for (const QString& zo : zoPaths) {
        for (const QString& path : {zo, quinellaOddsPathOf(zo)}) {
            if (!watched.contains(path) && QFileInfo::exists(path)) {
                fresh << path;
            }
        }
    }
    if (!fresh.isEmpty()) {
        m_watcher.addPaths(fresh);
    }
}

void FolderRecorder::settle()
{
    if (!m_listed) {
        relist();
    }
    QStringList changed;
    bool pending = false;
    for (auto& [path, seen] : m_seen) {
        const Stamp now = stampOf(path);
        if (now == seen || !now.zo.isValid()) {
            continue;
        }
        RaceFiles files;
        QString error;
        if (!readRaceFiles(path, files, error)) {
            pending = true; // caught half-written: try again
            continue;
        }
        seen = now;
        changed << path;
        if (m_archive != nullptr
            && m_archive->store(files.race, files.fetched, files.win, *files.pairs)
                   == OddsArchive::Stored::Failed) {
            Q_EMIT archiveFailed(u"オッズの記録を止めました: %1"_s.arg(m_archive->lastError()));
            m_archive = nullptr;
        }
    }
    // A file rewritten in place keeps its watch; one replaced by a new file needs a new one.
    watchRaces(changed);
    if (pending) {
        if (!m_retrying.isValid()) {
            m_retrying.start();
        }
        if (m_retrying.elapsed() < m_timing.retry) {
            m_quiet.start(m_timing.retryStep);
        }
    } else {
        m_retrying.invalidate();
    }
    if (!changed.isEmpty()) {
        Q_EMIT racesChanged(changed);
    }
}
