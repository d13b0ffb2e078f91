// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QStringDecoder>
#include <QStringEncoder>

#include "pat/pat_field.h"
#include "pat/shift_jis.h"

using namespace Qt::StringLiterals;

namespace {

QString decode(const QByteArray& bytes)
{
    std::vector<char16_t> out(static_cast<std::size_t>(bytes.size()) + 1);
    const qsizetype n = decodeShiftJis(bytes.constData(), bytes.size(), out.data());
    return QString::fromUtf16(out.data(), n);
}

} // namespace

// Every code the platform converter maps must decode the same here; the rest must become
// U+FFFD. Covers the single-byte ranges and every lead/trail combination. (The converter's error
// flag is sticky, so a mapping is recognised by its output: one character that is not its
// substitution character.)
TEST(ShiftJis, AgreesWithPlatformConverterOnEveryCode)
{
    QStringDecoder reference("windows-932", QStringDecoder::Flag::Stateless);
    ASSERT_TRUE(reference.isValid());
    const auto mapped = [](const QString& s) {
        return s.size() == 1 && s.at(0) != QChar(0xFFFD) && s.at(0) != QChar(0x1A);
    };
    int singles = 0;
    int doubles = 0;
    for (int first = 0; first <= 0xFF; ++first) {
        const QByteArray single(1, static_cast<char>(first));
        const QString one = decode(single);
        ASSERT_EQ(one.size(), 1);
        if (first < 0x80) {
            ASSERT_EQ(one, QString(QChar(first))); // ASCII as itself, control bytes included
        } else if (mapped(reference.decode(single))) {
            ASSERT_EQ(one, reference.decode(single)) << first;
            ++singles;
        } else {
            ASSERT_EQ(one, QString(QChar(0xFFFD))) << first;
        }
        const bool lead = (first >= 0x81 && first <= 0x9F) || (first >= 0xE0 && first <= 0xFC);
        if (!lead) {
            continue;
        }
        for (int second = 0x40; second <= 0xFC; ++second) {
            if (second == 0x7F) {
                continue; // not a trail byte
            }
            const QByteArray pair = single + static_cast<char>(second);
            const QString expected = reference.decode(pair);
            const QString actual = decode(pair);
            if (mapped(expected)) {
                ASSERT_EQ(actual, expected) << first << ' ' << second;
                ++doubles;
            } else {
                ASSERT_EQ(actual, QString(QChar(0xFFFD))) << first << ' ' << second;
            }
        }
    }
    EXPECT_EQ(singles, 63); // half-width katakana 0xA1 to 0xDF
    EXPECT_GT(doubles, 7000);
}

// The writer's bytes for every unit of the basic plane (and a pair beyond it) are the
// converter's own, "?" where it reports an error.
TEST(ShiftJis, WritesWhatThePlatformConverterWrites)
{
    const auto viaConverter = [](QStringView text) {
        QStringEncoder encoder("windows-932");
        const QByteArray bytes = encoder.encode(text);
        return encoder.hasError() ? QByteArray("?") : bytes;
    };
    char out[4];
    int doubles = 0;
    for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
        if (QChar::isSurrogate(unit)) {
            continue;
        }
        const char16_t ch = static_cast<char16_t>(unit);
        const QByteArray expected = viaConverter(QStringView(&ch, 1));
        const qsizetype n = writeShiftJis(QStringView(&ch, 1), out);
        ASSERT_EQ(QByteArray(out, n), expected) << static_cast<int>(unit);
        doubles += n == 2 ? 1 : 0;
    }
    EXPECT_GT(doubles, 7000);
    const QString beyond = u"\U0001F40E"_s;
    EXPECT_EQ(QByteArray(out, writeShiftJis(beyond, out)), viaConverter(beyond));
}

struct InvalidCase
{
    const char* name;
    QByteArray bytes;
    QString expected;
};

void PrintTo(const InvalidCase& c, std::ostream* os)
{
    *os << c.name;
}

class ShiftJisInvalid : public testing::TestWithParam<InvalidCase>
{};

TEST_P(ShiftJisInvalid, BecomesReplacementCharacterAndKeepsWidth)
{
    const auto& c = GetParam();
    EXPECT_EQ(decode(c.bytes), c.expected);

    // The field still consumes its whole width: the next field reads intact.
    const QByteArray bytes = c.bytes + "AB";
    PatByteReader in(bytes);
    PatText<2> next;
    char16_t scratch[64];
    ASSERT_GE(in.readDecoded(c.bytes.size(), scratch), 0);
    ASSERT_TRUE(readPatField(in, next));
    EXPECT_EQ(next.view(), u"AB");
}

INSTANTIATE_TEST_SUITE_P(
    Bytes,
    ShiftJisInvalid,
    testing::Values(
        InvalidCase{"lone_0x80", QByteArray("\x80", 1), u"\uFFFD"_s},
        InvalidCase{"lone_0xA0", QByteArray("\xA0", 1), u"\uFFFD"_s},
        InvalidCase{"high_bytes", QByteArray("\xFD\xFE\xFF", 3), u"\uFFFD\uFFFD\uFFFD"_s},
        InvalidCase{"lead_at_field_end", QByteArray("A\x82", 2), u"A\uFFFD"_s},
        InvalidCase{"lead_with_bad_trail", QByteArray("\x82\x20Z", 3), u"\uFFFD Z"_s},
        InvalidCase{"unassigned_double_byte", QByteArray("\x85\x40", 2), u"\uFFFD"_s},
        InvalidCase{"pair_then_lone_0xA0", QByteArray("\x82\x82\xA0", 3), u"ｂ\uFFFD"_s}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ShiftJis, FieldHoldsDecodedTextPaddedToWidth)
{
    // 9 double-byte characters and 10 blanks in a 28-byte field: 9 characters and 19 blanks.
    const QByteArray bytes = QByteArray("\x83\x5E\x83\x43\x83\x67\x83\x8B\x83\x6A\x83\x81"
                                        "\x83\x7B\x83\x8A\x83\x58")
                             + QByteArray(10, ' ');
    PatByteReader in(bytes);
    PatText<28> field;
    ASSERT_TRUE(readPatField(in, field));
    EXPECT_EQ(field.view(), QString(u"タイトルニメボリス" + QString(19, u' ')));
    EXPECT_EQ(in.remaining(), 0);

    // Half-width "ﾄﾘｹｼ" and one blank in a 5-byte field.
    const QByteArray oddsBytes("\xC4\xD8\xB9\xBC ", 5);
    PatByteReader odds(oddsBytes);
    PatText<5> win;
    ASSERT_TRUE(readPatField(odds, win));
    EXPECT_EQ(win.view(), u"ﾄﾘｹｼ ");
}

TEST(ShiftJis, ShortReadLeavesFieldAndPositionUnchanged)
{
    PatByteReader in(QByteArrayView("abc", 3));
    PatText<4> field = PatText<4>::fromString(u"old");
    EXPECT_FALSE(readPatField(in, field));
    EXPECT_EQ(field.view(), u"old ");
    EXPECT_EQ(in.position(), 0);
}
