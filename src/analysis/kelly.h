// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <span>
#include <vector>

#include <QtGlobal>

/// Kelly staking: the fractions of wealth that maximise the expected logarithm of wealth after
/// one race. Odds are decimal payouts per unit staked (12.3 returns 12.3 for 1, stake included).

/// The optimal fractions on mutually exclusive outcomes (quinella pairs), by the closed form of
/// Smoczynski and Tomkins (2010). `probabilities` may sum to less than 1, the rest being "none of
/// these wins"; a sum above 1 is scaled down to 1. An outcome with probability or odds ≤ 0 gets 0.
std::vector<double> kellyExclusive(std::span<const double> probabilities,
                                   std::span<const double> odds);

/// Σ p_i ln(1 − F + f_i o_i) + (1 − Σ p) ln(1 − F), F = Σ f_i; −∞ when wealth can reach 0.
double expectedLogGrowthExclusive(std::span<const double> probabilities,
                                  std::span<const double> odds,
                                  std::span<const double> fractions);

/// Bets that are not exclusive: in each outcome s, with chance q_s, the bets `setBets[s]` pay
/// together (wide: the top three {a, b, c} pays ab, ac and bc). With chance 1 − Σ q_s none pays;
/// chances summing above 1 are scaled down to 1.
struct KellySetProblem
{
    std::vector<double> odds;                ///< per bet; ≤ 1 never beats keeping the stake
    std::vector<double> setProbabilities;    ///< per outcome
    std::vector<std::array<int, 3>> setBets; ///< indices into odds, -1 where none
    std::vector<int> betPairs;               ///< wideProblem: each bet's pairIndex; else empty
};

/// The fractions f ≥ 0, Σ f < 1, that maximise expectedLogGrowth, by projected Newton steps on
/// the concave objective; the KKT conditions hold to about 1e-10 in the gradient.
std::vector<double> kellyOverSets(const KellySetProblem& problem);

/// kellyOverSets with how far its answer may lie below the optimum: by concavity G* − G(f) is at
/// most max_j E[r_j / W] − 1 over cash and the bets (r_j: what one unit in j returns, W: the
/// wealth), a bound that needs no second solver. `optimal` when that gap is below 1e-6.
struct KellySetSolution
{
    std::vector<double> fractions;
    double gap = 0.0;
    bool optimal = true;
};
KellySetSolution solveKellyOverSets(const KellySetProblem& problem);
inline constexpr double kKellyGapTolerance = 1e-6;

/// G(f) = Σ_s q_s ln(1 − F + Σ_{i∈s} f_i o_i) + (1 − Σ_s q_s) ln(1 − F); −∞ when some outcome
/// of positive chance leaves no wealth.
double expectedLogGrowth(const KellySetProblem& problem, std::span<const double> fractions);

/// The place of the pair a-b, 1 ≤ a < b ≤ runners, in row order 1-2, 1-3, …, 1-n, 2-3, …
int pairIndex(int runners, int a, int b);

/// The wide problem of one race: `pairOdds` by pairIndex (0 = not offered), `setProbabilities`
/// per top three {a < b < c} in lexicographic order. Only the offered pairs become bets; every
/// top three stays an outcome, paying those of its three pairs that are offered.
KellySetProblem wideProblem(int runners,
                            std::span<const double> pairOdds,
                            std::span<const double> setProbabilities);

/// Each bet's stake: f_i · fraction · bankroll floored to 100 yen, never negative; scaled down
/// first when the stakes would sum above the bankroll.
std::vector<qint64>
stakesInYen(std::span<const double> fractions, qint64 bankroll, double fraction);
