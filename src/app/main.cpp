// SPDX-License-Identifier: MIT
#include <memory>

#include <QApplication>
#include <QCommandLineParser>

#include "app/main_window.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Mikazuki＋"_s);
    QApplication::setApplicationVersion(QStringLiteral(MIKAZUKI_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Finds value bets in the quinella and wide odds of a JRA race from PAT data files."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settingsOption(
        u"settings"_s,
        u"Use this INI file as the settings store, for reading and writing."_s,
        u"INI"_s);
    parser.addOption(settingsOption);
    parser.addPositionalArgument(
        u"ZO_FILE"_s, u"A win/place odds file (Zo-*.jra) to open."_s, u"[ZO_FILE]"_s);
    parser.process(app);

    const auto settings = parser.isSet(settingsOption)
                              ? std::make_unique<SettingsStore>(parser.value(settingsOption))
                              : std::make_unique<SettingsStore>();
    MainWindow window(*settings);
    window.show();
    if (!parser.positionalArguments().isEmpty()) {
        window.updateFormFromSelection(parser.positionalArguments().constFirst());
    }
    return QApplication::exec();
}
