// SPDX-License-Identifier: MIT
#pragma once

#include <initializer_list>
#include <utility>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

class RaceDisplay;

/// Follows the files of the race a display shows. When PAT rewrites the race's Zo- or Uo- file,
/// the race is loaded again once the files have been quiet for a moment, keeping the user's view.
/// A file caught half-written is tried again for a while before a load tells the usual message;
/// a race whose files went away keeps what it shows and says so.
class LiveRace final : public QObject
{
    Q_OBJECT

public:
    /// How long the files must stay unchanged before they are read.
    static constexpr int kQuietMilliseconds = 300;
    /// How long a file that does not read is tried again, and how often.
    static constexpr int kRetryMilliseconds = 3000;
    static constexpr int kRetryStepMilliseconds = 100;

    /// The waits, in milliseconds (tests make them short).
    struct Timing
    {
        int quiet = kQuietMilliseconds;
        int retry = kRetryMilliseconds;
        int retryStep = kRetryStepMilliseconds;
    };

    explicit LiveRace(RaceDisplay& display, QObject* parent = nullptr);
    LiveRace(RaceDisplay& display, Timing timing, QObject* parent = nullptr);

    /// The line shown about the race's files; empty when there is nothing to say.
    QString status() const { return m_status; }

Q_SIGNALS:
    /// The status line changed (empty: nothing to say any more).
    void statusChanged(const QString& text);
    /// A file of the race did not read; it is tried again after a step.
    void retrying();
    /// The files were looked at after a quiet wait and nothing is pending: the race was
    /// loaded again, or nothing of its own had changed, or a file is gone.
    void settled();

private:
    /// What a file looked like when the race was last read: a change of the folder reloads only
    /// when one of the race's own files changed.
    struct Stamp
    {
        bool exists = false;
        qint64 size = 0;
        QDateTime modified;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const QString& path);
    /// The paths of the files whose stamps say they are there.
    static QStringList presentOf(std::initializer_list<std::pair<QString, Stamp>> files);

    /// After a load of the user's: watch the new race's files.
    void follow();
    void fileChanged();
    void folderChanged();
    /// The files have been quiet: reload, try again later, or say that they are gone.
    void settle();
    /// Watches those of `paths` (files that are there) not watched yet.
    void watchFiles(const QStringList& paths);
    QString quinellaPath() const;
    void setStatus(const QString& text);

    RaceDisplay& m_display;
    Timing m_timing;
    QFileSystemWatcher m_watcher;
    QTimer m_quiet;
    QElapsedTimer m_failing;
    bool m_fileEvent = false;
    bool m_folderEvent = false;
    Stamp m_zoStamp;
    Stamp m_uoStamp;
    Stamp m_resultStamp;
    QString m_status;
};
