// SPDX-License-Identifier: MIT
#pragma once

#include <map>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

class OddsArchive;

/// Follows a PAT folder through the system's file notifications: the folder itself and the Zo-
/// and Uo- files of its latest day. Once the files have been quiet for a moment, every race whose
/// odds changed is stored in the archive (when there is one) and announced; a race whose files
/// do not read (caught half-written) is tried again for a while.
class FolderRecorder final : public QObject
{
    Q_OBJECT

public:
    struct Timing
    {
        int quiet = 300;
        int retry = 3000;
        int retryStep = 100;
    };

    FolderRecorder(OddsArchive* archive, Timing timing, QObject* parent = nullptr);
    explicit FolderRecorder(OddsArchive* archive, QObject* parent = nullptr);

    /// Follows `folder` (empty: none), starting with its races' odds as they are now.
    void follow(const QString& folder);
    QString folder() const { return m_folder; }

Q_SIGNALS:
    /// Races whose odds files changed and were read (Zo- paths).
    void racesChanged(const QStringList& paths);
    /// The archive failed and recording stopped, said once.
    void archiveFailed(const QString& text);

private:
    struct Stamp
    {
        QDateTime zo;
        QDateTime uo;
        qint64 size = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const QString& zoPath);
    /// Lists the folder and watches the latest day's odds files.
    void relist();
    /// Watches the Zo- and Uo- files of the races that are not watched (a replaced file is not).
    void watchRaces(const QStringList& zoPaths);
    void settle();

    OddsArchive* m_archive;
    Timing m_timing;
    QString m_folder;
    QFileSystemWatcher m_watcher;
    QTimer m_quiet;
    QElapsedTimer m_retrying;
    std::map<QString, Stamp> m_seen; ///< the latest day's races as last read
    bool m_listed = false;           ///< false: the folder changed and must be listed again
};
