// SPDX-License-Identifier: MIT
#include "kelly.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "analysis/kelly_math.h"

using namespace kelly_math;

std::vector<double> kellyExclusive(std::span<const double> probabilities,
                                   std::span<const double> odds)
{
    std::vector<double> fractions(probabilities.size(), 0.0);
    const std::size_t n = std::min(probabilities.size(), odds.size());
    const double scale = chanceScale(positiveSum(probabilities));
    std::vector<std::size_t> order;
    order.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (probabilities[i] > 0.0 && odds[i] > 0.0) {
            order.push_back(i);
        }
    }
    const auto chance = [&](std::size_t i) {
        return probabilities[i] * scale;
    };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return chance(a) * odds[a] > chance(b) * odds[b];
    });
    // R(S) = (1 − Σ_S p) / (1 − Σ_S 1/o) is what is left when no outcome of S wins; it falls as
    // S grows, and an outcome joins while its expected return beats it (so it may be below 1).
    double held = 0.0;
    double book = 0.0;
    double rest = 1.0;
    std::size_t taken = 0;
    for (const std::size_t k : order) {
        if (!(chance(k) * odds[k] > rest)) {
            break;
        }
        const double nextBook = book + 1.0 / odds[k];
        // With Σ p ≤ 1 this cannot happen (it would need p_k > 1 − Σ_S p); it guards rounding.
        if (nextBook >= 1.0) {
            break;
        }
        held += chance(k);
        book = nextBook;
        rest = std::max(0.0, 1.0 - held) / (1.0 - book);
        ++taken;
    }
    for (std::size_t t = 0; t < taken; ++t) {
        const std::size_t k = order[t];
        fractions[k] = std::max(0.0, chance(k) - rest / odds[k]);
    }
    return fractions;
}

double expectedLogGrowthExclusive(std::span<const double> probabilities,
                                  std::span<const double> odds,
                                  std::span<const double> fractions)
{
    const double scale = chanceScale(positiveSum(probabilities));
    const double staked = std::accumulate(fractions.begin(), fractions.end(), 0.0);
    const double cash = 1.0 - staked;
    double none = 1.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < probabilities.size(); ++i) {
        const double p = probabilities[i] > 0.0 ? probabilities[i] * scale : 0.0;
        const double f = i < fractions.size() ? fractions[i] : 0.0;
        const double o = i < odds.size() && odds[i] > 0.0 ? odds[i] : 0.0;
        none -= p;
        sum += weightedLog(p, cash + f * o);
    }
    return sum + weightedLog(none, cash);
}

double expectedLogGrowth(const KellySetProblem& problem, std::span<const double> fractions)
{
    const double scale = chanceScale(positiveSum(problem.setProbabilities));
    const double cash = 1.0 - std::accumulate(fractions.begin(), fractions.end(), 0.0);
    const std::size_t sets = std::min(problem.setProbabilities.size(), problem.setBets.size());
    double none = 1.0;
    double sum = 0.0;
    for (std::size_t s = 0; s < sets; ++s) {
        const double q
            = problem.setProbabilities[s] > 0.0 ? problem.setProbabilities[s] * scale : 0.0;
        double wealth = cash;
        for (const int bet : problem.setBets[s]) {
            const auto b = static_cast<std::size_t>(bet);
            if (bet >= 0 && b < fractions.size() && b < problem.odds.size()) {
                wealth += fractions[b] * problem.odds[b];
            }
        }
        none -= q;
        sum += weightedLog(q, wealth);
    }
    // Chances summing to 1 but for rounding leave nothing to the cash alone.
    return sum + weightedLog(none > 1e-12 ? none : 0.0, cash);
}

int pairIndex(int runners, int a, int b)
{
    // Rows 1 to a − 1 hold (n − 1) + … + (n − a + 1) pairs.
    return (a - 1) * (2 * runners - a) / 2 + (b - a - 1);
}

KellySetProblem
wideProblem(int runners, std::span<const double> pairOdds, std::span<const double> setProbabilities)
{
    KellySetProblem problem;
    const int pairs = runners * (runners - 1) / 2;
    std::vector<int> bet(static_cast<std::size_t>(std::max(pairs, 0)), -1);
    for (int p = 0; p < pairs && static_cast<std::size_t>(p) < pairOdds.size(); ++p) {
        if (pairOdds[static_cast<std::size_t>(p)] > 0.0) {
            bet[static_cast<std::size_t>(p)] = static_cast<int>(problem.odds.size());
            problem.odds.push_back(pairOdds[static_cast<std::size_t>(p)]);
            problem.betPairs.push_back(p);
        }
    }
    const auto betOf = [&](int a, int b) {
        return bet[static_cast<std::size_t>(pairIndex(runners, a, b))];
    };
    const std::size_t sets
        = runners >= 3 ? static_cast<std::size_t>(runners * (runners - 1) * (runners - 2) / 6) : 0;
    problem.setProbabilities.reserve(sets);
    problem.setBets.reserve(sets);
    for (int a = 1; a <= runners; ++a) {
        for (int b = a + 1; b <= runners; ++b) {
            for (int c = b + 1; c <= runners; ++c) {
                const std::size_t s = problem.setBets.size();
                problem.setProbabilities.push_back(s < setProbabilities.size() ? setProbabilities[s]
                                                                               : 0.0);
                problem.setBets.push_back({betOf(a, b), betOf(a, c), betOf(b, c)});
            }
        }
    }
    return problem;
}

std::vector<qint64> stakesInYen(std::span<const double> fractions, qint64 bankroll, double fraction)
{
    std::vector<qint64> stakes(fractions.size(), 0);
    if (bankroll <= 0 || !(fraction > 0.0) || !std::isfinite(fraction)) {
        return stakes;
    }
    const auto wealth = static_cast<double>(bankroll);
    std::vector<double> raw(fractions.size(), 0.0);
    double total = 0.0;
    for (std::size_t i = 0; i < fractions.size(); ++i) {
        const double f = fractions[i];
        raw[i] = f > 0.0 && std::isfinite(f) ? f * fraction * wealth : 0.0;
        total += raw[i];
    }
    const double scale = total > wealth ? wealth / total : 1.0;
    qint64 sum = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        // A stake a rounding error short of a hundred yen still makes it.
        stakes[i] = 100 * static_cast<qint64>(std::floor(raw[i] * scale / 100.0 + 1e-9));
        sum += stakes[i];
    }
    // The margin above can lift the sum past the bankroll by a hundred or so: take it back
    // from the largest stakes.
    while (sum > bankroll) {
        auto largest = std::max_element(stakes.begin(), stakes.end());
        *largest -= 100;
        sum -= 100;
    }
    return stakes;
}
