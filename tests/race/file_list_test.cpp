// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "pat/pat_folder.h"
#include "race/file_list_model.h"
#include "test_support.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// A Zo- header for venue, meeting, day and race as the file would hold them.
QByteArray header(const QString& venue,
                  const QByteArray& meeting,
                  const QByteArray& day,
                  const QByteArray& race,
                  const char* mark = " ")
{
    ByteLayout b(142);
    b.put(28, venue).put(36, meeting).put(38, day).put(40, race).put(43, QByteArray(mark));
    b.put(48, u"レース"_s).put(76, u"条件"_s).put(140, QByteArray(" 0"));
    return b.bytes();
}

QStringList column(const std::vector<FileListModel::Row>& rows, int c)
{
    QStringList texts;
    for (const auto& row : rows) {
        texts << row[static_cast<std::size_t>(c)];
    }
    return texts;
}

} // namespace

TEST(FileList, RowsFromTheHeadersSortedAndNumbered)
{
    TestFolder folder;
    folder.write(u"Zo-a.jra"_s, header(u"中山"_s, "05", "02", "10"));
    folder.write(u"Zo-b.jra"_s, header(u"中山"_s, "05", "02", " 9"));
    folder.write(u"zo-c.JRA"_s, header(u"阪神"_s, "01", "08", "09")); // any letter case
    folder.write(u"Zo-d.jra"_s, header(u"中山"_s, "05", "01", "11"));
    folder.write(u"Zo-e.jra"_s, header(u"中山"_s, "05", "02", "10")); // ties: by file name
    folder.write(u"Uo-a.jra"_s, header(u"中山"_s, "05", "02", "01")); // not a Zo- file
    RecordingMessageSink sink;
    const auto rows = fileListRows(scanPatFolder(folder.path(), sink));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(column(rows, 0), QStringList({u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s}));
    // "9R" and "10R" are not numbers: as texts "10R" sorts before "9R".
    EXPECT_EQ(
        column(rows, 7),
        QStringList({u"Zo-d.jra"_s, u"Zo-a.jra"_s, u"Zo-e.jra"_s, u"Zo-b.jra"_s, u"zo-c.JRA"_s}));
    EXPECT_EQ(rows[0][1], u"中山  ");
    EXPECT_EQ(rows[0][2], u"第5回 1日");
    EXPECT_EQ(rows[0][3], u"11R");
    EXPECT_EQ(rows[3][3], u"9R");
    EXPECT_EQ(rows[4][2], u"第1回 8日");
    EXPECT_EQ(rows[0][4], u"レース" + QString(25, u' '));
    EXPECT_EQ(rows[0][5], u" 0");
    EXPECT_EQ(rows[0][6].trimmed(), u"条件");
}

TEST(FileList, BrokenEntriesAreSkippedAndTheScanGoesOn)
{
    TestFolder folder;
    folder.write(u"Zo-1.jra"_s, header(u"中山"_s, "05", "02", "01"));
    folder.write(u"Zo-2.jra"_s, QByteArray(100, ' '));                     // truncated
    folder.write(u"Zo-3.jra"_s, QByteArray());                             // empty
    folder.write(u"Zo-4.jra"_s, header(u"中山"_s, "05", "02", "04", "1")); // bad mark
    folder.write(u"Zo-5.jra"_s, header(u"中山"_s, "05", "02", "05", "9")); // bad mark
    folder.write(u"Zo-6.jra"_s, header(u"中山"_s, "ab", "  ", "06"));
    ASSERT_TRUE(QDir(folder.path()).mkdir(u"Zo-x.jra"_s));
#ifdef Q_OS_UNIX
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath(u"Zo-fifo.jra"_s)).constData(), 0600), 0);
#endif
    RecordingMessageSink sink;
    const auto rows = fileListRows(scanPatFolder(folder.path(), sink));
    // Meeting and day without a number show as 0, and 第0回 sorts before 第5回.
    EXPECT_EQ(column(rows, 7), QStringList({u"Zo-6.jra"_s, u"Zo-1.jra"_s}));
    EXPECT_EQ(rows[0][2], u"第0回 0日");
    ASSERT_EQ(sink.messages.size(), 1u); // once per scan, not once per file
    EXPECT_EQ(sink.messages[0].text, u"ファイル形式が違います。");

    RecordingMessageSink quiet;
    EXPECT_TRUE(scanPatFolder(folder.filePath(u"missing"_s), quiet).empty());
    EXPECT_TRUE(scanPatFolder(folder.filePath(u"Zo-1.jra"_s), quiet).empty()); // a file
    EXPECT_TRUE(quiet.messages.empty());
}

TEST(FileList, ModelHeadingsAndWidths)
{
    FileListModel model;
    const QStringList headings
        = {u"No"_s, u"場名"_s, u"開催"_s, u"ﾚｰｽ"_s, u"ﾚｰｽ名"_s, u"頭数"_s, u"条件"_s, u"ﾌｧｲﾙ名"_s};
    for (int c = 0; c < FileListModel::kColumns; ++c) {
        EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), headings[c]);
    }
    EXPECT_EQ(FileListModel::columnWidthTwips(6), 2200);
    EXPECT_EQ(model.fileName(0), QString());
}

TEST(FileList, NamesDifferingOnlyInCaseAreTwoRaces)
{
    // On a case-sensitive file system both files are listed, each under its own name.
    TestFolder folder;
    folder.write(u"Zo-1.jra"_s, header(u"中山"_s, "05", "02", "01"));
    folder.write(u"ZO-1.JRA"_s, header(u"中山"_s, "05", "02", "02"));
    RecordingMessageSink sink;
    const auto rows = fileListRows(scanPatFolder(folder.path(), sink));
    EXPECT_EQ(column(rows, 7), QStringList({u"Zo-1.jra"_s, u"ZO-1.JRA"_s}));
    EXPECT_EQ(column(rows, 3), QStringList({u"01R"_s, u"02R"_s}));
}
