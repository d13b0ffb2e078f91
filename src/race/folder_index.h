// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <utility>

#include <QHash>
#include <QString>
#include <QStringList>

/// One listing of a PAT folder, kept for every lookup its races make: a search of a season's
/// folder per race would make a run over the season quadratic. Finds files as the readers do
/// (exact name first, then ignoring letter case; the first in ordinal order).
class FolderIndex
{
public:
    /// Lists `folder` once; empty when it is not a folder.
    static std::optional<FolderIndex> read(const QString& folder);

    /// The folder's path as a file path inside it starts with it (with "/").
    const QString& prefix() const { return m_prefix; }
    /// The Zo- files (regular files, or links to them), in ordinal order.
    const QStringList& raceNames() const { return m_raceNames; }
    /// Whether `name` is listed as a regular file (not a link).
    bool isRegular(const QString& name) const { return m_files.value(name); }

    /// The file a path inside the folder names: its path and whether it is listed as a regular
    /// file; an empty path when there is none. Empty when the path is not inside the folder.
    std::optional<std::pair<QString, bool>> find(const QString& path) const;
    /// The result (Ks-) file of a Zo- path as the window's lookup finds it; an empty text when
    /// there is none. Empty when the listing cannot tell (the pattern reaches outside the name).
    std::optional<QString> resultPathOf(const QString& zoPath) const;

private:
    QString m_prefix;
    QHash<QString, bool> m_files;           // file name → listed as a regular file
    QHash<QString, QString> m_byFoldedName; // first file name in ordinal order per folded name
    QHash<QString, QString> m_resultByKey;  // first Ks- name in ordinal order per key
    QStringList m_raceNames;
};
