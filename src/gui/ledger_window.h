// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QUndoStack>
#include <QWidget>

#include "archive/bet_ledger.h"
#include "gui/twips_layout.h"
#include "race/ledger_report.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;
class LedgerBetsModel;
class LedgerChart;
class LedgerFiguresModel;
class MessageSink;
class OddsArchive;
class SettingsStore;
class WindowPlacement;

/// ﾂｰﾙ → 収支 (frmLedger): the report of the ledger's bets over a period (ledgerReport), grouped
/// by day, month, bet type or model, against the close and against the model, the cumulative
/// profit as a chart, and the bets themselves, which can be corrected or deleted and the last
/// change undone (Ctrl+Z).
class LedgerWindow final : public QWidget
{
    Q_OBJECT

public:
    LedgerWindow(OddsArchive& archive, SettingsStore& settings, MessageSink& sink, QWidget* owner);
    ~LedgerWindow() override;

    /// Reads the ledger again and shows its report (after bets were recorded or settled).
    void refresh();
    /// The report shown.
    const LedgerReport& report() const { return m_report; }
    QUndoStack& undoStack() { return m_undo; }

    /// Corrects the bet of the list's row `row` through the bet dialog.
    void correctBet(int row);
    /// Deletes the bet of the list's row `row`; undone by 元に戻す.
    void deleteBet(int row);

    void storePlacement();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildFilter();
    QWidget* buildFigures();
    QWidget* buildBets();
    void showFigures();
    int chosenRow() const;
    void tell(const QString& text);

    BetLedger m_ledger;
    bool m_readOnly;
    MessageSink& m_sink;
    TwipsLayout m_layout{*this};
    std::unique_ptr<WindowPlacement> m_placement;
    LedgerReport m_report;
    QUndoStack m_undo;
    QCheckBox* m_whole = nullptr;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QComboBox* m_grouping = nullptr;
    LedgerFiguresModel* m_figures = nullptr;
    QLabel* m_close = nullptr;
    QLabel* m_model = nullptr;
    LedgerChart* m_chart = nullptr;
    LedgerBetsModel* m_bets = nullptr;
    QTableView* m_groupList = nullptr;
    QTableView* m_betList = nullptr;
    QPushButton* m_correct = nullptr;
    QPushButton* m_delete = nullptr;
};
