// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <optional>
#include <utility>

#include <QHash>
#include <QString>
#include <QStringList>

#include "pat/pat_names.h"

/// One listing of a PAT folder, and the lookup rules of the PAT folder on it: a name is found
/// exactly first, then ignoring letter case (the first match in ordinal order); a race's result
/// file is the first name matching its Ks- pattern. A run over a season keeps one listing for
/// every race it reads: a search of the folder per race would make it quadratic.
class FolderIndex
{
public:
    /// Lists `folder` once (empty: the current folder); empty when it is not a folder. With
    /// `keep`, only the names it accepts are kept.
    static std::optional<FolderIndex> read(const QString& folder,
                                           const std::function<bool(const QString&)>& keep = {});
    /// The listing one race needs: its folder, keeping only the race's own files.
    static std::optional<FolderIndex> readForRace(const QString& zoPath);

    /// The folder as the paths of its files start with it ("" or ending in "/").
    const QString& prefix() const { return m_prefix; }
    /// The Zo- files (regular files, or links to them), in ordinal order.
    const QStringList& raceNames() const { return m_raceNames; }
    /// Whether `name` is listed as a regular file (not a link).
    bool isRegular(const QString& name) const { return m_files.value(name); }

    /// The file a path inside the folder names: its path and whether it is listed as a regular
    /// file; an empty path when there is none. Empty when the path is not inside the folder.
    std::optional<std::pair<QString, bool>> find(const QString& path) const;
    /// The result (Ks-) file of a Zo- path; an empty text when there is none. Empty when the
    /// listing cannot tell (the pattern's wildcards fall outside the file name).
    std::optional<QString> resultPathOf(const QString& zoPath) const;
    /// Everything the listing tells of one race of the folder: its Uo-, De- and result files as
    /// found, and which of its files are regular.
    RaceFolderListing listingOf(const QString& zoPath) const;

private:
    QString m_prefix;
    QHash<QString, bool> m_files;           // file name → listed as a regular file
    QHash<QString, QString> m_byFoldedName; // first file name in ordinal order per folded name
    QHash<QString, QString> m_resultByKey;  // first Ks- name in ordinal order per key
    QStringList m_raceNames;
};
