// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include "cli/command_line.h"

/// `mikazuki stakes [--json] [--bankroll YEN] [--kelly F] ZO_FILE`: the chance, expected value
/// and stake of every bet of one race, as the main window shows them.
ExitCode stakesCommand(const QStringList& arguments);
