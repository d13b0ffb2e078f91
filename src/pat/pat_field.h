// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <array>

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include "base/runners.h"
#include "pat/shift_jis.h"

/// One fixed-width field of a PAT record: the decoded text padded with blanks to exactly N
/// characters. A field of N bytes never decodes to more than N characters, so nothing is cut.
template<int N>
class PatText
{
public:
    static constexpr int kWidth = N;

    PatText() { m_chars.fill(u' '); }

    /// For building expected records: `text` is padded; a longer text is cut to N characters.
    static PatText fromString(QStringView text)
    {
        PatText field;
        field.assign(text.data(), qMin<qsizetype>(text.size(), N));
        return field;
    }

    QStringView view() const { return QStringView(m_chars.data(), N); }
    QString toString() const { return view().toString(); }
    QStringView trimmed() const { return view().trimmed(); }

    /// Stores `count` (at most N) characters and pads the rest with blanks.
    void assign(const char16_t* chars, qsizetype count)
    {
        std::copy(chars, chars + count, m_chars.begin());
        std::fill(m_chars.begin() + count, m_chars.end(), u' ');
    }
    void assign(const QChar* chars, qsizetype count)
    {
        assign(reinterpret_cast<const char16_t*>(chars), count);
    }

    /// Room for N characters, for decoding in place; padFrom() then blanks the rest.
    char16_t* data() { return m_chars.data(); }
    void padFrom(qsizetype count) { std::fill(m_chars.begin() + count, m_chars.end(), u' '); }

    bool operator==(const PatText&) const = default;

private:
    std::array<char16_t, N> m_chars;
};

/// Reads fixed-width fields strictly front to back from bytes in memory.
class PatByteReader final
{
public:
    explicit PatByteReader(QByteArrayView bytes)
        : m_bytes(bytes)
    {}

    // The reader keeps a view: a temporary byte array would dangle.
    PatByteReader(QByteArray&&) = delete;

    qsizetype position() const { return m_pos; }
    qsizetype remaining() const { return m_bytes.size() - m_pos; }

    /// Decodes the next `width` bytes into `out` (room for `width` characters) and returns the
    /// number of characters, or -1 when fewer than `width` bytes are left (nothing is consumed).
    qsizetype readDecoded(qsizetype width, char16_t* out)
    {
        if (remaining() < width) {
            return -1;
        }
        const qsizetype count = decodeShiftJis(m_bytes.data() + m_pos, width, out);
        m_pos += width;
        return count;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

/// Reads the next field of the field's width; false, with the field unchanged, when the bytes
/// end inside it.
template<int N>
bool readPatField(PatByteReader& in, PatText<N>& field)
{
    const qsizetype count = in.readDecoded(N, field.data());
    if (count < 0) {
        return false;
    }
    field.padFrom(count);
    return true;
}

/// Reads the given fields in order; stops at the first that does not read.
template<typename... Fields>
bool readPatFields(PatByteReader& in, Fields&... fields)
{
    return (readPatField(in, fields) && ...);
}
