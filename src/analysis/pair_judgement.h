// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QString>

#include "analysis/pair_grid_model.h"
#include "settings/settings_store.h"

class HorseTable;
struct QuinellaOddsRecord;

/// The judgement settings of one bet type, read once at the start of a run. A value that does
/// not convert is empty: its test or level is left out.
struct JudgeSettings
{
    std::array<std::optional<qint16>, 5> detectMin;
    std::array<std::optional<qint16>, 5> detectMax;
    std::array<QString, 5> dispChar;
    std::optional<qint16> dispSign;
    std::optional<qint32> plusColor;
    std::optional<qint32> minusColor;
    std::optional<bool> isIdealLimit;
    std::optional<bool> isRealLimit;
    std::optional<bool> isTanRatioLimit;
    std::optional<bool> isFukuRatioLimit;
    std::optional<float> idealLimit;
    std::optional<float> realLimit;
    std::optional<float> tanRatioLimit;
    std::optional<float> fukuRatioLimit;

    static JudgeSettings read(const SettingsStore& store, BetType bet);
};

/// The value stored for a missing theoretical or actual value (a scratched horse or pair).
inline constexpr float kMissingValue = 99999.9F;

/// Judges every pair of the race for one bet type and returns the rows of its pair list, in pair
/// order (1,2), (1,3) … (n−1,n): theoretical value from the win (quinella) or place (wide)
/// support ratios, actual odds, deviation, implied support ratio, mark with its colour, and the
/// popularity rank by actual odds ("ﾄﾘｹｼ" for a scratched pair; equal odds rank in pair order).
/// A value that cannot be computed for a pair leaves its cell empty and the pair unjudged;
/// nothing carries over from one pair to the next.
std::vector<PairGridModel::Row> judgePairs(const HorseTable& table,
                                           const QuinellaOddsRecord& odds,
                                           BetType bet,
                                           const JudgeSettings& settings);

/// Column " 差" of both lists: the quinella rank minus the wide rank of each pair ("0" where the
/// wide rank is "ﾄﾘｹｼ"). Both lists must hold the same pairs in the same order.
void writePopularityDifference(PairGridModel& quinella, PairGridModel& wide);
