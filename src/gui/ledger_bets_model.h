// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

#include <QAbstractTableModel>

#include "archive/bet_ledger.h"

/// The bets of the 収支 window's period (tblLedgerBets), in the order placed: when, which race
/// and pair, the stake and odds taken, what the result paid or gave back, and the close.
class LedgerBetsModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        PlacedColumn,
        RaceColumn,
        BetTypeColumn,
        PairColumn,
        StakeColumn,
        OddsColumn,
        PayoutColumn,
        RefundColumn,
        ClosingColumn,
        NoteColumn,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setBets(std::vector<LedgerBet> bets);
    const std::vector<LedgerBet>& bets() const { return m_bets; }
    /// The bet of a row; null for none.
    const LedgerBet* betAt(int row) const;
    /// The row of the bet `id`; -1 when it is not shown.
    int rowOf(qint64 id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<LedgerBet> m_bets;
};
