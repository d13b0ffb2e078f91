// SPDX-License-Identifier: MIT
#include "market_spread.h"

#include <bit>
#include <cmath>

namespace {

constexpr double kZ = 1.959964;

// Each bet's chance under the market, by race and bet.
std::vector<std::vector<double>> marketChances(const std::vector<RaceBets>& races, BetType bet)
{
    const double winners = bet == BetType::Wide ? 3.0 : 1.0;
    std::vector<std::vector<double>> chances(races.size());
    for (std::size_t r = 0; r < races.size(); ++r) {
        double inverse = 0;
        for (const BetRecord& record : races[r]) {
            inverse += record.odds > 0 ? 1.0 / record.odds : 0.0;
        }
        for (const BetRecord& record : races[r]) {
            chances[r].push_back(record.odds > 0 && inverse > 0
                                     ? std::min(1.0, winners / record.odds / inverse)
                                     : 0.0);
        }
    }
    return chances;
}

double seasonMean(const std::vector<RaceBets>& races)
{
    double returns = 0;
    double bets = 0;
    for (const RaceBets& race : races) {
        for (const BetRecord& record : race) {
            returns += record.payout;
            ++bets;
        }
    }
    return bets > 0 ? returns / bets : 0.0;
}

std::array<double, kBacktestGroups> groupSizes(const std::vector<RaceBets>& races)
{
    std::array<double, kBacktestGroups> sizes{};
    for (const RaceBets& race : races) {
        for (const BetRecord& record : race) {
            for (unsigned mask = record.groups; mask != 0; mask &= mask - 1) {
                ++sizes[static_cast<std::size_t>(std::countr_zero(mask))];
            }
        }
    }
    return sizes;
}

} // namespace

std::optional<std::array<MarketSpread, kBacktestGroups>>
marketSpreadOf(const std::vector<RaceBets>& races, BetType bet, const OddsBins& bins)
{
    // The counts of the groups and bins, and the season's mean return.
    std::array<double, kBacktestGroups> inGroup{};
    std::array<double, kOddsBins> inBin{};
    std::array<std::array<double, kOddsBins>, kBacktestGroups> groupInBin{};
    double returns = 0;
    double bets = 0;
    for (const RaceBets& race : races) {
        for (const BetRecord& record : race) {
            const auto k = static_cast<std::size_t>(bins.binOf(record.odds));
            ++inBin[k];
            for (unsigned mask = record.groups; mask != 0; mask &= mask - 1) {
                const auto g = static_cast<std::size_t>(std::countr_zero(mask));
                ++inGroup[g];
                ++groupInBin[g][k];
            }
            returns += record.payout;
            ++bets;
        }
    }
    if (!(returns > 0)) {
        return std::nullopt;
    }
    const double mean = returns / bets;
    // A bet's weight in a group's baseline: its bin's share of the group over the bin's bets.
    std::array<std::array<double, kOddsBins>, kBacktestGroups> weight{};
    for (std::size_t g = 0; g < kBacktestGroups; ++g) {
        for (std::size_t k = 0; k < kOddsBins; ++k) {
            weight[g][k]
                = inGroup[g] > 0 && inBin[k] > 0 ? groupInBin[g][k] / inGroup[g] / inBin[k] : 0.0;
        }
    }

    std::array<MarketSpread, kBacktestGroups> spread{};
    const bool exclusive = bet == BetType::Quinella;
    const auto chances = marketChances(races, bet);
    // Per race: Σ c·E[X] and Σ c²·E[X²] of each group's excess (c its coefficient), Σ E[X] and
    // Σ E[X²] of each group's bets.
    std::array<double, kBacktestGroups> excessFirst{};
    std::array<double, kBacktestGroups> excessSecond{};
    std::array<double, kBacktestGroups> first{};
    for (std::size_t r = 0; r < races.size(); ++r) {
        excessFirst.fill(0);
        excessSecond.fill(0);
        first.fill(0);
        for (std::size_t b = 0; b < races[r].size(); ++b) {
            const BetRecord& record = races[r][b];
            const double p = chances[r][b];
            if (!(p > 0)) {
                continue;
            }
            const double second = mean * mean / p; // E[X²]: the payout mean / p, with chance p
            const auto k = static_cast<std::size_t>(bins.binOf(record.odds));
            for (std::size_t g = 0; g < kBacktestGroups; ++g) {
                const bool in = (record.groups & (1U << g)) != 0;
                if (!in && weight[g][k] == 0) {
                    continue;
                }
                const double c = (in ? 1.0 / inGroup[g] : 0.0) - weight[g][k];
                if (exclusive) {
                    excessFirst[g] += c * mean;
                    excessSecond[g] += c * c * second;
                } else {
                    spread[g].excessVar += c * c * (second - mean * mean);
                }
                if (in) {
                    const double n2 = inGroup[g] * inGroup[g];
                    spread[g].linear += second / n2;
                    if (exclusive) {
                        first[g] += mean;
                    } else {
                        spread[g].square += mean * mean / n2;
                    }
                }
            }
        }
        if (exclusive) {
            for (std::size_t g = 0; g < kBacktestGroups; ++g) {
                spread[g].excessVar += excessSecond[g] - excessFirst[g] * excessFirst[g];
                spread[g].square += first[g] * first[g] / std::max(1.0, inGroup[g] * inGroup[g]);
            }
        }
    }
    for (MarketSpread& group : spread) {
        group.mean = mean;
        group.excessVar = std::max(0.0, group.excessVar);
    }
    return spread;
}

std::optional<std::pair<double, double>> scoreInterval(double rate, const MarketSpread& spread)
{
    // (rate − θM)² ≤ z²(θA − θ²B): a quadratic in θ, a·θ² − b·θ + c ≤ 0.
    const double m = spread.mean;
    const double z2 = kZ * kZ;
    const double a = m * m + z2 * spread.square;
    const double b = 2 * rate * m + z2 * spread.linear;
    const double c = rate * rate;
    const double discriminant = b * b - 4 * a * c;
    if (!(m > 0) || !(a > 0) || !(spread.linear > 0) || discriminant < 0) {
        return std::nullopt;
    }
    const double root = std::sqrt(discriminant);
    return std::pair{std::max(0.0, (b - root) / (2 * a) * m), (b + root) / (2 * a) * m};
}

std::array<double, kBacktestGroups> lookaheadVarianceOf(const std::vector<RaceBets>& onFiles,
                                                        const std::vector<RaceBets>& early,
                                                        BetType bet)
{
    std::array<double, kBacktestGroups> variance{};
    const double mean = seasonMean(onFiles);
    if (!(mean > 0) || early.size() != onFiles.size()) {
        return variance;
    }
    const auto filesSize = groupSizes(onFiles);
    const auto earlySize = groupSizes(early);
    const bool exclusive = bet == BetType::Quinella;
    const auto chances = marketChances(onFiles, bet);
    // A pair's groups when judged early, by its horses.
    constexpr std::size_t kKeys = 64 * 64;
    std::vector<quint16> earlyGroups(kKeys, 0);
    const auto keyOf = [](const BetRecord& record) {
        return static_cast<std::size_t>(record.first % 64) * 64 + record.second % 64;
    };
    std::array<double, kBacktestGroups> first{};
    std::array<double, kBacktestGroups> second{};
    for (std::size_t r = 0; r < onFiles.size(); ++r) {
        for (const BetRecord& record : early[r]) {
            earlyGroups[keyOf(record)] = record.groups;
        }
        first.fill(0);
        second.fill(0);
        for (std::size_t b = 0; b < onFiles[r].size(); ++b) {
            const BetRecord& record = onFiles[r][b];
            const double p = chances[r][b];
            const quint16 judgedEarly = earlyGroups[keyOf(record)];
            for (std::size_t g = 0; g < kBacktestGroups && p > 0; ++g) {
                const double c = ((record.groups >> g) & 1U) / std::max(1.0, filesSize[g])
                                 - ((judgedEarly >> g) & 1U) / std::max(1.0, earlySize[g]);
                if (c == 0) {
                    continue;
                }
                if (exclusive) {
                    first[g] += c * mean;
                    second[g] += c * c * mean * mean / p;
                } else {
                    variance[g] += c * c * (mean * mean / p - mean * mean);
                }
            }
        }
        for (const BetRecord& record : early[r]) {
            earlyGroups[keyOf(record)] = 0;
        }
        for (std::size_t g = 0; g < kBacktestGroups && exclusive; ++g) {
            variance[g] += std::max(0.0, second[g] - first[g] * first[g]);
        }
    }
    return variance;
}
