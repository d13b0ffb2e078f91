// SPDX-License-Identifier: MIT
#include "pat_names.h"

#include "pat/folder_index.h"
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
    const auto index = FolderIndex::readForRace(zoPath);
    return index ? index->listingOf(zoPath) : RaceFolderListing();
}
