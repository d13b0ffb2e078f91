// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <span>

#include "base/runners.h"

/// Pairs of an 18-runner race.
inline constexpr int kMaxPairs = kMaxRunners * (kMaxRunners - 1) / 2;

/// Finishing-order chances of a race under the discounted Harville model: the first place goes
/// to horse i with chance p_i; the second, among the others, in proportion to p^λ; the third in
/// proportion to p^τ. λ = τ = 1 is Harville. Horses are numbered from 1; a chance of 0 (a
/// scratched horse, one without odds) takes no place.
class OrderingModel
{
public:
    /// `p[h]` for horses 1 to n (p[0] unused), normalised to sum 1 over the horses that run.
    OrderingModel(std::span<const double> p, double lambda, double tau);

    /// The win chance of horse h (0 for one that takes no place).
    double winChance(int h) const { return m_p[static_cast<std::size_t>(h)]; }
    /// Chance that a and b finish first and second, in either order.
    double firstTwo(int a, int b) const;
    /// Chance that a and b both finish in the first three.
    double firstThree(int a, int b) const;
    /// firstThree() of every pair in pair order (1,2), (1,3) … (n−1,n) into `out`, which holds
    /// n(n−1)/2 values: the sums over the third horse shared, O(n²) in all.
    void firstThreeOfPairs(std::span<double> out) const;
    /// firstTwo() of every pair in pair order likewise (equal to it up to rounding).
    void firstTwoOfPairs(std::span<double> out) const;
    /// Horses numbered 1 to this.
    int runners() const { return m_n; }
    /// ln P(first, second, third in this order).
    double logChanceOfOrder(int first, int second, int third) const;

private:
    // p_i / (Q − q_i) of each horse: ordered(i, j) is this times q_j.
    std::array<double, kMaxRunners + 1> restInverses() const;
    // Chance of a first and b second, in this order.
    double ordered(int a, int b) const;

    int m_n = 0;
    std::array<double, kMaxRunners + 1> m_p{};
    std::array<double, kMaxRunners + 1> m_q{}; // p^λ
    std::array<double, kMaxRunners + 1> m_r{}; // p^τ
    double m_qSum = 0.0;
    double m_rSum = 0.0;
};

/// Win chances from win odds: 1 / odds over the horses whose odds are a positive number,
/// normalised to sum 1; 0 for the others. `odds[h]` for horses 1 to n; 0 or less means none.
std::array<double, kMaxRunners + 1> winChances(std::span<const double> odds);
