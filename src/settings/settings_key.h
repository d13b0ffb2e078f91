// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <span>

#include <QString>

#include "base/bet_type.h"
#include "base/runners.h"

/// Sections of the store, with the backslash of the nested ones exactly as the keys name them.
namespace SettingsSection {
inline constexpr char16_t kMainWindow[] = u"MainWindow";
inline constexpr char16_t kOptionWindow[] = u"OptionWindow";
inline constexpr char16_t kSelectFileWindow[] = u"SelectFileWindow";
inline constexpr char16_t kOption[] = u"Option";
inline constexpr char16_t kHorseNoColor[] = u"Option\\HorseNoColor";
inline constexpr char16_t kAutoJudge[] = u"Option\\AutoJudge";
} // namespace SettingsSection

/// The keys of the options, in the order of the table below.
enum class SettingsKey {
    PatFolder,
    HorseNoColour,
    DetectVal,
    DetectMin,
    DetectMax,
    DispChar,
    DispSign,
    PlusColour,
    MinusColour,
    IsTheoreticalLimit,
    IsActualLimit,
    IsWinRatioLimit,
    IsPlaceRatioLimit,
    TheoreticalLimit,
    ActualLimit,
    WinRatioLimit,
    PlaceRatioLimit,
    KeyCount
};

/// How a value is kept as text: integers in decimal, flags as "True"/"False", singles with
/// seven significant digits, texts as they are.
enum class ValueForm { Text, Integer16, Integer32, Flag, Single };

/// What follows a key's name in the store.
enum class KeyScope {
    Single,   // the name alone
    PerHorse, // the horse number 1 to 18 is the name
    PerBet,   // "Uma" or "Wide"
    PerLevel  // "Uma" or "Wide", then the level digit 1 to 5
};

/// One row of the table of option keys. Defaults are the texts the key's writer would store,
/// so a missing key reads like a stored default.
struct SettingsKeyInfo
{
    static constexpr int kLevels = 5;

    // Plain character pointers rather than QStringView: its length is not a constant
    // expression under the sanitisers, and the table must stay constant.
    SettingsKey key;
    const char16_t* section;
    const char16_t* name;
    ValueForm form;
    KeyScope scope;
    /// Per bet type (quinella, wide) and level; a key without levels uses the first, a key
    /// without bet types the first row. Null for the PAT folder, whose default is per platform.
    std::array<std::array<const char16_t*, kLevels>, 2> defaults;

    /// The section as the store takes it ("Option\AutoJudge").
    QString sectionName() const { return QString::fromUtf16(section); }

    /// The stored key name for a bet type and level or horse number (ignored where the key
    /// has none).
    QString storedName(BetType bet, int index) const;
    /// The default text for a bet type and level (ignored where the key has none).
    QString defaultText(BetType bet, int index) const;
    /// How many stored keys the row stands for: 1, 18, 2 or 10.
    int storedCount() const;
};

/// Every option key, in `SettingsKey` order.
std::span<const SettingsKeyInfo> settingsKeys();
const SettingsKeyInfo& settingsKey(SettingsKey key);

/// The limit rows of the judgement, top to bottom: the tick and the value of each.
inline constexpr std::array<SettingsKey, 4> kLimitFlagKeys = {SettingsKey::IsTheoreticalLimit,
                                                              SettingsKey::IsActualLimit,
                                                              SettingsKey::IsWinRatioLimit,
                                                              SettingsKey::IsPlaceRatioLimit};
inline constexpr std::array<SettingsKey, 4> kLimitKeys = {SettingsKey::TheoreticalLimit,
                                                          SettingsKey::ActualLimit,
                                                          SettingsKey::WinRatioLimit,
                                                          SettingsKey::PlaceRatioLimit};
