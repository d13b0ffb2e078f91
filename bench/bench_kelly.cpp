// SPDX-License-Identifier: MIT
// Kelly fractions per race at 18 runners: the wide solver (153 pairs, 816 top threes) on typical
// races and on hard ones with most pairs at an edge, the quinella closed form, and building the
// wide problem; against one evaluation of the growth and its gradient over all 816 top threes,
// measured in the same run.
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/kelly.h"
#include "bench_main.h"

namespace {

constexpr int kRunners = 18;
constexpr int kRaces = 64;

struct Race
{
    std::vector<double> sets;     // top threes, lexicographic
    std::vector<double> pairOdds; // wide, by pairIndex
    std::vector<double> firstTwo; // quinella chances, by pairIndex
    std::vector<double> quinella; // quinella odds, by pairIndex
    KellySetProblem wide;
    std::vector<double> solved;
};

// Harville chances from random strengths; odds are fair after the take (22.5% wide, 25%
// quinella), floored to 0.1, times an edge of up to 1.7 on `edgeShare` of the pairs.
Race makeRace(std::mt19937_64& random, double edgeShare)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> p(kRunners + 1, 0.0);
    double total = 0.0;
    for (int h = 1; h <= kRunners; ++h) {
        p[static_cast<std::size_t>(h)] = std::exp(2.5 * unit(random));
        total += p[static_cast<std::size_t>(h)];
    }
    for (double& v : p) {
        v /= total;
    }
    const auto at = [&p](int h) {
        return p[static_cast<std::size_t>(h)];
    };
    const auto ordered = [&](int i, int j, int k) {
        return at(i) * at(j) / (1.0 - at(i)) * at(k) / (1.0 - at(i) - at(j));
    };
    Race race;
    const auto pairs = static_cast<std::size_t>(kRunners * (kRunners - 1) / 2);
    std::vector<double> topThree(pairs, 0.0);
    race.firstTwo.assign(pairs, 0.0);
    for (int a = 1; a <= kRunners; ++a) {
        for (int b = a + 1; b <= kRunners; ++b) {
            race.firstTwo[static_cast<std::size_t>(pairIndex(kRunners, a, b))]
                = at(a) * at(b) / (1.0 - at(a)) + at(a) * at(b) / (1.0 - at(b));
            for (int c = b + 1; c <= kRunners; ++c) {
                const double q = ordered(a, b, c) + ordered(a, c, b) + ordered(b, a, c)
                                 + ordered(b, c, a) + ordered(c, a, b) + ordered(c, b, a);
                race.sets.push_back(q);
                for (const int pair : {pairIndex(kRunners, a, b),
                                       pairIndex(kRunners, a, c),
                                       pairIndex(kRunners, b, c)}) {
                    topThree[static_cast<std::size_t>(pair)] += q;
                }
            }
        }
    }
    const auto priced = [&](double take, double chance) {
        const double edge = unit(random) < edgeShare ? 1.0 + 0.7 * unit(random) : 1.0;
        return std::max(1.0, std::floor(take / chance * edge * 10.0) / 10.0);
    };
    for (std::size_t pair = 0; pair < pairs; ++pair) {
        race.pairOdds.push_back(priced(0.775, topThree[pair]));
        race.quinella.push_back(priced(0.75, race.firstTwo[pair]));
    }
    race.wide = wideProblem(kRunners, race.pairOdds, race.sets);
    race.solved = kellyOverSets(race.wide);
    return race;
}

std::vector<Race> makeRaces(std::uint64_t seed, double edgeShare)
{
    std::mt19937_64 random(seed);
    std::vector<Race> made;
    made.reserve(kRaces);
    for (int i = 0; i < kRaces; ++i) {
        made.push_back(makeRace(random, edgeShare));
    }
    return made;
}

// Typical races have an edge on a fifth of the pairs, hard ones on seven tenths.
const std::vector<Race>& races(bool hard)
{
    static const std::vector<Race> typical = makeRaces(153, 0.2);
    static const std::vector<Race> many = makeRaces(816, 0.7);
    return hard ? many : typical;
}

// Per race: the pairs with an edge (expected return above 1) and the pairs the solution holds.
void countBets(benchmark::State& state, const std::vector<Race>& all)
{
    double edged = 0.0;
    double held = 0.0;
    for (const Race& race : all) {
        std::vector<double> chance(race.wide.odds.size(), 0.0);
        for (std::size_t s = 0; s < race.wide.setBets.size(); ++s) {
            for (const int bet : race.wide.setBets[s]) {
                if (bet >= 0) {
                    chance[static_cast<std::size_t>(bet)] += race.wide.setProbabilities[s];
                }
            }
        }
        for (std::size_t b = 0; b < chance.size(); ++b) {
            edged += chance[b] * race.wide.odds[b] > 1.0 ? 1.0 : 0.0;
            held += race.solved[b] > 0.0 ? 1.0 : 0.0;
        }
    }
    state.counters["edged"] = edged / kRaces;
    state.counters["held"] = held / kRaces;
}

void BM_GrowthAndGradient(benchmark::State& state)
{
    // The baseline: G and ∂G/∂f over every top three at the race's solution, written plainly.
    const std::vector<Race>& all = races(false);
    std::size_t next = 0;
    std::vector<double> gradient(kRunners * (kRunners - 1) / 2);
    for (auto _ : state) {
        const Race& race = all[next++ % all.size()];
        const KellySetProblem& problem = race.wide;
        double cash = 1.0;
        for (const double f : race.solved) {
            cash -= f;
        }
        std::fill(gradient.begin(), gradient.end(), 0.0);
        double growth = 0.0;
        double common = 0.0;
        for (std::size_t s = 0; s < problem.setBets.size(); ++s) {
            double wealth = cash;
            for (const int bet : problem.setBets[s]) {
                if (bet >= 0) {
                    wealth += race.solved[static_cast<std::size_t>(bet)]
                              * problem.odds[static_cast<std::size_t>(bet)];
                }
            }
            const double q = problem.setProbabilities[s];
            growth += q * std::log(wealth);
            common += q / wealth;
            for (const int bet : problem.setBets[s]) {
                if (bet >= 0) {
                    gradient[static_cast<std::size_t>(bet)] += q / wealth;
                }
            }
        }
        for (std::size_t b = 0; b < problem.odds.size(); ++b) {
            gradient[b] = gradient[b] * problem.odds[b] - common;
        }
        benchmark::DoNotOptimize(growth);
        benchmark::DoNotOptimize(gradient.data());
    }
}

void BM_WideSolver(benchmark::State& state, bool hard)
{
    const std::vector<Race>& all = races(hard);
    std::size_t next = 0;
    for (auto _ : state) {
        const std::vector<double> f = kellyOverSets(all[next++ % all.size()].wide);
        benchmark::DoNotOptimize(f.data());
    }
    countBets(state, all);
}

void BM_WideTypical(benchmark::State& state)
{
    BM_WideSolver(state, false);
}

void BM_WideHard(benchmark::State& state)
{
    BM_WideSolver(state, true);
}

void BM_WideProblem(benchmark::State& state)
{
    const std::vector<Race>& all = races(false);
    std::size_t next = 0;
    for (auto _ : state) {
        const Race& race = all[next++ % all.size()];
        const KellySetProblem problem = wideProblem(kRunners, race.pairOdds, race.sets);
        benchmark::DoNotOptimize(problem.odds.data());
    }
}

void BM_QuinellaClosedForm(benchmark::State& state)
{
    const std::vector<Race>& all = races(false);
    std::size_t next = 0;
    double held = 0.0;
    for (const Race& race : all) {
        for (const double f : kellyExclusive(race.firstTwo, race.quinella)) {
            held += f > 0.0 ? 1.0 : 0.0;
        }
    }
    for (auto _ : state) {
        const Race& race = all[next++ % all.size()];
        const std::vector<double> f = kellyExclusive(race.firstTwo, race.quinella);
        benchmark::DoNotOptimize(f.data());
    }
    state.counters["held"] = held / kRaces;
}

// The ratios compare medians of repetitions run interleaved (see main), so that a slow spell of
// the machine falls on both sides of a ratio.
// Each repetition runs every race of its set the same number of times.
BENCHMARK(BM_GrowthAndGradient)
    ->Iterations(kRaces * 40)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_WideTypical)->Iterations(kRaces * 8)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_WideHard)->Iterations(kRaces * 2)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_WideProblem)->Iterations(kRaces * 40)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_QuinellaClosedForm)
    ->Iterations(kRaces * 100)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

// Google Benchmark's name of the median of a run with fixed iterations.
std::string median(const char* name, int iterations)
{
    return std::string(name) + "/iterations:" + std::to_string(iterations) + "/repeats:5_median";
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    initialiseInterleaved(argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    const std::string baseline = median("BM_GrowthAndGradient", kRaces * 40);
    printRatio(
        reporter, "wide Kelly, typical race", median("BM_WideTypical", kRaces * 8), baseline);
    printRatio(reporter, "wide Kelly, hard race", median("BM_WideHard", kRaces * 2), baseline);
    printRatio(reporter, "wide problem of a race", median("BM_WideProblem", kRaces * 40), baseline);
    printRatio(
        reporter, "quinella closed form", median("BM_QuinellaClosedForm", kRaces * 100), baseline);
    benchmark::Shutdown();
    return 0;
}
