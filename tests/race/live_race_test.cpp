// SPDX-License-Identifier: MIT
// The race shown follows its files as PAT rewrites them (files rewritten by patgen).
#include <gtest/gtest.h>
#include <memory>

#include <QFile>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTest>

#include "pat/quinella_odds.h"
#include "race/csv_export.h"
#include "race/live_race.h"
#include "race/race_display.h"
#include "race_generator.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

struct LiveFixture
{
    TestFolder folder;
    SettingsStore settings{folder.filePath(u"settings.ini"_s)};
    RecordingMessageSink sink;
    RaceDisplay display{settings, sink};
    // Short waits: the tests wait on the signals, never on the clock.
    LiveRace live{display, LiveRace::Timing{50, 400, 20}};
    PatRandom random{11};
    GeneratedRace race = generateRace(random, 0, 18, true);
    /// Whether PAT has the result yet.
    bool resultOut = false;
    PatRandom drift{12};
    QString zo = folder.filePath(winPlaceOddsFileName(race));

    LiveFixture()
    {
        display.setKeepsHistory(true);
        write();
        EXPECT_TRUE(display.load(zo));
    }
    /// The race's files (those whose names start with `prefix`), each replaced as a whole as
    /// PAT does.
    void write(const QString& prefix = {})
    {
        // All written, then all named: the files change together.
        std::vector<std::unique_ptr<QSaveFile>> files;
        for (const RaceFile& file : raceSetFiles(race)) {
            if ((resultOut || !file.name.startsWith(u"Ks-"_s)) && file.name.startsWith(prefix)) {
                files.push_back(std::make_unique<QSaveFile>(folder.filePath(file.name)));
                ASSERT_TRUE(files.back()->open(QIODevice::WriteOnly));
                files.back()->write(file.bytes);
            }
        }
        for (const auto& file : files) {
            ASSERT_TRUE(file->commit());
        }
    }
    /// The odds at PAT's next fetch, written as PAT writes them.
    void fetch()
    {
        moveMarket(drift, race);
        write();
    }
    QByteArray fileBytes(const QString& prefix) const
    {
        for (const RaceFile& f : raceSetFiles(race)) {
            if (f.name.startsWith(prefix)) {
                return f.bytes;
            }
        }
        return {};
    }
    /// The actual odds the quinella list shows for each pair of starters, by label (a
    /// scratched horse's pairs show the list's stand-in value).
    QMap<QString, QString> quinellaActuals() const
    {
        QMap<QString, QString> out;
        for (const auto& row : display.quinellaList().rows()) {
            if (row[ActualColumn].text() != u"99999.9"_s) {
                out[row[LabelColumn].text()] = row[ActualColumn].text();
            }
        }
        return out;
    }
    QMap<QString, QString> generatedActuals() const
    {
        QMap<QString, QString> out;
        for (const GeneratedPair& p : race.pairs) {
            if (p.quinellaOdds != 0.0) {
                out[pairLabel(p.first, p.second)] = QString::number(p.quinellaOdds, 'f', 1);
            }
        }
        return out;
    }
};

// Plain time, as the user sees it: the refresh comes after the files have been quiet.
bool waitFor(QSignalSpy& spy, int milliseconds)
{
    return spy.count() > 0 || spy.wait(milliseconds);
}

} // namespace

TEST(LiveRace, NewOddsAppearWithTheirMovementAndKeepTheUsersSort)
{
    LiveFixture f;
    ASSERT_EQ(f.display.history().snapshots().size(), 1U);
    // The user sorts the quinella list by its actual odds, highest first.
    f.display.quinellaList().sortByColumn(ActualColumn, PairSort::NumericDescending);
    const auto before = f.quinellaActuals();
    QSignalSpy refreshed(&f.display, &RaceDisplay::refreshed);
    QSignalSpy loaded(&f.display, &RaceDisplay::raceLoaded);

    f.fetch();
    ASSERT_TRUE(waitFor(refreshed, 5000));
    EXPECT_EQ(loaded.count(), 0);
    EXPECT_EQ(f.quinellaActuals(), f.generatedActuals());
    EXPECT_NE(f.quinellaActuals(), before);
    EXPECT_TRUE(f.sink.messages.empty());

    // Still sorted by the new odds, highest first.
    const auto& rows = f.display.quinellaList().rows();
    for (std::size_t r = 1; r < rows.size(); ++r) {
        EXPECT_GE(rows[r - 1][ActualColumn].value(), rows[r][ActualColumn].value()) << r;
    }

    // Two snapshots; every pair whose shown odds changed has moved, with the old value.
    const OddsHistory& history = f.display.history();
    ASSERT_EQ(history.snapshots().size(), 2U);
    int moved = 0;
    for (const auto& row : rows) {
        const QString label = row[LabelColumn].text();
        const auto move = history.pairMove(BetType::Quinella, row[LabelColumn].pairIndex());
        const PairMove* shown = f.display.quinellaList().moveOf(row[LabelColumn].pairIndex());
        if (!before.contains(label) || before[label] == f.quinellaActuals()[label]) {
            EXPECT_FALSE(move) << qPrintable(label);
            EXPECT_EQ(shown, nullptr);
            continue;
        }
        ++moved;
        ASSERT_TRUE(move) << qPrintable(label);
        ASSERT_NE(shown, nullptr) << qPrintable(label);
        EXPECT_EQ(QString::number(static_cast<double>(move->previous), 'f', 1), before[label]);
        EXPECT_EQ(shown->direction, move->direction());
        EXPECT_TRUE(shown->toolTip.startsWith(u"前回 "_s + before[label]));
    }
    EXPECT_GT(moved, 50);
    // The horse table's odds move too: horse by horse, in the order of popularity as well.
    int horsesMoved = 0;
    for (int horse = 1; horse <= 18; ++horse) {
        const auto win = history.horseSeries(HorseOdds::Win, horse);
        const auto cellMove = f.display.horseCellMove(HorseColumn::WinOdds, horse);
        if (win.size() == 2 && win[0].second != win[1].second) {
            ++horsesMoved;
            ASSERT_TRUE(cellMove) << horse;
            EXPECT_EQ(cellMove->previous, win[0].second);
        } else {
            EXPECT_FALSE(cellMove) << horse;
        }
    }
    EXPECT_GT(horsesMoved, 0);

    // The same odds written again are no new snapshot; an explicit open of the race keeps
    // its history but not the sort.
    f.write();
    refreshed.clear();
    ASSERT_TRUE(waitFor(refreshed, 5000));
    EXPECT_EQ(history.snapshots().size(), 2U);
    ASSERT_TRUE(f.display.load(f.zo));
    EXPECT_EQ(history.snapshots().size(), 2U);
    EXPECT_EQ(f.display.quinellaList().rows().front()[LabelColumn].text(), pairLabel(1, 2));

    // The result arrives after the off, written in two goes: the race shows it.
    EXPECT_TRUE(f.display.raceResultLines().isEmpty());
    f.race.hasResult = true;
    const QByteArray ks = f.fileBytes(u"Ks-"_s);
    const QString ksName = raceResultFileName(f.race);
    refreshed.clear();
    QSignalSpy retrying(&f.live, &LiveRace::retrying);
    f.folder.write(ksName, ks.left(100));
    ASSERT_TRUE(retrying.wait(5000));
    EXPECT_EQ(refreshed.count(), 0);
    f.folder.write(ksName, ks);
    ASSERT_TRUE(waitFor(refreshed, 5000));
    EXPECT_EQ(f.display.raceResultLines().value(0), u"競争成績"_s);
    EXPECT_TRUE(f.sink.messages.empty());

    // The movement CSV: a heading line, then one line per snapshot with every pair's odds.
    const QByteArray csv = CsvExport::buildMovement(f.display);
    const QList<QByteArray> lines = csv.split('\n');
    ASSERT_EQ(lines.size(), 4 + 1 + 2 + 1); // the last line ends the file
    EXPECT_TRUE(lines[4].startsWith(QByteArray("\"" + CsvExport::encode(u"時刻"_s) + "\",\"")));
    EXPECT_EQ(lines[4].count(','), 2 * 153);
    const QList<QByteArray> last = lines[6].trimmed().split(',');
    EXPECT_EQ(QString::fromLatin1(last[1]), f.generatedActuals()[pairLabel(1, 2)].remove(u".0"_s));
}

TEST(LiveRace, HalfWrittenFilesAreRetriedAndVanishedFilesKeepTheRace)
{
    LiveFixture f;
    QSignalSpy refreshed(&f.display, &RaceDisplay::refreshed);
    QSignalSpy status(&f.live, &LiveRace::statusChanged);
    QSignalSpy retrying(&f.live, &LiveRace::retrying);
    QSignalSpy settled(&f.live, &LiveRace::settled);
    moveMarket(f.drift, f.race);
    const QByteArray zo = f.fileBytes(u"Zo-"_s);

    // Caught half-written: nothing is shown and nobody is told, until the rest arrives.
    f.folder.write(QFileInfo(f.zo).fileName(), zo.left(60));
    ASSERT_TRUE(retrying.wait(5000));
    EXPECT_EQ(refreshed.count(), 0);
    f.write();
    ASSERT_TRUE(waitFor(refreshed, 5000));
    EXPECT_TRUE(f.sink.messages.empty());
    EXPECT_EQ(f.quinellaActuals(), f.generatedActuals());

    // Gone: the race stays as it was and the status line says so; back: it reloads.
    const auto shown = f.quinellaActuals();
    ASSERT_TRUE(QFile::remove(f.zo));
    ASSERT_TRUE(status.count() > 0 || status.wait(5000));
    EXPECT_TRUE(f.live.status().contains(QFileInfo(f.zo).fileName()));
    EXPECT_EQ(f.quinellaActuals(), shown);
    EXPECT_EQ(f.display.currentFile(), f.zo);
    refreshed.clear();
    f.fetch();
    ASSERT_TRUE(waitFor(refreshed, 5000));
    EXPECT_TRUE(f.live.status().isEmpty());
    EXPECT_EQ(f.quinellaActuals(), f.generatedActuals());

    // The Uo- goes: a new Zo- does not blank the lists, the line stays until the Uo- is back.
    const auto beforeUo = f.quinellaActuals();
    ASSERT_TRUE(QFile::remove(
        QFileInfo(f.zo).dir().filePath(u"Uo-"_s + QFileInfo(f.zo).fileName().mid(3))));
    ASSERT_TRUE(status.wait(5000));
    EXPECT_FALSE(f.live.status().isEmpty());
    refreshed.clear();
    settled.clear();
    moveMarket(f.drift, f.race);
    f.write(u"Zo-"_s);
    ASSERT_TRUE(settled.wait(5000));
    EXPECT_EQ(refreshed.count(), 0);
    EXPECT_EQ(f.quinellaActuals(), beforeUo);
    EXPECT_FALSE(f.live.status().isEmpty());
    f.write(u"Uo-"_s);
    ASSERT_TRUE(waitFor(refreshed, 5000));
    EXPECT_TRUE(f.live.status().isEmpty());
    EXPECT_EQ(f.quinellaActuals(), f.generatedActuals());

    // A file that stays broken is tried again for a while, then the load says what it says.
    retrying.clear();
    f.folder.write(QFileInfo(f.zo).fileName(), zo.left(60));
    f.sink.onMessage = [&retrying] {
        EXPECT_GT(retrying.count(), 1);
    };
    QTRY_VERIFY_WITH_TIMEOUT(!f.sink.messages.empty(), 8000);
    EXPECT_EQ(f.sink.messages.back().text, u"ファイルの読み込みに失敗しました。"_s);
    EXPECT_EQ(f.quinellaActuals(), f.generatedActuals());
}

TEST(LiveRace, OddsFilesWrittenApartKeepEachOthersMoves)
{
    LiveFixture f;
    QSignalSpy refreshed(&f.display, &RaceDisplay::refreshed);
    const auto horseMoves = [&f] {
        int moved = 0;
        for (int horse = 1; horse <= 18; ++horse) {
            moved += f.display.history().horseMove(HorseOdds::Win, horse) ? 1 : 0;
        }
        return moved;
    };
    const auto pairMoves = [&f] {
        int moved = 0;
        for (const auto& row : f.display.quinellaList().rows()) {
            moved += f.display.history().pairMove(BetType::Quinella, row[LabelColumn].pairIndex())
                         ? 1
                         : 0;
        }
        return moved;
    };
    f.fetch();
    ASSERT_TRUE(waitFor(refreshed, 5000));
    const int pairsMoved = pairMoves();
    EXPECT_GT(pairsMoved, 50);
    EXPECT_GT(horseMoves(), 0);

    // New win and place odds alone: the pairs keep their moves, the horses get new ones.
    moveMarket(f.drift, f.race);
    refreshed.clear();
    f.write(u"Zo-"_s);
    ASSERT_TRUE(waitFor(refreshed, 5000));
    EXPECT_EQ(pairMoves(), pairsMoved);
    const int horsesMoved = horseMoves();
    EXPECT_GT(horsesMoved, 0);
    // Then the pair odds: the horses keep theirs.
    refreshed.clear();
    f.write(u"Uo-"_s);
    ASSERT_TRUE(waitFor(refreshed, 5000));
    EXPECT_EQ(horseMoves(), horsesMoved);
    EXPECT_EQ(f.display.history().snapshots().size(), 4U);
}

TEST(LiveRace, AUoFileThatAppearsUnderAnotherLetterCaseIsReadAndFollowed)
{
    LiveFixture f;
    const QString name = QFileInfo(f.zo).fileName().mid(3);
    ASSERT_TRUE(QFile::remove(f.folder.filePath(u"Uo-"_s + name)));
    ASSERT_TRUE(f.display.load(f.zo));
    ASSERT_FALSE(f.display.quinellaOddsRead());
    QSignalSpy refreshed(&f.display, &RaceDisplay::refreshed);

    // PAT's folder comes from Windows: the file may appear as "uo-…".
    const QString lower = f.folder.filePath(u"uo-"_s + name);
    f.folder.write(u"uo-"_s + name, f.fileBytes(u"Uo-"_s));
    ASSERT_TRUE(waitFor(refreshed, 5000));
    EXPECT_TRUE(f.display.quinellaOddsRead());
    EXPECT_EQ(f.display.quinellaFile(), lower);
    EXPECT_EQ(f.quinellaActuals(), f.generatedActuals());

    // Rewritten in place, under that name: the new odds are shown.
    moveMarket(f.drift, f.race);
    refreshed.clear();
    QFile file(lower);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(f.fileBytes(u"Uo-"_s));
    file.close();
    ASSERT_TRUE(waitFor(refreshed, 5000));
    EXPECT_EQ(f.quinellaActuals(), f.generatedActuals());
}
