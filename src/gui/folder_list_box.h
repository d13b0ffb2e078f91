// SPDX-License-Identifier: MIT
#pragma once

#include <QGroupBox>

class QListWidget;
class QPushButton;
class TwipsLayout;

/// A list of folders with 追加 and 削除 (fra<stem>, lst<stem>, btnAdd<stem>, btnRemove<stem>):
/// the backtest window's folders to replay and its test folders.
class FolderListBox final : public QGroupBox
{
    Q_OBJECT

public:
    FolderListBox(const QString& title,
                  const QString& stem,
                  const TwipsLayout& layout,
                  QWidget* parent);

    /// The folders in their order, each once, in the form QDir::cleanPath gives.
    QStringList folders() const;
    /// Adds a folder at the end unless it is listed already.
    void addFolder(const QString& folder);
    /// "追加": a folder dialog on the last folder listed (else on `start`), then addFolder.
    void chooseFolder(const QString& start);
    /// "削除": the selected folders leave the list.
    void removeSelectedFolders();
    /// While a run lasts the list stays as the run found it.
    void setEditable(bool editable);

Q_SIGNALS:
    void addClicked();

private:
    QListWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
};
