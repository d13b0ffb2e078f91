// SPDX-License-Identifier: MIT
#include "live_race.h"

#include <memory>

#include <QDir>
#include <QFileInfo>

#include "base/message_sink.h"
#include "pat/pat_names.h"
#include "pat/quinella_odds.h"
#include "pat/win_place_odds.h"
#include "race/race_display.h"

using namespace Qt::StringLiterals;

LiveRace::LiveRace(RaceDisplay& display, QObject* parent)
    : QObject(parent)
    , m_display(display)
{
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &LiveRace::settle);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &LiveRace::fileChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &LiveRace::folderChanged);
    connect(&display, &RaceDisplay::raceLoaded, this, &LiveRace::follow);
}

QStringList LiveRace::watchedPaths() const
{
    return m_watcher.files() + m_watcher.directories();
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
    const QStringList old = watchedPaths();
    if (!old.isEmpty()) {
        m_watcher.removePaths(old);
    }
    watchFiles();
    const QString folder = QFileInfo(m_display.currentFile()).absolutePath();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        m_watcher.addPath(folder);
    }
    m_zoStamp = stampOf(m_display.currentFile());
    m_uoStamp = stampOf(quinellaPath());
    setStatus({});
}

void LiveRace::watchFiles()
{
    // A file replaced by another of its name is no longer watched: add it again.
    const QStringList watched = m_watcher.files();
    for (const QString& path : {m_display.currentFile(), quinellaPath()}) {
        if (!path.isEmpty() && !watched.contains(path) && QFileInfo(path).isFile()) {
            m_watcher.addPath(path);
        }
    }
}

void LiveRace::fileChanged()
{
    m_fileEvent = true;
    m_quiet.start(kQuietMilliseconds);
}

void LiveRace::folderChanged()
{
    // PAT writes many files at a time; the race's own are looked at once the folder is quiet.
    m_folderEvent = true;
    m_quiet.start(kQuietMilliseconds);
}

void LiveRace::settle()
{
    const QString zo = m_display.currentFile();
    if (zo.isEmpty()) {
        return;
    }
    const QString uo = quinellaPath();
    const Stamp zoStamp = stampOf(zo);
    const Stamp uoStamp = stampOf(uo);
    if (!m_fileEvent && zoStamp == m_zoStamp && uoStamp == m_uoStamp) {
        // Other races' files, or the race's result arriving after the off.
        const bool resultArrived
            = m_folderEvent && !m_display.resultFound() && !listRaceFolder(zo).resultPath.isEmpty();
        m_folderEvent = false;
        if (resultArrived) {
            m_display.refresh(true);
        }
        return;
    }
    watchFiles();
    // A file that was there and is gone: keep what is shown until it is back.
    if (!zoStamp.exists || (m_uoStamp.exists && !uoStamp.exists)) {
        m_zoStamp = zoStamp;
        m_uoStamp = uoStamp;
        m_fileEvent = false;
        const QString gone = QFileInfo(zoStamp.exists ? uo : zo).fileName();
        setStatus(gone + u" が見つかりません。最後に読み込んだオッズを表示しています。"_s);
        return;
    }
    // Read both files first without telling anyone: one caught half-written is tried again.
    NullMessageSink quiet;
    auto winPlace = std::make_unique<WinPlaceOddsRecord>();
    bool readable = readWinPlaceOddsFile(zo, *winPlace, quiet);
    if (readable && uoStamp.exists) {
        auto quinella = std::make_unique<QuinellaOddsRecord>();
        readable = readQuinellaOddsFile(uo, *quinella, quiet);
    }
    if (!readable) {
        if (!m_failing.isValid()) {
            m_failing.start();
        }
        if (m_failing.elapsed() < kRetryMilliseconds) {
            m_quiet.start(kRetryStepMilliseconds);
            return;
        }
    }
    // Readable, or still not after the retries: the load tells what it tells.
    m_failing.invalidate();
    m_fileEvent = false;
    const bool relist = m_folderEvent;
    m_folderEvent = false;
    m_zoStamp = zoStamp;
    m_uoStamp = uoStamp;
    if (m_display.refresh(relist)) {
        setStatus({});
    }
}

void LiveRace::setStatus(const QString& text)
{
    if (text != m_status) {
        m_status = text;
        Q_EMIT statusChanged(text);
    }
}
