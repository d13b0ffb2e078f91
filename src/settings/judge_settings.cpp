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
        s.bandLow[i] = store.readInteger16(SettingsKey::DetectMin, bet, level);
        s.bandHigh[i] = store.readInteger16(SettingsKey::DetectMax, bet, level);
        s.marks[i] = &internText(store.readText(SettingsKey::DispChar, bet, level));
    }
    s.markedSigns = store.readInteger16(SettingsKey::DispSign, bet);
    s.plusColour = store.readInteger32(SettingsKey::PlusColour, bet);
    s.minusColour = store.readInteger32(SettingsKey::MinusColour, bet);
    // The limit rows in table order: the ticks, then the values.
    std::optional<bool>* const flags[]
        = {&s.isTheoreticalLimit, &s.isActualLimit, &s.isWinRatioLimit, &s.isPlaceRatioLimit};
    std::optional<float>* const limits[]
        = {&s.theoreticalLimit, &s.actualLimit, &s.winRatioLimit, &s.placeRatioLimit};
    for (std::size_t k = 0; k < kLimitKeys.size(); ++k) {
        *flags[k] = store.readFlag(kLimitFlagKeys[k], bet);
        *limits[k] = store.readSingle(kLimitKeys[k], bet);
    }
    return s;
}
