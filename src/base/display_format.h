// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>

#include <QString>

/// The magnitude of `value` in units of 10^−decimals (0 to 3), rounded to nearest with halves away
/// from zero, decided on the exact binary value: the digits formatFixed writes. Empty when the
/// magnitude is 2^52 or more, or not finite.
std::optional<std::uint64_t> roundedUnits(double value, int decimals);

/// `value` with exactly `decimals` decimals and at least one integer digit, no grouping, rounded
/// to nearest with halves away from zero, decided on the exact binary value (0.125 → "0.13",
/// while 2.675, whose double lies just below, → "2.67"). A negative value that rounds to zero
/// keeps its "-" sign; negative zero counts as zero. Empty for infinities and NaN.
QString formatFixed(double value, int decimals);

/// Format "0.000": support ratios and the win:place ratio.
inline QString formatRatio(double value)
{
    return formatFixed(value, 3);
}

/// Format "0.00": average place odds.
inline QString formatAverage(double value)
{
    return formatFixed(value, 2);
}

/// Format "###0.0": theoretical and actual odds.
inline QString formatOddsValue(double value)
{
    return formatFixed(value, 1);
}

/// Format "+###0.0;-###0.0;0.0": the value's own sign picks the section, so +0.04 gives "+0.0",
/// -0.04 gives "-0.0" and only an exact zero gives "0.0".
QString formatSignedOdds(double value);

/// A single in its shortest form of at most seven significant digits, "." as decimal point,
/// never an exponent (1000, 0.04, 9999.9, 0.3333333).
QString formatSingle(float value);
