// SPDX-License-Identifier: MIT
#include "calibration_run.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "analysis/market_blend.h"
#include "analysis/pair_judgement.h"
#include "base/message_sink.h"
#include "base/number_text.h"
#include "pat/folder_index.h"
#include "pat/pat_file.h"
#include "pat/pat_header.h"
#include "pat/pat_names.h"
#include "pat/quinella_odds.h"
#include "pat/race_result.h"
#include "pat/win_place_odds.h"
#include "race/calibration_races.h"
#include "race/text_table.h"

using namespace Qt::StringLiterals;

namespace {

// The blend's view of a sample's races for both bet types, made once for the fit, the scores and
// the tables.
struct BlendViews
{
    std::array<std::vector<BlendSample>, 2> samples;
    std::array<std::vector<std::size_t>, 2> raceOf;
};

BlendViews viewsOf(const std::vector<CalibrationRace>& races, const DiscountFit& fit)
{
    BlendViews views;
    for (const BetType bet : kBetTypes) {
        const auto b = betIndex(bet);
        views.samples[b] = blendSamples(races, bet, fit.lambda, fit.tau, &views.raceOf[b]);
    }
    return views;
}

void addTables(CalibrationReport& report,
               const std::vector<CalibrationRace>& races,
               const BlendViews& views,
               bool test)
{
    for (const BetType bet : kBetTypes) {
        const ModelParameters parameters = report.parameters(bet);
        const auto& samples = views.samples[betIndex(bet)];
        for (const ScoredModel model : kScoredModelList) {
            std::vector<CalibrationBin> bins;
            if (model == ScoredModel::Harville || model == ScoredModel::Discount) {
                const bool discount = model == ScoredModel::Discount;
                bins = calibrationTable(races,
                                        bet,
                                        discount ? parameters.lambda : 1.0,
                                        discount ? parameters.tau : 1.0);
            } else {
                bins = blendCalibrationTable(
                    samples, model == ScoredModel::Blend ? parameters.weights : poolOnlyWeights());
            }
            report.tables.push_back({bet, model, test, std::move(bins)});
        }
    }
}

QJsonValue optionalNumber(const std::optional<double>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QString optionalText(const std::optional<double>& value, int decimals)
{
    return value ? QString::number(*value, 'f', decimals) : u"-"_s;
}

// What the blend's fit had to decide, as data: the sources left out, a fit that failed.
QJsonArray notesJson(const BetScoreboard& board)
{
    QJsonArray notes;
    for (const BlendDrop& drop : board.blend.drops) {
        notes.append(QJsonObject{{u"kind"_s, u"dropped"_s},
                                 {u"source"_s, blendSourceName(drop.dropped)},
                                 {u"kept"_s, blendSourceName(drop.kept)},
                                 {u"correlation"_s, drop.correlation}});
    }
    if (!board.blend.converged) {
        notes.append(QJsonObject{
            {u"kind"_s,
             board.blend.lineSearchFailed ? u"line_search_failed"_s : u"not_converged"_s}});
    }
    return notes;
}

QJsonObject gainJson(const BlendGain& gain)
{
    return {{u"per_race"_s, gain.perRace}, {u"low"_s, gain.low}, {u"high"_s, gain.high}};
}

// One object per model and bet type: its log-loss in and out of sample, pseudo-R², parameters;
// the blend's with its fit and its comparison with the pool alone.
QJsonArray modelsJson(const CalibrationReport& report)
{
    QJsonArray models;
    for (const BetScoreboard& board : report.scoreboards) {
        for (const ScoredModel model : kScoredModelList) {
            const auto m = static_cast<std::size_t>(model);
            QJsonObject params;
            if (model == ScoredModel::Discount || model == ScoredModel::Blend) {
                params.insert(u"lambda"_s, report.fit.lambda);
                params.insert(u"tau"_s, report.fit.tau);
            }
            QJsonObject object{
                {u"name"_s, scoredModelName(model)},
                {u"bet"_s, betKey(board.bet)},
                {u"races"_s, static_cast<double>(board.fit.races)},
                {u"logloss"_s, board.fit.models[m].logLoss},
                {u"test_logloss"_s,
                 board.test ? QJsonValue(board.test->models[m].logLoss) : QJsonValue()},
                {u"pseudo_r2"_s, board.fit.models[m].pseudoR2},
                {u"test_pseudo_r2"_s,
                 board.test ? QJsonValue(board.test->models[m].pseudoR2) : QJsonValue()}};
            if (model == ScoredModel::Blend) {
                QJsonObject weights;
                QJsonObject se;
                for (int s = 0; s < blendSourceCount(board.bet); ++s) {
                    weights.insert(blendSourceName(s),
                                   board.blend.weights[static_cast<std::size_t>(s)]);
                    se.insert(blendSourceName(s), board.blend.se[static_cast<std::size_t>(s)]);
                }
                params.insert(u"weights"_s, weights);
                params.insert(u"se"_s, se);
                object.insert(u"notes"_s, notesJson(board));
                object.insert(u"lr"_s, board.likelihoodRatio);
                object.insert(u"lr_df"_s, board.degreesOfFreedom);
                object.insert(u"p_value"_s, board.pValue);
                object.insert(u"gain"_s, gainJson(board.fit.gain));
                object.insert(u"test_gain"_s,
                              board.test ? QJsonValue(gainJson(board.test->gain)) : QJsonValue());
            }
            object.insert(u"params"_s, params);
            models.append(object);
        }
    }
    return models;
}

// A race left out, as the report names its cause.
QString skipText(const QString& cause)
{
    static const std::map<QString, QString> kTexts
        = {{u"zo_unreadable"_s, u"Zo-が読めない"_s},
           {u"no_ks"_s, u"Ks-が無い"_s},
           {u"ks_unreadable"_s, u"Ks-が読めない"_s},
           {u"fewer_than_three"_s, u"3着まで揃わない"_s},
           {u"dead_heat"_s, u"同着"_s},
           {u"finisher_without_odds"_s, u"3着内に単勝ｵｯｽﾞの無い馬"_s}};
    const auto at = kTexts.find(cause);
    return at != kTexts.end() ? at->second : cause;
}

QString modelText(ScoredModel model)
{
    static const QString names[] = {u"Harville"_s, u"割引Harville"_s, u"売上"_s, u"市場合成"_s};
    return names[static_cast<std::size_t>(model)];
}

// The scoreboards as the window shows them, aligned for reading.
QString scoreboardText(const CalibrationReport& report)
{
    QString text;
    for (const BetScoreboard& board : report.scoreboards) {
        text += u"\n%1の成績 (%2レース、1レースあたりの対数損失 (nat)%3)\n"_s.arg(
            betName(board.bet),
            QString::number(board.fit.races),
            board.bet == BetType::Wide ? u"、1着から3着の3組をまとめた複合尤度"_s : QString());
        text += alignedText(scoreboardRows(report, board.bet), 2);
        text += blendComparisonLine(report, board.bet) + u'\n';
    }
    return text;
}

} // namespace

CalibrationReport runCalibration(const CalibrationRequest& request)
{
    CalibrationReport report;
    CalibrationSeason season;
    CalibrationSeason testSeason;
    if (!readCalibrationSeason(request.folders, season, report.error)
        || !readCalibrationSeason(request.testFolders, testSeason, report.error)) {
        return report;
    }
    for (const auto* read : {&season, &testSeason}) {
        for (const auto& [cause, count] : read->skipped) {
            report.skipped[cause] += count;
        }
    }
    const std::vector<CalibrationRace>& races = season.races;
    const std::vector<CalibrationRace>& testRaces = testSeason.races;
    report.races = static_cast<qint64>(races.size());
    report.testRaces = static_cast<qint64>(testRaces.size());
    if (races.empty()) {
        report.error = u"当てはめに使えるレースがありません。"_s;
        return report;
    }
    report.fit = fitDiscount(races);
    const BlendViews views = viewsOf(races, report.fit);
    const BlendViews testViews = viewsOf(testRaces, report.fit);
    for (const BetType bet : kBetTypes) {
        const auto b = betIndex(bet);
        BetScoreboard& board = report.scoreboards[b];
        board.bet = bet;
        board.blend = fitBlend(views.samples[b], bet);
        const ModelParameters parameters = report.parameters(bet);
        board.fit
            = scoreSample(scoreRaces(races, views.samples[b], views.raceOf[b], bet, parameters));
        // Fitted on these races, the blend's gain on them is optimistic: its lower bound makes
        // room for what the fit found by chance.
        if (board.blend.converged && board.fit.races > 0) {
            board.fit.gain.low -= board.blend.optimism / static_cast<double>(board.fit.races);
        }
        // The log-likelihood the blend gains over the pool alone is the log-loss it saves.
        board.likelihoodRatio
            = std::max(0.0, 2.0 * board.fit.gain.perRace * static_cast<double>(board.fit.races));
        board.degreesOfFreedom
            = static_cast<int>(std::count(board.blend.kept.begin(), board.blend.kept.end(), true));
        board.pValue = chiSquareSurvival(board.likelihoodRatio, board.degreesOfFreedom);
        if (!request.testFolders.isEmpty()) {
            board.test = scoreSample(
                scoreRaces(testRaces, testViews.samples[b], testViews.raceOf[b], bet, parameters));
        }
    }
    addTables(report, races, views, false);
    if (!request.testFolders.isEmpty()) {
        report.testLogLikHarville = orderLogLikelihood(testRaces, 1.0, 1.0);
        report.testLogLikFit = orderLogLikelihood(testRaces, report.fit.lambda, report.fit.tau);
        addTables(report, testRaces, testViews, true);
    }
    report.ok = true;
    return report;
}

std::vector<ScoredPairs> scoredPairsOf(const QStringList& folders, const CalibrationReport& report)
{
    CalibrationSeason season;
    QString error;
    std::vector<ScoredPairs> scored;
    if (!readCalibrationSeason(folders, season, error)) {
        return scored;
    }
    const std::vector<CalibrationRace>& races = season.races;
    const QStringList& names = season.names;
    const BlendViews views = viewsOf(races, report.fit);
    std::map<std::size_t, std::size_t> at; // race → its place in `scored`
    std::array<double, kMaxPairs> pool{};
    std::array<double, kMaxPairs> blend{};
    for (const BetType bet : kBetTypes) {
        const auto b = betIndex(bet);
        for (std::size_t k = 0; k < views.samples[b].size(); ++k) {
            const std::size_t r = views.raceOf[b][k];
            const auto [place, added] = at.try_emplace(r, scored.size());
            if (added) {
                ScoredPairs race;
                race.file = names[static_cast<qsizetype>(r)];
                race.runners = races[r].runners;
                scored.push_back(std::move(race));
            }
            ScoredPairs& race = scored[place->second];
            const BlendRace& sample = views.samples[b][k].race;
            blendChances(sample, poolOnlyWeights(), pool);
            blendChances(sample, report.parameters(bet).weights, blend);
            for (int p = 0; p < sample.pairs; ++p) {
                const auto i = static_cast<std::size_t>(p);
                race.pairs[b].push_back(sample.index[i]);
                race.pool[b].push_back(pool[i]);
                race.blend[b].push_back(blend[i]);
            }
        }
    }
    return scored;
}

ModelParameters CalibrationReport::parameters(BetType bet) const
{
    return {fit.lambda, fit.tau, scoreboards[betIndex(bet)].blend.weights};
}

QList<QStringList> scoreboardRows(const CalibrationReport& report, BetType bet)
{
    const BetScoreboard& board = report.scoreboards[betIndex(bet)];
    QList<QStringList> rows{scoreboardHeadings()};
    const QString names[]
        = {u"Harville"_s, u"割引Harville"_s, u"%1の売上"_s.arg(betName(bet)), u"市場合成"_s};
    for (const ScoredModel model : kScoredModelList) {
        const auto m = static_cast<std::size_t>(model);
        QString params;
        if (model == ScoredModel::Discount) {
            params
                = u"λ=%1 τ=%2"_s.arg(report.fit.lambda, 0, 'f', 3).arg(report.fit.tau, 0, 'f', 3);
        } else if (model == ScoredModel::Blend) {
            QStringList weights;
            for (int s = 0; s < blendSourceCount(bet); ++s) {
                weights << u"%1 %2±%3"_s.arg(blendSourceName(s))
                               .arg(board.blend.weights[static_cast<std::size_t>(s)], 0, 'f', 3)
                               .arg(board.blend.se[static_cast<std::size_t>(s)], 0, 'f', 3);
            }
            params = weights.join(u' ');
        }
        const auto number = [](double value) {
            return QString::number(value, 'f', 4);
        };
        rows.append({names[m],
                     params,
                     number(board.fit.models[m].logLoss),
                     number(board.fit.models[m].pseudoR2),
                     board.test ? number(board.test->models[m].logLoss) : u"-"_s,
                     board.test ? number(board.test->models[m].pseudoR2) : u"-"_s});
    }
    return rows;
}

QStringList scoreboardHeadings()
{
    return {
        u"ﾓﾃﾞﾙ"_s, u"ﾊﾟﾗﾒｰﾀ"_s, u"対数損失"_s, u"擬似R²"_s, u"検証 対数損失"_s, u"検証 擬似R²"_s};
}

QString blendComparisonLine(const CalibrationReport& report, BetType bet)
{
    const BetScoreboard& board = report.scoreboards[betIndex(bet)];
    const auto gain = [](const BlendGain& g) {
        return u"%1 [%2, %3]"_s.arg(g.perRace, 0, 'f', 4)
            .arg(g.low, 0, 'f', 4)
            .arg(g.high, 0, 'f', 4);
    };
    QString line = u"市場合成と売上: 尤度比 %1 (自由度%2, p=%3)　1ﾚｰｽあたりの改善 %4"_s
                       .arg(board.likelihoodRatio, 0, 'f', 2)
                       .arg(board.degreesOfFreedom)
                       .arg(board.pValue, 0, 'g', 3)
                       .arg(gain(board.fit.gain));
    if (board.test) {
        line += u"　検証 %1"_s.arg(gain(board.test->gain));
    }
    const QString sourceNames[]
        = {u"割引Harville"_s, u"%1の売上"_s.arg(betName(bet)), u"複勝の売上"_s};
    for (const BlendDrop& drop : board.blend.drops) {
        line += u"\n%1は%2とﾚｰｽ内で一致するため (相関%3) %2のみを使います"_s.arg(
            sourceNames[drop.dropped],
            sourceNames[drop.kept],
            QString::number(drop.correlation, 'f', 4));
    }
    if (board.blend.lineSearchFailed) {
        line += u"\n重みの推定で尤度を下げない一歩が見つからず、収束しなかったため売上のみを"
                u"使います"_s;
    } else if (!board.blend.converged) {
        line += u"\n重みが収束しないため売上のみを使います"_s;
    }
    return line;
}

void saveFittedModel(const CalibrationReport& report, ModelSettings& model)
{
    if (model.kind != TheoryModel::Blend) {
        model.kind = TheoryModel::Discounted;
    }
    model.lambda = report.fit.lambda;
    model.tau = report.fit.tau;
    for (std::size_t s = 0; s < model.quinellaWeights.size(); ++s) {
        model.quinellaWeights[s] = report.scoreboards[0].blend.weights[s];
    }
    for (std::size_t s = 0; s < model.wideWeights.size(); ++s) {
        model.wideWeights[s] = report.scoreboards[1].blend.weights[s];
    }
}

QByteArray calibrationJson(const CalibrationReport& report)
{
    QJsonObject skipped;
    for (const auto& [cause, count] : report.skipped) {
        skipped.insert(cause, static_cast<double>(count));
    }
    QJsonArray tables;
    for (const CalibrationTable& table : report.tables) {
        QJsonArray bins;
        for (const CalibrationBin& bin : table.bins) {
            bins.append(QJsonObject{{u"lo"_s, bin.lo},
                                    {u"hi"_s, bin.hi},
                                    {u"pairs"_s, static_cast<double>(bin.pairs)},
                                    {u"predicted"_s, optionalNumber(bin.predicted)},
                                    {u"observed"_s, optionalNumber(bin.observed)},
                                    {u"z"_s, optionalNumber(bin.z)}});
        }
        tables.append(QJsonObject{{u"bet"_s, betKey(table.bet)},
                                  {u"model"_s, scoredModelName(table.model)},
                                  {u"sample"_s, table.test ? u"test"_s : u"fit"_s},
                                  {u"bins"_s, bins}});
    }
    const QJsonObject root{{u"races"_s, static_cast<double>(report.races)},
                           {u"test_races"_s, static_cast<double>(report.testRaces)},
                           {u"skipped"_s, skipped},
                           {u"lambda"_s, report.fit.lambda},
                           {u"lambda_se"_s, report.fit.lambdaSe},
                           {u"tau"_s, report.fit.tau},
                           {u"tau_se"_s, report.fit.tauSe},
                           {u"loglik_harville"_s, report.fit.logLikHarville},
                           {u"loglik_fit"_s, report.fit.logLikFit},
                           {u"test_loglik_harville"_s, optionalNumber(report.testLogLikHarville)},
                           {u"test_loglik_fit"_s, optionalNumber(report.testLogLikFit)},
                           {u"tables"_s, tables},
                           {u"models"_s, modelsJson(report)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString calibrationText(const CalibrationReport& report)
{
    QString text;
    text += u"レース %1  検証レース %2\n"_s.arg(report.races).arg(report.testRaces);
    for (const auto& [cause, count] : report.skipped) {
        text += u"除外 %1: %2レース\n"_s.arg(skipText(cause)).arg(count);
    }
    text += u"λ %1 (標準誤差 %2)  τ %3 (標準誤差 %4)\n"_s.arg(report.fit.lambda, 0, 'f', 4)
                .arg(report.fit.lambdaSe, 0, 'f', 4)
                .arg(report.fit.tau, 0, 'f', 4)
                .arg(report.fit.tauSe, 0, 'f', 4);
    text += u"対数尤度  Harville %1  割引Harville %2\n"_s.arg(report.fit.logLikHarville, 0, 'f', 3)
                .arg(report.fit.logLikFit, 0, 'f', 3);
    if (report.testLogLikHarville) {
        text += u"検証の対数尤度  Harville %1  割引Harville %2\n"_s
                    .arg(*report.testLogLikHarville, 0, 'f', 3)
                    .arg(report.testLogLikFit.value_or(0.0), 0, 'f', 3);
    }
    text += scoreboardText(report);
    for (const CalibrationTable& table : report.tables) {
        QList<QStringList> rows{{u"下限"_s, u"上限"_s, u"組数"_s, u"予測"_s, u"実際"_s, u"z"_s}};
        for (const CalibrationBin& bin : table.bins) {
            rows.append({QString::number(bin.lo, 'f', 6),
                         QString::number(bin.hi, 'f', 6),
                         QString::number(bin.pairs),
                         optionalText(bin.predicted, 6),
                         optionalText(bin.observed, 6),
                         optionalText(bin.z, 2)});
        }
        text += u"\n%1 %2 %3\n"_s.arg(
            betName(table.bet), modelText(table.model), table.test ? u"検証"_s : u"当てはめ"_s);
        text += alignedText(rows, 0);
    }
    return text;
}
