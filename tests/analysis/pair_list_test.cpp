// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "analysis/pair_list.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

// Rows with a label, a value column and a mark column.
PairRow row(const QString& label, const Cell& value, const QString& mark)
{
    PairRow r;
    r[0] = textCell(label);
    r[2] = value;
    r[5] = textCell(mark);
    return r;
}

Cell odds(double value)
{
    return Cell::number(value, CellForm::Fixed1);
}

QStringList column(const PairList& list, int col)
{
    QStringList texts;
    for (const PairRow& r : list.rows()) {
        texts << r[col].text();
    }
    return texts;
}

} // namespace

TEST(PairList, EverySortKindMovesWholeRows)
{
    PairList model(BetType::Quinella);
    model.rows() = {row(u" 1- 2"_s, odds(12.5), u"b"_s),
                    row(u" 1- 3"_s, odds(9.8), u"A"_s),
                    row(u" 2- 3"_s, odds(99.96), u"a"_s), // shown "100.0"
                    row(u" 1-10"_s, textCell(u"ﾄﾘｹｼ"_s), u"B"_s),
                    row(u"10-11"_s, Cell(), QString())};

    model.sortByColumn(2, PairSort::GenericAscending);
    // Numbers compare as numbers (9.8 < 12.5 < 100.0) and come before the texts.
    EXPECT_EQ(column(model, 2),
              QStringList({u"9.8"_s, u"12.5"_s, u"100.0"_s, QString(), u"ﾄﾘｹｼ"_s}));
    EXPECT_EQ(column(model, 0),
              QStringList({u" 1- 3"_s, u" 1- 2"_s, u" 2- 3"_s, u"10-11"_s, u" 1-10"_s}));

    model.sortByColumn(2, PairSort::GenericDescending);
    EXPECT_EQ(column(model, 2),
              QStringList({u"ﾄﾘｹｼ"_s, QString(), u"100.0"_s, u"12.5"_s, u"9.8"_s}));

    model.sortByColumn(2, PairSort::NumericDescending); // non-numbers count as 0, ties stay
    EXPECT_EQ(column(model, 2),
              QStringList({u"100.0"_s, u"12.5"_s, u"9.8"_s, u"ﾄﾘｹｼ"_s, QString()}));

    model.sortByColumn(0, PairSort::TextAscending); // restores the pair order
    EXPECT_EQ(column(model, 0),
              QStringList({u" 1- 2"_s, u" 1- 3"_s, u" 1-10"_s, u" 2- 3"_s, u"10-11"_s}));
    model.sortByColumn(0, PairSort::TextDescending);
    EXPECT_EQ(column(model, 0),
              QStringList({u"10-11"_s, u" 2- 3"_s, u" 1-10"_s, u" 1- 3"_s, u" 1- 2"_s}));

    model.sortByColumn(0, PairSort::TextAscending);
    model.sortByColumn(5, PairSort::TextAscending); // ignoring case: a/A and b/B tie, stably
    EXPECT_EQ(column(model, 5), QStringList({QString(), u"A"_s, u"a"_s, u"b"_s, u"B"_s}));
    model.sortByColumn(5, PairSort::TextCaseDescending); // lower case sorts after upper
    EXPECT_EQ(column(model, 5), QStringList({u"b"_s, u"a"_s, u"B"_s, u"A"_s, QString()}));
    model.sortByColumn(9, PairSort::TextAscending); // no such column: nothing happens
    EXPECT_EQ(column(model, 5), QStringList({u"b"_s, u"a"_s, u"B"_s, u"A"_s, QString()}));
}

TEST(PairList, MixedNumbersAndTextsSortConsistently)
{
    // "9" < "10" as numbers but "10" < "1A" < "9" as texts: comparing mixed cells as texts would
    // be no order at all. Many rows, so that the sort's own shortcuts would notice.
    PairList model(BetType::Quinella);
    std::vector<PairRow> rows;
    const std::vector<Cell> cells = {Cell::integer(9),
                                     Cell::integer(10),
                                     textCell(u"1A"_s),
                                     Cell::integer(2),
                                     textCell(u"1B"_s),
                                     Cell::integer(-3),
                                     textCell(u"x"_s)};
    for (std::size_t r = 0; r < 70; ++r) {
        rows.push_back(row(QString::number(r), cells[r % cells.size()], QString()));
    }
    model.rows() = rows;
    model.sortByColumn(2, PairSort::GenericAscending);
    const QStringList sorted = column(model, 2);
    EXPECT_EQ(sorted.first(), u"-3");
    // Ten of each: -3, 2, 9, 10 by value, then 1A, 1B, x as texts.
    EXPECT_EQ(sorted.at(9), u"-3");
    EXPECT_EQ(sorted.at(10), u"2");
    EXPECT_EQ(sorted.at(39), u"10");
    EXPECT_EQ(sorted.at(40), u"1A");
    EXPECT_EQ(sorted.last(), u"x");
}

TEST(PairList, ANewLoadFollowsTheOrderSeenWithTheLastSortMadeAgain)
{
    const auto pair = [](int a, int b, double value, const QString& mark) {
        PairRow r;
        r[LabelColumn] = Cell::pairLabel(a, b);
        r[ActualColumn] = odds(value);
        r[MarkColumn] = textCell(mark);
        return r;
    };
    PairList model(BetType::Quinella);
    model.rows() = {pair(1, 2, 5.0, u"c"_s), pair(1, 3, 7.0, u"a"_s), pair(2, 3, 5.0, u"b"_s)};
    // By the mark, then by the odds: the two at 5.0 stay in the marks' order.
    model.sortByColumn(MarkColumn, PairSort::TextAscending);
    model.sortByColumn(ActualColumn, PairSort::GenericAscending);
    const QStringList seen = {u" 2- 3"_s, u" 1- 2"_s, u" 1- 3"_s};
    ASSERT_EQ(column(model, LabelColumn), seen);

    // New odds in the order a load makes: all three at 5.0 keep the order seen; then 2-3 rises.
    const std::vector<int> order = model.pairOrder();
    model.rows() = {pair(1, 2, 5.0, u"c"_s), pair(1, 3, 5.0, u"a"_s), pair(2, 3, 5.0, u"b"_s)};
    model.followOrder(order);
    EXPECT_EQ(column(model, LabelColumn), seen);
    model.rows() = {pair(1, 2, 5.0, u"c"_s), pair(1, 3, 5.0, u"a"_s), pair(2, 3, 8.0, u"b"_s)};
    model.followOrder(order);
    EXPECT_EQ(column(model, LabelColumn), QStringList({u" 1- 2"_s, u" 1- 3"_s, u" 2- 3"_s}));

    // After an open nothing is sorted: the load's order stands.
    model.forgetSort();
    model.rows() = {pair(1, 2, 9.0, u"c"_s), pair(1, 3, 5.0, u"a"_s), pair(2, 3, 1.0, u"b"_s)};
    model.followOrder(order);
    EXPECT_EQ(column(model, LabelColumn), QStringList({u" 1- 2"_s, u" 1- 3"_s, u" 2- 3"_s}));
}
