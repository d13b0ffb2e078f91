// SPDX-License-Identifier: MIT
#include "ledger_chart.h"

#include <QChart>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include "gui/japan_clock.h"
#include "gui/twips_layout.h"

using namespace Qt::StringLiterals;

LedgerChart::LedgerChart(const TwipsLayout& layout, QWidget* parent)
    : ChartView(u"chtLedgerProfit"_s, layout, parent)
{
    setMinimumSize(layout.px(3600), layout.px(2600));
    chart()->setTitle(u"累積収支 (円)"_s);
    m_yen = new QValueAxis(this);
    m_yen->setLabelFormat(u"%.0f"_s);
    m_yen->setLabelsFont(parent->font());
    chart()->addAxis(m_yen, Qt::AlignLeft);
}

void LedgerChart::plot(const std::vector<std::pair<QDateTime, qint64>>& cumulative)
{
    QChart* c = chart();
    c->removeAllSeries();
    // A time axis kept from one drawing to the next stops showing once its series are gone
    // (Qt Charts 6.4): each drawing makes its own.
    if (m_time != nullptr) {
        c->removeAxis(m_time);
        delete m_time;
        m_time = nullptr;
    }
    if (cumulative.empty()) {
        m_yen->setRange(-1000.0, 1000.0);
        return;
    }
    auto* profit = new QLineSeries;
    profit->setName(u"収支"_s);
    const qint64 first = japanWallClock(cumulative.front().first);
    profit->append(static_cast<double>(first), 0.0);
    qint64 low = 0;
    qint64 high = 0;
    qint64 last = first;
    for (const auto& [time, yen] : cumulative) {
        last = japanWallClock(time);
        profit->append(static_cast<double>(last), static_cast<double>(yen));
        low = qMin(low, yen);
        high = qMax(high, yen);
    }
    // A single bet, or a few close together, still get an hour.
    if (last - first < 3'600'000) {
        last = first + 3'600'000;
    }
    auto* even = new QLineSeries;
    even->setName(u"収支ゼロ"_s);
    even->append(static_cast<double>(first), 0.0);
    even->append(static_cast<double>(last), 0.0);
    QPen dashed(Qt::gray);
    dashed.setStyle(Qt::DashLine);
    even->setPen(dashed);
    c->addSeries(even);
    c->addSeries(profit);

    m_time = new QDateTimeAxis(this);
    m_time->setObjectName(u"axsLedgerTime"_s);
    // Weeks apart read as dates, a few days as dates with the clock, one day's bets by the clock.
    constexpr qint64 kDay = 86'400'000;
    m_time->setFormat(last - first > 7 * kDay ? u"MM/dd"_s
                      : last - first > kDay   ? u"MM/dd HH:mm"_s
                                              : u"HH:mm"_s);
    m_time->setTickCount(5);
    m_time->setLabelsFont(font());
    c->addAxis(m_time, Qt::AlignBottom);
    for (QLineSeries* s : {even, profit}) {
        s->attachAxis(m_time);
        s->attachAxis(m_yen);
    }
    m_time->setRange(QDateTime::fromMSecsSinceEpoch(first), QDateTime::fromMSecsSinceEpoch(last));
    const double margin = qMax(static_cast<double>(high - low) * 0.1, 100.0);
    m_yen->setRange(static_cast<double>(low) - margin, static_cast<double>(high) + margin);
    m_yen->applyNiceNumbers();
}

int LedgerChart::pointCount() const
{
    const auto series = chart()->series();
    return series.isEmpty() ? 0 : static_cast<const QLineSeries*>(series.back())->count();
}
