// SPDX-License-Identifier: MIT
#include "number_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

double numericValue(QStringView text)
{
    qsizetype i = 0;
    const qsizetype size = text.size();
    while (i < size && isBlank(text[i])) {
        ++i;
    }
    std::string number;
    if (i < size && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-') {
            number += '-';
        }
        ++i;
    }
    bool anyDigit = false;
    while (i < size && isDigit(text[i])) {
        number += static_cast<char>(text[i].unicode());
        anyDigit = true;
        ++i;
    }
    if (i < size && text[i] == u'.') {
        number += '.';
        ++i;
        while (i < size && isDigit(text[i])) {
            number += static_cast<char>(text[i].unicode());
            anyDigit = true;
            ++i;
        }
    }
    if (!anyDigit) {
        return 0.0;
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec != std::errc()) {
        // Only a value beyond the range of a double gets here.
        return 0.0;
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
