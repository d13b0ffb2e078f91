// SPDX-License-Identifier: MIT
#include "odds_archive.h"

#include <atomic>

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace {

constexpr int kSchemaVersion = 1;
constexpr int kHorseChars = 15; // win, place minimum, place maximum: five each
constexpr int kPairChars = 18;  // quinella, wide minimum, wide maximum: six each

// The schema of each version, applied in turn from the one a file has.
const char* const kMigrations[] = {
    // 0 → 1
    "CREATE TABLE race(id INTEGER PRIMARY KEY, file TEXT NOT NULL UNIQUE, meeting TEXT NOT NULL,"
    " name TEXT NOT NULL, venue TEXT NOT NULL,"
    " meeting_no TEXT NOT NULL, meeting_day TEXT NOT NULL, race_no TEXT NOT NULL,"
    " runners INTEGER NOT NULL, post INTEGER);"
    // A rowid table keeps a snapshot's blob (about 1 kB) in its page; an index-organised one
    // would spill it to an overflow page of its own.
    "CREATE TABLE snapshot(id INTEGER PRIMARY KEY, race INTEGER NOT NULL REFERENCES race(id),"
    " fetched INTEGER NOT NULL, odds BLOB NOT NULL);"
    "CREATE UNIQUE INDEX snapshot_time ON snapshot(race, fetched);",
};

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

std::unique_ptr<OddsArchive> OddsArchive::open(const QString& path, QString& note, bool readOnly)
{
    if (!QSqlDatabase::isDriverAvailable(u"QSQLITE"_s)) {
        note = u"オッズの記録: SQLiteのドライバがありません (libqt6sql6-sqlite)"_s;
        return nullptr;
    }
    std::unique_ptr<OddsArchive> archive(new OddsArchive);
    archive->m_path = path;
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!readOnly) {
        archive->m_lock = std::make_unique<QLockFile>(path + u".lock"_s);
        archive->m_lock->setStaleLockTime(0); // a lock whose program is gone is stale
        if (!archive->m_lock->tryLock(0)) {
            archive->m_lock.reset();
            readOnly = true;
            note = u"オッズの記録は別のプログラムが書いています。読むだけにします: %1"_s.arg(
                QDir::toNativeSeparators(path));
        }
    }
    archive->m_readOnly = readOnly;
    if (readOnly && !QFileInfo::exists(path)) {
        note = u"オッズの記録がありません: %1"_s.arg(QDir::toNativeSeparators(path));
        return nullptr;
    }
    static std::atomic<int> connections{0};
    archive->m_connection = u"odds-archive-%1"_s.arg(connections++);
    if (!archive->prepare(note)) {
        return nullptr;
    }
    return archive;
}

bool OddsArchive::prepare(QString& note)
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
    if (m_readOnly) {
        // Version 0 is a file no writer has finished making (one killed as it began): an empty
        // archive, whose queries find nothing.
        return version == kSchemaVersion || version == 0 || fail(u"古い版の形式です"_s);
    }
    if (!q.exec(u"PRAGMA journal_mode=WAL"_s) || !q.exec(u"PRAGMA synchronous=NORMAL"_s)) {
        return fail(q.lastError().text());
    }
    for (int v = version; v < kSchemaVersion; ++v) {
        db.transaction();
        for (const QString& statement :
             QString::fromLatin1(kMigrations[v]).split(u';', Qt::SkipEmptyParts)) {
            if (!q.exec(statement)) {
                db.rollback();
                return fail(q.lastError().text());
            }
        }
        if (!q.exec(u"PRAGMA user_version=%1"_s.arg(v + 1)) || !db.commit()) {
            db.rollback();
            return fail(q.lastError().text());
        }
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
    text.reserve(runners * kHorseChars + runners * (runners - 1) / 2 * kPairChars);
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

bool OddsArchive::unpackOdds(const QByteArray& blob, int runners, ArchivedOdds& odds)
{
    const QString text = QString::fromUtf8(qUncompress(blob));
    if (runners < 0 || runners > kMaxRunners
        || text.size() != runners * kHorseChars + runners * (runners - 1) / 2 * kPairChars) {
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
    q.prepare(u"SELECT id FROM race WHERE file = ?"_s);
    q.addBindValue(race.file);
    if (q.exec() && q.next()) {
        return q.value(0).toLongLong();
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
    return q.lastInsertId().toLongLong();
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
    const auto failed = [&](const QSqlQuery& q) {
        m_error = q.lastError().text();
        db.rollback();
        return Stored::Failed;
    };
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
    // The runners the race was first stored with frame every snapshot of it.
    int runners = race.runners;
    q.prepare(u"SELECT runners FROM race WHERE id = ?"_s);
    q.addBindValue(*id);
    if (!q.exec() || !q.next()) {
        return failed(q);
    }
    runners = q.value(0).toInt();
    const QByteArray blob = packOdds(runners, win, pairs);
    // The snapshot before it in time: the latest one while recording, an earlier one when older
    // files are imported.
    const qint64 at = fetched.toMSecsSinceEpoch();
    auto latest = m_latest.find(*id);
    QByteArray previous;
    if (latest != m_latest.end() && latest->second.first <= at) {
        previous = latest->second.second;
    } else {
        q.prepare(u"SELECT fetched, odds FROM snapshot WHERE race = ? AND fetched <= ?"
                  " ORDER BY fetched DESC LIMIT 1"_s);
        q.addBindValue(*id);
        q.addBindValue(at);
        if (!q.exec()) {
            return failed(q);
        }
        if (q.next()) {
            previous = q.value(1).toByteArray();
        }
    }
    if (!previous.isEmpty() && previous == blob) {
        db.rollback();
        return Stored::Unchanged;
    }
    q.prepare(u"INSERT OR REPLACE INTO snapshot(race, fetched, odds) VALUES (?, ?, ?)"_s);
    q.addBindValue(*id);
    q.addBindValue(fetched.toMSecsSinceEpoch());
    q.addBindValue(blob);
    if (!q.exec()) {
        return failed(q);
    }
    if (!db.commit()) {
        m_error = db.lastError().text();
        db.rollback();
        return Stored::Failed;
    }
    if (latest == m_latest.end() || latest->second.first <= at) {
        m_latest[*id] = {at, blob};
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
    q.prepare(u"SELECT s.fetched, s.odds, r.runners FROM snapshot s JOIN race r ON r.id = s.race"
              " WHERE r.file = ? ORDER BY s.fetched"_s);
    q.addBindValue(file);
    if (q.exec()) {
        while (q.next()) {
            ArchivedOdds odds;
            odds.fetched = timeOf(q.value(0));
            if (unpackOdds(q.value(1).toByteArray(), q.value(2).toInt(), odds)) {
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
    q.prepare(u"SELECT s.fetched, s.odds, r.runners FROM snapshot s JOIN race r ON r.id = s.race"
              " WHERE r.file = ? AND s.fetched <= ? ORDER BY s.fetched DESC LIMIT 1"_s);
    q.addBindValue(file);
    q.addBindValue(limit.toMSecsSinceEpoch());
    if (q.exec() && q.next()) {
        ArchivedOdds odds;
        odds.fetched = timeOf(q.value(0));
        if (unpackOdds(q.value(1).toByteArray(), q.value(2).toInt(), odds)) {
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
    QSqlQuery q(QSqlDatabase::database(m_connection));
    return q.exec(u"PRAGMA integrity_check"_s) && q.next() && q.value(0).toString() == u"ok";
}
