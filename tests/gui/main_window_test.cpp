// SPDX-License-Identifier: MIT
// The real main window, offscreen: what it shows, its view buttons and its placement.
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QUrl>

#include "gui/main_window.h"
#include "gui/odds_chart_window.h"
#include "gui/pair_list_model.h"
#include "gui_support.h"
#include "race_generator.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kDpi = 96; // offscreen and Xvfb

int px(int twips)
{
    return qRound(twips * kDpi / 1440.0);
}

struct Gui
{
    TestFolder folder;
    QString ini = folder.filePath(u"settings.ini"_s);
    RecordingMessageSink sink;

    // An 18-runner race with every file, and one of 7 runners without a result.
    QString writeRaces()
    {
        PatRandom random(11);
        QString first;
        for (const int runners : {18, 7}) {
            const GeneratedRace race
                = generateRace(random, runners == 18 ? 10 : 3, runners, runners == 18);
            QString error;
            EXPECT_TRUE(writeRaceSet(folder.path(), race, &error));
            if (first.isEmpty()) {
                first = folder.filePath(winPlaceOddsFileName(race));
            }
        }
        return first;
    }
};

// A control's place in the client area, whichever panel holds it.
QRect inClient(QWidget& window, const QWidget* control)
{
    const auto* client = child<QWidget>(window, u"client"_s);
    return {control->mapTo(client, QPoint()), control->size()};
}

QString labelText(QWidget& window, const QString& name)
{
    const auto* label = child<QLabel>(window, name);
    return label != nullptr ? label->text() : QString();
}

} // namespace

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

namespace {

void clickHeading(QTableView* view, int column, Qt::MouseButton button)
{
    QHeaderView* header = view->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), button, {}, at);
}

QStringList columnTexts(QTableView* view, int column)
{
    QStringList texts;
    for (int r = 0; r < view->model()->rowCount(); ++r) {
        texts << view->model()->index(r, column).data().toString();
    }
    return texts;
}

} // namespace

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

namespace {

QMimeData* filesMime(const QStringList& paths)
{
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths) {
        urls << QUrl::fromLocalFile(p);
    }
    mime->setUrls(urls);
    return mime;
}

// Whether the window takes the drag when it enters, and then what a drop there does.
bool dragEnters(MainWindow& window, const QMimeData* mime)
{
    QDragEnterEvent enter(QPoint(20, 60), Qt::CopyAction, mime, Qt::LeftButton, {});
    enter.ignore();
    QApplication::sendEvent(&window, &enter);
    return enter.isAccepted();
}

void drop(MainWindow& window, const QMimeData* mime)
{
    QDropEvent event(QPointF(20, 60), Qt::CopyAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &event);
    QApplication::processEvents();
}

bool anyMessageBox()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](QWidget* w) {
        return qobject_cast<QMessageBox*>(w) != nullptr && w->isVisible();
    });
}

// The recent races as the file menu lists them: texts and tooltips.
QStringList recentMenu(MainWindow& window)
{
    QStringList shown;
    for (QAction* a : child<QMenu>(window, u"mnuFile"_s)->actions()) {
        if (a->objectName().startsWith(u"mnuFileRecent_")) {
            shown << a->text() + u'|' + a->toolTip();
        }
    }
    return shown;
}

} // namespace

TEST(MainWindow, ADroppedZoFileOpensAndAnyOtherDropIsRefusedInTheWindow)
{
    Gui g;
    const QString zo = g.writeRaces();
    const QString other = g.folder.write(u"notes.txt"_s, "text");
    SettingsStore settings(g.ini);
    MainWindow window(settings, &g.sink);
    window.show();
    auto* status = child<QLabel>(window, u"lblStatus"_s);

    const std::unique_ptr<QMimeData> zoDrag(filesMime({zo}));
    EXPECT_TRUE(dragEnters(window, zoDrag.get()));
    drop(window, zoDrag.get());
    EXPECT_EQ(window.display().currentFile(), zo);
    EXPECT_EQ(window.recentFiles(), QStringList{zo});
    const QString shown = labelText(window, u"lblKaisai"_s);
    ASSERT_FALSE(shown.isEmpty());

    // One other file enters, but its drop only leaves a note.
    const std::unique_ptr<QMimeData> otherDrag(filesMime({other}));
    EXPECT_TRUE(dragEnters(window, otherDrag.get()));
    drop(window, otherDrag.get());
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(status->text().contains(u"notes.txt"_s)) << status->text().toStdString();
    EXPECT_EQ(window.display().currentFile(), zo);
    EXPECT_EQ(labelText(window, u"lblKaisai"_s), shown);
    // Several files or a text never enter (so never drop); the note tells as they try.
    const std::unique_ptr<QMimeData> twoDrag(filesMime({zo, other}));
    auto textDrag = std::make_unique<QMimeData>();
    textDrag->setText(zo);
    for (const QMimeData* refused : {twoDrag.get(), textDrag.get()}) {
        status->clear();
        EXPECT_FALSE(dragEnters(window, refused));
        EXPECT_TRUE(status->isVisible());
        EXPECT_FALSE(status->text().isEmpty());
    }
    EXPECT_EQ(window.display().currentFile(), zo);
    // Inside the summary view, over everything else.
    EXPECT_LE(status->geometry().right(), window.width());
    EXPECT_GT(status->height(), 0);
    saveScreenshot(window, u"main-drop-refused.png"_s);
    EXPECT_TRUE(g.sink.messages.empty());
    EXPECT_FALSE(anyMessageBox());
    EXPECT_EQ(window.recentFiles(), QStringList{zo});

    // The next load takes the note away.
    window.loadRace(zo);
    EXPECT_FALSE(status->isVisible());
    EXPECT_TRUE(status->text().isEmpty());
}

TEST(MainWindow, RecentRacesAreOrderedWithoutDuplicatesCappedAndKept)
{
    Gui g;
    PatRandom random(3);
    QStringList races;
    for (int index = 0; index < 10; ++index) {
        const GeneratedRace race = generateRace(random, index, 5, false);
        QString error;
        ASSERT_TRUE(writeRaceSet(g.folder.path(), race, &error)) << error.toStdString();
        races << g.folder.filePath(winPlaceOddsFileName(race));
    }
    ASSERT_EQ(QSet<QString>(races.begin(), races.end()).size(), 10);
    {
        SettingsStore settings(g.ini);
        MainWindow window(settings, &g.sink);
        EXPECT_TRUE(recentMenu(window).isEmpty());
        EXPECT_FALSE(child<QAction>(window, u"mnuFileRecentBar"_s)->isVisible());
        for (const QString& race : races) {
            window.loadRace(race);
        }
        // Again a race already listed: it moves to the top, once. A failed load adds nothing.
        window.loadRace(races[4]);
        window.loadRace(g.folder.write(u"Zo-broken.jra"_s, "short"));
        EXPECT_EQ(g.sink.messages.size(), 1u);
        const QStringList expected
            = {races[4], races[9], races[8], races[7], races[6], races[5], races[3], races[2]};
        EXPECT_EQ(window.recentFiles(), expected);
        EXPECT_TRUE(child<QAction>(window, u"mnuFileRecentBar"_s)->isVisible());
        const QStringList menu = recentMenu(window);
        ASSERT_EQ(menu.size(), 8);
        EXPECT_EQ(menu[0],
                  u"&1 "_s + QFileInfo(races[4]).fileName() + u'|'
                      + QDir::toNativeSeparators(races[4]));
        EXPECT_EQ(menu[7],
                  u"&8 "_s + QFileInfo(races[2]).fileName() + u'|'
                      + QDir::toNativeSeparators(races[2]));
    }

    // Another window on the same store lists the same; a chosen race opens and moves up, one
    // that is gone leaves the list with a note and no message box.
    SettingsStore settings(g.ini);
    g.sink.messages.clear();
    MainWindow window(settings, &g.sink);
    window.show();
    const QStringList kept = window.recentFiles();
    ASSERT_EQ(kept.size(), 8);
    EXPECT_EQ(recentMenu(window).size(), 8);
    child<QAction>(window, u"mnuFileRecent_3"_s)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(window.display().currentFile(), kept[2]);
    EXPECT_EQ(window.recentFiles().first(), kept[2]);

    ASSERT_TRUE(QFile::remove(kept[5]));
    const QString before = window.display().currentFile();
    window.openRecent(kept[5]);
    EXPECT_EQ(window.display().currentFile(), before);
    EXPECT_EQ(window.recentFiles().size(), 7);
    EXPECT_FALSE(window.recentFiles().contains(kept[5]));
    EXPECT_EQ(recentMenu(window).size(), 7);
    EXPECT_TRUE(labelText(window, u"lblStatus"_s).contains(QFileInfo(kept[5]).fileName()));
    EXPECT_TRUE(g.sink.messages.empty());
    EXPECT_FALSE(anyMessageBox());
}

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
