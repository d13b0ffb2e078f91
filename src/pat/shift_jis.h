// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QStringView>
#include <QtGlobal>

/// Decodes one field of Windows code page 932 (Shift-JIS) bytes into UTF-16.
///
/// Writes at most `size` characters to `out` and returns how many it wrote. Every byte is
/// consumed: a byte that is not valid Shift-JIS, an unassigned double-byte code, or a lead byte
/// without its trail byte (also at the end of the field) becomes U+FFFD.
qsizetype decodeShiftJis(const char* bytes, qsizetype size, char16_t* out);

inline constexpr char16_t kReplacementCharacter = 0xFFFD;

/// Whether every byte stands for one character on its own (ASCII or half-width katakana): such
/// bytes decode one to one, wherever a field boundary falls.
bool isSingleByteShiftJis(const char* bytes, qsizetype size);

/// Decodes bytes that isSingleByteShiftJis() accepted: exactly one character per byte.
inline void decodeSingleByteShiftJis(const char* bytes, qsizetype size, char16_t* out)
{
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = b < 0x80 ? char16_t{b} : static_cast<char16_t>(0xFF61 + (b - 0xA1));
    }
}

/// Writes `text` in code page 932 exactly as the platform's converter writes it, except that a
/// character the code page cannot hold becomes "?" (a surrogate pair counts as one character),
/// to `out`, which has room for 2 × text.size() bytes. Returns the length. The bytes come from
/// a table the build asked the converter for.
qsizetype writeShiftJis(QStringView text, char* out);

/// Whether the platform's converter writes printable ASCII (0x20 to 0x7E) as the same single
/// bytes, so that a writer may copy it without looking it up.
bool shiftJisKeepsPrintableAscii();
