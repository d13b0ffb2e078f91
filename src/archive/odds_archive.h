// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <QDateTime>
#include <QLockFile>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "pat/archived_odds.h"

/// A race as the archive keys it: its Zo- file name, the header fields that name it, and its post
/// time from the race card (invalid when there is none).
struct ArchiveRace
{
    QString file;
    QString meeting; ///< as meetingText()
    QString name;    ///< as raceNameText()
    QString venue;
    QString meetingNo;
    QString meetingDay;
    QString raceNo;
    int runners = 0;
    QDateTime post;
};

/// The odds archive: one SQLite file (WAL journal, schema version in PRAGMA user_version) with a
/// row per race and a compressed blob per snapshot. One program writes at a time, holding a lock
/// file beside it; another opens it read-only.
class OddsArchive final
{
public:
    /// odds.sqlite in the user's data folder, or the file setDefaultPath() named.
    static QString defaultPath();
    /// The file the program's archive is (the command line's --archive); empty: the default.
    static void setDefaultPath(const QString& path);

    /// How far a file is checked when it opens.
    enum class Check {
        Quick, ///< PRAGMA quick_check: a damaged file is refused, never written into
        None,  ///< for the full check of `archive check`
    };
    /// Opens the archive at `path`, creating it. A second program, or `readOnly`, gets it
    /// read-only, with `note` saying so. Empty, with `note` saying why, when it cannot be used
    /// (not a database, damaged, a newer schema, no permission).
    static std::unique_ptr<OddsArchive>
    open(const QString& path, QString& note, bool readOnly = false, Check check = Check::Quick);
    ~OddsArchive();
    OddsArchive(const OddsArchive&) = delete;
    OddsArchive& operator=(const OddsArchive&) = delete;

    bool isReadOnly() const { return m_readOnly; }
    QString path() const { return m_path; }
    /// The file's schema version (PRAGMA user_version); the ledger's tables are there from 2.
    int schemaVersion() const { return m_version; }
    static int currentSchemaVersion();
    /// The Qt SQL connection of this archive, for the ledger's queries.
    QString connectionName() const { return m_connection; }

    enum class Stored { Added, Unchanged, Failed };
    /// Stores the odds of `race` fetched at `fetched` unless they equal its snapshot before
    /// that time or a snapshot of the same time is stored already (the first is kept), in one
    /// transaction. The race's post time and runners follow its latest fetch. Failed (with
    /// lastError()) on a read-only archive or a write that failed.
    Stored store(const ArchiveRace& race,
                 const QDateTime& fetched,
                 const WinPlaceOddsRecord& win,
                 const QuinellaOddsRecord& pairs);
    QString lastError() const { return m_error; }

    /// The races, in file name order.
    std::vector<ArchiveRace> races() const;
    std::optional<ArchiveRace> race(const QString& file) const;
    /// A race's snapshots in fetch order.
    std::vector<ArchivedOdds> snapshots(const QString& file) const;
    /// The last snapshot fetched at or before `limit`.
    std::optional<ArchivedOdds> lastAtOrBefore(const QString& file, const QDateTime& limit) const;

    struct Info
    {
        qint64 races = 0;
        qint64 snapshots = 0;
        QDateTime first;
        QDateTime last;
        qint64 bytes = 0; ///< the file with its WAL
    };
    Info info() const;
    /// PRAGMA integrity_check says "ok".
    bool integrityOk() const;
    /// What PRAGMA integrity_check says: "ok", or the problems it found, one a line.
    QStringList integrityCheck() const;

    /// The values of one race's records as the archive stores them (compressed texts), and back.
    static QByteArray
    packOdds(int runners, const WinPlaceOddsRecord& win, const QuinellaOddsRecord& pairs);
    /// The runners come from the blob's length: each snapshot keeps the field it was taken with.
    static bool unpackOdds(const QByteArray& blob, ArchivedOdds& odds);

private:
    OddsArchive() = default;
    bool prepare(QString& note, Check check);
    std::optional<qint64> raceId(const ArchiveRace& race);
    bool followLatestFetch(qint64 id, const ArchiveRace& race);

    QString m_path;
    QString m_connection;
    bool m_readOnly = false;
    int m_version = 0;
    std::unique_ptr<QLockFile> m_lock;
    QString m_error;
    /// Each race's latest snapshot (fetch time, blob), so that recording costs no query.
    std::map<qint64, std::pair<qint64, QByteArray>> m_latest;
    /// Each race's post time and runners as its row holds them.
    struct RaceRow
    {
        QVariant post;
        int runners = 0;
    };
    std::map<qint64, RaceRow> m_rows;
};
