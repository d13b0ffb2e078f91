// SPDX-License-Identifier: MIT
#include "race_kelly.h"

#include <cmath>

#include "analysis/kelly.h"
#include "analysis/ordering_model.h"

std::vector<double> raceKellyFractions(BetType bet,
                                       const OrderingModel& model,
                                       int runners,
                                       std::span<const BetRecord> bets,
                                       std::span<const double> quinellaChances)
{
    if (bets.empty()) {
        return {};
    }
    if (bet == BetType::Quinella) {
        std::vector<double> chances;
        std::vector<double> odds;
        for (const BetRecord& record : bets) {
            if (quinellaChances.empty()) {
                chances.push_back(model.firstTwo(record.first, record.second));
            } else {
                const double chance = quinellaChances[static_cast<std::size_t>(
                    pairIndex(runners, record.first, record.second))];
                chances.push_back(std::isfinite(chance) ? chance : 0.0);
            }
            odds.push_back(record.odds);
        }
        return kellyExclusive(chances, odds);
    }
    std::vector<double> pairOdds(static_cast<std::size_t>(runners * (runners - 1) / 2), 0.0);
    for (const BetRecord& record : bets) {
        pairOdds[static_cast<std::size_t>(pairIndex(runners, record.first, record.second))]
            = record.odds;
    }
    // Every top three as a set, in lexicographic order; a horse without a chance takes none.
    std::vector<double> sets;
    sets.reserve(static_cast<std::size_t>(runners * (runners - 1) * (runners - 2) / 6));
    const auto ordered = [&model](int x, int y, int z) {
        return std::exp(model.logChanceOfOrder(x, y, z));
    };
    for (int a = 1; a <= runners; ++a) {
        for (int b = a + 1; b <= runners; ++b) {
            for (int c = b + 1; c <= runners; ++c) {
                const bool run
                    = model.winChance(a) > 0 && model.winChance(b) > 0 && model.winChance(c) > 0;
                sets.push_back(run ? ordered(a, b, c) + ordered(a, c, b) + ordered(b, a, c)
                                         + ordered(b, c, a) + ordered(c, a, b) + ordered(c, b, a)
                                   : 0.0);
            }
        }
    }
    const KellySetProblem problem = wideProblem(runners, pairOdds, sets);
    const std::vector<double> fractions = kellyOverSets(problem);
    std::vector<double> byBet(bets.size(), 0.0);
    for (std::size_t k = 0; k < bets.size(); ++k) {
        const int pair = pairIndex(runners, bets[k].first, bets[k].second);
        for (std::size_t i = 0; i < problem.betPairs.size(); ++i) {
            if (problem.betPairs[i] == pair) {
                byBet[k] = fractions[i];
                break;
            }
        }
    }
    return byBet;
}
