// SPDX-License-Identifier: MIT
#include "odds_archive.h"

#include <atomic>
#include <limits>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace {

constexpr int kHorseChars = 15; // win, place minimum, place maximum: five each
constexpr int kPairChars = 18;  // quinella, wide minimum, wide maximum: six each

// The statements of each schema step, applied in turn from the version a file has; each step
// is one transaction.
const std::vector<std::vector<const char*>> kMigrations = {
    // 0 → 1
    {"CREATE TABLE race(id INTEGER PRIMARY KEY, file TEXT NOT NULL UNIQUE, meeting TEXT NOT NULL,"
     " name TEXT NOT NULL, venue TEXT NOT NULL,"
     " meeting_no TEXT NOT NULL, meeting_day TEXT NOT NULL, race_no TEXT NOT NULL,"
     " runners INTEGER NOT NULL, post INTEGER)",
     // A rowid table keeps a snapshot's blob (about 1 kB) in its page; an index-organised one
     // would spill it to an overflow page of its own.
     "CREATE TABLE snapshot(id INTEGER PRIMARY KEY, race INTEGER NOT NULL REFERENCES race(id),"
     " fetched INTEGER NOT NULL, odds BLOB NOT NULL)",
     "CREATE UNIQUE INDEX snapshot_time ON snapshot(race, fetched)"},
    // 1 → 2: the ledger of the user's bets and what each paid
    // AUTOINCREMENT: a deleted bet's id is never given to another, so that its undo can put it
    // back and a redo can never delete a bet recorded since.
    {"CREATE TABLE bet(id INTEGER PRIMARY KEY AUTOINCREMENT, placed INTEGER NOT NULL,"
     " race INTEGER NOT NULL REFERENCES race(id),"
     " kind TEXT NOT NULL CHECK(kind IN ('quinella', 'wide')),"
     " first INTEGER NOT NULL, second INTEGER NOT NULL,"
     " stake INTEGER NOT NULL CHECK(stake >= 100 AND stake % 100 = 0),"
     " odds REAL, model TEXT, chance REAL, ev REAL, note TEXT NOT NULL DEFAULT '')",
     "CREATE INDEX bet_race ON bet(race)",
     "CREATE TABLE settlement(bet INTEGER PRIMARY KEY REFERENCES bet(id), payout INTEGER NOT NULL,"
     " refund INTEGER NOT NULL, settled INTEGER NOT NULL, closing REAL)"},
};
const int kSchemaVersion = static_cast<int>(kMigrations.size());

QVariant timeValue(const QDateTime& time)
{
    return time.isValid() ? QVariant(time.toMSecsSinceEpoch()) : QVariant();
}

QDateTime timeOf(const QVariant& value)
{
    return value.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(value.toLongLong());
}

ArchiveRace raceOf(const QSqlQuery& q)
{
    return {q.value(0).toString(),
            q.value(1).toString(),
            q.value(2).toString(),
            q.value(3).toString(),
            q.value(4).toString(),
            q.value(5).toString(),
            q.value(6).toString(),
            q.value(7).toInt(),
            timeOf(q.value(8))};
}

// The characters a blob holds for a field of `runners`.
qsizetype blobChars(int runners)
{
    return runners * kHorseChars + runners * (runners - 1) / 2 * kPairChars;
}

template<int N>
void take(PatText<N>& field, QStringView text, qsizetype& at)
{
    field = PatText<N>::fromString(text.mid(at, N));
    at += N;
}

} // namespace

namespace {

QString& chosenPath()
{
    static QString path;
    return path;
}

// A lock file that names no program is one a program killed as it made it left behind (Qt
// judges a lock stale by its program, and without a time limit, which a long run would
// outlive). Once it is a few seconds old, no program is still writing it: it is removed.
bool takeOverEmptyLock(QLockFile& lock, const QString& path)
{
    constexpr qint64 kUnfinishedMs = 3000;
    qint64 pid = 0;
    QString host;
    QString application;
    const QString name = path + u".lock"_s;
    if (lock.error() != QLockFile::LockFailedError || lock.getLockInfo(&pid, &host, &application)
        || QFileInfo(name).lastModified().msecsTo(QDateTime::currentDateTime()) < kUnfinishedMs) {
        return false;
    }
    return lock.removeStaleLockFile();
}

// The archive holds the user's bets: its file and journals are the owner's alone. A new file is
// made so before SQLite opens it (its journals take the file's permissions); one of an earlier
// version, readable by all, is narrowed when its writer opens it.
void keepToOwner(const QString& path)
{
    constexpr QFileDevice::Permissions kOwner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            file.setPermissions(kOwner);
        }
        return;
    }
    for (const QString& name : QStringList{path, path + u"-wal"_s, path + u"-shm"_s}) {
        constexpr QFileDevice::Permissions kOthers
            = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
              | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        if (QFileInfo::exists(name) && (QFile::permissions(name) & kOthers) != 0) {
            QFile::setPermissions(name, kOwner);
        }
    }
}

} // namespace

void OddsArchive::setDefaultPath(const QString& path)
{
    chosenPath() = path;
}

QString OddsArchive::defaultPath()
{
    if (!chosenPath().isEmpty()) {
        return chosenPath();
    }
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(u"odds.sqlite"_s);
}

std::unique_ptr<OddsArchive>
OddsArchive::open(const QString& path, QString& note, bool readOnly, Check check)
{
    if (!QSqlDatabase::isDriverAvailable(u"QSQLITE"_s)) {
        note = u"オッズの記録: SQLiteのドライバがありません (libqt6sql6-sqlite)"_s;
        return nullptr;
    }
    std::unique_ptr<OddsArchive> archive(new OddsArchive);
    archive->m_path = path;
    if (!readOnly) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        archive->m_lock = std::make_unique<QLockFile>(path + u".lock"_s);
        archive->m_lock->setStaleLockTime(0); // a lock whose program is gone is stale
        if (!archive->m_lock->tryLock(0) && takeOverEmptyLock(*archive->m_lock, path)) {
            archive->m_lock->tryLock(0);
        }
        if (!archive->m_lock->isLocked()) {
            const bool held = archive->m_lock->error() == QLockFile::LockFailedError;
            archive->m_lock.reset();
            readOnly = true;
            note = (held ? u"オッズの記録は別のプログラムが書いています。読むだけにします: %1"_s
                         : u"オッズの記録のフォルダに書き込めません。読むだけにします: %1"_s)
                       .arg(QDir::toNativeSeparators(path));
        }
    }
    archive->m_readOnly = readOnly;
    if (!readOnly) {
        keepToOwner(path);
    }
    if (readOnly && !QFileInfo::exists(path)) {
        note = u"オッズの記録がありません: %1"_s.arg(QDir::toNativeSeparators(path));
        return nullptr;
    }
    static std::atomic<int> connections{0};
    archive->m_connection = u"odds-archive-%1"_s.arg(connections++);
    if (!archive->prepare(note, check)) {
        return nullptr;
    }
    return archive;
}

bool OddsArchive::prepare(QString& note, Check check)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
    db.setDatabaseName(m_path);
    if (m_readOnly) {
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
    }
    db.setConnectOptions(db.connectOptions() + u";QSQLITE_BUSY_TIMEOUT=2000"_s);
    const auto fail = [&](const QString& why) {
        note = u"オッズの記録を使えません (%1): %2"_s.arg(why, QDir::toNativeSeparators(m_path));
        return false;
    };
    if (!db.open()) {
        return fail(db.lastError().text());
    }
    QSqlQuery q(db);
    if (!q.exec(u"PRAGMA user_version"_s) || !q.next()) {
        return fail(q.lastError().text());
    }
    const int version = q.value(0).toInt();
    if (version > kSchemaVersion) {
        return fail(u"新しい版の形式です"_s);
    }
    // A damaged file is never written into: the program goes on without it.
    if (check == Check::Quick
        && (!q.exec(u"PRAGMA quick_check"_s) || !q.next() || q.value(0).toString() != u"ok")) {
        return fail(u"ファイルが壊れています。mikazuki archive check で調べられます"_s);
    }
    m_version = version;
    if (m_readOnly) {
        // Version 0 is a file no writer has finished making (one killed as it began): an empty
        // archive, whose queries find nothing. An earlier version reads as it is (no ledger).
        return true;
    }
    if (!q.exec(u"PRAGMA journal_mode=WAL"_s) || !q.next()
        || q.value(0).toString().compare(u"wal"_s, Qt::CaseInsensitive) != 0
        || !q.exec(u"PRAGMA synchronous=NORMAL"_s)) {
        return fail(q.lastError().text());
    }
    for (int v = version; v < kSchemaVersion; ++v) {
        if (!db.transaction()) {
            return fail(db.lastError().text());
        }
        for (const char* statement : kMigrations[v]) {
            if (!q.exec(QString::fromLatin1(statement))) {
                db.rollback();
                return fail(q.lastError().text());
            }
        }
        if (!q.exec(u"PRAGMA user_version=%1"_s.arg(v + 1)) || !db.commit()) {
            db.rollback();
            return fail(q.lastError().text());
        }
        m_version = v + 1;
    }
    return true;
}

OddsArchive::~OddsArchive()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

QByteArray
OddsArchive::packOdds(int runners, const WinPlaceOddsRecord& win, const QuinellaOddsRecord& pairs)
{
    QString text;
    text.reserve(blobChars(runners));
    for (int h = 1; h <= runners; ++h) {
        const WinPlaceHorseEntry& horse = win.horse(h);
        text += horse.winOdds.view() + horse.placeOddsMin.view() + horse.placeOddsMax.view();
    }
    for (int a = 1; a < runners; ++a) {
        for (int b = a + 1; b <= runners; ++b) {
            const QuinellaPairEntry& pair = pairs.pair(a, b);
            text += pair.quinellaOdds.view() + pair.wideOddsMin.view() + pair.wideOddsMax.view();
        }
    }
    return qCompress(text.toUtf8(), 9);
}

bool OddsArchive::unpackOdds(const QByteArray& blob, ArchivedOdds& odds)
{
    const QString text = QString::fromUtf8(qUncompress(blob));
    int runners = 0;
    while (runners < kMaxRunners && blobChars(runners) < text.size()) {
        ++runners;
    }
    if (blobChars(runners) != text.size()) {
        return false;
    }
    qsizetype at = 0;
    for (int h = 1; h <= runners; ++h) {
        WinPlaceHorseEntry& horse = odds.win.horse(h);
        take(horse.winOdds, text, at);
        take(horse.placeOddsMin, text, at);
        take(horse.placeOddsMax, text, at);
    }
    for (int a = 1; a < runners; ++a) {
        for (int b = a + 1; b <= runners; ++b) {
            QuinellaPairEntry& pair = odds.pairs->pair(a, b);
            take(pair.quinellaOdds, text, at);
            take(pair.wideOddsMin, text, at);
            take(pair.wideOddsMax, text, at);
        }
    }
    return true;
}

std::optional<qint64> OddsArchive::raceId(const ArchiveRace& race)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(u"SELECT id, post, runners FROM race WHERE file = ?"_s);
    q.addBindValue(race.file);
    if (q.exec() && q.next()) {
        const qint64 id = q.value(0).toLongLong();
        m_rows.try_emplace(id, RaceRow{q.value(1), q.value(2).toInt()});
        return id;
    }
    q.prepare(u"INSERT INTO race(file, meeting, name, venue, meeting_no, meeting_day, race_no,"
              " runners, post) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"_s);
    for (const QVariant& value : {QVariant(race.file),
                                  QVariant(race.meeting),
                                  QVariant(race.name),
                                  QVariant(race.venue),
                                  QVariant(race.meetingNo),
                                  QVariant(race.meetingDay),
                                  QVariant(race.raceNo),
                                  QVariant(race.runners),
                                  timeValue(race.post)}) {
        q.addBindValue(value);
    }
    if (!q.exec()) {
        m_error = q.lastError().text();
        return std::nullopt;
    }
    const qint64 id = q.lastInsertId().toLongLong();
    m_rows.insert_or_assign(id, RaceRow{timeValue(race.post), race.runners});
    return id;
}

bool OddsArchive::followLatestFetch(qint64 id, const ArchiveRace& race)
{
    // The latest fetch knows the race best: a race card that came later, a race first fetched
    // the day before its race day, a field that was not whole at first.
    RaceRow& row = m_rows[id];
    const QVariant post = race.post.isValid() ? timeValue(race.post) : row.post;
    if (post == row.post && race.runners == row.runners) {
        return true;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(u"UPDATE race SET post = ?, runners = ? WHERE id = ?"_s);
    q.addBindValue(post);
    q.addBindValue(race.runners);
    q.addBindValue(id);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    row = RaceRow{post, race.runners};
    return true;
}

OddsArchive::Stored OddsArchive::store(const ArchiveRace& race,
                                       const QDateTime& fetched,
                                       const WinPlaceOddsRecord& win,
                                       const QuinellaOddsRecord& pairs)
{
    if (m_readOnly) {
        m_error = u"読むだけの記録です"_s;
        return Stored::Failed;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    if (!db.transaction()) {
        m_error = db.lastError().text();
        return Stored::Failed;
    }
    QSqlQuery q(db);
    const auto id = raceId(race);
    if (!id) {
        db.rollback();
        return Stored::Failed;
    }
    // A transaction that did not commit leaves the race's rows as they were: read them again.
    const auto forget = [&](const QString& error) {
        if (!error.isEmpty()) {
            m_error = error;
        }
        db.rollback();
        m_rows.erase(*id);
        m_latest.erase(*id);
        return Stored::Failed;
    };
    const QByteArray blob = packOdds(race.runners, win, pairs);
    const qint64 at = fetched.toMSecsSinceEpoch();
    auto latest = m_latest.find(*id);
    if (latest == m_latest.end()) {
        // Read once per race: the latest snapshot, which a fetch after it is compared with.
        q.prepare(u"SELECT fetched, odds FROM snapshot WHERE race = ?"
                  " ORDER BY fetched DESC LIMIT 1"_s);
        q.addBindValue(*id);
        if (!q.exec()) {
            return forget(q.lastError().text());
        }
        latest
            = m_latest
                  .emplace(*id,
                           q.next() ? std::pair{q.value(0).toLongLong(), q.value(1).toByteArray()}
                                    : std::pair{std::numeric_limits<qint64>::min(), QByteArray()})
                  .first;
    }
    // The snapshot before it in time: the latest one while recording, an earlier one when older
    // files are imported.
    const bool newest = latest->second.first <= at;
    QByteArray previous;
    if (newest) {
        previous = latest->second.second;
    } else {
        q.prepare(u"SELECT odds FROM snapshot WHERE race = ? AND fetched <= ?"
                  " ORDER BY fetched DESC LIMIT 1"_s);
        q.addBindValue(*id);
        q.addBindValue(at);
        if (!q.exec()) {
            return forget(q.lastError().text());
        }
        if (q.next()) {
            previous = q.value(0).toByteArray();
        }
    }
    if (!previous.isEmpty() && previous == blob) {
        if (!newest) {
            db.rollback();
            return Stored::Unchanged;
        }
        if (!followLatestFetch(*id, race) || !db.commit()) {
            return forget(db.lastError().text());
        }
        return Stored::Unchanged;
    }
    // A snapshot of the same millisecond (copied folders, coarse file times) is kept as it was.
    q.prepare(u"INSERT INTO snapshot(race, fetched, odds) VALUES (?, ?, ?)"
              " ON CONFLICT(race, fetched) DO NOTHING"_s);
    q.addBindValue(*id);
    q.addBindValue(at);
    q.addBindValue(blob);
    if (!q.exec()) {
        return forget(q.lastError().text());
    }
    if (q.numRowsAffected() == 0) {
        db.rollback();
        return Stored::Unchanged;
    }
    if (newest && !followLatestFetch(*id, race)) {
        return forget(QString());
    }
    if (!db.commit()) {
        return forget(db.lastError().text());
    }
    if (newest) {
        latest->second = {at, blob};
    }
    return Stored::Added;
}

std::vector<ArchiveRace> OddsArchive::races() const
{
    std::vector<ArchiveRace> out;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    if (q.exec(u"SELECT file, meeting, name, venue, meeting_no, meeting_day, race_no, runners, "
               u"post FROM race"
               " ORDER BY file"_s)) {
        while (q.next()) {
            out.push_back(raceOf(q));
        }
    }
    return out;
}

std::optional<ArchiveRace> OddsArchive::race(const QString& file) const
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(u"SELECT file, meeting, name, venue, meeting_no, meeting_day, race_no, runners, post "
              u"FROM race"
              " WHERE file = ?"_s);
    q.addBindValue(file);
    if (q.exec() && q.next()) {
        return raceOf(q);
    }
    return std::nullopt;
}

std::vector<ArchivedOdds> OddsArchive::snapshots(const QString& file) const
{
    std::vector<ArchivedOdds> out;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(u"SELECT s.fetched, s.odds FROM snapshot s JOIN race r ON r.id = s.race"
              " WHERE r.file = ? ORDER BY s.fetched"_s);
    q.addBindValue(file);
    if (q.exec()) {
        while (q.next()) {
            ArchivedOdds odds;
            odds.fetched = timeOf(q.value(0));
            if (unpackOdds(q.value(1).toByteArray(), odds)) {
                out.push_back(std::move(odds));
            }
        }
    }
    return out;
}

std::optional<ArchivedOdds> OddsArchive::lastAtOrBefore(const QString& file,
                                                        const QDateTime& limit) const
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(u"SELECT s.fetched, s.odds FROM snapshot s JOIN race r ON r.id = s.race"
              " WHERE r.file = ? AND s.fetched <= ? ORDER BY s.fetched DESC LIMIT 1"_s);
    q.addBindValue(file);
    q.addBindValue(limit.toMSecsSinceEpoch());
    if (q.exec() && q.next()) {
        ArchivedOdds odds;
        odds.fetched = timeOf(q.value(0));
        if (unpackOdds(q.value(1).toByteArray(), odds)) {
            return odds;
        }
    }
    return std::nullopt;
}

OddsArchive::Info OddsArchive::info() const
{
    Info info;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    if (q.exec(u"SELECT (SELECT count(*) FROM race), count(*), min(fetched), max(fetched)"
               " FROM snapshot"_s)
        && q.next()) {
        info.races = q.value(0).toLongLong();
        info.snapshots = q.value(1).toLongLong();
        info.first = timeOf(q.value(2));
        info.last = timeOf(q.value(3));
    }
    info.bytes = QFileInfo(m_path).size() + QFileInfo(m_path + u"-wal"_s).size();
    return info;
}

bool OddsArchive::integrityOk() const
{
    return integrityCheck() == QStringList{u"ok"_s};
}

QStringList OddsArchive::integrityCheck() const
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    if (!q.exec(u"PRAGMA integrity_check"_s)) {
        return {q.lastError().text()};
    }
    QStringList lines;
    while (q.next()) {
        lines << q.value(0).toString();
    }
    return lines;
}

int OddsArchive::currentSchemaVersion()
{
    return kSchemaVersion;
}
