// SPDX-License-Identifier: MIT
#pragma once

// The pieces every CSV file of this program is written with: code page 932, CR LF, texts in
// double quotes, numbers plain. Inline: the values are short and many.

#include <charconv>
#include <string_view>

#include <QByteArray>
#include <QString>

#include "base/cell.h"
#include "pat/shift_jis.h"

// The file's bytes, written through a pointer into room made beforehand: the values are short,
// and a size check per byte would cost more than the values.
class CsvBytes
{
public:
    CsvBytes()
    {
        m_data.resize(64 * 1024); // more than an 18-runner race writes
        m_begin = m_data.data();
    }

    /// Room for `count` more bytes; wrote() then counts what was written there.
    char* room(qsizetype count)
    {
        if (m_size + count > m_data.size()) {
            m_data.resize(qMax(2 * m_data.size(), m_size + count));
            m_begin = m_data.data();
        }
        return m_begin + m_size;
    }
    void wrote(qsizetype count) { m_size += count; }
    void put(char c)
    {
        *room(1) = c;
        wrote(1);
    }
    void put(std::string_view text)
    {
        char* at = room(static_cast<qsizetype>(text.size()));
        for (const char c : text) { // a few bytes: a library copy would be a call
            *at++ = c;
        }
        wrote(static_cast<qsizetype>(text.size()));
    }
    QByteArray take()
    {
        m_data.truncate(m_size);
        return std::move(m_data);
    }

private:
    QByteArray m_data;
    char* m_begin = nullptr; // m_data's bytes, asked once per growth: data() checks for sharing
    qsizetype m_size = 0;
};

// Through the code page; a quote inside is doubled (only reached when the code page does not
// keep ASCII as it is).
inline char* encodeRun(QStringView run, char* out)
{
    qsizetype from = 0;
    for (qsizetype at = 0; at < run.size(); ++at) {
        if (run[at] == u'"') {
            out += writeShiftJis(run.mid(from, at + 1 - from), out);
            from = at;
        }
    }
    return out + writeShiftJis(run.mid(from), out);
}

// The bytes a quoted text may take: every character at most two, a doubled quote too.
inline qsizetype quotedRoom(QStringView text)
{
    return 2 * text.size() + 2;
}

// A text in double quotes, a quote inside doubled.
inline char* writeQuoted(char* at, QStringView value)
{
    *at++ = '"';
    const bool asciiAsIs = shiftJisKeepsPrintableAscii();
    qsizetype i = 0;
    while (i < value.size()) {
        const char16_t c = value[i].unicode();
        if (c == u'"' && asciiAsIs) {
            *at++ = '"';
            *at++ = '"';
            ++i;
        } else if (c >= 0x20 && c < 0x7F && asciiAsIs) {
            *at++ = static_cast<char>(c);
            ++i;
        } else {
            // A run of other characters goes through the code page as a whole.
            qsizetype end = i + 1;
            while (end < value.size()
                   && !(value[end].unicode() >= 0x20 && value[end].unicode() < 0x7F)) {
                ++end;
            }
            if (!asciiAsIs) {
                end = value.size();
            }
            at = encodeRun(value.mid(i, end - i), at);
            i = end;
        }
    }
    *at++ = '"';
    return at;
}

inline constexpr qsizetype kIntegerRoom = 24;

// A cell as the CSV quotes it; an integer's digits without making its text.
inline qsizetype cellTextRoom(const Cell& cell)
{
    return cell.form() == CellForm::Integer ? kIntegerRoom + 2 : 2 * cell.textLength() + 2;
}

inline char* writeCellText(char* at, const Cell& cell)
{
    switch (cell.form()) {
    case CellForm::Empty:
        return writeQuoted(at, {});
    case CellForm::Text:
    case CellForm::PairLabel:
        return writeQuoted(at, cell.textValue());
    case CellForm::Integer:
        *at++ = '"';
        at = std::to_chars(at, at + kIntegerRoom, static_cast<qint64>(cell.value())).ptr;
        *at++ = '"';
        return at;
    default:
        return writeQuoted(at, cell.text());
    }
}

// One CSV line: values separated by ",", ended with CR LF.
class CsvLine
{
public:
    explicit CsvLine(CsvBytes& out)
        : m_out(out)
    {}
    ~CsvLine() { m_out.put("\r\n"); }
    Q_DISABLE_COPY_MOVE(CsvLine)

    CsvLine& text(QStringView value)
    {
        separate();
        char* const start = m_out.room(quotedRoom(value));
        m_out.wrote(writeQuoted(start, value) - start);
        return *this;
    }
    CsvLine& texts(std::initializer_list<const char16_t*> values)
    {
        for (const char16_t* value : values) {
            text(QStringView(value));
        }
        return *this;
    }
    /// A value written as it stands (a number's ASCII text; nothing for an empty field).
    CsvLine& plain(QStringView ascii)
    {
        separate();
        char* at = m_out.room(ascii.size());
        for (const QChar c : ascii) {
            *at++ = static_cast<char>(c.unicode());
        }
        m_out.wrote(ascii.size());
        return *this;
    }
    CsvLine& integer(qint64 value)
    {
        separate();
        char* at = m_out.room(kIntegerRoom);
        m_out.wrote(std::to_chars(at, at + kIntegerRoom, value).ptr - at);
        return *this;
    }
    CsvLine& single(const Cell& cell)
    {
        separate();
        m_out.wrote(cell.writeShownSingle(m_out.room(Cell::kMaxSingleText)));
        return *this;
    }
    CsvLine& singleOfText(QStringView text)
    {
        separate();
        m_out.wrote(writeSingleOfText(text, m_out.room(Cell::kMaxSingleText)));
        return *this;
    }
    CsvLine& cellText(const Cell& cell)
    {
        separate();
        char* const start = m_out.room(cellTextRoom(cell));
        m_out.wrote(writeCellText(start, cell) - start);
        return *this;
    }

private:
    void separate()
    {
        if (m_any) {
            m_out.put(',');
        }
        m_any = true;
    }

    CsvBytes& m_out;
    bool m_any = false;
};

/// Writes `bytes` at `path` through QSaveFile: on failure the file there is left as it was and
/// `error` holds what went wrong, in Japanese.
bool saveCsvBytes(const QByteArray& bytes, const QString& path, QString* error);
