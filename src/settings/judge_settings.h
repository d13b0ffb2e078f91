// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>

#include <QString>

#include "settings/model_settings.h"
#include "settings/settings_key.h"

class SettingsStore;

/// The judgement settings of one bet type, read once at the start of a run. A value that does
/// not convert is empty: its test or level is left out.
struct JudgeSettings
{
    std::array<std::optional<qint16>, SettingsKeyInfo::kLevels> bandLow;
    std::array<std::optional<qint16>, SettingsKeyInfo::kLevels> bandHigh;
    /// The marks, as lasting texts (internText) that cells can show.
    std::array<const QString*, SettingsKeyInfo::kLevels> marks{};
    std::optional<qint16> markedSigns;
    std::optional<qint32> plusColour;
    std::optional<qint32> minusColour;
    std::optional<bool> isTheoreticalLimit;
    std::optional<bool> isActualLimit;
    std::optional<bool> isWinRatioLimit;
    std::optional<bool> isPlaceRatioLimit;
    std::optional<float> theoreticalLimit;
    std::optional<float> actualLimit;
    std::optional<float> winRatioLimit;
    std::optional<float> placeRatioLimit;
    /// The theory of the theoretical values (the same for both bet types).
    ModelSettings model;

    static JudgeSettings read(const SettingsStore& store, BetType bet);
};
