// SPDX-License-Identifier: MIT
// The readers against the byte layouts of the four PAT file kinds. Expected values are written
// at the layouts' offsets here, independently of the sample generator.
#include <gtest/gtest.h>

#include "pat/pat_header.h"
#include "pat/quinella_odds.h"
#include "pat/race_card.h"
#include "pat/race_result.h"
#include "pat/win_place_odds.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

QByteArray ascii(const char* text)
{
    return QByteArray(text);
}

ByteLayout patHeader(const char* mark = " ", const char* runners = "18")
{
    ByteLayout b(kPatHeaderSize);
    b.put(0, ascii("20261206")).put(8, ascii("ABCDEFGH")).put(16, ascii("05"));
    b.put(18, ascii("12345678")).put(26, ascii("01")).put(28, u"東京"_s).put(32, ascii("WXYZ"));
    b.put(36, ascii("05")).put(38, ascii("02")).put(40, ascii("11")).put(42, ascii("x"));
    b.put(43, ascii(mark)).put(44, ascii("1600")).put(48, u"ジャパンカップ"_s);
    b.put(76, u"サラ系３歳以上　オープン"_s).put(140, ascii(runners));
    return b;
}

// Win odds "k.5", place range "1.k" to "2.k" for horse k.
ByteLayout winPlaceOdds(const char* runners, int entries)
{
    ByteLayout b = patHeader(" ", runners);
    for (int k = 1; k <= entries; ++k) {
        const qsizetype at = kPatHeaderSize + 18 * (k - 1);
        b.put(at, ascii("7")).put(at + 1, QString::number(k).rightJustified(2, u'0').toLatin1());
        b.put(at + 3, u"%1.5"_s.arg(k).rightJustified(5).toLatin1());
        b.put(at + 8, u"1.%1"_s.arg(k).rightJustified(5).toLatin1());
        b.put(at + 13, u"2.%1"_s.arg(k).rightJustified(5).toLatin1());
    }
    return b;
}

// Quinella odds "i.j" and wide range "i" to "j" for pair (i, j), entries in file order.
ByteLayout quinellaOdds(const char* runners, int n)
{
    ByteLayout b = patHeader("2", runners);
    b.put(142, ascii("QQ"));
    qsizetype at = 144;
    for (int i = 1; i <= n; ++i) {
        for (int j = i + 1; j <= n; ++j, at += 25) {
            b.put(at, ascii("ab")).put(at + 2, ascii("cdefg"));
            b.put(at + 7, u"%1.%2"_s.arg(i).arg(j).rightJustified(6).toLatin1());
            b.put(at + 13, QString::number(i).rightJustified(6).toLatin1());
            b.put(at + 19, QString::number(j).rightJustified(6).toLatin1());
        }
    }
    return b;
}

ByteLayout raceCard(const char* runners, int entries)
{
    ByteLayout b(kRaceCardHeaderSize);
    b.put(0, ascii("20261206"))
        .put(22, ascii("0945"))
        .put(34, u"有馬記念"_s)
        .put(90, ascii(runners));
    for (int k = 1; k <= entries; ++k) {
        const qsizetype at = kRaceCardHeaderSize + 48 * (k - 1);
        b.put(at, ascii("1")).put(at + 2, QString::number(k).rightJustified(2).toLatin1());
        b.put(at + 6, sjis(u"ウマ"_s) + QByteArray::number(k));
        b.put(at + 24, u"騎手"_s).put(at + 42, ascii(" 4")).put(at + 44, ascii("57.0"));
    }
    return b;
}

} // namespace

// ---- common header ---------------------------------------------------------------------------

TEST(PatHeader, ReadsEveryFieldAtItsOffsetPaddedToWidth)
{
    RecordingMessageSink sink;
    PatFileHeader h;
    const QByteArray bytes = patHeader().bytes();
    PatByteReader in(bytes);
    ASSERT_TRUE(readPatHeader(in, h, sink));
    EXPECT_EQ(in.position(), 142);
    EXPECT_EQ(h.field0.view(), u"20261206");
    EXPECT_EQ(h.field8.view(), u"ABCDEFGH");
    EXPECT_EQ(h.field16.view(), u"05");
    EXPECT_EQ(h.field18.view(), u"12345678");
    EXPECT_EQ(h.field26.view(), u"01");
    EXPECT_EQ(h.venueName.view(), u"東京  ");
    EXPECT_EQ(h.field32.view(), u"WXYZ");
    EXPECT_EQ(h.meetingNo.view(), u"05");
    EXPECT_EQ(h.meetingDay.view(), u"02");
    EXPECT_EQ(h.raceNo.view(), u"11");
    EXPECT_EQ(h.field42.view(), u"x");
    EXPECT_EQ(h.formatMark.view(), u" ");
    EXPECT_EQ(h.field44.view(), u"1600");
    EXPECT_EQ(h.raceName.view(), QString(u"ジャパンカップ" + QString(21, u' ')));
    EXPECT_EQ(h.conditions.view(), QString(u"サラ系３歳以上　オープン" + QString(52, u' ')));
    EXPECT_EQ(h.runnerCount.view(), u"18");
    EXPECT_TRUE(sink.messages.empty());
}

class FormatMark : public testing::TestWithParam<std::pair<const char*, bool>>
{};

TEST_P(FormatMark, OnlyBlankTwoOrThreeAreAccepted)
{
    const auto [mark, valid] = GetParam();
    RecordingMessageSink sink;
    PatFileHeader h;
    const QByteArray bytes = patHeader(mark).bytes();
    PatByteReader in(bytes);
    EXPECT_EQ(readPatHeader(in, h, sink), valid);
    if (valid) {
        EXPECT_TRUE(sink.messages.empty());
    } else {
        ASSERT_EQ(sink.messages.size(), 1u);
        EXPECT_EQ(sink.messages[0].text, u"ファイル形式が違います。");
        EXPECT_EQ(sink.messages[0].title, u"Mikazuki＋");
        EXPECT_EQ(sink.messages[0].icon, MessageIcon::None);
    }
}

INSTANTIATE_TEST_SUITE_P(Marks,
                         FormatMark,
                         testing::Values(std::pair{" ", true},
                                         std::pair{"2", true},
                                         std::pair{"3", true},
                                         std::pair{"1", false},
                                         std::pair{"0", false},
                                         std::pair{"a", false},
                                         std::pair{"\xB1", false},   // half-width katakana
                                         std::pair{"\x82", false})); // a lone lead byte

TEST(PatHeader, ShortHeaderFailsSilentlyAndFileReaderIgnoresTheRest)
{
    RecordingMessageSink sink;
    TestFolder folder;
    PatFileHeader h;
    const QByteArray bytes = patHeader("1").bytes();
    EXPECT_FALSE(readPatHeaderFile(folder.write(u"Zo-141.jra"_s, bytes.left(141)), h, sink));
    EXPECT_TRUE(sink.messages.empty());

    const QByteArray valid = patHeader().bytes();
    EXPECT_TRUE(readPatHeaderFile(folder.write(u"Zo-142.jra"_s, valid), h, sink));
    EXPECT_TRUE(readPatHeaderFile(
        folder.write(u"Zo-big.jra"_s, valid + QByteArray(5000, '\xFF')), h, sink));
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_FALSE(readPatHeaderFile(folder.filePath(u"Zo-none.jra"_s), h, sink));
}

// ---- Zo- -------------------------------------------------------------------------------------

TEST(WinPlaceOdds, ReadsEntriesOfExactLengthAndFailsOneByteShort)
{
    RecordingMessageSink sink;
    const QByteArray bytes = winPlaceOdds(" 3", 3).bytes();
    ASSERT_EQ(bytes.size(), 142 + 18 * 3);
    WinPlaceOddsRecord r;
    ASSERT_TRUE(readWinPlaceOdds(bytes, r, sink));
    EXPECT_EQ(r.horse(2).field0.view(), u"7");
    EXPECT_EQ(r.horse(2).field1.view(), u"02");
    EXPECT_EQ(r.horse(2).winOdds.view(), u"  2.5");
    EXPECT_EQ(r.horse(3).placeOddsMin.view(), u"  1.3");
    EXPECT_EQ(r.horse(3).placeOddsMax.view(), u"  2.3");
    EXPECT_EQ(r.horse(4), WinPlaceHorseEntry{});

    WinPlaceOddsRecord shortRecord;
    EXPECT_FALSE(readWinPlaceOdds(bytes.chopped(1), shortRecord, sink));
    EXPECT_TRUE(sink.messages.empty());
}

TEST(WinPlaceOdds, KeepsScratchedTextTrailingBytesAndUntouchedEntries)
{
    RecordingMessageSink sink;
    ByteLayout layout = winPlaceOdds("2", 2);
    layout.put(142 + 18 + 3, QByteArray("\xC4\xD8\xB9\xBC ", 5)); // ﾄﾘｹｼ for horse 2
    WinPlaceOddsRecord r;
    r.horse(5).winOdds = PatText<5>::fromString(u"old");
    ASSERT_TRUE(readWinPlaceOdds(QByteArray(layout.bytes() + "\r\nrest"), r, sink));
    EXPECT_EQ(r.horse(2).winOdds.view(), u"ﾄﾘｹｼ ");
    EXPECT_EQ(r.horse(5).winOdds.view(), u"old  "); // only entries 1 to n are written
}

struct CountCase
{
    const char* runners;
    bool ok;
    int entriesRead;
};

void PrintTo(const CountCase& c, std::ostream* os)
{
    *os << "count \"" << c.runners << '"';
}

class RunnerCount : public testing::TestWithParam<CountCase>
{};

// The same runner counts through the three readers that loop over runners; every file holds
// 19 full entries, so only the count decides.
TEST_P(RunnerCount, DecidesHowManyEntriesAreRead)
{
    const auto& c = GetParam();
    RecordingMessageSink sink;

    WinPlaceOddsRecord zo;
    EXPECT_EQ(readWinPlaceOdds(winPlaceOdds(c.runners, 19).bytes(), zo, sink), c.ok);
    for (int k = 1; k <= 18; ++k) {
        EXPECT_EQ(zo.horse(k).field1.trimmed().isEmpty(), k > c.entriesRead) << k;
    }

    RaceCardRecord de;
    EXPECT_EQ(readRaceCard(raceCard(c.runners, 19).bytes(), de), c.ok);
    for (int k = 1; k <= 18; ++k) {
        EXPECT_EQ(de.horse(k).field2.trimmed().isEmpty(), k > c.entriesRead) << k;
    }

    QuinellaOddsRecord uo;
    EXPECT_EQ(readQuinellaOdds(quinellaOdds(c.runners, 19).bytes(), uo, sink), c.ok);
    if (c.ok) {
        const int n = c.entriesRead;
        for (int i = 1; i <= 18; ++i) {
            for (int j = 1; j <= 18; ++j) {
                EXPECT_EQ(uo.pair(i, j).quinellaOdds.trimmed().isEmpty(), !(i < j && j <= n));
            }
        }
    }
    EXPECT_TRUE(sink.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Counts,
                         RunnerCount,
                         testing::Values(CountCase{"19", false, 18},
                                         CountCase{"-1", true, 0},
                                         CountCase{"  ", true, 0},
                                         CountCase{"ab", true, 0},
                                         CountCase{" 0", true, 0},
                                         CountCase{" 1", true, 1},
                                         CountCase{"5x", true, 5},
                                         CountCase{"18", true, 18}));

// ---- Uo- -------------------------------------------------------------------------------------

TEST(QuinellaOdds, TwoRunnersHoldOnePairStoredAsOneTwo)
{
    RecordingMessageSink sink;
    const QByteArray bytes = quinellaOdds(" 2", 2).bytes();
    ASSERT_EQ(bytes.size(), 144 + 25);
    QuinellaOddsRecord r;
    ASSERT_TRUE(readQuinellaOdds(bytes, r, sink));
    EXPECT_EQ(r.field142.view(), u"QQ");
    const auto& e = r.pair(1, 2);
    EXPECT_EQ(e.field0.view(), u"ab");
    EXPECT_EQ(e.field2.view(), u"cdefg");
    EXPECT_EQ(e.quinellaOdds.view(), u"   1.2");
    EXPECT_EQ(e.wideOddsMin.view(), u"     1");
    EXPECT_EQ(e.wideOddsMax.view(), u"     2");
    EXPECT_EQ(r.pair(2, 1), QuinellaPairEntry{});
    EXPECT_FALSE(readQuinellaOdds(bytes.chopped(1), r, sink));
}

TEST(QuinellaOdds, EighteenRunnersEndWithSeventeenEighteenAndLeaveNoTraceLater)
{
    RecordingMessageSink sink;
    const QByteArray full = quinellaOdds("18", 18).bytes();
    ASSERT_EQ(full.size(), 3969);
    QuinellaOddsRecord r;
    ASSERT_TRUE(readQuinellaOdds(full, r, sink));
    EXPECT_EQ(r.pair(17, 18).quinellaOdds.view(), u" 17.18");
    EXPECT_EQ(r.pair(1, 18).wideOddsMax.view(), u"    18");

    // Reading a 10-runner race into the same record blanks every other entry.
    ASSERT_TRUE(readQuinellaOdds(quinellaOdds("10", 10).bytes(), r, sink));
    EXPECT_EQ(r.pair(9, 10).quinellaOdds.view(), u"  9.10");
    for (int i = 1; i <= 18; ++i) {
        for (int j = 1; j <= 18; ++j) {
            if (!(i < j && j <= 10)) {
                EXPECT_EQ(r.pair(i, j), QuinellaPairEntry{}) << i << ',' << j;
            }
        }
    }
}

// ---- De- -------------------------------------------------------------------------------------

TEST(RaceCard, ReadsHeaderAndNamesAtTheirOffsets)
{
    ByteLayout layout = raceCard(" 2", 2);
    // 9 double-byte characters fill the 18-byte name of horse 2 exactly.
    layout.put(92 + 48 + 6, u"タイトルニメボリス"_s);
    RaceCardRecord r;
    ASSERT_TRUE(readRaceCard(layout.bytes(), r));
    EXPECT_EQ(r.field0.view(), u"20261206");
    EXPECT_EQ(r.startTime.view(), u"0945");
    EXPECT_EQ(r.field34.view(), QString(u"有馬記念" + QString(24, u' ')));
    EXPECT_EQ(r.runnerCount.view(), u" 2");
    EXPECT_EQ(r.horse(1).horseName.view(), QString(u"ウマ1" + QString(15, u' ')));
    EXPECT_EQ(r.horse(2).horseName.view(), QString(u"タイトルニメボリス" + QString(9, u' ')));
    EXPECT_EQ(r.horse(2).field24.view(), QString(u"騎手" + QString(16, u' ')));
    EXPECT_EQ(r.horse(2).field42.view(), u" 4");
    EXPECT_EQ(r.horse(2).field44.view(), u"57.0");
    EXPECT_FALSE(readRaceCard(layout.bytes().chopped(1), r));

    RaceCardRecord headerOnly;
    EXPECT_TRUE(readRaceCard(raceCard("  ", 0).bytes(), headerOnly));
    EXPECT_FALSE(readRaceCard(raceCard("  ", 0).bytes().chopped(1), headerOnly));
}

// ---- Ks- -------------------------------------------------------------------------------------

TEST(RaceResult, ReadsEverySlotAtItsOffsetAndNeeds687Bytes)
{
    ByteLayout b(687);
    b.put(0, ascii("20261206")).put(62, u"第７１回有馬記念"_s);
    b.put(90, ascii(" 1 5")).put(94, u"ウマ"_s).put(112, ascii("2:31.2")).put(118, ascii("jockey"));
    b.put(90 + 40 * 6, ascii(" 7")).put(370, ascii("zzzzz"));
    b.put(375, ascii(" 5")).put(377, ascii("     230"));     // win slot 1
    b.put(445, ascii("12")).put(447, ascii("    1230"));     // place slot 5
    b.put(479, ascii("3-8 ")).put(483, ascii("    9990"));   // bracket quinella slot 3
    b.put(491, ascii(" 3- 5 ")).put(497, ascii("   12340")); // quinella slot 1
    b.put(673, ascii(" 9-18 ")).put(679, ascii(" 1234567")); // wide slot 11
    RaceResultRecord r;
    ASSERT_TRUE(readRaceResult(b.bytes(), r));
    EXPECT_EQ(r.field0.view(), u"20261206");
    EXPECT_EQ(r.field62.view(), QString(u"第７１回有馬記念" + QString(20, u' ')));
    EXPECT_EQ(r.finishers[0].finishCol1.view(), u" 1");
    EXPECT_EQ(r.finishers[0].finishCol2.view(), u" 5");
    EXPECT_EQ(r.finishers[0].horseName.view(), QString(u"ウマ" + QString(16, u' ')));
    EXPECT_EQ(r.finishers[0].finishCol3.view(), u"2:31.2");
    EXPECT_EQ(r.finishers[0].finishCol4.view(), u"jockey      ");
    EXPECT_EQ(r.finishers[6].finishCol1.view(), u" 7");
    EXPECT_EQ(r.field370.view(), u"zzzzz");
    EXPECT_EQ(r.winPayouts[0].betKey.view(), u" 5");
    EXPECT_EQ(r.winPayouts[0].payout.view(), u"     230");
    EXPECT_EQ(r.placePayouts[4].betKey.view(), u"12");
    EXPECT_EQ(r.placePayouts[4].payout.view(), u"    1230");
    EXPECT_EQ(r.placePayouts[1].betKey.view(), u"  "); // unused slots stay as the file holds them
    EXPECT_EQ(r.bracketQuinellaPayouts[2].betKey.view(), u"3-8 ");
    EXPECT_EQ(r.bracketQuinellaPayouts[2].payout.view(), u"    9990");
    EXPECT_EQ(r.quinellaPayouts[0].betKey.view(), u" 3- 5 ");
    EXPECT_EQ(r.quinellaPayouts[0].payout.view(), u"   12340");
    EXPECT_EQ(r.widePayouts[10].betKey.view(), u" 9-18 ");
    EXPECT_EQ(r.widePayouts[10].payout.view(), u" 1234567");

    EXPECT_FALSE(readRaceResult(b.bytes().chopped(1), r));
    EXPECT_TRUE(readRaceResult(QByteArray(b.bytes() + "more"), r));
}
