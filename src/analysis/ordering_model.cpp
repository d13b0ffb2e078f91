// SPDX-License-Identifier: MIT
#include "ordering_model.h"

#include <algorithm>
#include <cmath>

OrderingModel::OrderingModel(std::span<const double> p, double lambda, double tau)
    : m_n(static_cast<int>(std::min<std::size_t>(p.size(), kMaxRunners + 1)) - 1)
{
    for (int h = 1; h <= m_n; ++h) {
        const double chance = p[static_cast<std::size_t>(h)];
        if (!(chance > 0.0)) {
            continue;
        }
        const auto i = static_cast<std::size_t>(h);
        m_p[i] = chance;
        m_q[i] = lambda == 1.0 ? chance : std::pow(chance, lambda);
        m_r[i] = tau == 1.0 ? chance : std::pow(chance, tau);
        m_qSum += m_q[i];
        m_rSum += m_r[i];
    }
}

double OrderingModel::ordered(int a, int b) const
{
    const auto i = static_cast<std::size_t>(a);
    const double rest = m_qSum - m_q[i];
    return rest > 0.0 ? m_p[i] * m_q[static_cast<std::size_t>(b)] / rest : 0.0;
}

double OrderingModel::firstTwo(int a, int b) const
{
    return ordered(a, b) + ordered(b, a);
}

double OrderingModel::firstThree(int a, int b) const
{
    const auto ia = static_cast<std::size_t>(a);
    const auto ib = static_cast<std::size_t>(b);
    if (m_p[ia] <= 0.0 || m_p[ib] <= 0.0) {
        return 0.0;
    }
    // a and b first and second (either order), whoever is third: the third place always goes
    // to someone when a third horse runs.
    double third = 0.0;
    for (int x = 1; x <= m_n; ++x) {
        const auto ix = static_cast<std::size_t>(x);
        if (x == a || x == b || m_p[ix] <= 0.0) {
            continue;
        }
        // a first, x second, b third; b first, x second, a third.
        third += ordered(a, x) * m_r[ib] / (m_rSum - m_r[ia] - m_r[ix]);
        third += ordered(b, x) * m_r[ia] / (m_rSum - m_r[ib] - m_r[ix]);
        // x first, then a and b in either order.
        third += ordered(x, a) * m_r[ib] / (m_rSum - m_r[ix] - m_r[ia]);
        third += ordered(x, b) * m_r[ia] / (m_rSum - m_r[ix] - m_r[ib]);
    }
    return firstTwo(a, b) + third;
}

double OrderingModel::logChanceOfOrder(int first, int second, int third) const
{
    const auto i = static_cast<std::size_t>(first);
    const auto j = static_cast<std::size_t>(second);
    const auto k = static_cast<std::size_t>(third);
    return std::log(m_p[i]) + std::log(m_q[j] / (m_qSum - m_q[i]))
           + std::log(m_r[k] / (m_rSum - m_r[i] - m_r[j]));
}

std::array<double, kMaxRunners + 1> winChances(std::span<const double> odds)
{
    std::array<double, kMaxRunners + 1> p{};
    double sum = 0.0;
    const std::size_t n = std::min<std::size_t>(odds.size(), p.size());
    for (std::size_t h = 1; h < n; ++h) {
        if (odds[h] > 0.0 && std::isfinite(odds[h])) {
            p[h] = 1.0 / odds[h];
            sum += p[h];
        }
    }
    for (double& chance : p) {
        chance = sum > 0.0 ? chance / sum : 0.0;
    }
    return p;
}
