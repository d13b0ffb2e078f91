// SPDX-License-Identifier: MIT
#include "pat_names.h"

#include "pat/pat_file.h"

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kZoPrefix = u"zo-";

QString replacePrefix(const QString& zoPath, QStringView prefix)
{
    const qsizetype at = zoPath.indexOf(kZoPrefix, 0, Qt::CaseInsensitive);
    if (at < 0) {
        return {};
    }
    return zoPath.left(at) + prefix + QStringView(zoPath).mid(at + kZoPrefix.size());
}

bool sameIgnoringCase(QChar a, QChar b)
{
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

} // namespace

QString winPlaceOddsFilter()
{
    return u"単複ｵｯｽﾞﾌｧｲﾙ (Zo-*.jra)|Zo-*.jra"_s;
}

bool isWinPlaceOddsName(const QString& name)
{
    return name.size() >= 7 && name.startsWith(u"zo-", Qt::CaseInsensitive)
           && name.endsWith(u".jra", Qt::CaseInsensitive);
}

QString raceCardPathOf(const QString& zoPath)
{
    return replacePrefix(zoPath, u"De-");
}

QString quinellaOddsPathOf(const QString& zoPath)
{
    return replacePrefix(zoPath, u"Uo-");
}

bool matchesPatPattern(QStringView name, QStringView pattern)
{
    if (name.size() != pattern.size()) {
        return false;
    }
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (pattern[i] != u'?' && !sameIgnoringCase(name[i], pattern[i])) {
            return false;
        }
    }
    return true;
}

QString raceResultPathOf(const QString& zoPath)
{
    return listRaceFolder(zoPath).resultPath;
}

RaceFolderListing listRaceFolder(const QString& zoPath)
{
    RaceFolderListing listing;
    const qsizetype at = zoPath.indexOf(kZoPrefix, 0, Qt::CaseInsensitive);
    const qsizetype tail = at + kZoPrefix.size();
    if (at < 0 || tail >= zoPath.size()) {
        return listing;
    }
    const QString pattern
        = zoPath.left(at) + u"Ks-" + zoPath.at(tail) + u"??" + QStringView(zoPath).mid(tail + 1);
    // The wildcards belong to the file name; the folder is taken as it stands.
    const QString folder = folderOfPath(pattern);
    const QStringView namePattern = QStringView(pattern).mid(folder.size());
    if (namePattern.isEmpty()) {
        return listing;
    }
    const QStringView zoName = QStringView(zoPath).mid(folder.size());
    const QString uoName = quinellaOddsPathOf(zoPath).mid(folder.size());
    const QString deName = raceCardPathOf(zoPath).mid(folder.size());
    const QString found = firstFileMatching(
        folder,
        [namePattern](const QString& name) { return matchesPatPattern(name, namePattern); },
        [&](const QString& name, ListedType type) {
            if (type != ListedType::Regular) {
                return;
            }
            listing.zoRegular = listing.zoRegular || name == zoName;
            listing.uoRegular = listing.uoRegular || name == uoName;
            listing.deRegular = listing.deRegular || name == deName;
        });
    if (!found.isEmpty()) {
        listing.resultPath = folder + found;
    }
    return listing;
}
