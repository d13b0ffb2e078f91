// SPDX-License-Identifier: MIT
#include "ledger_texts.h"

#include <QDate>

#include "gui/grouped_number.h"

using namespace Qt::StringLiterals;

const std::vector<LedgerGroup>& ledgerGroups(const LedgerReport& report, LedgerGrouping grouping)
{
    switch (grouping) {
    case LedgerGrouping::Month:
        return report.byMonth;
    case LedgerGrouping::BetType:
        return report.byBet;
    case LedgerGrouping::Model:
        return report.byModel;
    case LedgerGrouping::Day:
    case LedgerGrouping::GroupingCount:
        break;
    }
    return report.byDay;
}

QString ledgerGroupName(LedgerGrouping grouping, const QString& key)
{
    switch (grouping) {
    case LedgerGrouping::Day:
        return QDate::fromString(key, u"yyyy-MM-dd"_s).toString(u"yyyy/MM/dd"_s);
    case LedgerGrouping::Month:
        return QDate::fromString(key + u"-01"_s, u"yyyy-MM-dd"_s).toString(u"yyyy/MM"_s);
    case LedgerGrouping::BetType:
        if (const auto bet = betOfKey(key)) {
            return betName(*bet);
        }
        return key;
    case LedgerGrouping::Model:
    case LedgerGrouping::GroupingCount:
        break;
    }
    return ledgerModelName(key);
}

QString yenText(qint64 yen, bool sign)
{
    const QString text = groupedNumber(QString::number(yen));
    return sign && yen > 0 ? u"+"_s + text : text;
}

QString percentText(double share)
{
    return QString::number(share * 100.0, 'f', 1) + u"%"_s;
}

QString intervalText(const LedgerInterval& interval, double scale, int decimals)
{
    if (!interval) {
        return u"-"_s;
    }
    const QString unit = scale == 100.0 ? u"%"_s : QString();
    return u"[%1%3, %2%3]"_s.arg(QString::number(interval->first * scale, 'f', decimals),
                                 QString::number(interval->second * scale, 'f', decimals),
                                 unit);
}

QString closeLine(const LedgerFigures& f)
{
    if (f.closeBets == 0) {
        return u"締切オッズ比: 締切のオッズが分かる確定した購入がありません"_s;
    }
    return u"締切オッズ比 (取ったオッズ÷締切オッズ): 平均 %1 %2　締切に勝った割合 %3 %4　%5件"_s
        .arg(QString::number(f.closeMean, 'f', 3),
             intervalText(f.closeMeanInterval, 1.0, 3),
             percentText(f.beatShare),
             intervalText(f.beatShareInterval, 100.0, 1))
        .arg(f.closeBets);
}

QString modelLine(const LedgerFigures& f)
{
    if (f.modelBets == 0) {
        return u"モデルの期待: モデルの値で買った確定した購入がありません"_s;
    }
    return u"モデルの期待: 期待払戻 %1円 に対し払戻 %2円 (比 %3 %4)　%5件"_s
        .arg(yenText(qRound64(f.expected)),
             yenText(f.paid),
             f.expected > 0 ? percentText(static_cast<double>(f.paid) / f.expected) : u"-"_s,
             intervalText(f.paidPerExpectedInterval, 100.0, 1))
        .arg(f.modelBets);
}
