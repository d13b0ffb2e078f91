// SPDX-License-Identifier: MIT
// The real main window, offscreen: what it shows, its view buttons and its placement.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QWidget>

#include "gui/main_window.h"
#include "gui/odds_chart_window.h"
#include "main_window_support.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

TEST(MainWindow, FirstRunPlacementAndControls)
{
    Gui g;
    SettingsStore settings(g.ini);
    MainWindow window(settings, &g.sink);
    window.show();
    EXPECT_EQ(window.objectName(), u"frmMain");
    EXPECT_EQ(window.windowTitle(), u"Mikazuki＋");
    EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(px(1000), px(1000)));
    EXPECT_EQ(window.frameGeometry().size(), QSize(px(2880), px(7200)));
    EXPECT_EQ(window.outerWidthTwips(), 2880);
    // Only the button of the summary band can be pressed.
    EXPECT_TRUE(child<QPushButton>(window, u"btnDetail_0"_s)->isEnabled());
    EXPECT_FALSE(child<QPushButton>(window, u"btnSummary_0"_s)->isEnabled());
    EXPECT_FALSE(child<QPushButton>(window, u"btnDetail_1"_s)->isEnabled());
    EXPECT_FALSE(child<QPushButton>(window, u"btnSummary_1"_s)->isEnabled());

    // Controls at their twips positions.
    const auto* meeting = child<QLabel>(window, u"lblKaisai"_s);
    EXPECT_EQ(inClient(window, meeting), QRect(px(540), px(540), px(2175), px(315)));
    const auto* cell = child<QLabel>(window, u"lblTanHorseNo_3"_s);
    EXPECT_EQ(inClient(window, cell), QRect(px(1380), px(2100 + 480), px(675), px(270)));
    EXPECT_EQ(labelText(window, u"lblPopular_18"_s), u"18");
    EXPECT_EQ(labelText(window, u"Label11"_s), u"単勝人気順　馬名");
    EXPECT_EQ(labelText(window, u"Label4_1"_s), u"複ｵｯｽﾞMin～Max    平均");
    const auto* mark = child<QLabel>(window, u"lblAutoJudge_1"_s);
    EXPECT_EQ(mark->palette().color(mark->foregroundRole()), QColor(Qt::red));
    // Block A sits in its frame below what the window shows.
    EXPECT_GE(inClient(window, child<QWidget>(window, u"Frame1"_s)).y(), px(6660));
    EXPECT_EQ(child<QWidget>(window, u"lblTanOdds_18"_s)->parentWidget()->objectName(), u"Frame1");

    // Menus and toolbar: every command can be used.
    EXPECT_EQ(child<QAction>(window, u"mnuFileOpen"_s)->toolTip(), u"PATﾃﾞｰﾀを開く");
    for (const QString& name : {u"mnuFileOpen"_s,
                                u"mnuFileList"_s,
                                u"mnuFileCSV"_s,
                                u"mnuToolOption"_s,
                                u"mnuHelpAbout"_s}) {
        EXPECT_TRUE(child<QAction>(window, name)->isEnabled()) << name.toStdString();
    }
    EXPECT_TRUE(child<QWidget>(window, u"Toolbar1_Option"_s)->isEnabled());
    EXPECT_TRUE(child<QWidget>(window, u"Toolbar1_About"_s)->isEnabled());
    EXPECT_EQ(window.findChild<QAction*>(u"mnuToolExcel"_s), nullptr);
    EXPECT_NE(window.findChild<QWidget*>(u"Toolbar1_Open"_s), nullptr);
    EXPECT_EQ(window.findChild<QWidget*>(u"Toolbar1_Excel"_s), nullptr);
}

TEST(MainWindow, LoadedRaceIsShownAndViewButtonsSetTheWidth)
{
    Gui g;
    const QString zo = g.writeRaces();
    SettingsStore settings(g.ini);
    settings.writeInteger32(SettingsKey::HorseNoColour, {}, 1, 255); // red
    MainWindow window(settings, &g.sink);
    window.show();
    window.loadRace(zo);
    EXPECT_TRUE(g.sink.messages.empty());

    const RaceDisplay& d = window.display();
    EXPECT_EQ(labelText(window, u"lblKaisai"_s), d.meeting());
    EXPECT_EQ(labelText(window, u"lblRaceName"_s), d.raceName());
    EXPECT_EQ(labelText(window, u"lblHorseNum"_s), u"18");
    EXPECT_EQ(labelText(window, u"lblRaceTime"_s), d.raceTime());
    for (int row = 1; row <= 18; ++row) {
        for (const HorseColumn column : {HorseColumn::WinOdds,
                                         HorseColumn::WinRatio,
                                         HorseColumn::PlaceOrderOdds,
                                         HorseColumn::WinPlaceRatio,
                                         HorseColumn::Mark,
                                         HorseColumn::HorseName}) {
            const QString name = horseColumnName(column) + u'_' + QString::number(row);
            EXPECT_EQ(labelText(window, name), d.horseTable().text(column, row))
                << name.toStdString();
        }
    }
    // Horse 1 is red with cyan digits wherever it stands in block B.
    const int row = d.horseTable().text(HorseColumn::WinPopularity, 1).toInt();
    const auto* horse1 = child<QLabel>(window, u"lblTanHorseNo_"_s + QString::number(row));
    EXPECT_EQ(horse1->text(), u"1");
    EXPECT_EQ(horse1->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(horse1->palette().color(horse1->foregroundRole()), QColor(0, 255, 255));
    saveScreenshot(window, u"main-summary.png"_s);

    QTest::mouseClick(child<QPushButton>(window, u"btnDetail_0"_s), Qt::LeftButton);
    EXPECT_EQ(window.frameGeometry().width(), px(10740));
    EXPECT_TRUE(child<QPushButton>(window, u"btnDetail_1"_s)->isEnabled());
    EXPECT_FALSE(child<QPushButton>(window, u"btnSummary_1"_s)->isEnabled());
    saveScreenshot(window, u"main-detail.png"_s);

    QTest::mouseClick(child<QPushButton>(window, u"btnDetail_1"_s), Qt::LeftButton);
    EXPECT_EQ(window.frameGeometry().width(), px(15360));
    EXPECT_EQ(window.frameGeometry().height(), px(7200));
    saveScreenshot(window, u"main-further.png"_s);

    // "詳細情報 >>" on the widest view leaves it; "<< 戻る" and "<< 概要" step back.
    child<QPushButton>(window, u"btnDetail_0"_s)->click();
    EXPECT_EQ(window.outerWidthTwips(), 15360);
    QTest::mouseClick(child<QPushButton>(window, u"btnSummary_1"_s), Qt::LeftButton);
    EXPECT_EQ(window.outerWidthTwips(), 10740);
    QTest::mouseClick(child<QPushButton>(window, u"btnSummary_0"_s), Qt::LeftButton);
    EXPECT_EQ(window.outerWidthTwips(), 2880);

    // The bet-type switch shows one pair list at a time; the second click changes nothing.
    auto* uma = child<QTableView>(window, u"grdUmaRen"_s);
    auto* wide = child<QTableView>(window, u"grdWide"_s);
    window.setOuterWidthTwips(15360);
    EXPECT_TRUE(uma->isVisible());
    EXPECT_FALSE(wide->isVisible());
    child<QRadioButton>(window, u"optBetType_1"_s)->click();
    child<QRadioButton>(window, u"optBetType_1"_s)->click();
    EXPECT_FALSE(uma->isVisible());
    EXPECT_TRUE(wide->isVisible());
    EXPECT_EQ(wide->model()->headerData(0, Qt::Horizontal).toString(), u"ﾜｲﾄﾞ ");
}

TEST(MainWindow, FailedLoadIsReportedAndTheRaceStays)
{
    Gui g;
    const QString zo = g.writeRaces();
    SettingsStore settings(g.ini);
    MainWindow window(settings, &g.sink);
    window.loadRace(zo);
    const QString shown = labelText(window, u"lblKaisai"_s);
    window.loadRace(g.folder.write(u"Zo-broken.jra"_s, "short"));
    ASSERT_EQ(g.sink.messages.size(), 1u);
    EXPECT_EQ(g.sink.messages[0].text, u"ファイルの読み込みに失敗しました。");
    EXPECT_EQ(labelText(window, u"lblKaisai"_s), shown);
    EXPECT_EQ(window.display().currentFile(), zo);
}

TEST(MainWindow, PlacementIsStoredAtCloseAndRestored)
{
    Gui g;
    {
        SettingsStore settings(g.ini);
        MainWindow window(settings, &g.sink);
        window.show();
        window.setOuterWidthTwips(10740);
        window.move(px(1500), px(750));
        window.close();
    }
    {
        SettingsStore settings(g.ini);
        EXPECT_EQ(settings.readTwips(u"MainWindow"_s, u"Left"_s, 0), 1500.0F);
        EXPECT_EQ(settings.readTwips(u"MainWindow"_s, u"Top"_s, 0), 750.0F);
        EXPECT_EQ(settings.readTwips(u"MainWindow"_s, u"Width"_s, 0), 10740.0F);
        MainWindow window(settings, &g.sink);
        window.show();
        EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(px(1500), px(750)));
        EXPECT_EQ(window.outerWidthTwips(), 10740);
        // Closing while minimised stores nothing.
        window.move(px(3000), px(3000));
        window.showMinimized();
        window.close();
        EXPECT_EQ(settings.readTwips(u"MainWindow"_s, u"Left"_s, 0), 1500.0F);
    }
}

TEST(MainWindow, PlacementOffEveryScreenOrNotANumberGivesTheDefaults)
{
    Gui g;
    for (const auto& [left, width] : {std::pair{u"-900000"_s, u"10740"_s},
                                      std::pair{u"99999999999"_s, u"10740"_s},
                                      std::pair{u"abc"_s, u"10740"_s},
                                      std::pair{u"1000"_s, u"wide"_s}}) {
        {
            SettingsStore settings(g.ini);
            settings.writeText(u"MainWindow"_s, u"Left"_s, left);
            settings.writeText(u"MainWindow"_s, u"Top"_s, u"1000"_s);
            settings.writeText(u"MainWindow"_s, u"Width"_s, width);
        }
        SettingsStore settings(g.ini);
        MainWindow window(settings, &g.sink);
        window.show();
        EXPECT_EQ(window.frameGeometry().left(), px(1000)) << left.toStdString();
        if (left == u"-900000") {
            EXPECT_EQ(window.outerWidthTwips(), 2880);
        }
    }
}

TEST(MainWindow, ClosingTheMainWindowClosesTheOthers)
{
    Gui g;
    SettingsStore settings(g.ini);
    MainWindow window(settings, &g.sink);
    window.show();
    QWidget other;
    other.show();
    window.close();
    EXPECT_FALSE(other.isVisible());
}

TEST(MainWindow, AWindowLargerThanTheScreenIsShownWithinItAndItsSizeKept)
{
    Gui g;
    SettingsStore settings(g.ini);
    // Far more than the screens the tests run on, as a large scale factor makes it.
    settings.writeTwips(u"OddsChart"_s, u"Left"_s, 300);
    settings.writeTwips(u"OddsChart"_s, u"Top"_s, 300);
    settings.writeTwips(u"OddsChart"_s, u"Width"_s, 30000);
    settings.writeTwips(u"OddsChart"_s, u"Height"_s, 20000);
    {
        MainWindow window(settings, &g.sink);
        window.show();
        window.showOddsChart();
        const QWidget* chart = window.oddsChart();
        const QRect available = chart->screen()->availableGeometry();
        EXPECT_LE(chart->frameGeometry().right(), available.right());
        EXPECT_LE(chart->frameGeometry().bottom(), available.bottom());
        window.close();
    }
    EXPECT_EQ(settings.readTwips(u"OddsChart"_s, u"Width"_s, 0), 30000);
    EXPECT_EQ(settings.readTwips(u"OddsChart"_s, u"Height"_s, 0), 20000);
}
