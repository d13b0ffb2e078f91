// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// A number of a summary as the screen shows it: the integer part grouped by thousands
/// ("4,713,700"); any other text as it is. The CSV and the command line keep the plain numbers.
QString groupedNumber(const QString& text);

/// Every whole number of four digits or more within a line grouped the same way ("2000回" →
/// "2,000回"); the digits after a decimal point stay as they are.
QString groupedNumbersIn(const QString& text);
