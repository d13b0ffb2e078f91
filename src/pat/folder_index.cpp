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

std::optional<FolderIndex> FolderIndex::read(const QString& folder,
                                             const std::function<bool(const QString&)>& keep)
{
    const QString listed = folder.isEmpty() ? u"."_s : folder;
    if (!QFileInfo(listed).isDir()) {
        return std::nullopt;
    }
    FolderIndex index;
    // The paths the callers hold start with the folder as they wrote it.
    index.m_prefix = folder.isEmpty() || folder.endsWith(u'/') ? folder : folder + u'/';
    const QDir dir(listed);
    std::vector<std::pair<QString, ListedType>> entries;
    listFolder(folder, [&entries, &keep](const QString& name, ListedType type) {
        if (!keep || keep(name)) {
            entries.emplace_back(name, type);
        }
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

std::optional<FolderIndex> FolderIndex::readForRace(const QString& zoPath)
{
    const QString folder = folderOfPath(zoPath);
    const QString zo = folded(QStringView(zoPath).mid(folder.size()));
    const QString uo = folded(QStringView(quinellaOddsPathOf(zoPath)).mid(folder.size()));
    const QString de = folded(QStringView(raceCardPathOf(zoPath)).mid(folder.size()));
    const QString result
        = zo.size() > 3 ? resultKey(QString(u"Ks-" + zo.mid(3, 1) + u"??" + zo.mid(4))) : QString();
    return read(folder, [&](const QString& name) {
        // Most names of a season's folder are other races': their lengths already differ.
        if (name.size() == zo.size()) {
            const QString key = folded(name);
            return key == zo || key == uo || key == de;
        }
        return !result.isEmpty() && name.size() == zo.size() + 2 && resultKey(name) == result;
    });
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

RaceFolderListing FolderIndex::listingOf(const QString& zoPath) const
{
    RaceFolderListing listing;
    if (!zoPath.startsWith(m_prefix)) {
        return listing;
    }
    listing.zoRegular = isRegular(zoPath.mid(m_prefix.size()));
    const auto uo = find(quinellaOddsPathOf(zoPath));
    const auto de = find(raceCardPathOf(zoPath));
    if (uo) {
        listing.uoPath = uo->first;
        listing.uoRegular = uo->second;
    }
    if (de) {
        listing.dePath = de->first;
        listing.deRegular = de->second;
    }
    // Both looked up here: one the listing lacks is not searched for again.
    listing.siblingsFound = uo.has_value() && de.has_value();
    listing.resultPath = resultPathOf(zoPath).value_or(QString());
    return listing;
}
