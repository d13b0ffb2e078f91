// SPDX-License-Identifier: MIT
#pragma once

#include <QChartView>

#include "base/bet_type.h"

class QChart;
class QFont;
class TwipsLayout;
struct CalibrationReport;

/// The calibration plot of the backtest window (chtCalibration): the observed against the
/// predicted frequency of every model, bin by bin, with ±2 SE bars and the diagonal where the two
/// agree. Both axes share one scale and range. On the log and logit scales the lower bins, which
/// bunch at the origin on the linear one, spread out; a value there that the scale cannot show
/// (a share of 0, a bar reaching below 0) sits at the axis' end.
class CalibrationChart final : public QChartView
{
public:
    enum class Scale { Linear, Log, Logit, ScaleCount };

    CalibrationChart(const TwipsLayout& layout, QWidget* parent);

    /// Plots the fit races' tables of `bet`; an empty plot without a report.
    void plot(const CalibrationReport* report, BetType bet, Scale scale);

private:
    /// A new chart in place of the one shown, empty.
    QChart* freshChart();

    const TwipsLayout& m_layout;
};
