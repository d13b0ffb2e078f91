// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QLocale>

#include "analysis/number_text.h"

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
