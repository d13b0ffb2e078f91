// SPDX-License-Identifier: MIT
// The PAT file list window and the CSV command, offscreen.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "gui/file_list_window.h"
#include "gui/main_window.h"
#include "gui_support.h"
#include "race/csv_export.h"
#include "race_generator.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

struct ListFixture
{
    TestFolder folder;
    SettingsStore settings{folder.filePath(u"settings.ini"_s)};
    RecordingMessageSink sink;
    PatRandom random{21};

    ListFixture() { settings.setPatFolder(folder.path()); }

    GeneratedRace addRace(int index, int runners)
    {
        const GeneratedRace race = generateRace(random, index, runners, false);
        QString error;
        EXPECT_TRUE(writeRaceSet(folder.path(), race, &error));
        return race;
    }
};

void doubleClickRow(QTableView* grid, int row)
{
    const QRect cell = grid->visualRect(grid->model()->index(row, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

} // namespace

TEST(FileListWindow, PickDoubleClickHideShowAndUpdate)
{
    ListFixture f;
    const GeneratedRace first = f.addRace(0, 6);
    const GeneratedRace second = f.addRace(1, 8);
    MainWindow window(f.settings, &f.sink);
    window.show();
    window.showFileList();
    FileListWindow* list = window.fileList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->objectName(), u"frmSelectFile");
    EXPECT_EQ(list->windowTitle(), u"PATﾌｧｲﾙの選択");
    auto* grid = list->findChild<QTableView*>(u"grdFileList"_s);
    ASSERT_NE(grid, nullptr);
    ASSERT_EQ(grid->model()->rowCount(), 2);

    // "決定" before any row is chosen.
    list->findChild<QPushButton*>(u"btnSelect"_s)->click();
    ASSERT_EQ(f.sink.messages.size(), 1u);
    EXPECT_EQ(f.sink.messages[0].text, u"行を選んでちょ");

    saveScreenshot(*list, u"file-list.png"_s);
    doubleClickRow(grid, 0);
    EXPECT_TRUE(window.display().currentFile().endsWith(winPlaceOddsFileName(first)));
    EXPECT_TRUE(list->isVisible());
    doubleClickRow(grid, 1);
    EXPECT_TRUE(window.display().currentFile().endsWith(winPlaceOddsFileName(second)));
    EXPECT_EQ(window.display().horseNum(), u"8");

    // "閉じる" hides; a race added meanwhile shows only after "最新を反映".
    list->findChild<QPushButton*>(u"btnClose"_s)->click();
    EXPECT_FALSE(list->isVisible());
    f.addRace(2, 5);
    window.showFileList();
    EXPECT_EQ(window.fileList(), list);
    EXPECT_EQ(grid->model()->rowCount(), 2);
    list->findChild<QPushButton*>(u"btnUpdate"_s)->click();
    EXPECT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(f.sink.messages.size(), 1u);

    // Closing the main window closes the list and stores its placement.
    list->move(300, 200);
    window.close();
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(f.settings.readTwips(u"SelectFileWindow"_s, u"Left"_s, 0), 4500.0F);
    EXPECT_EQ(f.settings.readTwips(u"SelectFileWindow"_s, u"Top"_s, 0), 3000.0F);
}

TEST(FileListWindow, ResizeKeepsTheButtonsAtTheBottom)
{
    ListFixture f;
    MainWindow window(f.settings, &f.sink);
    window.showFileList();
    FileListWindow* list = window.fileList();
    list->resize(600, 500);
    auto* button = list->findChild<QPushButton*>(u"btnSelect"_s);
    auto* grid = list->findChild<QTableView*>(u"grdFileList"_s);
    // From the outer height: buttons 900 twips above it, the grid 1125 twips shorter.
    const int outer = list->frameGeometry().height();
    EXPECT_EQ(button->y(), outer - 60);
    EXPECT_EQ(grid->height(), outer - 75);
    list->resize(600, 40); // too small for a grid: left as it was
    EXPECT_EQ(grid->height(), outer - 75);
}

TEST(MainWindowCsv, WritesTheRaceShownAndReportsFailures)
{
    ListFixture f;
    const GeneratedRace race = f.addRace(0, 5);
    MainWindow window(f.settings, &f.sink);
    window.loadRace(f.folder.filePath(winPlaceOddsFileName(race)));
    const QString out = f.folder.filePath(u"race.csv"_s);
    ASSERT_TRUE(window.writeCsvFile(out));
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), CsvExport::build(window.display()));
    EXPECT_TRUE(f.sink.messages.empty());

    EXPECT_FALSE(window.writeCsvFile(f.folder.filePath(u"missing/race.csv"_s)));
    ASSERT_EQ(f.sink.messages.size(), 2u);
    EXPECT_TRUE(f.sink.messages[0].text.contains(u"race.csv"));
    EXPECT_EQ(f.sink.messages[1].text, u"ファイルの保存に失敗しました。");
    EXPECT_EQ(f.sink.messages[1].title, u"えらー");
    EXPECT_EQ(f.sink.messages[1].icon, MessageIcon::Critical);
}

TEST(FileListWindow, FollowsRacesAddedAndRemovedKeepingTheChosenRow)
{
    ListFixture f;
    f.addRace(0, 6);
    const GeneratedRace chosen = f.addRace(1, 8);
    MainWindow window(f.settings, &f.sink);
    window.showFileList();
    FileListWindow* list = window.fileList();
    auto* grid = child<QTableView>(*list, u"grdFileList"_s);
    ASSERT_EQ(list->model().rowCount(), 2);
    const QString chosenName = winPlaceOddsFileName(chosen);
    for (int row = 0; row < 2; ++row) {
        if (list->model().fileName(row) == chosenName) {
            grid->setCurrentIndex(list->model().index(row, 1));
        }
    }
    const auto chosenRow = [&] {
        const QModelIndex current = grid->currentIndex();
        return current.isValid() ? list->model().fileName(current.row()) : QString();
    };
    ASSERT_EQ(chosenRow(), chosenName);

    // Two races arrive, then one of them goes.
    const GeneratedRace added = f.addRace(2, 10);
    f.addRace(3, 12);
    QTRY_COMPARE_WITH_TIMEOUT(list->model().rowCount(), 4, 5000);
    EXPECT_EQ(chosenRow(), chosenName);
    ASSERT_TRUE(QFile::remove(f.folder.filePath(winPlaceOddsFileName(added))));
    QTRY_COMPARE_WITH_TIMEOUT(list->model().rowCount(), 3, 5000);
    EXPECT_EQ(chosenRow(), chosenName);

    // A race whose Zo- file is caught half-written comes in once it is whole.
    const GeneratedRace late = generateRace(f.random, 4, 9, false);
    const QByteArray zo = raceSetFiles(late).front().bytes;
    f.folder.write(winPlaceOddsFileName(late), zo.left(40));
    QTest::qWait(FileListWindow::kQuietMilliseconds + 200);
    EXPECT_EQ(list->model().rowCount(), 3);
    f.folder.write(winPlaceOddsFileName(late), zo);
    QTRY_COMPARE_WITH_TIMEOUT(list->model().rowCount(), 4, 5000);
    EXPECT_EQ(chosenRow(), chosenName);
    EXPECT_TRUE(f.sink.messages.empty());
}
