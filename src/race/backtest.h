// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "analysis/backtest_evidence.h"
#include "analysis/stake_summary.h"
#include "race/walk_forward.h"
#include "settings/stake_settings.h"

/// How much each bet stakes: 100 yen on every bet (the group 全), or Kelly stakes of the
/// bankroll under the chosen theory model.
enum class StakeRule { Flat, Kelly };

/// What a backtest replays and where it writes.
struct BacktestRequest
{
    QStringList folders;     ///< PAT folders; their Zo- files directly inside are the races
    QString settingsFile;    ///< an INI file; empty: the platform's settings store
    QString csvPath;         ///< the summary as CSV; empty: none
    QString pairsPath;       ///< every pair of every counted race as CSV; empty: none
    QStringList testFolders; ///< folders judged apart, out of sample; empty: none
    ResampleUnit resample = ResampleUnit::Day;
    StakeRule stake = StakeRule::Flat;
    double kellyFraction = 0.5; ///< of the full Kelly stakes
    qint64 bankroll = 100000;   ///< yen at the first race, for each bet type
    QString stakesPath;         ///< every stake as CSV; empty: none
    /// Judge each race on its last archived snapshot taken at least this many minutes before
    /// its post time (and also on its files, for the difference); empty: on its files only.
    std::optional<int> atMinutes;
    QString archivePath; ///< the archive of those snapshots
    /// Kelly stakes under models fitted only on the course-days before each race (the
    /// walk-forward rule), refitted every refitDays course-days.
    bool walkForward = false;
    int refitDays = 7;
    StakeModel walkForwardModel = StakeModel::Blend;
};

/// What the walk-forward rule did: its plan's fits and, per bet type, its line.
struct WalkForwardReport
{
    int refitDays = 7;
    StakeModel model = StakeModel::Blend;
    int fits = 0;
    std::array<WalkForwardLine, 2> lines;
};

/// Why a race does not count for a bet type; the first that applies, in this order.
enum class SkipCause {
    ZoUnreadable,
    NoUo,
    UoUnreadable,
    NoKs,
    KsUnreadable,
    NoQuinellaPayout,
    NoWidePayout,
    NoSnapshot, ///< with atMinutes: no snapshot that early
};
inline constexpr int kSkipCauses = 8;

/// The cause as the report names it.
QString skipCauseText(SkipCause cause);

/// The outcome of one bet type.
struct BacktestBetResult
{
    std::vector<RaceTally> races; ///< the counted races, in Zo- name order
    QStringList raceFiles;        ///< their Zo- file names
    std::vector<GroupSummary> lines;
    std::vector<GroupSummary> testLines; ///< the same groups on the test folders, if given
    /// With atMinutes, per group: 回収率 on the files minus 回収率 at the snapshot over the same
    /// races, with its course-day (or race) bootstrap interval.
    using Lookahead = LookaheadLine;
    std::vector<Lookahead> lookahead;
    std::vector<RaceBets> bets; ///< the counted races' bets
    OddsBins bins;              ///< the baseline's odds bins
    StakeSummary staking;       ///< the bankroll under the request's staking
};

struct BacktestReport
{
    bool ok = false;
    bool cancelled = false;
    QString error; ///< why the run failed, for the user
    qint64 racesSeen = 0;
    std::array<BacktestBetResult, 2> bets; ///< quinella, wide
    ResampleUnit resample = ResampleUnit::Day;
    StakeRule stake = StakeRule::Flat;
    double kellyFraction = 0.5;
    qint64 bankroll = 100000;
    quint32 units = 0; ///< resampling units of the first folders
    SpaResult spa;
    bool tested = false; ///< test folders were given
    std::optional<int> atMinutes;
    qint64 testRacesSeen = 0;
    quint32 testUnits = 0;
    /// The group with the highest lower bound of its excess on the first folders (bet-type
    /// index, group); empty when no group has one.
    std::optional<std::pair<int, int>> chosen;
    std::array<qint64, kSkipCauses> skipped{};
    /// Races whose wide Kelly stakes the solver could not bring within kKellyGapTolerance of
    /// the optimum, and the first ten of them.
    qint64 kellyShort = 0;
    QStringList firstKellyShort;
    std::array<QStringList, kSkipCauses> firstSkipped; ///< up to ten file names each
    std::optional<WalkForwardReport> walkForward;
};

/// Replays the window's analysis on every race of the folders, on all cores, and sums what
/// betting each group would have returned. `progress` (may be empty) is called now and then
/// on the calling thread with the races done and their number; `cancel` (may be null) stops
/// the run. The outputs are written only when at least one race counted; otherwise (and on
/// any failure) no file is written or changed.
BacktestReport runBacktest(const BacktestRequest& request,
                           const std::function<void(qint64 done, qint64 total)>& progress = {},
                           const std::atomic<bool>* cancel = nullptr);

/// The summary's lines as texts, the headings first: per bet type (quinella, then wide) one line
/// per group with the bet type, the group and ten numbers (an empty text where a rate has none).
/// For reading (`explained`), an excess without an interval says why in its lower bound's place.
QList<QStringList> backtestSummaryRows(const BacktestReport& report, bool explained = false);

/// The summary as CSV bytes (code page 932, CR LF, texts quoted, numbers plain).
QByteArray backtestSummaryCsv(const BacktestReport& report);

/// The summary as a table aligned for reading.
QString backtestSummaryText(const BacktestReport& report);

/// The data-snooping line under the table: the SPA p-value for the best group's excess.
QString backtestSpaText(const BacktestReport& report);

/// The staking's figures per bet type as texts, the headings first (券種, レース数, 投資, 回収,
/// 最終資金, 対数成長率, 最大ドローダウン, 最大ドローダウン％, 最長連敗, シャープ, ソルティノ).
QList<QStringList> backtestStakeRows(const BacktestReport& report);

/// The staking's figures as a table for reading, under a line naming the staking.
QString backtestStakeText(const BacktestReport& report);

/// The walk-forward rule's lines per bet type, with its bankroll at each tenth of the season;
/// empty without it.
QString backtestWalkForwardText(const BacktestReport& report);

/// With test folders: the group chosen on the first folders and its result on the test ones.
QString backtestChoiceText(const BacktestReport& report);

/// The skipped races by cause, with the first file names of each.
QString backtestSkippedText(const BacktestReport& report);
