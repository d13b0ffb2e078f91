// SPDX-License-Identifier: MIT
#include "group_rates.h"

namespace {

std::optional<double> percent(const std::optional<qint64>& tenths)
{
    return tenths ? std::optional(static_cast<double>(*tenths) / 10.0) : std::nullopt;
}

std::optional<double> onBaseline(const GroupSummary& line, const std::optional<qint64>& bound)
{
    return line.baselineRate && bound ? percent(*line.baselineRate + *bound) : std::nullopt;
}

} // namespace

GroupRates groupRates(const GroupSummary& line)
{
    return {percent(line.returnRate),
            percent(line.returnRateLower),
            percent(line.returnRateUpper),
            percent(line.baselineRate),
            onBaseline(line, line.excessLower),
            onBaseline(line, line.excessUpper)};
}
