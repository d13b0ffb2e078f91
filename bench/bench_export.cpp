// SPDX-License-Identifier: MIT
// The PAT folder scan of 10,000 Zo- files (headers read on the thread pool; wall time) against
// opening, reading 142 bytes and closing each with POSIX calls on one thread; the CSV export as a
// whole process against `mikazuki --version`; the in-process load against the raw system calls of
// the same work; and the CSV bytes.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "base/message_sink.h"
#include "bench_main.h"
#include "pat/pat_folder.h"
#include "pat/pat_names.h"
#include "race/csv_export.h"
#include "race/file_list_model.h"
#include "race/race_display.h"
#include "race_generator.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kFiles = 10000;

QTemporaryDir& bigFolder()
{
    static QTemporaryDir dir;
    static const bool filled = [] {
        PatRandom random(7);
        for (int i = 0; i < kFiles; ++i) {
            GeneratedRace race = generateRace(random, i % 120, 2 + i % 17, false);
            race.fileKey = u"%1"_s.arg(i, 6, 10, QChar(u'0'));
            QFile file(dir.filePath(winPlaceOddsFileName(race)));
            if (!file.open(QIODevice::WriteOnly)) {
                std::exit(1);
            }
            file.write(winPlaceOddsBytes(race));
        }
        return true;
    }();
    (void)filled;
    return dir;
}

void BM_ScanPosixBaseline(benchmark::State& state)
{
    const QString folder = bigFolder().path();
    std::vector<std::string> paths;
    for (const QString& name : QDir(folder).entryList({u"Zo-*.jra"_s}, QDir::Files)) {
        paths.push_back(QFile::encodeName(folder + u'/' + name).toStdString());
    }
    char buffer[142];
    for (auto _ : state) {
        for (const auto& path : paths) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            benchmark::DoNotOptimize(::read(fd, buffer, sizeof buffer));
            ::close(fd);
        }
    }
}

void BM_ScanPatFolder(benchmark::State& state)
{
    const QString folder = bigFolder().path();
    NullMessageSink sink;
    for (auto _ : state) {
        benchmark::DoNotOptimize(fileListRows(scanPatFolder(folder, sink)));
    }
}

// The parts of the scan: the folder read alone, and the rows made from it.
void BM_ScanReadOnly(benchmark::State& state)
{
    const QString folder = bigFolder().path();
    NullMessageSink sink;
    for (auto _ : state) {
        benchmark::DoNotOptimize(scanPatFolder(folder, sink));
    }
}

void BM_ScanRowsOnly(benchmark::State& state)
{
    NullMessageSink sink;
    const auto races = scanPatFolder(bigFolder().path(), sink);
    for (auto _ : state) {
        benchmark::DoNotOptimize(fileListRows(races));
    }
}

struct Race
{
    QTemporaryDir dir;
    QString zo;
    QString ini;
    std::vector<std::string> files;
};

Race& race()
{
    static Race* r = [] {
        auto* made = new Race;
        PatRandom random(2026);
        const GeneratedRace generated = generateRace(random, 10, 18, true);
        QString error;
        if (!writeRaceSet(made->dir.path(), generated, &error)) {
            std::exit(1);
        }
        made->zo = made->dir.filePath(winPlaceOddsFileName(generated));
        made->ini = made->dir.filePath(u"settings.ini"_s);
        for (const QString& path : {made->zo,
                                    quinellaOddsPathOf(made->zo),
                                    raceCardPathOf(made->zo),
                                    raceResultPathOf(made->zo)}) {
            made->files.push_back(QFile::encodeName(path).toStdString());
        }
        return made;
    }();
    return *r;
}

// The system calls of a load: the four files opened, read and closed, and one listing of the
// folder (the result file is found by a pattern).
void BM_RawLoadSyscalls(benchmark::State& state)
{
    char buffer[4096];
    const QByteArray folder = QFile::encodeName(race().dir.path());
    for (auto _ : state) {
        for (const auto& path : race().files) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            benchmark::DoNotOptimize(::read(fd, buffer, sizeof buffer));
            ::close(fd);
        }
        DIR* listing = ::opendir(folder.constData());
        while (const dirent* entry = ::readdir(listing)) {
            benchmark::DoNotOptimize(entry->d_name[0]);
        }
        ::closedir(listing);
    }
}

void BM_LoadAndExport(benchmark::State& state)
{
    SettingsStore settings(race().ini);
    NullMessageSink sink;
    const QString out = race().dir.filePath(u"out.csv"_s);
    for (auto _ : state) {
        RaceDisplay display(settings, sink);
        display.load(race().zo);
        QString error;
        benchmark::DoNotOptimize(CsvExport::write(display, out, &error));
    }
}

// The parts of the in-process export.
void BM_LoadOnly(benchmark::State& state)
{
    SettingsStore settings(race().ini);
    NullMessageSink sink;
    RaceDisplay display(settings, sink);
    for (auto _ : state) {
        benchmark::DoNotOptimize(display.load(race().zo));
    }
}

void BM_CsvBuildOnly(benchmark::State& state)
{
    SettingsStore settings(race().ini);
    NullMessageSink sink;
    RaceDisplay display(settings, sink);
    display.load(race().zo);
    for (auto _ : state) {
        benchmark::DoNotOptimize(CsvExport::build(display));
    }
}

void runProcess(benchmark::State& state, const QStringList& arguments)
{
    const QString program = QCoreApplication::applicationDirPath() + u"/../mikazuki"_s;
    for (auto _ : state) {
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(30000);
        if (process.exitCode() != 0) {
            state.SkipWithError("mikazuki failed");
            break;
        }
    }
}

void BM_ProcessVersion(benchmark::State& state)
{
    runProcess(state, {u"--version"_s});
}

void BM_ProcessExport(benchmark::State& state)
{
    runProcess(state,
               {u"--settings"_s,
                race().ini,
                u"--export-csv"_s,
                race().dir.filePath(u"process.csv"_s),
                race().zo});
}

// The ratios compare medians of repetitions run interleaved (see main), so that a slow spell of
// the machine falls on both sides of a ratio.
BENCHMARK(BM_ScanPosixBaseline)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ScanPatFolder)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ScanReadOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanRowsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawLoadSyscalls)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_LoadAndExport);
BENCHMARK(BM_LoadOnly)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_CsvBuildOnly)->Repetitions(7)->ReportAggregatesOnly(true);
// Process start-up times scatter with the machine's load: the median of several repetitions is
// compared, not one mean.
BENCHMARK(BM_ProcessVersion)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ProcessExport)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    initialiseInterleaved(argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    printRatio(reporter,
               "scan of 10,000 Zo- files",
               "BM_ScanPatFolder/repeats:5_median",
               "BM_ScanPosixBaseline/repeats:5_median");
    printRatio(reporter,
               "load of a race (files, table, analysis, result)",
               "BM_LoadOnly/repeats:7_median",
               "BM_RawLoadSyscalls/repeats:7_median");
    if (reporter.nanoseconds.count("BM_CsvBuildOnly/repeats:7_median") != 0) {
        std::printf("CSV bytes of a loaded race: BM_CsvBuildOnly median %.2f us\n",
                    reporter.nanoseconds["BM_CsvBuildOnly/repeats:7_median"] / 1000.0);
    }
    printRatio(reporter,
               "--export-csv as a process",
               "BM_ProcessExport/iterations:10/repeats:7_median",
               "BM_ProcessVersion/iterations:10/repeats:7_median");
    benchmark::Shutdown();
    return 0;
}
