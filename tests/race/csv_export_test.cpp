// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "race/csv_export.h"
#include "race/race_display.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

QByteArray crlf(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += sjis(line) + "\r\n";
    }
    return bytes;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Export
{
    TestFolder folder;
    SettingsStore settings{folder.filePath(u"s.ini"_s)};
    RecordingMessageSink sink;
    RaceDisplay display{settings, sink};
};

const QString kPairHeadings
    = u"\"馬連\",\"理論値\",\"実際値\",\"乖離％\",\"支持率\",\"判定\",\"人気\",\"人気差\","
      u"\"ﾜｲﾄﾞ\",\"理論値\",\"実際値\",\"乖離％\",\"支持率\",\"判定\",\"人気\",\"人気差\""_s;
const QString kHorseHeadings
    = u"\"人気\",\"判定\",\"単馬番\",\"複馬番\",\"単勝人気順　馬番\",\"単ｵｯｽﾞ\",\"支持率\","
      u"\"単：複比\",\"複勝人気順　馬番\",\"複ｵｯｽﾞMin\",\"Max\",\"平均\",\"支持率\""_s;

} // namespace

// Two runners, worked out by hand:
//   h1 2.0, 1.2–1.6: ratio 0.400, average 1.40, place ratio 0.8/1.4/3 = 0.190, 0.4/0.19 = 2.105
//   h2 4.0, 1.5–2.5: ratio 0.200, average 2.00, place ratio 0.8/2/3 = 0.133, 0.2/0.133 = 1.504
//   quinella 4.0: T = 3.2 (0.75/(.08/.6 + .08/.8)), D = +19.6, 0.75/4 = 0.188, rank 1
//   wide 1.1–1.4: A = 1.25 → 1.3; T = .25/(.02527/.81 + .02527/.867) = 4.1429 → 4.1;
//     D = (1.25 − 4.1429)·100/1.25 = −231.4 → level 2 [200,300) "○"; 0.75/1.25/3 = 0.200
//   favourite 2.0: window [5, 15); the only pair at 4.0 is below it → no bet.
TEST(CsvExport, HandComputedRaceByteForByte)
{
    Export e;
    e.folder.write(u"Zo-0001.jra"_s,
                   handWinPlaceOdds(
                       u" 2"_s, {{u"2.0"_s, u"1.2"_s, u"1.6"_s}, {u"4.0"_s, u"1.5"_s, u"2.5"_s}}));
    e.folder.write(u"De-0001.jra"_s, handRaceCard(u"1540"_s, {u"アアア"_s, u"イイイ"_s}));
    ByteLayout uo(144 + 25);
    uo.put(43, QByteArray(" ")).put(140, QByteArray(" 2"));
    uo.put(144 + 7, QByteArray("   4.0")).put(144 + 13, QByteArray("   1.1"));
    uo.put(144 + 19, QByteArray("   1.4"));
    e.folder.write(u"Uo-0001.jra"_s, uo.bytes());
    ASSERT_TRUE(e.display.load(e.folder.filePath(u"Zo-0001.jra"_s)));

    const QString a = u"アアア" + QString(15, u' ');
    const QString i = u"イイイ" + QString(15, u' ');
    const QByteArray expected = crlf({
        u"\"Mikazuki\",\"v0.10\",\"CSV出力ファイル\""_s,
        QString(),
        u"\"開催\",\"中山   第05回 02日\""_s,
        u"\"ﾚｰｽ\",\"11R 有馬記念"_s + QString(24, u' ') + u"\""_s,
        u"\"頭数\",2"_s,
        QString(),
        kHorseHeadings,
        u"1,\"\",1,1,\""_s + a + u"\",2,0.4,2.105,\""_s + a + u"\",1.2,1.6,1.4,0.19"_s,
        u"2,\"\",2,2,\""_s + i + u"\",4,0.2,1.504,\""_s + i + u"\",1.5,2.5,2,0.133"_s,
        QString(),
        QString(),
        kPairHeadings,
        u"\" 1- 2\",3.2,4,19.6,0.188,\"\",\"1\",\"0\",\" 1- 2\",4.1,1.3,-231.4,0.2,\"○\",\"1\",\"0\""_s,
        QString(),
        u"\"推奨買い目（ワイド）\""_s,
        u"\"該当無し\""_s,
        u"\"見送りレース\""_s,
        QString(),
        QString(),
    });
    EXPECT_EQ(CsvExport::build(e.display), expected);
}

TEST(CsvExport, NoRaceShownAndListsWithoutRows)
{
    Export e;
    EXPECT_EQ(CsvExport::build(e.display),
              crlf({u"\"Mikazuki\",\"v0.10\",\"CSV出力ファイル\""_s,
                    QString(),
                    u"\"開催\",\"\""_s,
                    u"\"ﾚｰｽ\",\"\""_s,
                    u"\"頭数\",0"_s,
                    QString(),
                    kHorseHeadings,
                    QString(),
                    QString(),
                    kPairHeadings,
                    QString(),
                    u"\"推奨買い目（ワイド）\""_s,
                    QString(),
                    QString()}));

    // Three runners but no Uo- file: three empty pair lines, no failure.
    e.folder.write(u"Zo-0002.jra"_s,
                   handWinPlaceOdds(u" 3"_s,
                                    {{u"2.0"_s, u"1.2"_s, u"1.6"_s},
                                     {u"ﾄﾘｹｼ"_s, QString(), QString()},
                                     {u"5.0"_s, u"1.5"_s, u"2.5"_s}}));
    ASSERT_TRUE(e.display.load(e.folder.filePath(u"Zo-0002.jra"_s)));
    const QList<QByteArray> lines = CsvExport::build(e.display).split('\n');
    const qsizetype pairs = lines.indexOf(sjis(kPairHeadings) + '\r');
    ASSERT_GT(pairs, 0);
    EXPECT_EQ(lines[pairs + 1], "\r");
    EXPECT_EQ(lines[pairs + 3], "\r");
    EXPECT_EQ(lines[pairs + 5], sjis(u"\"推奨買い目（ワイド）\""_s) + '\r');
    // The scratched horse ranks last: 0 for its ratios and place odds.
    EXPECT_EQ(lines[9], sjis(u"3,\"\",2,2,\"\",0,0,0,\"\",0,0,0,0"_s) + '\r');
}

TEST(CsvExport, EncodingQuotesAndFailedWrites)
{
    EXPECT_EQ(CsvExport::encode(u"ﾄﾘｹｼ◎"_s), QByteArray("\xC4\xD8\xB9\xBC\x81\x9D"));
    EXPECT_EQ(CsvExport::encode(u"a€😀b"_s), QByteArray("a??b")); // not in code page 932

    Export e;
    const QString good = e.folder.write(u"out.csv"_s, "keep me");
    QString error;
    // What went wrong is said in Japanese, whatever the platform's own language.
    EXPECT_FALSE(CsvExport::write(e.display, e.folder.filePath(u"missing/out.csv"_s), &error));
    EXPECT_EQ(error, u"保存先のフォルダがありません");
    EXPECT_FALSE(CsvExport::write(e.display, e.folder.path(), &error)); // a folder
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(error.contains(u'\n'));
    EXPECT_EQ(readFile(good), "keep me");
    ASSERT_TRUE(CsvExport::write(e.display, good, &error));
    EXPECT_EQ(readFile(good), CsvExport::build(e.display));
}
