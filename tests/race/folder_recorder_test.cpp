// SPDX-License-Identifier: MIT
// The recorder on a folder PAT writes into: each race caught half-written is retried on its
// own, a replaced file is watched again, another folder is followed when the setting changes,
// and a folder that is missing at first is followed once it appears. The clock is the test's.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include "archive/odds_archive.h"
#include "pat/pat_names.h"
#include "race/folder_recorder.h"
#include "race_generator.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

struct Recording
{
    TestFolder folder;
    QString pat = folder.filePath(u"pat"_s);
    std::unique_ptr<OddsArchive> archive;
    qint64 now = 0;
    std::unique_ptr<FolderRecorder> recorder;
    PatRandom random{5};

    // By default the timers never fire while a test runs: it settles itself.
    explicit Recording(FolderRecorder::Timing timing = {60'000, 3000, 100, 60'000})
    {
        QString note;
        archive = OddsArchive::open(folder.filePath(u"odds.sqlite"_s), note);
        EXPECT_TRUE(archive) << qPrintable(note);
        recorder = std::make_unique<FolderRecorder>(archive.get(), timing, [this] { return now; });
    }
    // A race of the day, not yet run; without its Uo- file when `half`. Its Zo- path.
    QString write(const QString& into, int index, bool half = false)
    {
        GeneratedRace race = generateRace(random, index, 10, false);
        race.startTime = u"1600"_s; // one race day, whatever the time now
        QString error;
        EXPECT_TRUE(writeRaceSet(into, race, &error)) << qPrintable(error);
        const QString zo = QDir(into).filePath(winPlaceOddsFileName(race));
        if (half) {
            QFile::remove(quinellaOddsPathOf(zo));
        }
        return zo;
    }
    qint64 snapshots(const QString& zo) const
    {
        return static_cast<qint64>(archive->snapshots(QFileInfo(zo).fileName()).size());
    }
};

} // namespace

TEST(FolderRecorder, RetriesEachRaceCaughtHalfWrittenOnItsOwn)
{
    Recording r;
    QDir().mkpath(r.pat);
    const QString whole = r.write(r.pat, 0);
    const QString stuck = r.write(r.pat, 1, true); // its Uo- never arrives
    r.recorder->follow(r.pat);
    QSignalSpy changed(r.recorder.get(), &FolderRecorder::racesChanged);
    r.recorder->settle();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.takeFirst().at(0).toStringList(), QStringList{whole});
    EXPECT_EQ(r.snapshots(whole), 1);
    EXPECT_TRUE(r.recorder->isRetrying());

    // Another race is caught half-written two seconds on; the stuck one's time runs out first,
    // the new one is still tried within its own three seconds.
    r.now = 2000;
    const QString late = r.write(r.pat, 2, true);
    r.recorder->settle();
    r.now = 3500;
    r.recorder->settle();
    EXPECT_TRUE(r.recorder->isRetrying());
    QFile::remove(late);
    r.write(r.pat, 2); // the same race, now whole
    r.now = 4000;
    r.recorder->settle();
    EXPECT_EQ(r.snapshots(late), 1);
    EXPECT_FALSE(r.recorder->isRetrying()); // the stuck race was given up

    // Given up, it is read again once its files change.
    QFile::remove(stuck);
    r.write(r.pat, 1);
    r.now = 10'000;
    r.recorder->settle();
    EXPECT_EQ(r.snapshots(stuck), 1);
    EXPECT_EQ(r.snapshots(whole), 1);
}

TEST(FolderRecorder, WatchesAReplacedFileAndFollowsTheFolderSetLast)
{
    Recording r({50, 3000, 100, 60'000});
    QDir().mkpath(r.pat);
    const QString zo = r.write(r.pat, 0);
    r.recorder->follow(r.pat);
    r.recorder->settle();
    ASSERT_EQ(r.snapshots(zo), 1);

    // PAT replaces the race's files by new ones (the old watches go with them): noticed, read,
    // and watched again, so that a write in place after it is noticed too. Both by the system's
    // notifications alone.
    QSignalSpy changed(r.recorder.get(), &FolderRecorder::racesChanged);
    r.write(r.pat, 0);
    ASSERT_TRUE(changed.wait(10'000));
    EXPECT_EQ(r.snapshots(zo), 2);
    changed.clear();
    QFile file(zo);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray bytes = file.readAll();
    file.seek(0);
    file.write(bytes);
    file.close();
    ASSERT_TRUE(changed.wait(10'000));
    EXPECT_EQ(changed.takeFirst().at(0).toStringList(), QStringList{zo});

    // The setting changes: the new folder is recorded, the old one no more.
    const QString second = r.folder.filePath(u"second"_s);
    QDir().mkpath(second);
    const QString there = r.write(second, 5);
    r.recorder->follow(second);
    r.recorder->settle();
    EXPECT_EQ(r.snapshots(there), 1);
    r.write(r.pat, 0);
    r.recorder->settle();
    EXPECT_EQ(r.snapshots(zo), 2);
    EXPECT_EQ(r.recorder->folder(), second);
}

TEST(FolderRecorder, FollowsAFolderThatAppearsLateAndSaysWhenItGoesAndComes)
{
    Recording r;
    QSignalSpy said(r.recorder.get(), &FolderRecorder::stateChanged);
    r.recorder->follow(r.pat);
    EXPECT_FALSE(r.recorder->isWatching());
    ASSERT_EQ(said.count(), 1);
    EXPECT_TRUE(said.takeFirst().at(0).toString().startsWith(u"オッズの記録を始められません"_s));

    // The share is mounted: found at the next look, its races recorded.
    QDir().mkpath(r.pat);
    const QString zo = r.write(r.pat, 0);
    r.recorder->lookForFolder();
    EXPECT_TRUE(r.recorder->isWatching());
    ASSERT_EQ(said.count(), 1);
    EXPECT_TRUE(said.takeFirst().at(0).toString().startsWith(u"オッズの記録を始めました"_s));
    r.recorder->settle();
    EXPECT_EQ(r.snapshots(zo), 1);

    // Unmounted and mounted again.
    ASSERT_TRUE(QDir(r.pat).removeRecursively());
    r.recorder->lookForFolder();
    EXPECT_FALSE(r.recorder->isWatching());
    ASSERT_EQ(said.count(), 1);
    EXPECT_TRUE(said.takeFirst().at(0).toString().startsWith(u"オッズの記録を止めました"_s));
    QDir().mkpath(r.pat);
    r.write(r.pat, 0);
    r.recorder->lookForFolder();
    ASSERT_EQ(said.count(), 1);
    EXPECT_TRUE(said.takeFirst().at(0).toString().startsWith(u"オッズの記録を再開しました"_s));
    r.recorder->settle();
    EXPECT_EQ(r.snapshots(zo), 2);
}
