// SPDX-License-Identifier: MIT
#include "shift_jis.h"

#include <algorithm>
#include <cstring>

#include <QStringEncoder>

#include "pat/shift_jis_tables.h"

bool isSingleByteShiftJis(const char* bytes, qsizetype size)
{
    // Eight bytes at a time: a word without a high bit is ASCII throughout.
    const auto* u = reinterpret_cast<const unsigned char*>(bytes);
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word = 0;
        std::memcpy(&word, u + i, sizeof word);
        if ((word & 0x8080'8080'8080'8080ULL) == 0) {
            continue;
        }
        for (qsizetype k = i; k < i + 8; ++k) {
            if (u[k] >= 0x80 && (u[k] < 0xA1 || u[k] > 0xDF)) {
                return false;
            }
        }
    }
    for (; i < size; ++i) {
        if (u[i] >= 0x80 && (u[i] < 0xA1 || u[i] > 0xDF)) {
            return false;
        }
    }
    return true;
}

qsizetype decodeShiftJis(const char* bytes, qsizetype size, char16_t* out)
{
    const auto* u = reinterpret_cast<const unsigned char*>(bytes);
    // Most fields are plain ASCII (odds, counts, codes): widen them without further checks.
    qsizetype i = 0;
    while (i < size && u[i] < 0x80) {
        out[i] = u[i];
        ++i;
    }
    qsizetype written = i;
    while (i < size) {
        const auto b = u[i];
        if (b < 0x80) {
            out[written++] = b;
            ++i;
        } else if (b >= 0xA1 && b <= 0xDF) {
            // Half-width katakana, a fixed offset from U+FF61.
            out[written++] = static_cast<char16_t>(0xFF61 + (b - 0xA1));
            ++i;
        } else if (isShiftJisLeadByte(b) && i + 1 < size && isShiftJisTrailByte(u[i + 1])) {
            out[written++] = kShiftJisDoubleByte[shiftJisDoubleByteIndex(b, u[i + 1])];
            i += 2;
        } else {
            // 0x80, 0xA0, 0xFD-0xFF, or a lead byte whose trail byte is missing or invalid: the
            // byte alone is replaced and the next one is read on its own.
            out[written++] = kReplacementCharacter;
            ++i;
        }
    }
    return written;
}

bool shiftJisKeepsPrintableAscii()
{
    return kShiftJisKeepsPrintableAscii;
}

qsizetype writeShiftJis(QStringView text, char* out)
{
    char* const start = out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit >= 0x20 && unit < 0x7F && kShiftJisKeepsPrintableAscii) {
            *out++ = static_cast<char>(unit);
            continue;
        }
        if (QChar::isSurrogate(unit)) {
            // Nothing beyond the basic plane is in the code page; ask the converter all the same.
            const qsizetype length = QChar::isHighSurrogate(unit) && i + 1 < text.size() ? 2 : 1;
            QStringEncoder encoder("windows-932");
            const QByteArray bytes = encoder.encode(text.mid(i, length));
            if (encoder.hasError()) {
                *out++ = '?';
            } else {
                out = std::copy(bytes.cbegin(), bytes.cend(), out);
            }
            i += length - 1;
            continue;
        }
        const quint16 code = shiftJisCodeOf(unit);
        if (code == kShiftJisUnmappable) {
            *out++ = '?';
            continue;
        }
        if (code >= 0x100) {
            *out++ = static_cast<char>(code >> 8);
        }
        *out++ = static_cast<char>(code & 0xFFU);
    }
    return out - start;
}
