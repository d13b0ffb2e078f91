// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class SettingsStore;

/// Which theory gives the theoretical values.
enum class TheoryModel {
    Harville = 0,   ///< the long-standing formulas: win ratios for quinella, place ratios for wide
    Discounted = 1, ///< both from the win chances, second and third places discounted by λ and τ
};

/// The theory's settings, kept in section "Option\Model" (Kind, Lambda, Tau, Payback). A stored
/// value that does not convert, or lies outside its range, reads as its default.
struct ModelSettings
{
    static constexpr double kDefaultLambda = 0.81;
    static constexpr double kDefaultTau = 0.65;
    static constexpr double kDefaultPayback = 0.75;
    static constexpr double kCurrentJraPayback = 0.775;

    TheoryModel kind = TheoryModel::Harville;
    double lambda = kDefaultLambda;
    double tau = kDefaultTau;
    double payback = kDefaultPayback;

    static ModelSettings read(const SettingsStore& store);
    void write(SettingsStore& store) const;

    /// The model as the window names it ("Harville（従来）", "割引Harville λ=0.81 τ=0.65").
    QString description() const;

    /// Whether a parameter is one the model can use: λ and τ in (0, 10], the payback in (0, 1].
    static bool validParameter(double value);
    static bool validPayback(double value);

    bool operator==(const ModelSettings&) const = default;
};
