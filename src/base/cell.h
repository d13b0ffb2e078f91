// SPDX-License-Identifier: MIT
#pragma once

#include <cmath>
#include <optional>
#include <string>

#include <QByteArray>
#include <QString>

#include "base/display_format.h"
#include "base/number_text.h"
#include "base/runners.h"

/// How a cell shows its value.
enum class CellForm : quint8 {
    Empty,     ///< nothing
    Text,      ///< a text value: labels, marks, "ﾄﾘｹｼ", "-----"
    Fixed1,    ///< "###0.0": theoretical and actual odds
    Fixed2,    ///< "0.00": average place odds
    Fixed3,    ///< "0.000": support ratios
    Signed1,   ///< "+###0.0;-###0.0;0.0": deviations
    Integer,   ///< ranks, horse numbers, popularity differences
    PairLabel, ///< " 1- 2": a pair of horse numbers
};

/// One cell of the race's tables: a number with its display form, a text, or nothing. A number's
/// text is made only when a view or the CSV asks for it. Later steps read what the window shows,
/// so every `shown…` reading gives exactly what reading the shown text back would give (the value
/// rounded to the shown decimals, then converted once), without making the text.
///
/// A cell is a plain value of 16 bytes: a text cell points to a text that outlives it.
/// Equal cells show the same text whether their number was built as a single or a double.
class Cell final
{
public:
    constexpr Cell() = default;

    static Cell number(double value, CellForm form)
    {
        Cell cell;
        cell.m_value = value;
        cell.m_form = form;
        return cell;
    }
    /// A number held in single precision (odds, deviations, averages): read back cheaper, as its
    /// value times a power of ten is exact.
    static Cell number(float value, CellForm form)
    {
        Cell cell = number(static_cast<double>(value), form);
        cell.m_single = true;
        return cell;
    }
    static Cell integer(int value) { return number(static_cast<double>(value), CellForm::Integer); }
    /// The label of the pair of horses a and b, 1 ≤ a < b ≤ kMaxRunners, shown " a- b".
    static Cell pairLabel(int a, int b)
    {
        Q_ASSERT(a >= 1 && a < b && b <= kMaxRunners);
        static const QString* const labels = pairLabelTexts();
        Cell cell;
        cell.m_text = labels + a * (kMaxRunners + 1) + b;
        cell.m_form = CellForm::PairLabel;
        return cell;
    }
    /// The pair a·100 + b a pair-label text (trimmed) names; 0 when it names none.
    static int pairOfLabel(QStringView trimmedText);

    /// A cell showing `text`, which must live as long as the program: a static, or internText().
    static Cell lastingText(const QString& text)
    {
        Cell cell;
        cell.m_text = &text;
        cell.m_form = CellForm::Text;
        return cell;
    }

    CellForm form() const { return m_form; }
    bool isNumber() const { return m_form >= CellForm::Fixed1 && m_form <= CellForm::Integer; }
    /// The number as computed (not rounded to its form); 0 for a cell that is not a number.
    double value() const { return isNumber() ? m_value : 0.0; }
    /// A pair label's place among all pair labels, a·(kMaxRunners + 1) + b, below
    /// kPairIndexCount; -1 for other cells. Cheap: for tables indexed by pair.
    int pairIndex() const
    {
        static const QString* const labels = pairLabelTexts();
        return m_form == CellForm::PairLabel ? static_cast<int>(m_text - labels) : -1;
    }
    static constexpr int kPairIndexCount = (kMaxRunners + 1) * (kMaxRunners + 1);

    /// The text shown.
    QString text() const;
    /// The text of a text or pair-label cell, without a copy; empty for other cells.
    QStringView textValue() const { return hasText() ? QStringView(*m_text) : QStringView(); }
    /// The length of the text shown, without making it.
    qsizetype textLength() const;
    /// Whether the text shown is empty (an empty cell, an empty text, a number that is not finite).
    bool showsNothing() const
    {
        if (m_form == CellForm::Empty) {
            return true;
        }
        return hasText() ? m_text->isEmpty() : !std::isfinite(m_value);
    }

    /// The leading number of the text shown (leadingNumber); empty when it starts with none.
    Q_ALWAYS_INLINE std::optional<double> shownNumber() const
    {
        // Inline for the common case: a number in the exact range.
        if (isNumber()) {
            if (const auto units = shownUnits()) {
                static constexpr double kPowers[] = {1.0, 10.0, 100.0, 1000.0};
                const double magnitude
                    = static_cast<double>(*units < 0 ? -*units : *units) / kPowers[decimals()];
                return m_value < 0.0 ? -magnitude : magnitude;
            }
        }
        return shownNumberOfText();
    }
    /// shownNumber(), 0 when there is none (numericValue).
    Q_ALWAYS_INLINE double shownValue() const { return shownNumber().value_or(0.0); }
    /// The text shown as a whole-text number, nearest single; 0 when it is not one (textToSingle).
    float shownSingle() const;
    /// The text shown rounded into 16 bits; 0 when it is not a number (textToInteger).
    qint16 shownInteger() const;
    /// How the lists sort the text shown generically (genericSortKey).
    GenericSortKey sortKey() const;
    /// Writes the shortest text of shownSingle() with at most seven significant digits
    /// (formatSingle) as Latin-1 to `out`, which has room for kMaxSingleText bytes: a number field
    /// of the CSV. Returns the length.
    int writeShownSingle(char* out) const;
    /// writeShownSingle() with this cell's shownUnits() already at hand: a writer of several
    /// numbers reads them all first, so that their roundings overlap.
    int writeShownSingle(char* out, std::optional<qint64> units) const;
    static constexpr int kMaxSingleText = 64;

    /// Same form, same value and same text.
    bool operator==(const Cell& other) const;

    /// A number's value as shown, in units of its last decimal ("12.3" → 123, "-0.0" → 0);
    /// empty for other cells and beyond 10^15 units.
    Q_ALWAYS_INLINE std::optional<qint64> shownUnits() const
    {
        if (m_form == CellForm::Integer) {
            return static_cast<qint64>(m_value);
        }
        if (!isNumber()) {
            return std::nullopt;
        }
        const std::uint64_t units = m_single ? roundedSingleUnits(m_value, decimals())
                                             : roundedUnits(m_value, decimals());
        if (units >= kExactDoubleUnits) { // also kNoUnits
            return std::nullopt;
        }
        // Both formats put "-" before a negative value, also one that rounds to zero.
        const auto magnitude = static_cast<qint64>(units);
        return m_value < 0.0 ? -magnitude : magnitude;
    }

private:
    // Below 10^15 units a shown text has at most 15 significant digits: reading it back divides
    // the digits by a power of ten once, exactly as shownNumber() does.
    static constexpr std::uint64_t kExactDoubleUnits = 1'000'000'000'000'000;

    int decimals() const
    {
        switch (m_form) {
        case CellForm::Fixed1:
        case CellForm::Signed1:
            return 1;
        case CellForm::Fixed2:
            return 2;
        case CellForm::Fixed3:
            return 3;
        default:
            return 0;
        }
    }
    std::optional<double> shownNumberOfText() const;
    // roundedUnits() of a value that is a single: |value|·10^d has at most 34 significant bits,
    // so the double product is exact, and adding a half is exact too unless the product is below
    // 2^-19, where the sum stays below 1 either way: the truncation rounds half away from zero.
    static std::uint64_t roundedSingleUnits(double value, int decimals)
    {
        static constexpr double kPowers[] = {1.0, 10.0, 100.0, 1000.0};
        const double product = (value < 0.0 ? -value : value) * kPowers[decimals];
        if (!(product < 0x1.0p52)) {
            return roundedUnits(value, decimals);
        }
        // NOLINTNEXTLINE(bugprone-incorrect-roundings): exact here, as said above
        return static_cast<std::uint64_t>(product + 0.5);
    }
    /// The labels of every pair, at a·(kMaxRunners + 1) + b.
    static const QString* pairLabelTexts();
    bool hasText() const { return m_form == CellForm::Text || m_form == CellForm::PairLabel; }
    union
    {
        double m_value = 0.0;  // a number
        const QString* m_text; // a text or pair label
    };
    CellForm m_form = CellForm::Empty;
    bool m_single = false; // m_value is a single: see roundedSingleUnits()
};

/// A copy of `text` that lives as long as the program, one per distinct text, for texts that
/// come from the settings (marks): the cells of a race keep showing them after the settings
/// change. Safe to call from several threads.
const QString& internText(const QString& text);

/// Writes formatSingle(textToSingle(text)) as Latin-1 to `out` (room for Cell::kMaxSingleText
/// bytes): a file's text as a number field of the CSV. Returns the length.
int writeSingleOfText(QStringView text, char* out);
