// SPDX-License-Identifier: MIT
#include "main_menus.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>

#include "gui/twips_layout.h"

using namespace Qt::StringLiterals;

namespace {

struct CommandLook
{
    const char16_t* name;
    const char16_t* text;
    const char16_t* tip;
    QStyle::StandardPixmap icon;
};

// In the order of MainMenus::Command.
constexpr CommandLook kCommands[] = {
    {u"mnuFileOpen", u"PATﾃﾞｰﾀを開く(&O)...", u"PATﾃﾞｰﾀを開く", QStyle::SP_DialogOpenButton},
    {u"mnuFileList", u"PATﾃﾞｰﾀ一覧(&L)...", u"PATﾃﾞｰﾀ一覧", QStyle::SP_FileDialogDetailedView},
    {u"mnuFileCSV", u"CSV保存(&S)...", u"CSV保存", QStyle::SP_DialogSaveButton},
    {u"mnuFileMovementCSV",
     u"オッズ推移をCSV出力(&M)...",
     u"オッズ推移をCSV出力",
     QStyle::SP_DialogSaveButton},
    {u"mnuFileBoard", u"当日一覧(&D)...", u"当日一覧", QStyle::SP_FileDialogListView},
    {u"mnuToolOddsChart", u"ｵｯｽﾞ推移(&M)...", u"ｵｯｽﾞ推移", QStyle::SP_FileDialogInfoView},
    {u"mnuFileExit", u"終了(&X)", u"", QStyle::SP_DialogCloseButton},
    {u"mnuToolOption", u"ｵﾌﾟｼｮﾝ(&O)...", u"ｵﾌﾟｼｮﾝ設定", QStyle::SP_FileDialogContentsView},
    {u"mnuToolBacktest", u"成績検証(&B)...", u"成績検証", QStyle::SP_FileDialogInfoView},
    {u"mnuToolLedger", u"収支(&P)...", u"収支", QStyle::SP_FileDialogDetailedView},
    {u"mnuHelpAbout", u"ﾊﾞｰｼﾞｮﾝ情報(&A)..", u"ﾊﾞｰｼﾞｮﾝ情報", QStyle::SP_MessageBoxInformation},
};
static_assert(std::size(kCommands) == static_cast<std::size_t>(MainMenus::Command::CommandCount));

// The toolbar's commands, each button with its historic key ("Open", "List", …).
constexpr std::pair<MainMenus::Command, const char16_t*> kToolbar[] = {
    {MainMenus::Command::Open, u"Open"},
    {MainMenus::Command::List, u"List"},
    {MainMenus::Command::Csv, u"Save"},
    {MainMenus::Command::Options, u"Option"},
    {MainMenus::Command::About, u"About"},
};

constexpr int kToolbarWidth = 15360;
constexpr int kToolbarHeight = 480;

} // namespace

MainMenus::MainMenus(QMainWindow& window, QWidget& client, const TwipsLayout& layout)
{
    for (std::size_t k = 0; k < m_actions.size(); ++k) {
        const CommandLook& look = kCommands[k];
        auto* a = new QAction(
            window.style()->standardIcon(look.icon), QString::fromUtf16(look.text), &window);
        a->setObjectName(QString::fromUtf16(look.name));
        a->setToolTip(QString::fromUtf16(look.tip));
        m_actions[k] = a;
    }
    using enum Command;
    QMenu* file = window.menuBar()->addMenu(u"ﾌｧｲﾙ(&F)"_s);
    file->setObjectName(u"mnuFile"_s);
    file->addActions({action(Open), action(List), action(Board), action(Csv), action(MovementCsv)});
    m_recentBar = file->addSeparator();
    m_recentBar->setObjectName(u"mnuFileRecentBar"_s);
    file->addSeparator()->setObjectName(u"mnuFileBar1"_s);
    file->addAction(action(Exit));
    m_fileMenu = file;
    QMenu* tool = window.menuBar()->addMenu(u"ﾂｰﾙ(&T)"_s);
    tool->setObjectName(u"mnuTool"_s);
    tool->addActions({action(Options), action(Backtest), action(OddsChart), action(Ledger)});
    QMenu* help = window.menuBar()->addMenu(u"ﾍﾙﾌﾟ(&H)"_s);
    help->setObjectName(u"mnuHelp"_s);
    help->addAction(action(About));

    auto* toolbar = new QToolBar(&client);
    toolbar->setObjectName(u"Toolbar1"_s);
    toolbar->setMovable(false);
    toolbar->setIconSize(QSize(16, 16));
    for (const auto& [command, key] : kToolbar) {
        toolbar->addAction(action(command));
        toolbar->widgetForAction(action(command))
            ->setObjectName(u"Toolbar1_"_s + QString::fromUtf16(key));
    }
    toolbar->setGeometry(0, 0, layout.px(kToolbarWidth), layout.px(kToolbarHeight));
}
