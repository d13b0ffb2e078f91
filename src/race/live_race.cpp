// SPDX-License-Identifier: MIT
#include "live_race.h"

#include <memory>
#include <utility>

#include <QFileInfo>

#include "base/message_sink.h"
#include "pat/pat_names.h"
#include "pat/quinella_odds.h"
#include "pat/race_result.h"
#include "pat/win_place_odds.h"
#include "race/race_display.h"

using namespace Qt::StringLiterals;

LiveRace::LiveRace(RaceDisplay& display, QObject* parent)
    : LiveRace(display, Timing{}, parent)
{}

LiveRace::LiveRace(RaceDisplay& display, Timing timing, QObject* parent)
    : QObject(parent)
    , m_display(display)
    , m_timing(timing)
{
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &LiveRace::settle);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &LiveRace::fileChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &LiveRace::folderChanged);
    connect(&display, &RaceDisplay::raceLoaded, this, &LiveRace::follow);
}

LiveRace::Stamp LiveRace::stampOf(const QString& path)
{
    if (path.isEmpty()) {
        return {};
    }
    const QFileInfo info(path);
    return info.exists() ? Stamp{true, info.size(), info.lastModified()} : Stamp{};
}

QString LiveRace::quinellaPath() const
{
    // Where the load found none, where it would appear under the name the Zo- file gives.
    const QString read = m_display.quinellaFile();
    return read.isEmpty() ? quinellaOddsPathOf(m_display.currentFile()) : read;
}

void LiveRace::follow()
{
    m_quiet.stop();
    m_failing.invalidate();
    m_fileEvent = m_folderEvent = false;
    const QString zo = m_display.currentFile();
    const QString uo = quinellaPath();
    const QString result = m_display.resultFile();
    m_zoStamp = stampOf(zo);
    m_uoStamp = stampOf(uo);
    m_resultStamp = stampOf(result);
    // Only what changed is watched anew: a race opened again keeps its watches.
    const QStringList files
        = presentOf({{zo, m_zoStamp}, {uo, m_uoStamp}, {result, m_resultStamp}});
    const QString folder = QFileInfo(zo).absolutePath();
    QStringList gone;
    for (const QString& path : m_watcher.files()) {
        if (!files.contains(path)) {
            gone << path;
        }
    }
    for (const QString& path : m_watcher.directories()) {
        if (path != folder) {
            gone << path;
        }
    }
    if (!gone.isEmpty()) {
        m_watcher.removePaths(gone);
    }
    watchFiles(files);
    if (!m_watcher.directories().contains(folder) && QFileInfo(folder).isDir()) {
        m_watcher.addPath(folder);
    }
    setStatus({});
}

QStringList LiveRace::presentOf(std::initializer_list<std::pair<QString, Stamp>> files)
{
    QStringList present;
    for (const auto& [path, stamp] : files) {
        if (stamp.exists) {
            present << path;
        }
    }
    return present;
}

void LiveRace::watchFiles(const QStringList& paths)
{
    // A file replaced by another of its name is no longer watched: add it again.
    const QStringList watched = m_watcher.files();
    for (const QString& path : paths) {
        if (!watched.contains(path)) {
            m_watcher.addPath(path);
        }
    }
}

void LiveRace::fileChanged()
{
    m_fileEvent = true;
    m_quiet.start(m_timing.quiet);
}

void LiveRace::folderChanged()
{
    // PAT writes many files at a time; the race's own are looked at once the folder is quiet.
    // Other files do not put off a reload that a change of the race's own is waiting for.
    m_folderEvent = true;
    if (!m_quiet.isActive()) {
        m_quiet.start(m_timing.quiet);
    }
}

void LiveRace::settle()
{
    const QString zo = m_display.currentFile();
    if (zo.isEmpty()) {
        return;
    }
    // Names came or went while the race lacks a file a listing finds (its Uo-, its result, under
    // any letter case): list its folder.
    QString uo = quinellaPath();
    QString result;
    const bool lacksResult = m_display.raceResult() == nullptr;
    if ((m_folderEvent || m_fileEvent) && (lacksResult || m_display.quinellaFile().isEmpty())) {
        const RaceFolderListing listing = listRaceFolder(zo);
        if (m_display.quinellaFile().isEmpty() && !listing.uoPath.isEmpty()) {
            uo = listing.uoPath;
        }
        if (lacksResult) {
            result = listing.resultPath;
        }
    }
    const Stamp zoStamp = stampOf(zo);
    const Stamp uoStamp = stampOf(uo);
    // A result not read yet that is new or has changed since it was last tried.
    const Stamp resultStamp = stampOf(result);
    const bool resultNew = resultStamp.exists && !(resultStamp == m_resultStamp);
    if (!m_fileEvent && zoStamp == m_zoStamp && uoStamp == m_uoStamp && !resultNew) {
        m_folderEvent = false; // other races' files
        Q_EMIT settled();
        return;
    }
    watchFiles(presentOf({{zo, zoStamp}, {uo, uoStamp}, {result, resultStamp}}));
    // A file that was there and is gone: keep what is shown until it is back.
    if (!zoStamp.exists || (m_display.quinellaOddsRead() && !uoStamp.exists)) {
        m_zoStamp = zoStamp;
        m_uoStamp = uoStamp;
        m_fileEvent = false;
        m_failing.invalidate();
        const QString gone = QFileInfo(zoStamp.exists ? uo : zo).fileName();
        setStatus(gone + u" が見つかりません。最後に読み込んだオッズを表示しています。"_s);
        Q_EMIT settled();
        return;
    }
    // Read the files first without telling anyone: one caught half-written is tried again.
    NullMessageSink quiet;
    bool readable = readWinPlaceOddsFile(zo, *std::make_unique<WinPlaceOddsRecord>(), quiet);
    if (readable && uoStamp.exists) {
        readable = readQuinellaOddsFile(uo, *std::make_unique<QuinellaOddsRecord>(), quiet);
    }
    if (readable && resultNew) {
        readable = readRaceResultFile(result, *std::make_unique<RaceResultRecord>());
    }
    if (!readable) {
        if (!m_failing.isValid()) {
            m_failing.start();
        }
        if (m_failing.elapsed() < m_timing.retry) {
            m_quiet.start(m_timing.retryStep);
            Q_EMIT retrying();
            return;
        }
    }
    // Readable, or still not after the retries: the load tells what it tells.
    m_failing.invalidate();
    m_fileEvent = false;
    const bool relist = m_folderEvent || resultNew || uo != quinellaPath();
    m_folderEvent = false;
    m_zoStamp = zoStamp;
    m_uoStamp = uoStamp;
    if (resultNew) {
        m_resultStamp = resultStamp;
    }
    if (m_display.refresh(relist)) {
        setStatus({});
    }
    Q_EMIT settled();
}

void LiveRace::setStatus(const QString& text)
{
    if (text != m_status) {
        m_status = text;
        Q_EMIT statusChanged(text);
    }
}
