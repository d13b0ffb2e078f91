// SPDX-License-Identifier: MIT
// The main window following a race as PAT rewrites its files, offscreen: the view kept, the odds'
// moves shown and charted.
#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLineSeries>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "gui/main_window.h"
#include "gui/odds_chart_window.h"
#include "gui/pair_list_model.h"
#include "main_window_support.h"
#include "pat/race_time.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

TEST(MainWindow, AnAutomaticReloadKeepsTheViewAndShowsHowTheOddsMoved)
{
    Gui g;
    PatRandom random(11);
    GeneratedRace race = generateRace(random, 10, 18, true);
    QString error;
    ASSERT_TRUE(writeRaceSet(g.folder.path(), race, &error));
    const QString zo = g.folder.filePath(winPlaceOddsFileName(race));
    SettingsStore settings(g.ini);
    MainWindow window(settings, &g.sink);
    window.setOuterWidthTwips(MainWindow::kFurtherWidth);
    window.show();
    window.loadRace(zo);
    auto* uma = child<QTableView>(window, u"grdUmaRen"_s);
    auto* wide = child<QTableView>(window, u"grdWide"_s);

    // The user looks at the wide list, sorted by actual odds, scrolled down, one pair chosen.
    child<QRadioButton>(window, u"optBetType_1"_s)->click();
    clickHeading(wide, ActualColumn, Qt::LeftButton);
    wide->doItemsLayout();
    wide->scrollTo(wide->model()->index(80, 0), QAbstractItemView::PositionAtTop);
    const int scroll = wide->verticalScrollBar()->value();
    ASSERT_GT(scroll, 0);
    const QRect cell = wide->visualRect(wide->model()->index(85, ActualColumn));
    QTest::mouseClick(wide->viewport(), Qt::LeftButton, {}, cell.center());
    const QString chosen = wide->model()->index(85, LabelColumn).data().toString();
    ASSERT_GE(window.chosenPair(), 0);

    // PAT fetches new odds.
    QSignalSpy refreshed(&window.display(), &RaceDisplay::refreshed);
    PatRandom drift(5);
    moveMarket(drift, race);
    ASSERT_TRUE(writeRaceSet(g.folder.path(), race, &error));
    ASSERT_TRUE(refreshed.wait(5000));

    EXPECT_TRUE(wide->isVisible());
    EXPECT_FALSE(uma->isVisible());
    const QStringList actual = columnTexts(wide, ActualColumn);
    for (qsizetype r = 1; r < actual.size(); ++r) {
        EXPECT_LE(actual[r - 1].toDouble(), actual[r].toDouble()) << r;
    }
    EXPECT_EQ(wide->verticalScrollBar()->value(), scroll);
    ASSERT_TRUE(wide->currentIndex().isValid());
    EXPECT_EQ(wide->model()->index(wide->currentIndex().row(), LabelColumn).data().toString(),
              chosen);
    // Moves: arrows in the list's actual odds and in the horse table, the old value in the tip.
    int moved = 0;
    for (int r = 0; r < wide->model()->rowCount(); ++r) {
        const QModelIndex index = wide->model()->index(r, ActualColumn);
        if (index.data(PairListModel::MoveRole).isValid()) {
            ++moved;
            EXPECT_TRUE(index.data(Qt::ToolTipRole).toString().startsWith(u"前回 "_s));
        }
    }
    EXPECT_GT(moved, 20);
    int movedHorses = 0;
    for (int horse = 1; horse <= 18; ++horse) {
        auto* label = child<QLabel>(window, u"lblTanOdds_"_s + QString::number(horse));
        const auto move = window.display().horseCellMove(HorseColumn::WinOdds, horse);
        EXPECT_EQ(label->property("move").toInt(), move ? move->direction() : 0);
        EXPECT_EQ(label->toolTip(), move ? move->toolTip() : QString());
        movedHorses += move ? 1 : 0;
    }
    EXPECT_GT(movedHorses, 0);

    // The chart shows the chosen pair over both snapshots; a press on a horse's odds shows it.
    window.showOddsChart();
    OddsChartWindow* chart = window.oddsChart();
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->lineNames(), QStringList({u"馬連"_s, u"ﾜｲﾄﾞ"_s}));
    EXPECT_EQ(chart->pointCount(1), 2);
    // Along the bottom the snapshots' times, every point within them.
    const QChart* drawn = chart->chartView()->chart();
    const auto* times = qobject_cast<const QDateTimeAxis*>(drawn->axes(Qt::Horizontal).value(0));
    ASSERT_NE(times, nullptr);
    EXPECT_EQ(times->format(), u"HH:mm:ss");
    for (const QAbstractSeries* s : drawn->series()) {
        for (const QPointF& p : qobject_cast<const QLineSeries*>(s)->points()) {
            EXPECT_GT(p.x(), static_cast<double>(times->min().toMSecsSinceEpoch()));
            EXPECT_LT(p.x(), static_cast<double>(times->max().toMSecsSinceEpoch()));
        }
    }
    // Labelled on Japan's clock whatever the machine's zone: the last point at the newest
    // snapshot's time there.
    const QDateTime newest = window.display().history().snapshots().back().time;
    const QPointF lastPoint
        = qobject_cast<const QLineSeries*>(drawn->series().value(0))->points().back();
    EXPECT_EQ(
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(lastPoint.x())).toString(u"HH:mm:ss"_s),
        newest.toTimeZone(jraTimeZone()).toString(u"HH:mm:ss"_s));
    EXPECT_EQ(chart->chartTitle(), chosen.trimmed().remove(u' '));
    saveScreenshot(window, u"main-odds-moved.png"_s);
    saveScreenshot(*chart, u"odds-chart-pair.png"_s);
    QTest::mouseClick(child<QLabel>(window, u"lblTanOdds_3"_s), Qt::LeftButton);
    EXPECT_EQ(window.chosenHorse(), 3);
    EXPECT_EQ(chart->lineNames(), QStringList({u"単勝"_s, u"複勝Min"_s, u"複勝Max"_s}));
    EXPECT_EQ(chart->pointCount(0), 2);
    saveScreenshot(*chart, u"odds-chart-horse.png"_s);

    // An explicit open starts from the top, in pair order, with nothing chosen.
    window.loadRace(zo);
    wide->doItemsLayout();
    EXPECT_EQ(wide->verticalScrollBar()->value(), 0);
    EXPECT_EQ(columnTexts(wide, LabelColumn).first(), u" 1- 2"_s);
    EXPECT_FALSE(wide->currentIndex().isValid());
    EXPECT_TRUE(g.sink.messages.empty());
}
