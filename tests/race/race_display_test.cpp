// SPDX-License-Identifier: MIT
// The race shown, on small hand-made races whose values are worked out by hand.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include "analysis/ordering_model.h"
#include "pat/quinella_odds.h"
#include "race/race_display.h"
#include "race_generator.h"
#include "settings/model_settings.h"
#include "settings/settings_store.h"
#include "test_support.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace {

using C = HorseColumn;

// Four runners: horse 2 and 3 share win odds 5.5, horse 4 is scratched.
//   h1: 2.0, 1.2-1.6 → ratio 0.400, average 1.40, place ratio 0.190, win:place 2.105
//   h2: 5.5, 1.1-1.3 → ratio 0.145, average 1.20, place ratio 0.222, win:place 0.653
//   h3: 5.5, 3.0-4.0 → ratio 0.145, average 3.50, place ratio 0.076, win:place 1.908
//   h4: ﾄﾘｹｼ         → ratio -----, average 999.90, place ratio 0.000, win:place 0.000
// Win ranks 1, 2, 3, 4; place ranks 2, 1, 3, 4.
const std::vector<HandOdds> kFourRunners = {
    {u"2.0"_s, u"1.2"_s, u"1.6"_s},
    {u"5.5"_s, u"1.1"_s, u"1.3"_s},
    {u"5.5"_s, u"3.0"_s, u"4.0"_s},
    {u"ﾄﾘｹｼ"_s, QString(), QString()},
};

struct Fixture
{
    TestFolder folder;
    SettingsStore settings{folder.filePath(u"settings.ini"_s)};
    RecordingMessageSink sink;
    RaceDisplay display{settings, sink};

    QString writeRace(const QString& name, const QByteArray& zo) { return folder.write(name, zo); }
    QStringList column(HorseColumn c, int rows = 4) const
    {
        QStringList texts;
        for (int row = 1; row <= rows; ++row) {
            texts << display.horseTable().text(c, row);
        }
        return texts;
    }
};

} // namespace

TEST(RaceDisplay, HandComputedRaceFillsEveryColumn)
{
    Fixture f;
    f.settings.writeInteger16(SettingsKey::DetectVal,
                              {},
                              1,
                              1); // rows whose ranks differ by 1 get "★", equal ones do not
    f.settings.writeInteger32(SettingsKey::HorseNoColour, {}, 1, 0);
    const QString zo = f.writeRace(u"Zo-0001.jra"_s, handWinPlaceOdds(u" 4"_s, kFourRunners));
    f.folder.write(u"De-0001.jra"_s,
                   handRaceCard(u"1540"_s, {u"アアア"_s, u"イイイ"_s, u"ウウウ"_s, u"エエエ"_s}));
    QSignalSpy changed(&f.display, &RaceDisplay::changed);
    ASSERT_TRUE(f.display.load(zo));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(f.sink.messages.empty());

    const RaceDisplay& d = f.display;
    EXPECT_EQ(d.horseNum(), u"4");
    EXPECT_EQ(d.meeting(), u"中山   第05回 02日");
    EXPECT_EQ(d.raceName(), u"11R 有馬記念" + QString(24, u' '));
    EXPECT_EQ(d.raceTime(), u"15:40");
    EXPECT_EQ(d.currentFile(), zo);
    EXPECT_FALSE(d.quinellaOddsRead());

    EXPECT_EQ(f.column(C::HorseName),
              QStringList({u"アアア" + QString(15, u' '),
                           u"イイイ" + QString(15, u' '),
                           u"ウウウ" + QString(15, u' '),
                           u"エエエ" + QString(15, u' ')}));
    EXPECT_EQ(f.column(C::WinOdds), QStringList({u"2.0"_s, u"5.5"_s, u"5.5"_s, u"ﾄﾘｹｼ"_s}));
    EXPECT_EQ(f.column(C::PlaceOddsMin), QStringList({u"1.2"_s, u"1.1"_s, u"3.0"_s, QString()}));
    EXPECT_EQ(f.column(C::WinPopularity), QStringList({u"1"_s, u"2"_s, u"3"_s, u"4"_s}));
    EXPECT_EQ(f.column(C::WinRatio), QStringList({u"0.400"_s, u"0.145"_s, u"0.145"_s, u"-----"_s}));
    EXPECT_EQ(f.column(C::PlaceOdds), QStringList({u"1.40"_s, u"1.20"_s, u"3.50"_s, u"999.90"_s}));
    EXPECT_EQ(f.column(C::PlacePopularity), QStringList({u"2"_s, u"1"_s, u"3"_s, u"4"_s}));
    EXPECT_EQ(f.column(C::PlaceRatio),
              QStringList({u"0.190"_s, u"0.222"_s, u"0.076"_s, u"0.000"_s}));

    EXPECT_EQ(f.column(C::WinOrderHorseNo), QStringList({u"1"_s, u"2"_s, u"3"_s, u"4"_s}));
    EXPECT_EQ(f.column(C::WinOrderOdds), QStringList({u"2.0"_s, u"5.5"_s, u"5.5"_s, u"ﾄﾘｹｼ"_s}));
    EXPECT_EQ(f.column(C::WinOrderRatio),
              QStringList({u"0.400"_s, u"0.145"_s, u"0.145"_s, u"---"_s}));
    EXPECT_EQ(f.column(C::WinPlaceRatio),
              QStringList({u"2.105"_s, u"0.653"_s, u"1.908"_s, u"0.000"_s}));
    EXPECT_EQ(f.column(C::Mark), QStringList({u"★"_s, u"★"_s, QString(), QString()}));
    EXPECT_EQ(f.column(C::WinOrderHorseName)[0], f.column(C::HorseName)[0]);

    EXPECT_EQ(f.column(C::PlaceOrderHorseNo), QStringList({u"2"_s, u"1"_s, u"3"_s, u"4"_s}));
    EXPECT_EQ(f.column(C::PlaceOrderOddsMin),
              QStringList({u"1.1"_s, u"1.2"_s, u"3.0"_s, u"ﾄﾘｹｼ"_s}));
    EXPECT_EQ(f.column(C::PlaceOrderOddsMax),
              QStringList({u"1.3"_s, u"1.6"_s, u"4.0"_s, u"---"_s}));
    EXPECT_EQ(f.column(C::PlaceOrderOdds),
              QStringList({u"1.20"_s, u"1.40"_s, u"3.50"_s, u"---"_s}));
    EXPECT_EQ(f.column(C::PlaceOrderRatio),
              QStringList({u"0.222"_s, u"0.190"_s, u"0.076"_s, u"---"_s}));
    EXPECT_EQ(f.column(C::PlaceOrderHorseName)[0], f.column(C::HorseName)[1]);

    // Horse 1 is black: white digits on black, in block B row 1 and block C row 2.
    const HorseTable& t = d.horseTable();
    EXPECT_EQ(t.colours(C::WinOrderHorseNo, 1), (CellColours{0, 16777215}));
    EXPECT_EQ(t.colours(C::WinOrderHorseName, 1), (CellColours{0, 16777215}));
    EXPECT_EQ(t.colours(C::PlaceOrderHorseNo, 2), (CellColours{0, 16777215}));
    EXPECT_EQ(t.colours(C::PlaceOrderHorseNo, 1), (CellColours{16777215, 0}));
    EXPECT_EQ(t.colours(C::WinOrderHorseNo, 18), (CellColours{16777215, 0}));

    EXPECT_EQ(t.getHorseCount(), 4);
    EXPECT_TRUE(t.isScratched(4));
    EXPECT_EQ(t.getWinOddsValue(4), 9999.9F);
    EXPECT_EQ(t.getPlaceOddsMaxValue(4), 999.9F);
    EXPECT_EQ(t.getWinOddsValue(2), 5.5F);
    EXPECT_EQ(t.findPlacePopularityRow(1), 2);
    EXPECT_EQ(t.findWinPopularityRow(5), 0);
}

TEST(RaceDisplay, StarAtTheThresholdAndNotBelowIt)
{
    // Six runners whose win order is 1..6 and whose place order puts horse 1 sixth.
    Fixture f;
    const std::vector<HandOdds> odds = {
        {u"1.5"_s, u"5.0"_s, u"5.0"_s},
        {u"3.0"_s, u"1.1"_s, u"1.1"_s},
        {u"4.0"_s, u"1.2"_s, u"1.2"_s},
        {u"5.0"_s, u"1.3"_s, u"1.3"_s},
        {u"6.0"_s, u"1.4"_s, u"1.4"_s},
        {u"7.0"_s, u"1.5"_s, u"1.5"_s},
    };
    const QString zo = f.writeRace(u"Zo-0002.jra"_s, handWinPlaceOdds(u" 6"_s, odds));
    ASSERT_TRUE(f.display.load(zo)); // default threshold 5: |1 − 6| = 5 marks row 1
    EXPECT_EQ(f.column(C::Mark, 6),
              QStringList({u"★"_s, QString(), QString(), QString(), QString(), QString()}));
    f.settings.writeInteger16(SettingsKey::DetectVal, {}, 1, 6);
    ASSERT_TRUE(f.display.load(zo));
    EXPECT_EQ(f.column(C::Mark, 6).join(QString()), QString());
    f.settings.writeInteger16(
        SettingsKey::DetectVal, {}, 1, 0); // nothing chosen: every row is marked
    ASSERT_TRUE(f.display.load(zo));
    EXPECT_EQ(f.column(C::Mark, 6).join(QString()), u"★★★★★★");
    f.settings.writeText(u"Option\\AutoJudge"_s, u"DetectVal"_s, u"many"_s); // default 5
    ASSERT_TRUE(f.display.load(zo));
    EXPECT_EQ(f.column(C::Mark, 6)[0], u"★");
}

TEST(RaceDisplay, RowWithoutWinOddsRanksFirstAndShowsNoWinPlaceRatio)
{
    Fixture f;
    const std::vector<HandOdds> odds
        = {{u"2.0"_s, u"1.2"_s, u"1.6"_s}, {QString(), u"2.0"_s, u"2.4"_s}};
    ASSERT_TRUE(f.display.load(f.writeRace(u"Zo-0003.jra"_s, handWinPlaceOdds(u" 2"_s, odds))));
    EXPECT_EQ(f.column(C::WinRatio, 2), QStringList({u"0.400"_s, u"-----"_s}));
    EXPECT_EQ(f.column(C::WinPopularity, 2), QStringList({u"2"_s, u"1"_s}));
    // Its place ratio is not zero, yet it has no win ratio: "-----", not a misleading 0.000.
    EXPECT_EQ(f.column(C::WinPlaceRatio, 2), QStringList({u"-----"_s, u"2.105"_s}));
}

TEST(RaceDisplay, FailedLoadTellsTheUserAndKeepsTheRaceShown)
{
    Fixture f;
    const QString zo = f.writeRace(u"Zo-0001.jra"_s, handWinPlaceOdds(u" 4"_s, kFourRunners));
    ASSERT_TRUE(f.display.load(zo));
    const HorseTable before = f.display.horseTable();

    QByteArray badMark = handWinPlaceOdds(u" 4"_s, kFourRunners);
    badMark[43] = '1';
    const QString bad = f.writeRace(u"Zo-0009.jra"_s, badMark);
    QSignalSpy changed(&f.display, &RaceDisplay::changed);
    for (const QString& path : {bad, f.folder.filePath(u"Zo-missing.jra"_s), f.folder.path()}) {
        f.sink.messages.clear();
        EXPECT_FALSE(f.display.load(path));
        ASSERT_FALSE(f.sink.messages.empty());
        const auto& last = f.sink.messages.back();
        EXPECT_EQ(last.text, u"ファイルの読み込みに失敗しました。");
        EXPECT_EQ(last.title, u"えらー");
        EXPECT_EQ(last.icon, MessageIcon::Critical);
    }
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(f.display.horseTable(), before);
    EXPECT_EQ(f.display.currentFile(), zo);
    EXPECT_EQ(f.display.horseNum(), u"4");
}

TEST(RaceDisplay, RaceCardWithFewerOrMoreHorsesAndRunnerCountZero)
{
    Fixture f;
    const QString zo = f.writeRace(u"Zo-0001.jra"_s, handWinPlaceOdds(u" 4"_s, kFourRunners));
    f.folder.write(u"De-0001.jra"_s, handRaceCard(u"0945"_s, {u"アアア"_s, u"イイイ"_s}));
    ASSERT_TRUE(f.display.load(zo));
    EXPECT_EQ(f.display.raceTime(), u"09:45");
    EXPECT_FALSE(f.display.horseTable().text(C::HorseName, 2).isEmpty());
    EXPECT_TRUE(f.display.horseTable().text(C::HorseName, 3).isEmpty());

    f.folder.write(u"De-0001.jra"_s,
                   handRaceCard(u"0945"_s, {u"ア"_s, u"イ"_s, u"ウ"_s, u"エ"_s, u"オ"_s, u"カ"_s}));
    ASSERT_TRUE(f.display.load(zo));
    EXPECT_TRUE(f.display.horseTable().text(C::HorseName, 4).startsWith(u"エ"));
    EXPECT_EQ(f.display.horseTable().text(C::WinOrderHorseNo, 5), QString()); // only N rows derive

    const QString empty = f.writeRace(u"Zo-0010.jra"_s, handWinPlaceOdds(u"  "_s, {}));
    ASSERT_TRUE(f.display.load(empty));
    EXPECT_EQ(f.display.horseNum(), u"0");
    EXPECT_EQ(f.display.raceTime(), QString()); // no race card for this race
    for (int row = 1; row <= 18; ++row) {
        EXPECT_TRUE(f.display.horseTable().text(C::WinPopularity, row).isEmpty());
        EXPECT_EQ(f.display.horseTable().colours(C::PlaceOrderHorseName, row), CellColours{});
    }
}

TEST(RaceDisplay, NameWithoutZoShowsOddsOnlyAndSameRaceTwiceGivesSameState)
{
    Fixture f;
    const QString odd = f.writeRace(u"race-0001.jra"_s, handWinPlaceOdds(u" 4"_s, kFourRunners));
    f.folder.write(u"De-0001.jra"_s, handRaceCard(u"0945"_s, {u"アアア"_s}));
    ASSERT_TRUE(f.display.load(odd));
    EXPECT_EQ(f.display.horseTable().text(C::WinOdds, 1), u"2.0");
    EXPECT_TRUE(f.display.horseTable().text(C::HorseName, 1).isEmpty());
    EXPECT_FALSE(f.display.quinellaOddsRead());

    // A generated race with all four files, loaded twice.
    PatRandom random(3);
    const GeneratedRace race = generateRace(random, 0, 12, true);
    QString error;
    ASSERT_TRUE(writeRaceSet(f.folder.path(), race, &error));
    const QString zo = f.folder.filePath(winPlaceOddsFileName(race));
    ASSERT_TRUE(f.display.load(zo));
    EXPECT_TRUE(f.display.quinellaOddsRead());
    const HorseTable first = f.display.horseTable();
    const QString kaisai = f.display.meeting();
    ASSERT_TRUE(f.display.load(zo));
    EXPECT_EQ(f.display.horseTable(), first);
    EXPECT_EQ(f.display.meeting(), kaisai);
    EXPECT_EQ(f.display.currentFile(), zo);
}

TEST(RaceDisplay, FullRaceRunsTheAnalysisAndListsTheResult)
{
    Fixture f;
    PatRandom random(5);
    const GeneratedRace race = generateRace(random, 10, 18, true);
    QString error;
    ASSERT_TRUE(writeRaceSet(f.folder.path(), race, &error));
    const QString zo = f.folder.filePath(winPlaceOddsFileName(race));
    ASSERT_TRUE(f.display.load(zo));
    EXPECT_TRUE(f.sink.messages.empty());
    EXPECT_EQ(f.display.quinellaList().size(), 153);
    EXPECT_EQ(f.display.wideList().size(), 153);
    EXPECT_EQ(f.display.quinellaList().cell(152, 0).text(), u"17-18");
    EXPECT_FALSE(f.display.recommendedBetLines().isEmpty());

    // 38 lines: six headings and 32 slots, each as the file holds it.
    const QStringList lines = f.display.raceResultLines();
    ASSERT_EQ(lines.size(), 38);
    EXPECT_EQ(lines[0], u"競争成績");
    EXPECT_EQ(lines[8], u"単勝");
    EXPECT_EQ(lines[12], u"複勝");
    EXPECT_EQ(lines[18], u"枠連");
    EXPECT_EQ(lines[22], u"馬連");
    EXPECT_EQ(lines[26], u"ワイド");
    EXPECT_EQ(lines[1].size(), 2 + 2 + 18 + 6);
    EXPECT_EQ(lines[9].size(), 10);
    EXPECT_EQ(lines[37], QString(14, u' ')); // the unused eleventh wide slot
    const int winner = race.finishOrder[0];
    EXPECT_EQ(lines[1].mid(2, 2).trimmed().toInt(), winner);

    // The first wide payout is red in both lists, the others green.
    const auto rowOf = [&f](const QString& key) {
        for (int r = 0; r < f.display.quinellaList().size(); ++r) {
            if (f.display.quinellaList().cell(r, 0).text() == key.trimmed().rightJustified(5)) {
                return r;
            }
        }
        return -1;
    };
    const int first = rowOf(race.widePayouts[0].key);
    const int second = rowOf(race.widePayouts[1].key);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    EXPECT_EQ(f.display.quinellaList().rows()[static_cast<std::size_t>(first)].labelBackground,
              qRgb(255, 0, 0));
    EXPECT_EQ(f.display.wideList().rows()[static_cast<std::size_t>(first)].labelBackground,
              qRgb(255, 0, 0));
    EXPECT_EQ(f.display.wideList().rows()[static_cast<std::size_t>(second)].labelBackground,
              qRgb(0, 255, 0));

    // A race without a result after one with: the list is empty again.
    const GeneratedRace later = generateRace(random, 11, 5, false);
    ASSERT_TRUE(writeRaceSet(f.folder.path(), later, &error));
    ASSERT_TRUE(f.display.load(f.folder.filePath(winPlaceOddsFileName(later))));
    EXPECT_TRUE(f.display.raceResultLines().isEmpty());
    EXPECT_EQ(f.display.quinellaList().size(), 10);
}

TEST(RaceDisplay, UnreadableResultIsReportedAndMarksNothing)
{
    Fixture f;
    PatRandom random(6);
    const GeneratedRace race = generateRace(random, 0, 6, true);
    QString error;
    ASSERT_TRUE(writeRaceSet(f.folder.path(), race, &error));
    f.folder.write(raceResultFileName(race), QByteArray(686, ' '));
    ASSERT_TRUE(f.display.load(f.folder.filePath(winPlaceOddsFileName(race))));
    ASSERT_EQ(f.sink.messages.size(), 1u);
    EXPECT_EQ(f.sink.messages[0].text, u"ファイルの読み込みに失敗しました。");
    EXPECT_EQ(f.sink.messages[0].title, u"えらー");
    EXPECT_TRUE(f.display.raceResultLines().isEmpty());
    for (int r = 0; r < f.display.quinellaList().size(); ++r) {
        EXPECT_EQ(f.display.quinellaList().rows()[static_cast<std::size_t>(r)].labelBackground, 0u);
    }
}

TEST(RaceDisplay, WithoutQuinellaOddsTheListsStayEmpty)
{
    Fixture f;
    PatRandom random(8);
    const GeneratedRace race = generateRace(random, 0, 8, false);
    QString error;
    ASSERT_TRUE(writeRaceSet(f.folder.path(), race, &error));
    QFile::remove(f.folder.filePath(u"Uo-"_s + race.fileKey + u".jra"_s));
    ASSERT_TRUE(f.display.load(f.folder.filePath(winPlaceOddsFileName(race))));
    EXPECT_FALSE(f.display.quinellaOddsRead());
    EXPECT_TRUE(f.display.recommendedBetLines().isEmpty()); // not even "該当無し"
    EXPECT_EQ(f.display.quinellaList().size(), 0);
    EXPECT_FALSE(f.display.horseTable().text(HorseColumn::WinRatio, 1).isEmpty());
#ifdef Q_OS_UNIX
    // A Uo- that is a FIFO and a De- that is a folder: listed as no regular files, their types
    // are asked, and they are refused at once.
    const QString card = f.folder.filePath(u"De-"_s + race.fileKey + u".jra"_s);
    ASSERT_TRUE(QFile::remove(card));
    ASSERT_TRUE(QDir().mkdir(card));
    const QString odds = f.folder.filePath(u"Uo-"_s + race.fileKey + u".jra"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(odds).constData(), 0600), 0);
    ASSERT_TRUE(f.display.load(f.folder.filePath(winPlaceOddsFileName(race))));
    EXPECT_FALSE(f.display.quinellaOddsRead());
    EXPECT_TRUE(f.display.horseTable().text(HorseColumn::HorseName, 1).isEmpty());
#endif
}

TEST(RaceDisplay, EveryHorseScratchedOrNoneRunningCompletesQuietly)
{
    Fixture f;
    const std::vector<HandOdds> scratched(3, HandOdds{u"ﾄﾘｹｼ"_s, QString(), QString()});
    const QString zo = f.writeRace(u"Zo-0020.jra"_s, handWinPlaceOdds(u" 3"_s, scratched));
    // A Uo- file for three runners whose pairs are all scratched.
    ByteLayout uo(144 + 25 * 3);
    uo.put(43, QByteArray(" ")).put(140, QByteArray(" 3"));
    for (int k = 0; k < 3; ++k) {
        for (int field = 0; field < 3; ++field) {
            uo.put(144 + 25 * k + 7 + 6 * field, u"ﾄﾘｹｼ"_s);
        }
    }
    f.folder.write(u"Uo-0020.jra"_s, uo.bytes());
    ASSERT_TRUE(f.display.load(zo));
    EXPECT_TRUE(f.sink.messages.empty());
    EXPECT_TRUE(f.display.quinellaOddsRead());
    EXPECT_EQ(f.display.recommendedBetLines(), QStringList({u"該当無し"_s, u"見送りレース"_s}));
    EXPECT_EQ(f.display.quinellaList().cell(0, PopularityColumn).text(), u"ﾄﾘｹｼ");
    EXPECT_EQ(f.display.wideList().cell(2, DifferenceColumn).text(), u"0");
}

// With the discounted model chosen, both lists' theoretical values are the payback over the
// model's chance of the pair (first two; both in the first three), from the win odds.
TEST(RaceDisplay, DiscountedModelGivesTheTheoreticalValues)
{
    Fixture f;
    PatRandom random(12);
    const GeneratedRace race = generateRace(random, 4, 10, false);
    QString error;
    ASSERT_TRUE(writeRaceSet(f.folder.path(), race, &error));
    ModelSettings model;
    model.kind = TheoryModel::Discounted;
    model.payback = ModelSettings::kCurrentJraPayback;
    model.write(f.settings);
    EXPECT_EQ(ModelSettings::read(f.settings), model);
    ASSERT_TRUE(f.display.load(f.folder.filePath(winPlaceOddsFileName(race))));

    const HorseTable& table = f.display.horseTable();
    const int n = table.getHorseCount();
    std::array<double, 19> odds{};
    for (int h = 1; h <= n; ++h) {
        odds[static_cast<std::size_t>(h)] = table.winOdds(h);
    }
    const OrderingModel chances(winChances(odds), model.lambda, model.tau);
    std::size_t r = 0;
    int checked = 0;
    for (int a = 1; a < n; ++a) {
        for (int b = a + 1; b <= n; ++b, ++r) {
            if (table.isScratched(a) || table.isScratched(b)) {
                continue;
            }
            const auto expected = [&](double chance) {
                return Cell::number(static_cast<float>(model.payback / chance), CellForm::Fixed1)
                    .text();
            };
            EXPECT_EQ(f.display.quinellaList().rows()[r][TheoreticalColumn].text(),
                      expected(chances.firstTwo(a, b)));
            EXPECT_EQ(f.display.wideList().rows()[r][TheoreticalColumn].text(),
                      expected(chances.firstThree(a, b)));
            ++checked;
        }
    }
    EXPECT_GT(checked, 20);
}
