// SPDX-License-Identifier: MIT
#pragma once

#include <QTableView>

#include "gui/scroll_memory.h"

class PairListModel;
class TwipsLayout;

/// One pair list of the main window (grdUmaRen, grdWide): a grid in the fixed-pitch font whose
/// columns fit their texts, sorted by a press on a heading, with the actual odds' moves painted.
/// A pair chosen in it is told through `pairChosen`.
class PairListView final : public QTableView
{
    Q_OBJECT

public:
    PairListView(const QString& name,
                 PairListModel& model,
                 const TwipsLayout& layout,
                 QWidget* parent);

    const PairListModel& pairs() const { return m_model; }

    /// Each column as wide as its widest text; call after every change of the list.
    void sizeColumns();
    /// The value columns as wide as their texts; called when the values change.
    void sizeValueColumns();

    /// An automatic reload keeps the scroll position and the chosen pair's cell.
    void noteView();
    void restoreView(int chosenPair);

Q_SIGNALS:
    /// The current cell moved to the pair `pairIndex` (Cell::pairIndex).
    void pairChosen(int pairIndex);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PairListModel& m_model;
    ScrollMemory m_scroll;
};
