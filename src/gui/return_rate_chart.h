// SPDX-License-Identifier: MIT
#pragma once

#include "gui/chart_view.h"
#include "race/backtest.h"

class QBarCategoryAxis;
class QValueAxis;

/// The return rate of every group of one bet type (chtReturnRate): the rate with its 95%
/// interval, and beside it the odds-matched baseline (基準回収率) with the interval of the
/// excess set on it; a dashed line where the bets break even.
class ReturnRateChart final : public ChartView
{
public:
    ReturnRateChart(const TwipsLayout& layout, QWidget* parent);

    /// Draws the groups of `bet` in `report`.
    void plot(const BacktestReport& report, BetType bet);
    /// Nothing drawn, no axes shown.
    void clear();

private:
    const TwipsLayout& m_layout;
    QBarCategoryAxis* m_groups = nullptr;
    QValueAxis* m_rates = nullptr;
};
