// SPDX-License-Identifier: MIT
#include "walk_forward.h"

#include <cmath>
#include <map>

#include <QtConcurrent/QtConcurrentMap>

#include "analysis/resampling.h"
#include "race/calibration_races.h"
#include "race/model_fit.h"

bool planWalkForward(const QStringList& folders,
                     int refitDays,
                     StakeModel model,
                     WalkForwardPlan& plan,
                     QString& error)
{
    CalibrationSeason season;
    if (!readCalibrationSeason(folders, season, error)) {
        return false;
    }
    plan.refitDays = std::max(1, refitDays);
    plan.model = model;
    plan.days = season.days;
    plan.dayOf = season.dayOf;
    const auto step = static_cast<quint32>(plan.refitDays);
    // A fit at the start of every block of course-days, on the days before it.
    std::vector<quint32> blockStarts;
    for (quint32 d = 0; d < season.days; d += step) {
        blockStarts.push_back(d);
    }
    std::vector<ModelFitRun> fits(blockStarts.size());
    std::vector<quint32> ends(blockStarts.size());
    std::vector<std::size_t> blocks(blockStarts.size());
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        blocks[k] = k;
    }
    // A fit sees no race of its block's first date: two or three courses run on a date, and
    // one's afternoon comes after the other's morning. Without distinct file dates (a folder
    // copied without its times) the course-days' order is all there is.
    const bool dated = !season.dateOf.empty() && season.dateOf.front() != season.dateOf.back();
    QtConcurrent::blockingMap(blocks, [&](std::size_t k) {
        quint32 end = blockStarts[k];
        while (dated && end > 0 && season.dateOf[end - 1] == season.dateOf[blockStarts[k]]) {
            --end;
        }
        ends[k] = end;
        fits[k] = fitHeldOut(season, end, QDateTime());
    });
    plan.modelOfDay.assign(season.days, std::nullopt);
    plan.openOfDay.assign(season.days, {false, false});
    plan.fitEndOfDay.assign(season.days, 0);
    plan.dateOf = season.dateOf;
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        for (quint32 d = blockStarts[k]; d < std::min(season.days, blockStarts[k] + step); ++d) {
            plan.fitEndOfDay[d] = ends[k];
        }
        const std::optional<ModelFit>& fit = fits[k].fit;
        if (!fit) {
            continue;
        }
        ++plan.fits;
        for (quint32 d = blockStarts[k]; d < std::min(season.days, blockStarts[k] + step); ++d) {
            if (model != StakeModel::Harville) {
                plan.modelOfDay[d] = fit->settingsFor(model);
            }
            plan.openOfDay[d]
                = {fit->opens(model, BetType::Quinella), fit->opens(model, BetType::Wide)};
        }
    }
    return true;
}

WalkForwardLine walkForwardLine(const StakeSummary& staking,
                                const std::vector<PlacedStake>& placed,
                                const std::vector<quint32>& unitOf,
                                const WalkForwardPlan& plan,
                                std::size_t bet)
{
    WalkForwardLine line;
    line.days = plan.days;
    for (const auto& open : plan.openOfDay) {
        line.daysOpen += open[bet] ? 1 : 0;
    }
    // ln(B_after / B_before) of each race staked, summed by course-day.
    std::map<quint32, std::size_t> dense;
    std::vector<std::vector<double>> units;
    double total = 0.0;
    std::size_t lastRace = SIZE_MAX;
    bool defined = true;
    for (const PlacedStake& stake : placed) {
        if (stake.race == lastRace) {
            continue; // the race's other stakes: one growth per race
        }
        lastRace = stake.race;
        const qint64 before = stake.bankroll;
        const qint64 after = staking.bankrollCurve[stake.race];
        ++line.racesStaked;
        if (before <= 0 || after <= 0) {
            defined = false; // ruin: no log growth to speak of
            continue;
        }
        const double growth = std::log(static_cast<double>(after) / static_cast<double>(before));
        const auto [at, added] = dense.try_emplace(unitOf[stake.race], units.size());
        if (added) {
            units.push_back({0.0, 0.0});
        }
        units[at->second][0] += growth;
        units[at->second][1] += 1.0;
        total += growth;
    }
    if (line.racesStaked == 0 || !defined) {
        return line;
    }
    line.logGrowth = total / static_cast<double>(line.racesStaked);
    std::vector<double> draws;
    resampleUnitSums(units, 2000, kBootstrapSeed, [&draws](const std::vector<double>& sums) {
        if (sums[1] > 0) {
            draws.push_back(sums[0] / sums[1]);
        }
    });
    line.interval = percentileInterval(std::move(draws));
    return line;
}
