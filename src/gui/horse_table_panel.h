// SPDX-License-Identifier: MIT
#pragma once

#include <array>

#include <QWidget>

#include "analysis/horse_table.h"

class QLabel;
class RaceDisplay;
class TwipsLayout;

/// The horse table of the main window: the popularity lists (blocks B and C) and below the
/// height the window shows the frame "元データ" (block A), one label per cell with its historic
/// name (lblTanOdds_3). Renders the HorseTable of the race shown, with the odds' moves; a press
/// on a horse's odds chooses the horse (`horseChosen`), a double-click also opens its chart.
class HorseTablePanel final : public QWidget
{
    Q_OBJECT

public:
    /// The labels by column and row.
    using Cells = std::array<std::array<QLabel*, kMaxRunners>,
                             static_cast<std::size_t>(HorseColumn::ColumnCount)>;

    HorseTablePanel(const RaceDisplay& display, const TwipsLayout& layout, QWidget* parent);

    void render();

Q_SIGNALS:
    void horseChosen(int horse);
    void horseOpened(int horse);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void renderColours(QLabel* label, HorseColumn column, int row);

    const RaceDisplay& m_display;
    Cells m_cells{};
};
