// SPDX-License-Identifier: MIT
#include "race_stakes.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "analysis/kelly.h"
#include "analysis/pair_judgement.h"
#include "analysis/pair_list.h"
#include "analysis/race_kelly.h"
#include "base/bet_type.h"
#include "race/race_display.h"
#include "race/text_table.h"

using namespace Qt::StringLiterals;

bool isBetRow(const PairRow& row)
{
    const Cell& actual = row[ActualColumn];
    if (actual.showsNothing()) {
        return false;
    }
    const auto units = actual.shownUnits();
    return !(units && *units == kMissingTenths);
}

RaceBets betsOfList(const PairList& list)
{
    RaceBets bets;
    for (const PairRow& row : list.rows()) {
        if (!isBetRow(row)) {
            continue;
        }
        const int pair = Cell::pairOfLabel(row[LabelColumn].textValue().trimmed());
        bets.push_back(BetRecord{static_cast<float>(row[ActualColumn].shownValue()),
                                 0,
                                 0,
                                 static_cast<quint8>(pair / 100),
                                 static_cast<quint8>(pair % 100)});
    }
    return bets;
}

const PairValue* RaceStakes::find(BetType bet, int first, int second) const
{
    for (const PairValue& value : pairs[betIndex(bet)]) {
        if (value.first == first && value.second == second) {
            return &value;
        }
    }
    return nullptr;
}

const PairValue* RaceStakes::best(BetType bet) const
{
    const auto& list = pairs[betIndex(bet)];
    const auto at = std::max_element(
        list.begin(), list.end(), [](const auto& a, const auto& b) { return a.value < b.value; });
    return at == list.end() ? nullptr : &*at;
}

qint64 RaceStakes::totalStake() const
{
    qint64 total = 0;
    for (const auto& list : pairs) {
        for (const PairValue& value : list) {
            total += value.stake;
        }
    }
    return total;
}

RaceStakes stakeRace(const RaceDisplay& display,
                     const ModelSettings& model,
                     std::array<bool, 2> staked,
                     qint64 bankroll,
                     double kellyFraction)
{
    RaceStakes stakes;
    if (!display.quinellaOddsRead() || display.horseTable().getHorseCount() < 2) {
        return stakes;
    }
    const std::array<RaceBets, 2> bets
        = {betsOfList(display.quinellaList()), betsOfList(display.wideList())};
    std::array<std::vector<double>, 2> chances;
    // The odds each bet is paid at and its chance come from raceKelly, staked or not; Kelly's
    // fractions only for the bet types staked.
    const RaceKelly kelly
        = raceKelly(display.horseTable(), display.quinellaOdds(), model, bets, staked, &chances);
    for (const BetType bet : kBetTypes) {
        const auto b = betIndex(bet);
        const std::vector<qint64> yen
            = staked[b] ? stakesInYen(kelly.fractions[b], bankroll, kellyFraction)
                        : std::vector<qint64>(bets[b].size(), 0);
        for (std::size_t k = 0; k < bets[b].size(); ++k) {
            PairValue value;
            value.first = bets[b][k].first;
            value.second = bets[b][k].second;
            value.chance = chances[b][k];
            value.odds = kelly.odds[b][k];
            value.value = value.odds > 0.0F ? value.chance * static_cast<double>(value.odds) : 0.0;
            value.stake = k < yen.size() ? yen[k] : 0;
            stakes.pairs[b].push_back(value);
        }
    }
    return stakes;
}

RaceStakes raceStakesOf(const RaceDisplay& display,
                        const StakeSettings& settings,
                        const std::optional<ModelFit>& fit,
                        const QString& noFit)
{
    RaceStakes stakes;
    if (settings.model == StakeModel::Harville) {
        stakes = stakeRace(display, ModelSettings{}, {false, false}, 0, 0.0);
    } else if (fit) {
        stakes = stakeRace(display,
                           fit->settingsFor(settings.model),
                           {fit->opens(settings.model, BetType::Quinella),
                            fit->opens(settings.model, BetType::Wide)},
                           settings.bankroll,
                           settings.kellyFraction);
    }
    for (const BetType bet : kBetTypes) {
        stakes.reason[betIndex(bet)]
            = !fit && !noFit.isEmpty() && settings.model != StakeModel::Harville
                  ? noFit
                  : stakeGateReason(settings, fit, bet);
    }
    stakes.modelLine = stakeModelLine(settings, fit);
    stakes.modelDetails = stakeModelLine(settings, fit, true);
    return stakes;
}

QJsonArray stakedPairsJson(const RaceStakes& stakes)
{
    QJsonArray list;
    for (const BetType bet : kBetTypes) {
        for (const PairValue& value : stakes.pairs[betIndex(bet)]) {
            if (value.stake <= 0) {
                continue;
            }
            list.append(QJsonObject{{u"bet"_s, betKey(bet)},
                                    {u"pair"_s, QJsonArray{value.first, value.second}},
                                    {u"chance"_s, value.chance},
                                    {u"odds"_s, static_cast<double>(value.odds)},
                                    {u"ev"_s, value.value},
                                    {u"stake"_s, value.stake}});
        }
    }
    return list;
}

QByteArray
raceStakesJson(const RaceStakes& stakes, const QString& file, const StakeSettings& settings)
{
    QJsonObject reasons;
    for (const BetType bet : kBetTypes) {
        if (!stakes.reason[betIndex(bet)].isEmpty()) {
            reasons.insert(betKey(bet), stakes.reason[betIndex(bet)]);
        }
    }
    QJsonObject root{{u"file"_s, file},
                     {u"model"_s, stakeModelKey(settings.model)},
                     {u"bankroll"_s, settings.bankroll},
                     {u"kelly"_s, settings.kellyFraction},
                     {u"value"_s, stakedPairsJson(stakes)},
                     {u"total"_s, stakes.totalStake()}};
    if (!reasons.isEmpty()) {
        root.insert(u"closed"_s, reasons);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString raceStakesText(const RaceStakes& stakes)
{
    QString out = stakes.modelDetails + u'\n';
    QList<QStringList> rows{{u"券種"_s, u"組番"_s, u"確率"_s, u"ｵｯｽﾞ"_s, u"期待値"_s, u"賭け金"_s}};
    for (const BetType bet : kBetTypes) {
        const auto b = betIndex(bet);
        std::vector<PairValue> sorted = stakes.pairs[b];
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& x, const auto& y) {
            return x.value > y.value;
        });
        for (const PairValue& value : sorted) {
            rows << QStringList{betName(bet),
                                u"%1-%2"_s.arg(value.first).arg(value.second),
                                QString::number(value.chance, 'f', 4),
                                QString::number(static_cast<double>(value.odds), 'f', 1),
                                QString::number(value.value, 'f', 3),
                                value.stake > 0 ? QString::number(value.stake) : QString()};
        }
    }
    out += alignedText(rows, 2);
    for (const BetType bet : kBetTypes) {
        if (!stakes.reason[betIndex(bet)].isEmpty()) {
            out += u"%1: 賭け金なし（%2）\n"_s.arg(betName(bet), stakes.reason[betIndex(bet)]);
        }
    }
    out += u"賭け金の合計: %1円\n"_s.arg(stakes.totalStake());
    return out;
}
