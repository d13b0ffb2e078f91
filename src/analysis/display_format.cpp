// SPDX-License-Identifier: MIT
#include "display_format.h"

#include <charconv>
#include <cmath>
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

// Adds one unit in the last digit of a decimal text, carrying as needed ("9.99" → "10.00").
void incrementLastDigit(std::string& text)
{
    for (auto it = text.rbegin(); it != text.rend(); ++it) {
        if (*it == '.' || *it == '-') {
            continue;
        }
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    text.insert(text.front() == '-' ? 1 : 0, 1, '1');
}

} // namespace

QString formatFixed(double value, int decimals)
{
    if (!std::isfinite(value)) {
        return {};
    }
    if (value == 0.0) {
        value = 0.0; // negative zero is zero
    }
    // to_chars rounds the exact binary value to nearest with ties to even. The two rules differ
    // only on an exact tie, and a double can hold one only when it has at most decimals + 1
    // binary fraction digits; then the text with one more decimal is exact and ends in 5.
    std::string text = toFixed(value, decimals);
    const double scaled = std::ldexp(value, decimals + 1);
    if (std::abs(value) < 1e300 && scaled == std::trunc(scaled)) {
        std::string longer = toFixed(value, decimals + 1);
        if (longer.back() == '5') {
            longer.pop_back();
            if (decimals == 0) {
                longer.pop_back(); // the "."
            }
            incrementLastDigit(longer);
            text = longer;
        }
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString formatSignedOdds(double value)
{
    if (!std::isfinite(value)) {
        return {};
    }
    if (value > 0.0) {
        return QLatin1Char('+') + formatFixed(value, 1);
    }
    if (value < 0.0) {
        return QLatin1Char('-') + formatFixed(-value, 1);
    }
    return QStringLiteral("0.0");
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
        fractionPart = std::string(static_cast<std::size_t>(-pointAfter), '0') + digits;
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
