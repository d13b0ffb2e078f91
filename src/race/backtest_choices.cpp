// SPDX-License-Identifier: MIT
#include "backtest_choices.h"

#include <cmath>

#include <QLocale>

#include "base/number_text.h"
#include "base/texts.h"
#include "settings/model_settings.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

const QString kResampleKey = u"Resample"_s;
const QString kStakeKey = u"Stake"_s;
const QString kFractionKey = u"KellyFraction"_s;
const QString kBankrollKey = u"Bankroll"_s;

const QString kFractionRange = u"ケリー係数は0より大きく1以下の数値を入力して下さい。"_s;
const QString kBankrollRange = u"初期資金は100円以上1兆円以下の整数（円）を入力して下さい。"_s;

std::optional<double> fractionOf(const QString& text)
{
    const auto value = ModelSettings::fieldNumber(text);
    return value && BacktestChoices::validKellyFraction(*value) ? value : std::nullopt;
}

} // namespace

bool BacktestChoices::validKellyFraction(double value)
{
    return std::isfinite(value) && value > 0.0 && value <= 1.0;
}

bool BacktestChoices::validBankroll(qint64 yen)
{
    return yen >= kMinBankroll && yen <= kMaxBankroll;
}

std::optional<qint64> BacktestChoices::bankrollOf(const QString& text)
{
    const auto number = parseDecimalText(text);
    // Yen come whole: "100000.0" is a whole number, "100000.5" is not.
    if (!number || number->fractionDigits.find_first_not_of('0') != std::string::npos) {
        return std::nullopt;
    }
    return roundDecimalText(*number, kMinBankroll, kMaxBankroll);
}

QString BacktestChoices::bankrollText(qint64 yen)
{
    return QLocale(QLocale::Japanese).toString(yen);
}

BacktestChoices BacktestChoices::read(const SettingsStore& store, const QString& section)
{
    BacktestChoices c;
    c.resample = store.readText(section, kResampleKey, u"0"_s).trimmed() == u"1"
                     ? ResampleUnit::Race
                     : ResampleUnit::Day;
    c.stake = store.readText(section, kStakeKey, u"0"_s).trimmed() == u"1" ? StakeRule::Kelly
                                                                           : StakeRule::Flat;
    c.kellyFraction = fractionOf(store.readText(section, kFractionKey, QString()))
                          .value_or(kDefaultKellyFraction);
    c.bankroll
        = bankrollOf(store.readText(section, kBankrollKey, QString())).value_or(kDefaultBankroll);
    return c;
}

void BacktestChoices::write(SettingsStore& store, const QString& section) const
{
    store.writeText(section, kResampleKey, resample == ResampleUnit::Race ? u"1"_s : u"0"_s);
    store.writeText(section, kStakeKey, stake == StakeRule::Kelly ? u"1"_s : u"0"_s);
    store.writeText(section, kFractionKey, ModelSettings::fieldText(kellyFraction));
    store.writeText(section, kBankrollKey, QString::number(bankroll));
}

void BacktestChoices::applyTo(BacktestRequest& request) const
{
    request.resample = resample;
    request.stake = stake;
    request.kellyFraction = kellyFraction;
    request.bankroll = bankroll;
}

std::optional<BacktestChoices::InputFailure> BacktestChoices::validate(const Input& input)
{
    if (input.stake == StakeRule::Kelly) {
        if (!ModelSettings::fieldNumber(input.kellyFraction)) {
            return InputFailure{InputFailure::KellyFraction, Texts::notANumber()};
        }
        if (!fractionOf(input.kellyFraction)) {
            return InputFailure{InputFailure::KellyFraction, kFractionRange};
        }
    }
    if (!parseDecimalText(input.bankroll)) {
        return InputFailure{InputFailure::Bankroll, Texts::notANumber()};
    }
    if (!bankrollOf(input.bankroll)) {
        return InputFailure{InputFailure::Bankroll, kBankrollRange};
    }
    return std::nullopt;
}

BacktestChoices BacktestChoices::fromInput(const Input& input, const BacktestChoices& kept)
{
    BacktestChoices c;
    c.resample = input.resample;
    c.stake = input.stake;
    c.kellyFraction = fractionOf(input.kellyFraction).value_or(kept.kellyFraction);
    c.bankroll = bankrollOf(input.bankroll).value_or(kept.bankroll);
    return c;
}
