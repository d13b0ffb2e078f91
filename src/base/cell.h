// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "base/number_text.h"

/// How a cell shows its value.
enum class CellForm : quint8 {
    Empty,   ///< nothing
    Text,    ///< a text value: labels, marks, "ﾄﾘｹｼ", "-----"
    Fixed1,  ///< "###0.0": theoretical and actual odds
    Fixed2,  ///< "0.00": average place odds
    Fixed3,  ///< "0.000": support ratios
    Signed1, ///< "+###0.0;-###0.0;0.0": deviations
    Integer, ///< ranks, horse numbers, popularity differences
};

/// One cell of the race's tables: a number with its display form, a text, or nothing. A number's
/// text is made only when a view or the CSV asks for it. Later steps read what the window shows,
/// so every `shown…` reading gives exactly what reading the shown text back would give (the value
/// rounded to the shown decimals, then converted once), without making the text.
///
/// A cell is a plain value of 24 bytes: a text cell points to a text that outlives it.
class Cell final
{
public:
    constexpr Cell() = default;

    static Cell number(double value, CellForm form);
    static Cell integer(int value) { return number(value, CellForm::Integer); }
    /// A cell showing `text`, which must live as long as the program: a static, or internText().
    static Cell lastingText(const QString& text);

    CellForm form() const { return m_form; }
    bool isNumber() const { return m_form >= CellForm::Fixed1; }
    /// The number as computed (not rounded to its form).
    double value() const { return m_value; }

    /// The text shown.
    QString text() const;
    /// The text of a text cell, without a copy; empty for other cells.
    QStringView textValue() const
    {
        return m_form == CellForm::Text ? QStringView(*m_text) : QStringView();
    }
    /// The length of the text shown, without making it.
    qsizetype textLength() const;
    /// Whether the text shown is empty (an empty cell, an empty text, a number that is not finite).
    bool showsNothing() const;

    /// The leading number of the text shown (leadingNumber); empty when it starts with none.
    std::optional<double> shownNumber() const;
    /// shownNumber(), 0 when there is none (numericValue).
    double shownValue() const { return shownNumber().value_or(0.0); }
    /// The text shown as a whole-text number, nearest single; 0 when it is not one (textToSingle).
    float shownSingle() const;
    /// The text shown rounded into 16 bits; 0 when it is not a number (textToInteger).
    qint16 shownInteger() const;
    /// How the lists sort the text shown generically (genericSortKey).
    GenericSortKey sortKey() const;
    /// Appends the shortest text of shownSingle() with at most seven significant digits
    /// (formatSingle) as Latin-1: a number field of the CSV.
    void appendShownSingle(QByteArray& out) const;

    /// Same form, same value and same text.
    bool operator==(const Cell& other) const;

private:
    /// The value rounded to the decimals shown, in units of the last decimal; empty when the
    /// value lies outside the fast exact range.
    std::optional<qint64> shownUnits() const;

    double m_value = 0.0;
    const QString* m_text = nullptr;
    CellForm m_form = CellForm::Empty;
};

/// A copy of `text` that lives as long as the program, one per distinct text, for texts that
/// come from the settings (marks): the cells of a race keep showing them after the settings
/// change. Safe to call from several threads.
const QString& internText(const QString& text);

/// Appends formatSingle(textToSingle(text)) as Latin-1: a file's text as a number field of the CSV.
void appendSingleOfText(QStringView text, QByteArray& out);
