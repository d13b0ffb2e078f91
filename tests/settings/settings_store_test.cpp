// SPDX-License-Identifier: MIT
#include <cmath>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

const QString kAutoJudge = QString::fromUtf16(SettingsSection::kAutoJudge);

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(SettingsStore, EmptyStoreGivesEveryDefault)
{
    TestFolder folder;
    const SettingsStore store(folder.filePath(u"empty.ini"_s));
    EXPECT_EQ(store.getPatFolder(), SettingsStore::defaultPatFolder() + QDir::separator());
    for (int horse = 1; horse <= 18; ++horse) {
        EXPECT_EQ(store.readInteger32(SettingsKey::HorseNoColour, {}, horse), 16777215);
    }
    EXPECT_EQ(store.readInteger16(SettingsKey::DetectVal), 5);
    EXPECT_EQ(store.readInteger16(SettingsKey::DetectMin, BetType::Wide, 5), 30);
    EXPECT_EQ(store.readInteger16(SettingsKey::DetectMax, BetType::Quinella, 1), 1000);
    EXPECT_EQ(store.readInteger16(SettingsKey::DetectMin, BetType::Quinella, 3), 200);
    EXPECT_EQ(store.readText(SettingsKey::DispChar, BetType::Quinella, 4), u"△");
    EXPECT_EQ(store.readText(SettingsKey::DispChar, BetType::Wide, 1), u"◎");
    EXPECT_EQ(store.readSingle(SettingsKey::ActualLimit, BetType::Wide), 100.0F);
    EXPECT_EQ(store.readSingle(SettingsKey::ActualLimit, BetType::Quinella), 300.0F);
    EXPECT_EQ(store.readSingle(SettingsKey::TheoreticalLimit, BetType::Wide), 1000.0F);
    EXPECT_EQ(store.readSingle(SettingsKey::WinRatioLimit, BetType::Quinella), 0.04F);
    EXPECT_EQ(store.readSingle(SettingsKey::PlaceRatioLimit, BetType::Wide), 0.05F);
    EXPECT_EQ(store.readFlag(SettingsKey::IsWinRatioLimit, BetType::Quinella), true);
    EXPECT_EQ(store.readFlag(SettingsKey::IsActualLimit, BetType::Wide), true);
    EXPECT_EQ(store.readInteger16(SettingsKey::DispSign, BetType::Quinella), 0);
    EXPECT_EQ(store.readInteger32(SettingsKey::PlusColour, BetType::Wide), 0);
    EXPECT_EQ(store.readInteger32(SettingsKey::MinusColour, BetType::Quinella), 255);
    EXPECT_EQ(store.readTwips(QString::fromUtf16(SettingsSection::kMainWindow), u"Left"_s, 1000),
              1000);
    // Reading never creates the file.
    EXPECT_FALSE(QFile::exists(folder.filePath(u"empty.ini"_s)));
}

TEST(SettingsStore, IniLayoutOfAKnownWrite)
{
    TestFolder folder;
    const QString path = folder.filePath(u"layout.ini"_s);
    {
        SettingsStore store(path);
        store.writeInteger16(SettingsKey::DetectMin, BetType::Quinella, 3, 150);
        store.writeText(SettingsKey::DispChar, BetType::Quinella, 1, u"◎"_s);
        store.writeSingle(SettingsKey::TheoreticalLimit, BetType::Quinella, 1, 9999.9F);
        store.writeFlag(SettingsKey::IsActualLimit, BetType::Wide, 1, false);
        store.writeInteger32(SettingsKey::HorseNoColour, {}, 1, 255);
        store.setPatFolder(u"C:\\Program Files\\Pat98"_s);
        store.writeTwips(QString::fromUtf16(SettingsSection::kMainWindow), u"Left"_s, 1000);
    }
    EXPECT_EQ(QString::fromUtf8(fileBytes(path)),
              u"[MainWindow]\n"
              u"Left=1000\n"
              u"\n"
              u"[Option]\n"
              u"AutoJudge\\DetectMinUma3=150\n"
              u"AutoJudge\\DispCharUma1=◎\n"
              u"AutoJudge\\IdealLimitUma=9999.9\n"
              u"AutoJudge\\IsRealLimitWide=False\n"
              u"HorseNoColor\\1=255\n"
              u"PatFolder=C:\\\\Program Files\\\\Pat98\n"_s);
}

TEST(SettingsStore, EveryWriterRoundTripsThroughItsReader)
{
    TestFolder folder;
    const QString path = folder.filePath(u"round.ini"_s);
    {
        SettingsStore store(path);
        store.setPatFolder(u"/srv/pat"_s);
        store.writeInteger16(SettingsKey::DetectVal, {}, 1, 12);
        for (int horse = 1; horse <= 18; ++horse) {
            store.writeInteger32(SettingsKey::HorseNoColour, {}, horse, horse * 1000);
        }
        for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
            const int b = bet == BetType::Quinella ? 1 : 2;
            for (int level = 1; level <= 5; ++level) {
                store.writeInteger16(
                    SettingsKey::DetectMin, bet, level, static_cast<qint16>(-level * b));
                store.writeInteger16(
                    SettingsKey::DetectMax, bet, level, static_cast<qint16>(32767 - level * b));
                store.writeText(SettingsKey::DispChar,
                                bet,
                                level,
                                level == 5 ? QString() : u"★%1"_s.arg(level * b));
            }
            store.writeInteger16(SettingsKey::DispSign, bet, 1, static_cast<qint16>(b));
            store.writeInteger32(SettingsKey::PlusColour, bet, 1, 0x123456 * b);
            store.writeInteger32(SettingsKey::MinusColour, bet, 1, 0x654321 * b);
            store.writeFlag(SettingsKey::IsTheoreticalLimit, bet, 1, b == 1);
            store.writeFlag(SettingsKey::IsActualLimit, bet, 1, b == 2);
            store.writeFlag(SettingsKey::IsWinRatioLimit, bet, 1, b == 1);
            store.writeFlag(SettingsKey::IsPlaceRatioLimit, bet, 1, b == 2);
            store.writeSingle(SettingsKey::TheoreticalLimit, bet, 1, 9999.9F * b);
            store.writeSingle(SettingsKey::ActualLimit, bet, 1, 0.1F * b);
            store.writeSingle(SettingsKey::WinRatioLimit, bet, 1, 1.0F / 3.0F * b);
            store.writeSingle(SettingsKey::PlaceRatioLimit, bet, 1, -0.05F * b);
        }
    }
    const SettingsStore store(path); // a fresh store reads the file
    EXPECT_EQ(store.getPatFolder(), u"/srv/pat/");
    EXPECT_EQ(store.readInteger16(SettingsKey::DetectVal), 12);
    for (int horse = 1; horse <= 18; ++horse) {
        EXPECT_EQ(store.readInteger32(SettingsKey::HorseNoColour, {}, horse), horse * 1000);
    }
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        const int b = bet == BetType::Quinella ? 1 : 2;
        for (int level = 1; level <= 5; ++level) {
            EXPECT_EQ(store.readInteger16(SettingsKey::DetectMin, bet, level), -level * b);
            EXPECT_EQ(store.readInteger16(SettingsKey::DetectMax, bet, level), 32767 - level * b);
            EXPECT_EQ(store.readText(SettingsKey::DispChar, bet, level),
                      level == 5 ? QString() : u"★%1"_s.arg(level * b));
        }
        EXPECT_EQ(store.readInteger16(SettingsKey::DispSign, bet), b);
        EXPECT_EQ(store.readInteger32(SettingsKey::PlusColour, bet), 0x123456 * b);
        EXPECT_EQ(store.readInteger32(SettingsKey::MinusColour, bet), 0x654321 * b);
        EXPECT_EQ(store.readFlag(SettingsKey::IsTheoreticalLimit, bet), b == 1);
        EXPECT_EQ(store.readFlag(SettingsKey::IsActualLimit, bet), b == 2);
        EXPECT_EQ(store.readFlag(SettingsKey::IsWinRatioLimit, bet), b == 1);
        EXPECT_EQ(store.readFlag(SettingsKey::IsPlaceRatioLimit, bet), b == 2);
        EXPECT_EQ(store.readSingle(SettingsKey::TheoreticalLimit, bet), 9999.9F * b);
        EXPECT_EQ(store.readSingle(SettingsKey::ActualLimit, bet), 0.1F * b);
        // Seven significant digits: the nearest single to 0.3333333 (×2: 0.6666667).
        EXPECT_EQ(store.readSingle(SettingsKey::WinRatioLimit, bet),
                  b == 1 ? 0.3333333F : 0.6666667F);
        EXPECT_EQ(store.readSingle(SettingsKey::PlaceRatioLimit, bet), -0.05F * b);
    }
}

TEST(SettingsStore, PatFolderAlwaysEndsInASeparator)
{
    TestFolder folder;
    SettingsStore store(folder.filePath(u"pat.ini"_s));
    const QString sep = QDir::separator();
    store.setPatFolder(u"C:\\"_s);
    EXPECT_EQ(store.getPatFolder(), u"C:\\");
    store.setPatFolder(u"/srv/pat/"_s);
    EXPECT_EQ(store.getPatFolder(), u"/srv/pat/");
    store.setPatFolder(u"/srv/pat"_s);
    EXPECT_EQ(store.getPatFolder(), u"/srv/pat" + sep);
    EXPECT_EQ(store.patFilePath(u"Zo-1.jra"_s), u"/srv/pat" + sep + u"Zo-1.jra");
    store.setPatFolder(QString());
    EXPECT_EQ(store.getPatFolder(), sep);
    store.setPatFolder(u"D:\\データ,PAT"_s); // a "," does not split the text
    EXPECT_EQ(store.getPatFolder(), u"D:\\データ,PAT" + sep);
}

struct StoredCase
{
    QString text;
    std::optional<qint16> integer16;
    std::optional<qint32> integer32;
    std::optional<bool> flag;
    std::optional<float> single;
};

void PrintTo(const StoredCase& c, std::ostream* os)
{
    *os << '"' << c.text.toStdString() << '"';
}

class StoredText : public testing::TestWithParam<StoredCase>
{};

// The same stored text read as every value form.
TEST_P(StoredText, ReadsAsEachForm)
{
    const auto& c = GetParam();
    TestFolder folder;
    SettingsStore store(folder.filePath(u"forms.ini"_s));
    store.writeText(kAutoJudge, u"K"_s, c.text);
    EXPECT_EQ(store.readInteger16(kAutoJudge, u"K"_s, 7), c.integer16);
    EXPECT_EQ(store.readInteger32(kAutoJudge, u"K"_s, 7), c.integer32);
    EXPECT_EQ(store.readFlag(kAutoJudge, u"K"_s, true), c.flag);
    EXPECT_EQ(store.readSingle(kAutoJudge, u"K"_s, 7.0F), c.single);
    // Window placement has no failure handling: the default stands in, also for a length no
    // screen reaches.
    const float placement = c.single && std::abs(*c.single) <= 1.0e6F ? *c.single : 1440.0F;
    EXPECT_EQ(store.readTwips(kAutoJudge, u"K"_s, 1440.0F), placement);
}

constexpr std::nullopt_t no = std::nullopt;

INSTANTIATE_TEST_SUITE_P(Texts,
                         StoredText,
                         testing::Values(StoredCase{u"150"_s, 150, 150, true, 150.0F},
                                         StoredCase{u"150.5"_s, 150, 150, true, 150.5F},
                                         StoredCase{u"151.5"_s, 152, 152, true, 151.5F},
                                         StoredCase{u" 12 "_s, 12, 12, true, 12.0F},
                                         StoredCase{u"0"_s, 0, 0, false, 0.0F},
                                         StoredCase{u"0.0"_s, 0, 0, false, 0.0F},
                                         StoredCase{u"0.4"_s, 0, 0, true, 0.4F},
                                         StoredCase{u"-40000"_s, no, -40000, true, -40000.0F},
                                         StoredCase{u"1,000"_s, 1000, 1000, true, 1000.0F},
                                         StoredCase{u"3000000000"_s, no, no, true, 3e9F},
                                         StoredCase{u"abc"_s, no, no, no, no},
                                         StoredCase{u""_s, no, no, no, no},
                                         StoredCase{u"1e40"_s, no, no, no, no},
                                         StoredCase{u"12abc"_s, no, no, no, no},
                                         StoredCase{u"0x10"_s, no, no, no, no},
                                         StoredCase{u"１２"_s, no, no, no, no},
                                         StoredCase{u"True"_s, no, no, true, no},
                                         StoredCase{u"FALSE"_s, no, no, false, no},
                                         StoredCase{u" true "_s, no, no, true, no},
                                         StoredCase{u"Yes"_s, no, no, no, no}));

TEST(SettingsStore, MarksAreTextAndMayBeEmpty)
{
    TestFolder folder;
    SettingsStore store(folder.filePath(u"marks.ini"_s));
    store.writeText(SettingsKey::DispChar, BetType::Wide, 2, QString());
    EXPECT_EQ(store.readText(SettingsKey::DispChar, BetType::Wide, 2), QString());
    store.writeText(SettingsKey::DispChar, BetType::Wide, 3, u"@Variant(x), \"q\" [s]; =1"_s);
    EXPECT_EQ(store.readText(SettingsKey::DispChar, BetType::Wide, 3),
              u"@Variant(x), \"q\" [s]; =1");
    // The level digit follows the name and the bet type.
    EXPECT_EQ(settingsKey(SettingsKey::DetectMin).storedName(BetType::Quinella, 3),
              u"DetectMinUma3");
    EXPECT_EQ(settingsKey(SettingsKey::IsActualLimit).storedName(BetType::Wide, 3),
              u"IsRealLimitWide");
}

TEST(SettingsStore, AFileThatIsNotAnIniIsReadAsEmptyAndNeverWritten)
{
    TestFolder folder;
    const QByteArray binary("\x00\x01\xff garbage [[[ \n=== \x80\x81", 20);
    const QByteArray text("just some notes\nno settings here\n");
    for (const QByteArray& bytes : {binary, text}) {
        const QString path = folder.write(u"foreign.ini"_s, bytes);
        {
            SettingsStore store(path);
            EXPECT_FALSE(store.isWritable());
            EXPECT_EQ(store.readInteger16(SettingsKey::DetectVal), 5);
            store.writeInteger16(SettingsKey::DetectVal, {}, 1, 9);
            store.sync();
        }
        EXPECT_EQ(fileBytes(path), bytes);
    }
    // An INI with nothing but blank lines, comments or an empty section is written as usual.
    for (const QByteArray& bytes : {QByteArray("\n"), QByteArray("; notes\n[Option]\n")}) {
        const QString path = folder.write(u"quiet.ini"_s, bytes);
        {
            SettingsStore store(path);
            EXPECT_TRUE(store.isWritable());
            store.writeInteger16(SettingsKey::DetectVal, {}, 1, 9);
        }
        EXPECT_EQ(SettingsStore(path).readInteger16(SettingsKey::DetectVal), 9);
    }
    // An empty file is simply a store with nothing in it yet.
    const QString empty = folder.write(u"empty.ini"_s, QByteArray());
    SettingsStore store(empty);
    EXPECT_TRUE(store.isWritable());
    store.writeInteger16(SettingsKey::DetectVal, {}, 1, 9);
    EXPECT_EQ(store.readInteger16(SettingsKey::DetectVal), 9);
    // A folder in place of the file: defaults.
    const SettingsStore onFolder(folder.path());
    EXPECT_EQ(onFolder.readInteger16(SettingsKey::DetectVal), 5);
}

TEST(SettingsStore, NativeStoreLivesUnderTheApplicationTitle)
{
    // The test runner points HOME and XDG_CONFIG_HOME at a temporary folder.
    SettingsStore store;
    EXPECT_TRUE(store.fileName().endsWith(u"Mikazuki＋.conf")) << store.fileName().toStdString();
    EXPECT_TRUE(store.fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
}
