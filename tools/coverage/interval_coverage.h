// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <functional>
#include <map>
#include <tuple>
#include <utility>

#include <QString>
#include <QStringList>

/// The intervals the program shows, judged by how often they cover the truth over many seasons
/// drawn with their true chances beside them.
enum class IntervalKind {
    ReturnRate,    ///< 回収率: the group's expected return under the truth
    Excess,        ///< 超過: the group's expected return less its odds-matched baseline's
    Lookahead,     ///< 先読み差: the expected return judged on the files less at the m10 odds
    BlendGain,     ///< calibrate: the blend's expected log-loss gain over the pool, in sample
    BlendTestGain, ///< the same on a season it was not fitted on
    Count
};
QString intervalKindName(IntervalKind kind);

/// Groups by their hits: under 10, 10–29, 30–99, 100 and more. The blend's gains are by race
/// and go to the last.
inline constexpr int kHitBuckets = 4;
int hitBucketOf(qint64 hits);
QString hitBucketName(int bucket);

struct CoverageOptions
{
    QString market = QStringLiteral("realistic"); ///< or "efficient" (no truth: no edge)
    int days = 48;
    int seasons = 40;
    quint64 firstSeed = 1; ///< seasons take seeds firstSeed, firstSeed + 1, …
    bool lookahead = false;
    bool blend = false;
    QString workFolder; ///< where seasons are written, one at a time; empty: a temporary one
};

/// How many intervals were shown and how many covered the truth; `withheld` counts the groups
/// that had an estimate but no interval (too few hits).
struct CoverageCount
{
    qint64 shown = 0;
    qint64 covered = 0;
    qint64 withheld = 0;
};

struct CoverageResult
{
    CoverageOptions options;
    /// By kind, bet-type index (0 quinella, 1 wide) and hits bucket.
    std::map<std::tuple<IntervalKind, int, int>, CoverageCount> counts;
    /// On any market: excess intervals shown and those leaving out 0, SPA tests and those below
    /// 0.05.
    qint64 excessShown = 0;
    qint64 excessWithoutZero = 0;
    int spaTests = 0;
    int spaBelow5 = 0;
    QString error;
};

/// Writes the seasons one after another and judges the backtest's (and with `blend`, the
/// calibration's) intervals on each; `progress` is told each season done.
CoverageResult measureCoverage(const CoverageOptions& options,
                               const std::function<void(int done, int total)>& progress = {});

/// Wilson's 95% interval of a frequency k / n.
std::pair<double, double> binomialInterval(qint64 k, qint64 n);

/// Markdown tables of one or more results: per kind, bet type, season length and hits bucket.
QString coverageTable(const std::vector<CoverageResult>& results);
