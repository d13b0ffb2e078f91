// SPDX-License-Identifier: MIT
#include "race_display.h"

#include <vector>

#include <QFileInfo>
#include <QScopeGuard>

#include "analysis/pair_judgement.h"
#include "analysis/recommended_bets.h"
#include "base/message_sink.h"
#include "base/texts.h"
#include "pat/archived_odds.h"
#include "pat/pat_names.h"
#include "pat/quinella_odds.h"
#include "pat/race_card.h"
#include "pat/race_result.h"
#include "pat/race_time.h"
#include "pat/win_place_odds.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

RaceDisplay::RaceDisplay(SettingsStore& settings, MessageSink& sink, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_sink(sink)
    , m_quinellaOdds(std::make_unique<QuinellaOddsRecord>())
    , m_quinella(BetType::Quinella)
    , m_wide(BetType::Wide)
{
    clearForm();
}

RaceDisplay::~RaceDisplay() = default;

namespace {

PatFileCheck checkOf(const std::optional<RaceFolderListing>& listing, bool RaceFolderListing::*file)
{
    return listing && (*listing).*file ? PatFileCheck::ListedRegular : PatFileCheck::Type;
}

} // namespace

bool RaceDisplay::load(const QString& path)
{
    // One listing of the folder finds the result file and names the files that are regular, so
    // that their types are not asked again one by one; it serves this load only.
    return load(path, listRaceFolder(path));
}

bool RaceDisplay::load(const QString& path, const RaceFolderListing& listing)
{
    return loadFile(path, listing, LoadKind::Open);
}

bool RaceDisplay::loadAt(const QString& path,
                         const RaceFolderListing& listing,
                         const ArchivedOdds& odds)
{
    m_snapshot = &odds;
    const auto forget = qScopeGuard([this] { m_snapshot = nullptr; });
    return loadFile(path, listing, path == m_currentFile ? LoadKind::Refresh : LoadKind::Open);
}

bool RaceDisplay::refresh(bool relist)
{
    if (m_currentFile.isEmpty()) {
        return false;
    }
    const QString path = m_currentFile;
    return loadFile(path, relist ? listRaceFolder(path) : m_lastListing, LoadKind::Refresh);
}

bool RaceDisplay::loadFile(const QString& path, const RaceFolderListing& listing, LoadKind kind)
{
    m_listing = listing;
    const auto forgetListing = qScopeGuard([this] { m_listing.reset(); });
    auto record = std::make_unique<WinPlaceOddsRecord>();
    if (!readWinPlaceOddsFile(
            path, *record, m_sink, checkOf(m_listing, &RaceFolderListing::zoRegular))) {
        Texts::tellLoadFailed(m_sink);
        return false;
    }
    if (m_snapshot != nullptr) {
        record->horses = m_snapshot->win.horses;
    }
    // A reload keeps the lists' order; an open starts from the order a load makes.
    std::vector<int> quinellaOrder;
    std::vector<int> wideOrder;
    if (kind == LoadKind::Refresh) {
        Q_EMIT aboutToRefresh();
        quinellaOrder = m_quinella.pairOrder();
        wideOrder = m_wide.pairOrder();
    } else if (path != m_currentFile) {
        m_history.clear();
        if (m_historySource && m_keepHistory) {
            // The odds seen before, by this program or another run of it.
            for (const OddsHistory::Snapshot& snapshot : m_historySource(
                     QFileInfo(path).fileName(), runnerCountOf(record->header.runnerCount))) {
                m_history.add(snapshot);
            }
        }
    }
    Q_EMIT aboutToChange();
    m_lastListing = listing;
    // A message box must not show over a window that is half the old race and half the new.
    HeldMessageSink held;
    showRaceOdds(*record);
    loadRaceCard(path);
    m_currentFile = path;
    buildHorseTable(held);
    if (kind == LoadKind::Refresh) {
        m_quinella.followOrder(quinellaOrder);
        m_wide.followOrder(wideOrder);
    } else {
        m_quinella.forgetSort();
        m_wide.forgetSort();
    }
    if (m_keepHistory) {
        recordOdds();
    }
    Q_EMIT changed();
    if (kind == LoadKind::Refresh) {
        Q_EMIT refreshed();
    } else {
        Q_EMIT raceLoaded();
    }
    held.passTo(m_sink);
    return true;
}

void RaceDisplay::recordOdds()
{
    // The odds are as new as the newer of the two files that hold them, or as the snapshot.
    QDateTime time = newestFileTime({m_currentFile, m_quinellaFile});
    if (m_snapshot != nullptr) {
        time = m_snapshot->fetched;
    }
    m_history.add(time, m_table, m_quinella, m_wide);
    for (PairList* list : {&m_quinella, &m_wide}) {
        std::vector<PairMove> moves;
        if (m_history.snapshots().size() > 1) {
            moves.resize(Cell::kPairIndexCount);
            for (int pair = 0; pair < Cell::kPairIndexCount; ++pair) {
                if (const auto move = m_history.pairMove(list->betType(), pair)) {
                    moves[static_cast<std::size_t>(pair)]
                        = {static_cast<qint8>(move->direction()), move->toolTip()};
                }
            }
        }
        list->setMoves(std::move(moves));
    }
}

std::optional<OddsMove> RaceDisplay::horseCellMove(HorseColumn column, int row) const
{
    const auto source = m_table.oddsShownAt(column, row);
    return source ? m_history.horseMove(source->first, source->second) : std::nullopt;
}

void RaceDisplay::clearForm()
{
    m_table.setHorseNum(std::nullopt);
    m_meeting.clear();
    m_raceName.clear();
    m_raceTime.clear();
    m_table.clearRaw();
    clearDerivedColumns();
    m_currentFile.clear();
}

void RaceDisplay::clearDerivedColumns()
{
    m_table.clearDerived();
    m_recommendedBets.clear();
    m_raceResult.clear();
    m_resultRead = false;
    colourHorseNumbers();
    initPairGrids();
}

void RaceDisplay::initPairGrids()
{
    // Headings and alignment are the models' own; only the cells are emptied.
    m_quinella.clearCells();
    m_wide.clearCells();
}

void RaceDisplay::showRaceOdds(const WinPlaceOddsRecord& record)
{
    clearForm();
    const PatFileHeader& h = record.header;
    const int runners = runnerCountOf(h.runnerCount);
    m_table.setHorseNum(runners);
    m_meeting = meetingText(h);
    m_raceName = raceNameText(h);
    for (int i = 1; i <= qMin(runners, kMaxRunners); ++i) {
        const auto& entry = record.horse(i);
        m_table.setFileText(HorseColumn::WinOdds, i, entry.winOdds.view());
        m_table.setFileText(HorseColumn::PlaceOddsMin, i, entry.placeOddsMin.view());
        m_table.setFileText(HorseColumn::PlaceOddsMax, i, entry.placeOddsMax.view());
    }
}

void RaceDisplay::loadRaceCard(const QString& zoPath)
{
    auto card = std::make_unique<RaceCardRecord>();
    const QString path = m_listing && (m_listing->siblingsFound || !m_listing->dePath.isEmpty())
                             ? m_listing->dePath
                             : raceCardPathOf(zoPath);
    if (path.isEmpty()
        || !readRaceCardFile(path, *card, checkOf(m_listing, &RaceFolderListing::deRegular))) {
        for (int i = 1; i <= kMaxRunners; ++i) {
            m_table.setFileText(HorseColumn::HorseName, i, {});
        }
        m_raceTime.clear();
        return;
    }
    const int names = qBound(0, runnerCountOf(card->runnerCount), kMaxRunners);
    for (int a = 1; a <= names; ++a) {
        m_table.setFileText(HorseColumn::HorseName, a, card->horse(a).horseName.view());
    }
    const QStringView time = card->startTime.view();
    m_raceTime = time.left(2) + u':' + time.right(2);
}

void RaceDisplay::buildHorseTable(MessageSink& sink)
{
    clearDerivedColumns();
    m_table.computeDerived();

    m_quinellaOddsRead = false;
    m_quinellaFile = m_listing && (m_listing->siblingsFound || !m_listing->uoPath.isEmpty())
                         ? m_listing->uoPath
                         : quinellaOddsPathOf(m_currentFile);
    if (!m_quinellaFile.isEmpty()) {
        m_quinellaOddsRead
            = readQuinellaOddsFile(m_quinellaFile,
                                   *m_quinellaOdds,
                                   sink,
                                   checkOf(m_listing, &RaceFolderListing::uoRegular));
    }
    if (m_snapshot != nullptr && m_quinellaOddsRead) {
        m_quinellaOdds->pairs = m_snapshot->pairs->pairs;
    }

    m_table.fillPopularityBlocks(loadSettings().popularityThreshold);
    colourHorseNumbers();
    // The "理論値" headings name the model this load computes with.
    m_quinella.setTheoryNote(loadSettings().quinella.model.description());
    m_wide.setTheoryNote(loadSettings().wide.model.description());
    if (m_quinellaOddsRead) {
        judgeQuinella();
        judgeWide();
        listRecommendedBets();
    }
    showRaceResult(sink);
}

void RaceDisplay::recolourHorseNumbers()
{
    colourHorseNumbers();
    Q_EMIT changed();
}

const RaceDisplay::LoadSettings& RaceDisplay::loadSettings()
{
    const quint64 revision = SettingsStore::revision();
    if (m_loadSettings.revision == revision) {
        return m_loadSettings;
    }
    LoadSettings& s = m_loadSettings;
    s.revision = revision;
    s.quinella = JudgeSettings::read(m_settings, BetType::Quinella);
    s.wide = JudgeSettings::read(m_settings, BetType::Wide);
    // A colour that does not convert is white.
    for (int no = 0; no <= kMaxRunners; ++no) {
        s.horseColours[static_cast<std::size_t>(no)]
            = m_settings.readInteger32(SettingsKey::HorseNoColour, {}, no)
                  .value_or(SettingsStore::defaultInteger(SettingsKey::HorseNoColour));
    }
    s.popularityThreshold
        = m_settings.readInteger16(SettingsKey::DetectVal)
              .value_or(static_cast<qint16>(SettingsStore::defaultInteger(SettingsKey::DetectVal)));
    return s;
}

void RaceDisplay::colourHorseNumbers()
{
    const auto& colours = loadSettings().horseColours;
    // Horse-number cells hold 1 to 18, or nothing (read as 0).
    m_table.colourHorseNumbers([&colours](int no) {
        return colours[static_cast<std::size_t>(qBound(0, no, kMaxRunners))];
    });
}

void RaceDisplay::judgeQuinella()
{
    judgePairs(
        m_table, *m_quinellaOdds, BetType::Quinella, loadSettings().quinella, m_quinella.rows());
}

void RaceDisplay::judgeWide()
{
    judgePairs(m_table, *m_quinellaOdds, BetType::Wide, loadSettings().wide, m_wide.rows());
    writePopularityDifference(m_quinella, m_wide);
}

void RaceDisplay::listRecommendedBets()
{
    m_recommendedBets = ::listRecommendedBets(m_table, m_quinella);
}

void RaceDisplay::showRaceResult(MessageSink& sink)
{
    // A file the listing found is a regular file or a link to one.
    const QString path = m_listing ? m_listing->resultPath : raceResultPathOf(m_currentFile);
    if (path.isEmpty()) {
        return;
    }
    if (!m_result) {
        m_result = std::make_unique<RaceResultRecord>();
    }
    RaceResultRecord* const result = m_result.get();
    if (!readRaceResultFile(path, *result, PatFileCheck::ListedRegular)) {
        Texts::tellLoadFailed(sink);
        return;
    }
    m_resultRead = true;
    // Every slot is listed as the file holds it, so the fixed-width columns stay aligned.
    QStringList lines;
    lines.reserve(qsizetype(6 + result->finishers.size() + result->winPayouts.size()
                            + result->placePayouts.size() + result->bracketQuinellaPayouts.size()
                            + result->quinellaPayouts.size() + result->widePayouts.size()));
    lines << u"競争成績"_s;
    for (const FinisherSlot& f : result->finishers) {
        // One allocation per line: the builder sizes the whole line before it copies.
        lines << QString(f.finishCol1.view() % f.finishCol2.view() % f.horseName.view()
                         % f.finishCol3.view());
    }
    const auto payouts = [&lines](const QString& heading, const auto& entries) {
        lines << heading;
        for (const auto& slot : entries) {
            lines << QString(slot.betKey.view() % slot.payout.view());
        }
    };
    payouts(u"単勝"_s, result->winPayouts);
    payouts(u"複勝"_s, result->placePayouts);
    payouts(u"枠連"_s, result->bracketQuinellaPayouts);
    payouts(u"馬連"_s, result->quinellaPayouts);
    payouts(u"ワイド"_s, result->widePayouts);
    m_raceResult = lines;
    markResultHits(*result, m_quinella, m_wide, m_recommendedBets);
}
