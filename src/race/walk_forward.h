// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

#include "analysis/stake_summary.h"
#include "settings/model_settings.h"
#include "settings/stake_settings.h"

/// The walk-forward rule's models: each course-day staked under a fit made only on the
/// course-days before it, refitted every `refitDays` course-days, by 自動較正's rule (held out
/// last fifth, at least kFitMinimumRaces races, the gate against the pool).
struct WalkForwardPlan
{
    int refitDays = 7;
    StakeModel model = StakeModel::Blend;
    quint32 days = 0;
    int fits = 0; ///< fits made (blocks with enough races)
    /// Per course-day in the order run: the model to stake under (none before the first fit)
    /// and whether each bet type's gate is open.
    std::vector<std::optional<ModelSettings>> modelOfDay;
    std::vector<std::array<bool, 2>> openOfDay;
    /// Per course-day: the course-days its fit saw are those before this one.
    std::vector<quint32> fitEndOfDay;
    std::vector<QDate> dateOf;     ///< each course-day's date in Japan
    QHash<QString, quint32> dayOf; ///< Zo- path → course-day
};

/// The plan for the races of `folders`; false with `error` when a folder is missing.
bool planWalkForward(const QStringList& folders,
                     int refitDays,
                     StakeModel model,
                     WalkForwardPlan& plan,
                     QString& error);

/// What the rule did with one bet type's bankroll.
struct WalkForwardLine
{
    qint64 racesStaked = 0;
    quint32 daysOpen = 0; ///< course-days the gate was open
    quint32 days = 0;
    /// Mean ln(B_after / B_before) over the races staked, and its course-day bootstrap 95%
    /// interval.
    std::optional<double> logGrowth;
    std::optional<std::pair<double, double>> interval;
};

/// The line of a bet type from its staking and the stakes placed (races in order, each with
/// its resampling unit).
WalkForwardLine walkForwardLine(const StakeSummary& staking,
                                const std::vector<PlacedStake>& placed,
                                const std::vector<quint32>& unitOf,
                                const WalkForwardPlan& plan,
                                std::size_t bet);
