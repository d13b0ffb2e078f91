// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>

#include <QString>

class SettingsStore;

/// Which theory gives the theoretical values.
enum class TheoryModel {
    Harville = 0,   ///< the long-standing formulas: win ratios for quinella, place ratios for wide
    Discounted = 1, ///< both from the win chances, second and third places discounted by λ and τ
    Blend = 2,      ///< the discounted model blended with the pools by fitted weights
};

/// The theory's settings, kept in section "Option\Model" (Kind, Lambda, Tau, Payback, and the
/// blend's WeightUma1–2 and WeightWide1–3: model, pool, place pool). A stored value that does
/// not convert, or lies outside its range, reads as its default.
struct ModelSettings
{
    static constexpr double kDefaultLambda = 0.81;
    static constexpr double kDefaultTau = 0.65;
    static constexpr double kDefaultPayback = 0.75;
    static constexpr double kCurrentJraPayback = 0.775;

    /// Until calibrate fits them: halfway between the model and the bet type's own pool.
    static constexpr std::array<double, 2> kDefaultQuinellaWeights = {0.5, 0.5};
    static constexpr std::array<double, 3> kDefaultWideWeights = {0.5, 0.5, 0.0};

    TheoryModel kind = TheoryModel::Harville;
    double lambda = kDefaultLambda;
    double tau = kDefaultTau;
    double payback = kDefaultPayback;
    std::array<double, 2> quinellaWeights = kDefaultQuinellaWeights;
    std::array<double, 3> wideWeights = kDefaultWideWeights;

    /// Weight k of the five, in the order of Input::weights.
    double weight(int k) const;
    void setWeight(int k, double value);

    static ModelSettings read(const SettingsStore& store);
    void write(SettingsStore& store) const;

    /// The model as the window names it ("Harville（従来）", "割引Harville λ=0.81 τ=0.65").
    QString description() const;

    /// Whether a parameter is one the model can use: λ and τ in (0, 10], the payback in (0, 1],
    /// a blend weight in [−10, 10].
    static bool validParameter(double value);
    static bool validWeight(double value);
    static bool validPayback(double value);

    /// The model row of the options dialog as typed: λ, τ and the payback as number texts.
    struct Input
    {
        TheoryModel kind = TheoryModel::Harville;
        QString lambda;
        QString tau;
        QString payback;
        std::array<QString, 5> weights; ///< quinella model, pool; wide model, pool, place
    };
    /// The box of the row a check failed on, and the message for the user.
    struct InputFailure
    {
        enum Box { Lambda, Tau, Payback, Weight };
        Box box = Lambda;
        QString message;
        int weight = 0; ///< which weight, with Box Weight

        bool operator==(const InputFailure&) const = default;
    };
    /// Checks the row in its order, λ, τ, the payback, then the weights: each a number, then in
    /// its range.
    static std::optional<InputFailure> validate(const Input& input);
    /// The model the row gives; empty when a field is no number (ranges unchecked).
    static std::optional<ModelSettings> fromInput(const Input& input);
    /// A number typed in a field, read by the program's one parser; empty for anything else.
    static std::optional<double> fieldNumber(const QString& text);
    /// The shortest text that reads back as the same double: what a field shows and the store
    /// keeps.
    static QString fieldText(double value);

    bool operator==(const ModelSettings&) const = default;
};
