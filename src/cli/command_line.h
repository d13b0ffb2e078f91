// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// Exit codes of the program.
enum class ExitCode { Ok = 0, Failed = 1 };

/// Whether the arguments ask for the headless export.
bool wantsHeadlessExport(int argc, char** argv);

/// Whether the program can run without a display: the export, --help and --version.
bool needsNoDisplay(int argc, char** argv);

/// Loads `zoFile` as the window would (pair lists in their first order, quinella list shown)
/// and writes the CSV to `out` byte for byte as the window's CSV command would. Messages go to
/// standard error. On failure OUT is left as it was.
ExitCode exportCsv(const QString& settingsFile, const QString& out, const QString& zoFile);

/// Whether the arguments ask for `backtest` (the first argument).
bool wantsBacktest(int argc, char** argv);

/// `mikazuki backtest [--settings INI] [--csv OUT] [--pairs OUT] [--quiet] FOLDER...`: the
/// summary on standard output, progress and the skipped races on standard error.
ExitCode backtestCommand(const QStringList& arguments);

/// Whether the arguments ask for `calibrate` (the first argument).
bool wantsCalibrate(int argc, char** argv);

/// `mikazuki calibrate [--settings INI] [--save] [--json] [--test FOLDER]... FOLDER...`: fits the
/// discounted ordering model and prints both models' calibration.
ExitCode calibrateCommand(const QStringList& arguments);
