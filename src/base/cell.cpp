// SPDX-License-Identifier: MIT
#include "cell.h"

#include <cmath>
#include <deque>
#include <limits>
#include <mutex>

#include <QHash>

#include "base/display_format.h"

namespace {

int decimalsOf(CellForm form)
{
    switch (form) {
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

constexpr double kDoublePowers[] = {1.0, 10.0, 100.0, 1000.0};
constexpr float kSinglePowers[] = {1.0F, 10.0F, 100.0F, 1000.0F};

// Below 10^15 units a shown text has at most 15 significant digits: reading it back divides the
// digits by a power of ten once, exactly as done here.
constexpr qint64 kExactDoubleUnits = 1'000'000'000'000'000;
// Below 2^24 units both operands of units / 10^d are exact singles: one correctly rounded step.
constexpr qint64 kExactSingleUnits = qint64{1} << 24;
// Below 10^7 units the nearest single printed with seven significant digits gives the shown
// decimals back (checked for every such number of units and decimals).
constexpr qint64 kShortSingleUnits = 10'000'000;

// formatSingle of the single nearest to ±magnitude·10^−decimals, for magnitude < 10^7 and
// decimals ≤ 3: the decimals without trailing zeros; "0" for any zero.
void appendShortDecimal(bool negative, quint64 magnitude, int decimals, QByteArray& out)
{
    if (magnitude == 0) {
        out += '0';
        return;
    }
    while (decimals > 0 && magnitude % 10 == 0) {
        magnitude /= 10;
        --decimals;
    }
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0 || count <= decimals);
    if (negative) {
        out += '-';
    }
    for (int k = count - 1; k >= 0; --k) {
        out += digits[k];
        if (k == decimals && decimals > 0) {
            out += '.';
        }
    }
}

} // namespace

void appendSingleOfText(QStringView text, QByteArray& out)
{
    const auto number = parseDecimalText(text);
    if (!number) {
        out += '0';
        return;
    }
    const auto first = number->integerDigits.find_first_not_of('0');
    const std::size_t integerDigits
        = first == std::string::npos ? 0 : number->integerDigits.size() - first;
    const std::size_t decimals = number->fractionDigits.size();
    if (decimals > 3 || integerDigits + decimals > 7) {
        out += formatSingle(decimalTextToSingle(*number).value_or(0.0F)).toLatin1();
        return;
    }
    quint64 magnitude = 0;
    for (const std::string* part : {&number->integerDigits, &number->fractionDigits}) {
        for (const char c : *part) {
            magnitude = magnitude * 10 + static_cast<quint64>(c - '0');
        }
    }
    appendShortDecimal(number->negative, magnitude, static_cast<int>(decimals), out);
}

Cell Cell::number(double value, CellForm form)
{
    Cell cell;
    cell.m_value = value;
    cell.m_form = form;
    return cell;
}

Cell Cell::lastingText(const QString& text)
{
    Cell cell;
    cell.m_text = &text;
    cell.m_form = CellForm::Text;
    return cell;
}

QString Cell::text() const
{
    switch (m_form) {
    case CellForm::Empty:
        return {};
    case CellForm::Text:
        return *m_text;
    case CellForm::Fixed1:
    case CellForm::Fixed2:
    case CellForm::Fixed3:
        return formatFixed(m_value, decimalsOf(m_form));
    case CellForm::Signed1:
        return formatSignedOdds(m_value);
    case CellForm::Integer:
        return QString::number(static_cast<qint64>(m_value));
    }
    return {};
}

qsizetype Cell::textLength() const
{
    const auto units
        = m_form == CellForm::Text || m_form == CellForm::Empty ? std::nullopt : shownUnits();
    if (!units) {
        return m_form == CellForm::Text ? m_text->size() : text().size();
    }
    const int decimals = decimalsOf(m_form);
    qsizetype digits = 1;
    for (auto rest = static_cast<quint64>(std::abs(*units)) / 10; rest != 0; rest /= 10) {
        ++digits;
    }
    digits = qMax<qsizetype>(digits, decimals + 1) + (decimals > 0 ? 1 : 0);
    const bool sign = m_form == CellForm::Signed1 ? m_value != 0.0 : m_value < 0.0;
    return digits + (sign ? 1 : 0);
}

bool Cell::showsNothing() const
{
    switch (m_form) {
    case CellForm::Empty:
        return true;
    case CellForm::Text:
        return m_text->isEmpty();
    default:
        return !std::isfinite(m_value);
    }
}

std::optional<qint64> Cell::shownUnits() const
{
    if (m_form == CellForm::Integer) {
        return static_cast<qint64>(m_value);
    }
    if (!isNumber() || !std::isfinite(m_value)) {
        return std::nullopt;
    }
    const auto units = roundedUnits(m_value, decimalsOf(m_form));
    if (!units || *units >= static_cast<std::uint64_t>(kExactDoubleUnits)) {
        return std::nullopt;
    }
    // Both formats put "-" before a negative value, also one that rounds to zero.
    const auto magnitude = static_cast<qint64>(*units);
    return m_value < 0.0 ? -magnitude : magnitude;
}

std::optional<double> Cell::shownNumber() const
{
    if (isNumber()) {
        if (const auto units = shownUnits()) {
            const double magnitude
                = static_cast<double>(std::abs(*units)) / kDoublePowers[decimalsOf(m_form)];
            return m_value < 0.0 ? -magnitude : magnitude;
        }
    }
    if (m_form == CellForm::Empty) {
        return std::nullopt;
    }
    return leadingNumber(text());
}

float Cell::shownSingle() const
{
    if (isNumber()) {
        const auto units = shownUnits();
        if (units && std::abs(*units) < kExactSingleUnits) {
            const float magnitude
                = static_cast<float>(std::abs(*units)) / kSinglePowers[decimalsOf(m_form)];
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

void Cell::appendShownSingle(QByteArray& out) const
{
    const auto units = shownUnits();
    if (!units || std::abs(*units) >= kShortSingleUnits) {
        out += formatSingle(shownSingle()).toLatin1();
        return;
    }
    appendShortDecimal(*units < 0, static_cast<quint64>(std::abs(*units)), decimalsOf(m_form), out);
}

bool Cell::operator==(const Cell& other) const
{
    if (m_form != other.m_form) {
        return false;
    }
    if (m_form == CellForm::Text) {
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
