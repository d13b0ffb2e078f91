// SPDX-License-Identifier: MIT
#include "race_day.h"

#include <QDir>
#include <QWidget>

#include "archive/bet_ledger.h"
#include "archive/odds_archive.h"
#include "gui/board_window.h"
#include "race/archive_files.h"
#include "race/bet_settlement.h"
#include "race/folder_recorder.h"
#include "race/race_display.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

RaceDay::RaceDay(SettingsStore& settings,
                 RaceDisplay& display,
                 std::function<void(const QString&)> note,
                 QWidget* owner)
    : QObject(owner)
    , m_settings(settings)
    , m_note(std::move(note))
    , m_owner(owner)
{
    QString problem;
    m_archive = OddsArchive::open(OddsArchive::defaultPath(), problem);
    // Said once, here, beside why the archive is only read: the recording commands stay off.
    if (m_archive && m_archive->isReadOnly()) {
        problem += (problem.isEmpty() ? QString() : u"\n"_s) + BetLedger::readOnlyText();
    }
    if (!problem.isEmpty()) {
        m_note(problem);
    }
    // A read-only archive still gives the race its history; only the writer records.
    if (m_archive) {
        display.setHistorySource([archive = m_archive.get()](const QString& file, int runners) {
            return archivedHistory(*archive, file, runners);
        });
    }
    m_recorder = std::make_unique<FolderRecorder>(
        m_archive && !m_archive->isReadOnly() ? m_archive.get() : nullptr);
    connect(m_recorder.get(), &FolderRecorder::archiveFailed, this, [this](const QString& text) {
        m_note(text);
    });
    connect(m_recorder.get(), &FolderRecorder::stateChanged, this, [this](const QString& text) {
        m_note(text);
    });
    connect(m_recorder.get(), &FolderRecorder::racesChanged, this, [this] {
        if (m_board) {
            m_board->showFolder(m_recorder->folder());
        }
        settleBets();
    });
    followFolder();
    m_settling.setInterval(60'000);
    connect(&m_settling, &QTimer::timeout, this, &RaceDay::settleBets);
    // Results that came while the program was closed settle now.
    settleBets();
}

RaceDay::~RaceDay()
{
    Q_EMIT closing();
    if (m_board) {
        m_board->storePlacement();
    }
}

BoardWindow* RaceDay::board() const
{
    return m_board.data();
}

int RaceDay::settleBets()
{
    if (!m_archive || m_archive->isReadOnly()) {
        return 0;
    }
    QStringList folders = m_betFolders;
    folders.prepend(m_settings.getPatFolder());
    const LedgerSettling run = settleLedger(*m_archive, folders, QDateTime::currentDateTimeUtc());
    if (!run.error.isEmpty()) {
        m_note(run.error);
    }
    if (run.waiting > 0) {
        if (!m_settling.isActive()) {
            m_settling.start();
        }
    } else {
        m_settling.stop();
    }
    if (run.settled > 0) {
        Q_EMIT betsSettled();
    }
    return run.settled;
}

void RaceDay::addBetFolder(const QString& folder)
{
    if (!folder.isEmpty() && QDir(folder) != QDir(m_settings.getPatFolder())
        && !m_betFolders.contains(folder)) {
        m_betFolders << folder;
    }
}

void RaceDay::followFolder()
{
    const QString folder = m_settings.getPatFolder();
    if (folder != m_recorder->folder()) {
        m_recorder->follow(folder);
    }
}

void RaceDay::showBoard()
{
    followFolder();
    if (!m_board) {
        m_board = new BoardWindow(m_settings, m_archive.get(), m_owner);
        m_board->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_board, &BoardWindow::raceChosen, this, &RaceDay::raceChosen);
        Q_EMIT boardOpened(m_board);
    }
    m_board->showFolder(m_recorder->folder());
    m_board->show();
    m_board->raise();
    m_board->activateWindow();
}
