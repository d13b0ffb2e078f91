// SPDX-License-Identifier: MIT
// Kelly stakes on bets that pay together (wide): projected Newton, finished by Cover's steps
// where the optimum stakes the whole bankroll, with a bound on the distance to the optimum.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "analysis/kelly_math.h"
#include "kelly.h"

using namespace kelly_math;

namespace {

// Σ x_m y_m over m < count, in four running sums: one sum is a chain of dependent additions
// that leaves the processor waiting, and this is where a large free set spends its time.
double dot(const double* x, const double* y, int count)
{
    double s0 = 0.0;
    double s1 = 0.0;
    double s2 = 0.0;
    double s3 = 0.0;
    int m = 0;
    for (; m + 4 <= count; m += 4) {
        s0 += x[m] * y[m];
        s1 += x[m + 1] * y[m + 1];
        s2 += x[m + 2] * y[m + 2];
        s3 += x[m + 3] * y[m + 3];
    }
    for (; m < count; ++m) {
        s0 += x[m] * y[m];
    }
    return (s0 + s1) + (s2 + s3);
}

// Solves a·x = b in place for a symmetric positive definite k×k `a` (row-major), by Cholesky.
// False when a pivot is not clearly positive; `a` is then spoilt.
bool choleskySolve(double* a, int k, double* b)
{
    for (int j = 0; j < k; ++j) {
        double* rowJ = a + static_cast<std::ptrdiff_t>(j) * k;
        const double pivot = rowJ[j] - dot(rowJ, rowJ, j);
        if (!(pivot > 1e-300)) {
            return false;
        }
        const double root = std::sqrt(pivot);
        rowJ[j] = root;
        for (int i = j + 1; i < k; ++i) {
            double* rowI = a + static_cast<std::ptrdiff_t>(i) * k;
            rowI[j] = (rowI[j] - dot(rowI, rowJ, j)) / root;
        }
    }
    for (int i = 0; i < k; ++i) {
        const double* row = a + static_cast<std::ptrdiff_t>(i) * k;
        b[i] = (b[i] - dot(row, b, i)) / row[i];
    }
    for (int i = k - 1; i >= 0; --i) {
        double v = b[i];
        for (int m = i + 1; m < k; ++m) {
            v -= a[static_cast<std::ptrdiff_t>(m) * k + i] * b[m];
        }
        b[i] = v / a[static_cast<std::ptrdiff_t>(i) * k + i];
    }
    return true;
}

// Projected Newton (Bertsekas 1982) on G over f ≥ 0, 1 − F > 0. With f ≥ 0 and every kept odds
// above 1, each outcome leaves at least the cash 1 − F, so cash > 0 is the whole of "wealth > 0
// in every outcome".
class SetSolver final
{
public:
    explicit SetSolver(const KellySetProblem& problem);
    std::vector<double> solve();
    std::vector<double> fractions() const;
    /// The bound on G* − G(f) at the fractions solve() left.
    double gap();
    /// Cover's multiplicative steps from where Newton stopped: for an optimum that stakes the
    /// whole bankroll (every outcome pays a bet held), which Newton's cash > 0 cannot reach.
    void polish();

private:
    using Members = std::array<int, 3>;

    static constexpr int kMaxIterations = 200;
    static constexpr int kMaxHalvings = 60;
    // KKT: |gradient| on the bets held, gradient on the bets left out.
    static constexpr double kTolerance = 1e-10;
    // Largest stake still treated as "at zero" when its gradient pushes it there.
    static constexpr double kAtZero = 1e-3;
    // Below this predicted gain the change of G is lost in its rounding: take the step as is.
    static constexpr double kRoundingGain = 1e-13;
    static constexpr double kArmijo = 1e-4;
    static constexpr int kMaxPolish = 200'000;
    static constexpr double kPolishGap = 1e-8;

    double growth(const std::vector<double>& f) const;
    void gradient();
    bool newtonDirection();

    std::size_t m_problemBets = 0;
    // The problem kept: bets that pay more than their stake in some outcome, outcomes paying one
    // of them; every other outcome leaves the cash, so their chances add to m_rest. A bet whose
    // expected return is below 1 stays: it can enter where it pays while the others lose.
    std::vector<int> m_betOf;
    std::vector<double> m_odds;
    std::vector<double> m_q;
    std::vector<Members> m_members;
    double m_rest = 0.0;

    // Work space, sized once; only the two matrices grow, to the largest free set met.
    std::vector<double> m_f;
    std::vector<double> m_trial;
    std::vector<double> m_grad;
    std::vector<double> m_curv;     // Σ_{s∋i} q_s / W_s²
    std::vector<double> m_diagonal; // −∂²G/∂f_i²
    std::vector<double> m_direction;
    std::vector<double> m_w2; // q_s / W_s² per outcome
    std::vector<double> m_hessian;
    std::vector<double> m_factor;
    std::vector<double> m_rhs;
    std::vector<int> m_free;
    std::vector<int> m_slot; // place in m_free, -1 when held at zero
    double m_total2 = 0.0;   // Σ_s q_s / W_s² + rest / cash²
    double m_toCash = 0.0;   // D = Σ_s q_s / W_s + rest / cash: E[r_cash / W]
    double m_cash = 1.0;     // 1 − Σ f, kept apart so that a tiny cash keeps its digits
};

SetSolver::SetSolver(const KellySetProblem& problem)
    : m_problemBets(problem.odds.size())
{
    const std::size_t sets = std::min(problem.setProbabilities.size(), problem.setBets.size());
    const double scale = chanceScale(positiveSum(problem.setProbabilities));
    const auto valid = [this](int bet) {
        return bet >= 0 && static_cast<std::size_t>(bet) < m_problemBets;
    };
    std::vector<double> chance(m_problemBets, 0.0);
    double total = 0.0;
    for (std::size_t s = 0; s < sets; ++s) {
        const double q = problem.setProbabilities[s] * scale;
        if (!(q > 0.0)) {
            continue;
        }
        total += q;
        for (const int bet : problem.setBets[s]) {
            if (valid(bet)) {
                chance[static_cast<std::size_t>(bet)] += q;
            }
        }
    }
    std::vector<int> kept(m_problemBets, -1);
    for (std::size_t b = 0; b < m_problemBets; ++b) {
        // Odds of at most 1 never return more than the cash kept instead.
        if (problem.odds[b] > 1.0 && chance[b] > 0.0) {
            kept[b] = static_cast<int>(m_odds.size());
            m_betOf.push_back(static_cast<int>(b));
            m_odds.push_back(problem.odds[b]);
        }
    }
    for (std::size_t s = 0; s < sets; ++s) {
        const double q = problem.setProbabilities[s] * scale;
        if (!(q > 0.0)) {
            continue;
        }
        Members members = {-1, -1, -1};
        int count = 0;
        for (const int bet : problem.setBets[s]) {
            if (valid(bet) && kept[static_cast<std::size_t>(bet)] >= 0) {
                members[static_cast<std::size_t>(count++)] = kept[static_cast<std::size_t>(bet)];
            }
        }
        if (count == 0) {
            m_rest += q;
        } else {
            m_q.push_back(q);
            m_members.push_back(members);
        }
    }
    // Chances that sum to 1 but for rounding leave no outcome without a bet: the whole
    // bankroll may then be staked.
    m_rest += 1.0 - total > 1e-12 ? 1.0 - total : 0.0;

    const std::size_t n = m_odds.size();
    m_f.assign(n, 0.0);
    m_trial.assign(n, 0.0);
    m_grad.assign(n, 0.0);
    m_curv.assign(n, 0.0);
    m_diagonal.assign(n, 0.0);
    m_direction.assign(n, 0.0);
    m_rhs.assign(n, 0.0);
    m_free.reserve(n);
    m_slot.assign(n, -1);
    m_w2.assign(m_q.size(), 0.0);
}

double SetSolver::growth(const std::vector<double>& f) const
{
    const double cash = 1.0 - std::accumulate(f.begin(), f.end(), 0.0);
    if (!(cash > 0.0)) {
        return kMinusInfinity;
    }
    // Outcomes that pay no bet held leave the cash: one logarithm for all of them.
    double atCash = m_rest;
    double sum = 0.0;
    for (std::size_t s = 0; s < m_q.size(); ++s) {
        double pay = 0.0;
        for (const int b : m_members[s]) {
            if (b >= 0) {
                pay += f[static_cast<std::size_t>(b)] * m_odds[static_cast<std::size_t>(b)];
            }
        }
        if (pay == 0.0) {
            atCash += m_q[s];
        } else {
            sum += m_q[s] * std::log(cash + pay);
        }
    }
    return sum + weightedLog(atCash, cash);
}

void SetSolver::gradient()
{
    // ∂G/∂f_i = o_i Σ_{s∋i} q_s/W_s − D, D = Σ_s q_s/W_s + rest/cash.
    const double cash = m_cash;
    std::fill(m_grad.begin(), m_grad.end(), 0.0);
    std::fill(m_curv.begin(), m_curv.end(), 0.0);
    double d = m_rest > 0.0 ? m_rest / cash : 0.0;
    m_total2 = m_rest > 0.0 ? m_rest / (cash * cash) : 0.0;
    for (std::size_t s = 0; s < m_q.size(); ++s) {
        double pay = 0.0;
        for (const int b : m_members[s]) {
            if (b >= 0) {
                pay += m_f[static_cast<std::size_t>(b)] * m_odds[static_cast<std::size_t>(b)];
            }
        }
        const double inverse = 1.0 / (cash + pay); // one division, not two
        const double r = m_q[s] * inverse;
        const double w2 = r * inverse;
        m_w2[s] = w2;
        d += r;
        m_total2 += w2;
        for (const int b : m_members[s]) {
            if (b >= 0) {
                m_grad[static_cast<std::size_t>(b)] += r;
                m_curv[static_cast<std::size_t>(b)] += w2;
            }
        }
    }
    m_toCash = d;
    for (std::size_t i = 0; i < m_odds.size(); ++i) {
        const double o = m_odds[i];
        m_grad[i] = o * m_grad[i] - d;
        // Σ_s q_s/W_s² (o_i[i∈s] − 1)² + rest/cash², written without cancellation.
        m_diagonal[i] = m_curv[i] * (o - 1.0) * (o - 1.0) + (m_total2 - m_curv[i]);
    }
}

bool SetSolver::newtonDirection()
{
    // −H_ab = Σ_s q_s/W_s² (o_a[a∈s] − 1)(o_b[b∈s] − 1) + rest/cash²
    //       = T − o_a c_a − o_b c_b + o_a o_b Σ_{s∋a,b} q_s/W_s², only the last sum by outcome.
    const int k = static_cast<int>(m_free.size());
    // Sized by the free set, not by all bets: usually a few dozen, not 153.
    const std::size_t size = static_cast<std::size_t>(k) * static_cast<std::size_t>(k);
    if (m_hessian.size() < size) {
        m_hessian.resize(size);
        m_factor.resize(size);
    }
    const auto at = [this, k](int a, int b) -> double& {
        return m_hessian[static_cast<std::size_t>(a) * static_cast<std::size_t>(k)
                         + static_cast<std::size_t>(b)];
    };
    for (int a = 0; a < k; ++a) {
        const auto i = static_cast<std::size_t>(m_free[static_cast<std::size_t>(a)]);
        for (int b = 0; b < k; ++b) {
            const auto j = static_cast<std::size_t>(m_free[static_cast<std::size_t>(b)]);
            at(a, b) = m_total2 - m_odds[i] * m_curv[i] - m_odds[j] * m_curv[j];
        }
    }
    for (std::size_t s = 0; s < m_q.size(); ++s) {
        const Members& members = m_members[s];
        for (const int u : members) {
            if (u < 0 || m_slot[static_cast<std::size_t>(u)] < 0) {
                continue;
            }
            const double ou = m_w2[s] * m_odds[static_cast<std::size_t>(u)];
            for (const int v : members) {
                if (v >= 0 && m_slot[static_cast<std::size_t>(v)] >= 0) {
                    at(m_slot[static_cast<std::size_t>(u)], m_slot[static_cast<std::size_t>(v)])
                        += ou * m_odds[static_cast<std::size_t>(v)];
                }
            }
        }
    }
    // Bets paying in exactly the same outcomes make −H singular; a growing ridge then picks
    // one of the equally good splits.
    double largest = 0.0;
    for (int a = 0; a < k; ++a) {
        largest = std::max(largest, at(a, a));
    }
    double ridge = 0.0;
    for (int attempt = 0; attempt < 8;
         ++attempt, ridge = ridge == 0.0 ? 1e-13 * largest : ridge * 100) {
        std::copy_n(m_hessian.begin(), size, m_factor.begin());
        for (int a = 0; a < k; ++a) {
            m_factor[static_cast<std::size_t>(a) * static_cast<std::size_t>(k + 1)] += ridge;
            m_rhs[static_cast<std::size_t>(a)]
                = m_grad[static_cast<std::size_t>(m_free[static_cast<std::size_t>(a)])];
        }
        if (choleskySolve(m_factor.data(), k, m_rhs.data())) {
            for (int a = 0; a < k; ++a) {
                m_direction[static_cast<std::size_t>(m_free[static_cast<std::size_t>(a)])]
                    = m_rhs[static_cast<std::size_t>(a)];
            }
            return true;
        }
    }
    return false;
}

void SetSolver::polish()
{
    const std::size_t n = m_odds.size();
    // A bet worth entering that Newton left at zero could never grow multiplicatively.
    gradient();
    for (std::size_t i = 0; i < n; ++i) {
        if (m_f[i] == 0.0 && m_grad[i] > 0.0) {
            m_f[i] = 1e-9;
        }
    }
    m_cash = 1.0 - std::accumulate(m_f.begin(), m_f.end(), 0.0);
    for (int iteration = 0; iteration < kMaxPolish; ++iteration) {
        // x_j ← x_j E[r_j / W] over the cash and the bets: the growth never falls.
        gradient();
        double largest = m_toCash;
        double total = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double ratio = m_grad[i] + m_toCash;
            largest = std::max(largest, ratio);
            m_f[i] *= ratio;
            total += m_f[i];
        }
        m_cash *= m_toCash;
        // Σ x = 1 holds but for rounding, which must not build up where the cash is tiny.
        total += m_cash;
        for (double& f : m_f) {
            f /= total;
        }
        m_cash /= total;
        if (largest - 1.0 <= kPolishGap) {
            break;
        }
    }
}

double SetSolver::gap()
{
    // E[r_cash / W] = D and E[r_i / W] = o_i Σ_{s∋i} q_s/W_s = ∇_i G + D.
    gradient();
    double largest = m_toCash;
    for (const double g : m_grad) {
        largest = std::max(largest, g + m_toCash);
    }
    return std::max(0.0, largest - 1.0);
}

std::vector<double> SetSolver::solve()
{
    const std::size_t n = m_odds.size();
    double current = 0.0; // G(0) = ln 1
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        gradient();
        bool optimal = true;
        double projected = 0.0; // ‖f − P[f + ∇G]‖∞
        for (std::size_t i = 0; i < n; ++i) {
            const double g = m_grad[i];
            optimal = optimal && (m_f[i] > 0.0 ? std::abs(g) <= kTolerance : g <= kTolerance);
            projected = std::max(projected, m_f[i] + g >= 0.0 ? std::abs(g) : m_f[i]);
        }
        if (optimal) {
            break;
        }
        // Bets at or near zero whose gradient pushes them down are held there (moved only along
        // their own scaled gradient); Newton steps move the others, new entrants included.
        const double atZero = std::min(kAtZero, projected);
        m_free.clear();
        for (std::size_t i = 0; i < n; ++i) {
            if (m_f[i] <= atZero && m_grad[i] <= 0.0) {
                m_slot[i] = -1;
                m_direction[i] = m_grad[i] / std::max(m_diagonal[i], 1e-300);
            } else {
                m_slot[i] = static_cast<int>(m_free.size());
                m_free.push_back(static_cast<int>(i));
            }
        }
        if (!newtonDirection()) {
            break;
        }
        double freeGain = 0.0;
        for (const int i : m_free) {
            freeGain
                += m_grad[static_cast<std::size_t>(i)] * m_direction[static_cast<std::size_t>(i)];
        }
        bool accepted = false;
        double alpha = 1.0;
        for (int halving = 0; halving < kMaxHalvings && !accepted; ++halving, alpha *= 0.5) {
            double gain = alpha * freeGain;
            for (std::size_t i = 0; i < n; ++i) {
                m_trial[i] = std::max(0.0, m_f[i] + alpha * m_direction[i]);
                if (m_slot[i] < 0) {
                    gain += m_grad[i] * (m_trial[i] - m_f[i]);
                }
            }
            const double next = growth(m_trial);
            if (next > kMinusInfinity
                && (gain < kRoundingGain || next - current >= kArmijo * gain)) {
                accepted = true;
                current = next;
                m_f.swap(m_trial);
                m_cash = 1.0 - std::accumulate(m_f.begin(), m_f.end(), 0.0);
            }
        }
        if (!accepted) {
            break;
        }
    }
    return fractions();
}

std::vector<double> SetSolver::fractions() const
{
    std::vector<double> fractions(m_problemBets, 0.0);
    for (std::size_t i = 0; i < m_odds.size(); ++i) {
        fractions[static_cast<std::size_t>(m_betOf[i])] = m_f[i];
    }
    return fractions;
}

} // namespace

std::vector<double> kellyOverSets(const KellySetProblem& problem)
{
    return SetSolver(problem).solve();
}

KellySetSolution solveKellyOverSets(const KellySetProblem& problem)
{
    // The growth's slope at no stake is each bet's expected return less 1: where none is worth
    // more than its stake, keeping the cash is the optimum (by concavity), and exactly so.
    std::vector<double> paid(problem.odds.size(), 0.0);
    for (std::size_t s = 0; s < problem.setBets.size(); ++s) {
        for (const int bet : problem.setBets[s]) {
            if (bet >= 0) {
                paid[static_cast<std::size_t>(bet)] += problem.setProbabilities[s];
            }
        }
    }
    bool worth = false;
    for (std::size_t i = 0; i < paid.size() && !worth; ++i) {
        worth = paid[i] * problem.odds[i] > 1.0;
    }
    if (!worth) {
        return {std::vector<double>(problem.odds.size(), 0.0), 0.0, true};
    }
    SetSolver solver(problem);
    KellySetSolution solution;
    solution.fractions = solver.solve();
    solution.gap = solver.gap();
    if (solution.gap > kKellyGapTolerance / 100) {
        solver.polish();
        solution.fractions = solver.fractions();
        solution.gap = solver.gap();
    }
    solution.optimal = solution.gap <= kKellyGapTolerance;
    return solution;
}
