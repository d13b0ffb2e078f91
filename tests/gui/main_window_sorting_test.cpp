// SPDX-License-Identifier: MIT
// The main window's pair lists, offscreen: sorting by a heading, the bet-type switch, where a load
// starts them, and that every text fits its column.
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QSet>
#include <QTableView>
#include <QTest>

#include "gui/main_window.h"
#include "gui/pair_list_model.h"
#include "main_window_support.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

TEST(MainWindow, HeadingClicksSortThePairListsAndTheSwitchKeepsTheTopRow)
{
    Gui g;
    const QString zo = g.writeRaces();
    SettingsStore settings(g.ini);
    MainWindow window(settings, &g.sink);
    window.setOuterWidthTwips(MainWindow::kFurtherWidth);
    window.show();
    window.loadRace(zo);
    auto* uma = child<QTableView>(window, u"grdUmaRen"_s);
    auto* wide = child<QTableView>(window, u"grdWide"_s);
    ASSERT_EQ(uma->model()->rowCount(), 153);

    // Left on "実際値": lowest actual odds first, so "人気" reads 1, 2, 3 … from the top.
    uma->setFocus();
    clickHeading(uma, ActualColumn, Qt::LeftButton);
    EXPECT_FALSE(uma->currentIndex().isValid()) << "a focus frame stays on a cell";
    const QStringList ranks = columnTexts(uma, PopularityColumn);
    EXPECT_EQ(ranks.mid(0, 3), QStringList({u"1"_s, u"2"_s, u"3"_s}));
    const auto numbers = [uma](int column) {
        std::vector<double> values;
        for (const QString& text : columnTexts(uma, column)) {
            values.push_back(text.toDouble());
        }
        return values;
    };
    EXPECT_TRUE(std::ranges::is_sorted(numbers(ActualColumn)));
    // Right on it: the reverse.
    clickHeading(uma, ActualColumn, Qt::RightButton);
    EXPECT_TRUE(std::ranges::is_sorted(numbers(ActualColumn), std::greater<>()));
    // Left on "馬連 " restores the pair order.
    clickHeading(uma, LabelColumn, Qt::LeftButton);
    EXPECT_EQ(columnTexts(uma, LabelColumn).mid(0, 2), QStringList({u" 1- 2"_s, u" 1- 3"_s}));
    EXPECT_EQ(columnTexts(uma, LabelColumn).last(), u"17-18");
    // Middle on a number column: numeric descending.
    clickHeading(uma, TheoreticalColumn, Qt::MiddleButton);
    EXPECT_TRUE(std::ranges::is_sorted(numbers(TheoreticalColumn), std::greater<>()));
    clickHeading(uma, LabelColumn, Qt::LeftButton);

    // Scroll the quinella list, switch: the wide list shows the same pairs at the top.
    uma->doItemsLayout();
    uma->scrollTo(uma->model()->index(40, 0), QAbstractItemView::PositionAtTop);
    const int top = uma->rowAt(0);
    ASSERT_GT(top, 0);
    child<QRadioButton>(window, u"optBetType_1"_s)->click();
    EXPECT_TRUE(wide->isVisible());
    EXPECT_EQ(wide->rowAt(0), top);
    child<QRadioButton>(window, u"optBetType_0"_s)->click();
    EXPECT_TRUE(uma->isVisible());
    EXPECT_EQ(uma->rowAt(0), top);

    // The further view with the first wide payout marked in view.
    const auto& wideRows = window.display().wideList().rows();
    for (int r = 0; r < static_cast<int>(wideRows.size()); ++r) {
        if (wideRows[static_cast<std::size_t>(r)].labelBackground == qRgb(255, 0, 0)) {
            uma->scrollTo(uma->model()->index(r, 0), QAbstractItemView::PositionAtTop);
            break;
        }
    }
    saveScreenshot(window, u"main-further-result.png"_s);
}

TEST(MainWindow, EveryLoadShowsTheListsFromTheirFirstRow)
{
    Gui g;
    const QString zo = g.writeRaces();
    SettingsStore settings(g.ini);
    MainWindow window(settings, &g.sink);
    window.setOuterWidthTwips(MainWindow::kFurtherWidth);
    window.show();
    auto* uma = child<QTableView>(window, u"grdUmaRen"_s);
    auto* wide = child<QTableView>(window, u"grdWide"_s);
    auto* bets = child<QAbstractItemView>(window, u"lstKaime"_s);
    auto* result = child<QAbstractItemView>(window, u"lstRaceResult"_s);
    const auto topRow = [](QAbstractItemView* view) {
        return view->indexAt(QPoint(2, 2)).row();
    };
    const QStringList races = QDir(g.folder.path()).entryList({u"Zo-*"_s}, QDir::Files);
    ASSERT_EQ(races.size(), 2);
    const QString other
        = g.folder.filePath(races[0] == QFileInfo(zo).fileName() ? races[1] : races[0]);
    const QList<QAbstractItemView*> views = {uma, wide, bets, result};
    // The same race again, and another race: each starts from the top.
    for (const QString& next : {zo, other}) {
        window.loadRace(zo);
        for (QAbstractItemView* view : views) {
            view->setVisible(true);
            view->doItemsLayout();
            view->scrollToBottom();
            view->setCurrentIndex(view->model()->index(view->model()->rowCount() - 1, 0));
        }
        ASSERT_GT(topRow(uma), 0);
        ASSERT_GT(topRow(result), 0);
        window.loadRace(next);
        for (QAbstractItemView* view : views) {
            view->doItemsLayout();
            EXPECT_EQ(topRow(view), view->model()->rowCount() > 0 ? 0 : -1)
                << view->objectName().toStdString();
            EXPECT_FALSE(view->currentIndex().isValid()) << view->objectName().toStdString();
        }
    }
}

TEST(MainWindow, AMessageOfALoadShowsOverTheNewRaceOnly)
{
    Gui g;
    const QString first = g.writeRaces();
    // A second race whose result file is present but does not read.
    PatRandom random(5);
    const GeneratedRace race = generateRace(random, 6, 9, true);
    QString error;
    ASSERT_TRUE(writeRaceSet(g.folder.path(), race, &error));
    g.folder.write(raceResultFileName(race), "broken");
    const QString second = g.folder.filePath(winPlaceOddsFileName(race));

    SettingsStore settings(g.ini);
    MainWindow window(settings, &g.sink);
    window.setOuterWidthTwips(MainWindow::kFurtherWidth);
    window.show();
    window.loadRace(first);
    ASSERT_TRUE(g.sink.messages.empty());
    const auto* uma = child<QTableView>(window, u"grdUmaRen"_s);
    // What the window shows: labels, horse table, pair list and the lists.
    const auto shown = [&] {
        QStringList texts;
        for (const QString& name : {u"lblKaisai"_s,
                                    u"lblRaceName"_s,
                                    u"lblHorseNum"_s,
                                    u"lblRaceTime"_s,
                                    u"lblTanHorseName_1"_s,
                                    u"lblTanPopOdds_9"_s,
                                    u"lblTanOdds_10"_s}) {
            texts << labelText(window, name);
        }
        texts << uma->model()->index(0, 2).data().toString();
        for (const QString& list : {u"lstKaime"_s, u"lstRaceResult"_s}) {
            texts << QString::number(child<QAbstractItemView>(window, list)->model()->rowCount());
        }
        return texts;
    };
    const QStringList before = shown();
    QStringList atMessage;
    g.sink.onMessage = [&] {
        atMessage = shown();
    };
    window.loadRace(second);
    ASSERT_EQ(g.sink.messages.size(), 1u);
    EXPECT_EQ(g.sink.messages[0].text, u"ファイルの読み込みに失敗しました。");
    EXPECT_NE(atMessage.join(u'|').toStdString(), before.join(u'|').toStdString());
    EXPECT_EQ(atMessage.join(u'|').toStdString(), shown().join(u'|').toStdString());
}

TEST(MainWindow, EveryTextOfThePairListsFitsItsColumn)
{
    Gui g;
    // An 18-runner race with a scratched horse (its pairs show 99999.9 and "ﾄﾘｹｼ") and a pair
    // of outsiders offered at 1.0: a deviation of five digits before the point.
    PatRandom random(11);
    GeneratedRace race = generateRace(random, 10, 18, true);
    race.horses[17].scratched = true;
    race.horses[17].winProbability = 0;
    int outsiderA = 0;
    int outsiderB = 1;
    for (int h = 1; h < 17; ++h) {
        if (race.horses[static_cast<std::size_t>(h)].winOdds
            > race.horses[static_cast<std::size_t>(outsiderA)].winOdds) {
            outsiderB = outsiderA;
            outsiderA = h;
        }
    }
    for (GeneratedPair& pair : race.pairs) {
        if (pair.second == 18) {
            pair.quinellaOdds = 0.0;
            pair.wideOddsMin = 0.0;
            pair.wideOddsMax = 0.0;
        }
        if ((pair.first == outsiderA + 1 && pair.second == outsiderB + 1)
            || (pair.first == outsiderB + 1 && pair.second == outsiderA + 1)) {
            pair.quinellaOdds = 1.0;
        }
    }
    QString error;
    ASSERT_TRUE(writeRaceSet(g.folder.path(), race, &error));
    SettingsStore settings(g.ini);
    MainWindow window(settings, &g.sink);
    window.setOuterWidthTwips(MainWindow::kFurtherWidth);
    window.show();
    window.loadRace(g.folder.filePath(winPlaceOddsFileName(race)));

    auto* uma = child<QTableView>(window, u"grdUmaRen"_s);
    int widestDeviation = 0;
    int deviationRow = 0;
    for (auto* view : {uma, child<QTableView>(window, u"grdWide"_s)}) {
        const QFontMetrics metrics(view->font());
        for (int col = 0; col < view->model()->columnCount(); ++col) {
            const QString heading = view->model()->headerData(col, Qt::Horizontal).toString();
            EXPECT_LE(metrics.horizontalAdvance(heading), view->columnWidth(col));
            for (int r = 0; r < view->model()->rowCount(); ++r) {
                const QString text = view->model()->index(r, col).data().toString();
                // The text and the cell's margins of three pixels on either side.
                EXPECT_LE(metrics.horizontalAdvance(text) + 6, view->columnWidth(col))
                    << view->objectName().toStdString() << " row " << r << " column " << col;
                if (col == DeviationColumn && view == uma && text.size() > widestDeviation) {
                    widestDeviation = static_cast<int>(text.size());
                    deviationRow = r;
                }
            }
        }
    }
    EXPECT_GE(widestDeviation, 8) << "no five-digit deviation in the race";
    uma->doItemsLayout();
    uma->scrollTo(uma->model()->index(deviationRow, 0), QAbstractItemView::PositionAtCenter);
    saveScreenshot(window, u"main-further-wide-values.png"_s);
}
