// SPDX-License-Identifier: MIT
#include "ledger_commands.h"

#include <QAction>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QTableView>
#include <QUndoStack>

#include "archive/odds_archive.h"
#include "base/message_sink.h"
#include "gui/bet_dialog.h"
#include "gui/board_window.h"
#include "gui/grouped_number.h"
#include "gui/ledger_window.h"
#include "gui/pair_list_model.h"
#include "gui/pair_list_view.h"
#include "gui/race_day.h"
#include "gui/stake_panel.h"
#include "gui/window_placement.h"
#include "race/ledger_entry.h"
#include "race/race_display.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

QString betLine(const LedgerBet& bet)
{
    return u"%1 %2-%3 %4円"_s.arg(betName(bet.bet))
        .arg(bet.first)
        .arg(bet.second)
        .arg(groupedNumber(QString::number(bet.stake)));
}

} // namespace

LedgerCommands::LedgerCommands(QMainWindow& window,
                               SettingsStore& settings,
                               RaceDay& day,
                               const RaceDisplay& display,
                               const StakePanel& stakes,
                               MessageSink& sink)
    : QObject(&window)
    , m_window(window)
    , m_settings(settings)
    , m_day(day)
    , m_display(display)
    , m_stakes(stakes)
    , m_sink(sink)
{
    for (const QString& name : {u"grdUmaRen"_s, u"grdWide"_s}) {
        auto* view = window.findChild<PairListView*>(name);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
            pairMenu(*view, view->indexAt(at).row())->exec(view->viewport()->mapToGlobal(at));
        });
    }
    if (auto* ledger = window.findChild<QAction*>(u"mnuToolLedger"_s)) {
        ledger->setEnabled(day.ledgerArchive() != nullptr);
        connect(ledger, &QAction::triggered, this, &LedgerCommands::showLedger);
    }
    connect(&day, &RaceDay::boardOpened, this, &LedgerCommands::watchBoard);
    // The window reads the race day's archive: it goes before the archive does.
    connect(&day, &RaceDay::closing, this, &LedgerCommands::closeLedger);
    connect(&day, &RaceDay::betsSettled, this, [this] {
        if (m_ledger) {
            m_ledger->refresh();
        }
    });
}

LedgerCommands::~LedgerCommands()
{
    closeLedger();
}

void LedgerCommands::closeLedger()
{
    if (m_ledger) {
        m_ledger->storePlacement();
        delete m_ledger;
    }
}

QString LedgerCommands::refusal() const
{
    const OddsArchive* archive = m_day.ledgerArchive();
    if (archive == nullptr) {
        return u"オッズの記録が開けないため、購入を記録できません"_s;
    }
    return archive->isReadOnly() ? BetLedger::readOnlyText() : QString();
}

std::unique_ptr<QMenu> LedgerCommands::pairMenu(PairListView& view, int row)
{
    auto menu = std::make_unique<QMenu>(&view);
    menu->setToolTipsVisible(true);
    const BetType bet = view.pairs().list().betType();
    const int pairIndex = view.pairs().pairIndexAt(row);
    QAction* record = menu->addAction(
        u"購入を記録…"_s, this, [this, bet, pairIndex] { recordPair(bet, pairIndex); });
    record->setObjectName(u"mnuRecordBet"_s);
    QString why = refusal();
    if (why.isEmpty()
        && !ledgerBetOfPair(m_display, m_stakes.stakes(), StakeModel::Blend, bet, pairIndex, {})) {
        why = u"オッズのない組み合わせや取消の馬を含む組み合わせは記録できません"_s;
    }
    record->setEnabled(why.isEmpty());
    record->setToolTip(why);
    return menu;
}

std::unique_ptr<QMenu> LedgerCommands::boardMenu(BoardWindow& board, int row)
{
    auto menu = std::make_unique<QMenu>(&board);
    menu->setToolTipsVisible(true);
    const BoardRow* race = board.rowAt(row);
    QAction* record = menu->addAction(u"賭け金を記録…"_s);
    record->setObjectName(u"mnuRecordStakes"_s);
    QString why = refusal();
    if (why.isEmpty() && (race == nullptr || race->stakes.totalStake() <= 0)) {
        why = u"このレースには賭け金がありません"_s;
    }
    record->setEnabled(why.isEmpty());
    record->setToolTip(why);
    if (race != nullptr) {
        // The row is copied: the board may read its races again while the question is open.
        connect(record, &QAction::triggered, this, [this, copy = *race, &board] {
            recordStakes(copy, &board);
        });
    }
    return menu;
}

void LedgerCommands::watchBoard(BoardWindow* board)
{
    QTableView* table = board->table();
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(
        table, &QWidget::customContextMenuRequested, this, [this, board, table](const QPoint& at) {
            boardMenu(*board, table->indexAt(at).row())->exec(table->viewport()->mapToGlobal(at));
        });
}

void LedgerCommands::recordPair(BetType type, int pairIndex)
{
    const StakeModel model = StakeSettings::read(m_settings).model;
    const auto bet = ledgerBetOfPair(
        m_display, m_stakes.stakes(), model, type, pairIndex, QDateTime::currentDateTimeUtc());
    if (!bet || !refusal().isEmpty()) {
        return;
    }
    const QString zoPath = m_display.currentFile();
    BetDialog dialog(*bet, BetDialog::Purpose::Record, &m_window);
    if (dialog.exec() == QDialog::Accepted && record(zoPath, {dialog.bet()})) {
        m_day.note(u"購入を記録しました: %1"_s.arg(betLine(dialog.bet())));
    }
}

void LedgerCommands::recordStakes(const BoardRow& row, QWidget* parent)
{
    const std::vector<LedgerBet> bets = ledgerBetsOfStakes(row.path,
                                                           row.stakes,
                                                           StakeSettings::read(m_settings).model,
                                                           QDateTime::currentDateTimeUtc());
    if (bets.empty() || !refusal().isEmpty()) {
        return;
    }
    QStringList lines;
    for (const LedgerBet& bet : bets) {
        lines << betLine(bet);
    }
    const QString question = u"%1 %2R の賭け金を記録します。\n\n%3\n\n合計 %4円"_s.arg(
        row.venue,
        QString::number(row.raceNo),
        lines.join(u'\n'),
        groupedNumber(QString::number(row.stakes.totalStake())));
    if (QMessageBox::question(parent, u"賭け金を記録"_s, question) != QMessageBox::Yes) {
        return;
    }
    if (record(row.path, bets)) {
        m_day.note(u"賭け金を記録しました: %1件"_s.arg(static_cast<int>(bets.size())));
    }
}

bool LedgerCommands::record(const QString& zoPath, const std::vector<LedgerBet>& bets)
{
    QString error;
    if (!recordLedgerBets(*m_day.ledgerArchive(), zoPath, bets, error)) {
        m_sink.message(error.isEmpty() ? u"購入を記録できませんでした"_s : error,
                       u"購入を記録"_s,
                       MessageIcon::Warning);
        return false;
    }
    // A race opened from another folder settles from there.
    m_day.addBetFolder(QFileInfo(zoPath).absolutePath());
    // A bet settled at once reaches the 収支 window through betsSettled(); else it is shown here.
    if (m_day.settleBets() == 0 && m_ledger) {
        m_ledger->refresh();
    }
    return true;
}

LedgerWindow* LedgerCommands::ledgerWindow() const
{
    return m_ledger.data();
}

void LedgerCommands::showLedger()
{
    OddsArchive* archive = m_day.ledgerArchive();
    if (archive == nullptr) {
        return;
    }
    if (!m_ledger) {
        m_ledger = new LedgerWindow(*archive, m_settings, m_sink, &m_window);
        // A correction or an undo may leave a bet open whose result is there: settle it now.
        connect(&m_ledger->undoStack(), &QUndoStack::indexChanged, &m_day, &RaceDay::settleBets);
    } else {
        m_ledger->refresh();
    }
    bringUp(*m_ledger);
}
