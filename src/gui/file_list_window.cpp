// SPDX-License-Identifier: MIT
#include "file_list_window.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>

#include "base/message_sink.h"
#include "gui/twips_layout.h"
#include "gui/window_placement.h"
#include "pat/pat_folder.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

const QString kSection = QString::fromUtf16(SettingsSection::kSelectFileWindow);

constexpr float kDefaultLeft = 1500;
constexpr float kDefaultTop = 1000;
constexpr float kDefaultHeight = 6180;
constexpr float kDefaultWidth = 7635;

} // namespace

FileListWindow::FileListWindow(SettingsStore& settings, MessageSink& sink, QWidget* owner)
    : QWidget(owner, Qt::Window)
    , m_settings(settings)
    , m_sink(sink)
{
    setObjectName(u"frmSelectFile"_s);
    setWindowTitle(u"PATﾌｧｲﾙの選択"_s);
    m_placement = std::make_unique<WindowPlacement>(
        *this,
        settings,
        kSection,
        QRectF(kDefaultLeft, kDefaultTop, kDefaultWidth, kDefaultHeight),
        WindowPlacement::Stored::PositionAndSize,
        WindowPlacement::Resize::ByUser);

    m_grid = new QTableView(this);
    m_grid->setObjectName(u"grdFileList"_s);
    m_grid->setModel(&m_model);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(px(270));
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setWordWrap(false);
    // Fields are padded with blanks: clip them rather than show an ellipsis after the padding.
    m_grid->setTextElideMode(Qt::ElideNone);
    for (int col = 0; col < FileListModel::kColumns; ++col) {
        m_grid->setColumnWidth(col, px(FileListModel::columnWidthTwips(col)));
    }
    m_grid->setGeometry(0, 0, px(7455), px(5055));
    m_missing = new QLabel(m_grid->viewport());
    m_missing->setObjectName(u"lblMissingFolder"_s);
    m_missing->setWordWrap(true);
    m_missing->setMargin(px(60));
    m_missing->hide();
    m_grid->viewport()->installEventFilter(this);

    const auto button = [this](const QString& name, const QString& text, int left) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setGeometry(px(left), px(5280), px(1335), px(375));
        return b;
    };
    m_update = button(u"btnUpdate"_s, u"最新を反映"_s, 360);
    m_select = button(u"btnSelect"_s, u"決定"_s, 3720);
    m_close = button(u"btnClose"_s, u"閉じる"_s, 5400);
    connect(m_update, &QPushButton::clicked, this, &FileListWindow::updateList);
    connect(m_select, &QPushButton::clicked, this, &FileListWindow::openSelectedFile);
    connect(m_close, &QPushButton::clicked, this, &QWidget::hide);
    connect(m_grid, &QTableView::doubleClicked, this, &FileListWindow::openSelectedFile);

    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &FileListWindow::followFolder);
    // PAT writes many files at a time: the folder is listed a moment after a change, at most
    // that often while changes go on.
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        m_retries = 0;
        if (!m_quiet.isActive()) {
            m_quiet.start(kQuietMilliseconds);
        }
    });

    resize(px(7515), px(5775));
    restorePlacement();
    updateList();
}

FileListWindow::~FileListWindow() = default;

QString FileListWindow::missingFolderText(const QString& folder)
{
    return u"PATﾌｫﾙﾀﾞ %1 が見つかりません。ﾂｰﾙ → ｵﾌﾟｼｮﾝ で設定してください。"_s.arg(
        QDir::toNativeSeparators(folder));
}

int FileListWindow::px(double twips) const
{
    return m_layout.px(twips);
}

void FileListWindow::updateList()
{
    m_quiet.stop();
    m_folder = m_settings.getPatFolder();
    showRaces(scanPatFolder(m_folder, m_sink));
    // After a scan no file row is chosen.
    m_grid->setCurrentIndex({});
    m_grid->clearSelection();
    // The folder of this scan is followed (the options may have named another).
    if (!m_watcher.directories().isEmpty()) {
        m_watcher.removePaths(m_watcher.directories());
    }
    const bool exists = QFileInfo(m_folder).isDir();
    if (exists) {
        m_watcher.addPath(m_folder);
    }
    m_missing->setText(exists ? QString() : missingFolderText(m_folder));
    m_missing->setVisible(!exists);
    placeMissingNote();
}

void FileListWindow::placeMissingNote()
{
    const int width = m_grid->viewport()->width();
    m_missing->setGeometry(0, 0, width, m_missing->heightForWidth(width));
}

void FileListWindow::followFolder()
{
    // A hidden list is brought up to date when it shows.
    if (!isVisible()) {
        m_stale = true;
        return;
    }
    m_stale = false;
    int unread = 0;
    std::vector<PatFolderRace> races = rescanPatFolder(m_folder, m_races, &unread);
    // Written files bring no folder change: one still being written is looked at again.
    const bool retries = unread > 0 && m_retries < kRetries;
    if (retries) {
        ++m_retries;
        m_quiet.start(kRetryMilliseconds);
    }
    // Told once the list shows what was found.
    const auto tell = qScopeGuard([this, retries] {
        if (retries) {
            Q_EMIT retrying();
        }
    });
    const auto sameNames = [](const std::vector<PatFolderRace>& a,
                              const std::vector<PatFolderRace>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
            return x.fileName == y.fileName;
        });
    };
    if (sameNames(races, m_races)) {
        return;
    }
    const QModelIndex current = m_grid->currentIndex();
    const QString chosen = current.isValid() ? m_model.fileName(current.row()) : QString();
    const int scroll = m_grid->verticalScrollBar()->value();
    showRaces(std::move(races));
    m_grid->doItemsLayout();
    m_grid->verticalScrollBar()->setValue(scroll);
    for (int row = 0; !chosen.isEmpty() && row < m_model.rowCount(); ++row) {
        if (m_model.fileName(row) == chosen) {
            // Chosen as before; brought into view only when the new rows pushed it out.
            const QModelIndex index = m_model.index(row, 0);
            m_grid->selectionModel()->setCurrentIndex(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            m_grid->scrollTo(index, QAbstractItemView::EnsureVisible);
            break;
        }
    }
}

void FileListWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_stale) {
        followFolder();
    }
}

void FileListWindow::showRaces(std::vector<PatFolderRace> races)
{
    m_races = std::move(races);
    m_model.setRows(fileListRows(m_races));
}

void FileListWindow::openSelectedFile()
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid()) {
        m_sink.message(u"行を選んでちょ"_s);
        return;
    }
    // The name is made into a path in the PAT folder as it is set now.
    Q_EMIT raceChosen(m_settings.patFilePath(m_model.fileName(current.row())));
}

void FileListWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The grid takes the height; the buttons keep to the bottom edge. A window too small for the
    // grid leaves the controls as they are.
    const int outer = frameGeometry().height();
    const int gridHeight = outer - px(1125);
    if (gridHeight > 0) {
        m_grid->resize(width(), gridHeight);
        for (QPushButton* b : {m_update, m_select, m_close}) {
            b->move(b->x(), outer - px(900));
        }
    }
}

bool FileListWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The note spans the list area's width, whatever the grid's size.
    if (watched == m_grid->viewport() && event->type() == QEvent::Resize) {
        placeMissingNote();
    }
    return QWidget::eventFilter(watched, event);
}

void FileListWindow::restorePlacement()
{
    m_placement->restore();
}

void FileListWindow::storePlacement()
{
    m_placement->store();
}
