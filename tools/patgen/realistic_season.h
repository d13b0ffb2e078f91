// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <vector>

#include <QDate>
#include <QDateTime>
#include <QString>

#include "realistic_market.h"
#include "season_generator.h"

/// A season whose pools behave like JRA's (see RealisticMarket), written with the truth it was
/// drawn from and, when asked, the odds of every fetch before the close.
struct RealisticSeasonOptions
{
    std::uint64_t seed = 1;
    int days = 288; ///< course-days of twelve races; a JRA year
    RealisticMarket market;
    QString truthPath;      ///< the truth CSV; empty: none
    QString snapshotFolder; ///< the folder of the fetches m60 … m02; empty: none
};

/// Where and when course-day `day` (0-based) races. A year is 13 meetings of four weekends;
/// ten meetings race at three courses on each Saturday and Sunday, three (January, August,
/// December) at two: 104 dates and 288 course-days. The courses of a date are numbered by venue
/// code.
struct RealisticCourseDay
{
    QDate date;
    int venue = 1; ///< JRA venue code, 1 to 10
    int meetingNo = 1;
    int meetingDay = 1;
    int course = 0;  ///< 0 to courses − 1
    int courses = 3; ///< courses racing on the date
};
RealisticCourseDay realisticCourseDay(int day);

/// The post time of race `raceNo` (1 to 12) at course `course` of its date: the first course
/// starts at 10:00, the second at 10:10, the third at 10:20; races follow 30 minutes apart with
/// 70 minutes for lunch after the fifth, so the last races go at 16:10, 16:20 and 16:30.
QDateTime realisticPostTime(const RealisticCourseDay& when, int raceNo);

/// Empty when the options describe a season that can be made, else what is wrong with them.
QString realisticSeasonOptionsError(const RealisticSeasonOptions& options);

/// The races of course-day `day`; a day depends only on the seed and its number.
std::vector<RealisticRace> generateRealisticDay(const RealisticSeasonOptions& options, int day);

/// Writes the season into `folder` (created): Zo-, Uo-, De- and Ks- files of every race, the odds
/// as the last fetch left them, their modification times the fetch times (the Ks- files' ten
/// minutes after the post time); the fetches into sub-folders m60 … m02 of the snapshot folder
/// (Zo-, Uo-, De- at each fetch time); the truth CSV. Streams day by day. False with `error` set
/// when the options are invalid or a file cannot be written.
bool writeRealisticSeason(const QString& folder,
                          const RealisticSeasonOptions& options,
                          QString* error);

/// The truth CSV's lines of one race (after the heading "race,kind,a,b,probability"): every horse's
/// win chance (`win`), then the expected payouts of its win and place bets in yen for 100 yen
/// (`win_return`, `place_return`), then every pair's chance of finishing first and second
/// (`quinella`), of both finishing in the first three (`wide`), and the expected payout of its wide
/// bet (`wide_return`).
QByteArray truthLines(const RealisticRace& race);
