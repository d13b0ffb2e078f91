// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include "analysis/backtest_stats.h"

/// A group's rates in percent on one scale, as a chart of return rates draws them: the return
/// rate and its bounds, the odds-matched baseline, and the bounds of the excess set on the
/// baseline (baseline + bound), so that an interval wholly above the baseline is an excess
/// beyond chance. Empty where the summary has none.
struct GroupRates
{
    std::optional<double> rate;
    std::optional<double> rateLower;
    std::optional<double> rateUpper;
    std::optional<double> baseline;
    std::optional<double> excessLower;
    std::optional<double> excessUpper;
};

GroupRates groupRates(const GroupSummary& line);
