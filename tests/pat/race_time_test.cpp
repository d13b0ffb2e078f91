// SPDX-License-Identifier: MIT
// A race's post time is the race card's time in Japan on the race's own date, wherever the
// program runs; the instants here are given in UTC, so the machine's zone plays no part.
#include <gtest/gtest.h>

#include <QTimeZone>

#include "pat/race_time.h"

using namespace Qt::StringLiterals;

TEST(RaceTime, PostTimeIsTheCardsTimeInJapanOnTheRacesOwnDay)
{
    const auto utc = [](int day, int hour, int minute) {
        return QDateTime(QDate(2026, 12, day), QTime(hour, minute), Qt::UTC);
    };
    // 10:10 in Japan on the 13th is 01:10 UTC.
    const QDateTime post = utc(13, 1, 10);
    EXPECT_EQ(postTimeOf(u"1010", utc(13, 0, 5), false), post);  // fetched that morning
    EXPECT_EQ(postTimeOf(u"1010", utc(13, 1, 50), false), post); // final odds after the off
    EXPECT_EQ(postTimeOf(u"1010", utc(13, 7, 0), true), post);   // the result read that evening
    // Advance sales: fetched the evening before in Japan, the day's own 10:10 long past.
    EXPECT_EQ(postTimeOf(u"1010", utc(12, 10, 0), false), post);
    // Fetched at 23:30 in Japan the day before, which is still the 12th in UTC and the 14:30
    // before in New York: the next day in Japan all the same.
    EXPECT_EQ(postTimeOf(u"1010", utc(12, 14, 30), false), post);
    EXPECT_EQ(jraDateOf(utc(12, 15, 0)), QDate(2026, 12, 13));
    EXPECT_FALSE(postTimeOf(u"2510", utc(13, 0, 5), false).isValid());
    EXPECT_FALSE(postTimeOf(u"    ", utc(13, 0, 5), false).isValid());
    EXPECT_FALSE(postTimeOf(u"1010", QDateTime(), false).isValid());
}
