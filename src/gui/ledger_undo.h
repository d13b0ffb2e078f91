// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QUndoCommand>

#include "archive/bet_ledger.h"

/// Told why a change of the ledger failed (the ledger stays as it was: each is one transaction).
using LedgerFailure = std::function<void(const QString&)>;

/// A bet the 収支 window deleted, done already when pushed: undone by putting it back with its
/// id and settlement.
class DeleteBetCommand final : public QUndoCommand
{
public:
    DeleteBetCommand(BetLedger& ledger, LedgerBet bet, LedgerFailure failed);

    void undo() override;
    void redo() override;

private:
    BetLedger& m_ledger;
    LedgerBet m_bet;
    LedgerFailure m_failed;
    bool m_done = true;
};

/// A bet the 収支 window corrected, done already when pushed: undone by storing it as it was.
class CorrectBetCommand final : public QUndoCommand
{
public:
    CorrectBetCommand(BetLedger& ledger, LedgerBet before, LedgerBet after, LedgerFailure failed);

    void undo() override;
    void redo() override;

private:
    BetLedger& m_ledger;
    LedgerBet m_before;
    LedgerBet m_after;
    LedgerFailure m_failed;
    bool m_done = true;
};
