// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractTableModel>

#include "gui/ledger_texts.h"

/// The 収支 window's table of figures (tblLedgerGroups): a row per group of the report in the
/// grouping chosen, then the 合計 line of the whole period.
class LedgerFiguresModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        GroupColumn,
        BetsColumn,
        OpenColumn,
        StakesColumn,
        ReturnsColumn,
        ProfitColumn,
        RateColumn,
        IntervalColumn,
        LosingRunColumn,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setReport(const LedgerReport& report, LedgerGrouping grouping);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<LedgerGroup> m_rows; ///< the groups, then the whole period (key: "合計")
};
