// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include "cli/command_line.h"

/// `mikazuki board [--json] FOLDER`: the races of the folder's latest day, a line each.
ExitCode boardCommand(const QStringList& arguments);
