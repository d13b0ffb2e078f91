// SPDX-License-Identifier: MIT
#include "cell.h"

#include <array>
#include <charconv>
#include <cmath>
#include <deque>
#include <limits>
#include <mutex>

#include <QHash>

#include "base/display_format.h"

namespace {

constexpr float kSinglePowers[] = {1.0F, 10.0F, 100.0F, 1000.0F};

// Below 2^24 units both operands of units / 10^d are exact singles: one correctly rounded step.
constexpr qint64 kExactSingleUnits = qint64{1} << 24;
// Below 10^7 units the nearest single printed with seven significant digits gives the shown
// decimals back (checked for every such number of units and decimals).
constexpr qint64 kShortSingleUnits = 10'000'000;

// formatSingle of the single nearest to ±magnitude·10^−decimals, for magnitude < 10^7 and
// decimals ≤ 3: the decimals without trailing zeros; "0" for any zero.
int writeShortDecimal(bool negative, quint64 magnitude, int decimals, char* out)
{
    if (magnitude == 0) {
        out[0] = '0';
        return 1;
    }
    // magnitude < 10^7: 32 bits. Trailing zeros of the fraction go first.
    auto rest = static_cast<quint32>(magnitude);
    while (decimals > 0 && rest % 10 == 0) {
        rest /= 10;
        --decimals;
    }
    int digits = 1;
    for (quint32 power = 10; power <= rest && digits < 10; power *= 10) {
        ++digits;
    }
    const int integerDigits = std::max(digits - decimals, 1);
    const int length = (negative ? 1 : 0) + integerDigits + (decimals > 0 ? decimals + 1 : 0);
    // Written from the right, straight into place.
    char* at = out + length;
    for (int k = 0; k < decimals; ++k) {
        *--at = static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    if (decimals > 0) {
        *--at = '.';
    }
    do {
        *--at = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (negative) {
        *--at = '-';
    }
    return length;
}

int writeLatin1(const QString& text, char* out)
{
    for (const QChar c : text) {
        *out++ = static_cast<char>(c.unicode());
    }
    return static_cast<int>(text.size());
}

} // namespace

int writeSingleOfText(QStringView text, char* out)
{
    const auto number = parseDecimalText(text);
    if (!number) {
        out[0] = '0';
        return 1;
    }
    const auto first = number->integerDigits.find_first_not_of('0');
    const std::size_t integerDigits
        = first == std::string::npos ? 0 : number->integerDigits.size() - first;
    const std::size_t decimals = number->fractionDigits.size();
    if (decimals > 3 || integerDigits + decimals > 7) {
        return writeLatin1(formatSingle(decimalTextToSingle(*number).value_or(0.0F)), out);
    }
    quint64 magnitude = 0;
    for (const std::string* part : {&number->integerDigits, &number->fractionDigits}) {
        for (const char c : *part) {
            magnitude = magnitude * 10 + static_cast<quint64>(c - '0');
        }
    }
    return writeShortDecimal(number->negative, magnitude, static_cast<int>(decimals), out);
}

namespace {

constexpr int kLabelNumbers = kMaxRunners + 1;

// Labels repeat in every race, so they are made once.
const std::array<QString, kLabelNumbers * kLabelNumbers>& pairLabels()
{
    static const auto labels = [] {
        std::array<QString, kLabelNumbers * kLabelNumbers> made;
        for (int a = 1; a < kLabelNumbers; ++a) {
            for (int b = a + 1; b < kLabelNumbers; ++b) {
                made[static_cast<std::size_t>(a * kLabelNumbers + b)]
                    = QString::number(a).rightJustified(2) + u'-'
                      + QString::number(b).rightJustified(2);
            }
        }
        return made;
    }();
    return labels;
}

} // namespace

const QString* Cell::pairLabelTexts()
{
    return pairLabels().data();
}

int Cell::pairOfLabel(QStringView trimmedText)
{
    static const auto pairs = [] {
        QHash<QString, int> made;
        for (int a = 1; a < kLabelNumbers; ++a) {
            for (int b = a + 1; b < kLabelNumbers; ++b) {
                made.insert(pairLabel(a, b).textValue().trimmed().toString(), a * 100 + b);
            }
        }
        return made;
    }();
    return pairs.value(trimmedText.toString(), 0);
}

QString Cell::text() const
{
    switch (m_form) {
    case CellForm::Empty:
        return {};
    case CellForm::Text:
    case CellForm::PairLabel:
        return *m_text;
    case CellForm::Fixed1:
    case CellForm::Fixed2:
    case CellForm::Fixed3:
        return formatFixed(m_value, decimals());
    case CellForm::Signed1:
        return formatSignedOdds(m_value);
    case CellForm::Integer:
        return QString::number(static_cast<qint64>(m_value));
    }
    return {};
}

qsizetype Cell::textLength() const
{
    const auto units = isNumber() ? shownUnits() : std::nullopt;
    if (!units) {
        return hasText() ? m_text->size() : text().size();
    }
    const int places = decimals();
    qsizetype digits = 1;
    for (auto rest = static_cast<quint64>(std::abs(*units)) / 10; rest != 0; rest /= 10) {
        ++digits;
    }
    digits = qMax<qsizetype>(digits, places + 1) + (places > 0 ? 1 : 0);
    const bool sign = m_form == CellForm::Signed1 ? m_value != 0.0 : m_value < 0.0;
    return digits + (sign ? 1 : 0);
}

std::optional<double> Cell::shownNumberOfText() const
{
    return m_form == CellForm::Empty ? std::nullopt : leadingNumber(text());
}

float Cell::shownSingle() const
{
    if (isNumber()) {
        const auto units = shownUnits();
        if (units && std::abs(*units) < kExactSingleUnits) {
            const float magnitude
                = static_cast<float>(std::abs(*units)) / kSinglePowers[decimals()];
            return m_value < 0.0 ? -magnitude : magnitude;
        }
    }
    if (m_form == CellForm::Empty) {
        return 0.0F;
    }
    return textToSingle(text());
}

qint16 Cell::shownInteger() const
{
    if (m_form == CellForm::Integer) {
        const auto value = static_cast<qint64>(m_value);
        const bool fits = value >= std::numeric_limits<qint16>::min()
                          && value <= std::numeric_limits<qint16>::max();
        return fits ? static_cast<qint16>(value) : qint16{0};
    }
    if (m_form == CellForm::Empty) {
        return 0;
    }
    return textToInteger(text());
}

GenericSortKey Cell::sortKey() const
{
    // A finite number always shows as a number as a whole; its text is never compared.
    if (isNumber() && std::isfinite(m_value)) {
        return {shownNumber(), QString()};
    }
    return genericSortKey(text());
}

int Cell::writeShownSingle(char* out) const
{
    return writeShownSingle(out, shownUnits());
}

int Cell::writeShownSingle(char* out, std::optional<qint64> units) const
{
    if (!units || std::abs(*units) >= kShortSingleUnits) {
        return writeLatin1(formatSingle(shownSingle()), out);
    }
    return writeShortDecimal(*units < 0, static_cast<quint64>(std::abs(*units)), decimals(), out);
}

bool Cell::operator==(const Cell& other) const
{
    if (m_form != other.m_form) {
        return false;
    }
    if (hasText()) {
        return *m_text == *other.m_text;
    }
    return m_form == CellForm::Empty || m_value == other.m_value;
}

const QString& internText(const QString& text)
{
    static std::mutex mutex;
    static std::deque<QString> texts; // a deque never moves what it holds
    static QHash<QString, const QString*> index;
    const std::lock_guard lock(mutex);
    const auto found = index.constFind(text);
    if (found != index.cend()) {
        return **found;
    }
    const QString& kept = texts.emplace_back(text);
    index.insert(kept, &kept);
    return kept;
}
