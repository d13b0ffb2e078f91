// SPDX-License-Identifier: MIT
#include "backtest.h"

#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QThread>
#include <QThreadPool>

#include "analysis/pair_judgement.h"
#include "base/file_failure.h"
#include "base/message_sink.h"
#include "base/number_text.h"
#include "pat/folder_index.h"
#include "pat/pat_file.h"
#include "pat/pat_names.h"
#include "pat/race_result.h"
#include "race/csv_writer.h"
#include "race/race_display.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

QString skipCauseText(SkipCause cause)
{
    switch (cause) {
    case SkipCause::ZoUnreadable:
        return u"Zo-が読めない"_s;
    case SkipCause::NoUo:
        return u"Uo-が無い"_s;
    case SkipCause::UoUnreadable:
        return u"Uo-が読めない"_s;
    case SkipCause::NoKs:
        return u"Ks-が無い"_s;
    case SkipCause::KsUnreadable:
        return u"Ks-が読めない"_s;
    case SkipCause::NoQuinellaPayout:
        return u"馬連の払戻が無い"_s;
    case SkipCause::NoWidePayout:
        return u"ﾜｲﾄﾞの払戻が無い"_s;
    }
    return {};
}

namespace {

// A race as its folder's listing found it.
struct RaceJob
{
    const FolderIndex* folder = nullptr;
    QString name;
    QString path;
};

struct RaceOutcome
{
    std::optional<SkipCause> skip[2];
    RaceTally tally[2]{};
};

// The payout keys of one bet type: (trimmed key, yen).
using Payouts = std::vector<std::pair<QString, qint64>>;

template<std::size_t N, int W>
Payouts payoutsOf(const std::array<PayoutSlot<W>, N>& slots)
{
    Payouts payouts;
    for (const auto& slot : slots) {
        const QString key = slot.betKey.trimmed().toString();
        if (!key.isEmpty()) {
            payouts.emplace_back(key, qRound64(numericValue(slot.payout.view())));
        }
    }
    return payouts;
}

// Whether a pair is a bet: it has actual odds and is not scratched.
bool isBet(const PairRow& row)
{
    const Cell& actual = row[ActualColumn];
    if (actual.showsNothing()) {
        return false;
    }
    const auto units = actual.shownUnits();
    return !(units && *units == kMissingTenths);
}

void add(GroupTally& tally, qint64 payout, bool hit)
{
    ++tally.bets;
    tally.hits += hit ? 1 : 0;
    tally.returns += payout;
}

// Sums one bet type of one race and, when asked, writes its pairs' lines.
void tallyRace(const RaceDisplay& display,
               BetType bet,
               const Payouts& payouts,
               const QString& zoName,
               RaceTally& tally,
               CsvBytes* pairs)
{
    const PairList& list = display.pairList(bet);
    const auto payoutOf = [&payouts](QStringView label, bool* hit) {
        qint64 yen = 0;
        *hit = false;
        for (const auto& [key, amount] : payouts) {
            if (key == label) {
                *hit = true;
                yen += amount; // a dead heat pays every matching slot
            }
        }
        return yen;
    };
    const QString name = betName(bet);
    for (const PairRow& row : list.rows()) {
        const QStringView label = row[LabelColumn].textValue().trimmed();
        bool hit = false;
        const qint64 payout = payoutOf(label, &hit);
        if (pairs != nullptr) {
            CsvLine(*pairs)
                .text(zoName)
                .text(name)
                .cellText(row[LabelColumn])
                .single(row[TheoreticalColumn])
                .single(row[ActualColumn])
                .single(row[DeviationColumn])
                .single(row[SupportRatioColumn])
                .cellText(row[MarkColumn])
                .cellText(row[PopularityColumn])
                .integer(hit ? 1 : 0)
                .integer(payout);
        }
        if (!isBet(row)) {
            continue;
        }
        const auto group = [&tally](BacktestGroup g) -> GroupTally& {
            return tally[static_cast<std::size_t>(g)];
        };
        add(group(BacktestGroup::All), payout, hit);
        const int level = row.level; // 1 to 5; 0 when no level matched
        add(level > 0 ? tally[static_cast<std::size_t>(static_cast<int>(BacktestGroup::Level1)
                                                       + level - 1)]
                      : group(BacktestGroup::Unmarked),
            payout,
            hit);
        if (const auto deviation = row[DeviationColumn].shownUnits()) {
            add(group(deviationBand(*deviation)), payout, hit);
        }
    }
    if (bet != BetType::Wide) {
        return;
    }
    // The recommended bets, their hit marks taken off, bet as wide.
    for (QString entry : display.recommendedBetLines()) {
        while (entry.endsWith(u'◎') || entry.endsWith(u'○')) {
            entry.chop(1);
        }
        const QStringView label = QStringView(entry).trimmed();
        if (Cell::pairOfLabel(label) == 0) {
            continue; // "該当無し", "見送りレース"
        }
        for (const PairRow& row : list.rows()) {
            if (row[LabelColumn].textValue().trimmed() != label) {
                continue;
            }
            if (isBet(row)) {
                bool hit = false;
                const qint64 payout = payoutOf(row[LabelColumn].textValue().trimmed(), &hit);
                add(tally[static_cast<std::size_t>(BacktestGroup::Recommended)], payout, hit);
            }
            break;
        }
    }
}

// One worker's tools, made once per thread: a display and its settings store.
struct Worker
{
    std::unique_ptr<SettingsStore> settings;
    NullMessageSink sink;
    std::unique_ptr<RaceDisplay> display;
};

RaceOutcome replay(Worker& worker, const RaceJob& job, CsvBytes* pairs)
{
    RaceOutcome outcome;
    const FolderIndex& folder = *job.folder;
    const RaceFolderListing listing = folder.listingOf(job.path);

    const auto skipBoth = [&outcome](SkipCause cause) {
        outcome.skip[0] = cause;
        outcome.skip[1] = cause;
        return outcome;
    };
    RaceDisplay& display = *worker.display;
    if (!display.load(job.path, listing)) {
        return skipBoth(SkipCause::ZoUnreadable);
    }
    const bool uoExists = listing.siblingsFound ? !listing.uoPath.isEmpty()
                                                : QFileInfo(quinellaOddsPathOf(job.path)).isFile();
    if (!uoExists) {
        return skipBoth(SkipCause::NoUo);
    }
    if (!display.quinellaOddsRead()) {
        return skipBoth(SkipCause::UoUnreadable);
    }
    if (listing.resultPath.isEmpty()) {
        return skipBoth(SkipCause::NoKs);
    }
    const RaceResultRecord* result = display.raceResult();
    if (result == nullptr) {
        return skipBoth(SkipCause::KsUnreadable);
    }
    const Payouts quinella = payoutsOf(result->quinellaPayouts);
    const Payouts wide = payoutsOf(result->widePayouts);
    if (quinella.empty()) {
        outcome.skip[0] = SkipCause::NoQuinellaPayout;
    } else {
        tallyRace(display, BetType::Quinella, quinella, job.name, outcome.tally[0], pairs);
    }
    if (wide.empty()) {
        outcome.skip[1] = SkipCause::NoWidePayout;
    } else {
        tallyRace(display, BetType::Wide, wide, job.name, outcome.tally[1], pairs);
    }
    return outcome;
}

// The pairs table in race order, whatever order the races finish in: a race's lines wait
// until every earlier race's are written. The workers take races in order, so few wait.
class OrderedWriter
{
public:
    explicit OrderedWriter(QSaveFile* file)
        : m_file(file)
    {}

    void put(qint64 index, QByteArray bytes)
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.emplace(index, std::move(bytes));
        while (!m_waiting.empty() && m_waiting.begin()->first == m_next) {
            const QByteArray& next = m_waiting.begin()->second;
            if (m_file != nullptr && m_file->write(next) != next.size()) {
                m_failed = true;
            }
            m_waiting.erase(m_waiting.begin());
            ++m_next;
        }
    }
    bool failed() const { return m_failed; }

private:
    QSaveFile* m_file;
    std::mutex m_mutex;
    std::map<qint64, QByteArray> m_waiting;
    qint64 m_next = 0;
    bool m_failed = false;
};

// A file of the run that could not be written, for the user; straight after the failed call,
// while the system's error number is still the failure's.
QString saveFailure(const QString& path, const QSaveFile& file)
{
    const int systemError = errno;
    return fileFailureLine(path,
                           fileProblemText(systemError, FileAccess::Write, file.errorString()));
}

QByteArray pairsHeading()
{
    CsvBytes out;
    CsvLine(out).texts({u"ファイル",
                        u"券種",
                        u"組番",
                        u"理論値",
                        u"実際値",
                        u"乖離％",
                        u"支持率",
                        u"判定",
                        u"人気",
                        u"的中",
                        u"払戻"});
    return out.take();
}

} // namespace

BacktestReport runBacktest(const BacktestRequest& request,
                           const std::function<void(qint64, qint64)>& progress,
                           const std::atomic<bool>* cancel)
{
    BacktestReport report;
    std::vector<FolderIndex> folders;
    folders.reserve(static_cast<std::size_t>(request.folders.size()));
    for (const QString& folder : request.folders) {
        auto index = FolderIndex::read(folder);
        if (!index) {
            report.error = u"フォルダがありません: %1"_s.arg(QDir::toNativeSeparators(folder));
            return report;
        }
        folders.push_back(std::move(*index));
    }
    std::vector<RaceJob> jobs;
    for (const FolderIndex& folder : folders) {
        for (const QString& name : folder.raceNames()) {
            jobs.push_back(RaceJob{&folder, name, folder.prefix() + name});
        }
    }
    // Zo- name order (ordinal, ignoring case); the folders' order among equal names.
    std::stable_sort(jobs.begin(), jobs.end(), [](const RaceJob& a, const RaceJob& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    report.racesSeen = static_cast<qint64>(jobs.size());

    // The outputs open first: one that cannot be written stops the run before any work.
    std::unique_ptr<QSaveFile> pairsFile;
    if (!request.pairsPath.isEmpty()) {
        pairsFile = std::make_unique<QSaveFile>(request.pairsPath);
        const QByteArray heading = pairsHeading();
        errno = 0;
        if (!pairsFile->open(QIODevice::WriteOnly) || pairsFile->write(heading) != heading.size()) {
            report.error = saveFailure(request.pairsPath, *pairsFile);
            return report;
        }
    }
    std::unique_ptr<QSaveFile> csvFile;
    if (!request.csvPath.isEmpty()) {
        csvFile = std::make_unique<QSaveFile>(request.csvPath);
        errno = 0;
        if (!csvFile->open(QIODevice::WriteOnly)) {
            report.error = saveFailure(request.csvPath, *csvFile);
            return report;
        }
    }

    std::vector<RaceOutcome> outcomes(jobs.size());
    OrderedWriter writer(pairsFile.get());
    std::atomic<qint64> nextJob{0};
    std::atomic<qint64> done{0};
    QThreadPool pool;
    const int threads = qMax(1, QThread::idealThreadCount());
    pool.setMaxThreadCount(threads);
    for (int t = 0; t < threads; ++t) {
        pool.start([&] {
            Worker worker;
            worker.settings = SettingsStore::open(request.settingsFile);
            worker.display = std::make_unique<RaceDisplay>(*worker.settings, worker.sink);
            for (;;) {
                const qint64 i = nextJob.fetch_add(1);
                if (i >= static_cast<qint64>(jobs.size())
                    || (cancel != nullptr && cancel->load())) {
                    break;
                }
                CsvBytes bytes;
                outcomes[static_cast<std::size_t>(i)] = replay(
                    worker, jobs[static_cast<std::size_t>(i)], pairsFile ? &bytes : nullptr);
                if (pairsFile) {
                    writer.put(i, bytes.take());
                }
                done.fetch_add(1);
            }
        });
    }
    while (!pool.waitForDone(100)) {
        if (progress) {
            progress(done.load(), report.racesSeen);
        }
    }
    if (progress) {
        progress(done.load(), report.racesSeen);
    }
    if (cancel != nullptr && cancel->load()) {
        report.cancelled = true;
        report.error = u"中止しました。"_s;
        return report;
    }

    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const RaceOutcome& outcome = outcomes[i];
        for (int b = 0; b < 2; ++b) {
            if (outcome.skip[b]) {
                const auto cause = static_cast<std::size_t>(*outcome.skip[b]);
                // A race skipped for both bet types for one cause is one race to report.
                if (b == 1 && outcome.skip[0] == outcome.skip[1]) {
                    continue;
                }
                ++report.skipped[cause];
                if (report.firstSkipped[cause].size() < 10) {
                    report.firstSkipped[cause] << jobs[i].name;
                }
                continue;
            }
            report.bets[static_cast<std::size_t>(b)].races.push_back(outcome.tally[b]);
            report.bets[static_cast<std::size_t>(b)].raceFiles << jobs[i].name;
        }
    }
    report.bets[0].lines = summariseBacktest(report.bets[0].races, BetType::Quinella);
    report.bets[1].lines = summariseBacktest(report.bets[1].races, BetType::Wide);

    if (report.bets[0].races.empty() && report.bets[1].races.empty()) {
        report.error = u"集計できるレースがありません。"_s;
        return report; // the save files are dropped unwritten
    }
    errno = 0;
    if (pairsFile && (writer.failed() || !pairsFile->commit())) {
        report.error = saveFailure(request.pairsPath, *pairsFile);
        return report;
    }
    if (csvFile) {
        const QByteArray bytes = backtestSummaryCsv(report);
        errno = 0;
        if (csvFile->write(bytes) != bytes.size() || !csvFile->commit()) {
            report.error = saveFailure(request.csvPath, *csvFile);
            return report;
        }
    }
    report.ok = true;
    return report;
}

namespace {

// The columns of the summary, each line's values as texts (empty where there is none).
const QStringList kSummaryHeadings = {u"券種"_s,
                                      u"区分"_s,
                                      u"レース数"_s,
                                      u"点数"_s,
                                      u"的中数"_s,
                                      u"的中率"_s,
                                      u"投資"_s,
                                      u"回収"_s,
                                      u"回収率"_s,
                                      u"回収率下限"_s,
                                      u"回収率上限"_s,
                                      u"最大ドローダウン"_s};

QStringList summaryValues(BetType bet, int group, const GroupSummary& line)
{
    const auto rate = [](const std::optional<qint64>& tenths) {
        return tenths ? tenthsText(*tenths) : QString();
    };
    return {betName(bet),
            backtestGroupName(group),
            QString::number(line.races),
            QString::number(line.bets),
            QString::number(line.hits),
            rate(line.hitRate),
            QString::number(line.stake),
            QString::number(line.returns),
            rate(line.returnRate),
            rate(line.returnRateLower),
            rate(line.returnRateUpper),
            QString::number(line.maxDrawdown)};
}

template<typename Visit>
void forEachLine(const BacktestReport& report, Visit visit)
{
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        const auto& result = report.bets[betIndex(bet)];
        std::vector<GroupSummary> empty(static_cast<std::size_t>(backtestGroupCount(bet)));
        const auto& lines = result.lines.empty() ? empty : result.lines;
        for (int g = 0; g < backtestGroupCount(bet); ++g) {
            visit(bet, g, lines[static_cast<std::size_t>(g)]);
        }
    }
}

// Columns of a terminal: East Asian wide and full-width characters take two.
int displayWidth(QStringView text)
{
    int width = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF)
                          || (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF)
                          || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
                          || (u >= 0xFFE0 && u <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

} // namespace

QList<QStringList> backtestSummaryRows(const BacktestReport& report)
{
    QList<QStringList> rows{kSummaryHeadings};
    forEachLine(report, [&rows](BetType bet, int group, const GroupSummary& line) {
        rows.push_back(summaryValues(bet, group, line));
    });
    return rows;
}

QByteArray backtestSummaryCsv(const BacktestReport& report)
{
    CsvBytes out;
    const QList<QStringList> rows = backtestSummaryRows(report);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QStringList& values = rows[r];
        CsvLine csv(out);
        for (qsizetype k = 0; k < values.size(); ++k) {
            // Headings and the first two columns are texts; numbers go plain (an empty rate is
            // an empty field).
            if (r == 0 || k < 2) {
                csv.text(values[k]);
            } else {
                csv.plain(values[k]);
            }
        }
    }
    return out.take();
}

QString backtestSummaryText(const BacktestReport& report)
{
    const QList<QStringList> rows = backtestSummaryRows(report);
    std::vector<int> widths(static_cast<std::size_t>(kSummaryHeadings.size()), 0);
    for (const QStringList& row : rows) {
        for (qsizetype k = 0; k < row.size(); ++k) {
            widths[static_cast<std::size_t>(k)]
                = std::max(widths[static_cast<std::size_t>(k)], displayWidth(row[k]));
        }
    }
    QString text;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype k = 0; k < row.size(); ++k) {
            const QString pad(widths[static_cast<std::size_t>(k)] - displayWidth(row[k]), u' ');
            // Texts to the left, numbers (and the headings above them) to the right.
            line += (k == 0 ? QString() : u"  "_s) + (k < 2 ? row[k] + pad : pad + row[k]);
        }
        text += line.trimmed() + u'\n';
    }
    return text;
}

QString backtestSkippedText(const BacktestReport& report)
{
    QString text;
    for (int c = 0; c < kSkipCauses; ++c) {
        const auto count = report.skipped[static_cast<std::size_t>(c)];
        if (count == 0) {
            continue;
        }
        text += u"除外 %1: %2レース"_s.arg(skipCauseText(static_cast<SkipCause>(c))).arg(count);
        const QStringList& names = report.firstSkipped[static_cast<std::size_t>(c)];
        text
            += u" (%1%2)\n"_s.arg(names.join(u", "_s), count > names.size() ? u", …"_s : QString());
    }
    return text;
}
