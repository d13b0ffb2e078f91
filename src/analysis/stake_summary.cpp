// SPDX-License-Identifier: MIT
#include "stake_summary.h"

#include <algorithm>
#include <cmath>

StakeSummary summariseStakes(std::span<const RaceStake> races, qint64 startingBankroll)
{
    StakeSummary summary;
    summary.bankrollCurve.reserve(races.size());
    qint64 bankroll = startingBankroll;
    qint64 peak = startingBankroll;
    int losingRun = 0;
    bool ratiosDefined = true;
    bool logsDefined = true;
    double logSum = 0.0;
    std::vector<double> returnsOnBankroll;
    for (const RaceStake& race : races) {
        const qint64 before = bankroll;
        bankroll = before - race.stake + race.returns;
        summary.bankrollCurve.push_back(bankroll);
        summary.stakes += race.stake;
        summary.returns += race.returns;
        peak = std::max(peak, bankroll);
        summary.maxDrawdownYen = std::max(summary.maxDrawdownYen, peak - bankroll);
        if (peak > 0) {
            summary.maxDrawdownPercent = std::max(summary.maxDrawdownPercent,
                                                  100.0 * static_cast<double>(peak - bankroll)
                                                      / static_cast<double>(peak));
        }
        if (race.stake <= 0) {
            continue;
        }
        ++summary.racesBet;
        losingRun = race.returns < race.stake ? losingRun + 1 : 0;
        summary.longestLosingRun = std::max(summary.longestLosingRun, losingRun);
        if (before <= 0) {
            ratiosDefined = false;
            logsDefined = false;
            continue;
        }
        const double ratio = static_cast<double>(bankroll) / static_cast<double>(before);
        returnsOnBankroll.push_back(ratio - 1.0);
        if (ratio > 0.0) {
            logSum += std::log(ratio);
        } else {
            logsDefined = false;
        }
    }
    summary.finalBankroll = bankroll;
    if (summary.racesBet == 0 || !ratiosDefined) {
        return summary;
    }
    const auto count = static_cast<double>(returnsOnBankroll.size());
    if (logsDefined) {
        summary.logGrowthPerRace = logSum / count;
    }
    double sum = 0.0;
    double downside = 0.0;
    for (const double r : returnsOnBankroll) {
        sum += r;
        downside += r < 0.0 ? r * r : 0.0;
    }
    const double mean = sum / count;
    if (returnsOnBankroll.size() >= 2) {
        double squares = 0.0;
        for (const double r : returnsOnBankroll) {
            squares += (r - mean) * (r - mean);
        }
        const double deviation = std::sqrt(squares / (count - 1.0));
        if (deviation > 0.0) {
            summary.sharpe = mean / deviation;
        }
    }
    if (downside > 0.0) {
        summary.sortino = mean / std::sqrt(downside / count);
    }
    return summary;
}
