// SPDX-License-Identifier: MIT
#include "display_format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace {

std::string toFixed(double value, int decimals)
{
    // Enough room for the largest double written out in full.
    char buffer[400];
    const auto result
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

// Writes `units` (in units of 10^−decimals) as digits, ".", decimals; returns the length.
int unitsDigits(std::uint64_t units, int decimals, char* out)
{
    char digits[32];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + units % 10);
        units /= 10;
    } while (units != 0 || count <= decimals);
    int length = 0;
    for (int k = count - 1; k >= 0; --k) {
        out[length++] = digits[k];
        if (k == decimals && decimals > 0) {
            out[length++] = '.';
        }
    }
    return length;
}

// The magnitude of `value` rounded to `decimals` (0 to 3), written to `out` as digits, ".",
// decimals; returns the length, or 0 when the value is too large for this path.
int roundedDigits(double value, int decimals, char* out)
{
    const std::uint64_t units = roundedUnits(value, decimals);
    return units != kNoUnits ? unitsDigits(units, decimals, out) : 0;
}

QString fixedText(char sign, double value, int decimals)
{
    char buffer[64];
    int length = 0;
    if (sign != 0) {
        buffer[length++] = sign;
    }
    const int digits = roundedDigits(value, decimals, buffer + length);
    if (digits == 0) {
        return {};
    }
    return QString::fromLatin1(buffer, length + digits);
}

} // namespace

std::uint64_t roundedUnitsExactly(double value, int decimals)
{
    static constexpr std::uint64_t kPowers[] = {1, 10, 100, 1000};
    const double magnitude = std::abs(value);
    if (decimals < 0 || decimals > 3 || !(magnitude < 0x1.0p52)) {
        return kNoUnits;
    }
    // Decided exactly: value = m·2^e with a 53-bit integer m, so value·10^d = m·10^d / 2^−e,
    // whose integer quotient and remainder settle the rounding without any floating-point step.
    // m < 2^53 and 10^3 < 2^10: m·10^d fits in 64 bits.
    // magnitude = mantissa / 2^shift, shift ≥ 1 here (the bits of a finite, non-negative double).
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const auto biased = static_cast<int>(bits >> 52);
    const std::uint64_t fractionBits = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t mantissa
        = biased == 0 ? fractionBits : fractionBits | (std::uint64_t{1} << 52);
    const int shift = biased == 0 ? 1074 : 1075 - biased;
    const std::uint64_t scaled = mantissa * kPowers[decimals];
    std::uint64_t units = 0;
    // With shift ≥ 64 the value is below half a unit (scaled < 2^63 ≤ half): it rounds to 0.
    if (shift < 64) {
        units = scaled >> shift;
        const std::uint64_t rest = scaled - (units << shift);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        if (rest >= half) {
            ++units;
        }
    }
    return units;
}

QString formatFixed(double value, int decimals)
{
    if (!std::isfinite(value)) {
        return {};
    }
    if (std::abs(value) < 0x1.0p52 && decimals >= 0 && decimals <= 3) {
        // A negative value that rounds to zero keeps its sign; negative zero is zero.
        return fixedText(value < 0.0 ? '-' : 0, value, decimals);
    }
    if (value == 0.0) {
        value = 0.0; // negative zero is zero
    }
    // Beyond 2^52 a double is a whole number: ties cannot occur, to_chars is exact.
    const std::string text = toFixed(value, decimals);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString formatSignedOdds(double value)
{
    if (!std::isfinite(value)) {
        return {};
    }
    if (value == 0.0) {
        return QStringLiteral("0.0");
    }
    if (std::abs(value) < 0x1.0p52) {
        return fixedText(value > 0.0 ? '+' : '-', value, 1);
    }
    return (value > 0.0 ? QLatin1Char('+') : QLatin1Char('-')) + formatFixed(std::abs(value), 1);
}

QString formatSingle(float value)
{
    if (!std::isfinite(value)) {
        return {};
    }
    if (value == 0.0F) {
        return QStringLiteral("0");
    }
    // Seven significant digits in scientific form, then written out without the exponent.
    char buffer[32];
    const auto result
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 6);
    const std::string scientific(buffer, result.ptr);
    const auto e = scientific.find('e');
    const bool negative = scientific.front() == '-';
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < e; ++i) {
        if (scientific[i] != '.') {
            digits += scientific[i];
        }
    }
    const int exponent = std::stoi(scientific.substr(e + 1));
    // digits = d1 d2 … d7, value = d1.d2…d7 × 10^exponent.
    std::string integerPart;
    std::string fractionPart;
    const int pointAfter = exponent + 1;
    if (pointAfter <= 0) {
        // Appended rather than concatenated: g++ 12 at -O3 warns (falsely) on the temporary.
        fractionPart.assign(static_cast<std::size_t>(-pointAfter), '0');
        fractionPart += digits;
        integerPart = "0";
    } else if (pointAfter >= static_cast<int>(digits.size())) {
        integerPart
            = digits + std::string(static_cast<std::size_t>(pointAfter) - digits.size(), '0');
    } else {
        integerPart = digits.substr(0, static_cast<std::size_t>(pointAfter));
        fractionPart = digits.substr(static_cast<std::size_t>(pointAfter));
    }
    while (!fractionPart.empty() && fractionPart.back() == '0') {
        fractionPart.pop_back();
    }
    std::string text = (negative ? "-" : "") + integerPart;
    if (!fractionPart.empty()) {
        text += '.' + fractionPart;
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
