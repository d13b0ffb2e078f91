// SPDX-License-Identifier: MIT
// The main window's ways to and from a race, offscreen: a dropped file, the recent races and
// the CSV.
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTableView>
#include <QTest>
#include <QUrl>

#include "gui/main_window.h"
#include "main_window_support.h"
#include "race/csv_export.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

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

TEST(MainWindowCsv, WritesTheRaceShownAndReportsFailures)
{
    Gui g;
    SettingsStore settings(g.ini);
    MainWindow window(settings, &g.sink);
    window.loadRace(g.writeRaces());
    const QString out = g.folder.filePath(u"race.csv"_s);
    ASSERT_TRUE(window.writeCsvFile(out));
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), CsvExport::build(window.display()));
    EXPECT_TRUE(g.sink.messages.empty());

    EXPECT_FALSE(window.writeCsvFile(g.folder.filePath(u"missing/race.csv"_s)));
    ASSERT_EQ(g.sink.messages.size(), 2u);
    EXPECT_TRUE(g.sink.messages[0].text.contains(u"race.csv"));
    EXPECT_EQ(g.sink.messages[1].text, u"ファイルの保存に失敗しました。");
    EXPECT_EQ(g.sink.messages[1].title, u"えらー");
    EXPECT_EQ(g.sink.messages[1].icon, MessageIcon::Critical);
}
