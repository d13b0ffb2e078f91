// SPDX-License-Identifier: MIT
#include "ordering_model.h"

#include <algorithm>
#include <cmath>

#include "base/vector_state.h"

OrderingModel::OrderingModel(std::span<const double> p, double lambda, double tau)
    : m_n(static_cast<int>(std::min<std::size_t>(p.size(), kMaxRunners + 1)) - 1)
{
    clearUpperVectorState();
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

std::array<double, kMaxRunners + 1> OrderingModel::restInverses() const
{
    std::array<double, kMaxRunners + 1> inverse{};
    for (int i = 1; i <= m_n; ++i) {
        const auto ii = static_cast<std::size_t>(i);
        const double rest = m_qSum - m_q[ii];
        inverse[ii] = m_p[ii] > 0.0 && rest > 0.0 ? m_p[ii] / rest : 0.0;
    }
    return inverse;
}

void OrderingModel::firstTwoOfPairs(std::span<double> out) const
{
    // ordered(a, b) = p_a q_b / (Q − q_a): one division a horse rather than two a pair.
    const auto first = restInverses();
    std::size_t k = 0;
    for (int a = 1; a < m_n; ++a) {
        const auto ia = static_cast<std::size_t>(a);
        for (int b = a + 1; b <= m_n; ++b, ++k) {
            const auto ib = static_cast<std::size_t>(b);
            out[k] = first[ia] * m_q[ib] + first[ib] * m_q[ia];
        }
    }
}

void OrderingModel::firstThreeOfPairs(std::span<double> out) const
{
    // firstThree(a, b) = firstTwo(a, b) + r_b (S_a − o_ab t_ab + U_a − o_ba t_ab)
    //                                    + r_a (S_b − o_ba t_ab + U_b − o_ab t_ab),
    // with o_ij = ordered(i, j), t_ij = 1 / (R − r_i − r_j), S_i = Σ_x o_ix t_ix, U_i = Σ_x o_xi
    // t_xi.
    const int n = m_n;
    const auto first = restInverses();
    std::array<std::array<double, kMaxRunners + 1>, kMaxRunners + 1> o{};
    std::array<std::array<double, kMaxRunners + 1>, kMaxRunners + 1> t{};
    std::array<double, kMaxRunners + 1> s{};
    std::array<double, kMaxRunners + 1> u{};
    for (int i = 1; i <= n; ++i) {
        const auto ii = static_cast<std::size_t>(i);
        if (m_p[ii] <= 0.0) {
            continue;
        }
        for (int j = 1; j <= n; ++j) {
            const auto ij = static_cast<std::size_t>(j);
            if (j == i || m_p[ij] <= 0.0) {
                continue;
            }
            o[ii][ij] = first[ii] * m_q[ij];
            if (j > i) {
                const double rest = m_rSum - m_r[ii] - m_r[ij];
                t[ii][ij] = rest > 0.0 ? 1.0 / rest : 0.0;
                t[ij][ii] = t[ii][ij];
            }
        }
    }
    for (int i = 1; i <= n; ++i) {
        const auto ii = static_cast<std::size_t>(i);
        for (int x = 1; x <= n; ++x) {
            const auto ix = static_cast<std::size_t>(x);
            s[ii] += o[ii][ix] * t[ii][ix];
            u[ii] += o[ix][ii] * t[ix][ii];
        }
    }
    std::size_t k = 0;
    for (int a = 1; a < n; ++a) {
        const auto ia = static_cast<std::size_t>(a);
        for (int b = a + 1; b <= n; ++b, ++k) {
            const auto ib = static_cast<std::size_t>(b);
            if (m_p[ia] <= 0.0 || m_p[ib] <= 0.0) {
                out[k] = 0.0;
                continue;
            }
            const double oab = o[ia][ib] * t[ia][ib];
            const double oba = o[ib][ia] * t[ia][ib];
            out[k] = o[ia][ib] + o[ib][ia] + m_r[ib] * (s[ia] - oab + u[ia] - oba)
                     + m_r[ia] * (s[ib] - oba + u[ib] - oab);
        }
    }
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
