// SPDX-License-Identifier: MIT
#include "race_time.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <system_error>

using namespace Qt::StringLiterals;

namespace {

// Japan has kept nine hours ahead of UTC, without daylight saving, since 1951: a fixed offset
// spares the zone database a lookup at every conversion (the race-day board makes hundreds).
constexpr int kJapanOffsetSeconds = 9 * 3600;

} // namespace

QTimeZone jraTimeZone()
{
    return QTimeZone(kJapanOffsetSeconds);
}

QDate jraDateOf(const QDateTime& instant)
{
    if (!instant.isValid()) {
        return {};
    }
    constexpr qint64 kDay = 86'400'000;
    const qint64 local = instant.toMSecsSinceEpoch() + qint64{kJapanOffsetSeconds} * 1000;
    const qint64 days = local >= 0 ? local / kDay : -((-local + kDay - 1) / kDay);
    return QDate(1970, 1, 1).addDays(days);
}

QDateTime newestFileTime(std::initializer_list<QString> paths)
{
    // The file system's instant as it is: a file time through the local zone costs a look at
    // the zone's rules for every file, and the board looks at every race's files at each refresh.
    std::optional<qint64> newest;
    for (const QString& path : paths) {
        if (path.isEmpty()) {
            continue;
        }
        std::error_code error;
        const auto written
            = std::filesystem::last_write_time(std::filesystem::path(path.toStdU16String()), error);
        if (error) {
            continue;
        }
        const qint64 ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::file_clock::to_sys(written).time_since_epoch())
                              .count();
        newest = std::max(newest.value_or(ms), ms);
    }
    return newest ? QDateTime::fromMSecsSinceEpoch(*newest, Qt::UTC) : QDateTime();
}

QDateTime postTimeOf(QStringView hhmm, const QDateTime& fetched, bool resultIn)
{
    // Four digits, read by hand: the board reads every race of a day at each refresh.
    const QStringView text = hhmm.trimmed();
    if (text.size() != 4 || !fetched.isValid()) {
        return {};
    }
    int digits[4];
    for (int k = 0; k < 4; ++k) {
        const char16_t c = text[k].unicode();
        if (c < u'0' || c > u'9') {
            return {};
        }
        digits[k] = c - u'0';
    }
    const int hour = digits[0] * 10 + digits[1];
    const int minute = digits[2] * 10 + digits[3];
    if (hour > 23 || minute > 59) {
        return {};
    }
    constexpr qint64 kDay = 86'400'000;
    const qint64 day = QDate(1970, 1, 1).daysTo(jraDateOf(fetched));
    qint64 post
        = day * kDay + (hour * 60 + minute) * qint64{60'000} - qint64{kJapanOffsetSeconds} * 1000;
    if (!resultIn && post + 60 * qint64{1000} * kPostGraceMinutes < fetched.toMSecsSinceEpoch()) {
        post += kDay;
    }
    return QDateTime::fromMSecsSinceEpoch(post, Qt::UTC);
}
