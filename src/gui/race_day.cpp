// SPDX-License-Identifier: MIT
#include "race_day.h"

#include <QWidget>

#include "archive/odds_archive.h"
#include "gui/board_window.h"
#include "race/archive_files.h"
#include "race/folder_recorder.h"
#include "race/race_display.h"
#include "settings/settings_store.h"

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
    });
    followFolder();
}

RaceDay::~RaceDay()
{
    if (m_board) {
        m_board->storePlacement();
    }
}

BoardWindow* RaceDay::board() const
{
    return m_board.data();
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
    }
    m_board->showFolder(m_recorder->folder());
    m_board->show();
    m_board->raise();
    m_board->activateWindow();
}
