// SPDX-License-Identifier: MIT
// The backtest of a generated season (3,456 races, 13,824 files) against reading the same files
// raw: one listing of the folder, then open, read and close of every file, on one thread. Also
// the memory a run keeps: the peak after a quarter season and after the whole one. And the
// calibration of the same season.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include "bench_main.h"
#include "race/backtest.h"
#include "race/calibration_run.h"
#include "season_generator.h"

using namespace Qt::StringLiterals;

namespace {

struct Season
{
    QTemporaryDir dir;
    QString folder;
    QString quarter;
    QString settings;
};

Season& season()
{
    static Season* made = [] {
        auto* s = new Season;
        s->folder = s->dir.filePath(u"season"_s);
        s->quarter = s->dir.filePath(u"quarter"_s);
        s->settings = s->dir.filePath(u"settings.ini"_s);
        QString error;
        SeasonOptions options;
        options.seed = 2026;
        if (!writeSeason(s->folder, options, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            std::exit(1);
        }
        options.days = options.days / 4;
        if (!writeSeason(s->quarter, options, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            std::exit(1);
        }
        return s;
    }();
    return *made;
}

void BM_RawSeasonRead(benchmark::State& state)
{
    const QByteArray folder = QFile::encodeName(season().folder);
    char buffer[8192];
    for (auto _ : state) {
        std::vector<std::string> names;
        DIR* listing = ::opendir(folder.constData());
        while (const dirent* entry = ::readdir(listing)) {
            if (entry->d_name[0] != '.') {
                names.emplace_back(folder.constData() + std::string("/") + entry->d_name);
            }
        }
        ::closedir(listing);
        for (const std::string& path : names) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            benchmark::DoNotOptimize(::read(fd, buffer, sizeof buffer));
            ::close(fd);
        }
    }
}

void BM_Backtest(benchmark::State& state)
{
    BacktestRequest request;
    request.folders = {season().folder};
    request.settingsFile = season().settings;
    for (auto _ : state) {
        const BacktestReport report = runBacktest(request);
        if (!report.ok) {
            state.SkipWithError("the backtest failed");
            break;
        }
        benchmark::DoNotOptimize(report.bets[1].lines.data());
    }
}

// Reading, fitting and tabulating the season: every model (Harville, the discounted model, the
// pool alone and the blend), both bet types, the scoreboard with its course-day bootstrap.
void BM_Calibrate(benchmark::State& state)
{
    for (auto _ : state) {
        const CalibrationReport report = runCalibration({{season().folder}, {}});
        if (!report.ok) {
            state.SkipWithError("the calibration failed");
            break;
        }
        benchmark::DoNotOptimize(report.fit.lambda);
    }
}

// Kelly stakes over the season, under the settings' model; and the walk-forward rule, which
// refits every seven course-days on the days before them (the 10 s asked is for this).
void kellyBacktest(benchmark::State& state, bool walkForward)
{
    BacktestRequest request;
    request.settingsFile = season().settings;
    request.folders = {season().folder};
    request.stake = StakeRule::Kelly;
    request.kellyFraction = 0.25;
    request.walkForward = walkForward;
    for (auto _ : state) {
        const BacktestReport report = runBacktest(request);
        if (!report.ok || (walkForward && (!report.walkForward || report.walkForward->fits == 0))) {
            state.SkipWithError("the backtest failed or made no fit");
            break;
        }
        benchmark::DoNotOptimize(report.bets[1].staking.finalBankroll);
    }
}

void BM_KellyBacktest(benchmark::State& state)
{
    kellyBacktest(state, false);
}

void BM_WalkForward(benchmark::State& state)
{
    kellyBacktest(state, true);
}

// The process's peak resident memory in kB.
long peakKilobytes()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return 0;
}

BENCHMARK(BM_RawSeasonRead)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Backtest)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Calibrate)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_KellyBacktest)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_WalkForward)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    initialiseInterleaved(argc, argv);

    // Memory first, before the timed runs raise the peak.
    season();
    BacktestRequest request;
    request.settingsFile = season().settings;
    request.folders = {season().quarter};
    const long before = peakKilobytes();
    const qint64 quarterRaces = runBacktest(request).racesSeen;
    const long quarter = peakKilobytes();
    request.folders = {season().folder};
    const qint64 fullRaces = runBacktest(request).racesSeen;
    const long full = peakKilobytes();

    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    printRatio(reporter,
               "backtest of a season",
               "BM_Backtest/iterations:3/repeats:5/real_time_median",
               "BM_RawSeasonRead/iterations:3/repeats:5/real_time_median");
    printRatio(reporter,
               "walk-forward backtest of a season, weekly refits",
               "BM_WalkForward/iterations:1/repeats:3/real_time_median",
               "BM_KellyBacktest/iterations:1/repeats:3/real_time_median");
    if (const auto walk
        = reporter.nanoseconds.find("BM_WalkForward/iterations:1/repeats:3/real_time_median");
        walk != reporter.nanoseconds.end()) {
        std::printf("walk-forward %.2f s against the 10 s asked: %s\n",
                    walk->second / 1e9,
                    walk->second <= 10e9 ? "within" : "OVER");
    }
    if (reporter.nanoseconds.count("BM_Calibrate/iterations:3/repeats:5/real_time_median") != 0) {
        std::printf(
            "calibration of a season (read, fit and score every model, tabulate): %.1f ms\n",
            reporter.nanoseconds["BM_Calibrate/iterations:3/repeats:5/real_time_median"] / 1e6);
    }
    std::printf("peak memory: %ld kB before, %ld kB after %lld races, %ld kB after %lld races "
                "(the per-race results kept: %zu bytes a race)\n",
                before,
                quarter,
                static_cast<long long>(quarterRaces),
                full,
                static_cast<long long>(fullRaces),
                2 * sizeof(RaceTally));
    benchmark::Shutdown();
    return 0;
}
