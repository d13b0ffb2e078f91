// SPDX-License-Identifier: MIT
#include "command_line.h"

#include <cstring>
#include <memory>

#include <QDir>

#include "base/texts.h"
#include "cli/stderr_message_sink.h"
#include "race/csv_export.h"
#include "race/race_display.h"
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
    return wantsHeadlessExport(argc, argv);
}

ExitCode exportCsv(const QString& settingsFile, const QString& out, const QString& zoFile)
{
    const auto settings = settingsFile.isEmpty() ? std::make_unique<SettingsStore>()
                                                 : std::make_unique<SettingsStore>(settingsFile);
    StderrMessageSink sink;
    RaceDisplay display(*settings, sink);
    if (!display.load(zoFile)) {
        return ExitCode::Failed;
    }
    QString error;
    if (!CsvExport::write(display, out, &error)) {
        sink.message(u"%1\n%2"_s.arg(QDir::toNativeSeparators(out), error));
        Texts::tellSaveFailed(sink);
        return ExitCode::Failed;
    }
    return ExitCode::Ok;
}
