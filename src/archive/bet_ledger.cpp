// SPDX-License-Identifier: MIT
#include "bet_ledger.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "archive/odds_archive.h"
#include "pat/race_time.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kLedgerVersion = 2;

QVariant timeValue(const QDateTime& time)
{
    return time.isValid() ? QVariant(time.toMSecsSinceEpoch()) : QVariant();
}

QDateTime timeOf(const QVariant& value)
{
    // In UTC: a local time would ask the system for its zone rule at every row.
    return value.isNull() ? QDateTime()
                          : QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

// A note is never NULL: an empty one is "".
QVariant noteValue(const QString& note)
{
    return note.isNull() ? QVariant(u""_s) : QVariant(note);
}

QVariant optionalReal(double value, bool present)
{
    return present ? QVariant(value) : QVariant();
}

const QString kSelect
    = u"SELECT b.id, b.placed, b.race, b.kind, b.first, b.second, b.stake, b.odds, b.model,"
      " b.chance, b.ev, b.note, s.payout, s.refund, s.settled, s.closing"
      " FROM bet b LEFT JOIN settlement s ON s.bet = b.id"_s;

// A race's facts as its bets carry them, read once per race.
struct RaceFacts
{
    QString file;
    QDateTime post;
    QString venue;
};

// A settlement's values in the order the statements bind them.
QVariantList settlementValues(qint64 id, const BetSettlement& s)
{
    return {id, s.payout, s.refund, timeValue(s.settled), optionalReal(s.closing, s.closing > 0)};
}

// What a failed write tells the user: SQLite's own words after a Japanese one.
QString writeFailure(const QSqlError& error)
{
    return u"購入の記録に書き込めませんでした: %1"_s.arg(error.text());
}

bool exec(QSqlQuery& q, const QString& statement, const QVariantList& values, QString& error)
{
    q.prepare(statement);
    for (const QVariant& value : values) {
        q.addBindValue(value);
    }
    if (!q.exec()) {
        error = writeFailure(q.lastError());
        return false;
    }
    return true;
}

// Runs `body` in one transaction, committed only when it returns true.
template<typename Body>
bool inTransaction(const QString& connection, QString& error, Body body)
{
    QSqlDatabase db = QSqlDatabase::database(connection);
    if (!db.transaction()) {
        error = writeFailure(db.lastError());
        return false;
    }
    QSqlQuery q(db);
    if (!body(q) || !db.commit()) {
        if (error.isEmpty()) {
            error = writeFailure(db.lastError());
        }
        db.rollback();
        return false;
    }
    return true;
}

// The bet's own columns in the order the statements name them: placed, kind, first, second,
// stake, odds, model, chance, ev, note.
QVariantList betValues(const LedgerBet& bet)
{
    const bool model = !bet.model.isEmpty();
    return {timeValue(bet.placed),
            betKey(bet.bet),
            bet.first,
            bet.second,
            bet.stake,
            optionalReal(bet.odds, bet.odds > 0),
            model ? QVariant(bet.model) : QVariant(),
            optionalReal(bet.chance, model),
            optionalReal(bet.ev, model),
            noteValue(bet.note)};
}

const QString kBetColumns = u"placed, kind, first, second, stake, odds, model, chance, ev, note"_s;

// Writes `bet` over the row of its id.
bool updateBet(QSqlQuery& q, const LedgerBet& bet, QString& error)
{
    return exec(q,
                u"UPDATE bet SET placed = ?, kind = ?, first = ?, second = ?, stake = ?, odds = ?,"
                " model = ?, chance = ?, ev = ?, note = ?,"
                " race = (SELECT id FROM race WHERE file = ?) WHERE id = ?"_s,
                betValues(bet) << bet.race << bet.id,
                error);
}

} // namespace

QDate LedgerBet::day() const
{
    return jraDateOf(post.isValid() ? post : placed);
}

std::optional<BetType> betOfKey(const QString& text)
{
    const QString key = text.trimmed();
    if (key == u"quinella"_s || key == u"馬連"_s) {
        return BetType::Quinella;
    }
    if (key == u"wide"_s || key == u"ワイド"_s || key == u"ﾜｲﾄﾞ"_s) {
        return BetType::Wide;
    }
    return std::nullopt;
}

BetLedger::BetLedger(OddsArchive& archive)
    : m_archive(archive)
{}

QString BetLedger::readOnlyText()
{
    return u"オッズの記録は別のプログラムが書いているため、購入を記録できません"_s;
}

bool BetLedger::writable(QString& error) const
{
    if (m_archive.isReadOnly()) {
        error = readOnlyText();
        return false;
    }
    return true;
}

QString BetLedger::check(const LedgerBet& bet) const
{
    const auto race = m_archive.race(bet.race);
    if (!race) {
        return u"記録にないレースです: %1"_s.arg(bet.race);
    }
    if (bet.first < 1 || bet.second <= bet.first || bet.second > race->runners) {
        return u"組番がレースの頭数 (%1) の外です: %2-%3"_s.arg(race->runners)
            .arg(bet.first)
            .arg(bet.second);
    }
    if (bet.stake < 100 || bet.stake % 100 != 0) {
        return u"金額は100円単位で100円以上にしてください: %1"_s.arg(bet.stake);
    }
    if (!bet.placed.isValid()) {
        return u"購入日時がありません"_s;
    }
    if (bet.odds < 0.0 || (!bet.model.isEmpty() && !(bet.chance >= 0.0 && bet.chance <= 1.0))) {
        return u"オッズまたは確率が範囲の外です"_s;
    }
    return {};
}

std::optional<std::vector<qint64>> BetLedger::add(const std::vector<LedgerBet>& bets,
                                                  QString& error)
{
    if (!writable(error)) {
        return std::nullopt;
    }
    for (std::size_t k = 0; k < bets.size(); ++k) {
        const QString why = check(bets[k]);
        if (!why.isEmpty()) {
            error = bets.size() == 1 ? why : u"%1件目: %2"_s.arg(k + 1).arg(why);
            return std::nullopt;
        }
    }
    std::vector<qint64> ids;
    const bool done = inTransaction(m_archive.connectionName(), error, [&](QSqlQuery& q) {
        for (const LedgerBet& bet : bets) {
            if (!exec(q,
                      u"INSERT INTO bet(%1, race) SELECT ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, id FROM race"
                      " WHERE file = ?"_s.arg(kBetColumns),
                      betValues(bet) << bet.race,
                      error)) {
                return false;
            }
            ids.push_back(q.lastInsertId().toLongLong());
        }
        return true;
    });
    if (!done) {
        return std::nullopt;
    }
    return ids;
}

bool BetLedger::writable(const LedgerBet& bet, QString& error) const
{
    if (!writable(error)) {
        return false;
    }
    error = check(bet);
    return error.isEmpty();
}

bool BetLedger::correct(const LedgerBet& bet, QString& error)
{
    if (!writable(bet, error)) {
        return false;
    }
    const auto before = this->bet(bet.id);
    if (!before) {
        error = u"記録にない購入です: %1"_s.arg(bet.id);
        return false;
    }
    const bool resettle = before->race != bet.race || before->bet != bet.bet
                          || before->first != bet.first || before->second != bet.second
                          || before->stake != bet.stake;
    return inTransaction(m_archive.connectionName(), error, [&](QSqlQuery& q) {
        return updateBet(q, bet, error)
               && (!resettle
                   || exec(q, u"DELETE FROM settlement WHERE bet = ?"_s, {bet.id}, error));
    });
}

bool BetLedger::replace(const LedgerBet& bet, QString& error)
{
    if (!writable(bet, error)) {
        return false;
    }
    return inTransaction(m_archive.connectionName(), error, [&](QSqlQuery& q) {
        if (!updateBet(q, bet, error)) {
            return false;
        }
        if (q.numRowsAffected() != 1) {
            error = u"記録にない購入です: %1"_s.arg(bet.id);
            return false;
        }
        return bet.settlement ? exec(
                   q,
                   u"INSERT OR REPLACE INTO settlement(bet, payout, refund, settled, closing)"
                   " VALUES (?, ?, ?, ?, ?)"_s,
                   settlementValues(bet.id, *bet.settlement),
                   error)
                              : exec(q, u"DELETE FROM settlement WHERE bet = ?"_s, {bet.id}, error);
    });
}

bool BetLedger::remove(qint64 id, QString& error)
{
    if (!writable(error)) {
        return false;
    }
    return inTransaction(m_archive.connectionName(), error, [&](QSqlQuery& q) {
        return exec(q, u"DELETE FROM settlement WHERE bet = ?"_s, {id}, error)
               && exec(q, u"DELETE FROM bet WHERE id = ?"_s, {id}, error);
    });
}

bool BetLedger::restore(const LedgerBet& bet, QString& error)
{
    if (!writable(error)) {
        return false;
    }
    return inTransaction(m_archive.connectionName(), error, [&](QSqlQuery& q) {
        if (!exec(q,
                  u"INSERT INTO bet(id, %1, race) SELECT ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, id"
                  " FROM race WHERE file = ?"_s.arg(kBetColumns),
                  QVariantList{bet.id} << betValues(bet) << bet.race,
                  error)) {
            return false;
        }
        if (q.numRowsAffected() != 1) {
            error = u"記録にないレースの購入は戻せません: %1"_s.arg(bet.race);
            return false;
        }
        return !bet.settlement
               || exec(q,
                       u"INSERT INTO settlement(bet, payout, refund, settled, closing)"
                       " VALUES (?, ?, ?, ?, ?)"_s,
                       settlementValues(bet.id, *bet.settlement),
                       error);
    });
}

bool BetLedger::settle(const std::vector<std::pair<qint64, BetSettlement>>& settlements,
                       QString& error)
{
    if (!writable(error)) {
        return false;
    }
    if (settlements.empty()) {
        return true;
    }
    return inTransaction(m_archive.connectionName(), error, [&](QSqlQuery& q) {
        q.prepare(u"INSERT OR REPLACE INTO settlement(bet, payout, refund, settled, closing)"
                  " VALUES (?, ?, ?, ?, ?)"_s);
        for (const auto& [id, settlement] : settlements) {
            for (const QVariant& value : settlementValues(id, settlement)) {
                q.addBindValue(value);
            }
            if (!q.exec()) {
                error = writeFailure(q.lastError());
                return false;
            }
        }
        return true;
    });
}

std::vector<LedgerBet> BetLedger::query(const QString& where, const QVariantList& values) const
{
    std::vector<LedgerBet> out;
    if (m_archive.schemaVersion() < kLedgerVersion) {
        return out;
    }
    QSqlQuery q(QSqlDatabase::database(m_archive.connectionName()));
    q.setForwardOnly(true);
    q.prepare(kSelect + where + u" ORDER BY b.placed, b.id"_s);
    for (const QVariant& value : values) {
        q.addBindValue(value);
    }
    if (!q.exec()) {
        return out;
    }
    QSqlQuery r(QSqlDatabase::database(m_archive.connectionName()));
    r.setForwardOnly(true);
    QHash<qint64, RaceFacts> races;
    if (r.exec(u"SELECT id, file, post, venue FROM race WHERE id IN (SELECT race FROM bet)"_s)) {
        while (r.next()) {
            races.insert(r.value(0).toLongLong(),
                         {r.value(1).toString(), timeOf(r.value(2)), r.value(3).toString()});
        }
    }
    while (q.next()) {
        LedgerBet bet;
        bet.id = q.value(0).toLongLong();
        bet.placed = timeOf(q.value(1));
        const RaceFacts race = races.value(q.value(2).toLongLong());
        bet.race = race.file;
        bet.post = race.post;
        bet.venue = race.venue;
        bet.bet = q.value(3).toString() == u"wide"_s ? BetType::Wide : BetType::Quinella;
        bet.first = q.value(4).toInt();
        bet.second = q.value(5).toInt();
        bet.stake = q.value(6).toLongLong();
        bet.odds = q.value(7).toDouble();
        bet.model = q.value(8).toString();
        bet.chance = q.value(9).toDouble();
        bet.ev = q.value(10).toDouble();
        bet.note = q.value(11).toString();
        if (!q.value(12).isNull()) {
            bet.settlement = BetSettlement{q.value(12).toLongLong(),
                                           q.value(13).toLongLong(),
                                           timeOf(q.value(14)),
                                           q.value(15).toDouble()};
        }
        out.push_back(std::move(bet));
    }
    return out;
}

std::vector<LedgerBet> BetLedger::bets(const QDate& from, const QDate& to) const
{
    std::vector<LedgerBet> all = query({}, {});
    if (from.isValid() || to.isValid()) {
        std::erase_if(all, [&](const LedgerBet& bet) {
            const QDate day = bet.day();
            return (from.isValid() && day < from) || (to.isValid() && day > to);
        });
    }
    return all;
}

std::vector<LedgerBet> BetLedger::openBets() const
{
    return query(u" WHERE s.bet IS NULL"_s, {});
}

std::optional<LedgerBet> BetLedger::bet(qint64 id) const
{
    auto found = query(u" WHERE b.id = ?"_s, {id});
    if (found.empty()) {
        return std::nullopt;
    }
    return std::move(found.front());
}
