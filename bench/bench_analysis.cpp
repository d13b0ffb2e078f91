// SPDX-License-Identifier: MIT
// The full analysis of an 18-runner race without I/O (153 pairs, both bet types, ranks, marks,
// popularity difference, recommended bets, result marks from a read record) on the core state,
// against 153 × 2 evaluations of the bare formula in the same run; and the parts, to show where
// the time goes.
#include <benchmark/benchmark.h>
#include <memory>

#include <QTemporaryDir>

#include "analysis/pair_judgement.h"
#include "analysis/recommended_bets.h"
#include "base/message_sink.h"
#include "bench_main.h"
#include "pat/pat_names.h"
#include "pat/race_result.h"
#include "race/race_display.h"
#include "race_generator.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

struct Loaded
{
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    NullMessageSink sink;
    std::unique_ptr<RaceDisplay> display;
};

Loaded& loaded()
{
    static Loaded* made = [] {
        auto* l = new Loaded;
        PatRandom random(2026);
        const GeneratedRace race = generateRace(random, 10, 18, true);
        QString error;
        if (!writeRaceSet(l->dir.path(), race, &error)) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(error));
            std::exit(1);
        }
        l->settings = std::make_unique<SettingsStore>(l->dir.filePath(u"settings.ini"_s));
        l->display = std::make_unique<RaceDisplay>(*l->settings, l->sink);
        if (!l->display->load(l->dir.filePath(winPlaceOddsFileName(race)))) {
            std::exit(1);
        }
        return l;
    }();
    return *made;
}

void BM_BareFormula(benchmark::State& state)
{
    // The arithmetic of the judgement alone: T and D for 153 pairs, twice.
    std::array<double, 18> ratios{};
    for (std::size_t h = 0; h < ratios.size(); ++h) {
        ratios[h] = 0.02 + 0.01 * static_cast<double>(h);
    }
    for (auto _ : state) {
        float sum = 0.0F;
        for (int bet = 0; bet < 2; ++bet) {
            const double k = bet == 0 ? 0.75 : 0.25;
            for (std::size_t a = 0; a < 17; ++a) {
                for (std::size_t b = a + 1; b < 18; ++b) {
                    const double pa = ratios[a];
                    const double pb = ratios[b];
                    const auto pab = static_cast<float>(pa * pb / (1.0 - pa));
                    const auto pba = static_cast<float>(pa * pb / (1.0 - pb));
                    const auto t = static_cast<float>(k / (pab + pba));
                    const float actual = 12.5F;
                    sum += (actual - t) * 100.0F / actual;
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}

// The race's Ks- file, read once.
const RaceResultRecord& result()
{
    static const RaceResultRecord* read = [] {
        auto* record = new RaceResultRecord;
        if (!readRaceResultFile(raceResultPathOf(loaded().display->currentFile()), *record)) {
            std::exit(1);
        }
        return record;
    }();
    return *read;
}

// The steps a load runs after the horse table, on settings and files already read: both
// judgements, the popularity difference, the bets and the result marks.
void fullAnalysis(benchmark::State& state, TheoryModel kind)
{
    const RaceDisplay& d = *loaded().display;
    JudgeSettings quinellaSettings = JudgeSettings::read(*loaded().settings, BetType::Quinella);
    JudgeSettings wideSettings = JudgeSettings::read(*loaded().settings, BetType::Wide);
    quinellaSettings.model.kind = kind;
    wideSettings.model.kind = kind;
    const RaceResultRecord& record = result();
    PairList quinella(BetType::Quinella);
    PairList wide(BetType::Wide);
    for (auto _ : state) {
        judgePairs(
            d.horseTable(), d.quinellaOdds(), BetType::Quinella, quinellaSettings, quinella.rows());
        judgePairs(d.horseTable(), d.quinellaOdds(), BetType::Wide, wideSettings, wide.rows());
        writePopularityDifference(quinella, wide);
        QStringList bets = listRecommendedBets(d.horseTable(), quinella);
        markResultHits(record, quinella, wide, bets);
    }
}

void BM_FullAnalysis(benchmark::State& state)
{
    fullAnalysis(state, TheoryModel::Harville);
}

// The same under the market blend (its default weights): the discounted model's chances of
// both bet types, the place chances, and a normalisation over the pairs of each.
void BM_FullAnalysisBlend(benchmark::State& state)
{
    fullAnalysis(state, TheoryModel::Blend);
}

void BM_JudgeSettingsRead(benchmark::State& state)
{
    const SettingsStore& s = *loaded().settings;
    for (auto _ : state) {
        benchmark::DoNotOptimize(JudgeSettings::read(s, BetType::Quinella));
        benchmark::DoNotOptimize(JudgeSettings::read(s, BetType::Wide));
    }
}

void BM_JudgePairsBoth(benchmark::State& state)
{
    RaceDisplay& d = *loaded().display;
    const JudgeSettings quinella = JudgeSettings::read(*loaded().settings, BetType::Quinella);
    const JudgeSettings wide = JudgeSettings::read(*loaded().settings, BetType::Wide);
    std::vector<PairRow> rows;
    for (auto _ : state) {
        judgePairs(d.horseTable(), d.quinellaOdds(), BetType::Quinella, quinella, rows);
        benchmark::DoNotOptimize(rows.data());
        judgePairs(d.horseTable(), d.quinellaOdds(), BetType::Wide, wide, rows);
        benchmark::DoNotOptimize(rows.data());
    }
}

void BM_MarkResult(benchmark::State& state)
{
    const RaceDisplay& d = *loaded().display;
    PairList quinella = d.quinellaList();
    PairList wide = d.wideList();
    const RaceResultRecord& record = result();
    for (auto _ : state) {
        QStringList bets = d.recommendedBetLines();
        markResultHits(record, quinella, wide, bets);
    }
}

BENCHMARK(BM_BareFormula);
BENCHMARK(BM_FullAnalysis);
BENCHMARK(BM_FullAnalysisBlend);
BENCHMARK(BM_JudgeSettingsRead);
BENCHMARK(BM_JudgePairsBoth);
BENCHMARK(BM_MarkResult);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    initialiseInterleaved(argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    // With --benchmark_repetitions the medians, else the single runs.
    const auto name = [&reporter](const std::string& benchmark) {
        return reporter.nanoseconds.count(benchmark + "_median") != 0 ? benchmark + "_median"
                                                                      : benchmark;
    };
    printRatio(
        reporter, "analysis of an 18-runner race", name("BM_FullAnalysis"), name("BM_BareFormula"));
    printRatio(reporter,
               "the analysis under the market blend against Harville's",
               name("BM_FullAnalysisBlend"),
               name("BM_FullAnalysis"));
    benchmark::Shutdown();
    return 0;
}
