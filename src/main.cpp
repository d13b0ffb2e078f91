// SPDX-License-Identifier: MIT
#include <cstdio>
#include <memory>

#include <QApplication>

#include "archive/odds_archive.h"
#include "cli/command_line.h"
#include "gui/main_window.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const Command command = commandOf(arguments);
    // Only the window needs a display; without one Qt would abort, so say what does work.
    if (needsDisplay(command) && !hasDisplay()) {
        std::fprintf(stderr, "%s\n", qPrintable(noDisplayText()));
        return static_cast<int>(ExitCode::Failed);
    }
    const std::unique_ptr<QCoreApplication> app
        = needsDisplay(command) ? std::make_unique<QApplication>(argc, argv)
                                : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(u"Mikazuki＋"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(MIKAZUKI_VERSION));
    installJapaneseTranslations(*app);
    if (!needsDisplay(command)) {
        return static_cast<int>(runHeadless(command, QCoreApplication::arguments()));
    }

    const MainArguments main = parseMainArguments(QCoreApplication::arguments());
    if (!checkSettingsFile(u"mikazuki"_s, main.settingsFile)) {
        return static_cast<int>(ExitCode::Failed);
    }
    const auto settings = SettingsStore::open(main.settingsFile);
    OddsArchive::setDefaultPath(main.archivePath);
    MainWindow window(*settings);
    window.show();
    if (!main.files.isEmpty()) {
        window.loadRace(main.files.constFirst());
    }
    return QCoreApplication::exec();
}
