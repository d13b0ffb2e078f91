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

bool ModelSettings::validPayback(double value)
{
    return std::isfinite(value) && value > 0.0 && value <= 1.0;
}

ModelSettings ModelSettings::read(const SettingsStore& store)
{
    ModelSettings s;
    s.kind = store.readText(kSection, u"Kind"_s, u"0"_s).trimmed() == u"1" ? TheoryModel::Discounted
                                                                           : TheoryModel::Harville;
    s.lambda = readNumber(store, u"Lambda"_s, kDefaultLambda, validParameter);
    s.tau = readNumber(store, u"Tau"_s, kDefaultTau, validParameter);
    s.payback = readNumber(store, u"Payback"_s, kDefaultPayback, validPayback);
    return s;
}

void ModelSettings::write(SettingsStore& store) const
{
    store.writeText(kSection, u"Kind"_s, kind == TheoryModel::Discounted ? u"1"_s : u"0"_s);
    store.writeText(kSection, u"Lambda"_s, fieldText(lambda));
    store.writeText(kSection, u"Tau"_s, fieldText(tau));
    store.writeText(kSection, u"Payback"_s, fieldText(payback));
}

QString ModelSettings::description() const
{
    const QString share = u" 払戻率%1"_s.arg(fieldText(payback));
    if (kind == TheoryModel::Harville) {
        return u"Harville（従来）"_s + share;
    }
    return u"割引Harville λ=%1 τ=%2"_s.arg(fieldText(lambda), fieldText(tau)) + share;
}
