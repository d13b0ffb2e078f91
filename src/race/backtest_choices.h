// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>

#include "race/backtest.h"

class SettingsStore;

/// How a backtest resamples and stakes, as the backtest window offers and remembers it (keys
/// Resample, Stake, KellyFraction and Bankroll of the window's section). A stored value that
/// does not convert, or lies outside its range, reads as its default.
struct BacktestChoices
{
    static constexpr double kDefaultKellyFraction = 0.5;
    static constexpr qint64 kDefaultBankroll = 100000;
    /// At least one 100-yen stake; at most a bankroll whose sums stay far from overflow.
    static constexpr qint64 kMinBankroll = 100;
    static constexpr qint64 kMaxBankroll = 1'000'000'000'000;

    ResampleUnit resample = ResampleUnit::Day;
    StakeRule stake = StakeRule::Flat;
    double kellyFraction = kDefaultKellyFraction;
    qint64 bankroll = kDefaultBankroll;

    static BacktestChoices read(const SettingsStore& store, const QString& section);
    void write(SettingsStore& store, const QString& section) const;
    /// Sets the request's resampling and staking.
    void applyTo(BacktestRequest& request) const;

    /// A share of the full Kelly stakes in (0, 1].
    static bool validKellyFraction(double value);
    static bool validBankroll(qint64 yen);
    /// A bankroll typed in yen, with or without "," grouping; empty unless it is a whole number
    /// of yen within the range.
    static std::optional<qint64> bankrollOf(const QString& text);
    /// The bankroll as the window shows it, grouped by thousands ("100,000").
    static QString bankrollText(qint64 yen);

    /// The window's run choices as typed.
    struct Input
    {
        ResampleUnit resample = ResampleUnit::Day;
        StakeRule stake = StakeRule::Flat;
        QString kellyFraction;
        QString bankroll;
    };
    /// The field a check failed on, and the message for the user.
    struct InputFailure
    {
        enum Field { KellyFraction, Bankroll };
        Field field = KellyFraction;
        QString message;

        bool operator==(const InputFailure&) const = default;
    };
    /// Checks the fraction (only under Kelly staking, the only one that uses it), then the
    /// bankroll.
    static std::optional<InputFailure> validate(const Input& input);
    /// The choices the input gives; a field that does not pass its check keeps the value of
    /// `kept`.
    static BacktestChoices fromInput(const Input& input, const BacktestChoices& kept);

    bool operator==(const BacktestChoices&) const = default;
};
