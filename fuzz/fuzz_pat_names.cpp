// SPDX-License-Identifier: MIT
// Sibling names of arbitrary paths, and the result-file lookup in a folder of candidates.
#include <cstdint>
#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "pat/pat_names.h"

using namespace Qt::StringLiterals;

namespace {

const QString& folder()
{
    static QTemporaryDir dir;
    static const bool filled = [] {
        for (const auto* name :
             {u"Ks-1ab234.jra", u"KS-1AB234.JRA", u"Ks-.abjra", u"Ks-x??y.jra"}) {
            QFile file(dir.filePath(QString::fromUtf16(name)));
            file.open(QIODevice::WriteOnly);
        }
        QDir(dir.path()).mkdir(u"Ks-1zz234.jra"_s);
        return true;
    }();
    static const QString path = filled ? dir.path() + u'/' : QString();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text
        = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString card = raceCardPathOf(text);
    const QString odds = quinellaOddsPathOf(text);
    if (card.size() != (card.isEmpty() ? 0 : text.size()) || card.isEmpty() != odds.isEmpty()) {
        std::abort();
    }
    // Only the name part reaches the file system, inside the fuzzer's own folder.
    QString name = text;
    name.replace(u'/', u'_');
    const QString result = raceResultPathOf(folder() + name);
    if (!result.isEmpty() && (!result.startsWith(folder()) || !QFile::exists(result))) {
        std::abort();
    }
    const qsizetype half = text.size() / 2;
    matchesPatPattern(QStringView(text).left(half), QStringView(text).mid(half));
    return 0;
}
