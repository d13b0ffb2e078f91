// SPDX-License-Identifier: MIT
// The version window, offscreen: its texts, its address rows and what a click on one does.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/about_dialog.h"
#include "gui/main_window.h"
#include "gui_support.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

QString text(QWidget& window, const QString& name)
{
    const auto* label = window.findChild<QLabel*>(name);
    EXPECT_NE(label, nullptr) << name.toStdString();
    return label != nullptr ? label->text() : QString();
}

struct OpenCall
{
    QUrl url;
    bool waitCursor;
};

} // namespace

TEST(AboutDialog, ShowsTheProgramVersionAndAddresses)
{
    AboutDialog d(nullptr, {QUrl(u"https://example.org/mikazuki/"_s), u"author@example.org"_s});
    EXPECT_EQ(d.objectName(), u"frmAbout");
    EXPECT_EQ(d.windowTitle(), u"ﾊﾞｰｼﾞｮﾝ情報 Mikazuki＋");
    EXPECT_EQ(text(d, u"lblTitle"_s), u"Mikazuki＋");
    EXPECT_EQ(text(d, u"lblVersion"_s), u"Version 0.1.0");
    EXPECT_FALSE(text(d, u"lblDescription_0"_s).isEmpty());
    EXPECT_EQ(text(d, u"lblDescription_1"_s), u"ワイド買いの方が回収率は良いみたいです。");
    EXPECT_EQ(text(d, u"Label1"_s), u"© Mikazuki＋ developers");
    EXPECT_EQ(text(d, u"Text3"_s), u"HomePage  :");
    EXPECT_EQ(text(d, u"Label3"_s), u"https://example.org/mikazuki/");
    EXPECT_EQ(text(d, u"Text1"_s), u"E-Mail  :");
    EXPECT_EQ(text(d, u"txtMail"_s), u"author@example.org");
    const auto* icon = d.findChild<QLabel*>(u"picIcon"_s);
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());

    d.show();
    saveScreenshot(d, u"about.png"_s);
    EXPECT_TRUE(d.findChild<QLabel*>(u"txtMail"_s)->isVisible());
    d.findChild<QPushButton*>(u"cmdOK"_s)->click();
    EXPECT_FALSE(d.isVisible());
}

TEST(AboutDialog, WithoutAnEmailAddressTheRowIsHidden)
{
    // Without a configured home page the build points at the README that comes with it.
    const AboutAddresses build = AboutAddresses::fromBuild();
    ASSERT_TRUE(build.homePage.isValid());
    if (build.homePage.isLocalFile()) {
        EXPECT_EQ(QFileInfo(build.homePage.toLocalFile()).fileName(), u"README.md");
    }
    AboutDialog d(nullptr, {build.homePage, QString()});
    d.show();
    saveScreenshot(d, u"about-build.png"_s);
    EXPECT_FALSE(d.findChild<QLabel*>(u"Text1"_s)->isVisible());
    EXPECT_FALSE(d.findChild<QLabel*>(u"txtMail"_s)->isVisible());
    EXPECT_TRUE(d.findChild<QLabel*>(u"Label3"_s)->isVisible());
}

TEST(AboutDialog, ClicksOpenTheAddressUnderAWaitCursorAndRestoreIt)
{
    AboutDialog d(nullptr, {QUrl(u"https://example.org/home"_s), u"author@example.org"_s});
    std::vector<OpenCall> calls;
    d.setUrlOpener([&calls](const QUrl& url) {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        calls.push_back({url, cursor != nullptr && cursor->shape() == Qt::WaitCursor});
        return false; // no browser: ignored
    });
    d.show();
    auto* home = d.findChild<QLabel*>(u"Label3"_s);
    auto* mail = d.findChild<QLabel*>(u"txtMail"_s);
    QTest::mouseClick(home, Qt::LeftButton);
    QTest::mouseClick(home, Qt::LeftButton);
    QTest::mouseClick(mail, Qt::LeftButton);
    QTest::mouseClick(mail, Qt::RightButton);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].url, QUrl(u"https://example.org/home"_s));
    EXPECT_EQ(calls[1].url, QUrl(u"https://example.org/home"_s));
    EXPECT_EQ(calls[2].url, QUrl(u"mailto:author@example.org"_s));
    for (const OpenCall& call : calls) {
        EXPECT_TRUE(call.waitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(d.isVisible());

    // An opener that throws still leaves the pointer as it was.
    d.setUrlOpener([](const QUrl&) -> bool { throw std::runtime_error("no shell"); });
    EXPECT_THROW(d.openHomePage(), std::runtime_error);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(AboutDialog, OpensModallyFromTheMainWindow)
{
    TestFolder folder;
    SettingsStore settings(folder.filePath(u"settings.ini"_s));
    RecordingMessageSink sink;
    MainWindow window(settings, &sink);
    QString shown;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown
                = modal->objectName() + (modal->parentWidget() == &window ? u"/main"_s : QString());
            modal->close();
        }
    });
    window.findChild<QAction*>(u"mnuHelpAbout"_s)->trigger();
    EXPECT_EQ(shown, u"frmAbout/main");
}
