// SPDX-License-Identifier: MIT
// The PAT file list window, offscreen.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "gui/file_list_window.h"
#include "gui/folder_picker.h"
#include "gui/main_window.h"
#include "gui/options_dialog.h"
#include "gui_support.h"
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
    QSignalSpy retrying(list, &FileListWindow::retrying);
    f.folder.write(winPlaceOddsFileName(late), zo.left(40));
    ASSERT_TRUE(retrying.wait(5000));
    EXPECT_EQ(list->model().rowCount(), 3);
    f.folder.write(winPlaceOddsFileName(late), zo);
    QTRY_COMPARE_WITH_TIMEOUT(list->model().rowCount(), 4, 5000);
    EXPECT_EQ(chosenRow(), chosenName);
    EXPECT_TRUE(f.sink.messages.empty());
}

TEST(FileListWindow, AMissingPatFolderIsNamedWithWhereToSetIt)
{
    ListFixture f;
    const QString missing = f.folder.filePath(u"wine/drive_c/Pat98"_s);
    f.settings.setPatFolder(missing);
    MainWindow window(f.settings, &f.sink);
    window.show();
    // The main window says so at start, in its note: no message box keeps the program from
    // starting.
    const auto* status = child<QLabel>(window, u"lblStatus"_s);
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(status->text().contains(QDir::toNativeSeparators(missing)));
    EXPECT_TRUE(status->text().contains(u"ﾂｰﾙ → ｵﾌﾟｼｮﾝ"));
    EXPECT_TRUE(f.sink.messages.empty());
    window.showFileList();
    FileListWindow* list = window.fileList();
    const auto* note = child<QLabel>(*list, u"lblMissingFolder"_s);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), status->text());
    EXPECT_GT(note->width(), 0);

    // The options open their folder list on the nearest folder that exists, and keep the
    // stored text.
    const QString stored = f.settings.getPatFolder();
    {
        OptionsDialog dialog(f.settings, f.sink, &window);
        EXPECT_EQ(child<FolderPicker>(dialog, u"Frame1"_s)->listedFolder(), f.folder.path());
        EXPECT_EQ(child<QLineEdit>(dialog, u"txtPatFolder"_s)->text(), stored);
    }

    // Once the folder is there, the list shows its races and the note goes.
    ASSERT_TRUE(QDir().mkpath(missing));
    const GeneratedRace race = generateRace(f.random, 0, 6, false);
    QString error;
    ASSERT_TRUE(writeRaceSet(missing, race, &error));
    child<QPushButton>(*list, u"btnUpdate"_s)->click();
    EXPECT_FALSE(note->isVisible());
    EXPECT_EQ(list->model().rowCount(), 1);
    EXPECT_TRUE(f.sink.messages.empty());
}
