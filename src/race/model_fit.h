// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <atomic>
#include <optional>

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "analysis/model_scores.h"
#include "base/bet_type.h"
#include "settings/model_settings.h"
#include "settings/stake_settings.h"

struct CalibrationSeason;
class SettingsStore;

/// Races with results a fit needs before stakes are made under it.
inline constexpr qint64 kFitMinimumRaces = 500;

/// The models fitted on a folder's races but the last fifth of its course-days, and scored on
/// that fifth: what 自動較正 keeps, and what the walk-forward backtest refits.
struct ModelFit
{
    QDateTime fittedAt;  ///< an instant
    QStringList folders; ///< the folders fitted on (fitFolders)
    qint64 races = 0;    ///< fitted on
    qint64 testRaces = 0;
    int days = 0; ///< course-days fitted on
    int testDays = 0;
    ModelSettings model; ///< the fitted blend: λ, τ and both bet types' weights

    /// One bet type out of sample: each model's log-loss per race, and what the blend and the
    /// discounted model gain over the pool alone, with their course-day intervals.
    struct Test
    {
        qint64 races = 0;
        double poolLoss = 0.0;
        double discountLoss = 0.0;
        double blendLoss = 0.0;
        BlendGain blendGain;
        BlendGain discountGain;

        bool operator==(const Test&) const = default;
    };
    std::array<Test, 2> test;

    /// The settings to stake `bet` under with `stake`: the fitted blend, or its discounted
    /// model alone.
    ModelSettings settingsFor(StakeModel stake) const;
    /// Whether stakes of `bet` may be made under `stake`: the gain over the pool out of sample
    /// of the model whose chances the stakes take (for the blend's wide stakes its discounted
    /// model) has a lower end above 0 (never under Harville).
    bool opens(StakeModel stake, BetType bet) const;

    /// Whether `folder` is one the fit was made on (paths compared cleaned and absolute).
    bool madeOn(const QString& folder) const;

    /// The fit kept in section "Calibration\Auto"; empty when none is, or it does not read.
    static std::optional<ModelFit> read(const SettingsStore& store);
    void write(SettingsStore& store) const;

    bool operator==(const ModelFit&) const = default;
};

/// A fit, or why there is none.
struct ModelFitRun
{
    std::optional<ModelFit> fit;
    qint64 races = 0; ///< races with results seen
    QString why;      ///< for the user, when there is no fit
};

/// Fits on the course-days of `season` before `endDay` (all of them when it is past the last):
/// the discounted model and the blend on all of them but the last fifth (at least one), scored
/// on that fifth. No fit with fewer than kFitMinimumRaces races.
ModelFitRun fitHeldOut(const CalibrationSeason& season,
                       quint32 endDay,
                       const QDateTime& at,
                       int resamples = 2000);

/// fitHeldOut() on every race of the folders; `cancel` (may be null) stops the reading.
ModelFitRun fitFolders(const QStringList& folders,
                       const QDateTime& at,
                       const std::atomic<bool>* cancel = nullptr);

/// Why there are no stakes of a bet type, for the user; empty when there are.
QString
stakeGateReason(const StakeSettings& settings, const std::optional<ModelFit>& fit, BetType bet);

/// The line above the pair lists: the model the chances come from, when and on how many races
/// it was fitted, and how it scored out of sample against the pool (`detailed`: with the
/// intervals of the gains and the year).
QString stakeModelLine(const StakeSettings& settings,
                       const std::optional<ModelFit>& fit,
                       bool detailed = false);
