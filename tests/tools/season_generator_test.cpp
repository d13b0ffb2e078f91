// SPDX-License-Identifier: MIT
// A season from patgen --season reads back with the program's readers, pays what its odds
// promise, returns what a pool after takeout returns, and carries a planted edge only where it
// was planted.
#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <memory>

#include <QDir>
#include <QFile>

#include "base/cell.h"
#include "pat/pat_names.h"
#include "pat/quinella_odds.h"
#include "pat/race_result.h"
#include "pat/win_place_odds.h"
#include "season_generator.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kDays = 12;
constexpr double kCappedPairOdds = 9999.9; // the most a Uo- field shows

double number(QStringView text)
{
    return text.trimmed().toDouble();
}

// Yen per 100 yen at odds shown as text.
long hundredfold(QStringView odds)
{
    return std::lround(number(odds) * 100);
}

template<int N>
int yen(const PatText<N>& text)
{
    return text.trimmed().toInt();
}

// Whether a payout key names the pair of horses a and b as the program's pair labels do.
bool names(QStringView key, int a, int b)
{
    return Cell::pairOfLabel(key.trimmed()) == std::min(a, b) * 100 + std::max(a, b);
}

std::string text(const QuinellaPairEntry& e)
{
    return QString(e.quinellaOdds.view() + e.wideOddsMin.view() + e.wideOddsMax.view())
        .toStdString();
}

struct ReadRace
{
    QString zoName;
    WinPlaceOddsRecord odds;
    std::unique_ptr<QuinellaOddsRecord> pairs = std::make_unique<QuinellaOddsRecord>();
    RaceResultRecord result;
};

// Every race of a season folder, in file name order (ordinal, ignoring case).
std::vector<ReadRace> readSeason(const QString& folder)
{
    QStringList names = QDir(folder).entryList({u"Zo-*.jra"_s}, QDir::Files);
    std::ranges::sort(names, [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    std::vector<ReadRace> races(static_cast<std::size_t>(names.size()));
    RecordingMessageSink sink;
    for (qsizetype k = 0; k < names.size(); ++k) {
        ReadRace& race = races[static_cast<std::size_t>(k)];
        race.zoName = names[k];
        const QString zo = QDir(folder).filePath(names[k]);
        const QString ks = raceResultPathOf(zo);
        EXPECT_TRUE(readWinPlaceOddsFile(zo, race.odds, sink)) << names[k].toStdString();
        EXPECT_TRUE(readQuinellaOddsFile(quinellaOddsPathOf(zo), *race.pairs, sink));
        EXPECT_FALSE(ks.isEmpty()) << names[k].toStdString() << " has no result";
        EXPECT_TRUE(ks.isEmpty() || readRaceResultFile(ks, race.result));
    }
    EXPECT_TRUE(sink.messages.empty());
    return races;
}

std::map<QString, QByteArray> folderBytes(const QString& folder)
{
    std::map<QString, QByteArray> files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files)) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        files[name] = file.readAll();
    }
    return files;
}

QString writtenSeason(const TestFolder& folder, std::uint64_t seed, double wideLongshotFactor)
{
    SeasonOptions options;
    options.seed = seed;
    options.days = kDays;
    options.wideLongshotFactor = wideLongshotFactor;
    QString error;
    EXPECT_TRUE(writeSeason(folder.path(), options, &error)) << error.toStdString();
    return folder.path();
}

} // namespace

TEST(SeasonGenerator, ReadsBackInRaceOrderAndPaysTheOddsShown)
{
    TestFolder folder, again;
    const auto races = readSeason(writtenSeason(folder, 5, 1.0));
    ASSERT_EQ(races.size(), std::size_t{kDays * kSeasonRacesPerDay});
    EXPECT_TRUE(folderBytes(folder.path()) == folderBytes(writtenSeason(again, 5, 1.0)));

    QString lastDay;
    for (std::size_t r = 0; r < races.size(); ++r) {
        const ReadRace& race = races[r];
        SCOPED_TRACE(race.zoName.toStdString());
        // In name order the races run 1 to 12 on each day, and the days go forward.
        const QString day = race.odds.header.field0.toString() + race.odds.header.field16.view();
        EXPECT_EQ(race.odds.header.raceNo.view().toInt(), static_cast<int>(r) % 12 + 1);
        EXPECT_EQ(day != lastDay, r % 12 == 0);
        EXPECT_LE(lastDay, day);
        lastDay = day;

        const int runners = runnerCountOf(race.odds.header.runnerCount);
        int starters = 0;
        for (int k = 1; k <= runners; ++k) {
            starters += race.odds.horse(k).winOdds.view().contains(u"ﾄﾘｹｼ") ? 0 : 1;
        }
        EXPECT_GE(starters, 5);
        const auto& result = race.result;
        const int first = yen(result.finishers[0].finishCol2);
        EXPECT_EQ(yen(result.winPayouts[0].betKey), first);
        EXPECT_EQ(yen(result.winPayouts[0].payout),
                  hundredfold(race.odds.horse(first).winOdds.view()));

        const int places = starters <= 7 ? 2 : 3;
        for (int p = 0; p < 5; ++p) {
            const auto& slot = result.placePayouts[static_cast<std::size_t>(p)];
            ASSERT_EQ(slot.betKey.trimmed().isEmpty(), p >= places);
            if (p < places) {
                const int horse = yen(slot.betKey);
                EXPECT_EQ(horse, yen(result.finishers[static_cast<std::size_t>(p)].finishCol2));
                EXPECT_GE(yen(slot.payout),
                          hundredfold(race.odds.horse(horse).placeOddsMin.view()));
                EXPECT_LE(yen(slot.payout),
                          hundredfold(race.odds.horse(horse).placeOddsMax.view()));
            }
        }

        const int second = yen(result.finishers[1].finishCol2);
        EXPECT_TRUE(names(result.quinellaPayouts[0].betKey.view(), first, second));
        const double quinella = number(
            race.pairs->pair(std::min(first, second), std::max(first, second)).quinellaOdds.view());
        if (quinella < kCappedPairOdds) {
            EXPECT_EQ(yen(result.quinellaPayouts[0].payout), std::lround(quinella * 100));
        }

        // One wide payout for each pair of the first three, within the odds the pair showed.
        std::size_t slot = 0;
        for (std::size_t x = 0; x < 3; ++x) {
            for (std::size_t y = x + 1; y < 3; ++y, ++slot) {
                const int a = yen(result.finishers[x].finishCol2);
                const int b = yen(result.finishers[y].finishCol2);
                const auto& payout = result.widePayouts[slot];
                const auto& odds = race.pairs->pair(std::min(a, b), std::max(a, b));
                EXPECT_TRUE(names(payout.betKey.view(), a, b));
                EXPECT_GE(yen(payout.payout), hundredfold(odds.wideOddsMin.view()));
                if (number(odds.wideOddsMax.view()) < kCappedPairOdds) {
                    EXPECT_LE(yen(payout.payout), hundredfold(odds.wideOddsMax.view()));
                }
            }
        }
        EXPECT_TRUE(result.widePayouts[3].betKey.trimmed().isEmpty());
    }
}

TEST(SeasonGenerator, PairBetsReturnThePoolsShareAfterTakeout)
{
    // 100 yen on every quinella and every wide pair of 480 race days (generated, not written:
    // the races are what the files hold), paid when the program's label of the pair is a
    // payout key. The pools return 77.5%. A longshot pair pays thousands of stakes now and
    // then, so the return is skewed upwards: over a hundred seeds 480 days gave 71% to 87%. The
    // band is wide of that, yet odds from ordered instead of either-order chances, or a finish
    // not drawn by the win chances, land far outside it.
    SeasonOptions options;
    options.seed = 11;
    options.days = 480;
    double staked = 0.0;
    double paid = 0.0;
    for (int day = 0; day < options.days; ++day) {
        for (const GeneratedRace& race : generateSeasonDay(options, day)) {
            for (const GeneratedPair& pair : race.pairs) {
                if (pair.quinellaOdds == 0.0) {
                    continue; // a scratched horse: no bet
                }
                staked += 200.0;
                const QStringView label
                    = Cell::pairLabel(pair.first, pair.second).textValue().trimmed();
                for (const auto* payouts : {&race.quinellaPayouts, &race.widePayouts}) {
                    for (const GeneratedPayout& payout : *payouts) {
                        paid += QStringView(payout.key).trimmed() == label ? payout.amount : 0;
                    }
                }
            }
        }
    }
    EXPECT_GT(paid / staked, 0.65);
    EXPECT_LT(paid / staked, 0.90);
}

TEST(SeasonGenerator, PlantedEdgeMultipliesOnlyWidesOfTwoLongshots)
{
    constexpr double kFactor = 1.6;
    TestFolder plainFolder, plantedFolder;
    const auto plain = readSeason(writtenSeason(plainFolder, 9, 1.0));
    const auto planted = readSeason(writtenSeason(plantedFolder, 9, kFactor));
    ASSERT_EQ(plain.size(), planted.size());

    // Shown odds and payouts are cut to tenths of the multiplied value.
    const auto expectPlanted = [&](double before, double after, double tenth) {
        EXPECT_GT(after, before * kFactor - tenth - 1e-6);
        EXPECT_LT(after, before * kFactor + tenth * kFactor + 1e-6);
    };
    int plantedPairs = 0;
    int plantedPayouts = 0;
    for (std::size_t r = 0; r < plain.size(); ++r) {
        const ReadRace& was = plain[r];
        const ReadRace& is = planted[r];
        SCOPED_TRACE(was.zoName.toStdString());
        ASSERT_EQ(was.odds, is.odds);
        const auto longshot = [&was](int horse) {
            return number(was.odds.horse(horse).winOdds.view()) >= 10.0;
        };
        const int runners = runnerCountOf(was.odds.header.runnerCount);
        for (int a = 1; a <= runners; ++a) {
            for (int b = a + 1; b <= runners; ++b) {
                const QuinellaPairEntry& before = was.pairs->pair(a, b);
                const QuinellaPairEntry& after = is.pairs->pair(a, b);
                EXPECT_EQ(before.quinellaOdds.toString().toStdString(),
                          after.quinellaOdds.toString().toStdString());
                if (!longshot(a) || !longshot(b) || before.quinellaOdds.view().contains(u"ﾄﾘｹｼ")) {
                    EXPECT_EQ(text(before), text(after)) << a << "-" << b;
                } else if (number(after.wideOddsMax.view()) < kCappedPairOdds) {
                    ++plantedPairs;
                    expectPlanted(
                        number(before.wideOddsMin.view()), number(after.wideOddsMin.view()), 0.1);
                    expectPlanted(
                        number(before.wideOddsMax.view()), number(after.wideOddsMax.view()), 0.1);
                }
            }
        }
        RaceResultRecord unplanted = is.result;
        for (std::size_t s = 0; s < 3; ++s) {
            const QString key = was.result.widePayouts[s].betKey.trimmed().toString();
            const int pair = Cell::pairOfLabel(key);
            ASSERT_EQ(key, is.result.widePayouts[s].betKey.trimmed());
            if (longshot(pair / 100) && longshot(pair % 100)) {
                ++plantedPayouts;
                expectPlanted(yen(was.result.widePayouts[s].payout),
                              yen(is.result.widePayouts[s].payout),
                              10.0);
                unplanted.widePayouts[s] = was.result.widePayouts[s];
            }
        }
        EXPECT_EQ(unplanted, was.result);
    }
    EXPECT_GT(plantedPairs, 1000);
    EXPECT_GT(plantedPayouts, 20);
}

TEST(SeasonGenerator, DiscountedOrdersGiveLongshotsMoreSecondAndThirdPlacesUnderTheSameOdds)
{
    // Both seasons draw the same random numbers, so races, odds and winners are the same and
    // only the places after the first move. Measured: the share of second and of third places
    // taken by a horse with a win chance below its race's median. Over a hundred seeds of 240
    // days the discounted orders raised it by 0.031 to 0.064 for second and 0.074 to 0.108 for
    // third (seed 7: 0.049 and 0.086); with the third drawn by 0.81 as well, or the two powers
    // swapped, the third rose by 0.056 at most, and by nothing with the powers left out.
    SeasonOptions harville;
    harville.seed = 7;
    harville.days = 240;
    SeasonOptions discounted = harville;
    discounted.orderLambda = 0.81;
    discounted.orderTau = 0.65;
    std::array<int, 3> harvilleBelow{}, discountedBelow{};
    int races = 0;
    int otherWinners = 0;
    for (int day = 0; day < harville.days; ++day) {
        const auto plain = generateSeasonDay(harville, day);
        const auto moved = generateSeasonDay(discounted, day);
        for (std::size_t r = 0; r < plain.size(); ++r) {
            ++races;
            otherWinners
                += moved[r].finishOrder[0] != plain[r].finishOrder[0]
                           || moved[r].winPayouts[0].amount != plain[r].winPayouts[0].amount
                       ? 1
                       : 0;
            std::vector<double> chances;
            for (const GeneratedHorse& horse : plain[r].horses) {
                if (!horse.scratched) {
                    chances.push_back(horse.winProbability);
                }
            }
            const auto middle = chances.begin() + static_cast<std::ptrdiff_t>(chances.size() / 2);
            std::ranges::nth_element(chances, middle);
            const auto below = [&](const GeneratedRace& race, std::size_t place) {
                const auto horse = static_cast<std::size_t>(race.finishOrder[place] - 1);
                return race.horses[horse].winProbability < *middle ? 1 : 0;
            };
            for (std::size_t place = 1; place < 3; ++place) {
                harvilleBelow[place] += below(plain[r], place);
                discountedBelow[place] += below(moved[r], place);
            }
        }
    }
    EXPECT_EQ(otherWinners, 0);
    const auto rise = [&](std::size_t place) {
        return static_cast<double>(discountedBelow[place] - harvilleBelow[place]) / races;
    };
    EXPECT_GT(rise(1), 0.015);
    EXPECT_GT(rise(2), 0.065);
}
