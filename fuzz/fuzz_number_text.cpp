// SPDX-License-Identifier: MIT
// The number readers and the display formats on arbitrary input.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QString>

#include "base/display_format.h"
#include "base/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text
        = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    numericValue(text);
    numericCount(text);
    const qint16 integer = textToInteger(text);
    const float single = textToSingle(text);
    if (const auto number = parseDecimalText(text)) {
        // Without grouping the leading reading must give the correctly rounded double too.
        if (!text.contains(u',')) {
            std::string plain = number->negative ? "-" : "";
            plain += number->integerDigits.empty() ? "0" : number->integerDigits;
            if (!number->fractionDigits.empty()) {
                plain += "." + number->fractionDigits;
            }
            double expected = 0.0;
            const auto parsed
                = std::from_chars(plain.data(), plain.data() + plain.size(), expected);
            if (parsed.ec == std::errc() && numericValue(text) != expected) {
                std::abort();
            }
        }
        // A number that converts to a single converts to an integer near it, or is out of range.
        if (integer != 0 && std::abs(static_cast<double>(single) - integer) > 0.5 + 1e-3) {
            std::abort();
        }
    } else if (integer != 0 || single != 0.0F) {
        std::abort();
    }

    // Any double through the fixed formats reads back within half a unit of its last decimal.
    if (size >= sizeof(double)) {
        double value = 0.0;
        std::memcpy(&value, data, sizeof value);
        for (int decimals = 0; decimals <= 3; ++decimals) {
            const QString shown = formatFixed(value, decimals);
            if (!std::isfinite(value)) {
                if (!shown.isEmpty()) {
                    std::abort();
                }
                continue;
            }
            const auto back = parseDecimalText(shown);
            if (!back) {
                std::abort();
            }
            // Half a unit of the last decimal, plus the rounding of the text read back.
            const double allowed = 0.5 * std::pow(10.0, -decimals) + std::abs(value) * 1e-15;
            if (std::abs(value) < 1e12 && std::abs(numericValue(shown) - value) > allowed) {
                std::abort();
            }
        }
        formatSignedOdds(value);
        const float asSingle = static_cast<float>(value);
        const QString written = formatSingle(asSingle);
        if (std::isfinite(asSingle) && !parseDecimalText(written)) {
            std::abort();
        }
    }
    return 0;
}
