// SPDX-License-Identifier: MIT
#include "text_table.h"

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

int displayWidth(QStringView text)
{
    int width = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF)
                          || (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF)
                          || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
                          || (u >= 0xFFE0 && u <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

QString alignedText(const QList<QStringList>& rows, int textColumns)
{
    std::vector<int> widths(static_cast<std::size_t>(rows.first().size()), 0);
    for (const QStringList& row : rows) {
        for (qsizetype k = 0; k < row.size(); ++k) {
            widths[static_cast<std::size_t>(k)]
                = std::max(widths[static_cast<std::size_t>(k)], displayWidth(row[k]));
        }
    }
    QString text;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype k = 0; k < row.size(); ++k) {
            const QString pad(widths[static_cast<std::size_t>(k)] - displayWidth(row[k]), u' ');
            // Texts to the left, numbers (and the headings above them) to the right.
            line
                += (k == 0 ? QString() : u"  "_s) + (k < textColumns ? row[k] + pad : pad + row[k]);
        }
        text += line.trimmed() + u'\n';
    }
    return text;
}
