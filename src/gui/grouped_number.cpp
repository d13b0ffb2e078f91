// SPDX-License-Identifier: MIT
#include "grouped_number.h"

#include <QLocale>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

QString groupedNumber(const QString& text)
{
    static const QRegularExpression number(u"^(-?)(\\d+)(\\.\\d+)?$"_s);
    const QRegularExpressionMatch match = number.match(text);
    bool ok = false;
    const qint64 whole = match.hasMatch() ? match.captured(2).toLongLong(&ok) : 0;
    if (!ok) {
        return text;
    }
    return match.captured(1) + QLocale(QLocale::Japanese).toString(whole) + match.captured(3);
}

QString groupedNumbersIn(const QString& text)
{
    static const QRegularExpression run(u"(?<![\\d.,])\\d{4,18}(?![\\d,])"_s);
    const QLocale locale(QLocale::Japanese);
    QString out;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& m : run.globalMatch(text)) {
        out += QStringView(text).mid(from, m.capturedStart() - from);
        out += locale.toString(m.captured().toLongLong());
        from = m.capturedEnd();
    }
    return out + QStringView(text).mid(from);
}
