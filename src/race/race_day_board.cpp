// SPDX-License-Identifier: MIT
#include "race_day_board.h"

#include <algorithm>
#include <cmath>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "analysis/pair_judgement.h"
#include "archive/odds_archive.h"
#include "base/message_sink.h"
#include "pat/folder_index.h"
#include "pat/pat_header.h"
#include "pat/pat_names.h"
#include "pat/race_result.h"
#include "race/race_display.h"

using namespace Qt::StringLiterals;

namespace {

// The files' time: the newest of the race's odds and result files.
QDateTime filesTime(const QString& zoPath, const QString& resultPath)
{
    QDateTime time = QFileInfo(zoPath).lastModified();
    for (const QString& path : {quinellaOddsPathOf(zoPath), resultPath}) {
        if (!path.isEmpty()) {
            time = std::max(time, QFileInfo(path).lastModified());
        }
    }
    return time;
}

std::optional<BoardPair> bestOf(const PairList& list)
{
    std::optional<BoardPair> best;
    for (const PairRow& row : list.rows()) {
        const auto d = row[DeviationColumn].shownNumber();
        if (d && (!best || *d > best->deviation)) {
            best = BoardPair{row[LabelColumn].text(), *d};
        }
    }
    return best;
}

std::optional<int> wholeNumber(QStringView text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<std::array<int, 3>> firstThree(const QString& resultPath)
{
    RaceResultRecord result;
    if (resultPath.isEmpty() || !readRaceResultFile(resultPath, result)) {
        return std::nullopt;
    }
    std::array<int, 3> horses{};
    std::size_t k = 0;
    for (const FinisherSlot& slot : result.finishers) {
        const auto horse = wholeNumber(slot.finishCol2.view());
        if (!wholeNumber(slot.finishCol1.view()) || !horse) {
            break;
        }
        horses[k++] = *horse;
        if (k == horses.size()) {
            return horses;
        }
    }
    return std::nullopt;
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
            const float from = pairActualOdds(first.pair(a, b), BetType::Quinella);
            const float to = pairActualOdds(last.pair(a, b), BetType::Quinella);
            if (std::isnan(from) || std::isnan(to) || from == kMissingValue
                || to == kMissingValue) {
                continue;
            }
            const double move = std::abs(std::log(static_cast<double>(to) / from));
            if (move > size) {
                size = move;
                // As the lists show them.
                largest = BoardMove{Cell::pairLabel(a, b).text(),
                                    Cell::number(from, CellForm::Fixed1).shownNumber().value_or(0),
                                    Cell::number(to, CellForm::Fixed1).shownNumber().value_or(0)};
            }
        }
    }
    return largest;
}

QJsonValue pairJson(const std::optional<BoardPair>& pair)
{
    if (!pair) {
        return QJsonValue::Null;
    }
    return QJsonObject{{u"pair"_s, pair->pair.trimmed()}, {u"deviation"_s, pair->deviation}};
}

} // namespace

LatestDay latestDayOf(const FolderIndex& index)
{
    std::vector<std::pair<QString, QDate>> races;
    LatestDay day;
    for (const QString& name : index.raceNames()) {
        const QString path = index.prefix() + name;
        races.emplace_back(path, QFileInfo(path).lastModified().date());
        day.date = std::max(day.date, races.back().second);
    }
    for (const auto& [path, date] : races) {
        if (date == day.date) {
            day.paths << path;
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
    const LatestDay latest = latestDayOf(*index);
    if (latest.date != m_date) {
        m_rows.clear();
        m_date = latest.date;
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
        const QDateTime time = filesTime(path, listing.resultPath);
        if (!row.read.isValid() || time != row.read) {
            row.read = time;
            readRow(row, listing);
        }
        m_rows.push_back(std::move(row));
    }
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const BoardRow& x, const BoardRow& y) {
        return x.post < y.post;
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
        row.raceNo = wholeNumber(header.raceNo.view()).value_or(0);
    }
    row.runners = d.horseTable().getHorseCount();
    const QTime start = QTime::fromString(d.raceTime(), u"HH:mm"_s);
    row.post = start.isValid() ? QDateTime(QFileInfo(row.path).lastModified().date(), start)
                               : QDateTime();
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
    row.recommended = d.recommendedBetLines();
    row.result = firstThree(d.resultFile());
    row.largestMove
        = m_archive != nullptr ? largestMove(*m_archive, row.file, row.runners) : std::nullopt;
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
        QJsonArray recommended;
        for (const QString& line : row.recommended) {
            recommended.append(line.trimmed());
        }
        QJsonValue move = QJsonValue::Null;
        if (row.largestMove) {
            move = QJsonObject{{u"pair"_s, row.largestMove->pair.trimmed()},
                               {u"from"_s, row.largestMove->from},
                               {u"to"_s, row.largestMove->to}};
        }
        QJsonValue result = QJsonValue::Null;
        if (row.result) {
            result = QJsonArray{(*row.result)[0], (*row.result)[1], (*row.result)[2]};
        }
        races.append(QJsonObject{
            {u"file"_s, row.file},
            {u"venue"_s, row.venue},
            {u"race"_s, row.raceNo},
            {u"post_time"_s,
             row.post.isValid() ? QJsonValue(row.post.toString(u"HH:mm"_s)) : QJsonValue()},
            {u"runners"_s, row.runners},
            {u"best_quinella"_s, pairJson(row.bestQuinella)},
            {u"best_wide"_s, pairJson(row.bestWide)},
            {u"marked"_s, marked},
            {u"recommended"_s, recommended},
            {u"largest_move"_s, move},
            {u"result"_s, result}});
    }
    const QJsonObject root{{u"date"_s, m_date.toString(Qt::ISODate)}, {u"races"_s, races}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
