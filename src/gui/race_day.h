// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class BoardWindow;
class FolderRecorder;
class OddsArchive;
class RaceDisplay;
class SettingsStore;
class QWidget;

/// The window's race day: the odds archive it records every race of the PAT folder into (the
/// race shown takes its history from it), and the board of the day's races. A fault of the
/// archive is said once and the program goes on without it.
class RaceDay final : public QObject
{
    Q_OBJECT

public:
    RaceDay(SettingsStore& settings,
            RaceDisplay& display,
            std::function<void(const QString&)> note,
            QWidget* owner);
    ~RaceDay() override;

    /// Shows the board of the PAT folder (ﾌｧｲﾙ → 当日一覧).
    void showBoard();
    BoardWindow* board() const;
    const OddsArchive* archive() const { return m_archive.get(); }
    FolderRecorder* recorder() const { return m_recorder.get(); }
    /// The archive the ledger lives in (read-only in a second program); null without one.
    OddsArchive* ledgerArchive() const { return m_archive.get(); }

    /// Settles the open bets whose results are in the PAT folder or in a folder bets were
    /// recorded from; while bets wait for their results, again every minute. How many were
    /// settled (betsSettled() is said when any were).
    int settleBets();
    /// Says `text` on the main window's status note.
    void note(const QString& text) { m_note(text); }
    /// A folder other than the PAT folder that a bet was recorded from, settled from as well.
    void addBetFolder(const QString& folder);

    /// Follows the PAT folder of the settings, if it is another than the one followed (after
    /// the options changed it).
    void followFolder();

Q_SIGNALS:
    /// The board asks for a race to be shown.
    void raceChosen(const QString& zoPath);
    /// Bets were settled (the ledger changed).
    void betsSettled();
    /// The board was made (ﾌｧｲﾙ → 当日一覧 the first time, or again after it closed).
    void boardOpened(BoardWindow* board);
    /// The race day is going, and its archive with it.
    void closing();

private:
    SettingsStore& m_settings;
    std::function<void(const QString&)> m_note;
    QWidget* m_owner;
    std::unique_ptr<OddsArchive> m_archive;
    std::unique_ptr<FolderRecorder> m_recorder;
    QPointer<BoardWindow> m_board;
    QTimer m_settling;
    QStringList m_betFolders;
};
