// SPDX-License-Identifier: MIT
// Writes the code page 932 tables the readers and the CSV writer use, asking the platform's
// converter every code (decoding) and every UTF-16 unit (encoding) once.
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include "pat/shift_jis_tables.h"

namespace {

bool isMapped(const QString& decoded)
{
    // The converter substitutes U+FFFD (or U+001A) for an unassigned code; its error flag stays
    // set after the first error, so the output is what tells.
    return decoded.size() == 1 && decoded.at(0) != QChar(0xFFFD) && decoded.at(0) != QChar(0x1A);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.cpp\n", argv[0]);
        return 2;
    }
    QByteArray out = "// Generated at build time from the platform's code page 932 converter.\n"
                     "#include \"pat/shift_jis_tables.h\"\n\n"
                     "const char16_t kShiftJisDoubleByte[] = {";
    QStringDecoder decoder("windows-932", QStringDecoder::Flag::Stateless);
    if (!decoder.isValid()) {
        std::fprintf(stderr, "no windows-932 converter\n");
        return 1;
    }
    int count = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const auto l = static_cast<unsigned char>(lead);
            const auto t = static_cast<unsigned char>(trail);
            if (!isShiftJisLeadByte(l) || !isShiftJisTrailByte(t)) {
                continue;
            }
            if (shiftJisDoubleByteIndex(l, t) != count) {
                std::fprintf(stderr, "table order\n");
                return 1;
            }
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const QString text = decoder.decode(QByteArrayView(pair, 2));
            const int unit = isMapped(text) ? text.at(0).unicode() : 0xFFFD;
            out += (count % 12 == 0 ? "\n    " : " ") + QByteArray::number(unit) + ',';
            ++count;
        }
    }
    std::vector<quint16> codes(0x10000, kShiftJisUnmappable);
    for (int unit = 0; unit <= 0xFFFF; ++unit) {
        if (QChar::isSurrogate(static_cast<char32_t>(unit))) {
            continue;
        }
        // A fresh converter per unit: what each unit alone becomes, with no state carried over.
        QStringEncoder encoder("windows-932");
        const char16_t ch = static_cast<char16_t>(unit);
        const QByteArray bytes = encoder.encode(QStringView(&ch, 1));
        if (encoder.hasError() || bytes.isEmpty() || bytes.size() > 2) {
            continue;
        }
        quint32 code = 0;
        for (const char byte : bytes) {
            code = (code << 8) | static_cast<uchar>(byte);
        }
        if ((bytes.size() == 2) != (code >= 0x100) || code == kShiftJisUnmappable) {
            std::fprintf(stderr, "unit %04X: a code the table cannot hold\n", unit);
            return 1;
        }
        codes[static_cast<std::size_t>(unit)] = static_cast<quint16>(code);
    }
    QByteArray blockOf = "\n};\n\nconst quint8 kShiftJisEncodeBlock[256] = {";
    QByteArray blocks = "\n};\n\nconst quint16 kShiftJisEncodeCodes[] = {";
    int blockCount = 0;
    for (int high = 0; high < 256; ++high) {
        const auto first = codes.begin() + high * 256;
        const bool any = std::any_of(
            first, first + 256, [](quint16 code) { return code != kShiftJisUnmappable; });
        if (!any) {
            blockOf
                += (high % 16 == 0 ? "\n    " : " ") + QByteArray::number(kShiftJisNoBlock) + ',';
            continue;
        }
        if (blockCount == kShiftJisNoBlock) {
            std::fprintf(stderr, "too many blocks\n");
            return 1;
        }
        blockOf += (high % 16 == 0 ? "\n    " : " ") + QByteArray::number(blockCount) + ',';
        for (int low = 0; low < 256; ++low) {
            blocks += (low % 16 == 0 ? "\n    " : " ") + QByteArray::number(first[low]) + ',';
        }
        ++blockCount;
    }
    out += blockOf + blocks;
    QString printable;
    for (char16_t c = 0x20; c < 0x7F; ++c) {
        printable += QChar(c);
    }
    QStringEncoder encoder("windows-932");
    const bool asciiAsIs = encoder.encode(printable) == printable.toLatin1() && !encoder.hasError();
    out += "\n};\n\nconst bool kShiftJisKeepsPrintableAscii = ";
    out += asciiAsIs ? "true;\n" : "false;\n";

    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out) != out.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
