// SPDX-License-Identifier: MIT
#pragma once

#include <utility>
#include <vector>

#include <QDateTime>

#include "gui/chart_view.h"

class QDateTimeAxis;
class QValueAxis;

/// The cumulative profit of the 収支 window's period (chtLedgerProfit): a line from zero through
/// the profit after each settled bet, over the time placed on Japan's clock, and a dashed line at
/// zero where the bets break even.
class LedgerChart final : public ChartView
{
public:
    LedgerChart(const TwipsLayout& layout, QWidget* parent);

    /// Draws `cumulative` (time placed, yen), as LedgerReport::cumulative gives it.
    void plot(const std::vector<std::pair<QDateTime, qint64>>& cumulative);
    /// The points of the profit line drawn (zero included).
    int pointCount() const;

private:
    QValueAxis* m_yen = nullptr;
    QDateTimeAxis* m_time = nullptr;
};
