// SPDX-License-Identifier: MIT
#include "judge_settings.h"

#include "base/cell.h"
#include "settings/settings_store.h"

JudgeSettings JudgeSettings::read(const SettingsStore& store, BetType bet)
{
    JudgeSettings s;
    s.model = ModelSettings::read(store);
    for (int level = 1; level <= SettingsKeyInfo::kLevels; ++level) {
        const auto i = static_cast<std::size_t>(level - 1);
        s.detectMin[i] = store.readInteger16(SettingsKey::DetectMin, bet, level);
        s.detectMax[i] = store.readInteger16(SettingsKey::DetectMax, bet, level);
        s.dispChar[i] = &internText(store.readText(SettingsKey::DispChar, bet, level));
    }
    s.dispSign = store.readInteger16(SettingsKey::DispSign, bet);
    s.plusColor = store.readInteger32(SettingsKey::PlusColor, bet);
    s.minusColor = store.readInteger32(SettingsKey::MinusColor, bet);
    // The limit rows in table order: the ticks, then the values.
    std::optional<bool>* const flags[]
        = {&s.isIdealLimit, &s.isRealLimit, &s.isWinRatioLimit, &s.isPlaceRatioLimit};
    std::optional<float>* const limits[]
        = {&s.idealLimit, &s.realLimit, &s.winRatioLimit, &s.placeRatioLimit};
    for (std::size_t k = 0; k < kLimitKeys.size(); ++k) {
        *flags[k] = store.readFlag(kLimitFlagKeys[k], bet);
        *limits[k] = store.readSingle(kLimitKeys[k], bet);
    }
    return s;
}
