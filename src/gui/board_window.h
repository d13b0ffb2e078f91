// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include <QTimer>
#include <QWidget>

#include "gui/twips_layout.h"
#include "race/race_day_board.h"

class QCheckBox;
class QLabel;
class QStandardItemModel;
class QTableView;
class SettingsStore;
class WindowPlacement;

/// 当日一覧 (frmBoard): a row per race of the PAT folder's latest day, sortable, with the time
/// to the close counting down (red under a minute, 締切 after). A double-click opens the race in
/// the main window; 次に締切るレースを追う opens each next race to close as the last one closes.
class BoardWindow final : public QWidget
{
    Q_OBJECT

public:
    BoardWindow(SettingsStore& settings, const OddsArchive* archive, QWidget* owner);
    ~BoardWindow() override;

    /// Shows the races of `folder` anew.
    void showFolder(const QString& folder);
    /// Reads again the races whose files changed.
    void refresh();
    /// The board's rows, in the board's order (not the view's sort).
    const RaceDayBoard& board() const { return m_board; }
    QTableView* table() const { return m_table; }
    /// The race (its board row) a row of the table shows, as sorted; null for none.
    const BoardRow* rowAt(int tableRow) const;
    /// The time the countdown shows against (tests set it; default: the clock).
    void setNow(const QDateTime& now);

    void storePlacement();

Q_SIGNALS:
    void raceChosen(const QString& zoPath);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fill();
    void tick();
    QDateTime now() const;

    SettingsStore& m_settings;
    RaceDayBoard m_board;
    QString m_folder;
    TwipsLayout m_layout{*this};
    std::unique_ptr<WindowPlacement> m_placement;
    QLabel* m_date = nullptr;
    QCheckBox* m_follow = nullptr;
    QTableView* m_table = nullptr;
    QStandardItemModel* m_model = nullptr;
    QTimer m_clock;
    QDateTime m_fixedNow;
    QString m_shownNext; ///< the next race to close when the list was last scrolled to it
    QString m_followed;  ///< the race the option opened last
};
