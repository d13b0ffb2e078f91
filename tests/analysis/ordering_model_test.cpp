// SPDX-License-Identifier: MIT
// The discounted ordering model against enumeration of every finishing order.
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "analysis/ordering_model.h"

namespace {

// P(order i, j, k) spelt out from the model's definition.
double orderChance(const std::vector<double>& p, double lambda, double tau, int i, int j, int k)
{
    double q = 0.0;
    double r = 0.0;
    for (std::size_t s = 1; s < p.size(); ++s) {
        q += static_cast<int>(s) != i ? std::pow(p[s], lambda) : 0.0;
        r += static_cast<int>(s) != i && static_cast<int>(s) != j ? std::pow(p[s], tau) : 0.0;
    }
    const auto at = [&p](int h) {
        return p[static_cast<std::size_t>(h)];
    };
    return at(i) * std::pow(at(j), lambda) / q * std::pow(at(k), tau) / r;
}

} // namespace

TEST(OrderingModel, AgreesWithEveryOrderSpeltOut)
{
    // Horse 4 has no odds: no chance, no place.
    const std::vector<double> odds = {0.0, 2.5, 4.0, 7.5, 0.0, 12.0, 30.0};
    const auto chances = winChances(odds);
    EXPECT_DOUBLE_EQ(chances[4], 0.0);
    double sum = 0.0;
    for (const double p : chances) {
        sum += p;
    }
    EXPECT_NEAR(sum, 1.0, 1e-15);
    const std::vector<double> p(chances.begin(), chances.begin() + 7);

    for (const auto& [lambda, tau] : {std::pair{1.0, 1.0}, std::pair{0.81, 0.65}}) {
        const OrderingModel model(p, lambda, tau);
        std::vector<double> allThree(15);
        std::vector<double> allTwo(15);
        model.firstThreeOfPairs(allThree);
        model.firstTwoOfPairs(allTwo);
        std::size_t pair = 0;
        double firstTwoSum = 0.0;
        double firstThreeSum = 0.0;
        for (int a = 1; a <= 6; ++a) {
            for (int b = a + 1; b <= 6; ++b) {
                double two = 0.0;
                double three = 0.0;
                for (int i = 1; i <= 6; ++i) {
                    for (int j = 1; j <= 6; ++j) {
                        for (int k = 1; k <= 6; ++k) {
                            if (i == j || j == k || i == k || p[static_cast<std::size_t>(i)] == 0.0
                                || p[static_cast<std::size_t>(j)] == 0.0
                                || p[static_cast<std::size_t>(k)] == 0.0) {
                                continue;
                            }
                            const double c = orderChance(p, lambda, tau, i, j, k);
                            const bool aIn = i == a || j == a || k == a;
                            const bool bIn = i == b || j == b || k == b;
                            two += (i == a && j == b) || (i == b && j == a) ? c : 0.0;
                            three += aIn && bIn ? c : 0.0;
                        }
                    }
                }
                EXPECT_NEAR(model.firstTwo(a, b), two, 1e-14) << a << "-" << b;
                EXPECT_NEAR(model.firstThree(a, b), three, 1e-14) << a << "-" << b;
                EXPECT_NEAR(allTwo[pair], two, 1e-14) << a << "-" << b;
                EXPECT_NEAR(allThree[pair++], three, 1e-14) << a << "-" << b;
                firstTwoSum += model.firstTwo(a, b);
                firstThreeSum += model.firstThree(a, b);
            }
        }
        EXPECT_NEAR(firstTwoSum, 1.0, 1e-14);
        EXPECT_NEAR(firstThreeSum, 3.0, 1e-14); // three pairs in every first three
        EXPECT_NEAR(
            model.logChanceOfOrder(2, 5, 1), std::log(orderChance(p, lambda, tau, 2, 5, 1)), 1e-14);
    }
    // Harville's quinella chance in its usual form.
    const OrderingModel harville(p, 1.0, 1.0);
    EXPECT_NEAR(
        harville.firstTwo(1, 2), p[1] * p[2] / (1 - p[1]) + p[1] * p[2] / (1 - p[2]), 1e-15);
}
