// SPDX-License-Identifier: MIT
#include "race_time.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

QTimeZone jraTimeZone()
{
    static const QTimeZone zone(QByteArrayLiteral("Asia/Tokyo"));
    // Without the zone database Japan is still nine hours ahead, without daylight saving.
    return zone.isValid() ? zone : QTimeZone(9 * 3600);
}

QDate jraDateOf(const QDateTime& instant)
{
    return instant.isValid() ? instant.toTimeZone(jraTimeZone()).date() : QDate();
}

QDateTime newestFileTime(std::initializer_list<QString> paths)
{
    QDateTime newest;
    for (const QString& path : paths) {
        if (path.isEmpty()) {
            continue;
        }
        const QFileInfo info(path);
        if (info.exists()) {
            const QDateTime time = info.lastModified().toUTC();
            if (!newest.isValid() || time > newest) {
                newest = time;
            }
        }
    }
    return newest;
}

QDateTime postTimeOf(QStringView hhmm, const QDateTime& fetched, bool resultIn)
{
    const QTime start = QTime::fromString(hhmm.trimmed().toString(), u"HHmm"_s);
    if (!start.isValid() || !fetched.isValid()) {
        return {};
    }
    QDateTime post(jraDateOf(fetched), start, jraTimeZone());
    if (!resultIn && post.addSecs(60 * kPostGraceMinutes) < fetched) {
        post = post.addDays(1);
    }
    return post.toUTC();
}
