// SPDX-License-Identifier: MIT
// patgen: writes synthetic PAT race folders for tests, samples and benchmarks.
#include <cmath>
#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include "race_generator.h"
#include "realistic_season.h"
#include "season_generator.h"
#include "season_report.h"

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"patgen"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(MIKAZUKI_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Writes synthetic PAT race folders (Zo-, Uo-, De-, Ks- files).\n"
        u"--season writes a season of course-days, twelve races each, all run, with the odds of\n"
        u"an efficient market; --plant wide-longshots=FACTOR multiplies the wide odds and\n"
        u"payouts of pairs of two horses at win odds 10.0 or more; --order-model\n"
        u"discount:LAMBDA,TAU draws second places by the win chances to the power LAMBDA and\n"
        u"third places to the power TAU, while the odds still price by Harville (harville is\n"
        u"discount:1,1, the default).\n"
        u"--market realistic makes a season whose pools behave like JRA's: two or three courses\n"
        u"a date, post times 10:00 to 16:30; true chances, finishes by the discounted model\n"
        u"(--order-model, default discount:0.837,0.695), dead heats and late scratches; pools\n"
        u"with the public's errors and its bias by odds level, fitted to JRA 2014-2026,\n"
        u"takeout 20% and 22.5%, 10-yen breakage, odds as the last fetch (2 minutes before the\n"
        u"post time) left them, file times the fetch times. --snapshots DIR2 adds the odds of\n"
        u"the fetches 60, 30, 10, 5 and 2 minutes before the post time in DIR2/m60 ... m02;\n"
        u"--truth FILE writes the true chances and the expected payouts as CSV\n"
        u"(race,kind,a,b,probability).\n"
        u"--report DIR prints the figures of a season folder's final win odds and results\n"
        u"beside JRA's (2014-2026), with standard errors by race."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption outOption(u"out"_s, u"Folder to write into (created)."_s, u"DIR"_s);
    const QCommandLineOption seedOption(u"seed"_s, u"Random seed (default 1)."_s, u"N"_s, u"1"_s);
    const QCommandLineOption racesOption(
        u"races"_s, u"Number of races (default 12)."_s, u"K"_s, u"12"_s);
    const QCommandLineOption runnersOption(
        u"runners"_s, u"Runners in every race, 2 to 18 (default: varied, 2 to 18)."_s, u"N"_s);
    const QCommandLineOption seasonOption(
        u"season"_s, u"Write a season into this folder (created)."_s, u"DIR"_s);
    const QCommandLineOption daysOption(
        u"days"_s, u"Course-days of the season (default 288)."_s, u"D"_s, u"288"_s);
    const QCommandLineOption marketOption(
        u"market"_s, u"The season's market: efficient (the default) or realistic."_s, u"KIND"_s);
    const QCommandLineOption truthOption(
        u"truth"_s,
        u"With --market realistic: write the true chances of every horse and pair to FILE."_s,
        u"FILE"_s);
    const QCommandLineOption snapshotsOption(
        u"snapshots"_s,
        u"With --market realistic: write the odds of every fetch into DIR2/m60 ... DIR2/m02."_s,
        u"DIR2"_s);
    const QCommandLineOption plantOption(
        u"plant"_s, u"Plant an edge in the season: wide-longshots=FACTOR."_s, u"KIND=FACTOR"_s);
    const QCommandLineOption orderOption(
        u"order-model"_s,
        u"How the season's finishing orders are drawn: harville or discount:LAMBDA,TAU."_s,
        u"MODEL"_s);
    const QCommandLineOption reportOption(
        u"report"_s,
        u"Print the figures of the season in DIR (Zo- and Ks- files) beside JRA's."_s,
        u"DIR"_s);
    const QCommandLineOption stepOption(
        u"odds-step"_s,
        u"With --out: the odds as PAT shows them after N more fetches (default 0); the same\n"
        u"seed with a larger N rewrites the same races with moved odds."_s,
        u"N"_s,
        u"0"_s);
    parser.addOptions({outOption,
                       stepOption,
                       seedOption,
                       racesOption,
                       runnersOption,
                       seasonOption,
                       daysOption,
                       plantOption,
                       orderOption,
                       marketOption,
                       truthOption,
                       snapshotsOption,
                       reportOption});
    parser.process(app);

    const auto fail = [](const QString& text) {
        std::fprintf(stderr, "patgen: %s\n", qPrintable(text));
        return 1;
    };
    if (parser.isSet(reportOption)) {
        if (parser.optionNames().size() != 1) {
            return fail(u"--report goes alone"_s);
        }
        std::vector<ReportRace> races;
        QString error;
        if (!readReportRaces(parser.value(reportOption), races, &error)) {
            return fail(error);
        }
        if (races.empty()) {
            return fail(u"%1 holds no race with a result"_s.arg(parser.value(reportOption)));
        }
        std::fputs(seasonReportText(seasonFigures(races)).toUtf8().constData(), stdout);
        return 0;
    }
    bool ok = false;
    const qulonglong seed = parser.value(seedOption).toULongLong(&ok);
    if (!ok) {
        return fail(u"--seed takes a whole number"_s);
    }
    if (parser.isSet(seasonOption)) {
        if (parser.isSet(outOption) || parser.isSet(racesOption) || parser.isSet(runnersOption)
            || parser.isSet(stepOption)) {
            return fail(u"--season does not go with --out, --races, --runners or --odds-step"_s);
        }
        const QString market = parser.value(marketOption);
        const bool realistic = market == u"realistic"_s;
        if (parser.isSet(marketOption) && !realistic && market != u"efficient"_s) {
            return fail(u"--market takes efficient or realistic"_s);
        }
        if (!realistic && (parser.isSet(truthOption) || parser.isSet(snapshotsOption))) {
            return fail(u"--truth and --snapshots go with --market realistic"_s);
        }
        if (realistic && parser.isSet(plantOption)) {
            return fail(u"--plant goes with the efficient market"_s);
        }
        SeasonOptions options;
        options.seed = seed;
        options.days = parser.value(daysOption).toInt(&ok);
        if (!ok || options.days < 1 || options.days > kMaxSeasonDays) {
            return fail(u"--days takes a number from 1 to %1"_s.arg(kMaxSeasonDays));
        }
        for (const QString& plant : parser.values(plantOption)) {
            const qsizetype equals = plant.indexOf(u'=');
            if (equals < 0) {
                return fail(u"--plant takes KIND=FACTOR, such as wide-longshots=1.6"_s);
            }
            const QString kind = plant.left(equals);
            if (kind != u"wide-longshots"_s) {
                return fail(u"--plant: unknown kind \"%1\" (known: wide-longshots)"_s.arg(kind));
            }
            options.wideLongshotFactor = plant.mid(equals + 1).toDouble(&ok);
            if (!ok || !(options.wideLongshotFactor > 0.0)
                || !std::isfinite(options.wideLongshotFactor)) {
                return fail(u"--plant wide-longshots takes a factor above 0"_s);
            }
        }
        if (parser.isSet(orderOption)) {
            const QString model = parser.value(orderOption);
            const QString usage = u"--order-model takes harville or discount:LAMBDA,TAU with "
                                  u"both above 0, such as discount:0.81,0.65"_s;
            if (model != u"harville"_s) {
                if (!model.startsWith(u"discount:"_s)) {
                    return fail(usage);
                }
                const QStringList powers = model.mid(9).split(u',');
                if (powers.size() != 2) {
                    return fail(usage);
                }
                bool tauOk = false;
                options.orderLambda = powers[0].toDouble(&ok);
                options.orderTau = powers[1].toDouble(&tauOk);
                if (!ok || !tauOk || !(options.orderLambda > 0.0) || !(options.orderTau > 0.0)
                    || !std::isfinite(options.orderLambda) || !std::isfinite(options.orderTau)) {
                    return fail(usage);
                }
            }
        }
        const QString folder = parser.value(seasonOption);
        QString error;
        if (realistic) {
            RealisticSeasonOptions season;
            season.seed = options.seed;
            season.days = options.days;
            if (parser.isSet(orderOption)) {
                season.market.trueLambda = options.orderLambda;
                season.market.trueTau = options.orderTau;
            }
            season.truthPath = parser.value(truthOption);
            season.snapshotFolder = parser.value(snapshotsOption);
            if (!writeRealisticSeason(folder, season, &error)) {
                return fail(error);
            }
            std::printf("patgen: wrote %d races on %d course-days to %s\n",
                        season.days * kSeasonRacesPerDay,
                        season.days,
                        qPrintable(QDir::toNativeSeparators(folder)));
            return 0;
        }
        if (!writeSeason(folder, options, &error)) {
            return fail(error);
        }
        std::printf("patgen: wrote %d races on %d days to %s\n",
                    options.days * kSeasonRacesPerDay,
                    options.days,
                    qPrintable(QDir::toNativeSeparators(folder)));
        return 0;
    }
    if (parser.isSet(daysOption) || parser.isSet(plantOption) || parser.isSet(orderOption)
        || parser.isSet(marketOption) || parser.isSet(truthOption)
        || parser.isSet(snapshotsOption)) {
        return fail(u"--days, --plant, --order-model, --market, --truth and --snapshots go with "
                    u"--season"_s);
    }
    if (!parser.isSet(outOption)) {
        return fail(u"--out DIR or --season DIR is required"_s);
    }
    const int races = parser.value(racesOption).toInt(&ok);
    if (!ok || races < 1 || races > 10000) {
        return fail(u"--races takes a number from 1 to 10000"_s);
    }
    int fixedRunners = 0;
    if (parser.isSet(runnersOption)) {
        fixedRunners = parser.value(runnersOption).toInt(&ok);
        if (!ok || fixedRunners < 2 || fixedRunners > 18) {
            return fail(u"--runners takes a number from 2 to 18"_s);
        }
    }
    const int steps = parser.value(stepOption).toInt(&ok);
    if (!ok || steps < 0 || steps > 100000) {
        return fail(u"--odds-step takes a number from 0 to 100000"_s);
    }
    const QString folder = parser.value(outOption);
    if (!QDir().mkpath(folder)) {
        return fail(u"cannot create %1"_s.arg(QDir::toNativeSeparators(folder)));
    }

    PatRandom random(seed);
    for (int index = 0; index < races; ++index) {
        // Without --runners the first races cover both ends of the range.
        const int runners = fixedRunners != 0 ? fixedRunners
                            : index == 0      ? 18
                            : index == 1      ? 2
                                              : random.between(3, 18);
        // Every third race is still to be run: it has no result file.
        const bool withResult = index % 3 != 2;
        GeneratedRace race = generateRace(random, index, runners, withResult);
        // A stream of the race's own: the races themselves do not change with the step.
        PatRandom drift(seed * 1000003U + static_cast<unsigned>(index));
        for (int step = 0; step < steps; ++step) {
            moveMarket(drift, race);
        }
        QString error;
        if (!writeRaceSet(folder, race, &error)) {
            return fail(error);
        }
    }
    std::printf(
        "patgen: wrote %d races to %s\n", races, qPrintable(QDir::toNativeSeparators(folder)));
    return 0;
}
