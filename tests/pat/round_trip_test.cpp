// SPDX-License-Identifier: MIT
// Races written by the sample generator read back field for field, and every truncation of a
// generated file of each kind is refused.
#include <functional>
#include <gtest/gtest.h>

#include "pat/pat_names.h"
#include "pat/quinella_odds.h"
#include "pat/race_card.h"
#include "pat/race_result.h"
#include "pat/win_place_odds.h"
#include "race_generator.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

template<int N>
QString padded(const QString& text)
{
    return PatText<N>::fromString(text).toString();
}

QString zeroPadded(int value)
{
    return u"%1"_s.arg(value, 2, 10, QChar(u'0'));
}

} // namespace

class RoundTrip : public testing::TestWithParam<int>
{};

TEST_P(RoundTrip, ReadersReturnWhatTheGeneratorWrote)
{
    const int runners = GetParam();
    PatRandom random(static_cast<std::uint64_t>(runners) * 31U);
    const GeneratedRace race = generateRace(random, runners, runners, true);
    TestFolder folder;
    QString error;
    ASSERT_TRUE(writeRaceSet(folder.path(), race, &error)) << error.toStdString();
    const QString zo = folder.filePath(winPlaceOddsFileName(race));

    RecordingMessageSink sink;
    WinPlaceOddsRecord wp;
    ASSERT_TRUE(readWinPlaceOddsFile(zo, wp, sink));
    EXPECT_EQ(wp.header.venueName.toString(), padded<4>(race.venueName));
    EXPECT_EQ(wp.header.meetingNo.view(), zeroPadded(race.meetingNo));
    EXPECT_EQ(wp.header.meetingDay.view(), zeroPadded(race.meetingDay));
    EXPECT_EQ(wp.header.raceNo.view(), zeroPadded(race.raceNo));
    EXPECT_EQ(wp.header.formatMark.view(), QString(race.formatMark));
    EXPECT_EQ(wp.header.raceName.toString(), padded<28>(race.raceName));
    EXPECT_EQ(wp.header.conditions.toString(), padded<64>(race.conditions));
    EXPECT_EQ(runnerCountOf(wp.header.runnerCount), runners);
    for (int k = 1; k <= runners; ++k) {
        const auto& horse = race.horses[static_cast<std::size_t>(k - 1)];
        const auto& e = wp.horse(k);
        if (horse.scratched) {
            EXPECT_EQ(e.winOdds.view(), u"ﾄﾘｹｼ ");
        } else {
            EXPECT_EQ(e.winOdds.view(), formatOdds(horse.winOdds, 5));
            EXPECT_EQ(e.placeOddsMin.view(), formatOdds(horse.placeOddsMin, 5));
            EXPECT_EQ(e.placeOddsMax.view(), formatOdds(horse.placeOddsMax, 5));
        }
    }

    QuinellaOddsRecord q;
    ASSERT_TRUE(readQuinellaOddsFile(quinellaOddsPathOf(zo), q, sink));
    EXPECT_EQ(q.header, wp.header);
    for (const auto& pair : race.pairs) {
        const auto& e = q.pair(pair.first, pair.second);
        if (pair.quinellaOdds == 0.0) {
            EXPECT_TRUE(e.quinellaOdds.view().contains(u"ﾄﾘｹｼ"));
            EXPECT_TRUE(e.wideOddsMin.view().contains(u"ﾄﾘｹｼ"));
        } else {
            EXPECT_EQ(e.quinellaOdds.view(), formatOdds(pair.quinellaOdds, 6));
            EXPECT_EQ(e.wideOddsMin.view(), formatOdds(pair.wideOddsMin, 6));
            EXPECT_EQ(e.wideOddsMax.view(), formatOdds(pair.wideOddsMax, 6));
        }
    }

    RaceCardRecord card;
    ASSERT_TRUE(readRaceCardFile(raceCardPathOf(zo), card));
    EXPECT_EQ(card.startTime.view(), race.startTime);
    EXPECT_EQ(runnerCountOf(card.runnerCount), runners);
    for (int k = 1; k <= runners; ++k) {
        EXPECT_EQ(card.horse(k).horseName.toString(),
                  padded<18>(race.horses[static_cast<std::size_t>(k - 1)].name));
    }

    const QString ks = raceResultPathOf(zo);
    ASSERT_EQ(ks, folder.filePath(raceResultFileName(race)));
    RaceResultRecord result;
    ASSERT_TRUE(readRaceResultFile(ks, result));
    for (std::size_t r = 0; r < 7; ++r) {
        const auto& slot = result.finishers[r];
        if (r < race.finishOrder.size()) {
            const int no = race.finishOrder[r];
            EXPECT_EQ(slot.finishCol2.trimmed().toInt(), no);
            EXPECT_EQ(slot.horseName.toString(),
                      padded<18>(race.horses[static_cast<std::size_t>(no - 1)].name));
        } else {
            EXPECT_EQ(slot, FinisherSlot{});
        }
    }
    const auto checkPayouts
        = [](const auto& entries, const std::vector<GeneratedPayout>& expected) {
              for (std::size_t s = 0; s < entries.size(); ++s) {
                  if (s < expected.size()) {
                      EXPECT_EQ(entries[s].betKey.trimmed(), expected[s].key.trimmed());
                      EXPECT_EQ(entries[s].payout.trimmed().toInt(), expected[s].amount);
                  } else {
                      EXPECT_TRUE(entries[s].betKey.trimmed().isEmpty());
                  }
              }
          };
    checkPayouts(result.winPayouts, race.winPayouts);
    checkPayouts(result.placePayouts, race.placePayouts);
    checkPayouts(result.bracketQuinellaPayouts, race.bracketQuinellaPayouts);
    checkPayouts(result.quinellaPayouts, race.quinellaPayouts);
    checkPayouts(result.widePayouts, race.widePayouts);
    EXPECT_TRUE(sink.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Runners, RoundTrip, testing::Values(2, 3, 7, 8, 12, 17, 18));

struct Kind
{
    const char* name;
    std::function<QByteArray(const GeneratedRace&)> write;
    std::function<bool(QByteArrayView, MessageSink&)> read;
};

void PrintTo(const Kind& kind, std::ostream* os)
{
    *os << kind.name;
}

class Truncated : public testing::TestWithParam<Kind>
{};

// Every prefix of a complete 18-runner file is refused without a message; the whole file reads.
TEST_P(Truncated, EveryOffsetFails)
{
    PatRandom random(7);
    const GeneratedRace race = generateRace(random, 0, 18, true);
    const QByteArray bytes = GetParam().write(race);
    RecordingMessageSink sink;
    for (qsizetype size = 0; size < bytes.size(); ++size) {
        ASSERT_FALSE(GetParam().read(bytes.left(size), sink)) << "size " << size;
    }
    EXPECT_TRUE(GetParam().read(bytes, sink));
    EXPECT_TRUE(sink.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds,
                         Truncated,
                         testing::Values(Kind{"WinPlaceOdds",
                                              winPlaceOddsBytes,
                                              [](QByteArrayView b, MessageSink& s) {
                                                  WinPlaceOddsRecord r;
                                                  return readWinPlaceOdds(b, r, s);
                                              }},
                                         Kind{"QuinellaOdds",
                                              quinellaOddsBytes,
                                              [](QByteArrayView b, MessageSink& s) {
                                                  auto r = std::make_unique<QuinellaOddsRecord>();
                                                  return readQuinellaOdds(b, *r, s);
                                              }},
                                         Kind{"RaceCard",
                                              raceCardBytes,
                                              [](QByteArrayView b, MessageSink&) {
                                                  RaceCardRecord r;
                                                  return readRaceCard(b, r);
                                              }},
                                         Kind{"RaceResult",
                                              raceResultBytes,
                                              [](QByteArrayView b, MessageSink&) {
                                                  RaceResultRecord r;
                                                  return readRaceResult(b, r);
                                              }}),
                         [](const auto& param) { return std::string(param.param.name); });
