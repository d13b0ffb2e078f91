// SPDX-License-Identifier: MIT
#include "ledger_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "archive/odds_archive.h"
#include "base/message_sink.h"
#include "gui/bet_dialog.h"
#include "gui/grouped_number.h"
#include "gui/ledger_bets_model.h"
#include "gui/ledger_chart.h"
#include "gui/ledger_figures_model.h"
#include "gui/ledger_undo.h"
#include "gui/window_placement.h"
#include "pat/race_time.h"

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"Ledger"_s;
constexpr int kDefaultWidth = 12000;
constexpr int kDefaultHeight = 10800;

constexpr const char16_t* kGroupings[] = {u"日別", u"月別", u"券種別", u"モデル別"};
static_assert(std::size(kGroupings) == static_cast<std::size_t>(LedgerGrouping::GroupingCount));

QTableView* tableOf(QAbstractItemModel* model, const QString& name, const TwipsLayout& layout)
{
    auto* table = new QTableView;
    table->setObjectName(name);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(layout.px(270));
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QDate japanToday()
{
    return jraDateOf(QDateTime::currentDateTimeUtc());
}

} // namespace

LedgerWindow::LedgerWindow(OddsArchive& archive,
                           SettingsStore& settings,
                           MessageSink& sink,
                           QWidget* owner)
    : QWidget(owner, Qt::Window)
    , m_ledger(archive)
    , m_readOnly(archive.isReadOnly())
    , m_sink(sink)
{
    setObjectName(u"frmLedger"_s);
    setWindowTitle(u"収支"_s);
    setFont(TwipsLayout::windowFont());
    const QPointF place = owner != nullptr ? QPointF(m_layout.twips(owner->frameGeometry().left()),
                                                     m_layout.twips(owner->frameGeometry().top()))
                                                 + QPointF(600, 600)
                                           : QPointF(1000, 1000);
    m_placement
        = std::make_unique<WindowPlacement>(*this,
                                            settings,
                                            kSection,
                                            QRectF(place, QSizeF(kDefaultWidth, kDefaultHeight)),
                                            WindowPlacement::Stored::PositionAndSize,
                                            WindowPlacement::Resize::ByUser);

    auto* page = new QVBoxLayout(this);
    page->addWidget(buildFilter());
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(u"splLedger"_s);
    split->setChildrenCollapsible(false);
    split->addWidget(buildFigures());
    m_chart = new LedgerChart(m_layout, this);
    split->addWidget(m_chart);
    split->addWidget(buildBets());
    // The chart takes the most room: a profit line needs height to read.
    split->setStretchFactor(1, 1);
    split->setSizes({m_layout.px(2600), m_layout.px(4400), m_layout.px(3000)});
    page->addWidget(split, 1);

    // Ctrl+Z anywhere in the window undoes the last correction or deletion.
    QAction* undo = m_undo.createUndoAction(this, u"元に戻す"_s);
    undo->setObjectName(u"mnuLedgerUndo"_s);
    undo->setShortcut(QKeySequence::Undo);
    undo->setShortcutContext(Qt::WindowShortcut);
    addAction(undo);
    connect(&m_undo, &QUndoStack::indexChanged, this, &LedgerWindow::refresh);
    m_placement->restore();
    refresh();
}

LedgerWindow::~LedgerWindow()
{
    // The stack tells of its clearing as it goes; the ledger is not to be read any more.
    m_undo.disconnect(this);
}

QWidget* LedgerWindow::buildFilter()
{
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    m_whole = new QCheckBox(u"全期間"_s, bar);
    m_whole->setObjectName(u"chkLedgerWhole"_s);
    m_whole->setChecked(true);
    row->addWidget(m_whole);
    row->addWidget(new QLabel(u"期間"_s, bar));
    const QDate today = japanToday();
    for (QDateEdit** edit : {&m_from, &m_to}) {
        *edit = new QDateEdit(today, bar);
        (*edit)->setCalendarPopup(true);
        (*edit)->setDisplayFormat(u"yyyy/MM/dd"_s);
        (*edit)->setEnabled(false);
        connect(*edit, &QDateEdit::dateChanged, this, &LedgerWindow::refresh);
    }
    m_from->setObjectName(u"dtpLedgerFrom"_s);
    m_to->setObjectName(u"dtpLedgerTo"_s);
    row->addWidget(m_from);
    row->addWidget(new QLabel(u"〜"_s, bar));
    row->addWidget(m_to);
    row->addSpacing(m_layout.px(240));
    row->addWidget(new QLabel(u"区分"_s, bar));
    m_grouping = new QComboBox(bar);
    m_grouping->setObjectName(u"cboLedgerGrouping"_s);
    for (const char16_t* name : kGroupings) {
        m_grouping->addItem(QString::fromUtf16(name));
    }
    row->addWidget(m_grouping);
    row->addStretch();
    connect(m_whole, &QCheckBox::toggled, this, [this](bool whole) {
        m_from->setEnabled(!whole);
        m_to->setEnabled(!whole);
        refresh();
    });
    connect(m_grouping, &QComboBox::currentIndexChanged, this, &LedgerWindow::showFigures);
    return bar;
}

QWidget* LedgerWindow::buildFigures()
{
    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    m_figures = new LedgerFiguresModel(this);
    m_groupList = tableOf(m_figures, u"tblLedgerGroups"_s, m_layout);
    column->addWidget(m_groupList, 1);
    m_close = new QLabel(box);
    m_close->setObjectName(u"lblLedgerClose"_s);
    m_close->setWordWrap(true);
    m_model = new QLabel(box);
    m_model->setObjectName(u"lblLedgerModel"_s);
    m_model->setWordWrap(true);
    column->addWidget(m_close);
    column->addWidget(m_model);
    return box;
}

QWidget* LedgerWindow::buildBets()
{
    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    m_bets = new LedgerBetsModel(this);
    m_betList = tableOf(m_bets, u"tblLedgerBets"_s, m_layout);
    m_betList->setContextMenuPolicy(Qt::CustomContextMenu);
    column->addWidget(m_betList, 1);

    auto* buttons = new QHBoxLayout;
    m_correct = new QPushButton(u"修正..."_s, box);
    m_correct->setObjectName(u"btnLedgerCorrect"_s);
    m_delete = new QPushButton(u"削除"_s, box);
    m_delete->setObjectName(u"btnLedgerDelete"_s);
    auto* undo = new QPushButton(u"元に戻す"_s, box);
    undo->setObjectName(u"btnLedgerUndo"_s);
    undo->setEnabled(false);
    for (QPushButton* b : {m_correct, m_delete, undo}) {
        buttons->addWidget(b);
    }
    buttons->addStretch();
    column->addLayout(buttons);
    // A second program reads the ledger; only the one that holds the archive changes it.
    for (QPushButton* b : {m_correct, m_delete}) {
        b->setEnabled(!m_readOnly);
        b->setToolTip(m_readOnly ? BetLedger::readOnlyText() : QString());
    }
    connect(m_correct, &QPushButton::clicked, this, [this] { correctBet(chosenRow()); });
    connect(m_delete, &QPushButton::clicked, this, [this] { deleteBet(chosenRow()); });
    connect(undo, &QPushButton::clicked, &m_undo, &QUndoStack::undo);
    connect(&m_undo, &QUndoStack::canUndoChanged, undo, &QPushButton::setEnabled);
    connect(m_betList, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!m_readOnly) {
            correctBet(index.row());
        }
    });
    connect(m_betList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int row = m_betList->indexAt(at).row();
        QMenu menu(this);
        menu.setToolTipsVisible(true);
        QAction* correct = menu.addAction(u"修正..."_s, this, [this, row] { correctBet(row); });
        QAction* remove = menu.addAction(u"削除"_s, this, [this, row] { deleteBet(row); });
        for (QAction* a : {correct, remove}) {
            a->setEnabled(!m_readOnly && row >= 0);
            a->setToolTip(m_readOnly ? BetLedger::readOnlyText() : QString());
        }
        menu.addSeparator();
        QAction* back = menu.addAction(
            m_undo.undoText().isEmpty() ? u"元に戻す"_s : u"元に戻す (%1)"_s.arg(m_undo.undoText()),
            &m_undo,
            &QUndoStack::undo);
        back->setEnabled(m_undo.canUndo());
        menu.exec(m_betList->viewport()->mapToGlobal(at));
    });
    return box;
}

void LedgerWindow::refresh()
{
    // The bet chosen stays chosen (by its id: rows move as bets come and go).
    const LedgerBet* chosenBet = m_bets->betAt(chosenRow());
    const qint64 chosen = chosenBet != nullptr ? chosenBet->id : -1;
    const bool whole = m_whole->isChecked();
    std::vector<LedgerBet> bets
        = whole ? m_ledger.bets() : m_ledger.bets(m_from->date(), m_to->date());
    m_report = ledgerReport(bets);
    if (whole && m_report.from.isValid()) {
        // The dates show the period the whole ledger spans, ready to be narrowed.
        const QSignalBlocker quietFrom(m_from);
        const QSignalBlocker quietTo(m_to);
        m_from->setDate(m_report.from);
        m_to->setDate(m_report.to);
    }
    m_bets->setBets(std::move(bets));
    showFigures();
    m_chart->plot(m_report.cumulative);
    m_betList->resizeColumnsToContents();
    if (chosen >= 0 && m_bets->rowOf(chosen) >= 0) {
        m_betList->selectRow(m_bets->rowOf(chosen));
    }
}

void LedgerWindow::showFigures()
{
    m_figures->setReport(m_report, static_cast<LedgerGrouping>(m_grouping->currentIndex()));
    m_groupList->resizeColumnsToContents();
    m_close->setText(groupedNumbersIn(ledgerCloseLine(m_report.all)));
    m_model->setText(groupedNumbersIn(ledgerModelLine(m_report.all)));
}

int LedgerWindow::chosenRow() const
{
    const QModelIndexList rows = m_betList->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void LedgerWindow::tell(const QString& text)
{
    m_sink.message(text, u"収支"_s, MessageIcon::Warning);
}

void LedgerWindow::correctBet(int row)
{
    const LedgerBet* shown = m_bets->betAt(row);
    if (shown == nullptr) {
        return;
    }
    const LedgerBet before = *shown;
    BetDialog dialog(before, BetDialog::Purpose::Correct, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const LedgerBet after = dialog.bet();
    QString error;
    if (!m_ledger.correct(after, error)) {
        tell(error);
        return;
    }
    m_undo.push(
        new CorrectBetCommand(m_ledger, before, after, [this](const QString& e) { tell(e); }));
}

void LedgerWindow::deleteBet(int row)
{
    const LedgerBet* shown = m_bets->betAt(row);
    if (shown == nullptr) {
        return;
    }
    const LedgerBet bet = *shown;
    QString error;
    if (!m_ledger.remove(bet.id, error)) {
        tell(error);
        return;
    }
    m_undo.push(new DeleteBetCommand(m_ledger, bet, [this](const QString& e) { tell(e); }));
}

void LedgerWindow::storePlacement()
{
    m_placement->store();
}

void LedgerWindow::closeEvent(QCloseEvent* event)
{
    storePlacement();
    QWidget::closeEvent(event);
}
