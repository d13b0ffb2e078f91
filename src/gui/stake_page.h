// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QChartView;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;
class SummaryTable;
class TwipsLayout;
struct BacktestReport;

/// The backtest window's 資金 tab (pagStake): the staking of the last run (lblStake), the
/// bankroll after each counted race for both bet types (chtBankroll) and the staking's figures
/// (grdStake, numbers grouped by thousands), and the chart's save. The window runs the
/// backtest; the page shows it.
class StakePage final : public QWidget
{
    Q_OBJECT

public:
    StakePage(const TwipsLayout& layout, QWidget* parent);

    /// Saving needs a report and no run.
    void setRunning(bool running, bool hasReport);
    /// Shows `report`; none: an empty chart and table.
    void showReport(const BacktestReport* report);
    QChartView* chart() const { return m_view; }

Q_SIGNALS:
    void saveClicked();

private:
    const TwipsLayout& m_layout;
    QLabel* m_rule = nullptr;
    QChartView* m_view = nullptr;
    QValueAxis* m_races = nullptr;
    QValueAxis* m_yen = nullptr;
    QLineSeries* m_start = nullptr;
    QLineSeries* m_curves[2] = {};
    SummaryTable* m_table = nullptr;
    QPushButton* m_save = nullptr;
};
