// SPDX-License-Identifier: MIT
#include "ledger_report.h"

#include <cmath>
#include <map>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "analysis/resampling.h"
#include "race/text_table.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kResamples = 2000;

// The sums a course-day adds to a group, in the order the bootstrap takes them.
enum Sum { Stakes, Returns, CloseSum, CloseCount, Beaten, Expected, Paid, SumCount };

// The intervals of the ratios of sums `ratios` (numerator, denominator) from one set of
// resamples of the course-days: empty under two of them.
std::vector<LedgerInterval> intervalsOf(const std::vector<std::vector<double>>& units,
                                        const std::vector<std::pair<Sum, Sum>>& ratios)
{
    std::vector<LedgerInterval> out(ratios.size());
    if (units.size() < 2 || ratios.empty()) {
        return out;
    }
    std::vector<std::vector<double>> draws(ratios.size());
    for (auto& d : draws) {
        d.reserve(kResamples);
    }
    resampleUnitSums(units, kResamples, kBootstrapSeed, [&](const std::vector<double>& sums) {
        for (std::size_t k = 0; k < ratios.size(); ++k) {
            if (sums[ratios[k].second] > 0.0) {
                draws[k].push_back(sums[ratios[k].first] / sums[ratios[k].second]);
            }
        }
    });
    for (std::size_t k = 0; k < ratios.size(); ++k) {
        out[k] = percentileInterval(std::move(draws[k]));
    }
    return out;
}

LedgerFigures figuresOf(const std::vector<const LedgerBet*>& bets)
{
    LedgerFigures f;
    std::map<std::pair<QDate, QString>, std::vector<double>> days;
    int run = 0;
    for (const LedgerBet* bet : bets) {
        ++f.bets;
        if (!bet->settlement) {
            ++f.open;
            continue;
        }
        const BetSettlement& s = *bet->settlement;
        if (s.refund >= bet->stake) {
            ++f.refunded;
            continue;
        }
        std::vector<double>& unit = days[{bet->day(), bet->venue}];
        unit.resize(SumCount);
        const qint64 stake = bet->stake - s.refund;
        f.stakes += stake;
        f.returns += s.payout;
        unit[Stakes] += static_cast<double>(stake);
        unit[Returns] += static_cast<double>(s.payout);
        run = s.payout > 0 ? 0 : run + 1;
        f.longestLosingRun = std::max(f.longestLosingRun, run);
        if (bet->odds > 0.0 && s.closing > 0.0) {
            const double ratio = bet->odds / s.closing;
            ++f.closeBets;
            f.closeMean += ratio;
            f.beatShare += ratio > 1.0 ? 1.0 : 0.0;
            unit[CloseSum] += ratio;
            unit[CloseCount] += 1.0;
            unit[Beaten] += ratio > 1.0 ? 1.0 : 0.0;
        }
        if (!bet->model.isEmpty()) {
            const double expected = static_cast<double>(stake) * bet->ev;
            ++f.modelBets;
            f.expected += expected;
            f.paid += s.payout;
            unit[Expected] += expected;
            unit[Paid] += static_cast<double>(s.payout);
        }
    }
    if (f.stakes > 0) {
        f.rate = static_cast<double>(f.returns) / static_cast<double>(f.stakes);
    }
    if (f.closeBets > 0) {
        f.closeMean /= f.closeBets;
        f.beatShare /= f.closeBets;
    }
    std::vector<std::vector<double>> units;
    units.reserve(days.size());
    for (auto& [key, unit] : days) {
        units.push_back(std::move(unit));
    }
    std::vector<std::pair<Sum, Sum>> ratios{{Returns, Stakes}};
    if (f.closeBets > 0) {
        ratios.insert(ratios.end(), {{CloseSum, CloseCount}, {Beaten, CloseCount}});
    }
    if (f.modelBets > 0 && f.expected > 0.0) {
        ratios.emplace_back(Paid, Expected);
    }
    const std::vector<LedgerInterval> intervals = intervalsOf(units, ratios);
    f.rateInterval = intervals[0];
    if (f.closeBets > 0) {
        f.closeMeanInterval = intervals[1];
        f.beatShareInterval = intervals[2];
    }
    if (f.modelBets > 0 && f.expected > 0.0) {
        f.paidPerExpectedInterval = intervals.back();
    }
    return f;
}

template<typename Key>
std::vector<LedgerGroup> groupsBy(const std::vector<LedgerBet>& bets, Key key)
{
    std::map<QString, std::vector<const LedgerBet*>> groups;
    for (const LedgerBet& bet : bets) {
        groups[key(bet)].push_back(&bet);
    }
    std::vector<LedgerGroup> out;
    out.reserve(groups.size());
    for (const auto& [name, members] : groups) {
        out.push_back({name, figuresOf(members)});
    }
    return out;
}

QJsonValue intervalJson(const LedgerInterval& interval)
{
    if (!interval) {
        return QJsonValue::Null;
    }
    return QJsonArray{interval->first, interval->second};
}

QJsonObject figuresJson(const LedgerFigures& f)
{
    return {{u"bets"_s, f.bets},
            {u"open"_s, f.open},
            {u"refunded"_s, f.refunded},
            {u"stakes"_s, f.stakes},
            {u"returns"_s, f.returns},
            {u"profit"_s, f.profit()},
            {u"return_rate"_s, f.stakes > 0 ? QJsonValue(f.rate) : QJsonValue::Null},
            {u"return_rate_interval"_s, intervalJson(f.rateInterval)},
            {u"longest_losing_run"_s, f.longestLosingRun},
            {u"close_bets"_s, f.closeBets},
            {u"close_ratio_mean"_s, f.closeBets > 0 ? QJsonValue(f.closeMean) : QJsonValue::Null},
            {u"close_ratio_interval"_s, intervalJson(f.closeMeanInterval)},
            {u"beat_close_share"_s, f.closeBets > 0 ? QJsonValue(f.beatShare) : QJsonValue::Null},
            {u"beat_close_interval"_s, intervalJson(f.beatShareInterval)},
            {u"model_bets"_s, f.modelBets},
            {u"expected_returns"_s, f.expected},
            {u"model_paid"_s, f.paid},
            {u"paid_per_expected_interval"_s, intervalJson(f.paidPerExpectedInterval)}};
}

QJsonArray groupsJson(const std::vector<LedgerGroup>& groups)
{
    QJsonArray out;
    for (const LedgerGroup& g : groups) {
        QJsonObject o = figuresJson(g.figures);
        o.insert(u"key"_s, g.key);
        out.append(o);
    }
    return out;
}

} // namespace

QString ledgerPercentText(double share)
{
    return QString::number(share * 100.0, 'f', 1) + u"%"_s;
}

QString ledgerIntervalText(const LedgerInterval& interval, double scale, int decimals)
{
    if (!interval) {
        return u"-"_s;
    }
    const QString unit = scale == 100.0 ? u"%"_s : QString();
    return u"[%1%3, %2%3]"_s.arg(QString::number(interval->first * scale, 'f', decimals),
                                 QString::number(interval->second * scale, 'f', decimals),
                                 unit);
}

QString ledgerCloseLine(const LedgerFigures& f)
{
    if (f.closeBets == 0) {
        return u"締切オッズ比: 締切のオッズが分かる確定した購入がありません"_s;
    }
    return u"締切オッズ比 (取ったオッズ÷締切オッズ): 平均 %1 %2　締切に勝った割合 %3 %4　%5件"_s
        .arg(QString::number(f.closeMean, 'f', 3),
             ledgerIntervalText(f.closeMeanInterval, 1.0, 3),
             ledgerPercentText(f.beatShare),
             ledgerIntervalText(f.beatShareInterval, 100.0, 1))
        .arg(f.closeBets);
}

QString ledgerModelLine(const LedgerFigures& f)
{
    if (f.modelBets == 0) {
        return u"モデルの期待: モデルの値で買った確定した購入がありません"_s;
    }
    return u"モデルの期待: 期待払戻 %1円 に対し払戻 %2円 (比 %3 %4)　%5件"_s
        .arg(QString::number(qRound64(f.expected)),
             QString::number(f.paid),
             f.expected > 0 ? ledgerPercentText(static_cast<double>(f.paid) / f.expected) : u"-"_s,
             ledgerIntervalText(f.paidPerExpectedInterval, 100.0, 1))
        .arg(f.modelBets);
}

QString ledgerModelName(const QString& key)
{
    if (key == u"blend"_s) {
        return u"市場合成"_s;
    }
    if (key == u"discount"_s) {
        return u"割引Harville"_s;
    }
    if (key == u"harville"_s) {
        return u"Harville"_s;
    }
    return u"なし"_s;
}

LedgerReport ledgerReport(const std::vector<LedgerBet>& bets)
{
    LedgerReport report;
    std::vector<const LedgerBet*> all;
    all.reserve(bets.size());
    qint64 profit = 0;
    for (const LedgerBet& bet : bets) {
        all.push_back(&bet);
        const QDate day = bet.day();
        report.from = report.from.isValid() ? std::min(report.from, day) : day;
        report.to = report.to.isValid() ? std::max(report.to, day) : day;
        if (bet.settlement) {
            profit += bet.settlement->payout + bet.settlement->refund - bet.stake;
            report.cumulative.emplace_back(bet.placed, profit);
        }
    }
    report.all = figuresOf(all);
    report.byDay
        = groupsBy(bets, [](const LedgerBet& b) { return b.day().toString(u"yyyy-MM-dd"_s); });
    report.byMonth
        = groupsBy(bets, [](const LedgerBet& b) { return b.day().toString(u"yyyy-MM"_s); });
    report.byBet = groupsBy(bets, [](const LedgerBet& b) { return betKey(b.bet); });
    report.byModel = groupsBy(bets, [](const LedgerBet& b) { return b.model; });
    return report;
}

QByteArray ledgerReportJson(const LedgerReport& report)
{
    QJsonObject all = figuresJson(report.all);
    QJsonArray cumulative;
    for (const auto& [time, yen] : report.cumulative) {
        cumulative.append(QJsonArray{time.toMSecsSinceEpoch(), yen});
    }
    const QJsonObject root{
        {u"from"_s,
         report.from.isValid() ? QJsonValue(report.from.toString(Qt::ISODate)) : QJsonValue::Null},
        {u"to"_s,
         report.to.isValid() ? QJsonValue(report.to.toString(Qt::ISODate)) : QJsonValue::Null},
        {u"all"_s, all},
        {u"days"_s, groupsJson(report.byDay)},
        {u"months"_s, groupsJson(report.byMonth)},
        {u"bet_types"_s, groupsJson(report.byBet)},
        {u"models"_s, groupsJson(report.byModel)},
        {u"cumulative_profit"_s, cumulative}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString ledgerReportText(const LedgerReport& report)
{
    const auto table
        = [](const QString& heading, const std::vector<LedgerGroup>& groups, const auto& name) {
              QList<QStringList> rows{{heading,
                                       u"件数"_s,
                                       u"未確定"_s,
                                       u"購入"_s,
                                       u"払戻"_s,
                                       u"収支"_s,
                                       u"回収率"_s,
                                       u"95%区間"_s,
                                       u"最長連敗"_s}};
              for (const LedgerGroup& g : groups) {
                  const LedgerFigures& f = g.figures;
                  rows << QStringList{name(g.key),
                                      QString::number(f.bets),
                                      QString::number(f.open),
                                      QString::number(f.stakes),
                                      QString::number(f.returns),
                                      QString::number(f.profit()),
                                      f.stakes > 0 ? ledgerPercentText(f.rate) : u"-"_s,
                                      ledgerIntervalText(f.rateInterval, 100.0, 1),
                                      QString::number(f.longestLosingRun)};
              }
              return alignedText(rows, 1);
          };
    const auto same = [](const QString& key) {
        return key;
    };
    const LedgerFigures& a = report.all;
    QString out = u"期間 %1 〜 %2\n"_s.arg(report.from.toString(u"yyyy/MM/dd"_s),
                                           report.to.toString(u"yyyy/MM/dd"_s));
    out += table(u"全体"_s, {{u"全体"_s, a}}, same);
    out += u"\n"_s + table(u"日"_s, report.byDay, same);
    out += u"\n"_s + table(u"月"_s, report.byMonth, same);
    out += u"\n"_s + table(u"券種"_s, report.byBet, [](const QString& key) {
               return betName(*betOfKey(key));
           });
    out += u"\n"_s + table(u"モデル"_s, report.byModel, ledgerModelName);
    out += u"\n"_s + ledgerCloseLine(a) + u"\n"_s + ledgerModelLine(a) + u"\n"_s;
    return out;
}
