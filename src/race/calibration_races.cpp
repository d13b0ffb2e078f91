// SPDX-License-Identifier: MIT
#include "calibration_races.h"

#include <algorithm>
#include <memory>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include "analysis/market_blend.h"
#include "analysis/pair_judgement.h"
#include "base/message_sink.h"
#include "base/number_text.h"
#include "pat/folder_index.h"
#include "pat/pat_file.h"
#include "pat/pat_header.h"
#include "pat/pat_names.h"
#include "pat/quinella_odds.h"
#include "pat/race_result.h"
#include "pat/race_time.h"
#include "pat/win_place_odds.h"

using namespace Qt::StringLiterals;

namespace {

// The pools' odds of a race as its lists show them; none when its Uo- file cannot be read (the
// race then counts for the models of the win odds only).
void readPairOdds(const FolderIndex& folder,
                  const QString& zoPath,
                  QuinellaOddsRecord& record,
                  CalibrationRace& race)
{
    NullMessageSink sink;
    const RaceFolderListing listing = folder.listingOf(zoPath);
    const QString path = listing.siblingsFound ? listing.uoPath : quinellaOddsPathOf(zoPath);
    if (path.isEmpty() || !readQuinellaOddsFile(path, record, sink)) {
        return;
    }
    std::size_t k = 0;
    for (int a = 1; a < race.runners; ++a) {
        for (int b = a + 1; b <= race.runners; ++b, ++k) {
            for (const BetType bet : kBetTypes) {
                (bet == BetType::Quinella ? race.quinellaOdds : race.wideOdds)[k]
                    = pairOddsOf(record.pair(a, b), bet).value_or(0.0F);
            }
        }
    }
}

// Reads one race; the skip cause when it does not count.
std::optional<QString> readRace(const FolderIndex& folder,
                                const QString& zoPath,
                                QuinellaOddsRecord& pairs,
                                CalibrationRace& race,
                                QString& day)
{
    NullMessageSink sink;
    WinPlaceOddsRecord odds;
    if (!readWinPlaceOddsFile(zoPath, odds, sink)) {
        return u"zo_unreadable"_s;
    }
    const PatFileHeader& header = odds.header;
    day = header.venueName.toString() + u'|' + header.meetingNo.view() + u'|'
          + header.meetingDay.view();
    race.runners = std::min(runnerCountOf(odds.header.runnerCount), kMaxRunners);
    std::array<double, kMaxRunners + 1> winOdds{};
    std::array<double, kMaxRunners + 1> placeOdds{};
    for (int h = 1; h <= race.runners; ++h) {
        const WinPlaceHorseEntry& horse = odds.horse(h);
        const auto h1 = static_cast<std::size_t>(h);
        winOdds[h1] = leadingNumber(horse.winOdds.trimmed()).value_or(0.0);
        const double low = leadingNumber(horse.placeOddsMin.trimmed()).value_or(0.0);
        const double high = leadingNumber(horse.placeOddsMax.trimmed()).value_or(0.0);
        placeOdds[h1] = winOdds[h1] > 0.0 && low > 0.0 && high > 0.0 ? (low + high) / 2.0 : 0.0;
    }
    race.p = winChances(winOdds);
    race.place = placeChances(placeOdds);

    const QString path = folder.resultPathOf(zoPath).value_or(QString());
    if (path.isEmpty()) {
        return u"no_ks"_s;
    }
    RaceResultRecord result;
    if (!readRaceResultFile(path, result, PatFileCheck::ListedRegular)) {
        return u"ks_unreadable"_s;
    }
    const std::vector<std::pair<int, int>> order = finishingOrderOf(result);
    if (order.size() < 3) {
        return u"fewer_than_three"_s;
    }
    if (order[0].first == order[1].first || order[1].first == order[2].first
        || order[0].first == order[2].first) {
        return u"dead_heat"_s;
    }
    for (int k = 0; k < 3; ++k) {
        const int horse = order[static_cast<std::size_t>(k)].second;
        if (horse < 1 || horse > race.runners || race.p[static_cast<std::size_t>(horse)] <= 0.0) {
            return u"finisher_without_odds"_s;
        }
    }
    race.first = order[0].second;
    race.second = order[1].second;
    race.third = order[2].second;
    readPairOdds(folder, zoPath, pairs, race);
    return std::nullopt;
}

} // namespace

bool readCalibrationSeason(const QStringList& folders,
                           CalibrationSeason& season,
                           QString& error,
                           const std::atomic<bool>* cancel)
{
    const auto pairs = std::make_unique<QuinellaOddsRecord>();
    // Course-days by folder and header as they are met, each with its earliest file time.
    std::map<QString, quint32> units;
    std::vector<QDateTime> firstTime;
    std::vector<QString> dayFiles; // the path of every race whose Zo- file read
    std::vector<quint32> dayOfFile;
    for (const QString& name : folders) {
        const auto folder = FolderIndex::read(name);
        if (!folder) {
            error = u"フォルダがありません: %1"_s.arg(QDir::toNativeSeparators(name));
            return false;
        }
        for (const QString& race : folder->raceNames()) {
            CalibrationRace read;
            const QString path = folder->prefix() + race;
            QString day;
            const auto cause = readRace(*folder, path, *pairs, read, day);
            if (cancel != nullptr && cancel->load()) {
                error = u"中止しました。"_s;
                return false;
            }
            if (!day.isEmpty()) {
                // The header names a meeting and day, not its year: the file's year keeps the
                // same meeting of two years apart.
                const QDateTime time = QFileInfo(path).lastModified();
                const auto [at, added] = units.try_emplace(
                    name + u'|' + day + u'|' + QString::number(jraDateOf(time).year()),
                    static_cast<quint32>(units.size()));
                if (added) {
                    firstTime.push_back(time);
                } else if (time.isValid()
                           && (!firstTime[at->second].isValid() || time < firstTime[at->second])) {
                    firstTime[at->second] = time;
                }
                read.unit = at->second;
                dayFiles.push_back(path);
                dayOfFile.push_back(at->second);
            }
            if (cause) {
                ++season.skipped[*cause];
            } else {
                season.races.push_back(read);
                season.names << race;
            }
        }
    }
    // Renumbered by their first file's time (the order met among equal times).
    std::vector<quint32> order(firstTime.size());
    for (quint32 u = 0; u < order.size(); ++u) {
        order[u] = u;
    }
    std::stable_sort(order.begin(), order.end(), [&firstTime](quint32 a, quint32 b) {
        return firstTime[a] < firstTime[b];
    });
    std::vector<quint32> renumbered(order.size());
    for (quint32 k = 0; k < order.size(); ++k) {
        renumbered[order[k]] = k;
    }
    for (CalibrationRace& race : season.races) {
        race.unit = renumbered[race.unit];
    }
    for (std::size_t k = 0; k < dayFiles.size(); ++k) {
        season.dayOf.insert(dayFiles[k], renumbered[dayOfFile[k]]);
    }
    season.days = static_cast<quint32>(order.size());
    season.dateOf.resize(order.size());
    for (quint32 k = 0; k < order.size(); ++k) {
        season.dateOf[k] = jraDateOf(firstTime[order[k]]);
    }
    return true;
}
