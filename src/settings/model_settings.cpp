// SPDX-License-Identifier: MIT
#include "model_settings.h"

#include <cmath>

#include <QLocale>

#include "base/number_text.h"
#include "base/texts.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"Option\\Model"_s;

double readNumber(const SettingsStore& store, const QString& key, double def, bool (*valid)(double))
{
    bool ok = false;
    const double value = store.readText(kSection, key, QString()).trimmed().toDouble(&ok);
    return ok && valid(value) ? value : def;
}

const QString kModelRange = u"λとτは0より大きく10以下の数値を入力して下さい。"_s;
const QString kPaybackRange = u"払戻率は0より大きく1以下の数値を入力して下さい。"_s;
const QString kWeightRange = u"重みは-10以上10以下の数値を入力して下さい。"_s;

QString weightKey(int k)
{
    return k < 2 ? u"WeightUma%1"_s.arg(k + 1) : u"WeightWide%1"_s.arg(k - 1);
}

} // namespace

QString ModelSettings::fieldText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

std::optional<double> ModelSettings::fieldNumber(const QString& text)
{
    const auto number = parseDecimalText(text);
    if (!number) {
        return std::nullopt;
    }
    const QString digits
        = QString::fromLatin1(number->integerDigits.empty() ? "0" : number->integerDigits) + u'.'
          + QString::fromLatin1(number->fractionDigits);
    bool ok = false;
    const double value = digits.toDouble(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return number->negative ? -value : value;
}

std::optional<ModelSettings::InputFailure> ModelSettings::validate(const Input& input)
{
    using Box = InputFailure::Box;
    const std::pair<Box, const QString*> parameters[]
        = {{Box::Lambda, &input.lambda}, {Box::Tau, &input.tau}};
    for (const auto& [box, text] : parameters) {
        const auto value = fieldNumber(*text);
        if (!value) {
            return InputFailure{box, Texts::notANumber()};
        }
        if (!validParameter(*value)) {
            return InputFailure{box, kModelRange};
        }
    }
    const auto payback = fieldNumber(input.payback);
    if (!payback) {
        return InputFailure{Box::Payback, Texts::notANumber()};
    }
    if (!validPayback(*payback)) {
        return InputFailure{Box::Payback, kPaybackRange};
    }
    for (int k = 0; k < 5; ++k) {
        const auto weight = fieldNumber(input.weights[static_cast<std::size_t>(k)]);
        if (!weight) {
            return InputFailure{Box::Weight, Texts::notANumber(), k};
        }
        if (!validWeight(*weight)) {
            return InputFailure{Box::Weight, kWeightRange, k};
        }
    }
    return std::nullopt;
}

std::optional<ModelSettings> ModelSettings::fromInput(const Input& input)
{
    const auto lambda = fieldNumber(input.lambda);
    const auto tau = fieldNumber(input.tau);
    const auto payback = fieldNumber(input.payback);
    if (!lambda || !tau || !payback) {
        return std::nullopt;
    }
    ModelSettings model;
    for (int k = 0; k < 5; ++k) {
        const auto weight = fieldNumber(input.weights[static_cast<std::size_t>(k)]);
        if (!weight) {
            return std::nullopt;
        }
        model.setWeight(k, *weight);
    }
    model.kind = input.kind;
    model.lambda = *lambda;
    model.tau = *tau;
    model.payback = *payback;
    return model;
}

bool ModelSettings::validParameter(double value)
{
    return std::isfinite(value) && value > 0.0 && value <= 10.0;
}

bool ModelSettings::validWeight(double value)
{
    return std::isfinite(value) && value >= -10.0 && value <= 10.0;
}

double ModelSettings::weight(int k) const
{
    return k < 2 ? quinellaWeights[static_cast<std::size_t>(k)]
                 : wideWeights[static_cast<std::size_t>(k - 2)];
}

void ModelSettings::setWeight(int k, double value)
{
    (k < 2 ? quinellaWeights[static_cast<std::size_t>(k)]
           : wideWeights[static_cast<std::size_t>(k - 2)])
        = value;
}

bool ModelSettings::validPayback(double value)
{
    return std::isfinite(value) && value > 0.0 && value <= 1.0;
}

ModelSettings ModelSettings::read(const SettingsStore& store)
{
    ModelSettings s;
    const QString kind = store.readText(kSection, u"Kind"_s, u"0"_s).trimmed();
    s.kind = kind == u"1"   ? TheoryModel::Discounted
             : kind == u"2" ? TheoryModel::Blend
                            : TheoryModel::Harville;
    s.lambda = readNumber(store, u"Lambda"_s, kDefaultLambda, validParameter);
    s.tau = readNumber(store, u"Tau"_s, kDefaultTau, validParameter);
    s.payback = readNumber(store, u"Payback"_s, kDefaultPayback, validPayback);
    for (int k = 0; k < 5; ++k) {
        s.setWeight(k, readNumber(store, weightKey(k), s.weight(k), validWeight));
    }
    return s;
}

void ModelSettings::write(SettingsStore& store) const
{
    store.writeText(kSection, u"Kind"_s, QString::number(static_cast<int>(kind)));
    store.writeText(kSection, u"Lambda"_s, fieldText(lambda));
    store.writeText(kSection, u"Tau"_s, fieldText(tau));
    store.writeText(kSection, u"Payback"_s, fieldText(payback));
    for (int k = 0; k < 5; ++k) {
        store.writeText(kSection, weightKey(k), fieldText(weight(k)));
    }
}

QString ModelSettings::description() const
{
    const QString share = u" 払戻率%1"_s.arg(fieldText(payback));
    if (kind == TheoryModel::Harville) {
        return u"Harville（従来）"_s + share;
    }
    const QString discount = u"λ=%1 τ=%2"_s.arg(fieldText(lambda), fieldText(tau));
    if (kind == TheoryModel::Discounted) {
        return u"割引Harville "_s + discount + share;
    }
    const auto shown = [this](int k) {
        return QString::number(weight(k), 'g', 3);
    };
    return u"市場合成 %1 馬連β=%2/%3 ワイドβ=%4/%5/%6"_s.arg(
               discount, shown(0), shown(1), shown(2), shown(3), shown(4))
           + share;
}
