// SPDX-License-Identifier: MIT
#include "folder_picker.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTreeView>

#include "gui/twips_layout.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

QString cleanFolder(const QString& path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

} // namespace

FolderPicker::FolderPicker(const TwipsLayout& layout, QWidget* parent)
    : QGroupBox(u"PAT ﾌｫﾙﾀﾞ"_s, parent)
{
    setObjectName(u"Frame1"_s);
    layout.place(this, {120, 120, 4635, 2655});
    m_text = new QLineEdit(SettingsStore::defaultPatFolder(), this);
    m_text->setObjectName(u"txtPatFolder"_s);
    layout.place(m_text, {240, 360, 4095, 300});
    m_drives = new QComboBox(this);
    m_drives->setObjectName(u"drvList"_s);
    layout.place(m_drives, {240, 780, 4095, 300});
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_model->setRootPath(QString());
    m_folders = new QTreeView(this);
    m_folders->setObjectName(u"dirList"_s);
    m_folders->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column) {
        m_folders->hideColumn(column);
    }
    m_folders->setHeaderHidden(true);
    layout.place(m_folders, {240, 1140, 4095, 1350});
    // Like a folder list, it starts in the current folder.
    const QModelIndex start = m_model->index(QDir::currentPath());
    m_folderPath = QDir::currentPath();
    m_folders->setCurrentIndex(start);
    m_folders->scrollTo(start);
    connect(m_folders->selectionModel(),
            &QItemSelectionModel::currentChanged,
            this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    m_revealing = false;
                    folderListChanged(m_model->filePath(current), true);
                }
            });
    // The model reads and sorts folders in the background: until the user moves in the list, it
    // goes on showing the chosen folder while the folders above it come in.
    const auto reveal = [this] {
        if (m_revealing) {
            m_folders->scrollTo(m_folders->currentIndex());
        }
    };
    connect(m_model, &QFileSystemModel::directoryLoaded, this, reveal);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, reveal);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, reveal);
    connect(m_folders->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] {
        m_revealing = false;
    });
    setDriveRoots([] {
        QStringList roots;
        for (const QFileInfo& drive : QDir::drives()) {
            roots << drive.absoluteFilePath();
        }
        return roots;
    }());
    connect(m_drives, &QComboBox::currentIndexChanged, this, &FolderPicker::driveListChanged);
}

void FolderPicker::showEvent(QShowEvent* event)
{
    QGroupBox::showEvent(event);
    // A hidden list does not scroll: the chosen folder comes into view as the dialog shows.
    m_folders->scrollTo(m_folders->currentIndex());
}

QString FolderPicker::folder() const
{
    return m_text->text();
}

void FolderPicker::setFolder(const QString& folder)
{
    m_text->setText(folder);
    // The drive list only follows, so that it cannot replace the stored folder by another
    // drive's folder.
    if (!setFolderListPath(folder, true)) {
        setFolderListPath(nearestExistingFolder(folder), false);
    }
    selectDriveOf(m_text->text());
}

QString FolderPicker::nearestExistingFolder(const QString& path)
{
    QString folder = cleanFolder(path);
    while (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        const QString above = QFileInfo(folder).path();
        // A relative path ends at ".", a root at itself: neither names a folder above.
        if (above == folder || above == u"."_s) {
            folder.clear();
            break;
        }
        folder = above;
    }
    return folder.isEmpty() ? QDir::homePath() : folder;
}

void FolderPicker::setDriveRoots(const QStringList& roots)
{
    const QSignalBlocker blocker(m_drives);
    m_drives->clear();
    for (const QString& root : roots) {
        m_drives->addItem(QDir::toNativeSeparators(root), root);
    }
    m_drives->setCurrentIndex(-1);
    selectDriveOf(m_folderPath);
}

QString FolderPicker::driveOf(const QString& path) const
{
    const QString clean = cleanFolder(path);
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity kCase = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity kCase = Qt::CaseSensitive;
#endif
    QString best;
    for (int i = 0; i < m_drives->count(); ++i) {
        const QString root = m_drives->itemData(i).toString();
        const QString prefix = root.endsWith(u'/') ? root : root + u'/';
        if ((clean.startsWith(prefix, kCase) || clean.compare(root, kCase) == 0)
            && root.size() > best.size()) {
            best = root;
        }
    }
    return best;
}

void FolderPicker::selectDriveOf(const QString& path)
{
    const QString drive = driveOf(path);
    if (drive.isEmpty()) {
        return;
    }
    const QSignalBlocker blocker(m_drives);
    m_drives->setCurrentIndex(m_drives->findData(drive));
}

bool FolderPicker::setFolderListPath(const QString& path, bool writesText)
{
    const QFileInfo info(QDir::fromNativeSeparators(path));
    if (path.isEmpty() || !info.isDir()) {
        return false;
    }
    const QModelIndex index = m_model->index(cleanFolder(info.absoluteFilePath()));
    if (!index.isValid()) {
        return false;
    }
    {
        const QSignalBlocker blocker(m_folders->selectionModel());
        m_folders->setCurrentIndex(index);
    }
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent()) {
        m_folders->expand(above);
    }
    m_folders->scrollTo(index);
    m_revealing = true;
    folderListChanged(m_model->filePath(index), writesText);
    return true;
}

void FolderPicker::folderListChanged(const QString& path, bool writesText)
{
    m_folderPath = path;
    if (writesText) {
        m_text->setText(QDir::toNativeSeparators(path));
    }
    selectDriveOf(path);
}

void FolderPicker::driveListChanged(int index)
{
    const QString drive = m_drives->itemData(index).toString();
    if (drive == driveOf(m_folderPath)) {
        return;
    }
    // A drive that cannot be opened (no medium, no rights) puts the list back without a word.
    const QDir dir(drive);
    if (drive.isEmpty() || !dir.exists() || !dir.isReadable() || !setFolderListPath(drive, true)) {
        const QSignalBlocker blocker(m_drives);
        m_drives->setCurrentIndex(m_drives->findData(driveOf(m_folderPath)));
    }
}
