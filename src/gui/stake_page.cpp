// SPDX-License-Identifier: MIT
#include "stake_page.h"

#include <algorithm>

#include <QChart>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <QValueAxis>

#include "gui/chart_view.h"
#include "gui/grouped_number.h"
#include "gui/summary_table.h"
#include "gui/twips_layout.h"
#include "race/backtest.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;
// The colours of the bet types, in their order.
const QColor kCurveColours[2] = {QColor(0x1f, 0x5f, 0xa8), QColor(0x2a, 0x9d, 0x3c)};

} // namespace

StakePage::StakePage(const TwipsLayout& layout, QWidget* parent)
    : QWidget(parent)
    , m_layout(layout)
{
    setObjectName(u"pagStake"_s);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(layout.px(90), layout.px(90), layout.px(90), layout.px(90));
    page->setSpacing(layout.px(90));

    auto* top = new QHBoxLayout;
    m_rule = new QLabel(this);
    m_rule->setObjectName(u"lblStake"_s);
    m_save = new QPushButton(u"資金の図を保存..."_s, this);
    m_save->setObjectName(u"btnSaveBankrollChart"_s);
    m_save->setMinimumSize(layout.px(kButtonWidth), layout.px(kButtonHeight));
    top->addWidget(m_rule, 1);
    top->addWidget(m_save);
    page->addLayout(top);
    connect(m_save, &QPushButton::clicked, this, &StakePage::saveClicked);

    m_view = new ChartView(u"chtBankroll"_s, layout, this);
    QChart* chart = m_view->chart();
    chart->legend()->setFont(font());
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    chart->legend()->show();
    m_races = new QValueAxis(this);
    m_races->setTitleText(u"集計したﾚｰｽ"_s);
    m_races->setLabelFormat(u"%d"_s);
    m_yen = new QValueAxis(this);
    m_yen->setTitleText(u"資金(円)"_s);
    m_yen->setLabelFormat(u"%'d"_s); // thousands grouped, as the table writes yen
    for (auto [axis, side] : {std::pair{m_races, Qt::AlignBottom}, {m_yen, Qt::AlignLeft}}) {
        axis->setLabelsFont(font());
        axis->setTitleFont(font());
        chart->addAxis(axis, side);
    }
    m_start = new QLineSeries(this);
    m_start->setName(u"初期資金"_s);
    m_start->setPen(QPen(Qt::gray, 1, Qt::DashLine));
    for (int b = 0; b < 2; ++b) {
        m_curves[b] = new QLineSeries(this);
        m_curves[b]->setObjectName(u"serBankroll_%1"_s.arg(b));
        m_curves[b]->setName(betName(b == 0 ? BetType::Quinella : BetType::Wide));
        m_curves[b]->setPen(QPen(kCurveColours[b], 1.5));
    }
    for (QLineSeries* s : {m_start, m_curves[0], m_curves[1]}) {
        chart->addSeries(s);
        s->attachAxis(m_races);
        s->attachAxis(m_yen);
    }
    page->addWidget(m_view, 1);

    m_table = new SummaryTable(u"grdStake"_s, 1, layout, this);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    page->addWidget(m_table);
    showReport(nullptr);
}

void StakePage::setRunning(bool running, bool hasReport)
{
    m_save->setEnabled(!running && hasReport);
}

void StakePage::showReport(const BacktestReport* report)
{
    const BacktestReport none;
    const BacktestReport& shown = report != nullptr ? *report : none;
    QList<QStringList> rows = backtestStakeRows(shown);
    if (report == nullptr) {
        rows.resize(1); // the headings alone
    }
    m_table->showRows(rows);
    // The headings and both bet types, and room for a scroll bar where the columns overflow.
    m_table->setFixedHeight(m_table->heightFor(2)
                            + style()->pixelMetric(QStyle::PM_ScrollBarExtent));

    // The staking in the command line's words, its numbers grouped.
    m_rule->setText(report != nullptr
                        ? groupedNumbersIn(backtestStakeText(*report).section(u'\n', 0, 0))
                        : QString());
    m_races->setVisible(report != nullptr);
    m_yen->setVisible(report != nullptr);
    m_view->chart()->setTitle(report != nullptr ? u"資金の推移"_s : QString());
    for (QLegendMarker* marker : m_view->chart()->legend()->markers()) {
        marker->setVisible(report != nullptr);
    }
    if (report == nullptr) {
        for (QLineSeries* s : {m_start, m_curves[0], m_curves[1]}) {
            s->clear();
        }
        return;
    }
    qint64 low = report->bankroll;
    qint64 high = report->bankroll;
    std::size_t races = 1;
    for (std::size_t b = 0; b < 2; ++b) {
        const std::vector<qint64>& curve = report->bets[b].staking.bankrollCurve;
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(curve.size()));
        for (std::size_t k = 0; k < curve.size(); ++k) {
            points << QPointF(static_cast<double>(k + 1), static_cast<double>(curve[k]));
            low = std::min(low, curve[k]);
            high = std::max(high, curve[k]);
        }
        m_curves[b]->replace(points);
        races = std::max(races, curve.size());
    }
    const auto last = static_cast<double>(races);
    const auto start = static_cast<double>(report->bankroll);
    m_start->replace({{0, start}, {last, start}});
    m_races->setRange(0, last);
    m_races->applyNiceNumbers();
    const double margin = static_cast<double>(high - low) * 0.05 + 1;
    m_yen->setRange(static_cast<double>(low) - margin, static_cast<double>(high) + margin);
    m_yen->applyNiceNumbers();
}
