// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>

#include "pat/race_time.h"

/// A time axis labels its values in the machine's zone; JRA's times are Japan's, whatever the
/// machine's: an instant moved by the difference has a label that reads Japan's clock.
inline qint64 japanWallClock(const QDateTime& instant)
{
    const qint64 ms = instant.toMSecsSinceEpoch();
    const int local = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
    return ms + qint64{jraTimeZone().offsetFromUtc(instant) - local} * 1000;
}
