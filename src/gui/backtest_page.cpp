// SPDX-License-Identifier: MIT
#include "backtest_page.h"

#include <algorithm>
#include <limits>

#include <QChart>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <QValueAxis>

#include "gui/chart_view.h"
#include "gui/grouped_number.h"
#include "gui/return_rate_chart.h"
#include "gui/summary_table.h"
#include "gui/twips_layout.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;
constexpr int kRowHeight = 270;

// A table row's bet type and group: the quinella's groups first, then the wide's.
std::pair<BetType, int> lineOfRow(int row)
{
    const int quinellaRows = backtestGroupCount(BetType::Quinella);
    return row < quinellaRows ? std::pair{BetType::Quinella, row}
                              : std::pair{BetType::Wide, row - quinellaRows};
}

} // namespace

BacktestPage::BacktestPage(const TwipsLayout& layout, QWidget* parent)
    : QWidget(parent)
    , m_layout(layout)
{
    setObjectName(u"pagBacktest"_s);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(layout.px(90), layout.px(90), layout.px(90), layout.px(90));
    page->setSpacing(layout.px(90));

    // Start, and while a run lasts its progress and the way to stop it.
    auto* runRow = new QHBoxLayout;
    m_start = addButton(u"btnStart"_s, u"開始"_s);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(u"prgRun"_s);
    m_progress->setFormat(u"%v / %m ﾚｰｽ"_s);
    m_cancel = addButton(u"btnCancel"_s, u"中止"_s);
    m_status = new QLabel(this);
    m_status->setObjectName(u"lblStatus"_s);
    runRow->addWidget(m_start);
    runRow->addWidget(m_progress, 1);
    runRow->addWidget(m_cancel);
    runRow->addWidget(m_status, 1);
    page->addLayout(runRow);
    connect(m_start, &QPushButton::clicked, this, &BacktestPage::startClicked);
    connect(m_cancel, &QPushButton::clicked, this, &BacktestPage::cancelClicked);

    page->addWidget(buildResults(), 1);
    buildAxes();

    auto* saveRow = new QHBoxLayout;
    m_saveCsv = addButton(u"btnSaveCsv"_s, u"CSV保存..."_s);
    m_saveRate = addButton(u"btnSaveRateChart"_s, u"回収率の図を保存..."_s);
    m_saveProfit = addButton(u"btnSaveProfitChart"_s, u"収支の図を保存..."_s);
    saveRow->addWidget(m_saveCsv);
    saveRow->addStretch();
    saveRow->addWidget(m_saveRate);
    saveRow->addWidget(m_saveProfit);
    page->addLayout(saveRow);
    connect(m_saveCsv, &QPushButton::clicked, this, &BacktestPage::saveCsvClicked);
    connect(m_saveRate, &QPushButton::clicked, this, &BacktestPage::saveRateClicked);
    connect(m_saveProfit, &QPushButton::clicked, this, &BacktestPage::saveProfitClicked);
}

QPushButton* BacktestPage::addButton(const QString& name, const QString& text)
{
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setMinimumSize(m_layout.px(kButtonWidth), m_layout.px(kButtonHeight));
    return b;
}

QWidget* BacktestPage::buildResults()
{
    // The summary and its evidence lines above, the two charts below side by side; the user may
    // move the borders.
    auto* results = new QSplitter(Qt::Vertical, this);
    results->setObjectName(u"splResult"_s);
    results->setChildrenCollapsible(false);
    auto* summary = new QWidget(results);
    auto* summaryColumn = new QVBoxLayout(summary);
    summaryColumn->setContentsMargins(0, 0, 0, 0);
    summaryColumn->setSpacing(m_layout.px(45));
    m_table = new SummaryTable(u"grdSummary"_s, 2, m_layout, summary);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setMinimumHeight(m_table->heightFor(5));
    connect(m_table->selectionModel(),
            &QItemSelectionModel::currentRowChanged,
            this,
            [this](const QModelIndex& current) { showRow(current.row()); });
    summaryColumn->addWidget(m_table, 1);
    for (auto [label, name] : {std::pair{&m_spa, u"lblSpa"_s}, {&m_choice, u"lblChoice"_s}}) {
        *label = new QLabel(summary);
        (*label)->setObjectName(name);
        (*label)->setWordWrap(true);
        (*label)->setTextInteractionFlags(Qt::TextSelectableByMouse);
        summaryColumn->addWidget(*label);
    }
    results->addWidget(summary);

    auto* charts = new QSplitter(Qt::Horizontal, results);
    charts->setObjectName(u"splChart"_s);
    charts->setChildrenCollapsible(false);
    m_rateView = new ReturnRateChart(m_layout, this);
    m_profitView = new ChartView(u"chtProfit"_s, m_layout, this);
    charts->addWidget(m_rateView);
    charts->addWidget(m_profitView);
    // A chart shows a group's name only where its share of the width holds the name's line
    // standing: the return rates keep room for fourteen groups.
    m_rateView->setMinimumWidth(m_layout.px(7200));
    charts->setStretchFactor(0, 3);
    charts->setStretchFactor(1, 2);
    results->addWidget(charts);
    // Proportions: the charts need the height more than the table, which scrolls.
    results->setSizes({2 * m_layout.px(kRowHeight) * 10, 3 * m_layout.px(kRowHeight) * 10});
    results->setStretchFactor(0, 2);
    results->setStretchFactor(1, 3);
    return results;
}

void BacktestPage::buildAxes()
{
    const auto axis = [this](QChart* chart, Qt::Alignment side, QAbstractAxis* a) {
        a->setLabelsFont(font());
        a->setTitleFont(font());
        chart->addAxis(a, side);
    };
    m_raceAxis = new QValueAxis(this);
    m_raceAxis->setTitleText(u"ﾚｰｽ"_s);
    m_raceAxis->setLabelFormat(u"%d"_s);
    m_profitAxis = new QValueAxis(this);
    m_profitAxis->setTitleText(u"累積収支(円)"_s);
    m_profitAxis->setLabelFormat(u"%'d"_s); // thousands grouped, as the table writes yen
    QChart* profitChart = m_profitView->chart();
    axis(profitChart, Qt::AlignBottom, m_raceAxis);
    axis(profitChart, Qt::AlignLeft, m_profitAxis);
    m_zeroLine = new QLineSeries(this);
    m_zeroLine->setPen(QPen(Qt::gray, 1, Qt::DashLine));
    m_profit = new QLineSeries(this);
    m_profit->setObjectName(u"serProfit"_s);
    for (QLineSeries* s : {m_zeroLine, m_profit}) {
        profitChart->addSeries(s);
        s->attachAxis(m_raceAxis);
        s->attachAxis(m_profitAxis);
    }
}

QChartView* BacktestPage::rateView() const
{
    return m_rateView;
}

void BacktestPage::setRunning(bool running, bool hasReport)
{
    m_start->setEnabled(!running);
    m_progress->setVisible(running);
    m_cancel->setVisible(running);
    m_cancel->setEnabled(running);
    m_status->setVisible(!running);
    for (QPushButton* b : {m_saveCsv, m_saveRate, m_saveProfit}) {
        b->setEnabled(!running && hasReport);
    }
    if (running) {
        m_status->clear();
        m_status->setToolTip({});
        m_progress->setRange(0, 0); // busy until the races are counted
    }
}

void BacktestPage::showProgress(qint64 done, qint64 total)
{
    if (total <= 0) {
        return;
    }
    const int limit = static_cast<int>(std::min<qint64>(total, std::numeric_limits<int>::max()));
    m_progress->setRange(0, limit);
    m_progress->setValue(static_cast<int>(std::min<qint64>(done, limit)));
}

void BacktestPage::clearResult()
{
    m_report = nullptr;
    // Without a report, the columns of a run without test folders.
    m_table->showRows({backtestSummaryRows(BacktestReport{}).constFirst()});
    m_spa->clear();
    m_choice->clear();
    m_choice->hide();
    m_rateView->clear();
    m_profit->clear();
    m_zeroLine->clear();
    m_profitView->chart()->setTitle({});
    // Axes without anything on them would only show made-up numbers.
    m_raceAxis->setVisible(false);
    m_profitAxis->setVisible(false);
}

void BacktestPage::showCancelling()
{
    m_cancel->setEnabled(false);
}

void BacktestPage::showStopped()
{
    m_status->setText(u"中止しました。"_s);
}

void BacktestPage::showReport(const BacktestReport& report)
{
    m_report = &report;
    m_table->showRows(backtestSummaryRows(report, true));
    m_spa->setText(groupedNumbersIn(backtestSpaText(report)));
    m_choice->setText(groupedNumbersIn(backtestChoiceText(report)));
    m_choice->setVisible(report.tested);

    qint64 skipped = 0;
    for (const qint64 count : report.skipped) {
        skipped += count;
    }
    const QLocale locale(QLocale::Japanese);
    QString status = u"%1ﾚｰｽ中 馬連%2ﾚｰｽ・ﾜｲﾄﾞ%3ﾚｰｽを集計"_s.arg(locale.toString(report.racesSeen))
                         .arg(locale.toString(static_cast<qint64>(report.bets[0].races.size())))
                         .arg(locale.toString(static_cast<qint64>(report.bets[1].races.size())));
    if (report.tested) {
        status += u" 検証%1ﾚｰｽ"_s.arg(locale.toString(report.testRacesSeen));
    }
    if (skipped > 0) {
        status += u" (除外%1件)"_s.arg(locale.toString(skipped));
    }
    m_status->setText(status);
    m_status->setToolTip(backtestSkippedText(report).trimmed());
    m_table->selectRow(0);
}

void BacktestPage::showRow(int row)
{
    if (m_report == nullptr || row < 0) {
        return;
    }
    const auto [bet, group] = lineOfRow(row);
    m_rateView->plot(*m_report, bet);
    showProfit(bet, group);
}

void BacktestPage::showProfit(BetType bet, int group)
{
    const std::vector<qint64> profit = cumulativeProfit(m_report->bets[betIndex(bet)].races, group);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(profit.size()));
    qint64 low = 0;
    qint64 high = 0;
    for (std::size_t k = 0; k < profit.size(); ++k) {
        points << QPointF(static_cast<double>(k + 1), static_cast<double>(profit[k]));
        low = std::min(low, profit[k]);
        high = std::max(high, profit[k]);
    }
    m_profit->replace(points);
    m_raceAxis->setVisible(true);
    m_profitAxis->setVisible(true);
    const auto races = static_cast<double>(std::max<std::size_t>(profit.size(), 1));
    m_zeroLine->replace({{0, 0}, {races, 0}});
    m_raceAxis->setRange(0, races);
    m_raceAxis->applyNiceNumbers();
    if (low == high) {
        high = 100; // a group without bets: a flat line at 0 in a small range
    }
    const double margin = static_cast<double>(high - low) * 0.05;
    m_profitAxis->setRange(static_cast<double>(low) - margin, static_cast<double>(high) + margin);
    m_profitAxis->applyNiceNumbers();
    m_profitView->chart()->setTitle(
        u"%1 %2 累積収支"_s.arg(betName(bet), backtestGroupName(group)));
}
