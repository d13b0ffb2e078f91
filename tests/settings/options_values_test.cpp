// SPDX-License-Identifier: MIT
// The options dialog's values without a dialog: the checks at OK (order, message, focus) and
// the stored text of every key of the table after a first run.
#include <functional>
#include <gtest/gtest.h>

#include <QSettings>

#include "settings/options_values.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

using Field = OptionsValues::Field;
using Failure = OptionsValues::ValidationFailure;
constexpr BetType Q = BetType::Quinella;
constexpr BetType W = BetType::Wide;

const QString kM1 = u"数値を正しく入力して下さい。"_s;
const QString kM2 = u"数値の大小関係を正しく入力して下さい。"_s;

// A first run: nothing stored, so every value is its key's default.
OptionsValues firstRun()
{
    TestFolder folder;
    const SettingsStore store(folder.filePath(u"empty.ini"_s));
    return OptionsValues::read(store);
}

// One set of entries over the first run's values and the failure the checks must report.
struct CheckCase
{
    const char* name;
    std::function<void(OptionsValues&)> edit;
    std::optional<Failure> failure; // empty: the checks pass
};

void PrintTo(const CheckCase& c, std::ostream* os)
{
    *os << c.name;
}

Failure fails(BetType bet, Field::Box box, int row, const QString& message)
{
    return {Field{bet, box, row}, message};
}

class OptionsChecks : public testing::TestWithParam<CheckCase>
{};

} // namespace

TEST_P(OptionsChecks, StopAtTheFirstFailureWithItsMessageAndField)
{
    const CheckCase& c = GetParam();
    OptionsValues values = firstRun();
    c.edit(values);
    EXPECT_EQ(values.validate(), c.failure);
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    OptionsChecks,
    testing::Values(CheckCase{"EqualBounds",
                              [](OptionsValues& v) { v.of(Q).bandHigh[1] = u"300"_s; },
                              fails(Q, Field::DetectMin, 1, kM2)},
                    CheckCase{"BoundsEqualAfterRounding",
                              [](OptionsValues& v) {
                                  v.of(Q).bandLow[3] = u"100.5"_s;
                                  v.of(Q).bandHigh[3] = u"100.4"_s;
                              },
                              fails(Q, Field::DetectMin, 3, kM2)},
                    CheckCase{"WideMinNotANumber",
                              [](OptionsValues& v) { v.of(W).bandLow[3] = u"abc"_s; },
                              fails(W, Field::DetectMin, 3, kM1)},
                    CheckCase{"QuinellaBeforeWide",
                              [](OptionsValues& v) {
                                  v.of(Q).bandLow[0] = QString();
                                  v.of(W).bandHigh[0] = u"x"_s;
                              },
                              fails(Q, Field::DetectMin, 0, kM1)},
                    CheckCase{"MinBeforeMax",
                              [](OptionsValues& v) {
                                  v.of(Q).bandLow[2] = u"1e9"_s;
                                  v.of(Q).bandHigh[2] = u"1e9"_s;
                              },
                              fails(Q, Field::DetectMin, 2, kM1)},
                    CheckCase{"MaxExponent",
                              [](OptionsValues& v) { v.of(W).bandHigh[0] = u"1e9"_s; },
                              fails(W, Field::DetectMax, 0, kM1)},
                    CheckCase{"FullWidthDigits",
                              [](OptionsValues& v) { v.of(Q).bandHigh[4] = u"１０"_s; },
                              fails(Q, Field::DetectMax, 4, kM1)},
                    CheckCase{"BeyondSixteenBits",
                              [](OptionsValues& v) { v.of(W).bandHigh[2] = u"40000"_s; },
                              fails(W, Field::DetectMax, 2, kM1)},
                    CheckCase{"LongText",
                              [](OptionsValues& v) { v.of(W).bandLow[1] = QString(300, u'9'); },
                              fails(W, Field::DetectMin, 1, kM1)},
                    CheckCase{"TickedLimitEmpty",
                              [](OptionsValues& v) { v.of(Q).limit[2] = QString(); },
                              fails(Q, Field::Limit, 2, kM1)},
                    // A number beyond the single range cannot be stored either.
                    CheckCase{"TickedLimitBeyondSingle",
                              [](OptionsValues& v) { v.of(W).limit[0] = QString(300, u'9'); },
                              fails(W, Field::Limit, 0, kM1)},
                    CheckCase{"QuinellaLimitsBeforeWideLevels",
                              [](OptionsValues& v) {
                                  v.of(Q).limit[3] = u"-"_s;
                                  v.of(W).bandLow[0] = u"x"_s;
                              },
                              fails(Q, Field::Limit, 3, kM1)},
                    CheckCase{"UntickedLimitIsNotChecked",
                              [](OptionsValues& v) {
                                  v.of(Q).limitOn[2] = false;
                                  v.of(Q).limit[2] = QString();
                              },
                              std::nullopt},
                    CheckCase{"PassesWithOddButValidTexts",
                              [](OptionsValues& v) {
                                  v.of(Q).bandLow[0] = u"-0"_s;
                                  v.of(Q).bandHigh[0] = u"+32767"_s;
                                  v.of(W).bandLow[0] = u"-32768"_s;
                                  v.of(Q).marks[0] = QString(300, u'x');
                                  v.of(W).marks[0] = QString();
                              },
                              std::nullopt}),
    [](const testing::TestParamInfo<CheckCase>& param) { return std::string(param.param.name); });

// Storing the first run's values writes every key of the table, each as its default text.
TEST(OptionsValues, FirstRunStoresEveryKeyAsItsDefault)
{
    TestFolder folder;
    const QString ini = folder.filePath(u"first.ini"_s);
    {
        SettingsStore store(ini);
        OptionsValues::read(store).write(store);
    }
    const QSettings raw(ini, QSettings::IniFormat);
    int keys = 0;
    for (const SettingsKeyInfo& info : settingsKeys()) {
        for (const BetType bet : {Q, W}) {
            const bool perBet = info.scope == KeyScope::PerBet || info.scope == KeyScope::PerLevel;
            if (bet == W && !perBet) {
                continue;
            }
            const int count = info.scope == KeyScope::PerHorse   ? kMaxRunners
                              : info.scope == KeyScope::PerLevel ? SettingsKeyInfo::kLevels
                                                                 : 1;
            for (int index = 1; index <= count; ++index) {
                const QString group = info.sectionName().replace(u'\\', u'/');
                const QString key = group + u'/' + info.storedName(bet, index);
                ASSERT_TRUE(raw.contains(key)) << key.toStdString();
                ++keys;
                if (info.key == SettingsKey::PatFolder) {
                    continue; // stored as read, with its separator
                }
                EXPECT_EQ(raw.value(key).toString(), info.defaultText(bet, index))
                    << key.toStdString();
            }
        }
    }
    EXPECT_EQ(raw.allKeys().size(), keys);
}

// What the dialog stores comes back as the same values.
TEST(OptionsValues, WrittenValuesReadBack)
{
    TestFolder folder;
    SettingsStore store(folder.filePath(u"round.ini"_s));
    OptionsValues values = firstRun();
    values.patFolder = u"/srv/pat/"_s;
    values.horseColours[17] = 0x563412;
    values.popularityThreshold = 17;
    values.of(W).bandLow[4] = u"0"_s;
    values.of(Q).marks[1] = QString();
    values.of(W).markedSigns = 2;
    values.of(Q).limitOn[0] = false;
    values.of(Q).limit[3] = u"9999.9"_s;
    ASSERT_EQ(values.validate(), std::nullopt);
    values.write(store);
    EXPECT_EQ(OptionsValues::read(store), values);
}
