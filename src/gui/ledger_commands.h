// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <vector>

#include <QObject>
#include <QPointer>

#include "archive/bet_ledger.h"

class QMainWindow;
class QMenu;
class BoardWindow;
class LedgerWindow;
class MessageSink;
class PairListView;
class RaceDay;
class RaceDisplay;
class SettingsStore;
class StakePanel;
struct BoardRow;

/// The books' commands of the main window: 購入を記録… on a pair of either list, 賭け金を記録… on
/// a race of the board, and ﾂｰﾙ → 収支 (the LedgerWindow, which it owns). A recorded bet is
/// settled at once when its result is there already; the 収支 window follows every change.
class LedgerCommands final : public QObject
{
    Q_OBJECT

public:
    LedgerCommands(QMainWindow& window,
                   SettingsStore& settings,
                   RaceDay& day,
                   const RaceDisplay& display,
                   const StakePanel& stakes,
                   MessageSink& sink);
    ~LedgerCommands() override;

    /// The menu of row `row` of a pair list (its 購入を記録… is disabled, with the reason as its
    /// tooltip, where the pair is no bet or the ledger cannot be written).
    std::unique_ptr<QMenu> pairMenu(PairListView& view, int row);
    /// The menu of row `row` of the board.
    std::unique_ptr<QMenu> boardMenu(BoardWindow& board, int row);

    /// The 収支 window, made at the first call; shown and raised.
    void showLedger();
    LedgerWindow* ledgerWindow() const;

private:
    void closeLedger();
    void watchBoard(BoardWindow* board);
    /// Why nothing can be recorded now; empty when bets can be.
    QString refusal() const;
    void recordPair(BetType bet, int pairIndex);
    void recordStakes(const BoardRow& row, QWidget* parent);
    bool record(const QString& zoPath, const std::vector<LedgerBet>& bets);

    QMainWindow& m_window;
    SettingsStore& m_settings;
    RaceDay& m_day;
    const RaceDisplay& m_display;
    const StakePanel& m_stakes;
    MessageSink& m_sink;
    QPointer<LedgerWindow> m_ledger;
};
