// SPDX-License-Identifier: MIT
#pragma once

#include <QChartView>

class TwipsLayout;

/// A chart view of the backtest window: antialiased, no legend, the window's font for the title,
/// small margins, and a size below which its labels would not fit.
class ChartView : public QChartView
{
public:
    ChartView(const QString& name, const TwipsLayout& layout, QWidget* parent);
};
