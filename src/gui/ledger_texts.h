// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "race/ledger_report.h"

/// How the 収支 window groups the report's figures.
enum class LedgerGrouping { Day, Month, BetType, Model, GroupingCount };

/// The groups of `report` by `grouping`.
const std::vector<LedgerGroup>& ledgerGroups(const LedgerReport& report, LedgerGrouping grouping);
/// A group's key as the window names it ("2026/12/06", "2026/12", "馬連", "市場合成").
QString ledgerGroupName(LedgerGrouping grouping, const QString& key);

/// Yen grouped by thousands ("12,300"); signed when `sign` ("+1,200", "-300").
QString yenText(qint64 yen, bool sign = false);
