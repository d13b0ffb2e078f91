// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <vector>

#include <QDate>
#include <QDateTime>
#include <QString>

#include "base/bet_type.h"

class OddsArchive;

/// What a bet's race paid it: the payout (the result's yen for its stake), the stake given back
/// when a horse of it did not start or the pool was void, when it was settled, and the odds it
/// would have had at the close (0: none known).
struct BetSettlement
{
    qint64 payout = 0;
    qint64 refund = 0;
    QDateTime settled;
    double closing = 0.0;

    bool operator==(const BetSettlement&) const = default;
};

/// A bet of the ledger. The race is its key as the archive knows it (the Zo- file name); the
/// odds are those shown when it was placed (wide: the low end of the range), 0 when none were
/// known; the model, its chance and chance × odds are those of that moment (no model: empty).
struct LedgerBet
{
    qint64 id = 0;
    QDateTime placed;
    QString race;
    BetType bet = BetType::Quinella;
    int first = 0; ///< first < second
    int second = 0;
    qint64 stake = 0; ///< yen
    double odds = 0.0;
    QString model; ///< stakeModelKey(): "blend", "discount", "harville"; or empty
    double chance = 0.0;
    double ev = 0.0;
    QString note;
    std::optional<BetSettlement> settlement;

    /// The race's facts as the archive holds them (read with the bet, never stored with it).
    QDateTime post;
    QString venue;

    /// The Japan date the bet belongs to: its race's post time, else the time it was placed.
    QDate day() const;

    bool operator==(const LedgerBet&) const = default;
};

/// A bet type as the ledger stores it and JSON writes it (betKey), and back (also 馬連, ワイド,
/// ﾜｲﾄﾞ).
std::optional<BetType> betOfKey(const QString& text);

/// The bets of an archive (its tables from schema version 2). Every change is one transaction;
/// a read-only archive is read, never changed.
class BetLedger final
{
public:
    explicit BetLedger(OddsArchive& archive);

    /// Why `bet` cannot be recorded (empty: it can): the race unknown to the archive, a pair
    /// outside its field, a stake under 100 yen or not of whole hundreds.
    QString check(const LedgerBet& bet) const;
    /// Records `bets` in one transaction, all or none; their ids, in order. On a refusal,
    /// `error` names the bet (from 1) and why.
    std::optional<std::vector<qint64>> add(const std::vector<LedgerBet>& bets, QString& error);
    /// Stores `bet` over the bet of its id. A change of race, bet type, pair or stake drops its
    /// settlement (it is settled again); odds and note keep it.
    bool correct(const LedgerBet& bet, QString& error);
    /// Stores `bet` over the bet of its id with exactly its settlement (none: dropped), in one
    /// transaction: a correction undone.
    bool replace(const LedgerBet& bet, QString& error);
    /// Deletes the bet and its settlement.
    bool remove(qint64 id, QString& error);
    /// Puts back a deleted bet with its id and settlement (the window's undo).
    bool restore(const LedgerBet& bet, QString& error);
    /// Stores the settlements in one transaction.
    bool settle(const std::vector<std::pair<qint64, BetSettlement>>& settlements, QString& error);

    /// The bets whose day lies in [from, to] (an invalid date: no bound), in the order placed.
    std::vector<LedgerBet> bets(const QDate& from = {}, const QDate& to = {}) const;
    /// The bets without a settlement.
    std::vector<LedgerBet> openBets() const;
    std::optional<LedgerBet> bet(qint64 id) const;

    /// What a read-only archive says when a bet is to be recorded.
    static QString readOnlyText();

private:
    bool writable(QString& error) const;
    /// Writable, and `bet` passes check().
    bool writable(const LedgerBet& bet, QString& error) const;
    std::vector<LedgerBet> query(const QString& where, const QVariantList& values) const;

    OddsArchive& m_archive;
};
