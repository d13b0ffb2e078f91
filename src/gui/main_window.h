// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QMainWindow>
#include <QStringList>

#include "gui/twips_layout.h"
#include "race/race_display.h"

class QLabel;
class QPushButton;
class QRadioButton;
class BacktestWindow;
class BetsPanel;
class CsvCommands;
class FileListWindow;
class HorseTablePanel;
class LiveRace;
class MainMenus;
class OddsChartWindow;
class PairListModel;
class PairListView;
class MessageSink;
class RecentRaces;
class WindowPlacement;
class SettingsStore;
class StakePanel;
class StatusNote;
class RaceDay;

/// The main window (frmMain): the race header, the view buttons and the bet-type switch, composed
/// with the panels that render the rest of the RaceDisplay (HorseTablePanel, two PairListViews,
/// BetsPanel) and the commands (MainMenus, RecentRaces); it routes their signals. It owns the
/// windows it opens. Controls sit at their twips positions scaled by the logical DPI; each carries
/// its historic name.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    /// The window widths of the three views, outer, in twips.
    static constexpr int kSummaryWidth = 2880;
    static constexpr int kDetailWidth = 10740;
    static constexpr int kFurtherWidth = 15360;
    static constexpr int kHeight = 7200;

    /// `sink` receives every message; without one, messages show in message boxes.
    explicit MainWindow(SettingsStore& settings,
                        MessageSink* sink = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    RaceDisplay& display() { return *m_display; }
    /// What follows the race's files as PAT rewrites them.
    LiveRace& live() { return *m_live; }

    /// Loads the race whose Zo- file is `path` (a pick in the file list, the open command, a
    /// drop, a recent race); a race that loads moves to the top of the recent races.
    void loadRace(const QString& path);
    /// The races opened last, most recent first (at most kRecentCount), as stored.
    QStringList recentFiles() const;
    static constexpr int kRecentCount = 8;
    /// A recent race chosen in the file menu: loaded, or taken off the list when it is gone.
    void openRecent(const QString& path);
    /// The open command: a file dialog, then the load.
    void openRace();
    /// The PAT file list window, created and shown at the first call.
    void showFileList();
    FileListWindow* fileList() const { return m_fileList; }
    /// The backtest window, created at the first call; shown and raised.
    void showBacktest();
    BacktestWindow* backtest() const { return m_backtest; }
    /// The odds chart window, created at the first call; shown and raised.
    void showOddsChart();
    OddsChartWindow* oddsChart() const { return m_oddsChart; }
    /// The pair (Cell::pairIndex) or horse the odds chart shows: the one chosen last in the
    /// pair lists or the horse table; -1 and 0 when none is.
    int chosenPair() const { return m_chosenPair; }
    int chosenHorse() const { return m_chosenHorse; }
    /// The movement CSV command: a save dialog, then the odds of every snapshot.
    void saveMovementCsv();
    bool writeMovementCsvFile(const QString& path);
    /// The options command: the options dialog, modal; afterwards the horse numbers are
    /// recoloured from the stored colours and the model line shows the stored model.
    void openOptions();
    /// The version window, modal.
    void showAbout();
    /// The CSV command: a save dialog, then the export.
    void saveCsv();
    /// Writes the CSV of the race shown; tells the user and returns false when it fails.
    bool writeCsvFile(const QString& path);

    /// The outer window width in twips, and setting it (the views use 2880, 10740 and 15360).
    int outerWidthTwips() const;
    void setOuterWidthTwips(int twips);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void connectCommands();
    void buildHeader();
    void buildViewButtons();
    void buildBetTypeSwitch();
    void buildPairLists();
    void connectDisplay();
    void updateViewButtons();
    void render();
    void showFirstRows();
    void showBetType(int index);
    /// The model line: the stored theory model, and the one the values shown came from when
    /// it differs (the model changes at the next load).
    void showModel();
    /// An automatic reload keeps what the user looks at: scroll positions and the pair chosen.
    void noteView();
    void restoreView();
    void choosePair(int pairIndex);
    void chooseHorse(int horse);

    SettingsStore& m_settings;
    std::unique_ptr<MessageSink> m_ownSink;
    MessageSink* m_sink;
    std::unique_ptr<RaceDisplay> m_display;
    std::unique_ptr<LiveRace> m_live;
    std::unique_ptr<CsvCommands> m_csv;
    TwipsLayout m_layout{*this};
    std::unique_ptr<WindowPlacement> m_placement;

    std::unique_ptr<MainMenus> m_menus;
    RecentRaces* m_recent = nullptr;
    QWidget* m_client = nullptr;
    QLabel* m_meeting = nullptr;
    QLabel* m_raceName = nullptr;
    QLabel* m_horseNum = nullptr;
    QLabel* m_raceTime = nullptr;
    QLabel* m_model = nullptr;
    StatusNote* m_status = nullptr;
    RaceDay* m_day = nullptr; ///< the archive and the board of the day
    HorseTablePanel* m_horses = nullptr;
    std::array<QPushButton*, 2> m_detail{};
    std::array<QPushButton*, 2> m_summary{};
    std::array<QRadioButton*, 2> m_betType{};
    PairListModel* m_quinellaModel = nullptr;
    PairListModel* m_wideModel = nullptr;
    PairListView* m_quinellaView = nullptr;
    PairListView* m_wideView = nullptr;
    BetsPanel* m_bets = nullptr;
    StakePanel* m_stakes = nullptr; ///< the lists' values and stakes, and 自動較正
    FileListWindow* m_fileList = nullptr;
    BacktestWindow* m_backtest = nullptr;
    OddsChartWindow* m_oddsChart = nullptr;
    int m_chosenPair = -1;
    int m_chosenHorse = 0;
};
