// SPDX-License-Identifier: MIT
// Kelly fractions against hand computations and slow generic maximisers written here; the
// bankroll summary against a hand-made run of races.
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numeric>
#include <random>
#include <vector>

#include "analysis/kelly.h"
#include "analysis/stake_summary.h"

namespace {

// Σ p_i ln(wealth if i wins) + (1 − Σ p) ln(cash), spelt out for exclusive outcomes.
double exclusiveGrowth(const std::vector<double>& p,
                       const std::vector<double>& o,
                       const std::vector<double>& f)
{
    double cash = 1.0;
    double rest = 1.0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        cash -= f[i];
        rest -= p[i];
    }
    double g = rest * std::log(cash);
    for (std::size_t i = 0; i < p.size(); ++i) {
        g += p[i] * std::log(cash + f[i] * o[i]);
    }
    return g;
}

// Cyclic coordinate ascent, each coordinate by golden-section search on its whole feasible
// range: slow, but needs nothing of the problem beyond concavity.
std::vector<double> coordinateAscent(const std::vector<double>& p, const std::vector<double>& o)
{
    std::vector<double> f(p.size(), 0.0);
    const double golden = (std::sqrt(5.0) - 1.0) / 2.0;
    for (int sweep = 0; sweep < 400; ++sweep) {
        for (std::size_t i = 0; i < f.size(); ++i) {
            double others = 0.0;
            for (std::size_t j = 0; j < f.size(); ++j) {
                others += j != i ? f[j] : 0.0;
            }
            const auto at = [&](double x) {
                f[i] = x;
                return exclusiveGrowth(p, o, f);
            };
            double lo = 0.0;
            double hi = (1.0 - others) * (1.0 - 1e-12);
            for (int step = 0; step < 120; ++step) {
                const double a = hi - golden * (hi - lo);
                const double b = lo + golden * (hi - lo);
                (at(a) < at(b) ? lo : hi) = at(a) < at(b) ? a : b;
            }
            f[i] = at(0.0) >= at((lo + hi) / 2.0) ? 0.0 : (lo + hi) / 2.0;
        }
    }
    return f;
}

// A race of `runners` with Harville chances from random strengths, its top threes rebuilt
// here without wideProblem; wide odds are the fair odds after a 22.5% take, floored to 0.1,
// with a random edge on a share of the pairs, and some pairs not offered.
struct WideOutcome
{
    double chance;
    std::array<int, 3> pairs; // pairIndex of a-b, a-c, b-c
};

struct WideRace
{
    int runners = 0;
    std::vector<WideOutcome> outcomes; // lexicographic {a < b < c}
    std::vector<double> sets;          // their chances
    std::vector<double> pairChance;    // both in the first three
    std::vector<double> pairOdds;
};

WideRace randomWideRace(std::mt19937_64& random, int n, double edgeShare)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> p(static_cast<std::size_t>(n) + 1, 0.0);
    double total = 0.0;
    for (int h = 1; h <= n; ++h) {
        p[static_cast<std::size_t>(h)] = std::exp(2.0 * unit(random));
        total += p[static_cast<std::size_t>(h)];
    }
    const auto ordered = [&p, total](int i, int j, int k) {
        const double a = p[static_cast<std::size_t>(i)] / total;
        const double b = p[static_cast<std::size_t>(j)] / total;
        return a * b / (1.0 - a) * p[static_cast<std::size_t>(k)] / total / (1.0 - a - b);
    };
    WideRace race;
    race.runners = n;
    race.pairChance.assign(static_cast<std::size_t>(n * (n - 1) / 2), 0.0);
    for (int a = 1; a <= n; ++a) {
        for (int b = a + 1; b <= n; ++b) {
            for (int c = b + 1; c <= n; ++c) {
                const double q = ordered(a, b, c) + ordered(a, c, b) + ordered(b, a, c)
                                 + ordered(b, c, a) + ordered(c, a, b) + ordered(c, b, a);
                race.outcomes.push_back(
                    {q, {pairIndex(n, a, b), pairIndex(n, a, c), pairIndex(n, b, c)}});
                race.sets.push_back(q);
                for (const int pair : race.outcomes.back().pairs) {
                    race.pairChance[static_cast<std::size_t>(pair)] += q;
                }
            }
        }
    }
    for (const double chance : race.pairChance) {
        const double draw = unit(random);
        const double edge = draw < edgeShare ? 1.0 + 0.7 * unit(random) : 1.0;
        const double odds = std::max(1.0, std::floor(0.775 / chance * edge * 10.0) / 10.0);
        race.pairOdds.push_back(draw > 0.95 ? 0.0 : odds);
    }
    return race;
}

// The growth of stakes by pair index; or, given `payoff`, instead Σ_s q_s/W_s over the outcomes
// each pair pays in (`payoff`) and over all (`cashPayoff`): ∂G/∂f_pair = odds · payoff −
// cashPayoff.
double wideGrowth(const WideRace& race,
                  const std::vector<double>& stakes,
                  std::vector<double>* payoff = nullptr,
                  double* cashPayoff = nullptr)
{
    double cash = 1.0;
    for (const double s : stakes) {
        cash -= s;
    }
    double g = 0.0;
    for (const WideOutcome& outcome : race.outcomes) {
        double w = cash;
        for (const int pair : outcome.pairs) {
            w += stakes[static_cast<std::size_t>(pair)]
                 * race.pairOdds[static_cast<std::size_t>(pair)];
        }
        if (payoff == nullptr) {
            g += outcome.chance * std::log(w);
        } else {
            *cashPayoff += outcome.chance / w;
            for (const int pair : outcome.pairs) {
                (*payoff)[static_cast<std::size_t>(pair)] += outcome.chance / w;
            }
        }
    }
    return g;
}

// Cover's multiplicative update for the log-optimal portfolio over cash and the offered pairs:
// x_j ← x_j · Σ_s q_s r_sj / W_s, which keeps Σ x = 1 and never lowers the growth.
std::vector<double> coverPortfolio(const WideRace& race, int iterations)
{
    std::vector<double> stakes(race.pairOdds.size(), 0.0);
    const auto offered = static_cast<double>(std::count_if(
        race.pairOdds.begin(), race.pairOdds.end(), [](double o) { return o > 0.0; }));
    for (std::size_t pair = 0; pair < stakes.size(); ++pair) {
        stakes[pair] = race.pairOdds[pair] > 0.0 ? 1.0 / (offered + 1.0) : 0.0;
    }
    std::vector<double> payoff(stakes.size());
    for (int iteration = 0; iteration < iterations; ++iteration) {
        std::fill(payoff.begin(), payoff.end(), 0.0);
        double cashPayoff = 0.0;
        wideGrowth(race, stakes, &payoff, &cashPayoff);
        for (std::size_t pair = 0; pair < stakes.size(); ++pair) {
            stakes[pair] *= payoff[pair] * race.pairOdds[pair];
        }
    }
    return stakes;
}

} // namespace

TEST(KellyExclusive, HandComputedQuinellaRace)
{
    // Listed in this order: p 0.10 at 7.5 (e = 0.75), 0.19 at 5 (e = 0.95), 0.05 not offered,
    // 0.37 at 4 (e = 1.48), 0 at 50; 0.29 is the chance of the pairs not listed.
    // By expected return: 0.37 at 4 joins at once, R = (1 − 0.37) / (1 − 1/4) = 0.84.
    // 0.95 > 0.84, so the 0.19 at 5 joins though it loses on average:
    // R = (1 − 0.56) / (1 − 0.25 − 0.2) = 0.44 / 0.55 = 0.8. 0.75 < 0.8 stops.
    // f = 0.37 − 0.8/4 = 0.17 and 0.19 − 0.8/5 = 0.03; the cash left, 0.8, is R.
    const std::vector<double> p = {0.10, 0.19, 0.05, 0.37, 0.0};
    const std::vector<double> o = {7.5, 5.0, 0.0, 4.0, 50.0};
    const std::vector<double> f = kellyExclusive(p, o);
    ASSERT_EQ(f.size(), 5U);
    const std::vector<double> expected = {0.0, 0.03, 0.0, 0.17, 0.0};
    for (std::size_t i = 0; i < f.size(); ++i) {
        EXPECT_NEAR(f[i], expected[i], 1e-15) << i;
    }
    // 0.37 ln(0.8 + 0.68) + 0.19 ln(0.8 + 0.15) + (0.05 + 0.29 + 0.10) ln 0.8.
    EXPECT_NEAR(expectedLogGrowthExclusive(p, o, f),
                0.37 * std::log(1.48) + 0.19 * std::log(0.95) + 0.44 * std::log(0.8),
                1e-15);
    // Half Kelly on 123,456 yen: 0.17 · 0.5 · 123456 = 10493.76 → 10400, 0.03 → 1851.84 → 1800.
    EXPECT_EQ(stakesInYen(f, 123456, 0.5), (std::vector<qint64>{0, 1800, 0, 10400, 0}));
    // Full stakes that would pass the bankroll are scaled into it first: 0.6 and 0.6 of
    // 1,000 yen → 500 each; a negative or NaN fraction stakes nothing.
    EXPECT_EQ(stakesInYen(std::vector<double>{0.6, 0.6, -0.2, std::nan("")}, 1000, 1.0),
              (std::vector<qint64>{500, 500, 0, 0}));

    // Every chance listed and a book of 1/2.5 + 1/2.5 = 0.8: R falls to 0 and the whole
    // bankroll goes on in proportion to the chances.
    EXPECT_EQ(kellyExclusive(std::vector<double>{0.5, 0.5}, std::vector<double>{2.5, 2.5}),
              (std::vector<double>{0.5, 0.5}));
    // No outcome beats R = 1 of staking nothing: no bet.
    const std::vector<double> fair
        = kellyExclusive(p, std::vector<double>{7.5, 5.0, 0.0, 2.5, 1.0});
    EXPECT_EQ(fair, std::vector<double>(5, 0.0));
}

TEST(KellyExclusive, MatchesCoordinateAscentOnRandomRaces)
{
    std::mt19937_64 random(20101);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int race = 0; race < 8; ++race) {
        const auto n = static_cast<std::size_t>(3 + race % 3);
        std::vector<double> p(n);
        double total = 0.0;
        for (double& v : p) {
            v = 0.2 + unit(random);
            total += v;
        }
        // The listed pairs cover all chances in every other race, 70–100% in the others.
        const double covered = race % 2 == 0 ? 1.0 : 0.7 + 0.3 * unit(random);
        std::vector<double> o(n);
        double book = 0.0;
        while (book <= 1.0) {
            // A book below 1 over every chance is a sure profit, staked whole: tested above.
            book = 0.0;
            for (std::size_t i = 0; i < n; ++i) {
                o[i] = 0.75 / (p[i] * covered / total) * (0.8 + 0.7 * unit(random));
                book += 1.0 / o[i];
            }
        }
        for (double& v : p) {
            v *= covered / total;
        }
        const std::vector<double> f = kellyExclusive(p, o);
        const std::vector<double> brute = coordinateAscent(p, o);
        EXPECT_NEAR(expectedLogGrowthExclusive(p, o, f), exclusiveGrowth(p, o, brute), 1e-9)
            << race;
        EXPECT_GE(exclusiveGrowth(p, o, f), exclusiveGrowth(p, o, brute) - 1e-12) << race;
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_NEAR(f[i], brute[i], 1e-5) << race << " " << i;
        }
    }
}

TEST(KellyOverSets, WideRacesMatchCoverPortfolioAndMeetKkt)
{
    // Row order 1-2, …, 1-18, 2-3, …, 17-18.
    EXPECT_EQ(pairIndex(18, 1, 2), 0);
    EXPECT_EQ(pairIndex(18, 1, 18), 16);
    EXPECT_EQ(pairIndex(18, 2, 3), 17);
    EXPECT_EQ(pairIndex(18, 17, 18), 152);
    std::mt19937_64 random(816);
    int held = 0;
    int heldLosing = 0; // held though the pair loses on average
    // Runners 6 to 18 with an edge on a fifth of the pairs; last a hard 18 with it on most.
    for (int runners = 6; runners <= 20; runners += 2) {
        const WideRace race = runners <= 18 ? randomWideRace(random, runners, 0.2)
                                            : randomWideRace(random, 18, 0.7);
        const int n = race.runners;
        const KellySetProblem problem = wideProblem(n, race.pairOdds, race.sets);
        const std::vector<double> solved = kellyOverSets(problem);
        ASSERT_EQ(solved.size(), problem.odds.size());
        std::vector<double> stakes(race.pairOdds.size(), 0.0);
        for (std::size_t b = 0; b < solved.size(); ++b) {
            EXPECT_GE(solved[b], 0.0);
            stakes[static_cast<std::size_t>(problem.betPairs[b])] = solved[b];
        }
        const double ours = wideGrowth(race, stakes);
        EXPECT_NEAR(expectedLogGrowth(problem, solved), ours, 1e-14);
        const double reference = wideGrowth(race, coverPortfolio(race, 20000));
        EXPECT_NEAR(ours, reference, 1e-6) << n;
        EXPECT_GE(ours, reference - 1e-12) << n;

        // KKT, with the gradient of the growth spelt out per pair.
        std::vector<double> payoff(stakes.size(), 0.0);
        double cashPayoff = 0.0;
        wideGrowth(race, stakes, &payoff, &cashPayoff);
        EXPECT_GT(1.0 - std::accumulate(stakes.begin(), stakes.end(), 0.0), 0.0);
        for (std::size_t pair = 0; pair < stakes.size(); ++pair) {
            const double g = race.pairOdds[pair] * payoff[pair] - cashPayoff;
            if (stakes[pair] > 0.0) {
                ++held;
                heldLosing += race.pairChance[pair] * race.pairOdds[pair] < 1.0 ? 1 : 0;
                EXPECT_NEAR(g, 0.0, 1e-9) << n << " pair " << pair;
            } else {
                EXPECT_LE(g, 1e-9) << n << " pair " << pair;
            }
        }
    }
    EXPECT_GT(held, 20);
    // A pair that loses on average is still worth holding where it pays when the others lose;
    // a solver that dropped such pairs beforehand would fail the KKT checks above.
    EXPECT_GT(heldLosing, 0);
}

TEST(KellyOverSets, ASureWinStakesTheWholeBankroll)
{
    // Four runners, each top three as likely, every pair at 3.0: a sixth of the bankroll on
    // each pair pays 3 · 3/6 = 1.5 whatever the finish, and by symmetry nothing does better
    // (other splits with the same payouts do as well): G = ln 1.5 with no cash kept, a corner
    // that steps keeping cash > 0 can only approach.
    const std::vector<double> sets(4, 0.25);
    const std::vector<double> odds(6, 3.0);
    const KellySetProblem problem = wideProblem(4, odds, sets);
    const KellySetSolution solution = solveKellyOverSets(problem);
    EXPECT_TRUE(solution.optimal);
    EXPECT_NEAR(expectedLogGrowth(problem, solution.fractions), std::log(1.5), 1e-7);
    EXPECT_NEAR(
        std::accumulate(solution.fractions.begin(), solution.fractions.end(), 0.0), 1.0, 1e-7);
}

TEST(KellyOverSets, ExclusiveOutcomesAgreeWithTheClosedForm)
{
    // Each outcome paying one bet is the quinella problem again: the Newton solver must land on
    // the closed form, the loss-making entrant included.
    const std::vector<double> p = {0.10, 0.19, 0.05, 0.37, 0.0};
    const std::vector<double> o = {7.5, 5.0, 0.0, 4.0, 50.0};
    KellySetProblem problem;
    problem.odds = o;
    for (int i = 0; i < 5; ++i) {
        problem.setProbabilities.push_back(p[static_cast<std::size_t>(i)]);
        problem.setBets.push_back({-1, i, -1});
    }
    const std::vector<double> f = kellyOverSets(problem);
    const std::vector<double> closed = kellyExclusive(p, o);
    for (std::size_t i = 0; i < f.size(); ++i) {
        EXPECT_NEAR(f[i], closed[i], 1e-12) << i;
    }
}

TEST(StakeSummary, HandMadeRun)
{
    // From 10,000 yen:   stake  returns  bankroll  peak    r
    //   race 1           1000   3000     12000     12000   +0.2
    //   race 2           2400   0         9600     12000   −0.2
    //   race 3           (not bet)        9600
    //   race 4           960    0         8640     12000   −0.1
    //   race 5           864    1728      9504     12000   +0.1
    //   race 6           1000   500       9004     12000   −500/9504
    const std::vector<RaceStake> races
        = {{1000, 3000}, {2400, 0}, {0, 0}, {960, 0}, {864, 1728}, {1000, 500}};
    const StakeSummary s = summariseStakes(races, 10000);
    EXPECT_EQ(s.racesBet, 5);
    EXPECT_EQ(s.stakes, 6224);
    EXPECT_EQ(s.returns, 5228);
    EXPECT_EQ(s.finalBankroll, 9004);
    EXPECT_EQ(s.bankrollCurve, (std::vector<qint64>{12000, 9600, 9600, 8640, 9504, 9004}));
    // 12000 − 8640 = 3360 yen, 28% of the peak.
    EXPECT_EQ(s.maxDrawdownYen, 3360);
    EXPECT_NEAR(s.maxDrawdownPercent, 28.0, 1e-12);
    // Races 2 and 4 lose with race 3, not bet, between them: one run of two; 6 loses alone.
    EXPECT_EQ(s.longestLosingRun, 2);

    const std::vector<double> r = {0.2, -0.2, -0.1, 0.1, -500.0 / 9504.0};
    const double mean = (0.2 - 0.2 - 0.1 + 0.1 - 500.0 / 9504.0) / 5.0;
    double squares = 0.0;
    double downside = 0.0;
    double logs = 0.0;
    for (const double v : r) {
        squares += (v - mean) * (v - mean);
        downside += std::min(v, 0.0) * std::min(v, 0.0);
        logs += std::log1p(v);
    }
    ASSERT_TRUE(s.logGrowthPerRace && s.sharpe && s.sortino);
    EXPECT_NEAR(*s.logGrowthPerRace, std::log(9004.0 / 10000.0) / 5.0, 1e-15);
    EXPECT_NEAR(*s.logGrowthPerRace, logs / 5.0, 1e-15);
    EXPECT_NEAR(*s.sharpe, mean / std::sqrt(squares / 4.0), 1e-14);
    EXPECT_NEAR(*s.sortino, mean / std::sqrt(downside / 5.0), 1e-14);

    // Flat stakes past ruin: a race bet from a bankroll of 0 leaves the ratios undefined, while
    // the yen figures still count.
    const StakeSummary flat = summariseStakes(std::vector<RaceStake>{{200, 0}, {100, 0}}, 200);
    EXPECT_EQ(flat.finalBankroll, -100);
    EXPECT_EQ(flat.maxDrawdownYen, 300);
    EXPECT_EQ(flat.longestLosingRun, 2);
    EXPECT_FALSE(flat.logGrowthPerRace || flat.sharpe || flat.sortino);
    // A single winning race: no spread and no loss, so neither ratio.
    const StakeSummary one = summariseStakes(std::vector<RaceStake>{{100, 250}}, 1000);
    EXPECT_FALSE(one.sharpe || one.sortino);
    EXPECT_NEAR(*one.logGrowthPerRace, std::log(1.15), 1e-15);
}
