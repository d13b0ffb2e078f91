// SPDX-License-Identifier: MIT
// The windows under a real window manager, which offscreen tests cannot see: frames that arrive
// after the window is mapped, outer sizes, placement over several runs of the program, message
// boxes.
// Runs when scripts/test has started Xvfb and openbox (MIKAZUKI_WM names the manager).
#include <functional>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "gui/about_dialog.h"
#include "gui/file_list_window.h"
#include "gui/main_window.h"
#include "gui/options_dialog.h"
#include "gui/widget_message_sink.h"
#include "gui_support.h"
#include "own_archive.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

bool g_haveWindowManager = false;

int px(double twips)
{
    return qRound(twips * 96 / 1440.0);
}

QRect pxRect(double left, double top, double width, double height)
{
    return {px(left), px(top), px(width), px(height)};
}

bool waitFor(const std::function<bool()>& condition, int ms = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

// Shown, framed by the manager, and settled at `outer` (or as it ends up, after the wait).
void waitUntilFramedAt(QWidget& window, const std::function<QRect()>& outer)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(waitFor([&] { return window.frameGeometry() != window.geometry(); }))
        << "no frame from the window manager";
    waitFor([&] { return window.frameGeometry() == outer(); });
    QTest::qWait(50);
}

using Placement = std::vector<std::pair<QString, QString>>; // key, stored text

void store(const QString& ini, const QString& section, const Placement& placement)
{
    SettingsStore settings(ini);
    for (const auto& [key, text] : placement) {
        settings.writeText(section, key, text);
    }
}

// The stored placement is still what it was before the run.
void expectStored(const SettingsStore& settings, const QString& section, const Placement& placement)
{
    for (const auto& [key, text] : placement) {
        EXPECT_EQ(settings.readText(section, key, u"(none)"_s), text) << key.toStdString();
    }
}

// Answers the next message box with OK, noting the window it belongs to and where it showed.
struct MessageWatch
{
    QWidget* parent = nullptr;
    QRect frame;
    QString text;

    void arm()
    {
        QTimer::singleShot(0, [this] { answer(); });
    }

    void answer()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            QTimer::singleShot(20, [this] { answer(); });
            return;
        }
        waitFor([&] { return box->frameGeometry() != box->geometry(); }, 1000);
        QTest::qWait(50);
        parent = box->parentWidget();
        frame = box->frameGeometry();
        text = box->text();
        box->accept();
    }
};

class WindowManager : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!g_haveWindowManager) {
            GTEST_SKIP() << "needs an X display with a window manager (scripts/test starts "
                            "Xvfb and openbox and sets MIKAZUKI_WM)";
        }
    }

    TestFolder folder;
    QString ini = folder.filePath(u"settings.ini"_s);
    RecordingMessageSink sink;
};

} // namespace

TEST_F(WindowManager, MainWindowKeepsItsOuterGeometryOverRunsAndViews)
{
    const Placement placement
        = {{u"Left"_s, u"1200"_s}, {u"Top"_s, u"600"_s}, {u"Width"_s, u"10740"_s}};
    store(ini, u"MainWindow"_s, placement);
    for (int run = 0; run < 3; ++run) {
        SettingsStore settings(ini);
        MainWindow window(settings, &sink);
        window.show();
        const QRect placed = pxRect(1200, 600, 10740, 7200);
        waitUntilFramedAt(window, [&] { return placed; });
        EXPECT_EQ(window.frameGeometry(), placed) << "run " << run;
        // The frame "元データ" lies below the window's edge in every view.
        for (const int width :
             {MainWindow::kFurtherWidth, MainWindow::kSummaryWidth, MainWindow::kDetailWidth}) {
            window.setOuterWidthTwips(width);
            const QRect outer = pxRect(1200, 600, width, 7200);
            waitFor([&] { return window.frameGeometry() == outer; });
            EXPECT_EQ(window.frameGeometry(), outer) << "width " << width;
            const QWidget* frame = child<QWidget>(window, u"Frame1"_s);
            EXPECT_GE(frame->mapToGlobal(QPoint(0, 0)).y(), window.frameGeometry().bottom());
        }
        window.close();
        expectStored(settings, u"MainWindow"_s, placement);
    }
}

TEST_F(WindowManager, FileListKeepsItsOuterGeometryOverRuns)
{
    // A size that would grow by the frame at every run if the frame were stored with it.
    const Placement placement = {{u"Left"_s, u"1500"_s},
                                 {u"Top"_s, u"1200"_s},
                                 {u"Height"_s, u"6555"_s},
                                 {u"Width"_s, u"7665"_s}};
    store(ini, u"SelectFileWindow"_s, placement);
    SettingsStore(ini).setPatFolder(folder.path());
    for (int run = 0; run < 3; ++run) {
        SettingsStore settings(ini);
        MainWindow window(settings, &sink);
        window.show();
        window.showFileList();
        FileListWindow& list = *window.fileList();
        const QRect placed = pxRect(1500, 1200, 7665, 6555);
        waitUntilFramedAt(list, [&] { return placed; });
        EXPECT_EQ(list.frameGeometry(), placed) << "run " << run;
        // Hidden by "閉じる" and shown again: still where it was.
        child<QPushButton>(list, u"btnClose"_s)->click();
        window.showFileList();
        waitUntilFramedAt(list, [&] { return placed; });
        EXPECT_EQ(list.frameGeometry(), placed);
        window.close();
        expectStored(settings, u"SelectFileWindow"_s, placement);
    }
}

TEST_F(WindowManager, DialogsOpenWhereTheyWereAndAsLarge)
{
    const Placement placement = {{u"Left"_s, u"2010"_s}, {u"Top"_s, u"1500"_s}};
    store(ini, u"OptionWindow"_s, placement);
    SettingsStore settings(ini);
    MainWindow window(settings, &sink);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QRect firstAbout;
    for (int time = 0; time < 3; ++time) {
        {
            OptionsDialog dialog(settings, sink, &window);
            dialog.show();
            const QPoint at(px(2010), px(1500));
            waitUntilFramedAt(dialog, [&] { return QRect(at, dialog.frameGeometry().size()); });
            EXPECT_EQ(dialog.frameGeometry().topLeft(), at) << "time " << time;
            dialog.reject();
        }
        expectStored(settings, u"OptionWindow"_s, placement);

        AboutDialog about(&window);
        about.show();
        waitUntilFramedAt(about, [&] { return firstAbout; });
        if (time == 0) {
            firstAbout = about.frameGeometry();
        }
        EXPECT_EQ(about.frameGeometry(), firstAbout) << "time " << time;
        about.reject();
    }
}

TEST_F(WindowManager, MessagesAreCentredOnTheWindowTheyBelongTo)
{
    SettingsStore settings(ini);
    settings.setPatFolder(folder.path());
    MainWindow window(settings); // messages in real message boxes
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto centred = [](const QRect& box, const QRect& on) {
        const QPoint off = box.center() - on.center();
        return qAbs(off.x()) <= 2 && qAbs(off.y()) <= 24; // a title bar's difference at most
    };

    // The options dialog's check.
    {
        WidgetMessageSink dialogSink(&window);
        OptionsDialog dialog(settings, dialogSink, &window);
        dialog.setModal(true);
        dialog.show();
        waitUntilFramedAt(dialog, [&] { return dialog.frameGeometry(); });
        child<QComboBox>(dialog, u"cmbDetectMinUma_0"_s)->setEditText(u"abc"_s);
        MessageWatch watch;
        watch.arm();
        child<QPushButton>(dialog, u"btnOk"_s)->click();
        EXPECT_EQ(watch.parent, &dialog);
        EXPECT_TRUE(centred(watch.frame, dialog.frameGeometry()))
            << "box " << watch.frame.center().x() << "," << watch.frame.center().y();
        dialog.reject();
    }

    // "決定" in the file list without a row.
    window.showFileList();
    FileListWindow& list = *window.fileList();
    waitUntilFramedAt(list, [&] { return list.frameGeometry(); });
    list.activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &list; }));
    MessageWatch watch;
    watch.arm();
    child<QPushButton>(list, u"btnSelect"_s)->click();
    EXPECT_EQ(watch.text, u"行を選んでちょ");
    EXPECT_EQ(watch.parent, &list);
    EXPECT_TRUE(centred(watch.frame, list.frameGeometry()));
    window.close();
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    g_haveWindowManager
        = !qEnvironmentVariableIsEmpty("DISPLAY") && !qEnvironmentVariableIsEmpty("MIKAZUKI_WM");
    qputenv("QT_QPA_PLATFORM", g_haveWindowManager ? "xcb" : "offscreen");
    if (!g_haveWindowManager) {
        std::puts("gui_wm: skipped: no X display with a window manager (MIKAZUKI_WM unset)");
    }
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    // Nor the user's data: the odds archive goes there.
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));
    QApplication app(argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new OwnArchivePerTest);
    return RUN_ALL_TESTS();
}
