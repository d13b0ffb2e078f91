// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QObject>
#include <QStringList>

#include "analysis/horse_table.h"
#include "analysis/pair_list.h"
#include "pat/pat_names.h"
#include "race/odds_history.h"
#include "settings/judge_settings.h"

class MessageSink;
class SettingsStore;
struct QuinellaOddsRecord;
struct RaceCardRecord;
struct RaceResultRecord;
struct WinPlaceOddsRecord;
struct ArchivedOdds;

/// Everything the main window shows for the race on screen, as cells (numbers with their display
/// forms) and colours, with the operations that load, clear and rebuild it. The window only renders
/// this state; the command line exports it. A load rebuilds everything and emits `changed` once.
class RaceDisplay final : public QObject
{
    Q_OBJECT

public:
    RaceDisplay(SettingsStore& settings, MessageSink& sink, QObject* parent = nullptr);
    ~RaceDisplay() override;

    // The header labels.
    QString meeting() const { return m_meeting; }           ///< lblKaisai
    QString raceName() const { return m_raceName; }         ///< lblRaceName
    QString raceTime() const { return m_raceTime; }         ///< lblRaceTime
    QString horseNum() const { return m_table.horseNum(); } ///< lblHorseNum

    const HorseTable& horseTable() const { return m_table; }
    /// Full path of the Zo- file of the race shown; empty when none is.
    QString currentFile() const { return m_currentFile; }
    /// The quinella and wide odds of the race shown; valid when quinellaOddsRead().
    const QuinellaOddsRecord& quinellaOdds() const { return *m_quinellaOdds; }
    bool quinellaOddsRead() const { return m_quinellaOddsRead; }

    PairList& quinellaList() { return m_quinella; } ///< grdUmaRen
    PairList& wideList() { return m_wide; }         ///< grdWide
    const PairList& quinellaList() const { return m_quinella; }
    const PairList& wideList() const { return m_wide; }
    const PairList& pairList(BetType bet) const
    {
        return bet == BetType::Quinella ? m_quinella : m_wide;
    }
    QStringList recommendedBetLines() const { return m_recommendedBets; } ///< lstKaime
    QStringList raceResultLines() const { return m_raceResult; }          ///< lstRaceResult

    /// Loads the race whose Zo- file is `path`. When that file does not read the user is told
    /// "ファイルの読み込みに失敗しました。" and the race shown stays untouched. Other messages of
    /// the load reach the sink only once the new race is on screen.
    bool load(const QString& path);
    /// load() with what a listing of the race's folder made earlier found (a run over many races
    /// lists each folder once).
    bool load(const QString& path, const RaceFolderListing& listing);

    /// Loads the race of `path` with the odds of an archived snapshot in place of those its Zo-
    /// and Uo- files hold now (headers, race card and result still from the files); with history
    /// kept, the snapshot joins it at its fetch time. False as load().
    bool loadAt(const QString& path, const RaceFolderListing& listing, const ArchivedOdds& odds);

    /// Loads the race shown again (its files changed): the lists keep the sorts the user made and,
    /// when history is kept, the odds join the race's history. `relist` lists the race's folder
    /// again (its names changed); otherwise the files the last listing found are read. Messages
    /// as load().
    bool refresh(bool relist);

    /// Whether each load keeps the race's odds as a snapshot (the window's race, not a backtest's):
    /// a snapshot asks the files' modification times.
    void setKeepsHistory(bool keep) { m_keepHistory = keep; }
    /// Where a race's earlier odds come from when it opens (an archive's snapshots of it, by
    /// its Zo- file name and runners); none: the history starts empty.
    using HistorySource = std::function<std::vector<OddsHistory::Snapshot>(const QString&, int)>;
    void setHistorySource(HistorySource source) { m_historySource = std::move(source); }
    /// The odds of the race shown while it was open; a load of another race starts it anew.
    const OddsHistory& history() const { return m_history; }
    /// How the odds a horse-table cell shows moved since the previous snapshot.
    std::optional<OddsMove> horseCellMove(HorseColumn column, int row) const;
    /// The result file the last load found for the race (read or not); empty when none.
    QString resultFile() const { return m_lastListing.resultPath; }
    /// The race's Uo- file as the last load looked for it; empty when it found none.
    QString quinellaFile() const { return m_quinellaFile; }

    /// The result file read by the last load; null when there was none or it did not read.
    const RaceResultRecord* raceResult() const { return m_resultRead ? m_result.get() : nullptr; }

    /// Recolours the horse-number cells from the stored colours (after the options dialog)
    /// and tells the views.
    void recolourHorseNumbers();

Q_SIGNALS:
    /// A load is about to change the pair lists (views over them begin a reset, which
    /// `changed` ends).
    void aboutToChange();
    /// The display changed as a whole (a load, a clear, a recolouring).
    void changed();
    /// A load put a race on screen (after `changed`, before any message of the load): views
    /// show the new race from its first row.
    void raceLoaded();
    /// An automatic reload is about to change the race shown (views note their scroll), and has
    /// changed it (after `changed`, before any message of the load).
    void aboutToRefresh();
    void refreshed();

private:
    enum class LoadKind { Open, Refresh };
    bool loadFile(const QString& path, const RaceFolderListing& listing, LoadKind kind);
    /// Takes the odds shown as a snapshot and tells the lists how they moved.
    void recordOdds();

    // The steps of a load, in pipeline order.
    /// Blanks the whole race display.
    void clearForm();
    /// Blanks the derived columns, both lists, recolours the horse numbers, prepares the grids.
    void clearDerivedColumns();
    /// Derived columns, quinella odds, popularity blocks, colours, then analysis and result;
    /// its messages go to `sink`, which holds them until the race is on screen.
    void buildHorseTable(MessageSink& sink);
    /// Recolours the horse-number cells from the settings.
    void colourHorseNumbers();
    /// Clears both pair lists and gives them their headings.
    void initPairGrids();

    /// The value analysis, run in this order when the quinella odds were read.
    void judgeQuinella();
    void judgeWide();
    void listRecommendedBets();
    /// Lists the race result when the PAT folder holds it, and marks its wide payouts.
    void showRaceResult(MessageSink& sink);
    void showRaceOdds(const WinPlaceOddsRecord& record);
    void loadRaceCard(const QString& zoPath);

    /// The settings a load reads, kept until a store writes anything.
    struct LoadSettings
    {
        quint64 revision = 0;
        JudgeSettings quinella;
        JudgeSettings wide;
        std::array<qint32, kMaxRunners + 1> horseColours{};
        int popularityThreshold = 0;
    };
    const LoadSettings& loadSettings();

    SettingsStore& m_settings;
    LoadSettings m_loadSettings;
    MessageSink& m_sink;
    HorseTable m_table;
    QString m_meeting;
    QString m_raceName;
    QString m_raceTime;
    QString m_currentFile;
    std::optional<RaceFolderListing> m_listing;
    /// The listing of the latest load, read again by a refresh that does not list the folder.
    RaceFolderListing m_lastListing;
    QString m_quinellaFile;
    bool m_keepHistory = false;
    const ArchivedOdds* m_snapshot = nullptr; // while loadAt() loads
    HistorySource m_historySource;
    OddsHistory m_history;
    std::unique_ptr<QuinellaOddsRecord> m_quinellaOdds;
    bool m_quinellaOddsRead = false;
    PairList m_quinella;
    PairList m_wide;
    QStringList m_recommendedBets;
    QStringList m_raceResult;
    std::unique_ptr<RaceResultRecord> m_result;
    bool m_resultRead = false;
};
