// SPDX-License-Identifier: MIT
#include "race_day_board.h"

#include <algorithm>
#include <cmath>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include "analysis/pair_judgement.h"
#include "archive/odds_archive.h"
#include "base/message_sink.h"
#include "base/number_text.h"
#include "base/texts.h"
#include "pat/folder_index.h"
#include "pat/pat_header.h"
#include "pat/pat_names.h"
#include "pat/race_card.h"
#include "pat/race_result.h"
#include "pat/race_time.h"
#include "race/race_display.h"

using namespace Qt::StringLiterals;

namespace {

HorsePair pairOf(const Cell& label)
{
    const int pair = Cell::pairOfLabel(label.textValue().trimmed());
    return {pair / 100, pair % 100};
}

std::optional<BoardPair> bestOf(const PairList& list)
{
    std::optional<BoardPair> best;
    for (const PairRow& row : list.rows()) {
        const auto d = row[DeviationColumn].shownNumber();
        if (d && (!best || *d > best->deviation)) {
            best = BoardPair{pairOf(row[LabelColumn]), *d};
        }
    }
    return best;
}

std::optional<std::array<int, 3>> firstThree(const QString& resultPath)
{
    RaceResultRecord result;
    if (resultPath.isEmpty() || !readRaceResultFile(resultPath, result)) {
        return std::nullopt;
    }
    return firstThreeOf(result);
}

// The recommended bets as numbers: the pairs, whether the race is to be sat out, and after the
// off the pairs the result paid (the window marks them ◎ and ○).
void readRecommended(const QStringList& lines, bool resultIn, BoardRow& row)
{
    row.recommended.clear();
    row.skip = false;
    row.hits.reset();
    std::vector<HorsePair> hits;
    for (QString line : lines) {
        bool hit = false;
        while (line.endsWith(u'◎') || line.endsWith(u'○')) {
            line.chop(1);
            hit = true;
        }
        const int pair = Cell::pairOfLabel(QStringView(line).trimmed());
        if (pair == 0) {
            row.skip = row.skip || line.trimmed() == Texts::skipRace();
            continue;
        }
        row.recommended.emplace_back(pair / 100, pair % 100);
        if (hit) {
            hits.push_back(row.recommended.back());
        }
    }
    if (resultIn) {
        row.hits = std::move(hits);
    }
}

QString pairText(const HorsePair& pair)
{
    return u"%1-%2"_s.arg(pair.first).arg(pair.second);
}

QJsonValue pairJson(const HorsePair& pair)
{
    return QJsonArray{pair.first, pair.second};
}

QJsonValue pairsJson(const std::vector<HorsePair>& pairs)
{
    QJsonArray list;
    for (const HorsePair& pair : pairs) {
        list.append(pairJson(pair));
    }
    return list;
}

QString bestText(const std::optional<BoardPair>& best)
{
    return best ? u"%1 %2"_s.arg(pairText(best->pair)).arg(best->deviation, 0, 'f', 1) : QString();
}

std::optional<BoardMove> largestMove(const OddsArchive& archive, const QString& file, int runners)
{
    const std::vector<ArchivedOdds> snapshots = archive.snapshots(file);
    if (snapshots.size() < 2) {
        return std::nullopt;
    }
    const QuinellaOddsRecord& first = *snapshots.front().pairs;
    const QuinellaOddsRecord& last = *snapshots.back().pairs;
    std::optional<BoardMove> largest;
    double size = 0.0;
    for (int a = 1; a < runners; ++a) {
        for (int b = a + 1; b <= runners; ++b) {
            const auto from = pairOddsOf(first.pair(a, b), BetType::Quinella);
            const auto to = pairOddsOf(last.pair(a, b), BetType::Quinella);
            if (!from || !to) {
                continue;
            }
            const double move = std::abs(std::log(static_cast<double>(*to) / *from));
            if (move > size) {
                size = move;
                // As the lists show them.
                largest = BoardMove{{a, b},
                                    Cell::number(*from, CellForm::Fixed1).shownNumber().value_or(0),
                                    Cell::number(*to, CellForm::Fixed1).shownNumber().value_or(0)};
            }
        }
    }
    return largest;
}

QJsonValue bestJson(const std::optional<BoardPair>& best)
{
    if (!best) {
        return QJsonValue::Null;
    }
    return QJsonObject{{u"pair"_s, pairJson(best->pair)}, {u"deviation"_s, best->deviation}};
}

} // namespace

LatestDay latestDayOf(const FolderIndex& index, RaceDays* known)
{
    struct Race
    {
        QString path;
        QDateTime fetched;
        QDate date;
    };
    std::vector<Race> races;
    QDate newest;
    for (const QString& name : index.raceNames()) {
        const QString path = index.prefix() + name;
        const QDateTime fetched = newestFileTime({path});
        races.push_back({path, fetched, jraDateOf(fetched)});
        newest = std::max(newest, races.back().date);
    }
    // A race is on its files' date or, sold the day before, on the next one: only the races of
    // the two latest dates need their race cards read.
    LatestDay day;
    for (Race& race : races) {
        if (!race.date.isValid() || race.date < newest.addDays(-1)) {
            continue;
        }
        if (known != nullptr) {
            const auto at = known->find(race.path);
            if (at != known->end() && at->second.first == race.fetched) {
                race.date = at->second.second;
                day.date = std::max(day.date, race.date);
                continue;
            }
        }
        RaceCardRecord card;
        if (readRaceCardFile(raceCardPathOf(race.path), card)) {
            const QDateTime post
                = postTimeOf(card.startTime.view(),
                             race.fetched,
                             !index.resultPathOf(race.path).value_or(QString()).isEmpty());
            if (post.isValid()) {
                race.date = jraDateOf(post);
            }
        }
        if (known != nullptr) {
            (*known)[race.path] = {race.fetched, race.date};
        }
        day.date = std::max(day.date, race.date);
    }
    for (const Race& race : races) {
        if (race.date == day.date) {
            day.paths << race.path;
        }
    }
    return day;
}

QString closeText(const QDateTime& post, const QDateTime& now, bool* urgent)
{
    if (urgent != nullptr) {
        *urgent = false;
    }
    if (!post.isValid()) {
        return {};
    }
    const qint64 seconds = now.secsTo(post.addSecs(-60 * kCloseMinutesBeforePost));
    if (seconds <= 0) {
        return u"締切"_s;
    }
    if (urgent != nullptr) {
        *urgent = seconds < 60;
    }
    return u"%1分"_s.arg((seconds + 59) / 60);
}

RaceDayBoard::RaceDayBoard(SettingsStore& settings, const OddsArchive* archive)
    : m_settings(settings)
    , m_archive(archive)
{}

RaceDayBoard::~RaceDayBoard() = default;

bool RaceDayBoard::refresh(const QString& folder)
{
    const auto index = FolderIndex::read(folder);
    if (!index) {
        return false;
    }
    const LatestDay latest = latestDayOf(*index, &m_raceDays);
    if (latest.date != m_date) {
        m_rows.clear();
        m_date = latest.date;
    }
    const StakeSettings stakeSettings = StakeSettings::read(m_settings);
    std::optional<ModelFit> fit = m_fitOverride ? *m_fitOverride : ModelFit::read(m_settings);
    if (!m_fitOverride && fit && !fit->madeOn(folder)) {
        fit.reset(); // another folder's fit
    }
    if (stakeSettings != m_stakeSettings || fit != m_fit) {
        m_stakeSettings = stakeSettings;
        m_fit = std::move(fit);
        for (BoardRow& row : m_rows) {
            row.read = QDateTime(); // read again under the new stakes
        }
    }
    std::map<QString, BoardRow> kept;
    for (BoardRow& row : m_rows) {
        kept.emplace(row.path, std::move(row));
    }
    m_rows.clear();
    for (const QString& path : latest.paths) {
        auto at = kept.find(path);
        BoardRow row = at != kept.end() ? std::move(at->second) : BoardRow{};
        row.path = path;
        // The listing made above tells each race's files: no folder is listed again.
        const RaceFolderListing listing = index->listingOf(path);
        const QDateTime time = newestFileTime({path, quinellaOddsPathOf(path), listing.resultPath});
        if (!row.read.isValid() || time != row.read) {
            row.read = time;
            readRow(row, listing);
        }
        m_rows.push_back(std::move(row));
    }
    // Post-time order; races without a race card last.
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const BoardRow& x, const BoardRow& y) {
        return x.post.isValid() && (!y.post.isValid() || x.post < y.post);
    });
    return true;
}

void RaceDayBoard::readRow(BoardRow& row, const RaceFolderListing& listing)
{
    if (!m_display) {
        static NullMessageSink sink;
        m_display = std::make_unique<RaceDisplay>(m_settings, sink);
    }
    RaceDisplay& d = *m_display;
    row.file = QFileInfo(row.path).fileName();
    if (!d.load(row.path, listing)) {
        row.runners = 0;
        return;
    }
    NullMessageSink sink;
    PatFileHeader header;
    if (readPatHeaderFile(row.path, header, sink)) {
        row.venue = header.venueName.trimmed().toString();
        row.raceNo = wholeNumberOf(header.raceNo.view()).value_or(0);
    }
    row.runners = d.horseTable().getHorseCount();
    // The race card's time as the display read it ("HH:mm"), on the race's own day.
    row.post = postTimeOf(QString(d.raceTime()).remove(u':'),
                          newestFileTime({row.path, quinellaOddsPathOf(row.path)}),
                          !listing.resultPath.isEmpty());
    row.bestQuinella = bestOf(d.quinellaList());
    row.bestWide = bestOf(d.wideList());
    row.marked.fill(0);
    for (const PairList* list : {&d.quinellaList(), &d.wideList()}) {
        for (const PairRow& pair : list->rows()) {
            if (pair.level > 0) {
                ++row.marked[static_cast<std::size_t>(pair.level - 1)];
            }
        }
    }
    row.result = firstThree(d.resultFile());
    row.recommendedLines = d.recommendedBetLines();
    readRecommended(row.recommendedLines, row.result.has_value(), row);
    row.largestMove
        = m_archive != nullptr ? largestMove(*m_archive, row.file, row.runners) : std::nullopt;
    row.stakes = raceStakesOf(d, m_stakeSettings, m_fit, m_noFit);
}

void RaceDayBoard::setFit(std::optional<ModelFit> fit, const QString& why)
{
    m_fitOverride = std::move(fit);
    m_noFit = why;
}

namespace {

// The pair of a bet type with the highest expected value, as "3-5 1.08".
QString valueText(const RaceStakes& stakes, BetType bet)
{
    const PairValue* best = stakes.best(bet);
    return best != nullptr && best->value > 0.0
               ? u"%1-%2 %3"_s.arg(best->first).arg(best->second).arg(best->value, 0, 'f', 2)
               : QString();
}

QString stakeText(const RaceStakes& stakes)
{
    const qint64 total = stakes.totalStake();
    return total > 0 ? QLocale(QLocale::Japanese).toString(total) + u"円"_s : QString();
}

QJsonValue bestValueJson(const RaceStakes& stakes, BetType bet)
{
    const PairValue* best = stakes.best(bet);
    if (best == nullptr) {
        return QJsonValue::Null;
    }
    return QJsonObject{{u"pair"_s, QJsonArray{best->first, best->second}}, {u"ev"_s, best->value}};
}

} // namespace

bool hasClosed(const QDateTime& post, const QDateTime& now)
{
    return post.isValid() && now >= post.addSecs(-60 * kCloseMinutesBeforePost);
}

QStringList boardHeadings()
{
    return {u"場"_s,
            u"R"_s,
            u"発走"_s,
            u"締切まで"_s,
            u"頭数"_s,
            u"馬連 最良"_s,
            u"ﾜｲﾄﾞ 最良"_s,
            u"印 (1/2/3/4/5)"_s,
            u"推奨買い目"_s,
            u"最大変動"_s,
            u"結果"_s,
            u"馬連 期待値"_s,
            u"ﾜｲﾄﾞ 期待値"_s,
            u"賭け金"_s};
}

QStringList boardTexts(const BoardRow& row, const QDateTime& now)
{
    QStringList marked;
    for (const int count : row.marked) {
        marked << QString::number(count);
    }
    QString move;
    if (row.largestMove) {
        move = u"%1 %2→%3"_s.arg(pairText(row.largestMove->pair))
                   .arg(row.largestMove->from, 0, 'f', 1)
                   .arg(row.largestMove->to, 0, 'f', 1);
    }
    QString result;
    if (row.result) {
        result = u"%1-%2-%3"_s.arg((*row.result)[0]).arg((*row.result)[1]).arg((*row.result)[2]);
    }
    return {row.venue,
            QString::number(row.raceNo),
            row.post.isValid() ? row.post.toTimeZone(jraTimeZone()).toString(u"HH:mm"_s)
                               : QString(),
            closeText(row.post, now),
            QString::number(row.runners),
            bestText(row.bestQuinella),
            bestText(row.bestWide),
            marked.join(u'/'),
            row.recommendedLines.join(u' ').simplified(),
            move,
            result,
            valueText(row.stakes, BetType::Quinella),
            valueText(row.stakes, BetType::Wide),
            stakeText(row.stakes)};
}

int RaceDayBoard::nextToClose(const QDateTime& now) const
{
    int next = -1;
    for (std::size_t r = 0; r < m_rows.size(); ++r) {
        const QDateTime& post = m_rows[r].post;
        if (post.isValid() && now < post.addSecs(-60 * kCloseMinutesBeforePost)
            && (next < 0 || post < m_rows[static_cast<std::size_t>(next)].post)) {
            next = static_cast<int>(r);
        }
    }
    return next;
}

QByteArray RaceDayBoard::json() const
{
    QJsonArray races;
    for (const BoardRow& row : m_rows) {
        QJsonObject marked;
        for (std::size_t k = 0; k < row.marked.size(); ++k) {
            marked.insert(QString::number(k + 1), row.marked[k]);
        }
        QJsonValue move = QJsonValue::Null;
        if (row.largestMove) {
            move = QJsonObject{{u"pair"_s, pairJson(row.largestMove->pair)},
                               {u"from"_s, row.largestMove->from},
                               {u"to"_s, row.largestMove->to}};
        }
        QJsonValue result = QJsonValue::Null;
        if (row.result) {
            result = QJsonArray{(*row.result)[0], (*row.result)[1], (*row.result)[2]};
        }
        const QDateTime post = row.post.toTimeZone(jraTimeZone());
        races.append(QJsonObject{
            {u"file"_s, row.file},
            {u"venue"_s, row.venue},
            {u"race"_s, row.raceNo},
            {u"post_time"_s,
             row.post.isValid() ? QJsonValue(post.toString(u"HH:mm"_s)) : QJsonValue()},
            {u"post"_s, row.post.isValid() ? QJsonValue(post.toString(Qt::ISODate)) : QJsonValue()},
            {u"runners"_s, row.runners},
            {u"best_quinella"_s, bestJson(row.bestQuinella)},
            {u"best_wide"_s, bestJson(row.bestWide)},
            {u"marked"_s, marked},
            {u"recommended"_s, pairsJson(row.recommended)},
            {u"skip"_s, row.skip},
            {u"hits"_s, row.hits ? pairsJson(*row.hits) : QJsonValue()},
            {u"largest_move"_s, move},
            {u"result"_s, result},
            {u"best_value"_s,
             QJsonObject{{u"quinella"_s, bestValueJson(row.stakes, BetType::Quinella)},
                         {u"wide"_s, bestValueJson(row.stakes, BetType::Wide)}}},
            {u"stake"_s, row.stakes.totalStake()},
            {u"value"_s, stakedPairsJson(row.stakes)}});
    }
    const QJsonObject root{{u"date"_s, m_date.toString(Qt::ISODate)}, {u"races"_s, races}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
