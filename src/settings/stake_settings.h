// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>

class SettingsStore;

/// Which model the stakes of the race shown are made under.
enum class StakeModel {
    Blend = 0,      ///< the market blend the window fitted itself (自動較正)
    Discounted = 1, ///< the discounted model of that same fit
    Harville = 2,   ///< Harville's formulas: chances and values shown, never a stake
};

/// The model as data names it (JSON, the ledger): "blend", "discount", "harville".
QString stakeModelKey(StakeModel model);

/// The stakes' settings, kept in section "Option\Stake" (Bankroll, KellyFraction, Model,
/// AutoCalibrate). A stored value that does not convert, or lies outside its range, reads as
/// its default.
struct StakeSettings
{
    static constexpr qint64 kDefaultBankroll = 100000;
    static constexpr double kDefaultKellyFraction = 0.25;

    qint64 bankroll = kDefaultBankroll; ///< yen
    double kellyFraction = kDefaultKellyFraction;
    StakeModel model = StakeModel::Blend;
    bool autoCalibrate = true;

    static StakeSettings read(const SettingsStore& store);
    void write(SettingsStore& store) const;

    /// A bankroll of whole yen from 100 to a trillion; a Kelly fraction in (0, 1].
    static bool validBankroll(qint64 yen);
    static bool validKellyFraction(double fraction);

    /// The stake block of the options dialog as typed.
    struct Input
    {
        QString bankroll;
        QString kellyFraction;
    };
    /// The field a check failed on (0 bankroll, 1 Kelly fraction) and the message for the user.
    struct InputFailure
    {
        int field = 0;
        QString message;

        bool operator==(const InputFailure&) const = default;
    };
    static std::optional<InputFailure> validate(const Input& input);
    /// The bankroll and fraction the block gives into `settings`; false when a field is no
    /// number in its range.
    static bool applyInput(const Input& input, StakeSettings& settings);

    bool operator==(const StakeSettings&) const = default;
};
