// SPDX-License-Identifier: MIT
#pragma once

#include <QCommandLineOption>
#include <QStringList>

#include "cli/command_line.h"

/// The option every command takes: the odds archive to use in place of the default one.
QCommandLineOption makeArchiveOption();

/// `mikazuki archive import FOLDER...`, `archive export --race KEY OUT`, `archive info`.
ExitCode archiveCommand(const QStringList& arguments);
