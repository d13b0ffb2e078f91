// SPDX-License-Identifier: MIT
#include "market_spread.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace {

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

// Wide pairs of a race paid together. Two pairs without a common horse never are (three horses
// place); pairs a-b and a-c are when b and c place beside a. Given a places, the other two are
// taken as a pair drawn with chance x_b·x_c / Z, x fitted so that each horse places beside a as
// often as its pair's chance says (a conditional Poisson draw): on Harville finishes this gives
// the three-horse chances almost exactly. Then E[X_ab·X_ac] = M²·y_ab·y_ac·scale_a, with
// y_ab = x_b / p_ab and scale_a = q_a / Z_a (q_a: a's place chance, half its pairs' chances).
constexpr std::size_t kHorses = 19; // horse numbers 1 to 18

class WideJoint
{
public:
    WideJoint(const RaceBets& race, double inverse)
        : m_y(race.size() * 2, 0.0)
    {
        std::array<std::array<quint16, kHorses>, kHorses> pairOf{}; // record index + 1
        std::vector<double> chance(race.size(), 0.0);
        std::array<double, kHorses> place{};
        for (std::size_t i = 0; i < race.size(); ++i) {
            const BetRecord& record = race[i];
            if (!(record.odds > 0) || record.first >= kHorses || record.second >= kHorses) {
                continue;
            }
            chance[i] = std::min(1.0, 3.0 / (record.odds * inverse));
            pairOf[record.first][record.second] = static_cast<quint16>(i + 1);
            pairOf[record.second][record.first] = static_cast<quint16>(i + 1);
            place[record.first] += chance[i] / 2;
            place[record.second] += chance[i] / 2;
        }
        std::vector<std::size_t> pairs;
        std::vector<double> share;
        std::vector<double> x;
        std::vector<double> next;
        for (std::size_t a = 0; a < kHorses; ++a) {
            pairs.clear();
            share.clear();
            const double q = std::min(1.0, place[a]);
            for (std::size_t b = 0; b < kHorses; ++b) {
                if (pairOf[a][b] != 0) {
                    pairs.push_back(pairOf[a][b] - 1U);
                    // Capped: a horse certain to place beside a leaves x no finite fit.
                    share.push_back(std::min(0.95, chance[pairs.back()] / q));
                }
            }
            if (pairs.size() < 2) {
                continue;
            }
            if (!solveByNewton(share, x)) {
                solveByIteration(share, x, next);
            }
            double squares = 0;
            for (double value : x) {
                squares += value * value;
            }
            m_scale[a] = q / ((1 - squares) / 2);
            for (std::size_t j = 0; j < pairs.size(); ++j) {
                const std::size_t i = pairs[j];
                m_y[i * 2 + (race[i].first == a ? 0 : 1)] = x[j] / chance[i];
            }
        }
    }
    /// y of the record's pair in the fit of its first (side 0) or second (side 1) horse.
    double y(std::size_t record, int side) const
    {
        return m_y[record * 2 + static_cast<std::size_t>(side)];
    }
    double scale(std::size_t horse) const { return horse < kHorses ? m_scale[horse] : 0.0; }

private:
    // x_j (1 − x_j) = λ·share_j with Σ x = 1, every x the smaller root: Σ x(λ) is convex and
    // rising, so Newton's method kept inside a bracket finds λ in a few steps. False where even
    // the largest λ leaves Σ x < 1 (a horse all but sure to place beside a takes the larger root).
    static bool solveByNewton(const std::vector<double>& share, std::vector<double>& x)
    {
        const double top = 0.25 / *std::max_element(share.begin(), share.end());
        const auto excess = [&share](double lambda, double* slope) {
            double total = -1;
            double rise = 0;
            for (double p : share) {
                const double root = std::sqrt(std::max(0.0, 1 - 4 * lambda * p));
                total += 2 * lambda * p / (1 + root);
                rise += root > 0 ? p / root : std::numeric_limits<double>::infinity();
            }
            *slope = rise;
            return total;
        };
        // x(λ) = λp + (λp)² + 2(λp)³ + …, every term positive: the root of λΣp + λ²Σp² = 1 lies
        // at or above λ's, and Newton's steps from there come down to it without overshooting.
        double sum = 0;
        double squares = 0;
        for (double p : share) {
            sum += p;
            squares += p * p;
        }
        double low = 0;
        double high = top;
        double lambda = std::min(top, 2 / (sum + std::sqrt(sum * sum + 4 * squares)));
        double slope = 0;
        for (int step = 0; step < 100; ++step) {
            const double value = excess(lambda, &slope);
            if (lambda == top && value < 0) {
                return false;
            }
            (value < 0 ? low : high) = lambda;
            if (std::abs(value) < 1e-14) {
                break;
            }
            const double next = lambda - value / slope;
            lambda = next > low && next < high ? next : (low + high) / 2;
            if (high - low < 1e-15 * top) {
                break;
            }
        }
        x.resize(share.size());
        for (std::size_t j = 0; j < share.size(); ++j) {
            x[j]
                = 2 * lambda * share[j] / (1 + std::sqrt(std::max(0.0, 1 - 4 * lambda * share[j])));
        }
        return true;
    }

    // The same by the fixed point x ← normalised share / (1 − x), which also finds the larger root.
    static void solveByIteration(const std::vector<double>& share,
                                 std::vector<double>& x,
                                 std::vector<double>& next)
    {
        x = share;
        normalise(x);
        next.resize(x.size());
        for (int step = 0; step < 200; ++step) {
            double total = 0;
            for (std::size_t j = 0; j < x.size(); ++j) {
                next[j] = share[j] / (1 - x[j]);
                total += next[j];
            }
            double moved = 0;
            for (std::size_t j = 0; j < x.size(); ++j) {
                const double value = next[j] / total;
                moved = std::max(moved, std::abs(value - x[j]));
                x[j] = value;
            }
            if (moved < 1e-10) {
                break;
            }
        }
    }

    static void normalise(std::vector<double>& x)
    {
        double total = 0;
        for (double value : x) {
            total += value;
        }
        for (double& value : x) {
            value /= total;
        }
    }
    std::vector<double> m_y;
    std::array<double, kHorses> m_scale{};
};

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
    const bool wide = bet == BetType::Wide;
    std::size_t at = 0; // the bet's place in binOf
    // A bet's coefficient in group g's excess is c = [in g]/n_g − w_g,bin. Its variance is
    // summed race by race from sums over the race's bets, bins and (wide) horses, so a bet costs
    // one visit per group it is in: with t = E[X²], Σ c²t = Σ_in t/n_g² − 2 Σ_in w t/n_g +
    // Σ_bins w² Σ t, and Σ c = count_in/n_g − Σ_bins w·N. Pairs of a race are paid together only
    // as WideJoint says: Var = Σ c²t − (Σ c·M)² + M² Σ_a scale_a ((Σ_a c·y)² − Σ_a c²y²).
    struct RaceSums
    {
        std::array<double, kOddsBins> t{}, n{};
        std::array<double, kBacktestGroups> second{}, wt_in{}, count{};
    };
    // Wide: per horse its pairs' y by bin (the bins it has listed) and in each group Σ y, Σ y²,
    // Σ w·y². The excess's terms that hold w twice are summed over the season by bin, since w is
    // the season's: Σ scale·Y_in,g·Y_k, Σ scale·Y_k·Y_k' (k ≤ k'), Σ scale·Y2_k.
    struct Horse
    {
        std::array<double, kOddsBins> y{}, y2{};
        std::array<quint8, kOddsBins> bins{};
        std::size_t binCount = 0;
        std::array<double, kBacktestGroups> in{}, in2{}, win2{};
    };
    struct Season
    {
        std::array<std::array<double, kOddsBins>, kBacktestGroups> inBin{};
        std::array<std::array<double, kOddsBins>, kOddsBins> binPair{};
        std::array<double, kOddsBins> binSquare{};
    };
    RaceSums sums;
    std::vector<Horse> horses;
    Season season;
    const double mean2 = mean * mean;
    for (std::size_t r = 0; r < races.size(); ++r) {
        sums = RaceSums{};
        const RaceBets& race = races[r];
        const double inverse = inverseOddsOf(race);
        const std::optional<WideJoint> joint
            = wide ? std::optional<WideJoint>(std::in_place, race, inverse) : std::nullopt;
        if (joint) {
            horses.assign(kHorses, Horse{});
        }
        for (std::size_t i = 0; i < race.size(); ++i) {
            const BetRecord& record = race[i];
            const auto k = static_cast<std::size_t>(binOf[at++]);
            if (!(record.odds > 0)) {
                continue;
            }
            const double t = secondMoment(mean2, record, inverse, bet);
            sums.t[k] += t;
            ++sums.n[k];
            for (unsigned mask = record.groups; mask != 0; mask &= mask - 1) {
                const auto g = static_cast<std::size_t>(std::countr_zero(mask));
                sums.second[g] += t;
                sums.wt_in[g] += weight[g][k] * t;
                ++sums.count[g];
            }
            if (!joint) {
                continue;
            }
            for (int side = 0; side < 2; ++side) {
                const std::size_t number = side == 0 ? record.first : record.second;
                const double y = joint->y(i, side);
                if (number >= kHorses || !(y > 0)) {
                    continue;
                }
                Horse& horse = horses[number];
                if (horse.y[k] == 0) {
                    horse.bins[horse.binCount++] = static_cast<quint8>(k);
                }
                horse.y[k] += y;
                horse.y2[k] += y * y;
                for (unsigned mask = record.groups; mask != 0; mask &= mask - 1) {
                    const auto g = static_cast<std::size_t>(std::countr_zero(mask));
                    horse.in[g] += y;
                    horse.in2[g] += y * y;
                    horse.win2[g] += weight[g][k] * y * y;
                }
            }
        }
        // Pairs sharing a horse: the rate's term (c = u in the group) and the excess's terms
        // with w at most once; those with w twice go to the season's sums.
        std::array<double, kBacktestGroups> together{};
        std::array<double, kBacktestGroups> togetherExcess{};
        for (std::size_t number = 0; joint && number < kHorses; ++number) {
            const double scale = joint->scale(number);
            const Horse& horse = horses[number];
            if (!(scale > 0) || horse.binCount == 0) {
                continue;
            }
            for (std::size_t a = 0; a < horse.binCount; ++a) {
                const std::size_t k = horse.bins[a];
                season.binSquare[k] += scale * horse.y2[k];
                for (std::size_t b = 0; b < horse.binCount; ++b) {
                    const std::size_t l = horse.bins[b];
                    if (k <= l) {
                        season.binPair[k][l] += scale * horse.y[k] * horse.y[l];
                    }
                }
            }
            for (std::size_t g = 0; g < kBacktestGroups; ++g) {
                if (horse.in[g] == 0) {
                    continue;
                }
                const double u = 1.0 / inGroup[g];
                const double pairs = horse.in[g] * horse.in[g] - horse.in2[g];
                together[g] += scale * pairs;
                togetherExcess[g] += scale * (u * u * pairs + 2 * u * horse.win2[g]);
                for (std::size_t a = 0; a < horse.binCount; ++a) {
                    const std::size_t k = horse.bins[a];
                    season.inBin[g][k] += scale * horse.in[g] * horse.y[k];
                }
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
            const double squares = u * u * sums.second[g] - 2 * u * sums.wt_in[g] + binned;
            const double first = mean * (u * sums.count[g] - share); // Σ c·E[X]
            spread[g].excessVar += squares - first * first + mean2 * togetherExcess[g];
            spread[g].linear += (sums.second[g] + mean2 * together[g]) * u * u;
            spread[g].square += (sums.count[g] * mean * u) * (sums.count[g] * mean * u);
        }
    }
    for (std::size_t g = 0; g < kBacktestGroups && wide; ++g) {
        if (!(inGroup[g] > 0)) {
            continue;
        }
        const double u = 1.0 / inGroup[g];
        double shared = 0;
        for (std::size_t k = 0; k < kOddsBins; ++k) {
            const double w = weight[g][k];
            shared += -2 * u * w * season.inBin[g][k] - w * w * season.binSquare[k];
            for (std::size_t l = k; l < kOddsBins; ++l) {
                shared += (l == k ? 1.0 : 2.0) * w * weight[g][l] * season.binPair[k][l];
            }
        }
        spread[g].excessVar += mean2 * shared;
    }
    for (MarketSpread& group : spread) {
        group.mean = mean;
        group.excessVar = std::max(0.0, group.excessVar);
    }
    return spread;
}

double marketZ(qint64 hits)
{
    return hits < kFewHits ? 3.0 : kZ95;
}

std::optional<std::pair<double, double>>
scoreInterval(double rate, const MarketSpread& spread, double z)
{
    // (rate − θM)² ≤ z²(θA − θ²B): a quadratic in θ, a·θ² − b·θ + c ≤ 0.
    const double m = spread.mean;
    const double z2 = z * z;
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
    const bool wide = bet == BetType::Wide;
    const double mean2 = mean * mean;
    // A pair's groups when judged early, by its horses.
    constexpr std::size_t kKeys = 64 * 64;
    std::vector<quint16> earlyGroups(kKeys, 0);
    const auto keyOf = [](const BetRecord& record) {
        return static_cast<std::size_t>(record.first % 64) * 64 + record.second % 64;
    };
    // Per group, as marketSpreadOf: Σ c·M, Σ c²·E[X²], and per horse Σ c·y and Σ c²y².
    std::array<double, kBacktestGroups> first{};
    std::array<double, kBacktestGroups> second{};
    std::array<std::array<double, kHorses>, kBacktestGroups> cy{};
    std::array<std::array<double, kHorses>, kBacktestGroups> c2y2{};
    for (std::size_t r = 0; r < onFiles.size(); ++r) {
        const RaceBets& race = onFiles[r];
        for (const BetRecord& record : early[r]) {
            earlyGroups[keyOf(record)] = record.groups;
        }
        first.fill(0);
        second.fill(0);
        const double inverse = inverseOddsOf(race);
        const std::optional<WideJoint> joint
            = wide ? std::optional<WideJoint>(std::in_place, race, inverse) : std::nullopt;
        if (joint) {
            cy = {};
            c2y2 = {};
        }
        for (std::size_t i = 0; i < race.size(); ++i) {
            const BetRecord& record = race[i];
            const double moment = secondMoment(mean2, record, inverse, bet);
            const quint16 judgedEarly = earlyGroups[keyOf(record)];
            const unsigned either = moment > 0 ? unsigned{record.groups} | judgedEarly : 0U;
            for (unsigned mask = either; mask != 0; mask &= mask - 1) {
                const auto g = static_cast<std::size_t>(std::countr_zero(mask));
                const double c = ((record.groups >> g) & 1U) / std::max(1.0, filesSize[g])
                                 - ((judgedEarly >> g) & 1U) / std::max(1.0, earlySize[g]);
                first[g] += c * mean;
                second[g] += c * c * moment;
                for (int side = 0; joint && side < 2; ++side) {
                    const std::size_t horse = side == 0 ? record.first : record.second;
                    if (horse < kHorses) {
                        const double y = joint->y(i, side);
                        cy[g][horse] += c * y;
                        c2y2[g][horse] += c * c * y * y;
                    }
                }
            }
        }
        for (const BetRecord& record : early[r]) {
            earlyGroups[keyOf(record)] = 0;
        }
        for (std::size_t g = 0; g < kBacktestGroups; ++g) {
            double together = 0;
            for (std::size_t horse = 0; joint && horse < kHorses; ++horse) {
                together += joint->scale(horse) * (cy[g][horse] * cy[g][horse] - c2y2[g][horse]);
            }
            variance[g] += std::max(0.0, second[g] - first[g] * first[g] + mean2 * together);
        }
    }
    return variance;
}
