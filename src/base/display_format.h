// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include <QString>

/// What roundedUnits() gives when there are no units. (A plain integer, not an optional: the
/// result is read in the hot loops of the analysis and the CSV, where an optional returned from
/// two paths went through memory.)
inline constexpr std::uint64_t kNoUnits = ~std::uint64_t{0};

/// The magnitude of `value` in units of 10^−decimals (0 to 3), rounded to nearest with halves away
/// from zero, decided on the exact binary value: the digits formatFixed writes. kNoUnits when the
/// magnitude is 2^52 or more, or not finite.
std::uint64_t roundedUnitsExactly(double value, int decimals);

/// roundedUnitsExactly(), first trying the double product: most values lie clearly away from a
/// half, and a product off by at most half an ulp then rounds the same way as the exact one.
inline std::uint64_t roundedUnits(double value, int decimals)
{
    static constexpr double kPowers[] = {1.0, 10.0, 100.0, 1000.0};
    if (decimals >= 0 && decimals <= 3) {
        const double product = (value < 0.0 ? -value : value) * kPowers[decimals];
        if (product < 0x1.0p52) {
            const auto whole = static_cast<std::int64_t>(product); // product ≥ 0: the floor
            const double fraction = product - static_cast<double>(whole); // exact
            const double fromHalf = fraction - 0.5;
            if ((fromHalf < 0.0 ? -fromHalf : fromHalf) > product * 0x1.0p-50) {
                return static_cast<std::uint64_t>(whole + (fraction > 0.5 ? 1 : 0));
            }
        }
    }
    return roundedUnitsExactly(value, decimals);
}

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
