// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "analysis/backtest_evidence.h"
#include "analysis/race_kelly.h"
#include "base/message_sink.h"
#include "race/backtest.h"
#include "settings/model_settings.h"

class FolderIndex;
class OddsArchive;
class RaceDisplay;
class SettingsStore;

/// A race as its folder's listing found it.
struct RaceJob
{
    const FolderIndex* folder = nullptr;
    QString name;
    QString path;
    /// Kelly's model for this race in place of the worker's (the walk-forward rule), and the
    /// bet types it may stake.
    const ModelSettings* model = nullptr;
    std::array<bool, 2> open{true, true};
};

/// The pairs table's lines of one race, kept until the season's baselines are known: each
/// line's end and the bet's odds (0 where the pair is no bet).
struct PairLines
{
    QByteArray bytes;
    std::vector<qint32> ends;
    std::vector<float> odds;
    std::vector<quint8> bet; // betIndex of each line
};

/// What replaying one race gave: per bet type its skip cause or its tallies and bets, Kelly's
/// fractions when asked, and its pairs' lines.
struct RaceOutcome
{
    std::optional<SkipCause> skip[2];
    RaceTally tally[2]{};
    std::array<RaceBets, 2> bets;
    RaceKelly kelly;          // Kelly's fractions and the odds staked at, per bet
    RaceTally fileTally[2]{}; // with a snapshot: the race on its files
    std::array<RaceBets, 2> fileBets;
    QString day; // the course-day: venue, meeting and day
    PairLines pairs;
};

/// One worker's tools, made once per thread: a display and its settings store.
struct Worker
{
    Worker();
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    std::unique_ptr<SettingsStore> settings;
    NullMessageSink sink;
    std::unique_ptr<RaceDisplay> display;
    std::optional<ModelSettings> kelly;   // the theory model, when stakes are Kelly's
    std::unique_ptr<OddsArchive> archive; // a connection of this thread's, with atMinutes
    std::optional<int> atMinutes;
};

/// Replays one race as the window analyses it: on its files, or with the worker's atMinutes on
/// its last archived snapshot that early (and on its files too, for the difference).
RaceOutcome replay(Worker& worker, const RaceJob& job, bool withPairs);
