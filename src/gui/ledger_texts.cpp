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
