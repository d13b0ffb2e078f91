// SPDX-License-Identifier: MIT
#include "folder_recorder.h"

#include <memory>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include "archive/odds_archive.h"
#include "pat/folder_index.h"
#include "pat/pat_names.h"
#include "race/archive_files.h"
#include "race/race_day_board.h"

using namespace Qt::StringLiterals;

namespace {

FolderRecorder::Clock steadyClock()
{
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    return [started] {
        return started->elapsed();
    };
}

} // namespace

FolderRecorder::FolderRecorder(OddsArchive* archive, QObject* parent)
    : FolderRecorder(archive, Timing{}, steadyClock(), parent)
{}

FolderRecorder::FolderRecorder(OddsArchive* archive, Timing timing, Clock clock, QObject* parent)
    : QObject(parent)
    , m_archive(archive)
    , m_timing(timing)
    , m_clock(clock ? std::move(clock) : steadyClock())
{
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &FolderRecorder::settle);
    connect(&m_look, &QTimer::timeout, this, &FolderRecorder::lookForFolder);
    const auto changed = [this] {
        m_quiet.start(m_timing.quiet);
    };
    connect(
        &m_watcher, &QFileSystemWatcher::fileChanged, this, [this, changed](const QString& path) {
            // A file replaced by a new one (PAT writes and renames) lost its watch with the old
            // one.
            if (!m_watcher.files().contains(path) && QFileInfo::exists(path)) {
                m_watcher.addPath(path);
            }
            changed();
        });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this, changed] {
        if (!QFileInfo(m_folder).isDir()) {
            lookForFolder(); // the folder itself went
            return;
        }
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

void FolderRecorder::unwatch()
{
    if (!m_watcher.files().isEmpty()) {
        m_watcher.removePaths(m_watcher.files());
    }
    if (!m_watcher.directories().isEmpty()) {
        m_watcher.removePaths(m_watcher.directories());
    }
    m_quiet.stop();
    m_seen.clear();
    m_retry.clear();
    m_raceDays.clear();
    m_listed = false;
    m_retrying = false;
    m_watching = false;
}

void FolderRecorder::follow(const QString& folder)
{
    unwatch();
    m_look.stop();
    m_folder = folder;
    m_told = false;
    m_started = false;
    if (!folder.isEmpty()) {
        lookForFolder();
    }
}

void FolderRecorder::lookForFolder()
{
    if (m_folder.isEmpty()) {
        return;
    }
    const bool there = QFileInfo(m_folder).isDir();
    const QString name = QDir::toNativeSeparators(m_folder);
    if (!there) {
        const bool stopped = m_watching;
        if (stopped) {
            unwatch();
        }
        if (!m_look.isActive()) {
            m_look.start(m_timing.lookFor);
        }
        if (!m_told) {
            m_told = true;
            Q_EMIT stateChanged(
                stopped ? u"オッズの記録を止めました。PATフォルダがありません: %1"_s.arg(name)
                        : u"オッズの記録を始められません。PATフォルダがありません"
                          u"（現れたら始めます）: %1"_s.arg(name));
        }
        return;
    }
    if (m_watching) {
        return;
    }
    m_look.stop();
    watchFolder();
    if (m_told) {
        m_told = false;
        Q_EMIT stateChanged(
            (m_started ? u"オッズの記録を再開しました: %1"_s : u"オッズの記録を始めました: %1"_s)
                .arg(name));
    }
    m_started = true;
}

void FolderRecorder::watchFolder()
{
    m_watching = true;
    m_watcher.addPath(m_folder);
    relist();
    // The odds there now are stored too: the archive skips them when it has them already.
    m_quiet.start(0);
}

void FolderRecorder::relist()
{
    m_listed = true;
    m_listedAt = QFileInfo(m_folder).lastModified();
    const auto index = FolderIndex::read(m_folder);
    if (!index) {
        return;
    }
    const QStringList races = latestDayOf(*index, &m_raceDays).paths;
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
    if (!m_watching) {
        return;
    }
    // Listed again when a file came or went, even if no notification said so.
    if (!m_listed || QFileInfo(m_folder).lastModified() != m_listedAt) {
        relist();
    }
    const qint64 now = m_clock();
    QStringList changed;
    bool retrying = false;
    for (auto& [path, seen] : m_seen) {
        const Stamp stamp = stampOf(path);
        if (stamp == seen || !stamp.zo.isValid()) {
            continue;
        }
        RaceFiles files;
        QString error;
        if (!readRaceFiles(path, files, error)) {
            // Caught half-written: tried again for a while from this write on, whatever the
            // other races do; a race given up is tried again when its files change.
            auto [retry, added] = m_retry.try_emplace(path, Retry{stamp, now + m_timing.retry});
            if (!added && retry->second.stamp != stamp) {
                retry->second = Retry{stamp, now + m_timing.retry};
            }
            retrying = retrying || now < retry->second.until;
            continue;
        }
        m_retry.erase(path);
        seen = stamp;
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
    m_retrying = retrying;
    if (retrying) {
        m_quiet.start(m_timing.retryStep);
    }
    if (!changed.isEmpty()) {
        Q_EMIT racesChanged(changed);
    }
}
