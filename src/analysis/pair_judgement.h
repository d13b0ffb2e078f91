// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cmath>
#include <optional>
#include <span>
#include <vector>

#include <QString>

#include "analysis/ordering_model.h"
#include "analysis/pair_list.h"
#include "settings/judge_settings.h"
#include "settings/settings_store.h"

class HorseTable;
struct QuinellaOddsRecord;
struct QuinellaPairEntry;

/// The value stored for a missing theoretical or actual value (a scratched horse or pair), and
/// the same value as its shown tenths.
inline constexpr float kMissingValue = 99999.9F;
inline constexpr qint64 kMissingTenths = 999'999;

/// Judges every pair of the race for one bet type and returns the rows of its pair list, in pair
/// order (1,2), (1,3) … (n−1,n): theoretical value under the settings' model (Harville: from the
/// win (quinella) or place (wide) support ratios), actual odds, deviation, implied support ratio,
/// mark with its colour, and the popularity rank by actual odds ("ﾄﾘｹｼ" for a scratched pair; equal
/// odds rank in pair order). A value that cannot be computed for a pair leaves its cell empty and
/// the pair unjudged; nothing carries over from one pair to the next.
std::vector<PairRow> judgePairs(const HorseTable& table,
                                const QuinellaOddsRecord& odds,
                                BetType bet,
                                const JudgeSettings& settings);
/// judgePairs() into `rows`, whose storage is used again.
void judgePairs(const HorseTable& table,
                const QuinellaOddsRecord& odds,
                BetType bet,
                const JudgeSettings& settings,
                std::vector<PairRow>& rows);

/// A pair's actual odds as its list shows them (wide: the midpoint of the range); kMissingValue
/// for a scratched pair, NaN for none.
float pairActualOdds(const QuinellaPairEntry& entry, BetType bet);

/// Odds as pairActualOdds() gives them, empty for none or a scratched pair.
inline std::optional<float> oddsOrNone(float actual)
{
    return std::isnan(actual) || actual == kMissingValue ? std::nullopt
                                                         : std::optional<float>(actual);
}

/// A pair's actual odds as pairActualOdds() gives them when it has some and is not scratched.
std::optional<float> pairOddsOf(const QuinellaPairEntry& entry, BetType bet);

/// The odds a wide ticket is sure to be paid at: the low end of its range, as shown; empty when
/// the pair has none or is scratched.
std::optional<float> wideLowOddsOf(const QuinellaPairEntry& entry);

/// The market blend's chance of every pair of the race in pair order under the settings'
/// weights, its model source `model` (the discounted model of the win odds); NaN for a pair that
/// takes no part (scratched, without actual odds, or a source without a chance).
void blendPairChances(const HorseTable& table,
                      const QuinellaOddsRecord& odds,
                      BetType bet,
                      const ModelSettings& settings,
                      const OrderingModel& model,
                      std::span<double, kMaxPairs> chances);

/// Column " 差" of both lists: the quinella rank minus the wide rank of each pair ("0" where the
/// wide rank is "ﾄﾘｹｼ"). Both lists must hold the same pairs in the same order.
void writePopularityDifference(PairList& quinella, PairList& wide);
