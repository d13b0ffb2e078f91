// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "pat/pat_file.h"
#include "pat/race_result.h"
#include "test_support.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString& path, qsizetype count = 100)
{
    PatFile file(path);
    if (!file.isOpen()) {
        return {};
    }
    QByteArray bytes(count, '\0');
    bytes.resize(file.read(bytes.data(), count));
    return bytes;
}

} // namespace

TEST(PatFile, FallsBackToANameThatDiffersOnlyInCase)
{
    TestFolder folder;
    folder.write(u"zo-1234.JRA"_s, "lower");
    EXPECT_EQ(readAll(folder.filePath(u"Zo-1234.jra"_s)), "lower");
    EXPECT_EQ(readAll(folder.filePath(u"ZO-1234.JRA"_s)), "lower");

    // The exact name wins; among case variants the first in ordinal order.
    folder.write(u"Zo-1234.jra"_s, "exact");
    folder.write(u"ZO-1234.jra"_s, "upper");
    EXPECT_EQ(readAll(folder.filePath(u"Zo-1234.jra"_s)), "exact");
    EXPECT_EQ(readAll(folder.filePath(u"zO-1234.jra"_s)), "upper");

    EXPECT_EQ(findFileIgnoringCase(folder.path(), u"ZO-1234.JRA"_s), u"ZO-1234.jra");
    EXPECT_EQ(findFileIgnoringCase(folder.path(), u"Zo-9.jra"_s), QString());
}

TEST(PatFile, RefusesWhatIsNotARegularFile)
{
    TestFolder folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(u"Ks-folder.jra"_s));
    EXPECT_FALSE(PatFile(folder.filePath(u"Ks-folder.jra"_s)).isOpen());
    EXPECT_FALSE(PatFile(folder.path()).isOpen());
    EXPECT_FALSE(PatFile(folder.filePath(u"missing.jra"_s)).isOpen());
    EXPECT_FALSE(PatFile(QString()).isOpen());

    RaceResultRecord record;
    EXPECT_FALSE(readRaceResultFile(folder.filePath(u"Ks-folder.jra"_s), record));
#ifdef Q_OS_UNIX
    // A FIFO with no writer must be refused at once, not block the reader.
    const QByteArray fifo = QFile::encodeName(folder.filePath(u"Ks-fifo.jra"_s));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_FALSE(readRaceResultFile(folder.filePath(u"Ks-fifo.jra"_s), record));
    EXPECT_FALSE(readRaceResultFile(u"/dev/zero"_s, record));
#endif
}

TEST(PatFile, UnreadableFileFails)
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads files whatever their permissions";
    }
#endif
    TestFolder folder;
    const QString path = folder.write(u"Ks-1ab.jra"_s, QByteArray(687, ' '));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
    RaceResultRecord record;
    EXPECT_FALSE(readRaceResultFile(path, record));
}

TEST(PatFile, ReadersReadOnlyWhatTheyNeed)
{
    // A reader given a huge file reads its own bytes and stops; the buffer never overruns.
    TestFolder folder;
    const QString path = folder.write(u"Ks-big.jra"_s, QByteArray(1 << 20, ' '));
    RaceResultRecord record;
    EXPECT_TRUE(readRaceResultFile(path, record));

    PatFile file(path);
    PatFileBuffer buffer;
    buffer.fillTo(file, 10);
    EXPECT_EQ(buffer.size(), 10);
    buffer.fillTo(file, 1 << 20);
    EXPECT_EQ(buffer.size(), PatFileBuffer::kCapacity);
}
