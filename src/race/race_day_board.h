// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include "race/race_stakes.h"

class FolderIndex;
class OddsArchive;
struct RaceFolderListing;
class RaceDisplay;
class SettingsStore;

/// Two horse numbers, the lower first.
using HorsePair = std::pair<int, int>;

/// A pair of the board with its value: the best pair of a list by deviation.
struct BoardPair
{
    HorsePair pair;
    double deviation = 0.0;
};

/// The largest odds move of a race so far: the quinella pair whose odds moved most (in ratio)
/// from the race's first archived snapshot to its latest.
struct BoardMove
{
    HorsePair pair;
    double from = 0.0;
    double to = 0.0;
};

/// One race of the day as the board shows it, from the main window's own analysis of it.
struct BoardRow
{
    QString path; ///< the Zo- file
    QString file; ///< its name
    QString venue;
    int raceNo = 0;
    QDateTime post; ///< an instant; invalid without a race card
    int runners = 0;
    std::optional<BoardPair> bestQuinella;
    std::optional<BoardPair> bestWide;
    std::array<int, 5> marked{};  ///< marked pairs of both lists by level
    QStringList recommendedLines; ///< the recommended bets as the window lists them
    std::vector<HorsePair> recommended;
    bool skip = false; ///< the race is one to sit out (見送り)
    /// After the off: the recommended pairs that were paid.
    std::optional<std::vector<HorsePair>> hits;
    std::optional<BoardMove> largestMove;
    std::optional<std::array<int, 3>> result; ///< the first three horse numbers
    QDateTime read;                           ///< the files' time when last read
    /// Every bet's chance, expected value and stake under the stakes' model, and why a bet
    /// type has none.
    RaceStakes stakes;
};

/// A folder's latest day: the races run on the latest date in Japan, by their post times (by
/// their files' dates where there is no race card).
struct LatestDay
{
    QDate date;
    QStringList paths; ///< their Zo- files, in the listing's order
};
/// Each race's day as latestDayOf() found it, by Zo- path, with the file time it was found at:
/// a race whose file has not changed is not read again.
using RaceDays = std::map<QString, std::pair<QDateTime, QDate>>;
LatestDay latestDayOf(const FolderIndex& index, RaceDays* known = nullptr);

/// When betting closes: two minutes before the post time.
inline constexpr int kCloseMinutesBeforePost = 2;

/// The close as the board shows it at `now`: minutes to go, "締切" once closed, empty without a
/// post time; `urgent` under one minute.
QString closeText(const QDateTime& post, const QDateTime& now, bool* urgent = nullptr);

/// Whether betting on a race has closed at `now`.
bool hasClosed(const QDateTime& post, const QDateTime& now);

/// The board's columns as texts, for the window and the command line alike.
enum class BoardColumn {
    Venue,
    Race,
    Post,
    Close,
    Runners,
    BestQuinella,
    BestWide,
    Marked,
    Recommended,
    Move,
    Result,
    ValueQuinella,
    ValueWide,
    Stake,
    Count
};
QStringList boardHeadings();
QStringList boardTexts(const BoardRow& row, const QDateTime& now);

/// The races of a PAT folder's latest day, each analysed as the main window analyses it, in
/// post-time order. A refresh reads again only the
/// races whose files changed.
class RaceDayBoard final
{
public:
    RaceDayBoard(SettingsStore& settings, const OddsArchive* archive);
    ~RaceDayBoard();

    /// The fit the stakes are made under in place of the one the settings keep (the command
    /// line fits the folder when none is kept), and why there is none.
    void setFit(std::optional<ModelFit> fit, const QString& why);

    /// Lists `folder` and brings the rows up to date; false when it is no folder. Every race is
    /// read again when the stakes' settings or fit changed.
    bool refresh(const QString& folder);
    QDate date() const { return m_date; }
    const std::vector<BoardRow>& rows() const { return m_rows; }
    /// The row of the next race to close at `now`; -1 when none is left.
    int nextToClose(const QDateTime& now) const;

    /// The board as JSON: date and races (see the command's help).
    QByteArray json() const;

private:
    void readRow(BoardRow& row, const RaceFolderListing& listing);

    SettingsStore& m_settings;
    const OddsArchive* m_archive;
    std::unique_ptr<RaceDisplay> m_display;
    RaceDays m_raceDays;
    QDate m_date;
    std::vector<BoardRow> m_rows;
    std::optional<std::optional<ModelFit>> m_fitOverride;
    QString m_noFit;
    // What the rows' stakes were made with.
    StakeSettings m_stakeSettings;
    std::optional<ModelFit> m_fit;
};
