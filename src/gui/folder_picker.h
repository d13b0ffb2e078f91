// SPDX-License-Identifier: MIT
#pragma once

#include <QGroupBox>

class QComboBox;
class QFileSystemModel;
class QLineEdit;
class QTreeView;
class TwipsLayout;

/// The PAT folder of the options dialog (Frame1): the folder's text (txtPatFolder), the drive
/// list (drvList) and the folder list (dirList). A folder chosen in the list writes its path into
/// the text; the drive list follows the folder shown.
class FolderPicker final : public QGroupBox
{
    Q_OBJECT

public:
    FolderPicker(const TwipsLayout& layout, QWidget* parent);

    /// The folder as the text holds it.
    QString folder() const;
    /// Shows a stored folder. One that exists is chosen in the list, which writes back its own
    /// form of the path; one that does not keeps its text as stored, and the list opens on the
    /// nearest folder above it that exists (else the home folder).
    void setFolder(const QString& folder);
    /// Refills the drive list with these roots (QDir::drives() at start), for tests.
    void setDriveRoots(const QStringList& roots);
    /// The folder the list shows.
    QString listedFolder() const { return m_folderPath; }

    /// The nearest folder that exists: `path` itself, or the nearest one above it, else the home
    /// folder. Where a folder dialog opens on a stored folder.
    static QString nearestExistingFolder(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;

private:
    /// Points the folder list at `path`; false (and nothing changes) when it is not a folder.
    bool setFolderListPath(const QString& path, bool writesText);
    void folderListChanged(const QString& path, bool writesText);
    void driveListChanged(int index);
    void selectDriveOf(const QString& path);
    QString driveOf(const QString& path) const;

    QLineEdit* m_text = nullptr;
    QComboBox* m_drives = nullptr;
    QTreeView* m_folders = nullptr;
    QFileSystemModel* m_model = nullptr;
    QString m_folderPath;
    /// The folder chosen last is still to be brought into view.
    bool m_revealing = false;
};
