// SPDX-License-Identifier: MIT
#include "folder_index.h"

#include <algorithm>
#include <vector>

#include <QDir>
#include <QFileInfo>

#include "pat/pat_file.h"
#include "pat/pat_names.h"

using namespace Qt::StringLiterals;

namespace {

QString folded(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        out[i] = text[i].toCaseFolded();
    }
    return out;
}

// A result file's name with the two characters its pattern leaves open taken out, folded:
// names that match one pattern share it.
QString resultKey(QStringView name)
{
    return folded(name.left(4)) + folded(name.mid(6));
}

} // namespace

std::optional<FolderIndex> FolderIndex::read(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.isDir()) {
        return std::nullopt;
    }
    FolderIndex index;
    index.m_prefix = QDir(folder).path() + u'/';
    const QDir dir(folder);
    std::vector<std::pair<QString, ListedType>> entries;
    listFolder(folder, [&entries](const QString& name, ListedType type) {
        entries.emplace_back(name, type);
    });
    // Ordinal order, so that "the first" of several matches is the readers' first.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.first < b.first;
    });
    for (const auto& [name, type] : entries) {
        const bool regular = type == ListedType::Regular;
        if (type == ListedType::Other || (!regular && !QFileInfo(dir.filePath(name)).isFile())) {
            continue; // a link counts when it leads to a file
        }
        index.m_files.insert(name, regular);
        if (name.size() >= 6 && name.startsWith(u"ks-", Qt::CaseInsensitive)) {
            const QString key = resultKey(name);
            if (!index.m_resultByKey.contains(key)) {
                index.m_resultByKey.insert(key, name);
            }
        }
        if (isWinPlaceOddsName(name)) {
            index.m_raceNames << name;
        }
    }
    // The first name in ordinal order per folded name, as the readers' search finds it.
    for (const auto& [name, regular] : index.m_files.asKeyValueRange()) {
        Q_UNUSED(regular);
        const QString key = folded(name);
        const auto it = index.m_byFoldedName.find(key);
        if (it == index.m_byFoldedName.end() || name < *it) {
            index.m_byFoldedName.insert(key, name);
        }
    }
    return index;
}

std::optional<std::pair<QString, bool>> FolderIndex::find(const QString& path) const
{
    if (!path.startsWith(m_prefix)) {
        return std::nullopt;
    }
    const QString name = path.mid(m_prefix.size());
    if (const auto exact = m_files.constFind(name); exact != m_files.cend()) {
        return std::pair{path, *exact};
    }
    const auto other = m_byFoldedName.constFind(folded(name));
    if (other == m_byFoldedName.cend()) {
        return std::pair{QString(), false};
    }
    return std::pair{m_prefix + *other, m_files.value(*other)};
}

std::optional<QString> FolderIndex::resultPathOf(const QString& zoPath) const
{
    // The pattern as the window makes it: "zo-" becomes "Ks-", two open characters after the
    // next one.
    const qsizetype at = zoPath.indexOf(u"zo-", 0, Qt::CaseInsensitive);
    if (at < 0 || at + 3 >= zoPath.size()) {
        return QString();
    }
    const qsizetype tail = at + 3;
    const QString pattern
        = zoPath.left(at) + u"Ks-" + zoPath.at(tail) + u"??" + QStringView(zoPath).mid(tail + 1);
    const QStringView name = QStringView(pattern).mid(m_prefix.size());
    if (!pattern.startsWith(m_prefix) || name.mid(6).contains(u'?')
        || name.left(4).contains(u'?')) {
        return std::nullopt;
    }
    const auto found = m_resultByKey.constFind(resultKey(name));
    return found == m_resultByKey.cend() ? QString() : m_prefix + *found;
}
