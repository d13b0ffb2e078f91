// SPDX-License-Identifier: MIT
#include "number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Appends a run of ASCII digits starting at `i`; returns how many there were.
qsizetype takeDigits(QStringView text, qsizetype& i, std::string& out)
{
    const qsizetype start = i;
    while (i < text.size() && isDigit(text[i])) {
        out += static_cast<char>(text[i].unicode());
        ++i;
    }
    return i - start;
}

std::string signedText(const DecimalText& number)
{
    std::string text = number.negative ? "-" : "";
    text += number.integerDigits.empty() ? "0" : number.integerDigits;
    if (!number.fractionDigits.empty()) {
        text += '.';
        text += number.fractionDigits;
    }
    return text;
}

// The text without the blanks around it (the parser's blanks, not every white space).
QStringView withoutBlanks(QStringView text)
{
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && isBlank(text[i])) {
        ++i;
    }
    while (end > i && isBlank(text[end - 1])) {
        --end;
    }
    return text.mid(i, end - i);
}

} // namespace

double numericValue(QStringView text)
{
    return leadingNumber(text).value_or(0.0);
}

std::optional<double> leadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < size && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Display texts are short ("12.3", "0.188"): while the digits fit in 15 significant ones
    // and 22 decimals, mantissa / 10^decimals is exact arithmetic rounded once, the correctly
    // rounded value. Longer texts go through from_chars.
    static constexpr double kPowers[]
        = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
           1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const qsizetype start = i;
    std::uint64_t mantissa = 0;
    int significant = 0;
    int decimals = 0;
    bool anyDigit = false;
    const auto digit = [&](QChar c, bool fraction) {
        anyDigit = true;
        if (mantissa != 0 || c != u'0') {
            ++significant;
        }
        if (significant <= 15) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c.unicode() - u'0');
        }
        decimals += fraction ? 1 : 0;
    };
    while (i < size && isDigit(text[i])) {
        digit(text[i], false);
        ++i;
    }
    if (i < size && text[i] == u'.') {
        ++i;
        while (i < size && isDigit(text[i])) {
            digit(text[i], true);
            ++i;
        }
    }
    if (!anyDigit) {
        return std::nullopt;
    }
    if (significant <= 15 && decimals <= 22) {
        const double magnitude = static_cast<double>(mantissa) / kPowers[decimals];
        return negative ? -magnitude : magnitude;
    }
    std::string number = negative ? "-" : "";
    for (qsizetype k = start; k < i; ++k) {
        number += static_cast<char>(text[k].unicode());
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec != std::errc()) {
        // Only a value beyond the range of a double gets here.
        return std::nullopt;
    }
    return value;
}

qint16 numericCount(QStringView text)
{
    // nearbyint rounds ties to even in the default rounding mode.
    const double rounded = std::nearbyint(numericValue(text));
    if (!(rounded >= std::numeric_limits<qint16>::min()
          && rounded <= std::numeric_limits<qint16>::max())) {
        return 0;
    }
    return static_cast<qint16>(rounded);
}

std::optional<DecimalText> parseDecimalText(QStringView text)
{
    const QStringView body = withoutBlanks(text);
    DecimalText number;
    qsizetype k = 0;
    if (k < body.size() && (body[k] == u'+' || body[k] == u'-')) {
        number.negative = body[k] == u'-';
        ++k;
    }
    const qsizetype firstGroup = takeDigits(body, k, number.integerDigits);
    if (firstGroup > 0) {
        // Grouping: each "," must be followed by exactly three digits, after a first group of
        // one to three.
        bool grouped = false;
        while (k < body.size() && body[k] == u',') {
            ++k;
            if (firstGroup > 3 || takeDigits(body, k, number.integerDigits) != 3) {
                return std::nullopt;
            }
            grouped = true;
        }
        if (grouped && k < body.size() && isDigit(body[k])) {
            return std::nullopt;
        }
    }
    if (k < body.size() && body[k] == u'.') {
        ++k;
        takeDigits(body, k, number.fractionDigits);
    }
    if (k != body.size() || (number.integerDigits.empty() && number.fractionDigits.empty())) {
        return std::nullopt;
    }
    return number;
}

std::optional<qint64> roundDecimalText(const DecimalText& number, qint64 min, qint64 max)
{
    // Leading zeros do not count towards the size check.
    const auto first = number.integerDigits.find_first_not_of('0');
    const std::string digits
        = first == std::string::npos ? std::string() : number.integerDigits.substr(first);
    if (digits.size() > 18) {
        return std::nullopt;
    }
    qint64 magnitude = 0;
    for (const char c : digits) {
        magnitude = magnitude * 10 + (c - '0');
    }
    // Round on the decimals as written: above one half up, exactly one half to even.
    const std::string& fraction = number.fractionDigits;
    if (!fraction.empty() && fraction[0] >= '5') {
        const bool exactHalf
            = fraction[0] == '5' && fraction.find_first_not_of('0', 1) == std::string::npos;
        if (!exactHalf || magnitude % 2 != 0) {
            ++magnitude;
        }
    }
    const qint64 value = number.negative ? -magnitude : magnitude;
    if (value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<float> decimalTextToSingle(const DecimalText& number)
{
    const std::string text = signedText(number);
    float value = 0.0F;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

qint16 textToInteger(QStringView text)
{
    const auto number = parseDecimalText(text);
    if (!number) {
        return 0;
    }
    return static_cast<qint16>(roundDecimalText(*number,
                                                std::numeric_limits<qint16>::min(),
                                                std::numeric_limits<qint16>::max())
                                   .value_or(0));
}

std::optional<float> wholeTextToSingle(QStringView text)
{
    // Plain short numbers ("  12.3") without building the parts: below 2^24 with at most ten
    // decimals, digits / 10^decimals divides two exact singles, one correctly rounded step.
    static constexpr float kPowers[]
        = {1e0F, 1e1F, 1e2F, 1e3F, 1e4F, 1e5F, 1e6F, 1e7F, 1e8F, 1e9F, 1e10F};
    const QStringView body = withoutBlanks(text);
    qsizetype i = 0;
    const qsizetype end = body.size();
    bool negative = false;
    if (i < end && (body[i] == u'+' || body[i] == u'-')) {
        negative = body[i] == u'-';
        ++i;
    }
    std::uint32_t digits = 0;
    int decimals = 0;
    bool anyDigit = false;
    bool fraction = false;
    bool plain = true;
    for (; i < end && plain; ++i) {
        const QChar c = body[i];
        if (isDigit(c)) {
            digits = digits * 10 + static_cast<std::uint32_t>(c.unicode() - u'0');
            anyDigit = true;
            decimals += fraction ? 1 : 0;
            plain = digits < (1U << 24) && decimals <= 10;
        } else if (c == u'.' && !fraction) {
            fraction = true;
        } else {
            plain = false;
        }
    }
    if (plain) {
        if (!anyDigit) {
            return std::nullopt;
        }
        const float magnitude = static_cast<float>(digits) / kPowers[decimals];
        return negative ? -magnitude : magnitude;
    }
    const auto number = parseDecimalText(text);
    return number ? decimalTextToSingle(*number) : std::nullopt;
}

float textToSingle(QStringView text)
{
    return wholeTextToSingle(text).value_or(0.0F);
}

GenericSortKey genericSortKey(const QString& cell)
{
    return {parseDecimalText(cell) ? std::optional<double>(numericValue(cell)) : std::nullopt,
            cell};
}

int compareGeneric(const GenericSortKey& a, const GenericSortKey& b)
{
    if (a.number && b.number) {
        return *a.number < *b.number ? -1 : (*a.number > *b.number ? 1 : 0);
    }
    if (a.number || b.number) {
        return a.number ? -1 : 1;
    }
    return a.text.compare(b.text, Qt::CaseInsensitive);
}

std::optional<int> wholeNumberOf(QStringView text)
{
    const QStringView t = text.trimmed();
    if (t.isEmpty() || t.size() > 4) {
        return std::nullopt;
    }
    int value = 0;
    for (const QChar c : t) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}
