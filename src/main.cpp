// SPDX-License-Identifier: MIT
#include <memory>

#include <QApplication>
#include <QCommandLineParser>

#include "cli/command_line.h"
#include "gui/main_window.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    // The export, --help and --version need no display: they run on QCoreApplication alone.
    const bool headless = wantsHeadlessExport(argc, argv);
    const std::unique_ptr<QCoreApplication> app
        = needsNoDisplay(argc, argv) ? std::make_unique<QCoreApplication>(argc, argv)
                                     : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(u"Mikazuki＋"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(MIKAZUKI_VERSION));
    if (wantsBacktest(argc, argv)) {
        return static_cast<int>(backtestCommand(QCoreApplication::arguments()));
    }
    if (wantsCalibrate(argc, argv)) {
        return static_cast<int>(calibrateCommand(QCoreApplication::arguments()));
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Finds value bets in the quinella and wide odds of a JRA race from PAT data files."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settingsOption(
        u"settings"_s,
        u"Use this INI file as the settings store, for reading and writing."_s,
        u"INI"_s);
    const QCommandLineOption exportOption(
        u"export-csv"_s,
        u"Load ZO_FILE without a window, write what the window would show as CSV to OUT, exit."_s,
        u"OUT"_s);
    parser.addOptions({settingsOption, exportOption});
    parser.addPositionalArgument(
        u"ZO_FILE"_s, u"A win/place odds file (Zo-*.jra) to open."_s, u"[ZO_FILE]"_s);
    parser.process(*app);

    const QStringList files = parser.positionalArguments();
    if (headless) {
        if (files.size() != 1) {
            std::fputs("mikazuki: --export-csv OUT needs exactly one ZO_FILE\n", stderr);
            return static_cast<int>(ExitCode::Failed);
        }
        return static_cast<int>(
            exportCsv(parser.value(settingsOption), parser.value(exportOption), files.first()));
    }

    const auto settings = SettingsStore::open(parser.value(settingsOption));
    MainWindow window(*settings);
    window.show();
    if (!files.isEmpty()) {
        window.loadRace(files.constFirst());
    }
    return QCoreApplication::exec();
}
