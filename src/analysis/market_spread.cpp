// SPDX-License-Identifier: MIT
#include "market_spread.h"

#include <bit>
#include <cmath>

namespace {

constexpr double kZ = 1.959964;

// A race's sum of inverse odds: a bet's chance under the market is its share of it, times the
// winners its bet type pays.
double inverseOddsOf(const RaceBets& race)
{
    double inverse = 0;
    for (const BetRecord& record : race) {
        inverse += record.odds > 0 ? 1.0 / record.odds : 0.0;
    }
    return inverse;
}

// E[X²] of a bet paying the season's mean over its chance p (at most 1), with chance p: mean² / p;
// 0 for a bet without odds.
double secondMoment(double mean2, const BetRecord& record, double inverse, BetType bet)
{
    const double winners = bet == BetType::Wide ? 3.0 : 1.0;
    return record.odds > 0 ? mean2 * std::max(1.0, record.odds * inverse / winners) : 0.0;
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
    std::vector<quint8> binOf; // each bet's, in order: found once
    for (const RaceBets& race : races) {
        for (const BetRecord& record : race) {
            const auto k = static_cast<std::size_t>(bins.binOf(record.odds));
            binOf.push_back(static_cast<quint8>(k));
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
    std::size_t at = 0; // the bet's place in binOf
    // A bet's coefficient in group g's excess is c = [in g]/n_g − w_g,bin. Its variance is
    // summed race by race from sums over the race's bets and bins, so a bet costs one visit per
    // group it is in: for t = E[X²] (quinella: one pair wins) or Var X (wide: independent),
    // Σ c²t = Σ_in t/n_g² − 2 Σ_in w t/n_g + Σ_bins w² Σ t, and Σ c = count_in/n_g − Σ_bins w·N.
    struct RaceSums
    {
        std::array<double, kOddsBins> t{}, n{};
        std::array<double, kBacktestGroups> second{}, t_in{}, wt_in{}, count{};
    };
    RaceSums sums;
    const double mean2 = mean * mean;
    for (std::size_t r = 0; r < races.size(); ++r) {
        sums = RaceSums{};
        const double inverse = inverseOddsOf(races[r]);
        for (const BetRecord& record : races[r]) {
            const auto k = static_cast<std::size_t>(binOf[at++]);
            if (!(record.odds > 0)) {
                continue;
            }
            const double second = secondMoment(mean2, record, inverse, bet);
            const double t = exclusive ? second : second - mean2;
            sums.t[k] += t;
            ++sums.n[k];
            for (unsigned mask = record.groups; mask != 0; mask &= mask - 1) {
                const auto g = static_cast<std::size_t>(std::countr_zero(mask));
                sums.second[g] += second;
                sums.t_in[g] += t;
                sums.wt_in[g] += weight[g][k] * t;
                ++sums.count[g];
            }
        }
        for (std::size_t g = 0; g < kBacktestGroups; ++g) {
            if (!(inGroup[g] > 0)) {
                continue;
            }
            const double u = 1.0 / inGroup[g];
            double binned = 0;
            double share = 0;
            for (std::size_t k = 0; k < kOddsBins; ++k) {
                binned += weight[g][k] * weight[g][k] * sums.t[k];
                share += weight[g][k] * sums.n[k];
            }
            const double squares = u * u * sums.t_in[g] - 2 * u * sums.wt_in[g] + binned;
            const double first = mean * (u * sums.count[g] - share); // Σ c·E[X]
            spread[g].excessVar += exclusive ? squares - first * first : squares;
            spread[g].linear += sums.second[g] * u * u;
            spread[g].square += exclusive ? (sums.count[g] * mean * u) * (sums.count[g] * mean * u)
                                          : sums.count[g] * mean2 * u * u;
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
    if (!(m > 0) || !(spread.linear > 0)) {
        return std::nullopt;
    }
    double a = m * m + z2 * spread.square;
    const double b = 2 * rate * m + z2 * spread.linear;
    const double c = rate * rate;
    double discriminant = b * b - 4 * a * c;
    if (discriminant < 0) {
        // A rate many times the market's: scaled that far, the race's chances would pass 1 and
        // the variance turn negative. Without B the variance only grows: wider, never none.
        a = m * m;
        discriminant = b * b - 4 * a * c;
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
    const double mean2 = mean * mean;
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
        const double inverse = inverseOddsOf(onFiles[r]);
        for (const BetRecord& record : onFiles[r]) {
            const double moment = secondMoment(mean2, record, inverse, bet);
            const quint16 judgedEarly = earlyGroups[keyOf(record)];
            const unsigned either = moment > 0 ? unsigned{record.groups} | judgedEarly : 0U;
            for (unsigned mask = either; mask != 0; mask &= mask - 1) {
                const auto g = static_cast<std::size_t>(std::countr_zero(mask));
                const double c = ((record.groups >> g) & 1U) / std::max(1.0, filesSize[g])
                                 - ((judgedEarly >> g) & 1U) / std::max(1.0, earlySize[g]);
                if (exclusive) {
                    first[g] += c * mean;
                    second[g] += c * c * moment;
                } else {
                    variance[g] += c * c * (moment - mean2);
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
