// SPDX-License-Identifier: MIT
#pragma once

#include <array>

#include <QtGlobal>

class QAction;
class QMainWindow;
class QMenu;
class QWidget;
class TwipsLayout;

/// The main window's commands: the menus ﾌｧｲﾙ, ﾂｰﾙ and ﾍﾙﾌﾟ and the toolbar (Toolbar1), which is
/// part of the client area as the control positions assume. The window connects the commands.
class MainMenus final
{
    Q_DISABLE_COPY_MOVE(MainMenus)

public:
    enum class Command {
        Open,
        List,
        Csv,
        MovementCsv,
        Board,
        OddsChart,
        Exit,
        Options,
        Backtest,
        Ledger,
        About,
        CommandCount
    };

    MainMenus(QMainWindow& window, QWidget& client, const TwipsLayout& layout);

    QAction* action(Command command) const { return m_actions[static_cast<std::size_t>(command)]; }
    QMenu* fileMenu() const { return m_fileMenu; }
    /// The separator above the recent races, which sit between it and the one above 終了.
    QAction* recentBar() const { return m_recentBar; }

private:
    std::array<QAction*, static_cast<std::size_t>(Command::CommandCount)> m_actions{};
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentBar = nullptr;
};
