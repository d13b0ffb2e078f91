// SPDX-License-Identifier: MIT
// The ledger of bets: what a result pays each bet, the report against a hand computation, the
// closing odds against a season's own fetches, and an archive of the version before the ledger
// taken over with every snapshot.
#include <gtest/gtest.h>
#include <limits>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "archive/bet_ledger.h"
#include "archive/odds_archive.h"
#include "base/message_sink.h"
#include "pat/folder_index.h"
#include "pat/pat_names.h"
#include "pat/quinella_odds.h"
#include "pat/race_result.h"
#include "pat/race_time.h"
#include "pat/win_place_odds.h"
#include "race/archive_files.h"
#include "race/bet_settlement.h"
#include "race/ledger_csv.h"
#include "race/ledger_report.h"
#include "realistic_season.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

template<std::size_t N, int W>
void setPayouts(std::array<PayoutSlot<W>, N>& slots,
                const std::vector<std::pair<QString, int>>& paid)
{
    for (std::size_t k = 0; k < paid.size(); ++k) {
        slots[k].betKey = PatText<W>::fromString(paid[k].first);
        slots[k].payout = PatText<8>::fromString(QString::number(paid[k].second));
    }
}

LedgerBet handBet(BetType bet, int a, int b, qint64 stake)
{
    LedgerBet out;
    out.bet = bet;
    out.first = a;
    out.second = b;
    out.stake = stake;
    return out;
}

constexpr QFileDevice::Permissions kNotOwner = QFileDevice::ReadGroup | QFileDevice::WriteGroup
                                               | QFileDevice::ReadOther | QFileDevice::WriteOther;

qint64 paid(const LedgerBet& bet, const RaceResultRecord& result, const WinPlaceOddsRecord& odds)
{
    const auto s = settlementOf(bet, result, odds);
    if (!s) {
        return std::numeric_limits<qint64>::min(); // not final: no settlement
    }
    return s->refund > 0 ? -s->refund : s->payout; // a refund negative, to tell them apart
}

} // namespace

// A win, a loss, a scratched horse's refund, a void pool's refund, and dead heats of both bet
// types, each combination paid at its own price per 100 yen.
TEST(Ledger, SettlementPaysAsTheResultSays)
{
    WinPlaceOddsRecord odds;
    odds.horse(4).winOdds = PatText<5>::fromString(u"ﾄﾘｹｼ"_s);
    RaceResultRecord plain;
    setPayouts(plain.winPayouts, {{u" 1"_s, 320}});
    setPayouts(plain.quinellaPayouts, {{u" 1- 2"_s, 1230}});
    setPayouts(plain.widePayouts, {{u" 1- 2"_s, 450}, {u" 1- 5"_s, 880}, {u" 2- 5"_s, 1010}});
    EXPECT_EQ(paid(handBet(BetType::Quinella, 1, 2, 300), plain, odds), 3690);
    EXPECT_EQ(paid(handBet(BetType::Quinella, 1, 5, 300), plain, odds), 0);
    EXPECT_EQ(paid(handBet(BetType::Wide, 2, 5, 200), plain, odds), 2020);
    EXPECT_EQ(paid(handBet(BetType::Wide, 3, 4, 500), plain, odds), -500);     // 4 scratched
    EXPECT_EQ(paid(handBet(BetType::Quinella, 1, 4, 100), plain, odds), -100); // even if "paid"

    RaceResultRecord voidQuinella;
    setPayouts(voidQuinella.winPayouts, {{u" 1"_s, 320}});
    setPayouts(voidQuinella.widePayouts, {{u" 1- 2"_s, 450}});
    EXPECT_EQ(paid(handBet(BetType::Quinella, 1, 2, 700), voidQuinella, odds), -700);
    EXPECT_EQ(paid(handBet(BetType::Wide, 1, 2, 100), voidQuinella, odds), 450);
    // A result that lists no payout at all is not final: nothing is settled, nothing refunded.
    RaceResultRecord notYet;
    EXPECT_EQ(paid(handBet(BetType::Quinella, 1, 2, 700), notYet, odds),
              std::numeric_limits<qint64>::min());

    // Horses 2 and 3 tied for second: 1-2 and 1-3 both win the quinella, 2-3 does not.
    RaceResultRecord tiedSecond;
    setPayouts(tiedSecond.winPayouts, {{u" 1"_s, 320}});
    setPayouts(tiedSecond.quinellaPayouts, {{u" 1- 2"_s, 800}, {u" 1- 3"_s, 1200}});
    setPayouts(tiedSecond.widePayouts, {{u" 1- 2"_s, 300}, {u" 1- 3"_s, 400}, {u" 2- 3"_s, 500}});
    EXPECT_EQ(paid(handBet(BetType::Quinella, 1, 3, 100), tiedSecond, odds), 1200);
    EXPECT_EQ(paid(handBet(BetType::Quinella, 1, 2, 200), tiedSecond, odds), 1600);
    EXPECT_EQ(paid(handBet(BetType::Quinella, 2, 3, 100), tiedSecond, odds), 0);

    // Horses 3 and 5 tied for third: five wide pairs paid, 3-5 not among them.
    RaceResultRecord tiedThird;
    setPayouts(tiedThird.winPayouts, {{u" 1"_s, 320}});
    setPayouts(tiedThird.quinellaPayouts, {{u" 1- 2"_s, 900}});
    setPayouts(tiedThird.widePayouts,
               {{u" 1- 2"_s, 250},
                {u" 1- 3"_s, 610},
                {u" 1- 5"_s, 720},
                {u" 2- 3"_s, 830},
                {u" 2- 5"_s, 940}});
    EXPECT_EQ(paid(handBet(BetType::Wide, 2, 5, 300), tiedThird, odds), 2820);
    EXPECT_EQ(paid(handBet(BetType::Wide, 1, 3, 100), tiedThird, odds), 610);
    EXPECT_EQ(paid(handBet(BetType::Wide, 3, 5, 100), tiedThird, odds), 0);
}

// Seven bets on three course-days, worked by hand: money, the losing run, the close, the model,
// the groups and the profit line.
TEST(Ledger, ReportEqualsTheHandComputation)
{
    const auto at = [](int y, int m, int d, int h) {
        return QDateTime(QDate(y, m, d), QTime(h, 0), jraTimeZone());
    };
    struct Hand
    {
        QDateTime post;
        QString venue;
        BetType bet;
        qint64 stake;
        double odds;
        double closing;
        QString model;
        double ev;
        std::optional<BetSettlement> settled;
    };
    const auto settled = [](qint64 payout, qint64 refund) {
        return std::optional<BetSettlement>(BetSettlement{payout, refund, {}, 0.0});
    };
    const std::vector<Hand> hands = {
        {at(2026, 12, 5, 12),
         u"中山"_s,
         BetType::Quinella,
         1000,
         10,
         8,
         u"blend"_s,
         1.2,
         settled(10000, 0)},
        {at(2026, 12, 5, 13), u"中山"_s, BetType::Wide, 500, 4, 5, {}, 0, settled(0, 0)},
        {at(2026, 12, 5, 14), u"中山"_s, BetType::Wide, 300, 6, 6, {}, 0, settled(0, 300)},
        {at(2026, 12, 6, 12),
         u"阪神"_s,
         BetType::Quinella,
         200,
         20,
         16,
         u"discount"_s,
         1.2,
         settled(0, 0)},
        {at(2026, 12, 6, 13), u"阪神"_s, BetType::Quinella, 100, 30, 30, {}, 0, settled(0, 0)},
        {at(2026, 12, 6, 14), u"阪神"_s, BetType::Quinella, 100, 5, 0, {}, 0, std::nullopt},
        {at(2027, 1, 10, 12),
         u"中山"_s,
         BetType::Wide,
         400,
         3,
         2.5,
         u"blend"_s,
         1.2,
         settled(1200, 0)},
    };
    std::vector<LedgerBet> bets;
    for (const Hand& h : hands) {
        LedgerBet bet = handBet(h.bet, 1, 2, h.stake);
        bet.placed = h.post.addSecs(-600);
        bet.post = h.post;
        bet.venue = h.venue;
        bet.odds = h.odds;
        bet.model = h.model;
        bet.ev = h.ev;
        bet.settlement = h.settled;
        if (bet.settlement) {
            bet.settlement->closing = h.closing;
        }
        bets.push_back(bet);
    }
    const LedgerReport r = ledgerReport(bets);
    const LedgerFigures& a = r.all;
    EXPECT_EQ(a.bets, 7);
    EXPECT_EQ(a.open, 1);
    EXPECT_EQ(a.refunded, 1);
    EXPECT_EQ(a.stakes, 2200);
    EXPECT_EQ(a.returns, 11200);
    EXPECT_EQ(a.profit(), 9000);
    EXPECT_DOUBLE_EQ(a.rate, 11200.0 / 2200.0);
    EXPECT_EQ(a.longestLosingRun, 3); // 500, 200, 100: the refund and the open bet break nothing
    EXPECT_EQ(a.closeBets, 5);
    EXPECT_DOUBLE_EQ(a.closeMean, (1.25 + 0.8 + 1.25 + 1.0 + 1.2) / 5);
    EXPECT_DOUBLE_EQ(a.beatShare, 3.0 / 5);
    EXPECT_EQ(a.modelBets, 3);
    EXPECT_DOUBLE_EQ(a.expected, 1.2 * (1000 + 200 + 400));
    EXPECT_EQ(a.paid, 11200);
    // A resampled ratio of sums lies between the course-days' own: 0 (12/6), 3 (1/10), 6.67 (12/5).
    ASSERT_TRUE(a.rateInterval);
    EXPECT_GE(a.rateInterval->first, 0.0);
    EXPECT_LE(a.rateInterval->first, a.rate);
    EXPECT_GE(a.rateInterval->second, a.rate);
    EXPECT_LE(a.rateInterval->second, 10000.0 / 1500.0);

    ASSERT_EQ(r.byDay.size(), 3U);
    EXPECT_EQ(r.byDay[1].key, u"2026-12-06"_s);
    EXPECT_EQ(r.byDay[1].figures.stakes, 300);
    EXPECT_FALSE(r.byDay[1].figures.rateInterval); // one course-day: no interval
    ASSERT_EQ(r.byMonth.size(), 2U);
    EXPECT_EQ(r.byMonth[0].figures.returns, 10000);
    EXPECT_EQ(r.byMonth[1].figures.stakes, 400);
    ASSERT_EQ(r.byBet.size(), 2U);
    EXPECT_EQ(r.byBet[0].key, u"quinella"_s);
    EXPECT_EQ(r.byBet[0].figures.stakes, 1300);
    EXPECT_EQ(r.byBet[1].figures.stakes, 900);
    ASSERT_EQ(r.byModel.size(), 3U);
    EXPECT_EQ(r.byModel[1].key, u"blend"_s);
    EXPECT_EQ(r.byModel[1].figures.profit(), 11200 - 1400);
    const std::vector<qint64> line = {9000, 8500, 8500, 8300, 8200, 9000};
    ASSERT_EQ(r.cumulative.size(), line.size());
    for (std::size_t k = 0; k < line.size(); ++k) {
        EXPECT_EQ(r.cumulative[k].second, line[k]) << k;
    }

    // The export reads back as the bets it was made of, a note with a line end and a comma too.
    bets[3].note = u"二行の\r\nメモ, \"引用\""_s;
    QString error;
    const auto back = parseLedgerCsv(ledgerCsv(bets), error);
    ASSERT_TRUE(back) << qPrintable(error);
    ASSERT_EQ(back->size(), bets.size());
    EXPECT_EQ((*back)[3].placed, bets[3].placed);
    EXPECT_EQ((*back)[3].model, u"discount"_s);
    EXPECT_DOUBLE_EQ((*back)[3].odds, 20.0);
    EXPECT_EQ((*back)[3].note, bets[3].note);
}

// Bets placed at the 30-minute fetch of a season's races, settled from its result files: each
// closing price is the pair's odds in the last fetch's own files, and the report's mean is
// theirs.
TEST(Ledger, ClosingOddsAreTheLastFetchBeforeThePost)
{
    TestFolder folder;
    RealisticSeasonOptions options;
    options.seed = 21;
    options.days = 1;
    options.snapshotFolder = folder.filePath(u"snap"_s);
    const QString days = folder.filePath(u"days"_s);
    QString error;
    ASSERT_TRUE(writeRealisticSeason(days, options, &error)) << qPrintable(error);
    QString note;
    auto archive = OddsArchive::open(folder.filePath(u"odds.sqlite"_s), note);
    ASSERT_TRUE(archive) << qPrintable(note);
    QStringList folders;
    for (const QString& fetch : {u"m60"_s, u"m30"_s, u"m10"_s, u"m05"_s, u"m02"_s}) {
        folders << folder.filePath(u"snap/"_s + fetch);
    }
    ASSERT_EQ(importFolders(*archive, folders + QStringList{days}).failed, 0);

    NullMessageSink sink;
    const auto oddsIn = [&](const QString& fetch, const LedgerBet& bet) {
        const QString zo = folder.filePath(u"snap/%1/%2"_s.arg(fetch, bet.race));
        WinPlaceOddsRecord win;
        QuinellaOddsRecord pairs;
        EXPECT_TRUE(readWinPlaceOddsFile(zo, win, sink));
        EXPECT_TRUE(readQuinellaOddsFile(quinellaOddsPathOf(zo), pairs, sink));
        return pairOddsOf(bet, win, pairs);
    };
    std::vector<LedgerBet> bets;
    double ratios = 0.0;
    int priced = 0;
    const auto index = FolderIndex::read(days);
    ASSERT_TRUE(index);
    for (const QString& race : index->raceNames()) {
        for (const auto& [type, a] : {std::pair{BetType::Quinella, 1},
                                      {BetType::Wide, 1},
                                      {BetType::Quinella, 3},
                                      {BetType::Wide, 5}}) {
            LedgerBet bet = handBet(type, a, a + 1, 100);
            bet.race = race;
            bet.placed
                = QFileInfo(folder.filePath(u"snap/m30/"_s + race)).lastModified().addSecs(1);
            bet.odds = shownOddsOf(*archive, bet);
            EXPECT_EQ(bet.odds, oddsIn(u"m30"_s, bet)) << qPrintable(race);
            const double close = oddsIn(u"m02"_s, bet);
            if (bet.odds > 0.0 && close > 0.0) {
                ratios += bet.odds / close;
                ++priced;
            }
            bets.push_back(bet);
        }
    }
    ASSERT_GT(priced, 40);
    BetLedger ledger(*archive);
    ASSERT_TRUE(ledger.add(bets, error)) << qPrintable(error);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const LedgerSettling done = settleLedger(*archive, {days}, now);
    EXPECT_EQ(done.settled, static_cast<int>(bets.size()));
    EXPECT_EQ(done.waiting, 0);
    for (const LedgerBet& bet : ledger.bets()) {
        ASSERT_TRUE(bet.settlement);
        EXPECT_EQ(bet.settlement->closing, oddsIn(u"m02"_s, bet)) << qPrintable(bet.race);
        EXPECT_EQ(bet.settlement->settled, now);
    }
    const LedgerReport report = ledgerReport(ledger.bets());
    EXPECT_EQ(report.all.closeBets, priced);
    EXPECT_NEAR(report.all.closeMean, ratios / priced, 1e-12);
    // A second run changes nothing.
    const auto before = ledger.bets();
    EXPECT_EQ(settleLedger(*archive, {days}, now.addSecs(60)).settled, 0);
    EXPECT_EQ(ledger.bets(), before);
}

// An archive written by the version before the ledger: every snapshot kept, the bet tables
// added, the file narrowed to its owner; a new archive is its owner's from the start.
TEST(Ledger, TheSchemaStepKeepsEverySnapshot)
{
    TestFolder folder;
    const QString path = folder.filePath(u"old.sqlite"_s);
    ASSERT_TRUE(QFile::copy(
        QStringLiteral(MIKAZUKI_SOURCE_DIR "/tests/race/data/archive_v1.sqlite"), path));
    QFile::setPermissions(
        path, QFile::permissions(path) | QFileDevice::ReadOther | QFileDevice::WriteOwner);
    const auto snapshotsOf = [](const OddsArchive& archive) {
        std::vector<std::pair<QString, QByteArray>> all;
        for (const ArchiveRace& race : archive.races()) {
            for (const ArchivedOdds& odds : archive.snapshots(race.file)) {
                all.emplace_back(race.file + odds.fetched.toString(Qt::ISODateWithMs),
                                 OddsArchive::packOdds(race.runners, odds.win, *odds.pairs));
            }
        }
        return all;
    };
    QString note;
    decltype(snapshotsOf(std::declval<OddsArchive&>())) before;
    {
        const auto old = OddsArchive::open(path, note, true);
        ASSERT_TRUE(old) << qPrintable(note);
        EXPECT_EQ(old->schemaVersion(), 1);
        EXPECT_TRUE(BetLedger(*old).bets().empty());
        before = snapshotsOf(*old);
    }
    ASSERT_EQ(before.size(), 6U);
    const auto archive = OddsArchive::open(path, note);
    ASSERT_TRUE(archive) << qPrintable(note);
    EXPECT_EQ(archive->schemaVersion(), OddsArchive::currentSchemaVersion());
    EXPECT_EQ(snapshotsOf(*archive), before);
    EXPECT_TRUE(archive->integrityOk());
    EXPECT_EQ(QFile::permissions(path) & kNotOwner, 0);

    // Bad bets are refused, nothing stored; a good one is kept.
    BetLedger ledger(*archive);
    LedgerBet bet = handBet(BetType::Wide, 2, 3, 100);
    bet.race = archive->races().front().file;
    bet.placed = QDateTime::currentDateTimeUtc();
    QString error;
    for (const auto& [change, why] :
         std::vector<std::pair<std::function<void(LedgerBet&)>, QString>>{
             {[](LedgerBet& b) { b.race = u"Zo-0000000000.jra"_s; }, u"記録にないレース"_s},
             {[](LedgerBet& b) { b.second = 19; }, u"頭数"_s},
             {[](LedgerBet& b) { b.stake = 150; }, u"100円単位"_s},
             {[](LedgerBet& b) { b.stake = 0; }, u"100円単位"_s}}) {
        LedgerBet bad = bet;
        change(bad);
        EXPECT_FALSE(ledger.add({bet, bad}, error));
        EXPECT_TRUE(error.contains(why)) << qPrintable(error);
    }
    EXPECT_TRUE(ledger.bets().empty());
    ASSERT_TRUE(ledger.add({bet}, error)) << qPrintable(error);
    EXPECT_EQ(ledger.bets().size(), 1U);
    // The newest bet deleted and another recorded: the deleted one's id is not given again, so
    // putting it back (the window's undo) works and a redo could delete only it.
    const auto newest = ledger.add({bet}, error);
    ASSERT_TRUE(newest);
    const LedgerBet deleted = *ledger.bet(newest->front());
    ASSERT_TRUE(ledger.remove(deleted.id, error));
    const auto next = ledger.add({bet}, error);
    ASSERT_TRUE(next);
    EXPECT_NE(next->front(), deleted.id);
    EXPECT_TRUE(ledger.restore(deleted, error)) << qPrintable(error);
    EXPECT_EQ(ledger.bets().size(), 3U);

    const QString fresh = folder.filePath(u"new/odds.sqlite"_s);
    ASSERT_TRUE(OddsArchive::open(fresh, note)) << qPrintable(note);
    // A lock file naming no program (one killed as it made it): the next program writes once
    // it is a few seconds old, not while it may still be being written.
    QFile lock(fresh + u".lock"_s);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    EXPECT_TRUE(OddsArchive::open(fresh, note)->isReadOnly());
    lock.setFileTime(QDateTime::currentDateTime().addSecs(-10), QFileDevice::FileModificationTime);
    lock.close();
    note.clear();
    const auto taken = OddsArchive::open(fresh, note);
    ASSERT_TRUE(taken);
    EXPECT_FALSE(taken->isReadOnly()) << qPrintable(note);
    EXPECT_EQ(QFile::permissions(fresh) & kNotOwner, 0);
    EXPECT_TRUE(QFile::permissions(fresh) & QFileDevice::WriteOwner);
}
