// SPDX-License-Identifier: MIT
#pragma once

#include <array>

#include <QObject>
#include <QTimer>

#include "race/race_stakes.h"

class QLabel;
class AutoCalibration;
class PairListModel;
class RaceDisplay;
class SettingsStore;
class TwipsLayout;

/// The stakes of the race shown: made anew (raceStakesOf) whenever the display changes, the
/// options close or 自動較正 finishes, and handed to the pair lists' value columns. Owns the
/// automatic fit, started now and every hour (it fits once per race day), and the line that
/// names the model and why a bet type has no stakes (lblStakeModel).
class StakePanel final : public QObject
{
    Q_OBJECT

public:
    StakePanel(SettingsStore& settings,
               const RaceDisplay& display,
               std::array<PairListModel*, 2> models,
               const TwipsLayout& layout,
               QWidget* client);

    const RaceStakes& stakes() const { return m_stakes; }
    AutoCalibration& calibration() { return *m_calibration; }

    /// Starts 自動較正 on the PAT folder when it is due (or switched on), in the background.
    void calibrateIfDue();
    /// Makes the stakes and the line anew.
    void update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SettingsStore& m_settings;
    const RaceDisplay& m_display;
    std::array<PairListModel*, 2> m_models;
    QLabel* m_line = nullptr;
    int m_lineRight = 0; ///< px
    AutoCalibration* m_calibration = nullptr;
    QTimer m_hourly;
    RaceStakes m_stakes;
};
