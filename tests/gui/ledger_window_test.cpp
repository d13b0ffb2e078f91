// SPDX-License-Identifier: MIT
// The books in the window, offscreen: a pair recorded from a list's menu, the 収支 window's
// figures against the report of the same bets, a deletion and a correction undone, and a second
// program that may only read.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>

#include "archive/bet_ledger.h"
#include "archive/odds_archive.h"
#include "gui/bet_dialog.h"
#include "gui/ledger_bets_model.h"
#include "gui/ledger_commands.h"
#include "gui/ledger_figures_model.h"
#include "gui/ledger_window.h"
#include "gui/main_window.h"
#include "gui/pair_list_model.h"
#include "gui/pair_list_view.h"
#include "gui/race_day.h"
#include "gui/stake_panel.h"
#include "gui/status_note.h"
#include "main_window_support.h"
#include "race/archive_files.h"
#include "race/folder_recorder.h"
#include "race/ledger_report.h"
#include "race/model_fit.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

// Answers the next bet dialog: `edit` may change it first.
void answerBetDialog(std::function<void(BetDialog&)> edit = {})
{
    QTimer::singleShot(0, [edit = std::move(edit)] {
        if (auto* dialog = qobject_cast<BetDialog*>(QApplication::activeModalWidget())) {
            if (edit) {
                edit(*dialog);
            }
            dialog->accept();
        }
    });
}

QAction* actionNamed(QMenu& menu, const QString& name)
{
    for (QAction* a : menu.actions()) {
        if (a->objectName() == name) {
            return a;
        }
    }
    throw std::runtime_error("no action named " + name.toStdString());
}

OddsArchive& archiveOf(MainWindow& window)
{
    return *window.findChild<RaceDay*>()->ledgerArchive();
}

// A number of the figures table as shown ("+1,500", "12", "87.5%") read back.
double shownNumber(QTableView* table, int row, int column)
{
    QString text = table->model()->index(row, column).data().toString();
    text.remove(u',').remove(u'+').remove(u'%');
    return text.toDouble();
}

// Each row's counts and money as shown equal the group's figures.
void expectRowsShow(QTableView* table, const std::vector<const LedgerFigures*>& figures)
{
    ASSERT_EQ(table->model()->rowCount(), static_cast<int>(figures.size()));
    for (int r = 0; r < table->model()->rowCount(); ++r) {
        const LedgerFigures& f = *figures[static_cast<std::size_t>(r)];
        using M = LedgerFiguresModel;
        EXPECT_EQ(shownNumber(table, r, M::BetsColumn), f.bets) << r;
        EXPECT_EQ(shownNumber(table, r, M::OpenColumn), f.open) << r;
        EXPECT_EQ(shownNumber(table, r, M::StakesColumn), f.stakes) << r;
        EXPECT_EQ(shownNumber(table, r, M::ReturnsColumn), f.returns) << r;
        EXPECT_EQ(shownNumber(table, r, M::ProfitColumn), f.profit()) << r;
        EXPECT_EQ(shownNumber(table, r, M::LosingRunColumn), f.longestLosingRun) << r;
        if (f.stakes > 0) {
            EXPECT_NEAR(shownNumber(table, r, M::RateColumn), f.rate * 100.0, 0.05) << r;
        }
    }
}

} // namespace

TEST(LedgerWindow, RecordsAPairFromItsListWithTheStakeShownElseAHundredYen)
{
    Gui g;
    const QString zo = g.writeRaces();
    SettingsStore settings(g.ini);
    // A kept fit whose gate is open on quinella: the list shows stakes.
    openQuinellaFit(settings).write(settings);
    MainWindow window(settings, &g.sink);
    window.loadRace(zo);
    auto* view = child<PairListView>(window, u"grdUmaRen"_s);
    auto* commands = window.findChild<LedgerCommands*>();
    ASSERT_NE(commands, nullptr);
    const RaceStakes& stakes = window.findChild<StakePanel*>()->stakes();
    const PairValue* staked = nullptr;
    const PairValue* unstaked = nullptr;
    for (const PairValue& v : stakes.pairs[0]) {
        (v.stake > 0 ? staked : unstaked) = &v;
    }
    ASSERT_NE(staked, nullptr);
    ASSERT_NE(unstaked, nullptr);

    const auto rowOf = [view](const PairValue& v) {
        for (int r = 0; r < view->model()->rowCount(); ++r) {
            if (view->pairs().pairIndexAt(r) == v.first * (kMaxRunners + 1) + v.second) {
                return r;
            }
        }
        return -1;
    };
    for (const PairValue* v : {staked, unstaked}) {
        const std::unique_ptr<QMenu> menu = commands->pairMenu(*view, rowOf(*v));
        QAction* record = actionNamed(*menu, u"mnuRecordBet"_s);
        ASSERT_TRUE(record->isEnabled()) << record->toolTip().toStdString();
        answerBetDialog();
        record->trigger();
    }

    const std::vector<LedgerBet> bets = BetLedger(archiveOf(window)).bets();
    ASSERT_EQ(bets.size(), 2U);
    for (std::size_t k = 0; k < 2; ++k) {
        const PairValue& v = k == 0 ? *staked : *unstaked;
        const LedgerBet& b = bets[k];
        EXPECT_EQ(b.race, QFileInfo(zo).fileName());
        EXPECT_EQ(b.bet, BetType::Quinella);
        EXPECT_EQ(std::pair(b.first, b.second), std::pair(v.first, v.second));
        EXPECT_EQ(b.stake, k == 0 ? v.stake : 100);
        EXPECT_EQ(b.model, u"blend"_s);
        EXPECT_EQ(b.chance, v.chance);
        EXPECT_EQ(b.ev, v.value);
        EXPECT_NEAR(b.odds, v.odds, 0.05);
        // The race has its result in the folder: settled as soon as recorded, and the odds
        // taken from these files equal their close exactly (never a float's hair above it).
        ASSERT_TRUE(b.settlement.has_value());
        EXPECT_EQ(b.odds, b.settlement->closing);
    }
    EXPECT_TRUE(g.sink.messages.empty());
}

TEST(LedgerWindow, ShowsTheReportOfItsBetsAndUndoesADeletionAndACorrection)
{
    Gui g;
    g.writeRaces();
    SettingsStore settings(g.ini);
    MainWindow window(settings, &g.sink);
    OddsArchive& archive = archiveOf(window);
    QStringList races; // the 18-runner race with a result, then the 7-runner one
    for (const QString& name : QDir(g.folder.path()).entryList({u"Zo-*"_s})) {
        QString error;
        ASSERT_NE(archiveRaceFiles(archive, g.folder.filePath(name), error),
                  OddsArchive::Stored::Failed)
            << error.toStdString();
        races << name;
    }
    ASSERT_EQ(races.size(), 2);
    QDateTime placed = QDateTime::currentDateTimeUtc().addDays(-1);
    const auto bet = [&](int race, BetType type, int a, int b, qint64 stake, double odds) {
        LedgerBet x;
        placed = placed.addSecs(60);
        x.placed = placed;
        x.race = races[race];
        x.bet = type;
        x.first = a;
        x.second = b;
        x.stake = stake;
        x.odds = odds;
        return x;
    };
    BetLedger ledger(archive);
    QString error;
    const auto ids = ledger.add({bet(0, BetType::Quinella, 1, 2, 300, 12.0),
                                 bet(0, BetType::Quinella, 3, 4, 200, 7.5),
                                 bet(0, BetType::Wide, 1, 3, 100, 2.0),
                                 bet(0, BetType::Wide, 2, 5, 500, 3.1),
                                 bet(1, BetType::Quinella, 1, 5, 100, 9.9)},
                                error);
    ASSERT_TRUE(ids) << error.toStdString();
    const QDateTime settled = QDateTime::currentDateTimeUtc();
    ASSERT_TRUE(ledger.settle({{(*ids)[0], {0, 0, settled, 10.0}},
                               {(*ids)[1], {1500, 0, settled, 8.0}},
                               {(*ids)[2], {0, 100, settled, 0.0}},
                               {(*ids)[3], {0, 0, settled, 3.0}}},
                              error))
        << error.toStdString();

    auto* commands = window.findChild<LedgerCommands*>();
    commands->showLedger();
    LedgerWindow* shown = commands->ledgerWindow();
    ASSERT_NE(shown, nullptr);
    auto* groups = child<QTableView>(*shown, u"tblLedgerGroups"_s);
    auto* list = child<QTableView>(*shown, u"tblLedgerBets"_s);
    child<QComboBox>(*shown, u"cboLedgerGrouping"_s)->setCurrentIndex(2); // 券種別
    const LedgerReport report = ledgerReport(ledger.bets());
    ASSERT_EQ(report.byBet.size(), 2U);
    expectRowsShow(groups, {&report.byBet[0].figures, &report.byBet[1].figures, &report.all});
    // By hand: the refunded wide bet neither costs nor pays, the last quinella is open; 300 +
    // 200 + 500 staked, 1,500 paid.
    EXPECT_EQ(shownNumber(groups, 2, LedgerFiguresModel::StakesColumn), 1000);
    EXPECT_EQ(shownNumber(groups, 2, LedgerFiguresModel::ProfitColumn), 500);
    EXPECT_EQ(list->model()->rowCount(), 5);

    // The paid bet deleted, then put back by 元に戻す: the same bet, its settlement with it.
    const LedgerBet paid = *ledger.bet((*ids)[1]);
    const auto rowOfPaid = [list, &paid] {
        return static_cast<const LedgerBetsModel*>(list->model())->rowOf(paid.id);
    };
    shown->deleteBet(rowOfPaid());
    EXPECT_FALSE(ledger.bet(paid.id).has_value());
    EXPECT_EQ(list->model()->rowCount(), 4);
    child<QAction>(*shown, u"mnuLedgerUndo"_s)->trigger();
    EXPECT_EQ(ledger.bet(paid.id), paid);
    expectRowsShow(groups, {&report.byBet[0].figures, &report.byBet[1].figures, &report.all});

    // A new stake drops the settlement; undone, the bet is as it was, settled.
    answerBetDialog([](BetDialog& d) { child<QSpinBox>(d, u"spnStake"_s)->setValue(400); });
    shown->correctBet(rowOfPaid());
    const std::optional<LedgerBet> corrected = ledger.bet(paid.id);
    ASSERT_TRUE(corrected);
    EXPECT_EQ(corrected->stake, 400);
    EXPECT_FALSE(corrected->settlement.has_value());
    child<QAction>(*shown, u"mnuLedgerUndo"_s)->trigger();
    EXPECT_EQ(ledger.bet(paid.id), paid);
    EXPECT_TRUE(g.sink.messages.empty());
}

TEST(LedgerWindow, ASecondProgramCannotRecordAndSaysSoOnce)
{
    Gui g;
    const QString zo = g.writeRaces();
    SettingsStore settings(g.ini);
    settings.setPatFolder(g.folder.path() + u"/"_s);
    // The first program holds the archive.
    QString note;
    const auto first = OddsArchive::open(OddsArchive::defaultPath(), note);
    ASSERT_TRUE(first && !first->isReadOnly()) << note.toStdString();

    MainWindow window(settings, &g.sink);
    window.show();
    auto* status = child<StatusNote>(window, u"lblStatus"_s);
    EXPECT_EQ(status->text().count(BetLedger::readOnlyText()), 1) << status->text().toStdString();
    status->clearNote();
    window.loadRace(zo);
    Q_EMIT window.findChild<RaceDay*>()->recorder()->racesChanged({zo});
    auto* commands = window.findChild<LedgerCommands*>();
    const std::unique_ptr<QMenu> menu
        = commands->pairMenu(*child<PairListView>(window, u"grdUmaRen"_s), 0);
    QAction* record = actionNamed(*menu, u"mnuRecordBet"_s);
    EXPECT_FALSE(record->isEnabled());
    EXPECT_EQ(record->toolTip(), BetLedger::readOnlyText());
    EXPECT_FALSE(status->isVisible() && status->text().contains(BetLedger::readOnlyText()));

    // The 収支 window reads the ledger and changes nothing.
    commands->showLedger();
    EXPECT_FALSE(child<QPushButton>(*commands->ledgerWindow(), u"btnLedgerDelete"_s)->isEnabled());
    EXPECT_TRUE(BetLedger(*first).bets().empty());
}
