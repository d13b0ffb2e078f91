// SPDX-License-Identifier: MIT
#include "backtest_stats.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
// Products of two sums of yen need more than 64 bits in the worst case.
__extension__ using Int128 = __int128;
} // namespace

QString backtestGroupName(int group)
{
    static const std::array<QString, kBacktestGroups> names = {u"全"_s,
                                                               u"L1"_s,
                                                               u"L2"_s,
                                                               u"L3"_s,
                                                               u"L4"_s,
                                                               u"L5"_s,
                                                               u"無印"_s,
                                                               u"D<-50"_s,
                                                               u"-50<=D<-20"_s,
                                                               u"-20<=D<0"_s,
                                                               u"0<=D<20"_s,
                                                               u"20<=D<50"_s,
                                                               u"D>=50"_s,
                                                               u"推奨"_s};
    return names.at(static_cast<std::size_t>(group));
}

BacktestGroup deviationBand(qint64 tenths)
{
    if (tenths < -500) {
        return BacktestGroup::DeviationBelowMinus50;
    }
    if (tenths < -200) {
        return BacktestGroup::DeviationMinus50ToMinus20;
    }
    if (tenths < 0) {
        return BacktestGroup::DeviationMinus20To0;
    }
    if (tenths < 200) {
        return BacktestGroup::Deviation0To20;
    }
    if (tenths < 500) {
        return BacktestGroup::Deviation20To50;
    }
    return BacktestGroup::DeviationFrom50;
}

qint64 percentTenths(qint64 part, qint64 whole)
{
    // part × 1000 / whole, halves up (both are non-negative), without overflow.
    const Int128 scaled = static_cast<Int128>(part) * 2000 + whole;
    return static_cast<qint64>(scaled / (static_cast<Int128>(whole) * 2));
}

QString tenthsText(qint64 tenths)
{
    const qint64 size = tenths < 0 ? -tenths : tenths;
    return (tenths < 0 ? u"-"_s : QString()) + QString::number(size / 10) + u'.'
           + QString::number(size % 10);
}

std::vector<qint64> cumulativeProfit(const std::vector<RaceTally>& races, int group)
{
    std::vector<qint64> series;
    series.reserve(races.size());
    qint64 profit = 0;
    for (const RaceTally& race : races) {
        const GroupTally& tally = race[static_cast<std::size_t>(group)];
        profit += tally.returns - qint64{100} * tally.bets;
        series.push_back(profit);
    }
    return series;
}
