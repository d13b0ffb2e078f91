// SPDX-License-Identifier: MIT
#include "folder_list_box.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/folder_picker.h"
#include "gui/twips_layout.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;
constexpr int kRowHeight = 270;

} // namespace

FolderListBox::FolderListBox(const QString& title,
                             const QString& stem,
                             const TwipsLayout& layout,
                             QWidget* parent)
    : QGroupBox(title, parent)
{
    setObjectName(u"fra"_s + stem);
    auto* row = new QHBoxLayout(this);
    m_list = new QListWidget(this);
    m_list->setObjectName(u"lst"_s + stem);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setFixedHeight(layout.px(3 * kRowHeight + 120));
    row->addWidget(m_list, 1);
    auto* buttons = new QVBoxLayout;
    const auto button = [&](const QString& name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setMinimumSize(layout.px(kButtonWidth), layout.px(kButtonHeight));
        buttons->addWidget(b);
        return b;
    };
    m_add = button(u"btnAdd"_s + stem, u"追加..."_s);
    m_remove = button(u"btnRemove"_s + stem, u"削除"_s);
    buttons->addStretch();
    row->addLayout(buttons);
    connect(m_add, &QPushButton::clicked, this, &FolderListBox::addClicked);
    connect(m_remove, &QPushButton::clicked, this, &FolderListBox::removeSelectedFolders);
}

QStringList FolderListBox::folders() const
{
    QStringList list;
    for (int i = 0; i < m_list->count(); ++i) {
        list << m_list->item(i)->data(Qt::UserRole).toString();
    }
    return list;
}

void FolderListBox::addFolder(const QString& folder)
{
    const QString path = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    if (path.isEmpty() || folders().contains(path)) {
        return;
    }
    auto* item = new QListWidgetItem(QDir::toNativeSeparators(path), m_list);
    item->setData(Qt::UserRole, path);
}

void FolderListBox::chooseFolder(const QString& start)
{
    const QStringList listed = folders();
    const QString near = listed.isEmpty() ? start : listed.constLast();
    const QString folder = QFileDialog::getExistingDirectory(
        this,
        title() + u"の追加"_s,
        near.isEmpty() ? QString() : FolderPicker::nearestExistingFolder(near));
    if (!folder.isEmpty()) {
        addFolder(folder);
    }
}

void FolderListBox::removeSelectedFolders()
{
    qDeleteAll(m_list->selectedItems());
}

void FolderListBox::setEditable(bool editable)
{
    for (QWidget* w : std::initializer_list<QWidget*>{m_add, m_remove, m_list}) {
        w->setEnabled(editable);
    }
}
