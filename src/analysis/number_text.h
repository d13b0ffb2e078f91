// SPDX-License-Identifier: MIT
#pragma once

#include <QStringView>
#include <QtGlobal>

/// The numeric value of a text: blanks before it skipped, the longest leading part that reads as
/// a decimal number (optional sign, digits, optional "." and decimals), 0 when there is none.
/// Never depends on the user's locale.
double numericValue(QStringView text);

/// The numeric value rounded to the nearest integer, ties to even, as a 16-bit count; 0 when the
/// value lies outside the 16-bit range.
qint16 numericCount(QStringView text);
