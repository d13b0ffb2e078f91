// SPDX-License-Identifier: MIT
// A headless race load of an 18-runner race without its Uo- file, against reading the same files
// through the readers alone; and the window's time from load to repainted (widest view,
// offscreen) against the headless load, without and with the Uo- file.
#include <benchmark/benchmark.h>
#include <memory>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "base/message_sink.h"
#include "bench_main.h"
#include "gui/main_window.h"
#include "pat/pat_names.h"
#include "pat/race_card.h"
#include "pat/win_place_odds.h"
#include "race/race_display.h"
#include "race_generator.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

struct Race
{
    QTemporaryDir dir;
    QString zo;
    std::unique_ptr<SettingsStore> settings;
};

Race makeRace(bool withQuinellaOdds)
{
    Race made;
    PatRandom random(2026);
    const GeneratedRace generated = generateRace(random, 10, 18, withQuinellaOdds);
    QString error;
    if (!writeRaceSet(made.dir.path(), generated, &error)) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(error));
        std::exit(1);
    }
    made.zo = made.dir.filePath(winPlaceOddsFileName(generated));
    if (!withQuinellaOdds) {
        QFile::remove(quinellaOddsPathOf(made.zo));
    }
    made.settings = std::make_unique<SettingsStore>(made.dir.filePath(u"settings.ini"_s));
    return made;
}

// Without its Uo- file: the horse table alone.
Race& race()
{
    static Race r = makeRace(false);
    return r;
}

// With every file: both pair lists filled, bets and result.
Race& fullRace()
{
    static Race r = makeRace(true);
    return r;
}

void BM_ReadersAlone(benchmark::State& state)
{
    Race& r = race();
    NullMessageSink sink;
    const QString card = raceCardPathOf(r.zo);
    const QString quinella = quinellaOddsPathOf(r.zo);
    for (auto _ : state) {
        auto odds = std::make_unique<WinPlaceOddsRecord>();
        auto names = std::make_unique<RaceCardRecord>();
        benchmark::DoNotOptimize(readWinPlaceOddsFile(r.zo, *odds, sink));
        benchmark::DoNotOptimize(readRaceCardFile(card, *names));
        benchmark::DoNotOptimize(QFile::exists(quinella));
    }
}

void loadRepeatedly(benchmark::State& state, Race& r)
{
    NullMessageSink sink;
    RaceDisplay display(*r.settings, sink);
    for (auto _ : state) {
        benchmark::DoNotOptimize(display.load(r.zo));
    }
}

void BM_RaceDisplayLoad(benchmark::State& state)
{
    loadRepeatedly(state, race());
}

void BM_RaceDisplayLoadFull(benchmark::State& state)
{
    loadRepeatedly(state, fullRace());
}

void showRepeatedly(benchmark::State& state, Race& r)
{
    NullMessageSink sink;
    MainWindow window(*r.settings, &sink);
    window.setOuterWidthTwips(MainWindow::kFurtherWidth);
    window.show();
    for (auto _ : state) {
        window.loadRace(r.zo);
        window.repaint();
    }
}

void BM_WindowLoadAndRepaint(benchmark::State& state)
{
    showRepeatedly(state, race());
}

void BM_WindowLoadAndRepaintFull(benchmark::State& state)
{
    showRepeatedly(state, fullRace());
}

BENCHMARK(BM_ReadersAlone);
BENCHMARK(BM_RaceDisplayLoad);
BENCHMARK(BM_RaceDisplayLoadFull);
BENCHMARK(BM_WindowLoadAndRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowLoadAndRepaintFull)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    printRatio(
        reporter, "load of an 18-runner race without Uo-", "BM_RaceDisplayLoad", "BM_ReadersAlone");
    printRatio(
        reporter, "window load and repaint", "BM_WindowLoadAndRepaint", "BM_RaceDisplayLoad");
    printRatio(reporter,
               "window load and repaint, every file",
               "BM_WindowLoadAndRepaintFull",
               "BM_RaceDisplayLoadFull");
    benchmark::Shutdown();
    return 0;
}
