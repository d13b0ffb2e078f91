// SPDX-License-Identifier: MIT
#include "ledger_figures_model.h"

#include <QFont>

using namespace Qt::StringLiterals;

namespace {

constexpr const char16_t* kHeadings[]
    = {u"区分", u"件数", u"未確定", u"購入", u"払戻", u"収支", u"回収率", u"95%区間", u"最長連敗"};
static_assert(std::size(kHeadings) == LedgerFiguresModel::ColumnCount);

QString cellText(const LedgerGroup& group, int column)
{
    const LedgerFigures& f = group.figures;
    switch (column) {
    case LedgerFiguresModel::GroupColumn:
        return group.key;
    case LedgerFiguresModel::BetsColumn:
        return QString::number(f.bets);
    case LedgerFiguresModel::OpenColumn:
        return QString::number(f.open);
    case LedgerFiguresModel::StakesColumn:
        return yenText(f.stakes);
    case LedgerFiguresModel::ReturnsColumn:
        return yenText(f.returns);
    case LedgerFiguresModel::ProfitColumn:
        return yenText(f.profit(), true);
    case LedgerFiguresModel::RateColumn:
        return f.stakes > 0 ? ledgerPercentText(f.rate) : u"-"_s;
    case LedgerFiguresModel::IntervalColumn:
        return ledgerIntervalText(f.rateInterval, 100.0, 1);
    case LedgerFiguresModel::LosingRunColumn:
        return QString::number(f.longestLosingRun);
    default:
        return {};
    }
}

} // namespace

void LedgerFiguresModel::setReport(const LedgerReport& report, LedgerGrouping grouping)
{
    beginResetModel();
    m_rows.clear();
    for (const LedgerGroup& g : ledgerGroups(report, grouping)) {
        m_rows.push_back({ledgerGroupName(grouping, g.key), g.figures});
    }
    m_rows.push_back({u"合計"_s, report.all});
    endResetModel();
}

int LedgerFiguresModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int LedgerFiguresModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LedgerFiguresModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const LedgerGroup& group = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return cellText(group, index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(index.column() == GroupColumn
                                       ? Qt::AlignLeft | Qt::AlignVCenter
                                       : Qt::AlignRight | Qt::AlignVCenter);
    case Qt::FontRole:
        // The whole period's line stands out from the groups above it.
        if (index.row() + 1 == rowCount()) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

QVariant LedgerFiguresModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= ColumnCount) {
        return {};
    }
    return QString::fromUtf16(kHeadings[section]);
}
