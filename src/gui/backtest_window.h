// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include <QFutureWatcher>
#include <QWidget>

#include "gui/twips_layout.h"
#include "race/backtest.h"
#include "race/calibration_run.h"

class QTabWidget;
class BacktestChoicesBox;
class BacktestPage;
class CalibrationPage;
class FolderListBox;
class MessageSink;
class SettingsStore;
class StakePage;
class WindowPlacement;

/// The backtest window (frmBacktest): the folders, the test folders and how a run resamples and
/// stakes (remembered in the window's section), and three tabs. It replays the races off the GUI
/// thread (src/race/backtest.h): its 成績 tab (BacktestPage) shows the report and its 資金 tab
/// (StakePage) the bankroll; it calibrates the theory (src/race/calibration_run.h) on the folders
/// and its 較正 tab (CalibrationPage) plots the observed against the predicted frequency of both
/// models. It saves what the tabs show. Non-modal, one instance; closing it stops a backtest run.
class BacktestWindow final : public QWidget
{
    Q_OBJECT

public:
    enum class Chart { ReturnRate, Profit, Calibration, Bankroll };

    /// `sink` receives every message; without one, messages show in message boxes over this
    /// window.
    BacktestWindow(SettingsStore& settings, MessageSink* sink, QWidget* owner);
    ~BacktestWindow() override;

    /// The folders a run replays, in their order (the PAT folder first at the start).
    QStringList folders() const;
    /// Adds a folder at the end unless it is listed already.
    void addFolder(const QString& folder);
    /// "追加": a folder dialog, then addFolder.
    void chooseFolder();
    /// "削除": the selected folders leave the list.
    void removeSelectedFolders();
    /// The test folders ("検証フォルダ"): judged apart, out of sample; none, no test.
    QStringList testFolders() const;
    void addTestFolder(const QString& folder);

    /// "開始": runs the backtest on the listed folders with the settings and the run choices as
    /// they are now; choices that do not pass their checks are refused with a message.
    void start();
    /// "中止": the run stops soon; its result is dropped.
    void cancel();
    bool isRunning() const { return m_running; }
    /// The last run's report; empty before any run finished and after one failed or stopped.
    const std::optional<BacktestReport>& report() const { return m_report; }

    /// "較正": fits and tabulates the theory on the listed folders, off the GUI thread.
    void startCalibration();
    bool isCalibrating() const { return m_calibrating; }
    /// The last calibration; empty before one finished and after one failed.
    const std::optional<CalibrationReport>& calibration() const { return m_calibration; }

    /// Writes the summary as CSV; tells the user and returns false when it fails.
    bool writeSummaryCsv(const QString& path);
    /// Writes a chart as it is shown as PNG; tells the user and returns false when it fails.
    bool writeChartPng(Chart chart, const QString& path);

    /// Stores the placement unless minimised; the main window calls it when it closes.
    void storePlacement();

Q_SIGNALS:
    /// A run ended: finished, failed or stopped.
    void runFinished();
    /// A calibration ended: finished or failed.
    void calibrationFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void setRunning(bool running);
    void setCalibrating(bool calibrating);
    void enableFolders();
    void showProgress(qint64 done, qint64 total);
    void finishRun();
    void finishCalibration();
    void saveSummaryCsv();
    void saveChart(Chart chart);
    void tellSaveFailed(const QString& path, const QString& error);

    SettingsStore& m_settings;
    std::unique_ptr<MessageSink> m_ownSink;
    MessageSink* m_sink;
    TwipsLayout m_layout{*this};
    std::unique_ptr<WindowPlacement> m_placement;

    std::optional<BacktestReport> m_report;
    bool m_running = false;
    std::atomic<bool> m_cancel{false};
    QFutureWatcher<BacktestReport> m_watcher;
    std::optional<CalibrationReport> m_calibration;
    bool m_calibrating = false;
    QFutureWatcher<CalibrationReport> m_calibrationWatcher;

    FolderListBox* m_folders = nullptr;
    FolderListBox* m_testFolders = nullptr;
    BacktestChoicesBox* m_choices = nullptr;
    QTabWidget* m_tabs = nullptr;
    BacktestPage* m_results = nullptr;
    StakePage* m_stakePage = nullptr;
    CalibrationPage* m_calibrationPage = nullptr;
};
