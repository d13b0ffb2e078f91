// SPDX-License-Identifier: MIT
#pragma once

#include <initializer_list>

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

/// JRA races run on Japan time, whatever zone the machine is set to: UTC+09:00.
QTimeZone jraTimeZone();

/// The date in Japan at `instant`.
QDate jraDateOf(const QDateTime& instant);

/// When a race's files were written: the newest modification time of those of `paths` that
/// exist (the odds files, and the result when it counts); invalid when none does.
QDateTime newestFileTime(std::initializer_list<QString> paths);

/// After this long past its post time without a result, files fetched on a race's date are
/// taken for an earlier fetch of the next day's race of that post time (advance sales).
inline constexpr int kPostGraceMinutes = 60;

/// A race's post time as an instant: the race card's "HHmm" in Japan on the race's own date.
/// The date is the fetch's, or the next day's when the fetch came more than kPostGraceMinutes
/// after that day's post time and no result is in (advance sales the day before). Invalid when
/// the card's time does not read or the fetch time is unknown.
QDateTime postTimeOf(QStringView hhmm, const QDateTime& fetched, bool resultIn);
