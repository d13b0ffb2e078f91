// SPDX-License-Identifier: MIT
#include "ledger_undo.h"

using namespace Qt::StringLiterals;

namespace {

QString betText(const LedgerBet& bet)
{
    return u"%1 %2-%3"_s.arg(betName(bet.bet)).arg(bet.first).arg(bet.second);
}

} // namespace

DeleteBetCommand::DeleteBetCommand(BetLedger& ledger, LedgerBet bet, LedgerFailure failed)
    : QUndoCommand(u"削除 %1"_s.arg(betText(bet)))
    , m_ledger(ledger)
    , m_bet(std::move(bet))
    , m_failed(std::move(failed))
{}

// A step that failed leaves the ledger as it was, which the stack no longer knows how to
// reach: it is dropped, so that no later step acts on a bet it does not describe.
void DeleteBetCommand::undo()
{
    QString error;
    if (!m_ledger.restore(m_bet, error)) {
        setObsolete(true);
        m_failed(error);
    }
}

void DeleteBetCommand::redo()
{
    // Pushed after the deletion succeeded: the first redo has nothing left to do.
    if (std::exchange(m_done, false)) {
        return;
    }
    QString error;
    if (!m_ledger.remove(m_bet.id, error)) {
        setObsolete(true);
        m_failed(error);
    }
}

CorrectBetCommand::CorrectBetCommand(BetLedger& ledger,
                                     LedgerBet before,
                                     LedgerBet after,
                                     LedgerFailure failed)
    : QUndoCommand(u"修正 %1"_s.arg(betText(before)))
    , m_ledger(ledger)
    , m_before(std::move(before))
    , m_after(std::move(after))
    , m_failed(std::move(failed))
{}

void CorrectBetCommand::undo()
{
    // The bet as it was, with its settlement, in one transaction.
    QString error;
    if (!m_ledger.replace(m_before, error)) {
        setObsolete(true);
        m_failed(error);
    }
}

void CorrectBetCommand::redo()
{
    if (std::exchange(m_done, false)) {
        return;
    }
    QString error;
    if (!m_ledger.correct(m_after, error)) {
        setObsolete(true);
        m_failed(error);
    }
}
