// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>

#include <QString>

#include "base/colour.h"
#include "settings/settings_key.h"

class SettingsStore;

/// Everything the options dialog edits, as values: the texts of its boxes as typed (they are
/// checked, not converted, until OK), its ticks, choices and colours. The analysis reads
/// `JudgeSettings` instead, whose values have already converted.
struct OptionsValues
{
    static constexpr int kLevels = SettingsKeyInfo::kLevels;
    static constexpr int kLimits = static_cast<int>(kLimitKeys.size());
    static constexpr qint32 kWhite = kWhiteSetting;

    /// One bet type's block; limit rows in the order of `kLimitKeys`.
    struct Judge
    {
        std::array<QString, kLevels> bandLow;
        std::array<QString, kLevels> bandHigh;
        std::array<QString, kLevels> marks;
        int markedSigns = 0; // 0 both signs, 1 plus only, 2 minus only
        qint32 plusColour = kWhite;
        qint32 minusColour = kWhite;
        std::array<bool, kLimits> limitOn{};
        std::array<QString, kLimits> limit;

        bool operator==(const Judge&) const = default;
    };

    /// A box the checks look at: a level bound (row 0 to 4) or a limit (row 0 to 3).
    struct Field
    {
        enum Box { DetectMin, DetectMax, Limit };
        BetType bet = BetType::Quinella;
        Box box = DetectMin;
        int row = 0;

        bool operator==(const Field&) const = default;
    };

    /// The first check that failed: what to tell the user and which box to give the focus.
    struct ValidationFailure
    {
        Field field;
        QString message;

        bool operator==(const ValidationFailure&) const = default;
    };

    /// The title of the check's messages.
    static QString messageTitle();

    QString patFolder;
    std::array<qint32, kMaxRunners> horseColours{};
    qint16 popularityThreshold = 0; // 1 to 17; 0 when none is chosen
    std::array<Judge, 2> judge;     // quinella, wide

    Judge& of(BetType bet) { return judge[betIndex(bet)]; }
    const Judge& of(BetType bet) const { return judge[betIndex(bet)]; }

    /// The dialog as designed, before any setting is read.
    static OptionsValues designed();
    /// The design, with every stored value that converts (and lies in its control's range).
    static OptionsValues read(const SettingsStore& store);

    /// The checks at OK, in the dialog's order: quinella, then wide; in each the level bounds
    /// row by row (min is a number, max is a number, min below max), then the ticked limits.
    /// Marks and unticked limits are not checked. Empty when everything passes.
    std::optional<ValidationFailure> validate() const;

    /// Stores every value; the values must have passed `validate()`. An unticked limit that is
    /// no number keeps the value stored before.
    void write(SettingsStore& store) const;

    bool operator==(const OptionsValues&) const = default;
};
