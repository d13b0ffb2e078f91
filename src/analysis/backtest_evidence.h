// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QString>
#include <QtGlobal>

#include "analysis/backtest_stats.h"

/// One bet of a counted race: the actual odds shown, what 100 yen on it paid, the groups it
/// counts in (bit g for BacktestGroup g) and its pair of horses.
struct BetRecord
{
    float odds = 0;
    qint32 payout = 0;
    quint16 groups = 0;
    quint8 first = 0;
    quint8 second = 0;
};
using RaceBets = std::vector<BetRecord>;

inline constexpr int kOddsBins = 20;

/// The odds bins of a bet type's baseline: 20 bins at the quantiles of the bets' log odds, each
/// with the mean return of its bets (yen for 100 yen, which is also a percentage).
class OddsBins
{
public:
    /// Bins for the bets of `races`; no bins (every bet in one) when there is no bet.
    static OddsBins of(const std::vector<RaceBets>& races);

    int binOf(double odds) const;
    /// The mean return of the bets in the bin of `odds`: the bet's baseline return.
    double baselineOf(double odds) const { return m_mean[static_cast<std::size_t>(binOf(odds))]; }
    double meanOf(int bin) const { return m_mean[static_cast<std::size_t>(bin)]; }

private:
    /// Odds at the quantiles of the log odds: bin b holds edges[b−1] < odds ≤ edges[b].
    std::array<double, kOddsBins - 1> m_edges{};
    std::array<double, kOddsBins> m_mean{};
};

/// How the bootstrap draws: whole course-days (the races of one venue, meeting and day) or
/// single races.
enum class ResampleUnit { Day, Race };

/// The counted races of one bet type, in Zo- name order.
struct BetTypeSeason
{
    std::vector<RaceTally> tallies;
    std::vector<RaceBets> bets;  ///< per race; may be empty (no baselines then)
    std::vector<quint32> unitOf; ///< each race's resampling unit, below `units`
};

/// A group's excess needs this many hits before its interval is shown: with fewer, a bootstrap
/// of rare long-odds hits gives intervals far narrower than the truth.
inline constexpr qint64 kMinHitsForEvidence = 30;

/// Hansen's test of superior predictive ability (consistent version) over the groups whose
/// excess has an interval: is the best group's excess above 0 beyond what chance gives the best
/// of that many?
struct SpaResult
{
    int groups = 0;  ///< groups tested; 0: no test
    int bestBet = 0; ///< the best group's bet-type index and group
    int bestGroup = 0;
    double pValue = 1;
};

struct SeasonSummary
{
    std::array<std::vector<GroupSummary>, 2> lines; ///< quinella, wide
    std::array<OddsBins, 2> bins;
    SpaResult spa;
    quint32 units = 0; ///< resampling units
};

/// Totals, rates and drawdown per group, each group's odds-matched
/// baseline, excess and bets needed, and the bounds of the return rate and of the excess from
/// `resamples` bootstrap resamples of the units (nearest rank; one fixed seed; the same resamples
/// for every group of both bet types, so the SPA test sees them jointly; the baseline is made
/// again in each resample). `units` counts the units both bet types' unitOf refer to.
SeasonSummary summariseSeason(const std::array<BetTypeSeason, 2>& season,
                              quint32 units,
                              int resamples = kBootstrapResamples);

/// Bets needed for a ±10-point 95% interval of the return rate, at the spread of `payouts`
/// (yen for 100 yen); empty with fewer than two bets.
std::optional<qint64> betsNeeded(qint64 bets, double sumPayouts, double sumSquaredPayouts);

/// Summarises the counted races of one bet type, given in the order the profit series runs:
/// totals, rates, the bootstrap bounds of the return rate over single races, and the largest
/// drawdown; no baselines. One line per group of `bet`.
std::vector<GroupSummary> summariseBacktest(const std::vector<RaceTally>& races,
                                            BetType bet,
                                            int resamples = kBootstrapResamples);

/// Per group: 回収率 of the same races judged on their files minus 回収率 judged on earlier odds
/// (tenths of a percent), with the bounds of a bootstrap of the units that draws each race's
/// two results together, widened to `variance` (percent², per group) where given: what the
/// market's chances say the difference could have been.
struct LookaheadLine
{
    std::optional<qint64> difference;
    std::optional<qint64> lower;
    std::optional<qint64> upper;
};
std::vector<LookaheadLine> lookaheadOf(const std::vector<RaceTally>& early,
                                       const std::vector<RaceTally>& onFiles,
                                       const std::vector<quint32>& unitOf,
                                       quint32 units,
                                       int groups,
                                       const std::array<double, kBacktestGroups>* variance
                                       = nullptr,
                                       int resamples = kBootstrapResamples);
