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

void DeleteBetCommand::undo()
{
    QString error;
    if (!m_ledger.restore(m_bet, error)) {
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
    QString error;
    if (!m_ledger.correct(m_before, error)) {
        m_failed(error);
        return;
    }
    // A correction of the pair or stake dropped the settlement; the bet as it was had one. Should
    // this second step fail, the bet is merely open and the next settling run settles it again.
    const std::optional<LedgerBet> now = m_ledger.bet(m_before.id);
    if (m_before.settlement && now && now->settlement != m_before.settlement
        && !m_ledger.settle({{m_before.id, *m_before.settlement}}, error)) {
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
        m_failed(error);
    }
}
