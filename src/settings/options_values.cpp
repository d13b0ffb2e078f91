// SPDX-License-Identifier: MIT
#include "options_values.h"

#include "base/display_format.h"
#include "base/number_text.h"
#include "base/texts.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

constexpr BetType kBets[] = {BetType::Quinella, BetType::Wide};

// Design-time texts, shown when a stored value cannot be read.
constexpr const char16_t* kDesignMin[] = {u"500", u"300", u"200", u"100", u"50"};
constexpr const char16_t* kDesignMax[] = {u"1000", u"500", u"300", u"200", u"100"};
constexpr const char16_t* kDesignMark[] = {u"◎", u"　", u"　", u"　", u"　"};
constexpr const char16_t* kDesignLimit[] = {u"1000", u"1000", u"0.04", u"0.05"};

// A level bound as the store takes it: a number that rounds into 16 bits, ties to even.
// A number outside that range is refused like any other bad text rather than wrapped.
std::optional<qint16> levelValue(const QString& text)
{
    const auto number = parseDecimalText(text);
    if (!number) {
        return std::nullopt;
    }
    const auto value = roundDecimalText(*number, -32768, 32767);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<qint16>(*value);
}

// A limit as the store takes it; empty for a text that is no number or lies beyond a single.
std::optional<float> limitValue(const QString& text)
{
    const auto number = parseDecimalText(text);
    if (!number) {
        return std::nullopt;
    }
    return decimalTextToSingle(*number);
}

const QString kNotANumber = Texts::notANumber();
const QString kBadOrder = u"数値の大小関係を正しく入力して下さい。"_s;

std::optional<OptionsValues::ValidationFailure> validateJudge(const OptionsValues::Judge& judge,
                                                              BetType bet)
{
    using Field = OptionsValues::Field;
    const auto failure = [bet](Field::Box box, std::size_t row, const QString& message) {
        return OptionsValues::ValidationFailure{Field{bet, box, static_cast<int>(row)}, message};
    };
    for (std::size_t i = 0; i < OptionsValues::kLevels; ++i) {
        const auto min = levelValue(judge.bandLow[i]);
        if (!min) {
            return failure(Field::DetectMin, i, kNotANumber);
        }
        const auto max = levelValue(judge.bandHigh[i]);
        if (!max) {
            return failure(Field::DetectMax, i, kNotANumber);
        }
        if (*min >= *max) {
            return failure(Field::DetectMin, i, kBadOrder);
        }
    }
    for (std::size_t i = 0; i < OptionsValues::kLimits; ++i) {
        if (judge.limitOn[i] && !limitValue(judge.limit[i])) {
            return failure(Field::Limit, i, kNotANumber);
        }
    }
    return std::nullopt;
}

} // namespace

QString OptionsValues::messageTitle()
{
    return u"オプション設定"_s;
}

OptionsValues OptionsValues::designed()
{
    OptionsValues v;
    v.patFolder = SettingsStore::defaultPatFolder();
    v.horseColours.fill(kWhite);
    for (Judge& judge : v.judge) {
        for (std::size_t i = 0; i < kLevels; ++i) {
            judge.bandLow[i] = QString::fromUtf16(kDesignMin[i]);
            judge.bandHigh[i] = QString::fromUtf16(kDesignMax[i]);
            judge.marks[i] = QString::fromUtf16(kDesignMark[i]);
        }
        for (std::size_t i = 0; i < kLimits; ++i) {
            judge.limit[i] = QString::fromUtf16(kDesignLimit[i]);
        }
    }
    return v;
}

// Value by value, each independent: one that cannot be read keeps its design.
OptionsValues OptionsValues::read(const SettingsStore& store)
{
    OptionsValues v = designed();
    v.patFolder = store.getPatFolder();
    for (int no = 1; no <= kMaxRunners; ++no) {
        if (const auto colour = store.readInteger32(SettingsKey::HorseNoColour, {}, no)) {
            v.horseColours[static_cast<std::size_t>(no - 1)] = *colour;
        }
    }
    if (const auto value = store.readInteger16(SettingsKey::DetectVal);
        value && *value >= 1 && *value <= 17) {
        v.popularityThreshold = *value;
    }
    for (const BetType bet : kBets) {
        Judge& judge = v.of(bet);
        for (int level = 1; level <= kLevels; ++level) {
            const auto i = static_cast<std::size_t>(level - 1);
            if (const auto min = store.readInteger16(SettingsKey::DetectMin, bet, level)) {
                judge.bandLow[i] = QString::number(*min);
            }
            if (const auto max = store.readInteger16(SettingsKey::DetectMax, bet, level)) {
                judge.bandHigh[i] = QString::number(*max);
            }
            judge.marks[i] = store.readText(SettingsKey::DispChar, bet, level);
        }
        if (const auto sign = store.readInteger16(SettingsKey::DispSign, bet);
            sign && *sign >= 0 && *sign <= 2) {
            judge.markedSigns = *sign;
        }
        if (const auto plus = store.readInteger32(SettingsKey::PlusColour, bet)) {
            judge.plusColour = *plus;
        }
        if (const auto minus = store.readInteger32(SettingsKey::MinusColour, bet)) {
            judge.minusColour = *minus;
        }
        for (std::size_t k = 0; k < kLimits; ++k) {
            if (const auto on = store.readFlag(kLimitFlagKeys[k], bet)) {
                judge.limitOn[k] = *on;
            }
            if (const auto limit = store.readSingle(kLimitKeys[k], bet)) {
                judge.limit[k] = formatSingle(*limit);
            }
        }
    }
    return v;
}

std::optional<OptionsValues::ValidationFailure> OptionsValues::validate() const
{
    for (const BetType bet : kBets) {
        if (auto failure = validateJudge(of(bet), bet)) {
            return failure;
        }
    }
    return std::nullopt;
}

void OptionsValues::write(SettingsStore& store) const
{
    store.writeText(SettingsKey::PatFolder, {}, 1, patFolder);
    for (int no = 1; no <= kMaxRunners; ++no) {
        store.writeInteger32(
            SettingsKey::HorseNoColour, {}, no, horseColours[static_cast<std::size_t>(no - 1)]);
    }
    store.writeInteger16(SettingsKey::DetectVal, {}, 1, popularityThreshold);
    for (const BetType bet : kBets) {
        const Judge& values = of(bet);
        for (int level = 1; level <= kLevels; ++level) {
            const auto i = static_cast<std::size_t>(level - 1);
            // The checks passed, so both bounds convert.
            if (const auto min = levelValue(values.bandLow[i])) {
                store.writeInteger16(SettingsKey::DetectMin, bet, level, *min);
            }
            if (const auto max = levelValue(values.bandHigh[i])) {
                store.writeInteger16(SettingsKey::DetectMax, bet, level, *max);
            }
            store.writeText(SettingsKey::DispChar, bet, level, values.marks[i]);
        }
        if (values.markedSigns >= 0 && values.markedSigns <= 2) {
            store.writeInteger16(
                SettingsKey::DispSign, bet, 1, static_cast<qint16>(values.markedSigns));
        }
        store.writeInteger32(SettingsKey::PlusColour, bet, 1, values.plusColour);
        store.writeInteger32(SettingsKey::MinusColour, bet, 1, values.minusColour);
        for (std::size_t k = 0; k < kLimits; ++k) {
            store.writeFlag(kLimitFlagKeys[k], bet, 1, values.limitOn[k]);
        }
        for (std::size_t k = 0; k < kLimits; ++k) {
            // Only an unticked row can hold a text that is no number: its limit keeps the value
            // stored before.
            if (const auto value = limitValue(values.limit[k])) {
                store.writeSingle(kLimitKeys[k], bet, 1, *value);
            }
        }
    }
    store.sync();
}
