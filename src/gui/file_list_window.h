// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <vector>

#include <QFileSystemWatcher>
#include <QTimer>
#include <QWidget>

#include "gui/twips_layout.h"
#include "pat/pat_folder.h"
#include "race/file_list_model.h"

class QLabel;
class QPushButton;
class QTableView;
class MessageSink;
class WindowPlacement;
class SettingsStore;

/// The PAT file list (frmSelectFile): every race of the PAT folder; a pick is told through
/// `raceChosen`. One instance, hidden by "閉じる" and shown again as it was.
class FileListWindow final : public QWidget
{
    Q_OBJECT

public:
    FileListWindow(SettingsStore& settings, MessageSink& sink, QWidget* owner);
    ~FileListWindow() override;

    FileListModel& model() { return m_model; }

    /// What the list (and the main window, once at start) says when the PAT folder does not
    /// exist: its path, and where to set it.
    static QString missingFolderText(const QString& folder);

    /// Scans the PAT folder again ("最新を反映").
    void updateList();
    /// Zo- files came or went: the list takes them in, keeping the chosen race and the scroll.
    void followFolder();
    /// How long the folder must stay unchanged before it is listed again.
    static constexpr int kQuietMilliseconds = 300;
    /// A new Zo- file that does not read yet (still being written) is tried this often, this
    /// many times.
    static constexpr int kRetryMilliseconds = 500;
    static constexpr int kRetries = 6;
    /// Loads the race of the current row ("決定", double-click).
    void openSelectedFile();
    /// Stores the placement unless minimised; the main window calls it when it closes.
    void storePlacement();

Q_SIGNALS:
    /// The user picked a race: the full path of its Zo- file in the PAT folder.
    void raceChosen(const QString& path);
    /// A new Zo- file did not read (still being written); it is tried again after a step.
    void retrying();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int px(double twips) const;
    void restorePlacement();

    void showRaces(std::vector<PatFolderRace> races);
    /// The line in the list area that says the PAT folder does not exist.
    void placeMissingNote();

    SettingsStore& m_settings;
    MessageSink& m_sink;
    FileListModel m_model;
    std::vector<PatFolderRace> m_races;
    QString m_folder;
    QFileSystemWatcher m_watcher;
    QTimer m_quiet;
    int m_retries = 0;
    /// The folder changed while the window was hidden: it is listed when it shows.
    bool m_stale = false;
    QTableView* m_grid = nullptr;
    QLabel* m_missing = nullptr;
    QPushButton* m_select = nullptr;
    QPushButton* m_update = nullptr;
    QPushButton* m_close = nullptr;
    TwipsLayout m_layout{*this};
    std::unique_ptr<WindowPlacement> m_placement;
};
