// SPDX-License-Identifier: MIT
#include "backtest_page.h"

#include <algorithm>
#include <limits>

#include <QBarCategoryAxis>
#include <QChart>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

#include "gui/chart_view.h"
#include "gui/twips_layout.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;
constexpr int kRowHeight = 270;

// Half the width of a whisker's caps, in groups.
constexpr double kCapHalfWidth = 0.2;

constexpr Qt::Alignment kNumberAlign = Qt::AlignRight | Qt::AlignVCenter;

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
    // The summary above, the two charts below side by side; the user may move the borders.
    auto* results = new QSplitter(Qt::Vertical, this);
    results->setObjectName(u"splResult"_s);
    results->setChildrenCollapsible(false);
    m_model = new QStandardItemModel(this);
    const QStringList headings = backtestSummaryRows(BacktestReport{}).constFirst();
    m_model->setHorizontalHeaderLabels(headings);
    for (int k = 2; k < headings.size(); ++k) {
        m_model->setHeaderData(
            k, Qt::Horizontal, QVariant(kNumberAlign.toInt()), Qt::TextAlignmentRole);
    }
    m_table = new QTableView(results);
    m_table->setObjectName(u"grdSummary"_s);
    m_table->setModel(m_model);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_layout.px(kRowHeight));
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setMinimumHeight(m_layout.px(6 * kRowHeight));
    // The view's width less a scroll bar that comes and goes: what the columns share.
    m_table->viewport()->installEventFilter(this);
    fitColumns();
    connect(m_table->selectionModel(),
            &QItemSelectionModel::currentRowChanged,
            this,
            [this](const QModelIndex& current) { showRow(current.row()); });
    results->addWidget(m_table);

    auto* charts = new QSplitter(Qt::Horizontal, results);
    charts->setObjectName(u"splChart"_s);
    charts->setChildrenCollapsible(false);
    m_rateView = new ChartView(u"chtReturnRate"_s, m_layout, this);
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
    m_rateGroups = new QBarCategoryAxis(this);
    m_rateGroups->setLabelsAngle(-90); // the deviation bands' names are wider than a group
    m_rateAxis = new QValueAxis(this);
    m_rateAxis->setTitleText(u"回収率(%)"_s);
    m_rateAxis->setLabelFormat(u"%d"_s);
    axis(m_rateView->chart(), Qt::AlignBottom, m_rateGroups);
    // A point smaller: a standing name's line must fit the width of its group.
    QFont groupFont = font();
    groupFont.setPointSize(font().pointSize() - 1);
    m_rateGroups->setLabelsFont(groupFont);
    axis(m_rateView->chart(), Qt::AlignLeft, m_rateAxis);

    m_raceAxis = new QValueAxis(this);
    m_raceAxis->setTitleText(u"ﾚｰｽ"_s);
    m_raceAxis->setLabelFormat(u"%d"_s);
    m_profitAxis = new QValueAxis(this);
    m_profitAxis->setTitleText(u"累積収支(円)"_s);
    m_profitAxis->setLabelFormat(u"%d"_s);
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

QString BacktestPage::groupedNumber(const QString& text)
{
    static const QRegularExpression number(u"^(-?)(\\d+)(\\.\\d+)?$"_s);
    const QRegularExpressionMatch match = number.match(text);
    bool ok = false;
    const qint64 whole = match.hasMatch() ? match.captured(2).toLongLong(&ok) : 0;
    if (!ok) {
        return text;
    }
    return match.captured(1) + QLocale(QLocale::Japanese).toString(whole) + match.captured(3);
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
    m_model->setRowCount(0);
    m_rateView->chart()->removeAllSeries();
    m_rateView->chart()->setTitle({});
    m_rateGroups->clear();
    m_profit->clear();
    m_zeroLine->clear();
    m_profitView->chart()->setTitle({});
    // Axes without anything on them would only show made-up numbers.
    for (QAbstractAxis* axis : std::initializer_list<QAbstractAxis*>{
             m_rateGroups, m_rateAxis, m_raceAxis, m_profitAxis}) {
        axis->setVisible(false);
    }
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
    const QList<QStringList> rows = backtestSummaryRows(report);
    for (qsizetype r = 1; r < rows.size(); ++r) {
        QList<QStandardItem*> items;
        for (qsizetype k = 0; k < rows[r].size(); ++k) {
            auto* item = new QStandardItem(k >= 2 ? groupedNumber(rows[r][k]) : rows[r][k]);
            if (k >= 2) {
                item->setTextAlignment(kNumberAlign);
            }
            items << item;
        }
        m_model->appendRow(items);
    }
    fitColumns();

    qint64 skipped = 0;
    for (const qint64 count : report.skipped) {
        skipped += count;
    }
    const QLocale locale(QLocale::Japanese);
    QString status = u"%1ﾚｰｽ中 馬連%2ﾚｰｽ・ﾜｲﾄﾞ%3ﾚｰｽを集計"_s.arg(locale.toString(report.racesSeen))
                         .arg(locale.toString(static_cast<qint64>(report.bets[0].races.size())))
                         .arg(locale.toString(static_cast<qint64>(report.bets[1].races.size())));
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
    showReturnRates(bet);
    showProfit(bet, group);
}
void BacktestPage::showReturnRates(BetType bet)
{
    QChart* chart = m_rateView->chart();
    chart->removeAllSeries();
    const std::vector<GroupSummary>& lines = m_report->bets[betIndex(bet)].lines;
    const int groups = backtestGroupCount(bet);
    QStringList names;
    for (int g = 0; g < groups; ++g) {
        // Axis labels are rich text: "D<-50" would start a tag.
        names << backtestGroupName(g).toHtmlEscaped();
    }
    m_rateGroups->setCategories(names);
    m_rateGroups->setVisible(true);
    m_rateAxis->setVisible(true);

    const QColor colour(0x1f, 0x5f, 0xa8);
    auto* rates = new QScatterSeries;
    rates->setMarkerSize(m_layout.px(120));
    rates->setColor(colour);
    rates->setBorderColor(colour);
    std::vector<QAbstractSeries*> series;
    double highestRate = 100;
    double highestUpper = 0;
    for (int g = 0; g < groups && g < static_cast<int>(lines.size()); ++g) {
        const GroupSummary& line = lines[static_cast<std::size_t>(g)];
        if (!line.returnRate) {
            continue; // a group without bets has no point
        }
        const double rate = static_cast<double>(*line.returnRate) / 10.0;
        rates->append(static_cast<double>(g), rate);
        highestRate = std::max(highestRate, rate);
        if (line.returnRateLower && line.returnRateUpper) {
            const double lower = static_cast<double>(*line.returnRateLower) / 10.0;
            const double upper = static_cast<double>(*line.returnRateUpper) / 10.0;
            // One polyline per group: the lower cap, the whisker, the upper cap.
            auto* whisker = new QLineSeries;
            whisker->setPen(QPen(colour, 1.5));
            const auto x = static_cast<double>(g);
            whisker->append({{x - kCapHalfWidth, lower},
                             {x + kCapHalfWidth, lower},
                             {x, lower},
                             {x, upper},
                             {x - kCapHalfWidth, upper},
                             {x + kCapHalfWidth, upper}});
            series.push_back(whisker);
            highestUpper = std::max(highestUpper, upper);
        }
    }
    // Where the bets would break even.
    auto* even = new QLineSeries;
    even->setPen(QPen(Qt::red, 1, Qt::DashLine));
    even->append({{-0.5, 100}, {static_cast<double>(groups) - 0.5, 100}});
    series.push_back(even);
    series.push_back(rates);
    for (QAbstractSeries* s : series) {
        chart->addSeries(s);
        s->attachAxis(m_rateGroups);
        s->attachAxis(m_rateAxis);
    }
    // The rates decide the scale: the bounds of a group with few hits can lie far above every
    // rate, and would squash the rest to the floor; their whiskers run off the top instead.
    m_rateAxis->setRange(
        0, std::max(highestRate * 1.05, std::min(highestUpper * 1.05, highestRate * 1.6)));
    m_rateAxis->applyNiceNumbers();
    chart->setTitle(u"%1 回収率 (縦線は95%区間)"_s.arg(betName(bet)));
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

void BacktestPage::fitColumns()
{
    // Each column as wide as its texts, and what the view has beyond that shared out: the table
    // fills its width without one wide last column.
    m_table->resizeColumnsToContents();
    const int columns = m_model->columnCount();
    int total = 0;
    for (int col = 0; col < columns; ++col) {
        total += m_table->columnWidth(col);
    }
    const int spare = std::max(0, m_table->viewport()->width() - total);
    for (int col = 0; col < columns; ++col) {
        const int share = spare / columns + (col == columns - 1 ? spare % columns : 0);
        m_table->setColumnWidth(col, m_table->columnWidth(col) + share);
    }
}

bool BacktestPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table->viewport() && event->type() == QEvent::Resize) {
        fitColumns();
    }
    return QWidget::eventFilter(watched, event);
}
