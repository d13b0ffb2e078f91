// SPDX-License-Identifier: MIT
// Reading the four files of an 18-runner race through the readers, against a baseline in the
// same run that opens, reads and closes the same files with plain POSIX calls.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include "base/message_sink.h"
#include "bench_main.h"
#include "pat/pat_names.h"
#include "pat/quinella_odds.h"
#include "pat/race_card.h"
#include "pat/race_result.h"
#include "pat/win_place_odds.h"
#include "race_generator.h"

namespace {

struct RaceFiles
{
    QTemporaryDir dir;
    QString zo, uo, de, ks;
    std::string native[4];
};

RaceFiles& race()
{
    static RaceFiles files = [] {
        RaceFiles f;
        PatRandom random(2026);
        const GeneratedRace generated = generateRace(random, 10, 18, true);
        QString error;
        if (!writeRaceSet(f.dir.path(), generated, &error)) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(error));
            std::exit(1);
        }
        f.zo = f.dir.filePath(winPlaceOddsFileName(generated));
        f.uo = quinellaOddsPathOf(f.zo);
        f.de = raceCardPathOf(f.zo);
        f.ks = raceResultPathOf(f.zo);
        int k = 0;
        for (const QString* path : {&f.zo, &f.uo, &f.de, &f.ks}) {
            f.native[k++] = QFile::encodeName(*path).toStdString();
        }
        return f;
    }();
    return files;
}

void BM_PosixBaseline(benchmark::State& state)
{
    const RaceFiles& f = race();
    char buffer[4096];
    for (auto _ : state) {
        for (const auto& path : f.native) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            benchmark::DoNotOptimize(n);
            ::close(fd);
        }
        benchmark::ClobberMemory();
    }
}

void BM_Readers(benchmark::State& state)
{
    const RaceFiles& f = race();
    NullMessageSink sink;
    auto winPlace = std::make_unique<WinPlaceOddsRecord>();
    auto quinella = std::make_unique<QuinellaOddsRecord>();
    auto card = std::make_unique<RaceCardRecord>();
    auto result = std::make_unique<RaceResultRecord>();
    for (auto _ : state) {
        const bool ok = readWinPlaceOddsFile(f.zo, *winPlace, sink)
                        && readQuinellaOddsFile(f.uo, *quinella, sink)
                        && readRaceCardFile(f.de, *card) && readRaceResultFile(f.ks, *result);
        if (!ok) {
            state.SkipWithError("a reader failed");
            break;
        }
        benchmark::ClobberMemory();
    }
}

// Not part of the ratio: the parsing alone, from bytes in memory.
void BM_ParseOnly(benchmark::State& state)
{
    const RaceFiles& f = race();
    const auto load = [](const QString& path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    };
    const QByteArray zo = load(f.zo), uo = load(f.uo), de = load(f.de), ks = load(f.ks);
    NullMessageSink sink;
    auto winPlace = std::make_unique<WinPlaceOddsRecord>();
    auto quinella = std::make_unique<QuinellaOddsRecord>();
    auto card = std::make_unique<RaceCardRecord>();
    auto result = std::make_unique<RaceResultRecord>();
    for (auto _ : state) {
        benchmark::DoNotOptimize(readWinPlaceOdds(zo, *winPlace, sink)
                                 && readQuinellaOdds(uo, *quinella, sink) && readRaceCard(de, *card)
                                 && readRaceResult(ks, *result));
        benchmark::ClobberMemory();
    }
}

// Not part of the ratio: finding the siblings, the result file by a folder search.
void BM_SiblingLookup(benchmark::State& state)
{
    const RaceFiles& f = race();
    for (auto _ : state) {
        benchmark::DoNotOptimize(quinellaOddsPathOf(f.zo));
        benchmark::DoNotOptimize(raceCardPathOf(f.zo));
        benchmark::DoNotOptimize(raceResultPathOf(f.zo));
    }
}

BENCHMARK(BM_PosixBaseline);
BENCHMARK(BM_Readers);
BENCHMARK(BM_ParseOnly);
BENCHMARK(BM_SiblingLookup);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks(
        argc, argv, "four files of an 18-runner race", "BM_Readers", "BM_PosixBaseline");
}
