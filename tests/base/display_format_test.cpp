// SPDX-License-Identifier: MIT
#include <cmath>
#include <gtest/gtest.h>

#include "base/display_format.h"

using namespace Qt::StringLiterals;

TEST(DisplayFormat, HalvesRoundAwayFromZeroOnTheExactBinaryValue)
{
    // Exact binary ties round away from zero (printf would round 0.125 to even: "0.12").
    EXPECT_EQ(formatFixed(0.125, 2), u"0.13");
    EXPECT_EQ(formatFixed(0.375, 2), u"0.38");
    EXPECT_EQ(formatFixed(-0.125, 2), u"-0.13");
    EXPECT_EQ(formatFixed(static_cast<double>(0.1875F), 3), u"0.188");
    EXPECT_EQ(formatFixed(0.0625, 3), u"0.063");
    EXPECT_EQ(formatFixed(2.5, 0), u"3");
    EXPECT_EQ(formatFixed(0.25, 1), u"0.3");
    EXPECT_EQ(formatFixed(9.95, 1), u"9.9"); // the double of 9.95 lies below 9.95
    EXPECT_EQ(formatFixed(9.75, 1), u"9.8");
    EXPECT_EQ(formatFixed(99.95, 1), u"100.0"); // lies above: carries through
    EXPECT_EQ(formatFixed(999.875, 2), u"999.88");
    EXPECT_EQ(formatFixed(9.995, 2), u"9.99"); // below
    EXPECT_EQ(formatFixed(9.9951, 2), u"10.00");
    // Values beside a decimal tie follow their exact binary value.
    EXPECT_EQ(formatFixed(2.675, 2), u"2.67");
    EXPECT_EQ(formatFixed(std::nextafter(0.125, 0.0), 2), u"0.12");
    EXPECT_EQ(formatFixed(std::nextafter(0.125, 1.0), 2), u"0.13");
    EXPECT_EQ(formatFixed(1.0005, 3), u"1.000"); // 1.0005 is 1.000499999…
}

TEST(DisplayFormat, FixedFormatsOfTheHorseTableAndPairLists)
{
    EXPECT_EQ(formatRatio(0.8 / 2.3), u"0.348");
    EXPECT_EQ(formatRatio(0.0), u"0.000");
    EXPECT_EQ(formatRatio(0.8 / 999.9 / 3), u"0.000");
    EXPECT_EQ(formatAverage(static_cast<double>(999.9F)), u"999.90");
    EXPECT_EQ(formatAverage(1.5), u"1.50");
    EXPECT_EQ(formatOddsValue(12.34), u"12.3");
    EXPECT_EQ(formatOddsValue(99999.9), u"99999.9");
    EXPECT_EQ(formatOddsValue(1234567.0), u"1234567.0"); // no grouping
    EXPECT_EQ(formatOddsValue(0.04), u"0.0");
    EXPECT_EQ(formatFixed(-0.0, 3), u"0.000");
    EXPECT_EQ(formatFixed(-0.0004, 3), u"-0.000");
    EXPECT_EQ(formatFixed(INFINITY, 1), QString());
    EXPECT_EQ(formatFixed(NAN, 1), QString());
}

TEST(DisplayFormat, SectionedFormatTakesTheSectionFromTheValuesSign)
{
    EXPECT_EQ(formatSignedOdds(12.34), u"+12.3");
    EXPECT_EQ(formatSignedOdds(-12.35), u"-12.3"); // the double lies just short of the tie
    EXPECT_EQ(formatSignedOdds(-12.25), u"-12.3"); // exact tie, away from zero
    EXPECT_EQ(formatSignedOdds(0.04), u"+0.0");
    EXPECT_EQ(formatSignedOdds(-0.04), u"-0.0");
    EXPECT_EQ(formatSignedOdds(0.0), u"0.0");
    EXPECT_EQ(formatSignedOdds(-0.0), u"0.0");
    EXPECT_EQ(formatSignedOdds(static_cast<double>(-100.0F)), u"-100.0");
}

TEST(DisplayFormat, SinglesInShortestFormOfSevenDigits)
{
    EXPECT_EQ(formatSingle(1000.0F), u"1000");
    EXPECT_EQ(formatSingle(0.04F), u"0.04");
    EXPECT_EQ(formatSingle(0.05F), u"0.05");
    EXPECT_EQ(formatSingle(9999.9F), u"9999.9");
    EXPECT_EQ(formatSingle(300.0F), u"300");
    EXPECT_EQ(formatSingle(1.0F / 3.0F), u"0.3333333");
    EXPECT_EQ(formatSingle(-2.5F), u"-2.5");
    EXPECT_EQ(formatSingle(0.0F), u"0");
    EXPECT_EQ(formatSingle(123456789.0F), u"123456800"); // no exponent, seven digits
    EXPECT_EQ(formatSingle(0.000012345F), u"0.000012345");
    EXPECT_EQ(formatSingle(1440.0F), u"1440");
}
