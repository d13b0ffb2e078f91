// SPDX-License-Identifier: MIT
#include "season_generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>

#include <QDate>
#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMaxRunners = 18;
constexpr double kWinReturn = 0.8;    // win and place pools keep 20%
constexpr double kPairReturn = 0.775; // quinella, bracket and wide pools keep 22.5%
// Every starter keeps this much of the win chance, so win odds stay within what Zo- shows.
constexpr double kLeastWinChance = 0.0015;
constexpr double kMaxWinOdds = 999.9;   // five characters
constexpr double kMaxPairOdds = 9999.9; // six characters

// Venue names by code 01 to 10.
constexpr const char16_t* kVenueNames[]
    = {u"札幌", u"函館", u"福島", u"新潟", u"東京", u"中山", u"中京", u"京都", u"阪神", u"小倉"};

// A year is twelve meetings of four weekends, three venues racing on each Saturday and Sunday.
// Codes ascend within a meeting, so the file keys of a date sort in race day order.
constexpr int kMeetingWeekends = 4;
constexpr int kVenuesPerDate = 3;
constexpr int kDaysPerYear = 12 * kMeetingWeekends * 2 * kVenuesPerDate;
constexpr std::array<std::array<int, kVenuesPerDate>, 12> kSchedule = {{
    {6, 7, 8},
    {5, 8, 10},
    {6, 7, 9},
    {3, 6, 9},
    {4, 5, 8},
    {2, 5, 9},
    {2, 3, 7},
    {1, 4, 10},
    {4, 6, 9},
    {3, 5, 8},
    {5, 8, 10},
    {6, 7, 9},
}};
static_assert(kDaysPerYear == 288);

struct RaceDay
{
    QDate date;
    int venue = 1;
    int meetingNo = 1;
    int meetingDay = 1;
};

RaceDay raceDay(int day)
{
    const int year = 2026 + day / kDaysPerYear;
    const int inYear = day % kDaysPerYear;
    const int meeting = inYear / (kMeetingWeekends * 2 * kVenuesPerDate);
    const int inMeeting = inYear % (kMeetingWeekends * 2 * kVenuesPerDate);
    const int dateInMeeting = inMeeting / kVenuesPerDate;

    RaceDay result;
    result.venue = kSchedule[static_cast<std::size_t>(meeting)]
                            [static_cast<std::size_t>(inMeeting % kVenuesPerDate)];
    for (int m = 0; m < meeting; ++m) {
        const auto& venues = kSchedule[static_cast<std::size_t>(m)];
        result.meetingNo += static_cast<int>(std::ranges::count(venues, result.venue));
    }
    result.meetingDay = dateInMeeting + 1;
    const QDate newYear(year, 1, 1);
    const QDate firstSaturday = newYear.addDays((6 - newYear.dayOfWeek() + 7) % 7);
    result.date = firstSaturday.addDays(7 * (meeting * kMeetingWeekends + dateInMeeting / 2)
                                        + dateInMeeting % 2);
    return result;
}

// Odds as PAT shows them: cut to tenths, never below 1.0.
double shownOdds(double odds)
{
    return std::max(1.0, std::floor(odds * 10.0 + 1e-9) / 10.0);
}

// Yen paid per 100 yen at the shown odds: the pool's value, not capped as the odds files are.
int payoutOf(double odds)
{
    return static_cast<int>(std::lround(shownOdds(odds) * 100.0));
}

QString twoDigits(int value)
{
    return u"%1"_s.arg(value, 2, 10, QChar(u'0'));
}

int drawRunners(PatRandom& random)
{
    // Mostly full fields, as in JRA racing; now and then a small one with two places paid.
    if (random.uniform() < 0.06) {
        return random.between(5, 7);
    }
    return std::max(random.between(8, 18), random.between(8, 18));
}

// Chances of a race under the Harville model: a horse's chance to come next among those left
// is its win chance over theirs. Horse k at index k − 1; a scratched horse has chance 0.
struct Chances
{
    using Table = std::array<std::array<double, kMaxRunners>, kMaxRunners>;
    std::array<double, kMaxRunners> win{}, placed{};
    Table firstTwo{}; ///< [i][j], i < j: the two finish first and second in either order
    Table topThree{}; ///< [i][j], i < j: both finish in the first three
};

Chances harvilleChances(const std::vector<double>& p, int places)
{
    const auto n = p.size();
    Chances c;
    std::array<double, kMaxRunners> second{}, third{};
    for (std::size_t a = 0; a < n; ++a) {
        c.win[a] = p[a];
        if (p[a] == 0.0) {
            continue;
        }
        for (std::size_t b = 0; b < n; ++b) {
            if (b == a || p[b] == 0.0) {
                continue;
            }
            const double ab = p[a] * p[b] / (1.0 - p[a]);
            second[b] += ab;
            c.firstTwo[std::min(a, b)][std::max(a, b)] += ab;
            for (std::size_t x = 0; x < n; ++x) {
                if (x == a || x == b || p[x] == 0.0) {
                    continue;
                }
                const double abx = ab * p[x] / (1.0 - p[a] - p[b]);
                third[x] += abx;
                c.topThree[std::min(a, b)][std::max(a, b)] += abx;
                c.topThree[std::min(a, x)][std::max(a, x)] += abx;
                c.topThree[std::min(b, x)][std::max(b, x)] += abx;
            }
        }
    }
    for (std::size_t k = 0; k < n; ++k) {
        c.placed[k] = p[k] + second[k] + (places == 3 ? third[k] : 0.0);
    }
    return c;
}

struct SeasonRace
{
    GeneratedRace race;
    Chances chances;
    std::vector<double> wideOdds; // unrounded, planted edge included; by pair in file order
};

void scratchAndPrice(PatRandom& random, SeasonRace& s, double wideLongshotFactor)
{
    GeneratedRace& race = s.race;
    const int n = race.runners();
    int scratched = 0;
    for (auto& horse : race.horses) {
        // Only in full fields, so that the number of places paid stays as drawn.
        if (n >= 10 && scratched < 2 && random.uniform() < 0.015) {
            horse.scratched = true;
            ++scratched;
        }
    }
    const int starters = n - scratched;
    const int places = starters <= 7 ? 2 : 3;

    // Log-normal strengths; the spread varies from an open race to one with a clear favourite.
    const double spread = 1.0 + 0.5 * random.uniform();
    std::vector<double> p(static_cast<std::size_t>(n), 0.0);
    double total = 0.0;
    for (int k = 0; k < n; ++k) {
        if (!race.horses[static_cast<std::size_t>(k)].scratched) {
            p[static_cast<std::size_t>(k)] = std::exp(spread * random.normal());
            total += p[static_cast<std::size_t>(k)];
        }
    }
    for (double& chance : p) {
        if (chance != 0.0) {
            chance = kLeastWinChance + (1.0 - kLeastWinChance * starters) * chance / total;
        }
    }
    s.chances = harvilleChances(p, places);
    const Chances& c = s.chances;

    // Bettors stake in proportion to the chances, so each pool pays its return over the chance.
    for (std::size_t k = 0; k < race.horses.size(); ++k) {
        GeneratedHorse& horse = race.horses[k];
        if (horse.scratched) {
            continue;
        }
        horse.winProbability = p[k];
        horse.winOdds = std::min(shownOdds(kWinReturn / p[k]), kMaxWinOdds);
        // What a place pays depends on the other horses placed: a band around the even split.
        const double place = kWinReturn / c.placed[k];
        horse.placeOddsMin = std::min(shownOdds(place * 0.8), kMaxWinOdds);
        horse.placeOddsMax = std::min(shownOdds(place * 1.25), kMaxWinOdds);
    }
    for (int i = 1; i <= n; ++i) {
        for (int j = i + 1; j <= n; ++j) {
            GeneratedPair pair{i, j, 0.0, 0.0, 0.0};
            const auto a = static_cast<std::size_t>(i - 1);
            const auto b = static_cast<std::size_t>(j - 1);
            const GeneratedHorse& first = race.horses[a];
            const GeneratedHorse& second = race.horses[b];
            double wide = 0.0;
            if (!first.scratched && !second.scratched) {
                pair.quinellaOdds
                    = std::min(shownOdds(kPairReturn / c.firstTwo[a][b]), kMaxPairOdds);
                wide = kPairReturn / c.topThree[a][b];
                if (first.winOdds >= 10.0 && second.winOdds >= 10.0) {
                    wide *= wideLongshotFactor;
                }
                pair.wideOddsMin = std::min(shownOdds(wide * 0.9), kMaxPairOdds);
                pair.wideOddsMax = std::min(shownOdds(wide * 1.1), kMaxPairOdds);
            }
            race.pairs.push_back(pair);
            s.wideOdds.push_back(wide);
        }
    }
}

void runRace(PatRandom& random, SeasonRace& s, const SeasonOptions& options)
{
    GeneratedRace& race = s.race;
    const Chances& c = s.chances;
    const int n = race.runners();
    std::vector<int> left;
    for (int k = 1; k <= n; ++k) {
        if (!race.horses[static_cast<std::size_t>(k - 1)].scratched) {
            left.push_back(k);
        }
    }
    std::vector<double> weight(static_cast<std::size_t>(n) + 1);
    while (!left.empty()) {
        const std::size_t place = race.finishOrder.size();
        const double power = place == 1 ? options.orderLambda : place == 2 ? options.orderTau : 1.0;
        double total = 0.0;
        for (int k : left) {
            const double p = c.win[static_cast<std::size_t>(k - 1)];
            // Harville's own weights untouched, so that 1 and 1 draw the orders as before.
            weight[static_cast<std::size_t>(k)] = power == 1.0 ? p : std::pow(p, power);
            total += weight[static_cast<std::size_t>(k)];
        }
        double draw = random.uniform() * total;
        std::size_t chosen = left.size() - 1;
        for (std::size_t r = 0; r + 1 < left.size(); ++r) {
            draw -= weight[static_cast<std::size_t>(left[r])];
            if (draw < 0.0) {
                chosen = r;
                break;
            }
        }
        race.finishOrder.push_back(left[chosen]);
        left.erase(left.begin() + static_cast<std::ptrdiff_t>(chosen));
    }
    race.hasResult = true;

    const std::vector<int>& order = race.finishOrder;
    const auto index = [](int no) {
        return static_cast<std::size_t>(no - 1);
    };
    const auto horseKey = [](int no) {
        return u"%1"_s.arg(no, 2);
    };
    const auto pairIndex = [n](int a, int b) {
        const int i = std::min(a, b);
        const int j = std::max(a, b);
        return static_cast<std::size_t>((i - 1) * n - (i - 1) * i / 2 + (j - i - 1));
    };

    race.winPayouts.push_back({horseKey(order[0]), payoutOf(kWinReturn / c.win[index(order[0])])});
    const std::size_t places = order.size() <= 7 ? 2 : 3;
    for (std::size_t r = 0; r < places; ++r) {
        race.placePayouts.push_back(
            {horseKey(order[r]), payoutOf(kWinReturn / c.placed[index(order[r])])});
    }

    // A bracket pair comes in when any two of its horses finish first and second.
    const std::vector<int> brackets = bracketsOf(n);
    const int b1 = std::min(brackets[index(order[0])], brackets[index(order[1])]);
    const int b2 = std::max(brackets[index(order[0])], brackets[index(order[1])]);
    double bracketChance = 0.0;
    for (std::size_t i = 0; i < brackets.size(); ++i) {
        for (std::size_t j = i + 1; j < brackets.size(); ++j) {
            if (std::min(brackets[i], brackets[j]) == b1
                && std::max(brackets[i], brackets[j]) == b2) {
                bracketChance += c.firstTwo[i][j];
            }
        }
    }
    race.bracketQuinellaPayouts.push_back(
        {u"%1-%2"_s.arg(b1).arg(b2), payoutOf(kPairReturn / bracketChance)});

    const std::size_t first = std::min(index(order[0]), index(order[1]));
    const std::size_t second = std::max(index(order[0]), index(order[1]));
    race.quinellaPayouts.push_back(
        {pairLabel(order[0], order[1]), payoutOf(kPairReturn / c.firstTwo[first][second])});
    for (std::size_t x = 0; x < 3; ++x) {
        for (std::size_t y = x + 1; y < 3; ++y) {
            race.widePayouts.push_back({pairLabel(order[x], order[y]),
                                        payoutOf(s.wideOdds[pairIndex(order[x], order[y])])});
        }
    }
}

} // namespace

QString seasonOptionsError(const SeasonOptions& options)
{
    if (options.days < 1 || options.days > kMaxSeasonDays) {
        return u"a season has 1 to %1 race days"_s.arg(kMaxSeasonDays);
    }
    if (!(options.wideLongshotFactor > 0.0) || !std::isfinite(options.wideLongshotFactor)) {
        return u"the wide longshot factor must be a number above 0"_s;
    }
    for (const double power : {options.orderLambda, options.orderTau}) {
        if (!(power > 0.0) || !std::isfinite(power)) {
            return u"the order model's exponents must be numbers above 0"_s;
        }
    }
    return {};
}

std::vector<GeneratedRace> generateSeasonDay(const SeasonOptions& options, int day)
{
    const RaceDay when = raceDay(day);
    const QString date = when.date.toString(u"yyyyMMdd"_s);
    const QString venueCode = twoDigits(when.venue);
    // Each day its own stream, so that a day can be made without the days before it.
    PatRandom random(
        PatRandom(options.seed + 0x632BE59BD9B4E019ULL * static_cast<std::uint64_t>(day + 1))
            .next());
    std::vector<GeneratedRace> races;
    races.reserve(kSeasonRacesPerDay);
    for (int r = 0; r < kSeasonRacesPerDay; ++r) {
        SeasonRace s;
        s.race = generateRaceCard(random, r, drawRunners(random));
        GeneratedRace& race = s.race;
        race.date = date;
        race.venueCode = venueCode;
        race.venueName = QString::fromUtf16(kVenueNames[when.venue - 1]);
        race.meetingNo = when.meetingNo;
        race.meetingDay = when.meetingDay;
        race.fileKey = date.mid(2) + venueCode + twoDigits(race.raceNo);
        scratchAndPrice(random, s, options.wideLongshotFactor);
        runRace(random, s, options);
        races.push_back(std::move(race));
    }
    return races;
}

bool writeSeason(const QString& folder, const SeasonOptions& options, QString* error)
{
    const QString problem = seasonOptionsError(options);
    if (!problem.isEmpty() || !QDir().mkpath(folder)) {
        if (error != nullptr) {
            *error = !problem.isEmpty()
                         ? problem
                         : u"cannot create %1"_s.arg(QDir::toNativeSeparators(folder));
        }
        return false;
    }
    const QDir dir(folder);
    for (int day = 0; day < options.days; ++day) {
        for (const GeneratedRace& race : generateSeasonDay(options, day)) {
            // Plain writes, not writeRaceSet's synced ones: a season's files are many, and
            // the seed makes them again.
            for (const RaceFile& made : raceSetFiles(race)) {
                QFile file(dir.filePath(made.name));
                if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
                    || file.write(made.bytes) != made.bytes.size() || !file.flush()) {
                    if (error != nullptr) {
                        *error = u"%1: %2"_s.arg(QDir::toNativeSeparators(file.fileName()),
                                                 file.errorString());
                    }
                    return false;
                }
            }
        }
    }
    return true;
}
