// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include "cli/command_line.h"

/// `mikazuki ledger add|import|settle|report|export`: the book of the user's bets in the odds
/// archive.
ExitCode ledgerCommand(const QStringList& arguments);
