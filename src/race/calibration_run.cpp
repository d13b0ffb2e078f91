// SPDX-License-Identifier: MIT
#include "calibration_run.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "base/message_sink.h"
#include "base/number_text.h"
#include "pat/folder_index.h"
#include "pat/pat_file.h"
#include "pat/pat_header.h"
#include "pat/pat_names.h"
#include "pat/race_result.h"
#include "pat/win_place_odds.h"

using namespace Qt::StringLiterals;

namespace {

// A slot's text as a whole number; empty when blank or not a number.
std::optional<int> wholeNumber(QStringView text)
{
    const QStringView t = text.trimmed();
    if (t.isEmpty() || t.size() > 4) {
        return std::nullopt;
    }
    int value = 0;
    for (const QChar c : t) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// Reads one race; the skip cause when it does not count.
std::optional<QString>
readRace(const FolderIndex& folder, const QString& zoPath, CalibrationRace& race)
{
    NullMessageSink sink;
    WinPlaceOddsRecord odds;
    if (!readWinPlaceOddsFile(zoPath, odds, sink)) {
        return u"zo_unreadable"_s;
    }
    race.runners = std::min(runnerCountOf(odds.header.runnerCount), kMaxRunners);
    std::array<double, kMaxRunners + 1> winOdds{};
    for (int h = 1; h <= race.runners; ++h) {
        winOdds[static_cast<std::size_t>(h)]
            = leadingNumber(odds.horse(h).winOdds.trimmed()).value_or(0.0);
    }
    race.p = winChances(winOdds);

    const QString path = folder.resultPathOf(zoPath).value_or(QString());
    if (path.isEmpty()) {
        return u"no_ks"_s;
    }
    RaceResultRecord result;
    if (!readRaceResultFile(path, result, PatFileCheck::ListedRegular)) {
        return u"ks_unreadable"_s;
    }
    // The order: position, then horse number, slot by slot until one is blank or not a number.
    std::vector<std::pair<int, int>> order;
    for (const FinisherSlot& slot : result.finishers) {
        const auto position = wholeNumber(slot.finishCol1.view());
        const auto horse = wholeNumber(slot.finishCol2.view());
        if (!position || !horse) {
            break;
        }
        order.emplace_back(*position, *horse);
    }
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
    return std::nullopt;
}

// The races of some folders; false with `error` when a folder is missing.
bool readRaces(const QStringList& folders,
               std::vector<CalibrationRace>& races,
               std::map<QString, qint64>& skipped,
               QString& error)
{
    for (const QString& name : folders) {
        const auto folder = FolderIndex::read(name);
        if (!folder) {
            error = u"フォルダがありません: %1"_s.arg(QDir::toNativeSeparators(name));
            return false;
        }
        for (const QString& race : folder->raceNames()) {
            CalibrationRace read;
            if (const auto cause = readRace(*folder, folder->prefix() + race, read)) {
                ++skipped[*cause];
            } else {
                races.push_back(read);
            }
        }
    }
    return true;
}

void addTables(CalibrationReport& report, const std::vector<CalibrationRace>& races, bool test)
{
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        for (const bool discount : {false, true}) {
            report.tables.push_back({bet,
                                     discount,
                                     test,
                                     calibrationTable(races,
                                                      bet,
                                                      discount ? report.fit.lambda : 1.0,
                                                      discount ? report.fit.tau : 1.0)});
        }
    }
}

QJsonValue optionalNumber(const std::optional<double>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QString optionalText(const std::optional<double>& value, int decimals)
{
    return value ? QString::number(*value, 'f', decimals) : u"-"_s;
}

} // namespace

CalibrationReport runCalibration(const CalibrationRequest& request)
{
    CalibrationReport report;
    std::vector<CalibrationRace> races;
    std::vector<CalibrationRace> testRaces;
    if (!readRaces(request.folders, races, report.skipped, report.error)
        || !readRaces(request.testFolders, testRaces, report.skipped, report.error)) {
        return report;
    }
    report.races = static_cast<qint64>(races.size());
    report.testRaces = static_cast<qint64>(testRaces.size());
    if (races.empty()) {
        report.error = u"当てはめに使えるレースがありません。"_s;
        return report;
    }
    report.fit = fitDiscount(races);
    addTables(report, races, false);
    if (!request.testFolders.isEmpty()) {
        report.testLogLikHarville = orderLogLikelihood(testRaces, 1.0, 1.0);
        report.testLogLikFit = orderLogLikelihood(testRaces, report.fit.lambda, report.fit.tau);
        addTables(report, testRaces, true);
    }
    report.ok = true;
    return report;
}

QByteArray calibrationJson(const CalibrationReport& report)
{
    QJsonObject skipped;
    for (const auto& [cause, count] : report.skipped) {
        skipped.insert(cause, static_cast<double>(count));
    }
    QJsonArray tables;
    for (const CalibrationTable& table : report.tables) {
        QJsonArray bins;
        for (const CalibrationBin& bin : table.bins) {
            bins.append(QJsonObject{{u"lo"_s, bin.lo},
                                    {u"hi"_s, bin.hi},
                                    {u"pairs"_s, static_cast<double>(bin.pairs)},
                                    {u"predicted"_s, optionalNumber(bin.predicted)},
                                    {u"observed"_s, optionalNumber(bin.observed)},
                                    {u"z"_s, optionalNumber(bin.z)}});
        }
        tables.append(
            QJsonObject{{u"bet"_s, table.bet == BetType::Quinella ? u"quinella"_s : u"wide"_s},
                        {u"model"_s, table.discount ? u"discount"_s : u"harville"_s},
                        {u"sample"_s, table.test ? u"test"_s : u"fit"_s},
                        {u"bins"_s, bins}});
    }
    const QJsonObject root{{u"races"_s, static_cast<double>(report.races)},
                           {u"test_races"_s, static_cast<double>(report.testRaces)},
                           {u"skipped"_s, skipped},
                           {u"lambda"_s, report.fit.lambda},
                           {u"lambda_se"_s, report.fit.lambdaSe},
                           {u"tau"_s, report.fit.tau},
                           {u"tau_se"_s, report.fit.tauSe},
                           {u"loglik_harville"_s, report.fit.logLikHarville},
                           {u"loglik_fit"_s, report.fit.logLikFit},
                           {u"test_loglik_harville"_s, optionalNumber(report.testLogLikHarville)},
                           {u"test_loglik_fit"_s, optionalNumber(report.testLogLikFit)},
                           {u"tables"_s, tables}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString calibrationText(const CalibrationReport& report)
{
    QString text;
    text += u"races %1  test races %2\n"_s.arg(report.races).arg(report.testRaces);
    for (const auto& [cause, count] : report.skipped) {
        text += u"skipped %1: %2\n"_s.arg(cause).arg(count);
    }
    text += u"lambda %1 (se %2)  tau %3 (se %4)\n"_s.arg(report.fit.lambda, 0, 'f', 4)
                .arg(report.fit.lambdaSe, 0, 'f', 4)
                .arg(report.fit.tau, 0, 'f', 4)
                .arg(report.fit.tauSe, 0, 'f', 4);
    text += u"log-likelihood  harville %1  fit %2\n"_s.arg(report.fit.logLikHarville, 0, 'f', 3)
                .arg(report.fit.logLikFit, 0, 'f', 3);
    if (report.testLogLikHarville) {
        text += u"test log-likelihood  harville %1  fit %2\n"_s
                    .arg(*report.testLogLikHarville, 0, 'f', 3)
                    .arg(report.testLogLikFit.value_or(0.0), 0, 'f', 3);
    }
    for (const CalibrationTable& table : report.tables) {
        text += u"\n%1 %2 %3\n"_s.arg(table.bet == BetType::Quinella ? u"quinella"_s : u"wide"_s,
                                      table.discount ? u"discount"_s : u"harville"_s,
                                      table.test ? u"test"_s : u"fit"_s);
        text += u"        lo        hi     pairs  predicted   observed        z\n"_s;
        for (const CalibrationBin& bin : table.bins) {
            text += u"%1  %2  %3  %4  %5  %6\n"_s.arg(bin.lo, 8, 'f', 6)
                        .arg(bin.hi, 8, 'f', 6)
                        .arg(bin.pairs, 8)
                        .arg(optionalText(bin.predicted, 6), 9)
                        .arg(optionalText(bin.observed, 6), 9)
                        .arg(optionalText(bin.z, 2), 7);
        }
    }
    return text;
}
