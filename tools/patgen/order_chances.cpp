// SPDX-License-Identifier: MIT
// The public's bias curves and the discounted model's chances of the first two and the first
// three: what the market is drawn from, apart from how it is drawn.
#include <algorithm>
#include <cmath>

#include "market_pairs.h"
#include "realistic_market.h"

using market_pairs::at;
using market_pairs::pairIndex;
using Chances = std::vector<double>;

double BiasCurve::operator()(double chance) const
{
    if (points.empty()) {
        return 0.0;
    }
    if (chance >= points.front()[0]) {
        return points.front()[1];
    }
    for (std::size_t k = 1; k < points.size(); ++k) {
        if (chance >= points[k][0]) {
            const double t
                = std::log(points[k - 1][0] / chance) / std::log(points[k - 1][0] / points[k][0]);
            return points[k - 1][1] + t * (points[k][1] - points[k - 1][1]);
        }
    }
    return points.back()[1];
}

OrderChances discountedOrderChances(const std::vector<double>& p, double lambda, double tau)
{
    const int n = static_cast<int>(p.size());
    Chances second(p.size(), 0.0);
    Chances third(p.size(), 0.0);
    double secondTotal = 0.0;
    double thirdTotal = 0.0;
    for (int k = 0; k < n; ++k) {
        if (p[at(k)] > 0.0) {
            second[at(k)] = std::pow(p[at(k)], lambda);
            third[at(k)] = std::pow(p[at(k)], tau);
            secondTotal += second[at(k)];
            thirdTotal += third[at(k)];
        }
    }
    OrderChances c;
    c.firstTwo.assign(static_cast<std::size_t>(n * (n - 1) / 2), 0.0);
    c.topThree.assign(c.firstTwo.size(), 0.0);
    for (int a = 0; a < n; ++a) {
        if (p[at(a)] == 0.0) {
            continue;
        }
        for (int b = 0; b < n; ++b) {
            if (b == a || p[at(b)] == 0.0) {
                continue;
            }
            const double ab = p[at(a)] * second[at(b)] / (secondTotal - second[at(a)]);
            const std::size_t xy = pairIndex(n, std::min(a, b), std::max(a, b));
            c.firstTwo[xy] += ab;
            const double rest = thirdTotal - third[at(a)] - third[at(b)];
            for (int x = 0; x < n; ++x) {
                if (x == a || x == b || p[at(x)] == 0.0) {
                    continue;
                }
                const double abx = ab * third[at(x)] / rest;
                c.topThree[xy] += abx;
                c.topThree[pairIndex(n, std::min(a, x), std::max(a, x))] += abx;
                c.topThree[pairIndex(n, std::min(b, x), std::max(b, x))] += abx;
            }
        }
    }
    return c;
}
