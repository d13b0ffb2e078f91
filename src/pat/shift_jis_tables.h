// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// Code page 932 tables written at build time from the platform's own converter (asking it at run
// time costs a short process a millisecond: opening the converter and 11,280 questions).

inline constexpr int kShiftJisLeadCount = (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1);  // 60
inline constexpr int kShiftJisTrailCount = (0x7E - 0x40 + 1) + (0xFC - 0x80 + 1); // 188

constexpr bool isShiftJisLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool isShiftJisTrailByte(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

/// The place of a lead and trail byte pair in the double-byte table.
constexpr int shiftJisDoubleByteIndex(unsigned char lead, unsigned char trail)
{
    const int l = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + (0x9F - 0x81 + 1);
    const int t = trail <= 0x7E ? trail - 0x40 : trail - 0x80 + (0x7E - 0x40 + 1);
    return l * kShiftJisTrailCount + t;
}

/// Every lead and trail byte pair's character, U+FFFD where the converter maps none.
extern const char16_t kShiftJisDoubleByte[kShiftJisLeadCount * kShiftJisTrailCount];

/// Every UTF-16 unit's bytes as the converter writes it alone, in two levels: the unit's high
/// byte picks a block (kShiftJisNoBlock: no unit of it is written), its low byte the code in the
/// block. A code below 0x100 is one byte, any other two; kShiftJisUnmappable where the converter
/// reports an error (surrogates are not in the tables).
inline constexpr quint8 kShiftJisNoBlock = 0xFF;
inline constexpr quint16 kShiftJisUnmappable = 0xFFFF;
extern const quint8 kShiftJisEncodeBlock[256];
extern const quint16 kShiftJisEncodeCodes[];

inline quint16 shiftJisCodeOf(char16_t unit)
{
    const quint8 block = kShiftJisEncodeBlock[unit >> 8];
    return block == kShiftJisNoBlock ? kShiftJisUnmappable
                                     : kShiftJisEncodeCodes[block * 256 + (unit & 0xFF)];
}

/// Whether the converter writes printable ASCII (0x20 to 0x7E) as the same single bytes.
extern const bool kShiftJisKeepsPrintableAscii;
