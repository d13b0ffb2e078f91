// SPDX-License-Identifier: MIT
#include <cmath>
#include <gtest/gtest.h>

#include <QLocale>

#include "base/number_text.h"

using namespace Qt::StringLiterals;

struct NumericCase
{
    QString text;
    double value;
    qint16 count;
};

void PrintTo(const NumericCase& c, std::ostream* os)
{
    *os << '"' << c.text.toStdString() << '"';
}

class NumericValue : public testing::TestWithParam<NumericCase>
{};

TEST_P(NumericValue, ReadsLeadingDecimalNumber)
{
    const auto& c = GetParam();
    EXPECT_EQ(numericValue(c.text), c.value) << c.text.toStdString();
    EXPECT_EQ(numericCount(c.text), c.count) << c.text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Texts,
    NumericValue,
    testing::Values(NumericCase{u"  2.3"_s, 2.3, 2},
                    NumericCase{u"18"_s, 18.0, 18},
                    NumericCase{u" 8"_s, 8.0, 8},
                    NumericCase{u"08"_s, 8.0, 8},
                    NumericCase{u"12.5abc"_s, 12.5, 12}, // ties to even
                    NumericCase{u"2.5"_s, 2.5, 2},
                    NumericCase{u"3.5"_s, 3.5, 4},
                    NumericCase{u"-1"_s, -1.0, -1},
                    NumericCase{u"+7 "_s, 7.0, 7},
                    NumericCase{u".5"_s, 0.5, 0},
                    NumericCase{u"5."_s, 5.0, 5},
                    NumericCase{u"1,234"_s, 1.0, 1}, // no digit grouping in a field
                    NumericCase{u"1e3"_s, 1.0, 1},   // nor exponents
                    NumericCase{u"ﾄﾘｹｼ"_s, 0.0, 0},
                    NumericCase{u"-----"_s, 0.0, 0},
                    NumericCase{u"---"_s, 0.0, 0},
                    NumericCase{u""_s, 0.0, 0},
                    NumericCase{u"  "_s, 0.0, 0},
                    NumericCase{u"ab"_s, 0.0, 0},
                    NumericCase{u"-"_s, 0.0, 0},
                    NumericCase{u"."_s, 0.0, 0},
                    NumericCase{u"１０"_s, 0.0, 0}, // full-width digits are not decimal
                    NumericCase{u"40000"_s, 40000.0, 0},
                    NumericCase{u"-32768.4"_s, -32768.4, -32768},
                    NumericCase{u"32767.5"_s, 32767.5, 0}));

TEST(NumericValue, IgnoresTheUserLocale)
{
    // A locale with "," as decimal separator must not change how a field reads.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(numericValue(u"1.5"), 1.5);
    EXPECT_EQ(numericValue(u"1,5"), 1.0);
    QLocale::setDefault(QLocale::c());
}

struct WholeCase
{
    QString text;
    bool isNumber;
    qint16 integer;
    float single;
};

void PrintTo(const WholeCase& c, std::ostream* os)
{
    *os << '"' << c.text.toStdString() << '"';
}

class WholeNumber : public testing::TestWithParam<WholeCase>
{};

TEST_P(WholeNumber, AcceptsOnlyATextThatIsANumberAsAWhole)
{
    const auto& c = GetParam();
    EXPECT_EQ(parseDecimalText(c.text).has_value(), c.isNumber);
    EXPECT_EQ(textToInteger(c.text), c.integer);
    EXPECT_EQ(textToSingle(c.text), c.single);
}

INSTANTIATE_TEST_SUITE_P(
    Texts,
    WholeNumber,
    testing::Values(WholeCase{u"12.3"_s, true, 12, 12.3F},
                    WholeCase{u" 12.3"_s, true, 12, 12.3F},
                    WholeCase{u" 12 "_s, true, 12, 12.0F},
                    WholeCase{u"2.5"_s, true, 2, 2.5F}, // ties to even
                    WholeCase{u"3.5"_s, true, 4, 3.5F},
                    WholeCase{u"-2.5"_s, true, -2, -2.5F},
                    WholeCase{u"2.5000001"_s, true, 3, 2.5000001F}, // just above the tie
                    WholeCase{u"2.4999999"_s, true, 2, 2.4999999F},
                    WholeCase{u"+7"_s, true, 7, 7.0F},
                    WholeCase{u".5"_s, true, 0, 0.5F},
                    WholeCase{u"1.5"_s, true, 2, 1.5F},
                    WholeCase{u"5."_s, true, 5, 5.0F},
                    WholeCase{u"1,234"_s, true, 1234, 1234.0F},
                    WholeCase{u"12,345.5"_s, true, 12346, 12345.5F},
                    WholeCase{u"32767"_s, true, 32767, 32767.0F},
                    WholeCase{u"-32768"_s, true, -32768, -32768.0F},
                    WholeCase{u"40000"_s, true, 0, 40000.0F}, // out of 16 bits: 0
                    WholeCase{u"-40000"_s, true, 0, -40000.0F},
                    WholeCase{u"0012"_s, true, 12, 12.0F},
                    WholeCase{u"1,23"_s, false, 0, 0.0F}, // broken grouping
                    WholeCase{u"1234,567"_s, false, 0, 0.0F},
                    WholeCase{u",123"_s, false, 0, 0.0F},
                    WholeCase{u"1,234,5"_s, false, 0, 0.0F},
                    WholeCase{u"1.234,5"_s, false, 0, 0.0F},
                    WholeCase{u"ﾄﾘｹｼ"_s, false, 0, 0.0F},
                    WholeCase{u"-----"_s, false, 0, 0.0F},
                    WholeCase{u""_s, false, 0, 0.0F},
                    WholeCase{u"   "_s, false, 0, 0.0F},
                    WholeCase{u"abc"_s, false, 0, 0.0F},
                    WholeCase{u"12abc"_s, false, 0, 0.0F},
                    WholeCase{u"1e40"_s, false, 0, 0.0F},
                    WholeCase{u"0x10"_s, false, 0, 0.0F},
                    WholeCase{u"１２"_s, false, 0, 0.0F},
                    WholeCase{u"True"_s, false, 0, 0.0F},
                    WholeCase{u"- 5"_s, false, 0, 0.0F},
                    WholeCase{u"."_s, false, 0, 0.0F},
                    WholeCase{u"+"_s, false, 0, 0.0F},
                    WholeCase{u"1 2"_s, false, 0, 0.0F}));

TEST(WholeNumber, RoundsOnTheDigitsNotOnABinaryApproximation)
{
    // 2.5000000000000000001 is a double 2.5, but as written it lies above the tie.
    EXPECT_EQ(textToInteger(u"2.5000000000000000001"), 3);
    EXPECT_EQ(textToInteger(u"2.50000000000000000000"), 2);
    // Huge texts are out of range, not wrapped.
    EXPECT_EQ(textToInteger(u"99999999999999999999999"), 0);
    const auto huge = parseDecimalText(u"99999999999999999999999");
    ASSERT_TRUE(huge);
    EXPECT_FALSE(roundDecimalText(*huge, INT64_MIN, INT64_MAX));
    // Beyond the single range the conversion fails and gives 0.
    EXPECT_EQ(textToSingle(QString(50, u'9')), 0.0F);
    // The nearest single, not a double rounded twice.
    EXPECT_EQ(textToSingle(u"0.04"), 0.04F);
    EXPECT_EQ(textToSingle(u"9999.9"), 9999.9F);
}

TEST(NumericValue, ShortAndLongTextsReadToTheNearestDouble)
{
    // Short texts take a fast path, long ones the general conversion; both round correctly.
    EXPECT_EQ(numericValue(u"0.1"), 0.1);
    EXPECT_EQ(numericValue(u"99999.9"), 99999.9);
    EXPECT_EQ(numericValue(u"-0.188"), -0.188);
    EXPECT_EQ(numericValue(u"123456789012345"), 123456789012345.0);
    EXPECT_EQ(numericValue(u"1234567890123456789"), 1234567890123456789.0);
    EXPECT_EQ(numericValue(u"0.00000000000000000000001"), 1e-23);
    EXPECT_EQ(numericValue(u"000000000000000000000012.5"), 12.5);
    EXPECT_EQ(numericValue(u"2.4999999999999999999"), 2.5); // nearest double of the text
    EXPECT_TRUE(std::signbit(numericValue(u"-0")));
}
