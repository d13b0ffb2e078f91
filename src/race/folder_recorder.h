// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <map>

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

class OddsArchive;

/// Follows a PAT folder through the system's file notifications: the folder itself and the Zo-
/// and Uo- files of its latest day. Once the files have been quiet for a moment, every race whose
/// odds changed is stored in the archive (when there is one) and announced; a race whose files
/// do not read (caught half-written) is tried again for a while, each race on its own. A folder
/// that is not there (a share mounted later) is looked for until it appears.
class FolderRecorder final : public QObject
{
    Q_OBJECT

public:
    struct Timing
    {
        int quiet = 300;     ///< ms of quiet before the changed files are read
        int retry = 3000;    ///< ms a race caught half-written is tried again
        int retryStep = 100; ///< ms between those tries
        int lookFor = 2000;  ///< ms between looks for a folder that is not there
    };
    /// Milliseconds on a steady clock; tests give their own.
    using Clock = std::function<qint64()>;

    FolderRecorder(OddsArchive* archive, Timing timing, Clock clock, QObject* parent = nullptr);
    explicit FolderRecorder(OddsArchive* archive, QObject* parent = nullptr);

    /// Follows `folder` (empty: none), starting with its races' odds as they are now; a folder
    /// that is not there is followed once it appears.
    void follow(const QString& folder);
    QString folder() const { return m_folder; }
    /// The folder is there and watched.
    bool isWatching() const { return m_watching; }
    /// Some race caught half-written is being tried again.
    bool isRetrying() const { return m_retrying; }

    /// Reads the races whose files changed, as the quiet wait does when it ends.
    void settle();
    /// Looks whether the folder followed has appeared or gone, as the watch and the timer do.
    void lookForFolder();

Q_SIGNALS:
    /// Races whose odds files changed and were read (Zo- paths).
    void racesChanged(const QStringList& paths);
    /// The archive failed and recording stopped, said once.
    void archiveFailed(const QString& text);
    /// Recording cannot start, has stopped or has resumed, for the status line.
    void stateChanged(const QString& text);

private:
    struct Stamp
    {
        QDateTime zo;
        QDateTime uo;
        qint64 size = 0;
        bool operator==(const Stamp&) const = default;
    };
    /// A race whose files did not read: their stamp then, and until when it is tried again.
    struct Retry
    {
        Stamp stamp;
        qint64 until = 0;
    };
    static Stamp stampOf(const QString& zoPath);
    void watchFolder();
    void unwatch();
    /// Lists the folder and watches the latest day's odds files.
    void relist();
    /// Watches the Zo- and Uo- files of the races that are not watched (a replaced file is not).
    void watchRaces(const QStringList& zoPaths);

    OddsArchive* m_archive;
    Timing m_timing;
    Clock m_clock;
    QString m_folder;
    bool m_watching = false;
    bool m_told = false;    ///< the folder's absence was said
    bool m_started = false; ///< the folder has been watched since follow()
    QFileSystemWatcher m_watcher;
    QTimer m_quiet;
    QTimer m_look;
    std::map<QString, Stamp> m_seen;  ///< the latest day's races as last read
    std::map<QString, Retry> m_retry; ///< races caught half-written
    std::map<QString, std::pair<QDateTime, QDate>> m_raceDays; ///< as latestDayOf() found them
    bool m_listed = false; ///< false: the folder changed and must be listed again
    QDateTime m_listedAt;  ///< the folder's modification time when last listed
    bool m_retrying = false;
};
