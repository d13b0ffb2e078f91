// SPDX-License-Identifier: MIT
#include "command_line.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>

#include "base/file_failure.h"
#include "base/texts.h"
#include "cli/stderr_message_sink.h"
#include "race/backtest.h"
#include "race/calibration_run.h"
#include "race/csv_export.h"
#include "race/race_display.h"
#include "settings/model_settings.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

bool wantsHeadlessExport(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--export-csv", 12) == 0
            || std::strncmp(argv[i], "-export-csv", 11) == 0) {
            return true;
        }
    }
    return false;
}

bool needsNoDisplay(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char* option : {"--help", "-h", "-?", "--help-all", "--version", "-v"}) {
            if (std::strcmp(argv[i], option) == 0) {
                return true;
            }
        }
    }
    return wantsHeadlessExport(argc, argv) || wantsBacktest(argc, argv)
           || wantsCalibrate(argc, argv);
}

bool wantsCalibrate(int argc, char** argv)
{
    return argc >= 2 && std::strcmp(argv[1], "calibrate") == 0;
}

ExitCode calibrateCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Fits the discounted ordering model to the finishing orders of the races in the PAT "
        u"folders and shows how well it and Harville predict the quinella and wide pairs."_s);
    parser.addHelpOption();
    const QCommandLineOption settingsOption(
        u"settings"_s, u"Use this INI file as the settings store."_s, u"INI"_s);
    const QCommandLineOption saveOption(u"save"_s, u"Store the fitted model in the settings."_s);
    const QCommandLineOption jsonOption(u"json"_s, u"Print one JSON object."_s);
    const QCommandLineOption testOption(
        u"test"_s, u"Also tabulate the races of FOLDER, out of sample."_s, u"FOLDER"_s);
    parser.addOptions({settingsOption, saveOption, jsonOption, testOption});
    parser.addPositionalArgument(u"calibrate"_s, u"The command."_s, u"calibrate"_s);
    parser.addPositionalArgument(u"FOLDER"_s, u"PAT folders to fit on."_s, u"FOLDER..."_s);
    parser.process(arguments);

    QStringList folders = parser.positionalArguments();
    folders.removeFirst(); // "calibrate"
    if (folders.isEmpty()) {
        std::fputs("mikazuki calibrate: name at least one FOLDER\n", stderr);
        return ExitCode::Failed;
    }
    const CalibrationReport report
        = runCalibration(CalibrationRequest{folders, parser.values(testOption)});
    if (!report.ok) {
        std::fprintf(stderr, "mikazuki calibrate: %s\n", qPrintable(report.error));
        return ExitCode::Failed;
    }
    if (parser.isSet(saveOption)) {
        const auto settings = SettingsStore::open(parser.value(settingsOption));
        ModelSettings model = ModelSettings::read(*settings);
        model.kind = TheoryModel::Discounted;
        model.lambda = report.fit.lambda;
        model.tau = report.fit.tau;
        model.write(*settings);
        settings->sync();
    }
    if (parser.isSet(jsonOption)) {
        std::fputs(calibrationJson(report).constData(), stdout);
    } else {
        std::fputs(calibrationText(report).toLocal8Bit().constData(), stdout);
    }
    return ExitCode::Ok;
}

bool wantsBacktest(int argc, char** argv)
{
    return argc >= 2 && std::strcmp(argv[1], "backtest") == 0;
}

ExitCode backtestCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Replays the analysis of every race with a result in the PAT folders and reports what "
        u"betting each group of pairs would have returned."_s);
    parser.addHelpOption();
    const QCommandLineOption settingsOption(
        u"settings"_s, u"Use this INI file as the settings store."_s, u"INI"_s);
    const QCommandLineOption csvOption(u"csv"_s, u"Write the summary as CSV to OUT."_s, u"OUT"_s);
    const QCommandLineOption pairsOption(
        u"pairs"_s, u"Write every pair of every counted race as CSV to OUT."_s, u"OUT"_s);
    const QCommandLineOption quietOption(u"quiet"_s, u"Show no progress."_s);
    parser.addOptions({settingsOption, csvOption, pairsOption, quietOption});
    parser.addPositionalArgument(u"backtest"_s, u"The command."_s, u"backtest"_s);
    parser.addPositionalArgument(u"FOLDER"_s, u"PAT folders."_s, u"FOLDER..."_s);
    parser.process(arguments);

    QStringList folders = parser.positionalArguments();
    folders.removeFirst(); // "backtest"
    if (folders.isEmpty()) {
        std::fputs("mikazuki backtest: name at least one FOLDER\n", stderr);
        return ExitCode::Failed;
    }
    BacktestRequest request{
        folders, parser.value(settingsOption), parser.value(csvOption), parser.value(pairsOption)};
    const bool quiet = parser.isSet(quietOption);
    QElapsedTimer clock;
    clock.start();
    bool shown = false;
    const auto progress = [&](qint64 done, qint64 total) {
        // Only a run that lasts tells how it goes.
        if (quiet || clock.elapsed() < 1000 || total == 0) {
            return;
        }
        const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
        std::fprintf(stderr,
                     "\r%3lld%%  %.0f races/s",
                     static_cast<long long>(done * 100 / total),
                     static_cast<double>(done) / seconds);
        std::fflush(stderr);
        shown = true;
    };
    const BacktestReport report = runBacktest(request, progress);
    if (shown) {
        std::fputs("\n", stderr);
    }
    std::fputs(qPrintable(backtestSkippedText(report)), stderr);
    if (!report.ok) {
        std::fprintf(stderr, "mikazuki backtest: %s\n", qPrintable(report.error));
        return ExitCode::Failed;
    }
    std::fputs(backtestSummaryText(report).toLocal8Bit().constData(), stdout);
    return ExitCode::Ok;
}

ExitCode exportCsv(const QString& settingsFile, const QString& out, const QString& zoFile)
{
    const auto settings = SettingsStore::open(settingsFile);
    StderrMessageSink sink;
    RaceDisplay display(*settings, sink);
    if (!display.load(zoFile)) {
        return ExitCode::Failed;
    }
    QString error;
    if (!CsvExport::write(display, out, &error)) {
        sink.message(fileFailureLine(out, error));
        Texts::tellSaveFailed(sink);
        return ExitCode::Failed;
    }
    return ExitCode::Ok;
}
