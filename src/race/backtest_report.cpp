// SPDX-License-Identifier: MIT
#include "analysis/kelly.h"
#include "backtest.h"
#include "base/number_text.h"
#include "race/csv_writer.h"
#include "race/text_table.h"

using namespace Qt::StringLiterals;

namespace {

// The columns of the summary, each line's values as texts (empty where there is none).
const QStringList kSummaryHeadings = {u"券種"_s,
                                      u"区分"_s,
                                      u"レース数"_s,
                                      u"点数"_s,
                                      u"的中数"_s,
                                      u"的中率"_s,
                                      u"投資"_s,
                                      u"回収"_s,
                                      u"回収率"_s,
                                      u"回収率下限"_s,
                                      u"回収率上限"_s,
                                      u"最大ドローダウン"_s,
                                      u"基準回収率"_s,
                                      u"超過"_s,
                                      u"超過下限"_s,
                                      u"超過上限"_s,
                                      u"必要点数"_s};
const QStringList kLookaheadHeadings = {u"先読み差"_s, u"先読み差下限"_s, u"先読み差上限"_s};

const QStringList kTestHeadings = {u"検証点数"_s,
                                   u"検証回収率"_s,
                                   u"検証基準回収率"_s,
                                   u"検証超過"_s,
                                   u"検証超過下限"_s,
                                   u"検証超過上限"_s};

QString rateText(const std::optional<qint64>& tenths)
{
    return tenths ? tenthsText(*tenths) : QString();
}

QStringList summaryValues(BetType bet, int group, const GroupSummary& line, bool explained)
{
    const bool withheld = explained && line.excess && !line.excessLower;
    return {betName(bet),
            backtestGroupName(group),
            QString::number(line.races),
            QString::number(line.bets),
            QString::number(line.hits),
            rateText(line.hitRate),
            QString::number(line.stake),
            QString::number(line.returns),
            rateText(line.returnRate),
            rateText(line.returnRateLower),
            rateText(line.returnRateUpper),
            QString::number(line.maxDrawdown),
            rateText(line.baselineRate),
            rateText(line.excess),
            withheld ? u"区間なし: 的中%1未満"_s.arg(kMinHitsForEvidence)
                     : rateText(line.excessLower),
            rateText(line.excessUpper),
            line.betsNeeded ? QString::number(*line.betsNeeded) : QString()};
}

QStringList testValues(const GroupSummary& line)
{
    return {QString::number(line.bets),
            rateText(line.returnRate),
            rateText(line.baselineRate),
            rateText(line.excess),
            rateText(line.excessLower),
            rateText(line.excessUpper)};
}

template<typename Visit>
void forEachLine(const BacktestReport& report, Visit visit)
{
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        const auto& result = report.bets[betIndex(bet)];
        const std::vector<GroupSummary> empty(static_cast<std::size_t>(backtestGroupCount(bet)));
        const auto& lines = result.lines.empty() ? empty : result.lines;
        const auto& tests = result.testLines.empty() ? empty : result.testLines;
        for (int g = 0; g < backtestGroupCount(bet); ++g) {
            visit(bet, g, lines[static_cast<std::size_t>(g)], tests[static_cast<std::size_t>(g)]);
        }
    }
}

} // namespace

QList<QStringList> backtestSummaryRows(const BacktestReport& report, bool explained)
{
    const bool at = report.atMinutes.has_value();
    QList<QStringList> rows{kSummaryHeadings + (report.tested ? kTestHeadings : QStringList())
                            + (at ? kLookaheadHeadings : QStringList())};
    forEachLine(report,
                [&](BetType bet, int group, const GroupSummary& line, const GroupSummary& test) {
                    QStringList values = summaryValues(bet, group, line, explained)
                                         + (report.tested ? testValues(test) : QStringList());
                    if (at) {
                        const auto& lookahead = report.bets[betIndex(bet)].lookahead;
                        const auto d = static_cast<std::size_t>(group) < lookahead.size()
                                           ? lookahead[static_cast<std::size_t>(group)]
                                           : BacktestBetResult::Lookahead{};
                        values << rateText(d.difference) << rateText(d.lower) << rateText(d.upper);
                    }
                    rows.push_back(values);
                });
    return rows;
}

QByteArray backtestSummaryCsv(const BacktestReport& report)
{
    CsvBytes out;
    const QList<QStringList> rows = backtestSummaryRows(report);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QStringList& values = rows[r];
        CsvLine csv(out);
        for (qsizetype k = 0; k < values.size(); ++k) {
            // Headings and the first two columns are texts; numbers go plain (an empty rate is
            // an empty field).
            if (r == 0 || k < 2) {
                csv.text(values[k]);
            } else {
                csv.plain(values[k]);
            }
        }
    }
    return out.take();
}

QString backtestSummaryText(const BacktestReport& report)
{
    return alignedText(backtestSummaryRows(report, true), 2);
}

QString backtestSpaText(const BacktestReport& report)
{
    const SpaResult& spa = report.spa;
    const QString unit = report.resample == ResampleUnit::Day ? u"開催日"_s : u"レース"_s;
    if (spa.groups == 0) {
        return u"データスヌーピング検定（Hansen SPA）: 超過の区間を示せるグループがありません。"_s;
    }
    return u"データスヌーピング検定（Hansen SPA、%1単位の再標本化%2回）: 最良は%3 %4。"
           u"超過の区間を示した%6グループのどれにも妙味が無いとしても、最良のグループに"
           u"これだけの超過が出る確率 p = %5"_s.arg(unit)
               .arg(QString::number(kBootstrapResamples))
               .arg(betName(spa.bestBet == 0 ? BetType::Quinella : BetType::Wide),
                    backtestGroupName(spa.bestGroup),
                    QString::number(spa.pValue, 'f', 3))
               .arg(spa.groups);
}

QList<QStringList> backtestStakeRows(const BacktestReport& report)
{
    QList<QStringList> rows{{u"券種"_s,
                             u"レース数"_s,
                             u"投資"_s,
                             u"回収"_s,
                             u"最終資金"_s,
                             u"対数成長率"_s,
                             u"最大ドローダウン"_s,
                             u"最大ドローダウン％"_s,
                             u"最長連敗"_s,
                             u"シャープ"_s,
                             u"ソルティノ"_s}};
    const auto ratio = [](const std::optional<double>& value, int decimals) {
        return value ? QString::number(*value, 'f', decimals) : QString();
    };
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        const StakeSummary& s = report.bets[betIndex(bet)].staking;
        rows.push_back({betName(bet),
                        QString::number(s.racesBet),
                        QString::number(s.stakes),
                        QString::number(s.returns),
                        QString::number(s.finalBankroll),
                        ratio(s.logGrowthPerRace, 5),
                        QString::number(s.maxDrawdownYen),
                        QString::number(s.maxDrawdownPercent, 'f', 1),
                        QString::number(s.longestLosingRun),
                        ratio(s.sharpe, 3),
                        ratio(s.sortino, 3)});
    }
    return rows;
}

QString backtestStakeText(const BacktestReport& report)
{
    const QString rule
        = report.stake == StakeRule::Flat
              ? u"資金: 均等買い（全組番に100円）、初期資金 %1円"_s.arg(report.bankroll)
              : u"資金: ケリー基準 × %1（100円未満切り捨て）、初期資金 %2円"_s.arg(
                  QString::number(report.kellyFraction), QString::number(report.bankroll));
    return rule + u'\n' + alignedText(backtestStakeRows(report), 1);
}

QString backtestWalkForwardText(const BacktestReport& report)
{
    if (!report.walkForward) {
        return {};
    }
    const WalkForwardReport& walk = *report.walkForward;
    const QString model = walk.model == StakeModel::Blend        ? u"市場合成"_s
                          : walk.model == StakeModel::Discounted ? u"割引Harville"_s
                                                                 : u"Harville"_s;
    QString text
        = u"\nウォークフォワード: %1、%2開催日ごとに当てはめ直し（当てはめ %3回）\n"_s.arg(model)
              .arg(walk.refitDays)
              .arg(walk.fits);
    QList<QStringList> rows{{u"券種"_s,
                             u"賭けたﾚｰｽ"_s,
                             u"判定が開いた開催日"_s,
                             u"対数成長率/ﾚｰｽ"_s,
                             u"下限"_s,
                             u"上限"_s,
                             u"最終資金"_s}};
    for (std::size_t b = 0; b < 2; ++b) {
        const WalkForwardLine& line = walk.lines[b];
        const auto number = [](const std::optional<double>& value) {
            return value ? QString::number(*value, 'f', 5) : QString();
        };
        rows << QStringList{
            betName(b == 0 ? BetType::Quinella : BetType::Wide),
            QString::number(line.racesStaked),
            u"%1/%2"_s.arg(line.daysOpen).arg(line.days),
            number(line.logGrowth),
            number(line.interval ? std::optional(line.interval->first) : std::nullopt),
            number(line.interval ? std::optional(line.interval->second) : std::nullopt),
            QString::number(report.bets[b].staking.finalBankroll)};
    }
    text += alignedText(rows, 1);
    // The bankroll path at every tenth of the races.
    for (std::size_t b = 0; b < 2; ++b) {
        const std::vector<qint64>& curve = report.bets[b].staking.bankrollCurve;
        QStringList points;
        for (int k = 1; k <= 10 && !curve.empty(); ++k) {
            const std::size_t at = curve.size() * static_cast<std::size_t>(k) / 10;
            points << QString::number(curve[std::max<std::size_t>(at, 1) - 1]);
        }
        text += u"%1の資金の推移（1/10ごと）: %2\n"_s.arg(
            betName(b == 0 ? BetType::Quinella : BetType::Wide), points.join(u' '));
    }
    return text;
}

QString backtestChoiceText(const BacktestReport& report)
{
    if (!report.tested) {
        return {};
    }
    if (!report.chosen) {
        return u"検証: 超過の区間を示せるグループがありません。"_s;
    }
    const auto [b, g] = *report.chosen;
    const auto& result = report.bets[static_cast<std::size_t>(b)];
    const GroupSummary& line = result.lines[static_cast<std::size_t>(g)];
    const GroupSummary test
        = result.testLines.empty() ? GroupSummary{} : result.testLines[static_cast<std::size_t>(g)];
    const auto interval = [](const GroupSummary& s) {
        if (!s.excess) {
            return u"なし"_s;
        }
        return s.excessLower ? u"%1 [%2, %3]"_s.arg(
                   tenthsText(*s.excess), tenthsText(*s.excessLower), tenthsText(*s.excessUpper))
                             : tenthsText(*s.excess);
    };
    return u"超過下限が最も高いグループ: %1 %2（超過 %3、%4点）→ 検証フォルダ: 超過 %5、%6点"_s.arg(
        betName(b == 0 ? BetType::Quinella : BetType::Wide),
        backtestGroupName(g),
        interval(line),
        QString::number(line.bets),
        interval(test),
        QString::number(test.bets));
}

QString backtestSkippedText(const BacktestReport& report)
{
    QString text;
    for (int c = 0; c < kSkipCauses; ++c) {
        const auto count = report.skipped[static_cast<std::size_t>(c)];
        if (count == 0) {
            continue;
        }
        text += u"除外 %1: %2レース"_s.arg(skipCauseText(static_cast<SkipCause>(c))).arg(count);
        const QStringList& names = report.firstSkipped[static_cast<std::size_t>(c)];
        text
            += u" (%1%2)\n"_s.arg(names.join(u", "_s), count > names.size() ? u", …"_s : QString());
    }
    if (report.kellyShort > 0) {
        text += u"ﾜｲﾄﾞのケリー基準が最適から%1以内に届かなかったレース: %2 (%3%4)\n"_s
                    .arg(QString::number(kKellyGapTolerance))
                    .arg(report.kellyShort)
                    .arg(report.firstKellyShort.join(u", "_s),
                         report.kellyShort > report.firstKellyShort.size() ? u", …"_s : QString());
    }
    return text;
}
