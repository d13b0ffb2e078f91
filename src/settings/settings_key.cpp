// SPDX-License-Identifier: MIT
#include "settings_key.h"

#include <QtGlobal>

using namespace Qt::StringLiterals;

namespace {

using Defaults = std::array<std::array<const char16_t*, SettingsKeyInfo::kLevels>, 2>;

constexpr const char16_t* kAutoJudge = SettingsSection::kAutoJudge;

constexpr Defaults same(const char16_t* text)
{
    return {{{text}, {text}}};
}

constexpr Defaults perBet(const char16_t* quinella, const char16_t* wide)
{
    return {{{quinella}, {wide}}};
}

constexpr std::array<const char16_t*, SettingsKeyInfo::kLevels> kMarks
    = {u"◎", u"○", u"▲", u"△", u"×"};

// clang-format off
constexpr std::array<SettingsKeyInfo, static_cast<std::size_t>(SettingsKey::KeyCount)> kKeys = {{
    {SettingsKey::PatFolder, SettingsSection::kOption, u"PatFolder", ValueForm::Text,
     KeyScope::Single, {}},
    {SettingsKey::HorseNoColour, SettingsSection::kHorseNoColor, u"", ValueForm::Integer32,
     KeyScope::PerHorse, same(u"16777215")}, // white
    {SettingsKey::DetectVal, kAutoJudge, u"DetectVal", ValueForm::Integer16,
     KeyScope::Single, same(u"5")},
    {SettingsKey::DetectMin, kAutoJudge, u"DetectMin", ValueForm::Integer16, KeyScope::PerLevel,
     {{{u"500", u"300", u"200", u"100", u"50"}, {u"300", u"200", u"100", u"50", u"30"}}}},
    {SettingsKey::DetectMax, kAutoJudge, u"DetectMax", ValueForm::Integer16, KeyScope::PerLevel,
     {{{u"1000", u"500", u"300", u"200", u"100"}, {u"1000", u"300", u"200", u"100", u"50"}}}},
    {SettingsKey::DispChar, kAutoJudge, u"DispChar", ValueForm::Text, KeyScope::PerLevel,
     {kMarks, kMarks}},
    {SettingsKey::DispSign, kAutoJudge, u"DispSign", ValueForm::Integer16,
     KeyScope::PerBet, same(u"0")},
    {SettingsKey::PlusColour, kAutoJudge, u"PlusColor", ValueForm::Integer32,
     KeyScope::PerBet, same(u"0")}, // black
    {SettingsKey::MinusColour, kAutoJudge, u"MinusColor", ValueForm::Integer32,
     KeyScope::PerBet, same(u"255")}, // red
    {SettingsKey::IsTheoreticalLimit, kAutoJudge, u"IsIdealLimit", ValueForm::Flag,
     KeyScope::PerBet, same(u"True")},
    {SettingsKey::IsActualLimit, kAutoJudge, u"IsRealLimit", ValueForm::Flag,
     KeyScope::PerBet, same(u"True")},
    {SettingsKey::IsWinRatioLimit, kAutoJudge, u"IsTanRatioLimit", ValueForm::Flag,
     KeyScope::PerBet, same(u"True")},
    {SettingsKey::IsPlaceRatioLimit, kAutoJudge, u"IsFukuRatioLimit", ValueForm::Flag,
     KeyScope::PerBet, same(u"True")},
    {SettingsKey::TheoreticalLimit, kAutoJudge, u"IdealLimit", ValueForm::Single,
     KeyScope::PerBet, same(u"1000")},
    {SettingsKey::ActualLimit, kAutoJudge, u"RealLimit", ValueForm::Single,
     KeyScope::PerBet, perBet(u"300", u"100")},
    {SettingsKey::WinRatioLimit, kAutoJudge, u"TanRatioLimit", ValueForm::Single,
     KeyScope::PerBet, same(u"0.04")},
    {SettingsKey::PlaceRatioLimit, kAutoJudge, u"FukuRatioLimit", ValueForm::Single,
     KeyScope::PerBet, same(u"0.05")},
}};
// clang-format on

constexpr bool inKeyOrder()
{
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (static_cast<std::size_t>(kKeys[i].key) != i) {
            return false;
        }
    }
    return true;
}
static_assert(inKeyOrder(), "the table is indexed by SettingsKey");

} // namespace

QString SettingsKeyInfo::storedName(BetType bet, int index) const
{
    const QString suffix = betKeySuffix(bet);
    switch (scope) {
    case KeyScope::Single:
        return QString::fromUtf16(name);
    case KeyScope::PerHorse:
        return QString::number(index);
    case KeyScope::PerBet:
        return QString::fromUtf16(name) + suffix;
    case KeyScope::PerLevel:
        return QString::fromUtf16(name) + suffix + QString::number(index);
    }
    return QString::fromUtf16(name);
}

QString SettingsKeyInfo::defaultText(BetType bet, int index) const
{
    const std::size_t row
        = scope == KeyScope::PerBet || scope == KeyScope::PerLevel ? betIndex(bet) : 0;
    const int level = scope == KeyScope::PerLevel ? qBound(1, index, kLevels) : 1;
    const char16_t* text = defaults[row][static_cast<std::size_t>(level - 1)];
    return text != nullptr ? QString::fromUtf16(text) : QString();
}

int SettingsKeyInfo::storedCount() const
{
    switch (scope) {
    case KeyScope::Single:
        return 1;
    case KeyScope::PerHorse:
        return kMaxRunners;
    case KeyScope::PerBet:
        return 2;
    case KeyScope::PerLevel:
        return 2 * kLevels;
    }
    return 1;
}

std::span<const SettingsKeyInfo> settingsKeys()
{
    return kKeys;
}

const SettingsKeyInfo& settingsKey(SettingsKey key)
{
    return kKeys[static_cast<std::size_t>(key)];
}
