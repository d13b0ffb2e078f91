// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "archive/bet_ledger.h"

/// A time as a user types it: "2026/12/06 15:20[:00]", "2026-12-06 15:20" or ISO 8601; Japan
/// time unless it names its offset. Invalid when it does not read.
QDateTime parseLedgerTime(const QString& text);
/// A pair as "A-B" (either order); empty when it does not read.
std::optional<std::pair<int, int>> parseLedgerPair(const QString& text);

/// Every bet with its settlement, as the program's other CSV files are written (code page 932,
/// CR LF, texts quoted): a heading line, then 日時, レース, 券種, 組番, 金額, オッズ, メモ, モデル,
/// 確率, 期待値, 払戻, 返還, 確定日時, 締切オッズ (times in Japan time).
QByteArray ledgerCsv(const std::vector<LedgerBet>& bets);

/// The bets of a CSV file in UTF-8 or code page 932: 日時, レース (the Zo- file name), 券種
/// (quinella, wide, 馬連, ワイド), 組番 (A-B), 金額, and optionally オッズ, メモ, モデル, 確率,
/// 期待値 (the columns ledgerCsv writes first; its settlement columns are not read). A first line
/// whose first field is 日時 is a heading. Empty, with `error` naming the line and why, when a line
/// does not read. `lineOf`, when given, receives each bet's line number (from 1).
std::optional<std::vector<LedgerBet>>
parseLedgerCsv(const QByteArray& bytes, QString& error, std::vector<int>* lineOf = nullptr);
