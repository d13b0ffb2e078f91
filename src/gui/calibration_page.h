// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class CalibrationChart;
class SummaryTable;
class SettingsStore;
class TwipsLayout;
struct CalibrationReport;

/// The backtest window's 較正 tab (pagCalibration): 較正, while it runs a busy bar, then the fit;
/// the bet type plotted and the plot's scale (remembered in the window's settings section); the
/// models' scoreboard of the bet type, the fitted models' save into the theory settings, the
/// calibration plot and its save. The window runs the calibration; the page shows it.
class CalibrationPage final : public QWidget
{
    Q_OBJECT

public:
    CalibrationPage(SettingsStore& settings,
                    const QString& section,
                    const TwipsLayout& layout,
                    QWidget* parent);

    void setCalibrating(bool calibrating, bool hasReport);
    /// Shows `report` (none: an empty plot); it must outlive the page's use of it (the window
    /// keeps it until the next calibration).
    void showReport(const CalibrationReport* report);
    CalibrationChart* chart() const { return m_chart; }

Q_SIGNALS:
    void calibrateClicked();
    void saveClicked();

private:
    void replot();
    void showFit();
    void saveModel();

    SettingsStore& m_settings;
    QString m_section;
    const CalibrationReport* m_report = nullptr;
    QPushButton* m_calibrate = nullptr;
    QProgressBar* m_progress = nullptr;
    QComboBox* m_bet = nullptr;
    QComboBox* m_scale = nullptr;
    QLabel* m_fit = nullptr;
    CalibrationChart* m_chart = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_saveModel = nullptr;
    SummaryTable* m_scores = nullptr;
    QLabel* m_comparison = nullptr;
};
