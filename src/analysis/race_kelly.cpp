// SPDX-License-Identifier: MIT
#include "race_kelly.h"

#include <cmath>

#include "analysis/horse_table.h"
#include "analysis/kelly.h"
#include "analysis/ordering_model.h"
#include "analysis/pair_judgement.h"
#include "pat/quinella_odds.h"
#include "settings/model_settings.h"

std::vector<double> raceKellyFractions(BetType bet,
                                       const OrderingModel& model,
                                       int runners,
                                       std::span<const BetRecord> bets,
                                       std::span<const double> quinellaChances,
                                       double* gap)
{
    if (gap != nullptr) {
        *gap = 0.0;
    }
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
    const KellySetSolution solution = solveKellyOverSets(problem);
    if (gap != nullptr) {
        *gap = solution.gap;
    }
    const std::vector<double>& fractions = solution.fractions;
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

namespace {

// The ordering model raceKelly stakes under, and the blend's quinella chances when asked.
struct StakeModelOf
{
    OrderingModel model;
    std::array<double, kMaxPairs> blendChances{};
    bool blend = false;
};

OrderingModel orderingModelOf(const HorseTable& table, const ModelSettings& settings)
{
    const int runners = table.getHorseCount();
    std::array<double, kMaxRunners + 1> winOdds{};
    for (int h = 1; h <= runners; ++h) {
        winOdds[static_cast<std::size_t>(h)] = table.winOdds(h);
    }
    const bool discounted
        = settings.kind == TheoryModel::Discounted || settings.kind == TheoryModel::Blend;
    const auto chances = winChances(winOdds);
    return OrderingModel(
        std::span<const double>(chances).first(static_cast<std::size_t>(runners) + 1),
        discounted ? settings.lambda : 1.0,
        discounted ? settings.tau : 1.0);
}

StakeModelOf stakeModelOf(const HorseTable& table,
                          const QuinellaOddsRecord& odds,
                          const ModelSettings& settings,
                          bool quinella)
{
    StakeModelOf of{orderingModelOf(table, settings)};
    of.blend = settings.kind == TheoryModel::Blend;
    if (of.blend && quinella) {
        blendPairChances(table, odds, BetType::Quinella, settings, of.model, of.blendChances);
    }
    return of;
}

} // namespace

RaceKelly raceKelly(const HorseTable& table,
                    const QuinellaOddsRecord& odds,
                    const ModelSettings& settings,
                    const std::array<RaceBets, 2>& bets,
                    std::array<bool, 2> wanted,
                    std::array<std::vector<double>, 2>* chances)
{
    const int runners = table.getHorseCount();
    const StakeModelOf of = stakeModelOf(table, odds, settings, wanted[0] || chances != nullptr);
    if (chances != nullptr) {
        // Each bet's chance as the stakes take it, from the model made once above.
        for (const BetRecord& record : bets[0]) {
            const double chance = of.blend ? of.blendChances[static_cast<std::size_t>(
                                      pairIndex(runners, record.first, record.second))]
                                           : of.model.firstTwo(record.first, record.second);
            (*chances)[0].push_back(std::isfinite(chance) ? chance : 0.0);
        }
        for (const BetRecord& record : bets[1]) {
            (*chances)[1].push_back(of.model.firstThree(record.first, record.second));
        }
    }
    RaceKelly kelly;
    for (const BetType bet : kBetTypes) {
        const auto b = betIndex(bet);
        if (!wanted[b] && chances == nullptr) {
            continue;
        }
        // A wide ticket pays somewhere in its range: staked at the low end, it never overbets.
        RaceBets staked = bets[b];
        for (BetRecord& record : staked) {
            if (bet == BetType::Wide) {
                record.odds = wideLowOddsOf(odds.pair(record.first, record.second)).value_or(0.0F);
            }
            kelly.odds[b].push_back(record.odds);
        }
        if (!wanted[b]) {
            continue; // its odds and chances only
        }
        kelly.fractions[b] = raceKellyFractions(bet,
                                                of.model,
                                                runners,
                                                staked,
                                                of.blend ? std::span<const double>(of.blendChances)
                                                         : std::span<const double>(),
                                                bet == BetType::Wide ? &kelly.wideGap : nullptr);
    }
    return kelly;
}
