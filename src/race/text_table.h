// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

/// Columns a text takes in a terminal: East Asian wide and full-width characters take two.
int displayWidth(QStringView text);

/// Rows aligned for reading: the first `textColumns` columns texts to the left, the numbers (and
/// the headings above them) to the right, two blanks between columns.
QString alignedText(const QList<QStringList>& rows, int textColumns);
