// SPDX-License-Identifier: MIT
#include "realistic_season.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {

constexpr const char16_t* kVenueNames[]
    = {u"札幌", u"函館", u"福島", u"新潟", u"東京", u"中山", u"中京", u"京都", u"阪神", u"小倉"};

constexpr int kWeekendsPerMeeting = 4;
constexpr int kMeetingsPerYear = 13;
// Each meeting's venues by code, ascending; a 0 marks a two-course meeting.
constexpr std::array<std::array<int, 3>, kMeetingsPerYear> kMeetings = {{
    {6, 8, 0},
    {6, 7, 8},
    {5, 8, 10},
    {6, 7, 9},
    {3, 6, 9},
    {4, 5, 8},
    {2, 5, 9},
    {4, 10, 0},
    {1, 3, 7},
    {4, 6, 9},
    {3, 5, 8},
    {5, 8, 10},
    {6, 9, 0},
}};

constexpr int coursesOf(const std::array<int, 3>& venues)
{
    return venues[2] == 0 ? 2 : 3;
}

constexpr int courseDaysPerYear()
{
    int days = 0;
    for (const auto& venues : kMeetings) {
        days += coursesOf(venues) * kWeekendsPerMeeting * 2;
    }
    return days;
}
static_assert(courseDaysPerYear() == 288);

constexpr int kResultMinutesAfterPost = 10;
constexpr int kLargestField = 18;

QString twoDigits(int value)
{
    return u"%1"_s.arg(value, 2, 10, QChar(u'0'));
}

int drawRunners(PatRandom& random, const RealisticMarket& market)
{
    double total = 0.0;
    for (const double weight : market.fieldSizes) {
        total += weight;
    }
    double draw = random.uniform() * total;
    const int smallest = kLargestField + 1 - static_cast<int>(market.fieldSizes.size());
    for (std::size_t k = 0; k + 1 < market.fieldSizes.size(); ++k) {
        draw -= market.fieldSizes[k];
        if (draw < 0.0) {
            return smallest + static_cast<int>(k);
        }
    }
    return kLargestField;
}

QString fetchFolderName(int minutes)
{
    return u"m"_s + twoDigits(minutes);
}

bool writeFile(const QDir& dir, const RaceFile& made, const QDateTime& time, QString* error)
{
    QFile file(dir.filePath(made.name));
    // The time is set once everything is written and flushed, so no later write moves it.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(made.bytes) != made.bytes.size() || !file.flush()
        || !file.setFileTime(time, QFileDevice::FileModificationTime)) {
        if (error != nullptr) {
            *error = u"%1: %2"_s.arg(QDir::toNativeSeparators(file.fileName()), file.errorString());
        }
        return false;
    }
    return true;
}

void appendLine(QByteArray& out, const QString& race, const char* kind, int a, int b, double p)
{
    char line[160];
    const QByteArray name = race.toUtf8();
    const int size
        = b == 0
              ? std::snprintf(line, sizeof line, "%s,%s,%d,,%.10g\n", name.constData(), kind, a, p)
              : std::snprintf(
                  line, sizeof line, "%s,%s,%d,%d,%.10g\n", name.constData(), kind, a, b, p);
    out.append(line, size);
}

} // namespace

RealisticCourseDay realisticCourseDay(int day)
{
    const int year = 2026 + day / courseDaysPerYear();
    int inYear = day % courseDaysPerYear();
    int meeting = 0;
    while (inYear
           >= coursesOf(kMeetings[static_cast<std::size_t>(meeting)]) * kWeekendsPerMeeting * 2) {
        inYear -= coursesOf(kMeetings[static_cast<std::size_t>(meeting)]) * kWeekendsPerMeeting * 2;
        ++meeting;
    }
    const auto& venues = kMeetings[static_cast<std::size_t>(meeting)];
    RealisticCourseDay when;
    when.courses = coursesOf(venues);
    when.course = inYear % when.courses;
    const int dateInMeeting = inYear / when.courses;
    when.venue = venues[static_cast<std::size_t>(when.course)];
    for (int m = 0; m < meeting; ++m) {
        const auto& earlier = kMeetings[static_cast<std::size_t>(m)];
        when.meetingNo += static_cast<int>(std::ranges::count(earlier, when.venue));
    }
    when.meetingDay = dateInMeeting + 1;
    const QDate newYear(year, 1, 1);
    const QDate firstSaturday = newYear.addDays((6 - newYear.dayOfWeek() + 7) % 7);
    when.date = firstSaturday.addDays(7 * (meeting * kWeekendsPerMeeting + dateInMeeting / 2)
                                      + dateInMeeting % 2);
    return when;
}

QDateTime realisticPostTime(const RealisticCourseDay& when, int raceNo)
{
    const int minutes = 10 * 60 + 10 * when.course + 30 * (raceNo - 1) + (raceNo > 5 ? 40 : 0);
    // JRA's clock, whatever the machine's zone: the files' times are then the same instants
    // everywhere.
    return QDateTime(
        when.date, QTime(minutes / 60, minutes % 60), QTimeZone(QByteArrayLiteral("Asia/Tokyo")));
}

QString realisticSeasonOptionsError(const RealisticSeasonOptions& options)
{
    if (options.days < 1 || options.days > kMaxSeasonDays) {
        return u"a season has 1 to %1 course-days"_s.arg(kMaxSeasonDays);
    }
    const RealisticMarket& m = options.market;
    for (const double power : {m.trueLambda, m.trueTau}) {
        if (!(power > 0.0) || !std::isfinite(power)) {
            return u"the order model's exponents must be numbers above 0"_s;
        }
    }
    return {};
}

std::vector<RealisticRace> generateRealisticDay(const RealisticSeasonOptions& options, int day)
{
    const RealisticCourseDay when = realisticCourseDay(day);
    const QString date = when.date.toString(u"yyyyMMdd"_s);
    const QString venueCode = twoDigits(when.venue);
    // Each day its own stream, apart from the efficient season's.
    PatRandom random(
        PatRandom(options.seed + 0xA24BAED4963EE407ULL * static_cast<std::uint64_t>(day + 1))
            .next());
    std::vector<RealisticRace> races;
    races.reserve(kSeasonRacesPerDay);
    for (int r = 0; r < kSeasonRacesPerDay; ++r) {
        GeneratedRace card = generateRaceCard(random, r, drawRunners(random, options.market));
        card.date = date;
        card.venueCode = venueCode;
        card.venueName = QString::fromUtf16(kVenueNames[when.venue - 1]);
        card.meetingNo = when.meetingNo;
        card.meetingDay = when.meetingDay;
        card.fileKey = date.mid(2) + venueCode + twoDigits(card.raceNo);
        card.startTime = realisticPostTime(when, card.raceNo).toString(u"HHmm"_s);
        races.push_back(runRealisticRace(random, std::move(card), options.market));
    }
    return races;
}

QByteArray truthLines(const RealisticRace& r)
{
    const QString name = winPlaceOddsFileName(r.race);
    const int n = r.race.runners();
    QByteArray out;
    for (int k = 0; k < n; ++k) {
        appendLine(out, name, "win", k + 1, 0, r.trueWin[static_cast<std::size_t>(k)]);
    }
    for (const auto& [kind, chances] :
         {std::pair{"quinella", &r.trueFirstTwo}, std::pair{"wide", &r.trueTopThree}}) {
        std::size_t x = 0;
        for (int a = 1; a <= n; ++a) {
            for (int b = a + 1; b <= n; ++b, ++x) {
                appendLine(out, name, kind, a, b, (*chances)[x]);
            }
        }
    }
    // The expected payouts after the chances, so that a reader of the chances alone finds them
    // where they always were.
    for (const auto& [kind, yen] :
         {std::pair{"win_return", &r.winReturn}, std::pair{"place_return", &r.placeReturn}}) {
        for (int k = 0; k < n; ++k) {
            appendLine(out, name, kind, k + 1, 0, (*yen)[static_cast<std::size_t>(k)]);
        }
    }
    std::size_t x = 0;
    for (int a = 1; a <= n; ++a) {
        for (int b = a + 1; b <= n; ++b, ++x) {
            appendLine(out, name, "wide_return", a, b, r.wideReturn[x]);
        }
    }
    return out;
}

bool writeRealisticSeason(const QString& folder,
                          const RealisticSeasonOptions& options,
                          QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error != nullptr) {
            *error = text;
        }
        return false;
    };
    const QString problem = realisticSeasonOptionsError(options);
    if (!problem.isEmpty()) {
        return fail(problem);
    }
    std::vector<QDir> fetchDirs;
    if (!QDir().mkpath(folder)) {
        return fail(u"cannot create %1"_s.arg(QDir::toNativeSeparators(folder)));
    }
    if (!options.snapshotFolder.isEmpty()) {
        for (const int minutes : kFetchMinutes) {
            const QString path = QDir(options.snapshotFolder).filePath(fetchFolderName(minutes));
            if (!QDir().mkpath(path)) {
                return fail(u"cannot create %1"_s.arg(QDir::toNativeSeparators(path)));
            }
            fetchDirs.emplace_back(path);
        }
    }
    QSaveFile truth(options.truthPath);
    if (!options.truthPath.isEmpty()
        && (!truth.open(QIODevice::WriteOnly) || truth.write("race,kind,a,b,probability\n") < 0)) {
        return fail(
            u"%1: %2"_s.arg(QDir::toNativeSeparators(options.truthPath), truth.errorString()));
    }
    const QDir dir(folder);
    for (int day = 0; day < options.days; ++day) {
        const RealisticCourseDay when = realisticCourseDay(day);
        QByteArray lines;
        for (const RealisticRace& r : generateRealisticDay(options, day)) {
            const QDateTime post = realisticPostTime(when, r.race.raceNo);
            for (const RaceFile& made : raceSetFiles(r.race)) {
                const bool result = made.name.startsWith(u"Ks-"_s);
                const QDateTime time = result ? post.addSecs(60 * kResultMinutesAfterPost)
                                              : post.addSecs(-60 * kFetchMinutes.back());
                if (!writeFile(dir, made, time, error)) {
                    return false;
                }
            }
            for (std::size_t f = 0; f < fetchDirs.size(); ++f) {
                const QDateTime time = post.addSecs(-60 * kFetchMinutes[f]);
                for (const RaceFile& made : raceSetFiles(r.fetches[f])) {
                    if (!writeFile(fetchDirs[f], made, time, error)) {
                        return false;
                    }
                }
            }
            if (!options.truthPath.isEmpty()) {
                lines += truthLines(r);
            }
        }
        if (!options.truthPath.isEmpty() && truth.write(lines) != lines.size()) {
            return fail(
                u"%1: %2"_s.arg(QDir::toNativeSeparators(options.truthPath), truth.errorString()));
        }
    }
    if (!options.truthPath.isEmpty() && !truth.commit()) {
        return fail(
            u"%1: %2"_s.arg(QDir::toNativeSeparators(options.truthPath), truth.errorString()));
    }
    return true;
}
