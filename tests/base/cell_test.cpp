// SPDX-License-Identifier: MIT
// A cell's readings must equal reading its shown text back: every value is checked against the
// text path, on random values of every magnitude, on exact ties and on negatives that show "-0".
#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

#include "base/cell.h"
#include "base/display_format.h"
#include "base/number_text.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

// Values the tables hold: odds and deviations as singles, ratios as doubles, exact ties of every
// decimal count, tiny negatives, and magnitudes up to far beyond the fast paths.
std::vector<double> sampleValues()
{
    std::vector<double> values
        = {0.0,     -0.0,     0.05,   -0.05,    0.125,     -0.125,    2.675,    0.0005,
           -0.0004, 99999.9,  12.25,  1e15,     -1.5e16,   4.5e18,    0x1.0p52, 0x1.0p53,
           1e30,    -59334.2, 0.9995, 999999.5, 1677721.5, 9999999.5, 1.0e-300, 5e-324};
    std::mt19937_64 random(14);
    std::uniform_real_distribution<double> exponent(-8.0, 21.0);
    for (int i = 0; i < 40000; ++i) {
        const double magnitude = std::pow(10.0, exponent(random));
        const double value = (random() & 1) != 0 ? -magnitude : magnitude;
        values.push_back(value);
        values.push_back(static_cast<float>(value));
    }
    // Exact ties at one to three decimals, and the doubles beside them.
    for (int i = 0; i < 4000; ++i) {
        const double tie = static_cast<double>(random() % 2000000) / 8.0 + 0.0625;
        values.push_back(tie);
        values.push_back(std::nextafter(tie, 0.0));
        values.push_back(-std::nextafter(tie, 1e9));
    }
    return values;
}

bool sameSingle(float a, float b)
{
    return std::bit_cast<quint32>(a) == std::bit_cast<quint32>(b);
}

bool sameDouble(std::optional<double> a, std::optional<double> b)
{
    return a.has_value() == b.has_value()
           && (!a || std::bit_cast<quint64>(*a) == std::bit_cast<quint64>(*b));
}

} // namespace

TEST(Cell, NumbersReadAsTheirShownTextsReadBack)
{
    const std::vector<double> values = sampleValues();
    int failures = 0;
    const auto check = [&failures](const Cell& cell, double value) {
        const QString text = cell.text();
        char written[Cell::kMaxSingleText];
        const int length = cell.writeShownSingle(written);
        const bool same
            = text == Cell::number(value, cell.form()).text()
              && sameDouble(cell.shownNumber(), leadingNumber(text))
              && sameSingle(cell.shownSingle(), textToSingle(text))
              && cell.shownInteger() == textToInteger(text)
              && sameDouble(cell.sortKey().number, genericSortKey(text).number)
              && cell.textLength() == text.size() && cell.showsNothing() == text.isEmpty()
              && QByteArray(written, length) == formatSingle(textToSingle(text)).toLatin1();
        if (!same && ++failures <= 5) {
            ADD_FAILURE() << "form " << static_cast<int>(cell.form()) << " value "
                          << QByteArray::number(value, 'g', 17).toStdString() << " shown "
                          << text.toStdString();
        }
    };
    for (const CellForm form :
         {CellForm::Fixed1, CellForm::Fixed2, CellForm::Fixed3, CellForm::Signed1}) {
        for (const double value : values) {
            check(Cell::number(value, form), value);
            // A single is also built as one, whose readings take a shorter path.
            const auto single = static_cast<float>(value);
            if (static_cast<double>(single) == value) {
                check(Cell::number(single, form), value);
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(Cell, FastRoundingAgreesWithTheExactOne)
{
    for (const double value : sampleValues()) {
        for (int decimals = 0; decimals <= 3; ++decimals) {
            ASSERT_EQ(roundedUnits(value, decimals), roundedUnitsExactly(value, decimals))
                << QByteArray::number(value, 'g', 17).toStdString() << " at " << decimals;
        }
    }
    EXPECT_EQ(roundedUnits(std::nan(""), 1), kNoUnits);
    EXPECT_EQ(roundedUnits(HUGE_VAL, 1), kNoUnits);
}

TEST(Cell, TextsIntegersAndPairLabels)
{
    const Cell rank = Cell::integer(-12);
    EXPECT_EQ(rank.text(), u"-12");
    EXPECT_EQ(rank.shownInteger(), -12);
    EXPECT_EQ(Cell::integer(40000).shownInteger(), 0); // beyond 16 bits, as the text reads

    const Cell mark = textCell(u"12A"_s);
    EXPECT_EQ(mark.shownNumber(), 12.0); // a leading number, as numericValue reads it
    EXPECT_FALSE(mark.sortKey().number); // but not a number as a whole
    EXPECT_EQ(mark, textCell(u"12A"_s));
    EXPECT_NE(mark, Cell());
    EXPECT_TRUE(textCell(QString()).showsNothing());

    const Cell label = Cell::pairLabel(3, 17);
    EXPECT_EQ(label.text(), u" 3-17");
    EXPECT_EQ(Cell::pairOfLabel(u"3-17"), 317);
    EXPECT_EQ(Cell::pairOfLabel(u"17-3"), 0);
    EXPECT_EQ(label.pairIndex(), Cell::pairLabel(3, 17).pairIndex());
    EXPECT_NE(label.pairIndex(), Cell::pairLabel(3, 18).pairIndex());
    EXPECT_EQ(textCell(u" 3-17"_s).pairIndex(), -1); // the same text, but not a pair label
    EXPECT_EQ(label.shownNumber(), 3.0);
}

TEST(Cell, FileTextsAsCsvNumbers)
{
    for (const QString& text : {u"12.3"_s,
                                u"  012.30 "_s,
                                u"1,234.5"_s,
                                u"-0"_s,
                                u".5"_s,
                                u"5."_s,
                                u"1.2345"_s,
                                u"12345678"_s,
                                u"9999999"_s,
                                u"ﾄﾘｹｼ"_s,
                                u"-----"_s,
                                QString(),
                                u"1e5"_s,
                                u"3.4e39"_s,
                                u"340000000000000000000000000000000000000000"_s}) {
        char written[Cell::kMaxSingleText];
        const int length = writeSingleOfText(text, written);
        EXPECT_EQ(QByteArray(written, length), formatSingle(textToSingle(text)).toLatin1())
            << text.toStdString();
        const auto number = parseDecimalText(text);
        EXPECT_EQ(wholeTextToSingle(text),
                  number ? decimalTextToSingle(*number) : std::optional<float>())
            << text.toStdString();
    }
}
