// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

#include <QString>

#include "race_generator.h"

// Field helpers that the race's generation and its files' bytes share.
namespace generator_fields {

template<typename T, std::size_t N>
const T& pick(PatRandom& random, const T (&items)[N])
{
    return items[random.between(0, static_cast<int>(N) - 1)];
}

inline QString rightAligned(int value, int width)
{
    return QStringLiteral("%1").arg(value, width);
}

inline QString zeroPadded(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QChar(u'0'));
}

} // namespace generator_fields
