// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

#include <QString>
#include <QStringView>
#include <QtGlobal>

/// The numeric value of a text: blanks before it skipped, the longest leading part that reads as
/// a decimal number (optional sign, digits, optional "." and decimals), 0 when there is none.
/// Never depends on the user's locale.
double numericValue(QStringView text);

/// The leading decimal number of a text as numericValue reads it; empty when the text does not
/// start (after blanks) with one, so that "no number" and 0 can be told apart.
std::optional<double> leadingNumber(QStringView text);

/// A field that holds a whole number of up to four digits and nothing else (blanks around
/// aside): a place or a horse number of a result; empty otherwise.
std::optional<int> wholeNumberOf(QStringView text);

/// The numeric value rounded to the nearest integer, ties to even, as a 16-bit count; 0 when the
/// value lies outside the 16-bit range.
qint16 numericCount(QStringView text);

/// A text that is a number as a whole, split into its parts.
struct DecimalText
{
    bool negative = false;
    std::string integerDigits;  ///< without grouping commas; may be empty (".5")
    std::string fractionDigits; ///< may be empty ("5.")
};

/// The program's one number parser for whole texts, independent of the user's locale: optional
/// blanks around, optional sign, digits with optional "," grouping (groups of three after the
/// first), optional "." and decimals. Empty for anything else: exponents, hexadecimal, full-width
/// digits, letters, an empty text.
std::optional<DecimalText> parseDecimalText(QStringView text);

/// The parsed number rounded to the nearest integer, ties to even, decided on the decimal digits
/// themselves; empty when it lies outside [min, max].
std::optional<qint64> roundDecimalText(const DecimalText& number, qint64 min, qint64 max);

/// The nearest single-precision number; empty when it lies beyond the single range.
std::optional<float> decimalTextToSingle(const DecimalText& number);

/// A whole-text number rounded ties-to-even into 16 bits; 0 for anything that is not a number or
/// lies outside the range ("ﾄﾘｹｼ", "-----", blanks, "40000").
qint16 textToInteger(QStringView text);

/// A whole-text number (parseDecimalText) as the nearest single; empty when it is not a number
/// or lies beyond the single range.
std::optional<float> wholeTextToSingle(QStringView text);

/// A whole-text number as the nearest single; 0 for anything that is not a number.
float textToSingle(QStringView text);

/// A cell as the lists sort it "generically": by its value when it is a number as a whole,
/// otherwise as text ignoring case.
struct GenericSortKey
{
    std::optional<double> number;
    QString text;
};

GenericSortKey genericSortKey(const QString& cell);

/// Numbers compare by value, texts ignoring case, and every number sorts before every text: a
/// rule that compared a number and a text as texts would not be a consistent order (9 < 10 as
/// numbers, 10 < 1A and 1A < 9 as texts), and sorting with it could even run out of bounds.
int compareGeneric(const GenericSortKey& a, const GenericSortKey& b);
