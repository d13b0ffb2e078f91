// SPDX-License-Identifier: MIT
#include "stake_summary.h"

#include <algorithm>
#include <cmath>

#include "analysis/kelly.h"

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

StakeSummary stakeSeason(const BetTypeSeason& season,
                         const std::vector<std::vector<double>>* fractions,
                         qint64 bankroll,
                         double kellyFraction,
                         std::vector<PlacedStake>* placed)
{
    std::vector<RaceStake> races;
    races.reserve(season.tallies.size());
    const qint64 start = bankroll;
    for (std::size_t r = 0; r < season.tallies.size(); ++r) {
        RaceStake race;
        if (fractions == nullptr) {
            const GroupTally& all = season.tallies[r][static_cast<std::size_t>(BacktestGroup::All)];
            race = RaceStake{qint64{100} * all.bets, all.returns};
        } else {
            // Kelly's stakes grow with the bankroll without end; no race's pool takes stakes
            // beyond ten billion yen, and the sums stay far inside 64 bits.
            constexpr qint64 kMaxStakedBankroll = 10'000'000'000;
            const std::vector<qint64> yen
                = stakesInYen((*fractions)[r],
                              std::clamp<qint64>(bankroll, 0, kMaxStakedBankroll),
                              kellyFraction);
            for (std::size_t k = 0; k < yen.size(); ++k) {
                if (yen[k] == 0) {
                    continue;
                }
                const qint64 returns = yen[k] / 100 * season.bets[r][k].payout;
                race.stake += yen[k];
                race.returns += returns;
                if (placed != nullptr) {
                    placed->push_back({r, k, bankroll, yen[k], returns});
                }
            }
        }
        bankroll += race.returns - race.stake;
        races.push_back(race);
    }
    return summariseStakes(races, start);
}
