// SPDX-License-Identifier: MIT
#include "shift_jis.h"

#include <array>
#include <atomic>
#include <cstring>

#include <QByteArrayView>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool isTrailByte(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

constexpr int kLeadCount = (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1);  // 60
constexpr int kTrailCount = (0x7E - 0x40 + 1) + (0xFC - 0x80 + 1); // 188

constexpr int leadIndex(unsigned char b)
{
    return b <= 0x9F ? b - 0x81 : b - 0xE0 + (0x9F - 0x81 + 1);
}

constexpr int trailIndex(unsigned char b)
{
    return b <= 0x7E ? b - 0x40 : b - 0x80 + (0x7E - 0x40 + 1);
}

using DoubleByteTable = std::array<char16_t, kLeadCount * kTrailCount>;

bool isMapped(const QString& decoded)
{
    // The converter substitutes U+FFFD (or U+001A) for an unassigned code. Its error flag cannot
    // be used: it stays set after the first error, whatever resetState() does.
    return decoded.size() == 1 && decoded.at(0) != QChar(kReplacementCharacter)
           && decoded.at(0) != QChar(0x1A);
}

// The double-byte codes come from the platform's own code page 932 converter, asked once per
// code; per-field conversion through it would cost far more than the file reads themselves.
DoubleByteTable buildDoubleByteTable()
{
    DoubleByteTable table{};
    QStringDecoder decoder("windows-932", QStringDecoder::Flag::Stateless);
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isLeadByte(static_cast<unsigned char>(lead))) {
            continue;
        }
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!isTrailByte(static_cast<unsigned char>(trail))) {
                continue;
            }
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const QString text = decoder.decode(QByteArrayView(pair, 2));
            const char16_t ch = isMapped(text) ? text.at(0).unicode() : kReplacementCharacter;
            table[leadIndex(static_cast<unsigned char>(lead)) * kTrailCount
                  + trailIndex(static_cast<unsigned char>(trail))]
                = ch;
        }
    }
    return table;
}

const DoubleByteTable& doubleByteTable()
{
    static const DoubleByteTable table = buildDoubleByteTable();
    return table;
}

} // namespace

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
        } else if (isLeadByte(b) && i + 1 < size && isTrailByte(u[i + 1])) {
            const auto trail = u[i + 1];
            out[written++] = doubleByteTable()[leadIndex(b) * kTrailCount + trailIndex(trail)];
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

namespace {

// A UTF-16 unit's bytes in code page 932: bit 31 set once known, bit 30 when the code page
// cannot hold it, bits 16–17 the byte count, the low 16 bits the bytes.
constexpr quint32 kKnown = 0x8000'0000U;
constexpr quint32 kUnmappable = 0x4000'0000U;

quint32 encodeUnit(char16_t unit)
{
    QStringEncoder encoder("windows-932");
    const QByteArray bytes = encoder.encode(QStringView(&unit, 1));
    if (encoder.hasError() || bytes.size() > 2) {
        return kKnown | kUnmappable;
    }
    quint32 code = 0;
    for (const char byte : bytes) {
        code = (code << 8) | static_cast<uchar>(byte);
    }
    return kKnown | (static_cast<quint32>(bytes.size()) << 16) | code;
}

} // namespace

bool shiftJisKeepsPrintableAscii()
{
    static const bool asIs = [] {
        QString printable;
        for (char16_t c = 0x20; c < 0x7F; ++c) {
            printable += QChar(c);
        }
        QStringEncoder encoder("windows-932");
        return encoder.encode(printable) == printable.toLatin1() && !encoder.hasError();
    }();
    return asIs;
}

qsizetype writeShiftJis(QStringView text, char* out)
{
    char* const start = out;
    // Relaxed atomics: two threads that meet an unknown unit both ask the converter and store
    // the same answer.
    static std::array<std::atomic<quint32>, 0x10000> units{};
    const bool asciiAsIs = shiftJisKeepsPrintableAscii();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit >= 0x20 && unit < 0x7F && asciiAsIs) {
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
        quint32 code = units[unit].load(std::memory_order_relaxed);
        if (code == 0) {
            code = encodeUnit(unit);
            units[unit].store(code, std::memory_order_relaxed);
        }
        if ((code & kUnmappable) != 0) {
            *out++ = '?';
            continue;
        }
        const int count = static_cast<int>((code >> 16) & 3U);
        for (int k = count - 1; k >= 0; --k) {
            *out++ = static_cast<char>((code >> (8 * k)) & 0xFFU);
        }
    }
    return out - start;
}
