// SPDX-License-Identifier: MIT
#include "ledger_bets_model.h"

#include "gui/ledger_texts.h"
#include "pat/race_time.h"

using namespace Qt::StringLiterals;

namespace {

constexpr const char16_t* kHeadings[] = {u"日時",
                                         u"レース",
                                         u"券種",
                                         u"組番",
                                         u"金額",
                                         u"オッズ",
                                         u"払戻",
                                         u"返還",
                                         u"締切オッズ",
                                         u"メモ"};
static_assert(std::size(kHeadings) == LedgerBetsModel::ColumnCount);

QString oddsText(double odds)
{
    return odds > 0.0 ? QString::number(odds, 'f', 1) : QString();
}

QString cellText(const LedgerBet& b, int column)
{
    const std::optional<BetSettlement>& s = b.settlement;
    switch (column) {
    case LedgerBetsModel::PlacedColumn:
        // Japan's clock, whatever the machine's zone: the races run by it.
        return b.placed.toTimeZone(jraTimeZone()).toString(u"yyyy/MM/dd HH:mm"_s);
    case LedgerBetsModel::RaceColumn:
        return b.venue.isEmpty() ? b.race : u"%1 %2"_s.arg(b.venue, b.race);
    case LedgerBetsModel::BetTypeColumn:
        return betName(b.bet);
    case LedgerBetsModel::PairColumn:
        return u"%1-%2"_s.arg(b.first).arg(b.second);
    case LedgerBetsModel::StakeColumn:
        return yenText(b.stake);
    case LedgerBetsModel::OddsColumn:
        return oddsText(b.odds);
    case LedgerBetsModel::PayoutColumn:
        return s ? yenText(s->payout) : u"未確定"_s;
    case LedgerBetsModel::RefundColumn:
        return s && s->refund > 0 ? yenText(s->refund) : QString();
    case LedgerBetsModel::ClosingColumn:
        return s ? oddsText(s->closing) : QString();
    case LedgerBetsModel::NoteColumn:
        return b.note;
    default:
        return {};
    }
}

bool rightAligned(int column)
{
    return column == LedgerBetsModel::StakeColumn || column == LedgerBetsModel::OddsColumn
           || column == LedgerBetsModel::PayoutColumn || column == LedgerBetsModel::RefundColumn
           || column == LedgerBetsModel::ClosingColumn;
}

} // namespace

void LedgerBetsModel::setBets(std::vector<LedgerBet> bets)
{
    beginResetModel();
    m_bets = std::move(bets);
    endResetModel();
}

const LedgerBet* LedgerBetsModel::betAt(int row) const
{
    return row >= 0 && row < rowCount() ? &m_bets[static_cast<std::size_t>(row)] : nullptr;
}

int LedgerBetsModel::rowOf(qint64 id) const
{
    for (std::size_t k = 0; k < m_bets.size(); ++k) {
        if (m_bets[k].id == id) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

int LedgerBetsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_bets.size());
}

int LedgerBetsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LedgerBetsModel::data(const QModelIndex& index, int role) const
{
    const LedgerBet* bet = index.isValid() ? betAt(index.row()) : nullptr;
    if (bet == nullptr) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return cellText(*bet, index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(rightAligned(index.column()) ? Qt::AlignRight | Qt::AlignVCenter
                                                                : Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant LedgerBetsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= ColumnCount) {
        return {};
    }
    return QString::fromUtf16(kHeadings[section]);
}
