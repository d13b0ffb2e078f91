// SPDX-License-Identifier: MIT
#include "model_fit.h"

#include <algorithm>
#include <cmath>

#include <QDir>
#include <QFileInfo>

#include "analysis/calibration.h"
#include "analysis/market_blend.h"
#include "pat/race_time.h"
#include "race/calibration_races.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"Calibration\\Auto"_s;

QString number(double value)
{
    return ModelSettings::fieldText(value);
}

std::optional<double> readNumber(const SettingsStore& store, const QString& key)
{
    bool ok = false;
    const double value = store.readText(kSection, key, QString()).trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional(value) : std::nullopt;
}

QString betKey(std::size_t b)
{
    return b == 0 ? u"Uma"_s : u"Wide"_s;
}

} // namespace

ModelSettings ModelFit::settingsFor(StakeModel stake) const
{
    ModelSettings settings = model;
    settings.kind = stake == StakeModel::Blend        ? TheoryModel::Blend
                    : stake == StakeModel::Discounted ? TheoryModel::Discounted
                                                      : TheoryModel::Harville;
    return settings;
}

bool ModelFit::opens(StakeModel stake, BetType bet) const
{
    const Test& t = test[betIndex(bet)];
    switch (stake) {
    case StakeModel::Blend:
        // The blend gives no chances of whole top threes: its wide stakes are its model
        // source's, the discounted model, and that is what must beat the pool.
        return t.races > 0
               && (bet == BetType::Wide ? t.discountGain.low > 0.0 : t.blendGain.low > 0.0);
    case StakeModel::Discounted:
        return t.races > 0 && t.discountGain.low > 0.0;
    case StakeModel::Harville:
        break;
    }
    return false;
}

bool ModelFit::madeOn(const QString& folder) const
{
    const auto same = [](const QString& path) {
        return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    };
    return std::any_of(folders.begin(), folders.end(), [&](const QString& fitted) {
        return same(fitted) == same(folder);
    });
}

std::optional<ModelFit> ModelFit::read(const SettingsStore& store)
{
    ModelFit fit;
    fit.fittedAt = QDateTime::fromString(store.readText(kSection, u"FittedAt"_s, QString()),
                                         Qt::ISODateWithMs);
    if (!fit.fittedAt.isValid()) {
        return std::nullopt;
    }
    fit.folders
        = store.readText(kSection, u"Folders"_s, QString()).split(u'\n', Qt::SkipEmptyParts);
    std::vector<double> values;
    QStringList keys
        = {u"Races"_s, u"TestRaces"_s, u"Days"_s, u"TestDays"_s, u"Lambda"_s, u"Tau"_s};
    for (int k = 1; k <= 5; ++k) {
        keys << u"Weight%1"_s.arg(k);
    }
    for (std::size_t b = 0; b < 2; ++b) {
        for (const QString& key : {u"Races"_s,
                                   u"Pool"_s,
                                   u"Discount"_s,
                                   u"Blend"_s,
                                   u"BlendGain"_s,
                                   u"BlendLow"_s,
                                   u"BlendHigh"_s,
                                   u"DiscountGain"_s,
                                   u"DiscountLow"_s,
                                   u"DiscountHigh"_s}) {
            keys << betKey(b) + key;
        }
    }
    for (const QString& key : keys) {
        const auto value = readNumber(store, key);
        if (!value) {
            return std::nullopt;
        }
        values.push_back(*value);
    }
    // A stored value beyond these is no fit this program wrote.
    for (const double value : values) {
        if (std::abs(value) > 1e12) {
            return std::nullopt;
        }
    }
    auto next = values.begin();
    const auto whole = [&next] {
        return static_cast<qint64>(*next++);
    };
    fit.races = whole();
    fit.testRaces = whole();
    fit.days = static_cast<int>(whole());
    fit.testDays = static_cast<int>(whole());
    fit.model.kind = TheoryModel::Blend;
    fit.model.lambda = *next++;
    fit.model.tau = *next++;
    if (!ModelSettings::validParameter(fit.model.lambda)
        || !ModelSettings::validParameter(fit.model.tau)) {
        return std::nullopt;
    }
    for (int k = 0; k < 5; ++k) {
        fit.model.setWeight(k, *next++);
    }
    for (Test& t : fit.test) {
        t.races = whole();
        t.poolLoss = *next++;
        t.discountLoss = *next++;
        t.blendLoss = *next++;
        for (BlendGain* gain : {&t.blendGain, &t.discountGain}) {
            gain->perRace = *next++;
            gain->low = *next++;
            gain->high = *next++;
        }
    }
    return fit;
}

void ModelFit::write(SettingsStore& store) const
{
    store.writeText(kSection, u"FittedAt"_s, fittedAt.toUTC().toString(Qt::ISODateWithMs));
    store.writeText(kSection, u"Folders"_s, folders.join(u'\n'));
    store.writeText(kSection, u"Races"_s, QString::number(races));
    store.writeText(kSection, u"TestRaces"_s, QString::number(testRaces));
    store.writeText(kSection, u"Days"_s, QString::number(days));
    store.writeText(kSection, u"TestDays"_s, QString::number(testDays));
    store.writeText(kSection, u"Lambda"_s, number(model.lambda));
    store.writeText(kSection, u"Tau"_s, number(model.tau));
    for (int k = 0; k < 5; ++k) {
        store.writeText(kSection, u"Weight%1"_s.arg(k + 1), number(model.weight(k)));
    }
    for (std::size_t b = 0; b < 2; ++b) {
        const Test& t = test[b];
        const QString bet = betKey(b);
        store.writeText(kSection, bet + u"Races"_s, QString::number(t.races));
        store.writeText(kSection, bet + u"Pool"_s, number(t.poolLoss));
        store.writeText(kSection, bet + u"Discount"_s, number(t.discountLoss));
        store.writeText(kSection, bet + u"Blend"_s, number(t.blendLoss));
        for (const auto& [name, gain] :
             {std::pair{u"Blend"_s, &t.blendGain}, std::pair{u"Discount"_s, &t.discountGain}}) {
            store.writeText(kSection, bet + name + u"Gain"_s, number(gain->perRace));
            store.writeText(kSection, bet + name + u"Low"_s, number(gain->low));
            store.writeText(kSection, bet + name + u"High"_s, number(gain->high));
        }
    }
}

ModelFitRun
fitHeldOut(const CalibrationSeason& season, quint32 endDay, const QDateTime& at, int resamples)
{
    ModelFitRun result;
    const quint32 days = std::min(endDay, season.days);
    std::vector<CalibrationRace> fitRaces;
    std::vector<CalibrationRace> testRaces;
    // The last fifth of the course-days with results, at least one, is held out.
    std::vector<quint32> run;
    for (const CalibrationRace& race : season.races) {
        if (race.unit < days) {
            run.push_back(race.unit);
        }
    }
    std::sort(run.begin(), run.end());
    run.erase(std::unique(run.begin(), run.end()), run.end());
    const auto held = std::max<std::size_t>(1, (run.size() + 2) / 5);
    const quint32 firstHeld = run.size() > held ? run[run.size() - held] : 0;
    for (const CalibrationRace& race : season.races) {
        if (race.unit < firstHeld) {
            fitRaces.push_back(race);
        } else if (race.unit < days) {
            testRaces.push_back(race);
        }
    }
    result.races = static_cast<qint64>(fitRaces.size() + testRaces.size());
    if (result.races < kFitMinimumRaces) {
        result.why = u"自動較正には結果のあるレースが%1必要です（現在%2）"_s.arg(kFitMinimumRaces)
                         .arg(result.races);
        return result;
    }
    ModelFit fit;
    fit.fittedAt = at;
    fit.races = static_cast<qint64>(fitRaces.size());
    fit.testRaces = static_cast<qint64>(testRaces.size());
    fit.days = static_cast<int>(run.size() > held ? run.size() - held : 0);
    fit.testDays = static_cast<int>(std::min(held, run.size()));
    const DiscountFit discount = fitDiscount(fitRaces);
    fit.model.kind = TheoryModel::Blend;
    fit.model.lambda = discount.lambda;
    fit.model.tau = discount.tau;
    for (const BetType bet : kBetTypes) {
        const auto b = betIndex(bet);
        const BlendFit blend
            = fitBlend(blendSamples(fitRaces, bet, discount.lambda, discount.tau), bet);
        const auto weights = b == 0 ? std::span<double>(fit.model.quinellaWeights)
                                    : std::span<double>(fit.model.wideWeights);
        for (std::size_t s = 0; s < weights.size(); ++s) {
            weights[s] = blend.weights[s];
        }
        std::vector<std::size_t> raceOf;
        const auto samples = blendSamples(testRaces, bet, discount.lambda, discount.tau, &raceOf);
        const ScoreSample scored = scoreRaces(
            testRaces, samples, raceOf, bet, {discount.lambda, discount.tau, blend.weights});
        const SampleScores scores = scoreSample(scored, resamples);
        ModelFit::Test& t = fit.test[b];
        t.races = scores.races;
        t.poolLoss = scores.models[static_cast<std::size_t>(ScoredModel::Pool)].logLoss;
        t.discountLoss = scores.models[static_cast<std::size_t>(ScoredModel::Discount)].logLoss;
        t.blendLoss = scores.models[static_cast<std::size_t>(ScoredModel::Blend)].logLoss;
        t.blendGain = scores.gain;
        t.discountGain = gainOver(scored, ScoredModel::Discount, ScoredModel::Pool, resamples);
    }
    result.fit = fit;
    return result;
}

ModelFitRun
fitFolders(const QStringList& folders, const QDateTime& at, const std::atomic<bool>* cancel)
{
    CalibrationSeason season;
    QString error;
    if (!readCalibrationSeason(folders, season, error, cancel)) {
        ModelFitRun run;
        run.why = error;
        return run;
    }
    ModelFitRun run = fitHeldOut(season, season.days, at);
    if (run.fit) {
        run.fit->folders = folders;
    }
    return run;
}

QString
stakeGateReason(const StakeSettings& settings, const std::optional<ModelFit>& fit, BetType bet)
{
    if (settings.model == StakeModel::Harville) {
        return u"Harvilleの確率では賭け金を出しません"_s;
    }
    if (!fit) {
        return u"自動較正の結果がまだありません"_s;
    }
    if (!fit->opens(settings.model, bet)) {
        return u"プールに勝るモデルがありません"_s;
    }
    return {};
}

QString
stakeModelLine(const StakeSettings& settings, const std::optional<ModelFit>& fit, bool detailed)
{
    if (settings.model == StakeModel::Harville) {
        return u"確率: Harville（従来）　検証なし"_s;
    }
    const QString name = settings.model == StakeModel::Blend ? u"市場合成"_s : u"割引Harville"_s;
    if (!fit) {
        return u"確率: %1　自動較正の結果がまだありません"_s.arg(name);
    }
    const QDateTime at = fit->fittedAt.toTimeZone(jraTimeZone());
    QStringList scores;
    for (const BetType bet : kBetTypes) {
        const ModelFit::Test& t = fit->test[betIndex(bet)];
        const BlendGain& gain = settings.model == StakeModel::Blend ? t.blendGain : t.discountGain;
        scores << (detailed ? u"%1 %2 [%3, %4]"_s.arg(betName(bet),
                                                      QString::number(gain.perRace, 'f', 4),
                                                      QString::number(gain.low, 'f', 4),
                                                      QString::number(gain.high, 'f', 4))
                            : u"%1 %2"_s.arg(betName(bet), QString::number(gain.perRace, 'f', 4)));
    }
    return u"確率: %1（自動較正 %2、当てはめ%3・検証%4レース）　検証の対プール改善/ﾚｰｽ: %5"_s
        .arg(name, at.toString(detailed ? u"yyyy/MM/dd HH:mm"_s : u"MM/dd HH:mm"_s))
        .arg(fit->races)
        .arg(fit->testRaces)
        .arg(scores.join(u"　"_s));
}
