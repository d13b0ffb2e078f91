// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

/// Exit codes of the program.
enum class ExitCode { Ok = 0, Failed = 1 };

/// What the program's arguments ask for.
enum class Command {
    Window,    ///< the main window, optionally with a race
    Export,    ///< --export-csv: the race's CSV without a window
    Backtest,  ///< `backtest FOLDER...`
    Calibrate, ///< `calibrate FOLDER...`
    Archive,   ///< `archive import|export|info`
    Board,     ///< `board FOLDER`
    Stakes,    ///< `stakes ZO_FILE`
    Ledger,    ///< `ledger ACTION`
    Info,      ///< --help or --version
    Unknown,   ///< a first word that is neither a command nor a file
};

/// The command of the arguments (the program's name first). A command is the first argument; a
/// first word that names no file and does not look like a path is an unknown command.
Command commandOf(const QStringList& arguments);

/// Whether the command opens a window (and so needs a display).
inline bool needsDisplay(Command command)
{
    return command == Command::Window;
}

/// Whether this session has a display a window can open on; false only where it surely has
/// none (no X or Wayland display and no other platform chosen).
bool hasDisplay();

/// Qt's own texts (file dialogs, buttons, the command-line parser) in Japanese, from Qt's
/// translations where the system has them.
void installJapaneseTranslations(QCoreApplication& app);

/// The lines the program prints when a command cannot run: no display for the window, an
/// unknown command.
QString noDisplayText();
QString unknownCommandText(const QString& word);

/// The options of the window and of the export, parsed; --help and --version print and exit.
struct MainArguments
{
    QString settingsFile;
    QString exportPath;  ///< empty: open the window
    QString archivePath; ///< --archive; empty: the default
    bool exportAsked = false;
    QStringList files;
};
MainArguments parseMainArguments(const QStringList& arguments);

/// Checks a --settings file; prints why it cannot be used and returns false.
bool checkSettingsFile(const QString& command, const QString& iniPath);

/// Loads `zoFile` as the window would (pair lists in their first order, quinella list shown)
/// and writes the CSV to `out` byte for byte as the window's CSV command would. Messages go to
/// standard error. On failure OUT is left as it was.
ExitCode exportCsv(const QString& settingsFile, const QString& out, const QString& zoFile);

/// `mikazuki backtest [--settings INI] [--csv OUT] [--pairs OUT] [--quiet] FOLDER...`: the
/// summary on standard output, progress and the skipped races on standard error.
ExitCode backtestCommand(const QStringList& arguments);

/// `mikazuki calibrate [--settings INI] [--save] [--json] [--test FOLDER]... FOLDER...`: fits the
/// discounted ordering model and prints both models' calibration.
ExitCode calibrateCommand(const QStringList& arguments);

/// Runs a command that needs no window (everything but Command::Window).
ExitCode runHeadless(Command command, const QStringList& arguments);
