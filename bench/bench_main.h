// SPDX-License-Identifier: MIT
#pragma once

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <QCoreApplication>

/// Keeps each benchmark's real time per iteration so that a ratio against the baseline measured
/// in the same run can be printed at the end.
class RecordingReporter final : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> nanoseconds;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                nanoseconds[run.benchmark_name()]
                    = run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
            } else if (run.run_type == Run::RT_Aggregate) {
                // "name_median" and the like: per-iteration time in the run's unit.
                nanoseconds[run.benchmark_name()]
                    = run.GetAdjustedRealTime() * 1e9
                      / benchmark::GetTimeUnitMultiplier(run.time_unit);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

/// Initialises Google Benchmark with the repetitions of different benchmarks interleaved: this
/// machine's speed drifts, and a slow spell should fall on both sides of a ratio.
inline void initialiseInterleaved(int argc, char** argv)
{
    static std::vector<char*> args;
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.assign(argv, argv + argc);
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
}

/// Prints "<what>: measured X us, baseline Y us, ratio R" from a finished run.
inline void printRatio(RecordingReporter& reporter,
                       const char* what,
                       const std::string& measured,
                       const std::string& baseline)
{
    const double ours = reporter.nanoseconds[measured];
    const double base = reporter.nanoseconds[baseline];
    if (ours > 0 && base > 0) {
        std::printf("%s: %s %.2f us, %s %.2f us, ratio %.2f\n",
                    what,
                    measured.c_str(),
                    ours / 1000.0,
                    baseline.c_str(),
                    base / 1000.0,
                    ours / base);
    }
}

/// Runs the registered benchmarks and prints the ratio of `measured` to `baseline`.
inline int runBenchmarks(int argc,
                         char** argv,
                         const char* what,
                         const std::string& measured,
                         const std::string& baseline)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    printRatio(reporter, what, measured, baseline);
    benchmark::Shutdown();
    return 0;
}
