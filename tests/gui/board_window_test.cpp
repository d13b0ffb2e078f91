// SPDX-License-Identifier: MIT
// The race day in the window: every fetch PAT writes into the folder is recorded, the board
// lists the day's races and follows the folder, and its rows open races.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "archive/odds_archive.h"
#include "gui/board_window.h"
#include "gui/main_window.h"
#include "gui/race_day.h"
#include "gui_support.h"
#include "main_window_support.h"
#include "race/folder_recorder.h"
#include "race/race_display.h"
#include "realistic_season.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

// Copies every file of `from` into `to` as PAT's fetch writes them: each whole, with its time,
// under its name at once.
void copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QFileInfo& file : QDir(from).entryInfoList(QDir::Files)) {
        const QString target = QDir(to).filePath(file.fileName());
        const QString part = target + u".part"_s;
        QFile::remove(part);
        ASSERT_TRUE(QFile::copy(file.filePath(), part));
        QFile copy(part);
        ASSERT_TRUE(copy.open(QIODevice::ReadWrite));
        copy.setFileTime(file.lastModified(), QFileDevice::FileModificationTime);
        copy.close();
        QFile::remove(target);
        ASSERT_TRUE(QFile::rename(part, target));
    }
}

// One course-day with the odds of each fetch in snapshots/m60 … m02.
bool writeDay(const TestFolder& folder)
{
    RealisticSeasonOptions options;
    options.seed = 12;
    options.days = 1;
    options.snapshotFolder = folder.filePath(u"snapshots"_s);
    QString error;
    const bool written = writeRealisticSeason(folder.filePath(u"season"_s), options, &error);
    EXPECT_TRUE(written) << qPrintable(error);
    return written;
}

} // namespace

TEST(BoardWindow, RecordsEveryFetchListsTheDayAndOpensItsRaces)
{
    TestFolder folder;
    ASSERT_TRUE(writeDay(folder));
    const QString pat = folder.filePath(u"pat"_s);
    copyFolder(folder.filePath(u"snapshots/m60"_s), pat);
    OddsArchive::setDefaultPath(folder.filePath(u"odds.sqlite"_s));

    SettingsStore settings(folder.filePath(u"s.ini"_s));
    settings.setPatFolder(pat);
    RecordingMessageSink sink;
    MainWindow window(settings, &sink);
    auto* day = window.findChild<RaceDay*>();
    ASSERT_NE(day, nullptr);
    ASSERT_NE(day->archive(), nullptr);
    QSignalSpy recorded(day->recorder(), &FolderRecorder::racesChanged);
    ASSERT_TRUE(recorded.wait(5000)); // the odds there at the start
    child<QAction>(window, u"mnuFileBoard"_s)->trigger();
    BoardWindow* board = day->board();
    ASSERT_NE(board, nullptr);
    EXPECT_TRUE(board->isVisible());
    ASSERT_EQ(board->table()->model()->rowCount(), 12);

    // PAT writes the next fetch: recorded, and the board shows how the odds moved.
    copyFolder(folder.filePath(u"snapshots/m30"_s), pat);
    EXPECT_TRUE(QTest::qWaitFor([&] { return day->archive()->info().snapshots == 24; }, 20'000));
    QTest::qWait(50); // the board refreshes as the last race is recorded
    for (const BoardRow& row : board->board().rows()) {
        EXPECT_TRUE(row.largestMove.has_value()) << qPrintable(row.file);
    }

    // The countdown: under a minute in red, 締切 after the close; the option follows the next.
    const BoardRow first = board->board().rows().front();
    board->setNow(first.post.addSecs(-150));
    auto* model = qobject_cast<QStandardItemModel*>(board->table()->model());
    int row = 0;
    while (model->item(row, 0)->data(Qt::UserRole + 1).toString() != first.path) {
        ++row;
    }
    EXPECT_EQ(model->item(row, 3)->text(), u"1分"_s);
    EXPECT_EQ(model->item(row, 3)->foreground().color(), QColor(Qt::red));
    // Once the last race has closed every row is grey; before, only the closed ones.
    board->setNow(board->board().rows().back().post);
    for (int r = 0; r < model->rowCount(); ++r) {
        EXPECT_EQ(model->item(r, 0)->foreground().color(), QColor(Qt::gray)) << r;
    }
    board->setNow(first.post.addSecs(-150));
    EXPECT_NE(model->item(row, 0)->foreground().color(), QColor(Qt::gray));
    child<QCheckBox>(*board, u"chkFollowNext"_s)->setChecked(true);
    EXPECT_EQ(window.display().currentFile(), first.path);
    board->setNow(first.post.addSecs(-60));
    EXPECT_EQ(model->item(row, 3)->text(), u"締切"_s);
    EXPECT_NE(window.display().currentFile(), first.path);
    // The race shown takes its history from the archive: both fetches.
    EXPECT_EQ(window.display().history().snapshots().size(), 2U);

    // A double-click opens the race of the row.
    const QModelIndex cell = board->table()->model()->index(row, 1);
    Q_EMIT board->table()->doubleClicked(cell);
    EXPECT_EQ(window.display().currentFile(), first.path);
    saveScreenshot(*board, u"board.png"_s);
    EXPECT_TRUE(sink.messages.empty());
}

// An archive that is no database: the window says so on its status line and runs without it.
TEST(BoardWindow, WindowRunsWithoutAnArchiveThatIsNoDatabase)
{
    TestFolder folder;
    OddsArchive::setDefaultPath(folder.write(u"odds.sqlite"_s, QByteArray(4096, 'x')));
    SettingsStore settings(folder.filePath(u"s.ini"_s));
    settings.setPatFolder(folder.path());
    RecordingMessageSink sink;
    MainWindow window(settings, &sink);
    EXPECT_EQ(window.findChild<RaceDay*>()->archive(), nullptr);
    bool said = false;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        said = said || label->text().startsWith(u"オッズの記録を使えません"_s);
    }
    EXPECT_TRUE(said);
    child<QAction>(window, u"mnuFileBoard"_s)->trigger();
    EXPECT_TRUE(window.findChild<RaceDay*>()->board()->isVisible());
    EXPECT_TRUE(sink.messages.empty());
}

// The recorder follows the PAT folder the options set, and one that is missing at start once
// it appears, and says so on the status line.
TEST(BoardWindow, RecordingFollowsTheFolderOfTheOptionsAndOneThatAppearsLate)
{
    TestFolder folder;
    ASSERT_TRUE(writeDay(folder));
    const QString late = folder.filePath(u"share/pat"_s);
    SettingsStore settings(folder.filePath(u"s.ini"_s));
    settings.setPatFolder(late);
    RecordingMessageSink sink;
    MainWindow window(settings, &sink);
    auto* day = window.findChild<RaceDay*>();
    FolderRecorder* recorder = day->recorder();
    EXPECT_FALSE(recorder->isWatching());

    copyFolder(folder.filePath(u"snapshots/m60"_s), late);
    recorder->lookForFolder(); // as its timer does a moment later
    EXPECT_TRUE(recorder->isWatching());
    EXPECT_TRUE(labelText(window, u"lblStatus"_s).startsWith(u"オッズの記録を始めました"_s))
        << labelText(window, u"lblStatus"_s).toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return day->archive()->info().snapshots == 12; }, 20'000));

    // Another folder chosen in the options: followed as the dialog closes.
    const QString other = folder.filePath(u"other"_s);
    copyFolder(folder.filePath(u"snapshots/m30"_s), other);
    settings.setPatFolder(other);
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialog->reject();
        }
    });
    child<QAction>(window, u"mnuToolOption"_s)->trigger();
    EXPECT_EQ(QDir(recorder->folder()), QDir(other));
    EXPECT_TRUE(QTest::qWaitFor([&] { return day->archive()->info().snapshots == 24; }, 20'000));
    EXPECT_TRUE(sink.messages.empty());
}
