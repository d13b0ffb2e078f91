// SPDX-License-Identifier: MIT
// interval_coverage: how often the intervals the program shows cover the truth, over many
// seasons drawn with their true chances beside them.
#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include "interval_coverage.h"

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"interval_coverage"_s);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Writes seasons one after another (patgen's realistic or efficient market, seeds\n"
        u"SEED, SEED + 1, ...), runs the backtest (and with --blend the calibration) on each and\n"
        u"counts how often each interval it shows covers what the truth file says, by interval,\n"
        u"bet type, season length and the group's hits. Prints Markdown tables."_s);
    parser.addHelpOption();
    const QCommandLineOption marketOption(
        u"market"_s, u"realistic (default) or efficient."_s, u"KIND"_s, u"realistic"_s);
    const QCommandLineOption daysOption(
        u"days"_s,
        u"Season lengths in course-days, comma-separated (default 48)."_s,
        u"D,..."_s,
        u"48"_s);
    const QCommandLineOption seasonsOption(
        u"seasons"_s, u"Seasons per length (default 40)."_s, u"N"_s, u"40"_s);
    const QCommandLineOption seedOption(u"seed"_s, u"First seed (default 1)."_s, u"SEED"_s, u"1"_s);
    const QCommandLineOption lookaheadOption(
        u"lookahead"_s, u"Also 先読み差 (writes each season's fetches and imports them)."_s);
    const QCommandLineOption blendOption(
        u"blend"_s, u"Also the blend's gains of calibrate (a second season to test on)."_s);
    const QCommandLineOption outOption(u"out"_s, u"Write the tables to FILE too."_s, u"FILE"_s);
    parser.addOptions({marketOption,
                       daysOption,
                       seasonsOption,
                       seedOption,
                       lookaheadOption,
                       blendOption,
                       outOption});
    parser.process(app);

    std::vector<CoverageResult> results;
    QElapsedTimer clock;
    clock.start();
    for (const QString& days : parser.value(daysOption).split(u',')) {
        CoverageOptions options;
        options.market = parser.value(marketOption);
        options.days = days.toInt();
        options.seasons = parser.value(seasonsOption).toInt();
        options.firstSeed = parser.value(seedOption).toULongLong();
        options.lookahead = parser.isSet(lookaheadOption);
        options.blend = parser.isSet(blendOption);
        results.push_back(measureCoverage(options, [&](int done, int total) {
            std::fprintf(stderr,
                         "\r%d days: %d / %d seasons, %.0f s",
                         options.days,
                         done,
                         total,
                         static_cast<double>(clock.elapsed()) / 1000.0);
        }));
        std::fputs("\n", stderr);
        if (!results.back().error.isEmpty()) {
            std::fprintf(stderr, "interval_coverage: %s\n", qPrintable(results.back().error));
            return 1;
        }
    }
    const QString table = coverageTable(results);
    std::fputs(table.toUtf8().constData(), stdout);
    if (parser.isSet(outOption)) {
        QFile out(parser.value(outOption));
        if (!out.open(QIODevice::WriteOnly) || out.write(table.toUtf8()) < 0) {
            std::fprintf(stderr, "interval_coverage: %s\n", qPrintable(out.errorString()));
            return 1;
        }
    }
    return 0;
}
