// SPDX-License-Identifier: MIT
#include "market_blend.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/vector_state.h"

using namespace Qt::StringLiterals;

namespace {

constexpr double kCollinear = 0.995;

using Matrix = std::array<BlendWeights, kMaxBlendSources>;

// Solves A x = b for the symmetric positive definite leading `n` × `n` block of A (Cholesky);
// false when A is not positive definite there.
bool solve(const Matrix& a, const BlendWeights& b, int n, BlendWeights& x)
{
    Matrix l{};
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j <= i; ++j) {
            double sum = a[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            for (int k = 0; k < j; ++k) {
                sum -= l[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)]
                       * l[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)];
            }
            if (i == j) {
                if (!(sum > 0.0)) {
                    return false;
                }
                l[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)] = std::sqrt(sum);
            } else {
                l[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]
                    = sum / l[static_cast<std::size_t>(j)][static_cast<std::size_t>(j)];
            }
        }
    }
    BlendWeights y{};
    for (int i = 0; i < n; ++i) {
        double sum = b[static_cast<std::size_t>(i)];
        for (int k = 0; k < i; ++k) {
            sum -= l[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)]
                   * y[static_cast<std::size_t>(k)];
        }
        y[static_cast<std::size_t>(i)]
            = sum / l[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)];
    }
    for (int i = n - 1; i >= 0; --i) {
        double sum = y[static_cast<std::size_t>(i)];
        for (int k = i + 1; k < n; ++k) {
            sum -= l[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)]
                   * x[static_cast<std::size_t>(k)];
        }
        x[static_cast<std::size_t>(i)]
            = sum / l[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)];
    }
    return true;
}

// The log-likelihood of the samples under weights on the kept sources (listed in `used`), with
// its gradient, the negative Hessian, and the outer products of the races' scores.
struct Evaluation
{
    double value = 0.0;
    BlendWeights gradient{};
    Matrix information{};
    Matrix scores{};
};

Evaluation evaluate(const std::vector<BlendSample>& samples,
                    const std::vector<int>& used,
                    const BlendWeights& beta,
                    double total)
{
    clearUpperVectorState();
    const int n = static_cast<int>(used.size());
    Evaluation e;
    std::array<double, kMaxPairs> eta{};
    for (const BlendSample& sample : samples) {
        const BlendRace& race = sample.race;
        double top = -std::numeric_limits<double>::infinity();
        for (int k = 0; k < race.pairs; ++k) {
            double v = 0.0;
            for (int i = 0; i < n; ++i) {
                v += beta[static_cast<std::size_t>(i)]
                     * race.logs[static_cast<std::size_t>(k)]
                                [static_cast<std::size_t>(used[static_cast<std::size_t>(i)])];
            }
            eta[static_cast<std::size_t>(k)] = v;
            top = std::max(top, v);
        }
        double sum = 0.0;
        BlendWeights mean{};
        Matrix square{};
        for (int k = 0; k < race.pairs; ++k) {
            const double w = std::exp(eta[static_cast<std::size_t>(k)] - top);
            sum += w;
            for (int i = 0; i < n; ++i) {
                const double xi
                    = race.logs[static_cast<std::size_t>(k)]
                               [static_cast<std::size_t>(used[static_cast<std::size_t>(i)])];
                mean[static_cast<std::size_t>(i)] += w * xi;
                for (int j = 0; j <= i; ++j) {
                    square[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]
                        += w * xi
                           * race.logs[static_cast<std::size_t>(k)]
                                      [static_cast<std::size_t>(used[static_cast<std::size_t>(j)])];
                }
            }
        }
        const double logSum = top + std::log(sum);
        for (double& m : mean) {
            m /= sum;
        }
        BlendWeights score{};
        double hits = 0.0;
        for (const qint16 r : sample.realised) {
            if (r < 0) {
                continue;
            }
            hits += 1.0;
            e.value += eta[static_cast<std::size_t>(r)] - logSum + std::log(total);
            for (int i = 0; i < n; ++i) {
                score[static_cast<std::size_t>(i)]
                    += race.logs[static_cast<std::size_t>(r)]
                                [static_cast<std::size_t>(used[static_cast<std::size_t>(i)])];
            }
        }
        for (int i = 0; i < n; ++i) {
            const auto si = static_cast<std::size_t>(i);
            score[si] -= hits * mean[si];
            e.gradient[si] += score[si];
            for (int j = 0; j <= i; ++j) {
                const auto sj = static_cast<std::size_t>(j);
                const double covariance = square[si][sj] / sum - mean[si] * mean[sj];
                e.information[si][sj] += hits * covariance;
                e.scores[si][sj] += score[si] * score[sj];
            }
        }
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < i; ++j) {
            e.information[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)]
                = e.information[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            e.scores[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)]
                = e.scores[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
        }
    }
    return e;
}

// The sources' correlations after each race's own mean is taken out: how far they tell the
// pairs of a race apart in the same way.
Matrix withinRaceCorrelations(const std::vector<BlendSample>& samples, int sources)
{
    Matrix cross{};
    for (const BlendSample& sample : samples) {
        const BlendRace& race = sample.race;
        if (race.pairs == 0) {
            continue;
        }
        BlendWeights mean{};
        for (int k = 0; k < race.pairs; ++k) {
            for (int s = 0; s < sources; ++s) {
                mean[static_cast<std::size_t>(s)]
                    += race.logs[static_cast<std::size_t>(k)][static_cast<std::size_t>(s)];
            }
        }
        for (double& m : mean) {
            m /= race.pairs;
        }
        for (int k = 0; k < race.pairs; ++k) {
            const BlendWeights& x = race.logs[static_cast<std::size_t>(k)];
            for (int s = 0; s < sources; ++s) {
                for (int t = 0; t < sources; ++t) {
                    cross[static_cast<std::size_t>(s)][static_cast<std::size_t>(t)]
                        += (x[static_cast<std::size_t>(s)] - mean[static_cast<std::size_t>(s)])
                           * (x[static_cast<std::size_t>(t)] - mean[static_cast<std::size_t>(t)]);
                }
            }
        }
    }
    Matrix r{};
    for (int s = 0; s < sources; ++s) {
        for (int t = 0; t < sources; ++t) {
            const double d
                = std::sqrt(cross[static_cast<std::size_t>(s)][static_cast<std::size_t>(s)]
                            * cross[static_cast<std::size_t>(t)][static_cast<std::size_t>(t)]);
            r[static_cast<std::size_t>(s)][static_cast<std::size_t>(t)]
                = d > 0.0 ? cross[static_cast<std::size_t>(s)][static_cast<std::size_t>(t)] / d
                          : 1.0;
        }
    }
    return r;
}

} // namespace

int blendSourceCount(BetType bet)
{
    return bet == BetType::Quinella ? 2 : 3;
}

QString blendSourceName(int source)
{
    static const QString names[] = {u"model"_s, u"pool"_s, u"place"_s};
    return names[source];
}

double pairChanceTotal(BetType bet)
{
    return bet == BetType::Quinella ? 1.0 : 3.0;
}

BlendWeights poolOnlyWeights()
{
    BlendWeights w{};
    w[PoolSource] = 1.0;
    return w;
}

std::array<double, kMaxRunners + 1> placeChances(std::span<const double> odds)
{
    // The win chances' normalisation, to three places.
    std::array<double, kMaxRunners + 1> q = winChances(odds);
    for (double& chance : q) {
        chance *= 3.0;
    }
    return q;
}

void blendSources(BetType bet,
                  const OrderingModel& model,
                  std::span<const double> place,
                  std::span<const double> pairOdds,
                  BlendRace& out)
{
    clearUpperVectorState();
    const int n = model.runners();
    const bool wide = bet == BetType::Wide;
    std::array<double, kMaxPairs> modelChance{};
    const auto pairs = std::span(modelChance.data(), static_cast<std::size_t>(n * (n - 1) / 2));
    std::array<double, kMaxRunners + 1> placeLog{};
    if (!wide) {
        model.firstTwoOfPairs(pairs);
    } else {
        model.firstThreeOfPairs(pairs);
        for (int h = 1; h <= n; ++h) {
            const double q = place[static_cast<std::size_t>(h)];
            placeLog[static_cast<std::size_t>(h)] = q > 0.0 ? std::log(q) : 0.0;
        }
    }
    out.bet = bet;
    out.pairs = 0;
    std::size_t k = 0;
    for (int a = 1; a < n; ++a) {
        for (int b = a + 1; b <= n; ++b, ++k) {
            const double odds = k < pairOdds.size() ? pairOdds[k] : 0.0;
            const double chance = modelChance[k];
            const double placed
                = wide ? place[static_cast<std::size_t>(a)] * place[static_cast<std::size_t>(b)]
                       : 1.0;
            if (!(odds > 0.0) || !std::isfinite(odds) || !(chance > 0.0) || !(placed > 0.0)) {
                continue;
            }
            const auto at = static_cast<std::size_t>(out.pairs++);
            out.index[at] = static_cast<quint8>(k);
            out.logs[at] = {std::log(chance),
                            -std::log(odds),
                            wide ? placeLog[static_cast<std::size_t>(a)]
                                       + placeLog[static_cast<std::size_t>(b)]
                                 : 0.0};
        }
    }
}

void blendChances(const BlendRace& race, const BlendWeights& weights, std::span<double> chances)
{
    clearUpperVectorState();
    double top = -std::numeric_limits<double>::infinity();
    for (int k = 0; k < race.pairs; ++k) {
        const BlendWeights& x = race.logs[static_cast<std::size_t>(k)];
        const double eta = weights[0] * x[0] + weights[1] * x[1] + weights[2] * x[2];
        chances[static_cast<std::size_t>(k)] = eta;
        top = std::max(top, eta);
    }
    double sum = 0.0;
    for (int k = 0; k < race.pairs; ++k) {
        double& c = chances[static_cast<std::size_t>(k)];
        c = std::exp(c - top);
        sum += c;
    }
    const double scale = pairChanceTotal(race.bet) / sum;
    for (int k = 0; k < race.pairs; ++k) {
        chances[static_cast<std::size_t>(k)] *= scale;
    }
}

BlendFit fitBlend(const std::vector<BlendSample>& samples, BetType bet)
{
    const int sources = blendSourceCount(bet);
    BlendFit fit;
    fit.weights = poolOnlyWeights();

    // The pool first, then the model, then the place pool: each kept unless it moves with one
    // kept before it.
    const Matrix r = withinRaceCorrelations(samples, sources);
    std::vector<int> used;
    for (const int s : {int(PoolSource), int(ModelSource), int(PlaceSource)}) {
        if (s >= sources) {
            continue;
        }
        bool distinct = true;
        for (const int kept : used) {
            const double c = r[static_cast<std::size_t>(s)][static_cast<std::size_t>(kept)];
            if (std::abs(c) >= kCollinear) {
                fit.drops.push_back({s, kept, c});
                distinct = false;
                break;
            }
        }
        if (distinct) {
            used.push_back(s);
        }
    }
    const int n = static_cast<int>(used.size());
    const double total = pairChanceTotal(bet);

    // Newton's method from the pool alone, the step halved while it lowers the likelihood.
    BlendWeights beta{};
    beta[0] = 1.0; // the pool is used[0]
    Evaluation at = evaluate(samples, used, beta, total);
    for (int iteration = 0; iteration < 100; ++iteration) {
        BlendWeights step{};
        if (!solve(at.information, at.gradient, n, step)) {
            break;
        }
        Evaluation next;
        double scale = 1.0;
        BlendWeights trial{};
        bool accepted = false;
        for (int halving = 0; halving < 50 && !accepted; ++halving, scale /= 2.0) {
            for (int i = 0; i < n; ++i) {
                trial[static_cast<std::size_t>(i)]
                    = beta[static_cast<std::size_t>(i)] + scale * step[static_cast<std::size_t>(i)];
            }
            next = evaluate(samples, used, trial, total);
            accepted = next.value >= at.value - 1e-12 * std::abs(at.value);
        }
        if (!accepted) {
            // No step along Newton's direction keeps the likelihood: no optimum was reached.
            fit.lineSearchFailed = true;
            break;
        }
        double size = 0.0;
        for (int i = 0; i < n; ++i) {
            size = std::max(
                size,
                std::abs(trial[static_cast<std::size_t>(i)] - beta[static_cast<std::size_t>(i)]));
        }
        beta = trial;
        at = next;
        if (size < 1e-10) {
            fit.converged = true;
            break;
        }
    }
    if (!fit.converged) {
        fit.logLik = evaluate(samples, {int(PoolSource)}, BlendWeights{1.0, 0.0, 0.0}, total).value;
        fit.kept[PoolSource] = true;
        return fit;
    }

    // Standard errors: the inverse information, or for the composite likelihood of wide the
    // sandwich H⁻¹ J H⁻¹ with J the races' scores.
    Matrix inverse{};
    for (int j = 0; j < n; ++j) {
        BlendWeights unit{};
        unit[static_cast<std::size_t>(j)] = 1.0;
        BlendWeights column{};
        solve(at.information, unit, n, column);
        for (int i = 0; i < n; ++i) {
            inverse[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]
                = column[static_cast<std::size_t>(i)];
        }
    }
    fit.weights = {};
    for (int i = 0; i < n; ++i) {
        const auto si = static_cast<std::size_t>(i);
        double variance = inverse[si][si];
        if (bet == BetType::Wide) {
            variance = 0.0;
            for (int j = 0; j < n; ++j) {
                for (int k = 0; k < n; ++k) {
                    variance
                        += inverse[si][static_cast<std::size_t>(j)]
                           * at.scores[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)]
                           * inverse[static_cast<std::size_t>(k)][si];
                }
            }
        }
        const auto source = static_cast<std::size_t>(used[si]);
        fit.weights[source] = beta[si];
        fit.se[source] = std::sqrt(std::max(0.0, variance));
        fit.kept[source] = true;
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            fit.optimism += inverse[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]
                            * at.scores[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)];
        }
    }
    fit.logLik = at.value;
    return fit;
}
