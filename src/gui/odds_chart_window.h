// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <vector>

#include <QWidget>

#include "analysis/horse_table.h"
#include "gui/twips_layout.h"
#include "race/odds_history.h"

class QChartView;
class QDateTimeAxis;
class QValueAxis;
class RaceDisplay;
class SettingsStore;
class WindowPlacement;

/// The odds of one pair or horse of the race shown over its snapshots (frmOddsChart). It follows
/// the main window's choice and every reload.
class OddsChartWindow final : public QWidget
{
    Q_OBJECT

public:
    OddsChartWindow(RaceDisplay& display, SettingsStore& settings, QWidget* owner);
    ~OddsChartWindow() override;

    /// Shows the pair at `pairIndex` (Cell::pairIndex): its quinella and wide odds.
    void showPair(int pairIndex);
    /// Shows horse number `horse`.
    void showHorse(int horse);
    /// The title of the chart shown and the names of its lines (for a look without pixels).
    QString chartTitle() const;
    QStringList lineNames() const;
    /// The points of line `k`.
    int pointCount(int k) const;
    QChartView* chartView() const { return m_view; }

    void storePlacement();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void redraw();
    /// The lines of the pair or horse chosen, by name; sets the chart's title.
    std::vector<std::pair<QString, OddsHistory::Series>> chosenLines();
    int px(double twips) const { return m_layout.px(twips); }

    RaceDisplay& m_display;
    TwipsLayout m_layout{*this};
    std::unique_ptr<WindowPlacement> m_placement;
    QChartView* m_view = nullptr;
    QDateTimeAxis* m_timeAxis = nullptr;
    QValueAxis* m_oddsAxis = nullptr;
    int m_pair = -1;
    int m_horse = 0;
};
