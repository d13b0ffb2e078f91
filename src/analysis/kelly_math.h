// SPDX-License-Identifier: MIT
// Arithmetic the Kelly solvers share; for analysis/kelly*.cpp only.
#pragma once

#include <cmath>
#include <limits>
#include <span>

namespace kelly_math {

inline constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

// p ln w, with 0 ln 0 = 0: an outcome that cannot happen costs nothing, whatever it leaves.
inline double weightedLog(double p, double w)
{
    if (!(p > 0.0)) {
        return 0.0;
    }
    return w > 0.0 ? p * std::log(w) : kMinusInfinity;
}

// The factor that brings chances summing above 1 (rounding, or an overround model) down to 1.
inline double chanceScale(double total)
{
    return total > 1.0 ? 1.0 / total : 1.0;
}

inline double positiveSum(std::span<const double> values)
{
    double sum = 0.0;
    for (const double v : values) {
        sum += v > 0.0 ? v : 0.0;
    }
    return sum;
}

} // namespace kelly_math
