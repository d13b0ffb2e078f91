// SPDX-License-Identifier: MIT
// The pair judgement on a hand-computed race. Single precision is written "f": each step is
// rounded to a single where the product stores one.
#include <gtest/gtest.h>

#include "analysis/horse_table.h"
#include "analysis/pair_judgement.h"
#include "analysis/recommended_bets.h"
#include "pat/quinella_odds.h"
#include "settings/model_settings.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

// A ratio cell as the horse table holds it: a number shown with three decimals, or a text.
Cell ratio(const QString& text)
{
    bool number = false;
    const double value = text.toDouble(&number);
    return number ? Cell::number(value, CellForm::Fixed3) : textCell(text);
}

struct HandRace
{
    HorseTable table;
    std::unique_ptr<QuinellaOddsRecord> odds = std::make_unique<QuinellaOddsRecord>();
    TestFolder folder;
    SettingsStore settings{folder.filePath(u"s.ini"_s)};

    // Four runners:      win odds  win ratio  place ratio
    //   1                  2.0      0.400       0.300
    //   2                  4.0      0.200       0.250
    //   3                  8.0      0.100       0.150
    //   4                 16.0      0.050       0.060
    HandRace()
    {
        table.setHorseNum(4);
        const char16_t* win[] = {u"2.0", u"4.0", u"8.0", u"16.0"};
        const char16_t* tan[] = {u"0.400", u"0.200", u"0.100", u"0.050"};
        const char16_t* fuku[] = {u"0.300", u"0.250", u"0.150", u"0.060"};
        for (int h = 1; h <= 4; ++h) {
            table.setFileText(HorseColumn::WinOdds, h, QStringView(win[h - 1]));
            table.setCell(HorseColumn::WinRatio, h, ratio(QString::fromUtf16(tan[h - 1])));
            table.setCell(HorseColumn::PlaceRatio, h, ratio(QString::fromUtf16(fuku[h - 1])));
            table.setCell(HorseColumn::WinPopularity, h, Cell::integer(h));
        }
        setPair(1, 2, u"4.0"_s, u"1.1"_s, u"1.4"_s);
        setPair(1, 3, u"1.5"_s, u"2.0"_s, u"2.6"_s);
        setPair(1, 4, u"14.0"_s, u"5.0"_s, u"7.0"_s);
        setPair(2, 3, u"15.0"_s, u"3.0"_s, u"4.0"_s);
        setPair(2, 4, u"60.0"_s, u"10.0"_s, u"x"_s);    // wide maximum not a number
        setPair(3, 4, QString(), u"20.0"_s, u"30.0"_s); // no quinella odds
    }

    void setPair(int a, int b, const QString& q, const QString& lo, const QString& hi)
    {
        auto& e = odds->pair(a, b);
        e.quinellaOdds = PatText<6>::fromString(q.rightJustified(6));
        e.wideOddsMin = PatText<6>::fromString(lo.rightJustified(6));
        e.wideOddsMax = PatText<6>::fromString(hi.rightJustified(6));
    }

    std::vector<PairRow> judge(BetType bet) const
    {
        return judgePairs(table, *odds, bet, JudgeSettings::read(settings, bet));
    }
};

QStringList columnOf(const std::vector<PairRow>& rows, int column)
{
    QStringList texts;
    for (const auto& row : rows) {
        texts << row[static_cast<std::size_t>(column)].text();
    }
    return texts;
}

} // namespace

// Quinella, T = 0.75 / (Pab + Pba), Pab = pa·pb/(1 − pa) and Pba = pa·pb/(1 − pb) as singles:
//   (1,2) Pab = .08/.6 = .133333f, Pba = .08/.8 = .1f, T = .75/.233333f = 3.2142856f → "3.2"
//         A 4.0, D = (4 − 3.2142856)·100/4 = +19.64 → "+19.6"; 0.75/4 = 0.1875 → "0.188"
//   (1,3) Pab = .04/.6 = .0666667f, Pba = .04/.9 = .0444444f, T = 6.7499995f → "6.7"
//         A 1.5, D = (1.5 − 6.75)·100/1.5 = −349.99997 → "-350.0", level 2 [300,500) "○"
//   (1,4) Pab = .02/.6 = .0333333f, Pba = .02/.95 = .0210526f, T = 13.790322f → "13.8"
//         A 14.0, D = +1.4977 → "+1.5"; 0.75/14 = .05357 → "0.054"
//   (2,3) Pab = .02/.8 = .025f, Pba = .02/.9 = .0222222f, T = 15.882353f → "15.9"
//         A 15.0, D = −5.88 → "-5.9"; 0.75/15 → "0.050"
//   (2,4) Pab = .01/.8 = .0125f, Pba = .01/.95 = .0105263f, T = 32.571426f → "32.6"
//         A 60.0, D = +45.71 → "+45.7"; 0.75/60 = .0125 → "0.013"
//   (3,4) T = .75/(.0055556f + .0052632f) = 69.32432f → "69.3"; no odds: nothing else
// Ranks by actual odds: 1.5, 4.0, 14.0, 15.0, 60.0 → (1,3) 1, (1,2) 2, (1,4) 3, (2,3) 4, (2,4) 5.
TEST(PairJudgement, HandComputedQuinellaList)
{
    HandRace race;
    const auto rows = race.judge(BetType::Quinella);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(
        columnOf(rows, LabelColumn),
        QStringList({u" 1- 2"_s, u" 1- 3"_s, u" 1- 4"_s, u" 2- 3"_s, u" 2- 4"_s, u" 3- 4"_s}));
    EXPECT_EQ(columnOf(rows, TheoreticalColumn),
              QStringList({u"3.2"_s, u"6.7"_s, u"13.8"_s, u"15.9"_s, u"32.6"_s, u"69.3"_s}));
    EXPECT_EQ(columnOf(rows, ActualColumn),
              QStringList({u"4.0"_s, u"1.5"_s, u"14.0"_s, u"15.0"_s, u"60.0"_s, QString()}));
    EXPECT_EQ(columnOf(rows, DeviationColumn),
              QStringList({u"+19.6"_s, u"-350.0"_s, u"+1.5"_s, u"-5.9"_s, u"+45.7"_s, QString()}));
    EXPECT_EQ(columnOf(rows, SupportRatioColumn),
              QStringList({u"0.188"_s, u"0.500"_s, u"0.054"_s, u"0.050"_s, u"0.013"_s, QString()}));
    EXPECT_EQ(columnOf(rows, MarkColumn),
              QStringList({QString(), u"○"_s, QString(), QString(), QString(), QString()}));
    EXPECT_EQ(columnOf(rows, PopularityColumn),
              QStringList({u"2"_s, u"1"_s, u"3"_s, u"4"_s, u"5"_s, QString()}));
    // The mark of a negative deviation takes MinusColorUma (red); unmarked cells the base colour.
    EXPECT_EQ(rows[1].markColour, qRgb(255, 0, 0));
    EXPECT_TRUE(rows[0].markColourIsBase);
}

// Wide, T = (0.75/3) / (Pab + Pba) on the place ratios, A = (lo + hi)/2 as singles:
//   (1,2) Pab = .075/.7 = .1071429f, Pba = .075/.75 = .1f, T = .25/.2071429f = 1.2068965 → "1.2"
//         A = (1.1f + 1.4)/2 = 1.25f → "1.3" (an exact tie, away from zero), D = +3.448 → "+3.4",
//         0.75/1.25/3 = 0.2 → "0.200"
//   (1,3) Pab = .045/.7, Pba = .045/.85, T = 2.1326163 → "2.1"; A 2.3, D = +7.28 → "+7.3"
//   (1,4) Pab = .018/.7, Pba = .018/.94, T = 5.572493 → "5.6"; A 6.0, D = +7.13 → "+7.1"
//   (2,3) Pab = .0375/.75 = .05f, Pba = .0375/.85, T = 2.65625 → "2.7"; A 3.5, D = +24.1
//   (2,4) T = 6.9526625 → "7.0"; the maximum "x" is not a number: no actual odds
//   (3,4) Pab = .009/.85, Pba = .009/.94, T = 12.399131 → "12.4"; A 25.0, D = +50.40 → "+50.4",
//         level 4 [50,100) "△", positive: PlusColorWide (black)
// Ranks: 1.3, 2.3, 3.5, 6.0, 25.0 → (1,2) 1, (1,3) 2, (2,3) 3, (1,4) 4, (3,4) 5.
// Difference, quinella − wide: 2−1 = 1, 1−2 = −1, 3−4 = −1, 4−3 = 1; (2,4) and (3,4) lack a rank.
TEST(PairJudgement, HandComputedWideListAndPopularityDifference)
{
    HandRace race;
    const auto rows = race.judge(BetType::Wide);
    EXPECT_EQ(columnOf(rows, TheoreticalColumn),
              QStringList({u"1.2"_s, u"2.1"_s, u"5.6"_s, u"2.7"_s, u"7.0"_s, u"12.4"_s}));
    EXPECT_EQ(columnOf(rows, ActualColumn),
              QStringList({u"1.3"_s, u"2.3"_s, u"6.0"_s, u"3.5"_s, QString(), u"25.0"_s}));
    EXPECT_EQ(columnOf(rows, DeviationColumn),
              QStringList({u"+3.4"_s, u"+7.3"_s, u"+7.1"_s, u"+24.1"_s, QString(), u"+50.4"_s}));
    EXPECT_EQ(columnOf(rows, SupportRatioColumn),
              QStringList({u"0.200"_s, u"0.109"_s, u"0.042"_s, u"0.071"_s, QString(), u"0.010"_s}));
    EXPECT_EQ(columnOf(rows, MarkColumn),
              QStringList({QString(), QString(), QString(), QString(), QString(), u"△"_s}));
    EXPECT_EQ(rows[5].markColour, qRgb(0, 0, 0));
    EXPECT_EQ(columnOf(rows, PopularityColumn),
              QStringList({u"1"_s, u"2"_s, u"4"_s, u"3"_s, QString(), u"5"_s}));

    PairList quinella(BetType::Quinella);
    PairList wide(BetType::Wide);
    quinella.setRows(race.judge(BetType::Quinella));
    wide.setRows(rows);
    writePopularityDifference(quinella, wide);
    const QStringList expected = {u"1"_s, u"-1"_s, u"-1"_s, u"1"_s, QString(), QString()};
    EXPECT_EQ(columnOf(quinella.rows(), DifferenceColumn), expected);
    EXPECT_EQ(columnOf(wide.rows(), DifferenceColumn), expected);
}

TEST(PairJudgement, RecommendedBetsAndResultHits)
{
    HandRace race;
    PairList quinella(BetType::Quinella);
    PairList wide(BetType::Wide);
    quinella.setRows(race.judge(BetType::Quinella));
    wide.setRows(race.judge(BetType::Wide));
    // Favourite 2.0: window [(2 − 1)·10 − 5, (2 − 1)·10 + 5) = [5, 15). Only (1,4) at 14.0 with
    // +1.5 qualifies; (2,3) at 15.0 lies on the upper bound, (1,2) at 4.0 below the window.
    QStringList kaime = listRecommendedBets(race.table, quinella);
    EXPECT_EQ(kaime, QStringList({u" 1- 4"_s}));

    markResultHit(u" 1- 4 "_s, true, quinella, wide, kaime);
    markResultHit(u" 2- 3 "_s, false, quinella, wide, kaime);
    markResultHit(u" 1- 4 "_s, false, quinella, wide, kaime); // already marked: no second mark
    markResultHit(u" 9-10 "_s, false, quinella, wide, kaime); // not in the lists
    markResultHit(u"      "_s, true, quinella, wide, kaime);
    EXPECT_EQ(kaime, QStringList({u" 1- 4◎"_s}));
    EXPECT_EQ(quinella.rows()[2].labelBackground, qRgb(0, 255, 0)); // last mark wins
    EXPECT_EQ(wide.rows()[3].labelBackground, qRgb(0, 255, 0));
    EXPECT_EQ(quinella.rows()[0].labelBackground, 0u);

    // Favourite scratched (9999.9): the window lies beyond 16 bits; nothing qualifies.
    race.table.setFileText(HorseColumn::WinOdds, 1, u"ﾄﾘｹｼ"_s);
    EXPECT_EQ(listRecommendedBets(race.table, quinella),
              QStringList({u"該当無し"_s, u"見送りレース"_s}));
    HorseTable empty;
    EXPECT_EQ(listRecommendedBets(empty, PairList(BetType::Quinella)),
              QStringList({u"該当無し"_s, u"見送りレース"_s}));
}

TEST(PairJudgement, FavouriteAtOneOpensTheWindowBelowFive)
{
    HandRace race;
    race.table.setFileText(HorseColumn::WinOdds, 1, u"1.0"_s);
    PairList quinella(BetType::Quinella);
    PairRow low;
    low[LabelColumn] = textCell(u" 1- 2"_s);
    low[ActualColumn] = Cell::number(4.95F, CellForm::Fixed1); // shown 4.9: the single lies below
    low[DeviationColumn] = Cell::number(-0.04, CellForm::Signed1); // "-0.0" reads as zero
    PairRow five = low;
    five[LabelColumn] = textCell(u" 1- 3"_s);
    five[ActualColumn] = Cell::number(4.96, CellForm::Fixed1); // shown 5.0
    PairRow noDeviation = low; // a deviation that could not be computed
    noDeviation[LabelColumn] = textCell(u" 1- 4"_s);
    noDeviation[DeviationColumn] = Cell();
    quinella.setRows({low, five, noDeviation});
    EXPECT_EQ(listRecommendedBets(race.table, quinella), QStringList({u" 1- 2"_s}));
}

namespace {

// Three runners, horse 3 scratched: its pairs read "ﾄﾘｹｼ" in every odds field.
struct ScratchedRace : HandRace
{
    ScratchedRace()
    {
        table.setHorseNum(3);
        table.setFileText(HorseColumn::WinOdds, 3, u"ﾄﾘｹｼ"_s);
        table.setCell(HorseColumn::WinRatio, 3, ratio(u"-----"_s));
        table.setCell(HorseColumn::PlaceRatio, 3, ratio(u"0.000"_s));
        setPair(1, 3, u"ﾄﾘｹｼ"_s, u"ﾄﾘｹｼ"_s, u"ﾄﾘｹｼ"_s);
        setPair(2, 3, u"ﾄﾘｹｼ"_s, u"ﾄﾘｹｼ"_s, u"ﾄﾘｹｼ"_s);
    }

    void limitsOff(BetType bet)
    {
        settings.writeFlag(SettingsKey::IsTheoreticalLimit, bet, 1, false);
        settings.writeFlag(SettingsKey::IsActualLimit, bet, 1, false);
        settings.writeFlag(SettingsKey::IsWinRatioLimit, bet, 1, false);
        settings.writeFlag(SettingsKey::IsPlaceRatioLimit, bet, 1, false);
    }
};

} // namespace

TEST(PairJudgement, ScratchedPairsShowTheMissingValueAndRankTrikeshi)
{
    ScratchedRace race;
    PairList quinella(BetType::Quinella);
    PairList wide(BetType::Wide);
    quinella.setRows(race.judge(BetType::Quinella));
    wide.setRows(race.judge(BetType::Wide));
    writePopularityDifference(quinella, wide);
    for (const PairList* list : {&quinella, &wide}) {
        const auto& row = list->rows()[1]; // (1,3)
        EXPECT_EQ(row[TheoreticalColumn].text(), u"99999.9");
        EXPECT_EQ(row[ActualColumn].text(), u"99999.9");
        EXPECT_EQ(row[DeviationColumn].text(), u"0.0");
        EXPECT_EQ(row[SupportRatioColumn].text(), u"0.000");
        EXPECT_EQ(row[PopularityColumn].text(), u"ﾄﾘｹｼ");
        EXPECT_EQ(row[DifferenceColumn].text(), u"0");
        // (1,2) is the only priced pair: rank 1. The scratched pairs use up 2 and 3.
        EXPECT_EQ(list->rows()[0][PopularityColumn].text(), u"1");
        EXPECT_EQ(list->rows()[2][PopularityColumn].text(), u"ﾄﾘｹｼ");
    }
    EXPECT_EQ(quinella.rows()[0][DifferenceColumn].text(), u"0"); // most popular in both
}

TEST(PairJudgement, LevelBoundsSignsAndLimitsOnAnExactZeroDeviation)
{
    // The scratched pairs have D exactly 0, T and A 99999.9; every limit off lets them through.
    ScratchedRace race;
    race.limitsOff(BetType::Quinella);
    const auto mark = [&race] {
        return race.judge(BetType::Quinella)[1][MarkColumn];
    };
    race.settings.writeInteger16(SettingsKey::DetectMin, BetType::Quinella, 1, -5);
    race.settings.writeInteger16(
        SettingsKey::DetectMax, BetType::Quinella, 1, 0); // |D| = max: no match
    race.settings.writeInteger16(SettingsKey::DetectMin, BetType::Quinella, 2, 0);
    race.settings.writeInteger16(
        SettingsKey::DetectMax, BetType::Quinella, 2, 1); // |D| = min: match
    race.settings.writeText(SettingsKey::DispChar, BetType::Quinella, 2, u"Z"_s);
    EXPECT_EQ(mark().text(), u"Z");
    EXPECT_TRUE(race.judge(BetType::Quinella)[1]
                    .markColourIsBase); // a zero deviation takes no plus/minus colour
    for (const qint16 sign : {qint16(1), qint16(2)}) { // zero passes both sign tests
        race.settings.writeInteger16(SettingsKey::DispSign, BetType::Quinella, 1, sign);
        EXPECT_EQ(mark().text(), u"Z") << sign;
    }
    // Overlapping levels: the lowest-numbered match wins.
    race.settings.writeInteger16(SettingsKey::DetectMax, BetType::Quinella, 1, 10);
    EXPECT_EQ(mark().text(), u"◎");
    // The theoretical value equal to the ideal limit is excluded.
    race.settings.writeFlag(SettingsKey::IsTheoreticalLimit, BetType::Quinella, 1, true);
    race.settings.writeSingle(SettingsKey::TheoreticalLimit, BetType::Quinella, 1, 99999.9F);
    EXPECT_EQ(mark().text(), QString());
    race.settings.writeSingle(SettingsKey::TheoreticalLimit, BetType::Quinella, 1, 100000.0F);
    EXPECT_EQ(mark().text(), u"◎");
    // A ratio that is not a number ("-----" of the scratched horse) excludes when the limit is on.
    race.settings.writeFlag(SettingsKey::IsWinRatioLimit, BetType::Quinella, 1, true);
    EXPECT_EQ(mark().text(), QString());
    // An empty mark stays empty.
    race.limitsOff(BetType::Quinella);
    race.settings.writeText(SettingsKey::DispChar, BetType::Quinella, 1, QString());
    EXPECT_EQ(mark().text(), QString());
}

TEST(PairJudgement, SignTestsRatioLimitsAndColours)
{
    HandRace race;
    const auto marks = [&race](BetType bet) {
        return columnOf(race.judge(bet), MarkColumn);
    };
    // Levels wide enough to mark every judged quinella pair.
    for (int level = 1; level <= 5; ++level) {
        race.settings.writeInteger16(SettingsKey::DetectMin, BetType::Quinella, level, 0);
        race.settings.writeInteger16(SettingsKey::DetectMax, BetType::Quinella, level, 1000);
        race.settings.writeText(
            SettingsKey::DispChar, BetType::Quinella, level, QString::number(level));
    }
    EXPECT_EQ(marks(BetType::Quinella),
              QStringList({u"1"_s, u"1"_s, u"1"_s, u"1"_s, u"1"_s, QString()}));
    race.settings.writeInteger16(SettingsKey::DispSign, BetType::Quinella, 1, 1); // only D ≥ 0
    EXPECT_EQ(marks(BetType::Quinella),
              QStringList({u"1"_s, QString(), u"1"_s, QString(), u"1"_s, QString()}));
    race.settings.writeInteger16(SettingsKey::DispSign, BetType::Quinella, 1, 2); // only D ≤ 0
    EXPECT_EQ(marks(BetType::Quinella),
              QStringList({QString(), u"1"_s, QString(), u"1"_s, QString(), QString()}));
    race.settings.writeInteger16(SettingsKey::DispSign, BetType::Quinella, 1, 0);
    // A ratio equal to the limit is not excluded; one below it is (horse 4: 0.050, 0.060).
    race.settings.writeSingle(SettingsKey::WinRatioLimit, BetType::Quinella, 1, 0.05F);
    EXPECT_EQ(marks(BetType::Quinella)[2], u"1");
    race.settings.writeSingle(SettingsKey::PlaceRatioLimit, BetType::Quinella, 1, 0.061F);
    EXPECT_EQ(marks(BetType::Quinella),
              QStringList({u"1"_s, u"1"_s, QString(), u"1"_s, QString(), QString()}));
    // The real limit: A ≥ 15 is excluded, (2,3) at exactly 15.0 among them.
    race.settings.writeSingle(SettingsKey::ActualLimit, BetType::Quinella, 1, 15.0F);
    EXPECT_EQ(marks(BetType::Quinella)[3], QString());
    // Colours: plus and minus from the settings.
    race.settings.writeInteger32(SettingsKey::PlusColour, BetType::Quinella, 1, 0xFF0000); // blue
    race.settings.writeInteger32(SettingsKey::MinusColour, BetType::Quinella, 1, 0x00FF00);
    const auto rows = race.judge(BetType::Quinella);
    EXPECT_EQ(rows[0].markColour, qRgb(0, 0, 255));
    EXPECT_EQ(rows[1].markColour, qRgb(0, 255, 0));
    // Only the quinella keys changed: the wide list keeps its default judgement.
    EXPECT_EQ(marks(BetType::Wide),
              QStringList({QString(), QString(), QString(), QString(), QString(), u"△"_s}));
}

TEST(PairJudgement, GarbageSettingsLeaveTestsAndLevelsOutWithoutStopping)
{
    HandRace race;
    // Every quinella key of the table that holds a number; a mark is a text, so any text is one.
    for (const SettingsKeyInfo& info : settingsKeys()) {
        if (info.form == ValueForm::Text) {
            continue;
        }
        if (info.scope == KeyScope::PerLevel) {
            for (int level = 1; level <= SettingsKeyInfo::kLevels; ++level) {
                race.settings.writeText(info.key, BetType::Quinella, level, u"abc"_s);
            }
        } else if (info.scope == KeyScope::PerBet) {
            race.settings.writeText(info.key, BetType::Quinella, 1, u"1e9x"_s);
        }
    }
    const auto rows = race.judge(BetType::Quinella);
    ASSERT_EQ(rows.size(), 6u);
    // Every level is left out: no marks, but every value is still computed.
    EXPECT_EQ(columnOf(rows, MarkColumn).join(QString()), QString());
    EXPECT_EQ(columnOf(rows, TheoreticalColumn)[0], u"3.2");
    EXPECT_EQ(columnOf(rows, PopularityColumn)[1], u"1");
}

TEST(PairJudgement, NoValueCarriesOverFromOnePairToTheNext)
{
    HandRace race;
    // Horse 2 has no win ratio: every quinella pair with it lacks T, D and its mark, while the
    // pairs around it are computed as before.
    race.table.setCell(HorseColumn::WinRatio, 2, ratio(u"-----"_s));
    race.setPair(1, 3, u"abc"_s, u"2.0"_s, u"2.6"_s);
    const auto rows = race.judge(BetType::Quinella);
    EXPECT_EQ(columnOf(rows, TheoreticalColumn),
              QStringList({QString(), u"6.7"_s, u"13.8"_s, QString(), QString(), u"69.3"_s}));
    EXPECT_EQ(columnOf(rows, DeviationColumn),
              QStringList({QString(), QString(), u"+1.5"_s, QString(), QString(), QString()}));
    EXPECT_EQ(columnOf(rows, ActualColumn),
              QStringList({u"4.0"_s, QString(), u"14.0"_s, u"15.0"_s, u"60.0"_s, QString()}));
    EXPECT_EQ(columnOf(rows, PopularityColumn),
              QStringList({u"1"_s, QString(), u"2"_s, u"3"_s, u"4"_s, QString()}));

    // One and two runners.
    race.table.setHorseNum(1);
    EXPECT_TRUE(race.judge(BetType::Wide).empty());
    race.table.setHorseNum(2);
    EXPECT_EQ(race.judge(BetType::Wide).size(), 1u);
}

// The market blend on the hand race with λ = τ = 1: the model source is Harville from the win
// odds, p = (8, 4, 2, 1) / 15; its chances below come from enumerating the 24 orders of three.
//   Quinella, weights model 1 and pool 1: chance ∝ P(first two) / odds over the five pairs with
//   odds ((3,4) has none and takes no part); P = .498701, .234432, .114286, .089510, .043290
//   against odds 4.0, 1.5, 14.0, 15.0, 60.0 give .421463, .528330, .027596, .020173, .002439;
//   T = 0.75 / chance = 1.780, 1.420, 27.18, 37.18, 307.50.
//   Weights model 0.5 and pool 2: P^0.5 / odds² gives .168178, .819963, .006572, .005067,
//   .000220; T = 4.460, 0.915, 114.12, 148.03, 3405.66.
//   Wide, weights 1, 1, 1, with place odds (1.1–1.3, 1.5–2.5, 2.0–4.0, 4.0–8.0): q = 3 · (1/1.2,
//   1/2, 1/3, 1/6) / 1.8333 = (1.3636, .8182, .5455, .2727); P(both in the first three) =
//   .876634, .697747, .375225, .624775, .123366 for (1,2), (1,3), (1,4), (2,3), (3,4) ((2,4) has
//   no wide odds), times q_a·q_b / odds, normalised to 3: 2.11140, .60889, .06276, .21497,
//   .00198 (five pairs share three places, so a pair may get more than 1); T = .355, 1.232,
//   11.950, 3.489, 378.62.
TEST(PairJudgement, MarketBlendGivesTheHandComputedChances)
{
    HandRace race;
    const char16_t* low[] = {u"1.1", u"1.5", u"2.0", u"4.0"};
    const char16_t* high[] = {u"1.3", u"2.5", u"4.0", u"8.0"};
    for (int h = 1; h <= 4; ++h) {
        race.table.setFileText(HorseColumn::PlaceOddsMin, h, QStringView(low[h - 1]));
        race.table.setFileText(HorseColumn::PlaceOddsMax, h, QStringView(high[h - 1]));
    }
    ModelSettings model;
    model.kind = TheoryModel::Blend;
    model.lambda = 1.0;
    model.tau = 1.0;
    model.quinellaWeights = {1.0, 1.0};
    model.wideWeights = {1.0, 1.0, 1.0};
    model.write(race.settings);
    EXPECT_EQ(columnOf(race.judge(BetType::Quinella), TheoreticalColumn),
              QStringList({u"1.8"_s, u"1.4"_s, u"27.2"_s, u"37.2"_s, u"307.5"_s, QString()}));
    const auto wide = race.judge(BetType::Wide);
    EXPECT_EQ(columnOf(wide, TheoreticalColumn),
              QStringList({u"0.4"_s, u"1.2"_s, u"12.0"_s, u"3.5"_s, QString(), u"378.6"_s}));
    EXPECT_EQ(columnOf(wide, DeviationColumn)[2], u"-99.2"_s); // (6.0 − 11.950) · 100 / 6.0
    model.quinellaWeights = {0.5, 2.0};
    model.write(race.settings);
    EXPECT_EQ(columnOf(race.judge(BetType::Quinella), TheoreticalColumn),
              QStringList({u"4.5"_s, u"0.9"_s, u"114.1"_s, u"148.0"_s, u"3405.7"_s, QString()}));
}
