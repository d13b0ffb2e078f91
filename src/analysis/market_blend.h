// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <span>
#include <vector>

#include <QString>
#include <QtGlobal>

#include "analysis/ordering_model.h"
#include "base/bet_type.h"

/// The market blend: a conditional logit over the pairs of a race,
/// P(pair) ∝ exp(Σ_s β_s · ln p_s(pair)), normalised to sum 1 (quinella) or 3 (wide) over the
/// pairs that take part. Its sources, in this order:
///   0  the discounted model from the win odds (quinella: first two; wide: both in the first
///   three); 1  the pool of the bet type itself: 1 / its actual odds; 2  (wide only) the place
///   pool: q_a · q_b, with q_h = 1 / h's mean place odds normalised to
///      sum 3, as if the two horses' places were independent.
/// A source's scale drops out of the normalisation, so each is used unnormalised.
inline constexpr int kMaxBlendSources = 3;
enum BlendSource { ModelSource = 0, PoolSource = 1, PlaceSource = 2 };

int blendSourceCount(BetType bet);
/// "model", "pool", "place": the names the command line and the JSON use.
QString blendSourceName(int source);
/// 1 for quinella, 3 for wide: what a race's pair chances sum to.
double pairChanceTotal(BetType bet);

using BlendWeights = std::array<double, kMaxBlendSources>;

/// The pairs of one race that take part in the blend of one bet type, with the logs of their
/// sources. A pair takes part when both horses run, it has actual odds, and every source gives
/// it a positive chance.
struct BlendRace
{
    BetType bet = BetType::Quinella;
    int pairs = 0;                              ///< pairs taking part
    std::array<quint8, kMaxPairs> index{};      ///< each one's pair number in pair order
    std::array<BlendWeights, kMaxPairs> logs{}; ///< ln p_s of each source (unused ones 0)
};

/// Place chances from the place odds: 1 / odds of each horse with a positive value, normalised
/// to sum 3; 0 for the others. `odds[h]` for horses 1 to n.
std::array<double, kMaxRunners + 1> placeChances(std::span<const double> odds);

/// Builds the race's blend pairs. `pairOdds` holds the bet type's actual odds in pair order,
/// 0 or less for none (a scratched pair included); `place` the place chances (wide only).
void blendSources(BetType bet,
                  const OrderingModel& model,
                  std::span<const double> place,
                  std::span<const double> pairOdds,
                  BlendRace& out);

/// The chance of each pair taking part, in the race's order, under `weights`.
void blendChances(const BlendRace& race, const BlendWeights& weights, std::span<double> chances);

/// The blend fitted by maximum likelihood on realised pairs.
struct BlendSample
{
    BlendRace race;
    std::array<qint16, 3> realised{-1, -1, -1}; ///< positions in race (quinella: the first only)
    quint32 unit = 0;                           ///< the course-day
};

/// A source the fit left out, as it moved with one kept.
struct BlendDrop
{
    int dropped = 0;
    int kept = 0;
    double correlation = 0.0; ///< within races
};

struct BlendFit
{
    BlendWeights weights{};
    BlendWeights se{}; ///< standard errors; 0 for a dropped source
    std::array<bool, kMaxBlendSources> kept{};
    double logLik = 0.0; ///< at the fit, ln of the realised pairs' chances
    /// Takeuchi's tr(H⁻¹J): how much more log-likelihood the fit finds on its own races than it
    /// should expect on races like them (about the number of weights for quinella; more for the
    /// composite likelihood of wide, whose three pairs of a race move together).
    double optimism = 0.0;
    std::vector<BlendDrop> drops;
    bool converged = false;        ///< false: Newton's method failed and the pool is used alone
    bool lineSearchFailed = false; ///< it failed because no step kept the likelihood
};

/// Newton's method on the concave log-likelihood, from the pool alone. A source whose
/// within-race correlation with one already kept (the pool first, then the model) is 0.995 or
/// more is dropped (listed in drops): the weights cannot then be told apart. Wide takes the three
/// pairs of each first three together (a composite likelihood); its standard errors are the
/// sandwich form over races, since the observed information alone would count the three pairs
/// of a race as independent.
BlendFit fitBlend(const std::vector<BlendSample>& samples, BetType bet);

/// The pool alone: weight 1 on the pool, 0 on the rest.
BlendWeights poolOnlyWeights();
