// SPDX-License-Identifier: MIT
#include "stake_settings.h"

#include <cmath>

#include "base/texts.h"
#include "settings/model_settings.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"Option\\Stake"_s;
constexpr qint64 kMaxBankroll = 1'000'000'000'000;

std::optional<qint64> bankrollOf(const QString& text)
{
    bool ok = false;
    const qint64 yen = text.trimmed().toLongLong(&ok);
    return ok ? std::optional(yen) : std::nullopt;
}

} // namespace

bool StakeSettings::validBankroll(qint64 yen)
{
    return yen >= 100 && yen <= kMaxBankroll;
}

bool StakeSettings::validKellyFraction(double fraction)
{
    return std::isfinite(fraction) && fraction > 0.0 && fraction <= 1.0;
}

StakeSettings StakeSettings::read(const SettingsStore& store)
{
    StakeSettings s;
    if (const auto yen = bankrollOf(store.readText(kSection, u"Bankroll"_s, QString()));
        yen && validBankroll(*yen)) {
        s.bankroll = *yen;
    }
    bool ok = false;
    const double fraction
        = store.readText(kSection, u"KellyFraction"_s, QString()).trimmed().toDouble(&ok);
    if (ok && validKellyFraction(fraction)) {
        s.kellyFraction = fraction;
    }
    const QString model = store.readText(kSection, u"Model"_s, u"0"_s).trimmed();
    s.model = model == u"1"   ? StakeModel::Discounted
              : model == u"2" ? StakeModel::Harville
                              : StakeModel::Blend;
    s.autoCalibrate = store.readText(kSection, u"AutoCalibrate"_s, u"1"_s).trimmed() != u"0";
    return s;
}

void StakeSettings::write(SettingsStore& store) const
{
    store.writeText(kSection, u"Bankroll"_s, QString::number(bankroll));
    store.writeText(kSection, u"KellyFraction"_s, ModelSettings::fieldText(kellyFraction));
    store.writeText(kSection, u"Model"_s, QString::number(static_cast<int>(model)));
    store.writeText(kSection, u"AutoCalibrate"_s, autoCalibrate ? u"1"_s : u"0"_s);
}

std::optional<StakeSettings::InputFailure> StakeSettings::validate(const Input& input)
{
    const auto yen = bankrollOf(input.bankroll);
    if (!yen) {
        return InputFailure{0, Texts::notANumber()};
    }
    if (!validBankroll(*yen)) {
        return InputFailure{0, u"資金は100円以上1兆円以下の整数を入力して下さい。"_s};
    }
    const auto fraction = ModelSettings::fieldNumber(input.kellyFraction);
    if (!fraction) {
        return InputFailure{1, Texts::notANumber()};
    }
    if (!validKellyFraction(*fraction)) {
        return InputFailure{1, u"ケリー係数は0より大きく1以下の数値を入力して下さい。"_s};
    }
    return std::nullopt;
}

bool StakeSettings::applyInput(const Input& input, StakeSettings& settings)
{
    if (validate(input)) {
        return false;
    }
    settings.bankroll = *bankrollOf(input.bankroll);
    settings.kellyFraction = *ModelSettings::fieldNumber(input.kellyFraction);
    return true;
}

QString stakeModelKey(StakeModel model)
{
    switch (model) {
    case StakeModel::Discounted:
        return u"discount"_s;
    case StakeModel::Harville:
        return u"harville"_s;
    case StakeModel::Blend:
        break;
    }
    return u"blend"_s;
}
