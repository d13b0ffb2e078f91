// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "archive/bet_ledger.h"

/// A 95% interval; empty where the bets span fewer than two course-days.
using LedgerInterval = std::optional<std::pair<double, double>>;

/// The figures of a group of bets. Money counts the settled bets, a refund taken off the stake
/// (a refunded bet neither costs nor pays); the intervals resample course-days (a date at a
/// venue), 2,000 times.
struct LedgerFigures
{
    int bets = 0;     ///< every bet of the group
    int open = 0;     ///< not settled yet
    int refunded = 0; ///< settled by a refund of the whole stake
    qint64 stakes = 0;
    qint64 returns = 0;
    qint64 profit() const { return returns - stakes; }
    double rate = 0.0; ///< returns ÷ stakes; 0 without stakes
    LedgerInterval rateInterval;
    int longestLosingRun = 0; ///< settled bets in a row, in the order placed, that paid nothing

    /// Against the close: odds taken ÷ closing odds of the settled bets with both.
    int closeBets = 0;
    double closeMean = 0.0;
    LedgerInterval closeMeanInterval;
    double beatShare = 0.0; ///< the share with odds taken above the close
    LedgerInterval beatShareInterval;

    /// Against the model: the settled bets placed with a model, their expected returns (stake ×
    /// chance × odds) and what they paid.
    int modelBets = 0;
    double expected = 0.0;
    qint64 paid = 0;
    LedgerInterval paidPerExpectedInterval;
};

struct LedgerGroup
{
    QString key; ///< "2026-12-06", "2026-12", "quinella", "blend" ("" for bets without a model)
    LedgerFigures figures;
};

struct LedgerReport
{
    QDate from;
    QDate to;
    LedgerFigures all;
    std::vector<LedgerGroup> byDay;
    std::vector<LedgerGroup> byMonth;
    std::vector<LedgerGroup> byBet;
    std::vector<LedgerGroup> byModel;
    /// The profit after each settled bet, in the order placed: (time placed, yen).
    std::vector<std::pair<QDateTime, qint64>> cumulative;
};

/// The report of `bets` (as BetLedger::bets gives them, in the order placed).
LedgerReport ledgerReport(const std::vector<LedgerBet>& bets);

/// `ledger report --json`: data only (dates as yyyy-MM-dd, bet types and models as keys).
QByteArray ledgerReportJson(const LedgerReport& report);
/// The report as tables for reading.
QString ledgerReportText(const LedgerReport& report);
/// A share as a percentage with one decimal ("87.5%").
QString ledgerPercentText(double share);
/// An interval scaled by `scale` ("[71.2%, 104.0%]" for 100, "[0.951, 1.020]" for 1); "-" when
/// there is none.
QString ledgerIntervalText(const LedgerInterval& interval, double scale, int decimals);
/// The report's lines against the close and against the model (numbers plain; the window
/// groups them).
QString ledgerCloseLine(const LedgerFigures& figures);
QString ledgerModelLine(const LedgerFigures& figures);
/// The model as the report names it (市場合成, 割引Harville, Harville; なし).
QString ledgerModelName(const QString& key);
