// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include "race/backtest.h"

class QChartView;
class QLabel;
class QLineSeries;
class QProgressBar;
class QPushButton;
class QValueAxis;
class ReturnRateChart;
class SummaryTable;
class TwipsLayout;

/// The backtest window's 成績 tab (pagBacktest): start and, while a run lasts, its progress and
/// the way to stop it; then the summary table (numbers grouped by thousands; the test folders'
/// columns when there are any), under it the data-snooping line (lblSpa) and the group chosen
/// for the test folders (lblChoice); the return rate of each group beside its baseline and the
/// cumulative profit of the group chosen in the table; and the save buttons. The window runs
/// the backtest; the page shows it.
class BacktestPage final : public QWidget
{
    Q_OBJECT

public:
    BacktestPage(const TwipsLayout& layout, QWidget* parent);

    /// Running: start off, progress and stop shown. Saving needs a report.
    void setRunning(bool running, bool hasReport);
    void showProgress(qint64 done, qint64 total);
    /// Empties the table and the charts, and the status line with them.
    void clearResult();
    /// A stop was asked for: the run ends soon.
    void showCancelling();
    void showStopped();
    /// Shows `report`, which must outlive the page's use of it (the window keeps it until the
    /// next run), and chooses the first row.
    void showReport(const BacktestReport& report);

    QChartView* rateView() const;
    QChartView* profitView() const { return m_profitView; }

Q_SIGNALS:
    void startClicked();
    void cancelClicked();
    void saveCsvClicked();
    void saveRateClicked();
    void saveProfitClicked();

private:
    QPushButton* addButton(const QString& name, const QString& text);
    QWidget* buildResults();
    void buildAxes();
    void showRow(int row);
    void showProfit(BetType bet, int group);

    const TwipsLayout& m_layout;
    const BacktestReport* m_report = nullptr;
    QPushButton* m_start = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    QLabel* m_status = nullptr;
    SummaryTable* m_table = nullptr;
    QLabel* m_spa = nullptr;
    QLabel* m_choice = nullptr;
    ReturnRateChart* m_rateView = nullptr;
    QChartView* m_profitView = nullptr;
    QValueAxis* m_raceAxis = nullptr;
    QValueAxis* m_profitAxis = nullptr;
    QLineSeries* m_profit = nullptr;
    QLineSeries* m_zeroLine = nullptr;
    QPushButton* m_saveCsv = nullptr;
    QPushButton* m_saveRate = nullptr;
    QPushButton* m_saveProfit = nullptr;
};
