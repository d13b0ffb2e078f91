// SPDX-License-Identifier: MIT
#include "backtest_window.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <iterator>
#include <limits>

#include <QBarCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageWriter>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScatterSeries>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QtConcurrent/QtConcurrentRun>

#include "base/file_failure.h"
#include "base/message_sink.h"
#include "base/texts.h"
#include "gui/widget_message_sink.h"
#include "gui/window_placement.h"
#include "race/csv_writer.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"BacktestWindow"_s;

constexpr float kDefaultLeft = 1200;
constexpr float kDefaultTop = 900;
constexpr float kDefaultWidth = 16320;
constexpr float kDefaultHeight = 10800;

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

// A calibration table of the fit races: the bet type under Harville or under the fit.
const CalibrationTable* fitTable(const CalibrationReport& report, BetType bet, bool discount)
{
    for (const CalibrationTable& table : report.tables) {
        if (table.bet == bet && table.discount == discount && !table.test) {
            return &table;
        }
    }
    return nullptr;
}

// The bins of a table that hold pairs: those with a point.
std::vector<CalibrationBin> plottedBins(const CalibrationTable* table)
{
    std::vector<CalibrationBin> bins;
    if (table != nullptr) {
        std::copy_if(table->bins.begin(),
                     table->bins.end(),
                     std::back_inserter(bins),
                     [](const CalibrationBin& bin) {
                         return bin.pairs > 0 && bin.predicted && bin.observed;
                     });
    }
    return bins;
}

// The spread of a bin's observed share were the predicted chance true: two standard errors.
double twoStandardErrors(const CalibrationBin& bin)
{
    const double p = bin.predicted.value_or(0.0);
    return 2.0 * std::sqrt(p * (1.0 - p) / static_cast<double>(bin.pairs));
}

} // namespace

BacktestWindow::BacktestWindow(SettingsStore& settings, MessageSink* sink, QWidget* owner)
    : QWidget(owner, Qt::Window)
    , m_settings(settings)
    , m_sink(sink)
{
    if (m_sink == nullptr) {
        m_ownSink = std::make_unique<WidgetMessageSink>(this);
        m_sink = m_ownSink.get();
    }
    setObjectName(u"frmBacktest"_s);
    setWindowTitle(u"成績検証"_s);
    setFont(TwipsLayout::windowFont());
    m_placement = std::make_unique<WindowPlacement>(
        *this,
        settings,
        kSection,
        QRectF(kDefaultLeft, kDefaultTop, kDefaultWidth, kDefaultHeight),
        WindowPlacement::Stored::PositionAndSize,
        WindowPlacement::Resize::ByUser);
    buildControls();
    connect(
        &m_watcher, &QFutureWatcher<BacktestReport>::finished, this, &BacktestWindow::finishRun);
    connect(&m_calibrationWatcher,
            &QFutureWatcher<CalibrationReport>::finished,
            this,
            &BacktestWindow::finishCalibration);
    if (!settings.readText(SettingsKey::PatFolder).isEmpty()) {
        addFolder(settings.getPatFolder()); // not the root an empty setting would name
    }
    clearResult();
    setRunning(false);
    setCalibrating(false);
    showCalibration();
    m_placement->restore();
}

BacktestWindow::~BacktestWindow()
{
    // The run uses this window's flag and queues its progress here: it ends first.
    m_cancel = true;
    m_watcher.waitForFinished();
    // A calibration cannot be stopped: it is waited for.
    m_calibrationWatcher.waitForFinished();
}

int BacktestWindow::px(double twips) const
{
    return m_layout.px(twips);
}

void BacktestWindow::buildControls()
{
    const auto button = [this](const QString& name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setMinimumSize(px(kButtonWidth), px(kButtonHeight));
        return b;
    };
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(px(120), px(120), px(120), px(120));
    root->setSpacing(px(90));

    // The folders, the PAT folder first.
    auto* folderFrame = new QGroupBox(u"対象フォルダ"_s, this);
    folderFrame->setObjectName(u"fraFolder"_s);
    auto* folderRow = new QHBoxLayout(folderFrame);
    m_folders = new QListWidget(folderFrame);
    m_folders->setObjectName(u"lstFolder"_s);
    m_folders->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_folders->setFixedHeight(px(3 * kRowHeight + 120));
    folderRow->addWidget(m_folders, 1);
    auto* folderButtons = new QVBoxLayout;
    m_add = button(u"btnAddFolder"_s, u"追加..."_s);
    m_remove = button(u"btnRemoveFolder"_s, u"削除"_s);
    folderButtons->addWidget(m_add);
    folderButtons->addWidget(m_remove);
    folderButtons->addStretch();
    folderRow->addLayout(folderButtons);
    root->addWidget(folderFrame);
    connect(m_add, &QPushButton::clicked, this, &BacktestWindow::chooseFolder);
    connect(m_remove, &QPushButton::clicked, this, &BacktestWindow::removeSelectedFolders);

    // Two tabs on the same folders: the backtest, and the calibration of the theory.
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(u"tabResult"_s);
    auto* backtestPage = new QWidget(m_tabs);
    backtestPage->setObjectName(u"pagBacktest"_s);
    auto* page = new QVBoxLayout(backtestPage);
    page->setContentsMargins(px(90), px(90), px(90), px(90));
    page->setSpacing(px(90));

    // Start, and while a run lasts its progress and the way to stop it.
    auto* runRow = new QHBoxLayout;
    m_start = button(u"btnStart"_s, u"開始"_s);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(u"prgRun"_s);
    m_progress->setFormat(u"%v / %m ﾚｰｽ"_s);
    m_cancelButton = button(u"btnCancel"_s, u"中止"_s);
    m_status = new QLabel(this);
    m_status->setObjectName(u"lblStatus"_s);
    runRow->addWidget(m_start);
    runRow->addWidget(m_progress, 1);
    runRow->addWidget(m_cancelButton);
    runRow->addWidget(m_status, 1);
    page->addLayout(runRow);
    connect(m_start, &QPushButton::clicked, this, &BacktestWindow::start);
    connect(m_cancelButton, &QPushButton::clicked, this, &BacktestWindow::cancel);

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
    m_table->verticalHeader()->setDefaultSectionSize(px(kRowHeight));
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setMinimumHeight(px(6 * kRowHeight));
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
    m_rateView = makeChartView(u"chtReturnRate"_s);
    m_profitView = makeChartView(u"chtProfit"_s);
    charts->addWidget(m_rateView);
    charts->addWidget(m_profitView);
    // A chart shows a group's name only where its share of the width holds the name's line
    // standing: the return rates keep room for fourteen groups.
    m_rateView->setMinimumWidth(px(7200));
    charts->setStretchFactor(0, 3);
    charts->setStretchFactor(1, 2);
    results->addWidget(charts);
    // Proportions: the charts need the height more than the table, which scrolls.
    results->setSizes({2 * px(kRowHeight) * 10, 3 * px(kRowHeight) * 10});
    results->setStretchFactor(0, 2);
    results->setStretchFactor(1, 3);
    page->addWidget(results, 1);

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

    auto* saveRow = new QHBoxLayout;
    m_saveCsv = button(u"btnSaveCsv"_s, u"CSV保存..."_s);
    m_saveRate = button(u"btnSaveRateChart"_s, u"回収率の図を保存..."_s);
    m_saveProfit = button(u"btnSaveProfitChart"_s, u"収支の図を保存..."_s);
    saveRow->addWidget(m_saveCsv);
    saveRow->addStretch();
    saveRow->addWidget(m_saveRate);
    saveRow->addWidget(m_saveProfit);
    page->addLayout(saveRow);
    m_tabs->addTab(backtestPage, u"成績"_s);
    m_tabs->addTab(buildCalibrationPage(), u"較正"_s);
    root->addWidget(m_tabs, 1);
    connect(m_saveCsv, &QPushButton::clicked, this, &BacktestWindow::saveSummaryCsv);
    connect(m_saveRate, &QPushButton::clicked, this, [this] { saveChart(Chart::ReturnRate); });
    connect(m_saveProfit, &QPushButton::clicked, this, [this] { saveChart(Chart::Profit); });

    setMinimumSize(px(12000), px(9000));
}

QWidget* BacktestWindow::buildCalibrationPage()
{
    auto* calibrationPage = new QWidget(m_tabs);
    calibrationPage->setObjectName(u"pagCalibration"_s);
    auto* page = new QVBoxLayout(calibrationPage);
    page->setContentsMargins(px(90), px(90), px(90), px(90));
    page->setSpacing(px(90));

    // 較正, while it runs a busy bar, then the fit; the bet type plotted; the save.
    auto* row = new QHBoxLayout;
    m_calibrate = new QPushButton(u"較正"_s, calibrationPage);
    m_calibrate->setObjectName(u"btnCalibrate"_s);
    m_calibrate->setMinimumSize(px(kButtonWidth), px(kButtonHeight));
    m_calibrationProgress = new QProgressBar(calibrationPage);
    m_calibrationProgress->setObjectName(u"prgCalibration"_s);
    m_calibrationProgress->setRange(0, 0); // the calibration tells no progress
    m_calibrationFit = new QLabel(calibrationPage);
    m_calibrationFit->setObjectName(u"lblCalibration"_s);
    m_calibrationBet = new QComboBox(calibrationPage);
    m_calibrationBet->setObjectName(u"cmbCalibrationBet"_s);
    m_calibrationBet->addItems({betName(BetType::Quinella), betName(BetType::Wide)});
    m_saveCalibration = new QPushButton(u"較正の図を保存..."_s, calibrationPage);
    m_saveCalibration->setObjectName(u"btnSaveCalibrationChart"_s);
    m_saveCalibration->setMinimumSize(px(kButtonWidth), px(kButtonHeight));
    row->addWidget(m_calibrate);
    row->addWidget(m_calibrationBet);
    row->addWidget(m_calibrationProgress, 1);
    row->addWidget(m_calibrationFit, 1);
    row->addWidget(m_saveCalibration);
    page->addLayout(row);
    connect(m_calibrate, &QPushButton::clicked, this, &BacktestWindow::startCalibration);
    connect(
        m_calibrationBet, &QComboBox::currentIndexChanged, this, &BacktestWindow::showCalibration);
    connect(
        m_saveCalibration, &QPushButton::clicked, this, [this] { saveChart(Chart::Calibration); });

    m_calibrationView = makeChartView(u"chtCalibration"_s);
    QChart* chart = m_calibrationView->chart();
    chart->legend()->show();
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(font());
    m_predictedAxis = new QValueAxis(this);
    m_predictedAxis->setTitleText(u"理論上の的中率"_s);
    m_observedAxis = new QValueAxis(this);
    m_observedAxis->setTitleText(u"実際の的中率"_s);
    for (QValueAxis* axis : {m_predictedAxis, m_observedAxis}) {
        axis->setLabelFormat(u"%.3f"_s);
        axis->setLabelsFont(font());
        axis->setTitleFont(font());
    }
    chart->addAxis(m_predictedAxis, Qt::AlignBottom);
    chart->addAxis(m_observedAxis, Qt::AlignLeft);
    page->addWidget(m_calibrationView, 1);
    return calibrationPage;
}

QChartView* BacktestWindow::makeChartView(const QString& name)
{
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setTitleFont(font());
    chart->setMargins(QMargins(px(60), px(60), px(60), px(60)));
    auto* view = new QChartView(chart, this);
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(px(3600), px(3600));
    return view;
}

QStringList BacktestWindow::folders() const
{
    QStringList list;
    for (int i = 0; i < m_folders->count(); ++i) {
        list << m_folders->item(i)->data(Qt::UserRole).toString();
    }
    return list;
}

void BacktestWindow::addFolder(const QString& folder)
{
    const QString path = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    if (path.isEmpty() || folders().contains(path)) {
        return;
    }
    auto* item = new QListWidgetItem(QDir::toNativeSeparators(path), m_folders);
    item->setData(Qt::UserRole, path);
}

void BacktestWindow::chooseFolder()
{
    const QStringList listed = folders();
    const QString folder = QFileDialog::getExistingDirectory(
        this, u"フォルダの追加"_s, listed.isEmpty() ? QString() : listed.constLast());
    if (!folder.isEmpty()) {
        addFolder(folder);
    }
}

void BacktestWindow::removeSelectedFolders()
{
    qDeleteAll(m_folders->selectedItems());
}

void BacktestWindow::start()
{
    if (m_running) {
        return;
    }
    BacktestRequest request;
    request.folders = folders();
    if (request.folders.isEmpty()) {
        m_sink->message(u"フォルダを追加してちょ"_s);
        return;
    }
    // Every worker opens the store anew: what this one still holds is written out first.
    m_settings.sync();
    request.settingsFile = m_settings.iniFile();

    m_report.reset();
    clearResult();
    m_status->clear();
    m_status->setToolTip({});
    m_progress->setRange(0, 0); // busy until the races are counted
    m_cancel = false;
    setRunning(true);
    m_watcher.setFuture(QtConcurrent::run([this, request] {
        return runBacktest(
            request,
            [this](qint64 done, qint64 total) {
                QMetaObject::invokeMethod(
                    this, [this, done, total] { showProgress(done, total); }, Qt::QueuedConnection);
            },
            &m_cancel);
    }));
}

void BacktestWindow::clearResult()
{
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

void BacktestWindow::cancel()
{
    if (!m_running) {
        return;
    }
    m_cancel = true;
    m_cancelButton->setEnabled(false);
}

void BacktestWindow::setRunning(bool running)
{
    m_running = running;
    m_start->setEnabled(!running);
    enableFolders();
    m_progress->setVisible(running);
    m_cancelButton->setVisible(running);
    m_cancelButton->setEnabled(running);
    m_status->setVisible(!running);
    for (QPushButton* b : {m_saveCsv, m_saveRate, m_saveProfit}) {
        b->setEnabled(!running && m_report.has_value());
    }
}

void BacktestWindow::setCalibrating(bool calibrating)
{
    m_calibrating = calibrating;
    m_calibrate->setEnabled(!calibrating);
    m_calibrationProgress->setVisible(calibrating);
    m_calibrationFit->setVisible(!calibrating);
    m_saveCalibration->setEnabled(!calibrating && m_calibration.has_value());
    enableFolders();
}

void BacktestWindow::enableFolders()
{
    // The list stays as a run found it while either run lasts.
    const bool idle = !m_running && !m_calibrating;
    for (QWidget* w : std::initializer_list<QWidget*>{m_add, m_remove, m_folders}) {
        w->setEnabled(idle);
    }
}

void BacktestWindow::showProgress(qint64 done, qint64 total)
{
    if (!m_running || total <= 0) {
        return;
    }
    const int limit = static_cast<int>(std::min<qint64>(total, std::numeric_limits<int>::max()));
    m_progress->setRange(0, limit);
    m_progress->setValue(static_cast<int>(std::min<qint64>(done, limit)));
}

void BacktestWindow::finishRun()
{
    BacktestReport report = m_watcher.result();
    // A run asked to stop shows nothing, even one that ended just before it heard.
    const bool stopped = report.cancelled || m_cancel.load();
    if (stopped) {
        setRunning(false);
        m_status->setText(u"中止しました。"_s);
    } else if (!report.ok) {
        setRunning(false);
        const QString skipped = backtestSkippedText(report);
        m_sink->message(skipped.isEmpty() ? report.error : report.error + u"\n\n"_s + skipped,
                        {},
                        MessageIcon::Warning);
    } else {
        m_report = std::move(report);
        setRunning(false);
        showReport();
    }
    Q_EMIT runFinished();
}

void BacktestWindow::showReport()
{
    const BacktestReport& report = *m_report;
    const QList<QStringList> rows = backtestSummaryRows(report);
    for (qsizetype r = 1; r < rows.size(); ++r) {
        QList<QStandardItem*> items;
        for (qsizetype k = 0; k < rows[r].size(); ++k) {
            auto* item = new QStandardItem(rows[r][k]);
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
    QString status = u"%1ﾚｰｽ中 馬連%2ﾚｰｽ・ﾜｲﾄﾞ%3ﾚｰｽを集計"_s.arg(report.racesSeen)
                         .arg(report.bets[0].races.size())
                         .arg(report.bets[1].races.size());
    if (skipped > 0) {
        status += u" (除外%1件)"_s.arg(skipped);
    }
    m_status->setText(status);
    m_status->setToolTip(backtestSkippedText(report).trimmed());
    m_table->selectRow(0);
}

void BacktestWindow::showRow(int row)
{
    if (!m_report || row < 0) {
        return;
    }
    const auto [bet, group] = lineOfRow(row);
    showReturnRates(bet);
    showProfit(bet, group);
}

void BacktestWindow::showReturnRates(BetType bet)
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
    rates->setMarkerSize(px(120));
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

void BacktestWindow::showProfit(BetType bet, int group)
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

void BacktestWindow::startCalibration()
{
    if (m_calibrating) {
        return;
    }
    CalibrationRequest request;
    request.folders = folders();
    if (request.folders.isEmpty()) {
        m_sink->message(u"フォルダを追加してちょ"_s);
        return;
    }
    m_calibration.reset();
    showCalibration();
    setCalibrating(true);
    m_calibrationWatcher.setFuture(
        QtConcurrent::run([request] { return runCalibration(request); }));
}

void BacktestWindow::finishCalibration()
{
    CalibrationReport report = m_calibrationWatcher.result();
    if (report.ok) {
        m_calibration = std::move(report);
        setCalibrating(false);
        showCalibration();
    } else {
        setCalibrating(false);
        m_sink->message(report.error, {}, MessageIcon::Warning);
    }
    Q_EMIT calibrationFinished();
}

void BacktestWindow::showCalibration()
{
    QChart* chart = m_calibrationView->chart();
    chart->removeAllSeries();
    const bool shown = m_calibration.has_value();
    m_predictedAxis->setVisible(shown);
    m_observedAxis->setVisible(shown);
    if (!shown) {
        chart->setTitle({});
        m_calibrationFit->clear();
        m_calibrationFit->setToolTip({});
        return;
    }
    const CalibrationReport& report = *m_calibration;
    const DiscountFit& fit = report.fit;
    const auto bet = m_calibrationBet->currentIndex() == 1 ? BetType::Wide : BetType::Quinella;

    struct Model
    {
        const CalibrationTable* table;
        QString name;
        QString objectName;
        QColor colour;
        QScatterSeries::MarkerShape shape;
        bool hollow; // where the two models agree, the other's point shows through
    };
    const Model models[] = {
        {fitTable(report, bet, false),
         u"Harville"_s,
         u"serCalibrationHarville"_s,
         QColor(0x1f, 0x5f, 0xa8),
         QScatterSeries::MarkerShapeCircle,
         false},
        {fitTable(report, bet, true),
         u"割引Harville λ=%1 τ=%2"_s.arg(fit.lambda, 0, 'f', 3).arg(fit.tau, 0, 'f', 3),
         u"serCalibrationFit"_s,
         QColor(0xd9, 0x5f, 0x0e),
         QScatterSeries::MarkerShapeRectangle,
         true},
    };
    // Both axes share one range, so that the diagonal is where the two agree.
    double top = 0.0;
    for (const Model& model : models) {
        for (const CalibrationBin& bin : plottedBins(model.table)) {
            top = std::max({top, *bin.predicted, *bin.observed});
        }
    }
    m_predictedAxis->setRange(0.0, top > 0.0 ? top * 1.05 : 1.0);
    m_predictedAxis->setTickCount(6);
    m_predictedAxis->applyNiceNumbers();
    m_observedAxis->setRange(m_predictedAxis->min(), m_predictedAxis->max());
    m_observedAxis->setTickCount(m_predictedAxis->tickCount());
    const double capHalfWidth = m_predictedAxis->max() * 0.006;

    std::vector<QAbstractSeries*> whiskers;
    std::vector<QAbstractSeries*> points;
    for (const Model& model : models) {
        auto* scatter = new QScatterSeries;
        scatter->setObjectName(model.objectName);
        scatter->setName(model.name);
        scatter->setMarkerShape(model.shape);
        scatter->setMarkerSize(px(105));
        scatter->setPen(QPen(model.colour, model.hollow ? 2.0 : 1.0));
        scatter->setBrush(model.hollow ? QBrush(Qt::NoBrush) : QBrush(model.colour));
        for (const CalibrationBin& bin : plottedBins(model.table)) {
            const double x = *bin.predicted;
            const double y = *bin.observed;
            const double spread = twoStandardErrors(bin);
            scatter->append(x, y);
            auto* whisker = new QLineSeries;
            whisker->setPen(QPen(model.colour, 1.2));
            whisker->append({{x - capHalfWidth, y - spread},
                             {x + capHalfWidth, y - spread},
                             {x, y - spread},
                             {x, y + spread},
                             {x - capHalfWidth, y + spread},
                             {x + capHalfWidth, y + spread}});
            whiskers.push_back(whisker);
        }
        points.push_back(scatter);
    }
    auto* diagonal = new QLineSeries;
    diagonal->setName(u"理論値どおり"_s);
    diagonal->setPen(QPen(Qt::gray, 1, Qt::DashLine));
    diagonal->append({{0.0, 0.0}, {m_predictedAxis->max(), m_predictedAxis->max()}});
    whiskers.insert(whiskers.begin(), diagonal);
    for (const std::vector<QAbstractSeries*>& group : {whiskers, points}) {
        for (QAbstractSeries* s : group) {
            chart->addSeries(s);
            s->attachAxis(m_predictedAxis);
            s->attachAxis(m_observedAxis);
            // The legend names the models and the diagonal, not every whisker.
            if (s != diagonal && s->type() == QAbstractSeries::SeriesTypeLine) {
                for (QLegendMarker* marker : chart->legend()->markers(s)) {
                    marker->setVisible(false);
                }
            }
            // A hollow point's marker takes the point's outline, not the legend's.
            if (const auto* scatter = qobject_cast<QScatterSeries*>(s)) {
                for (QLegendMarker* marker : chart->legend()->markers(s)) {
                    marker->setPen(scatter->pen());
                }
            }
        }
    }
    chart->setTitle(
        u"%1 実際の的中率と理論上の的中率 (縦線は±2SE)"_s.arg(m_calibrationBet->currentText()));

    QString text = u"λ=%1 (SE %2)　τ=%3 (SE %4)　%5ﾚｰｽ"_s.arg(fit.lambda, 0, 'f', 3)
                       .arg(fit.lambdaSe, 0, 'f', 3)
                       .arg(fit.tau, 0, 'f', 3)
                       .arg(fit.tauSe, 0, 'f', 3)
                       .arg(report.races);
    QStringList skipped;
    qint64 skippedRaces = 0;
    for (const auto& [cause, count] : report.skipped) {
        skipped << u"除外 %1: %2ﾚｰｽ"_s.arg(cause).arg(count);
        skippedRaces += count;
    }
    if (skippedRaces > 0) {
        text += u" (除外%1件)"_s.arg(skippedRaces);
    }
    m_calibrationFit->setText(text);
    skipped.prepend(u"対数尤度 Harville %1 → 割引Harville %2"_s.arg(fit.logLikHarville, 0, 'f', 1)
                        .arg(fit.logLikFit, 0, 'f', 1));
    m_calibrationFit->setToolTip(skipped.join(u'\n'));
}

void BacktestWindow::fitColumns()
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

bool BacktestWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table->viewport() && event->type() == QEvent::Resize) {
        fitColumns();
    }
    return QWidget::eventFilter(watched, event);
}

bool BacktestWindow::writeSummaryCsv(const QString& path)
{
    if (!m_report) {
        return false;
    }
    QString error;
    if (saveCsvBytes(backtestSummaryCsv(*m_report), path, &error)) {
        return true;
    }
    tellSaveFailed(path, error);
    return false;
}

bool BacktestWindow::writeChartPng(Chart chart, const QString& path)
{
    QChartView* view = chart == Chart::ReturnRate ? m_rateView
                       : chart == Chart::Profit   ? m_profitView
                                                  : m_calibrationView;
    QImageWriter writer(path, "png");
    errno = 0;
    if (writer.write(view->grab().toImage())) {
        return true;
    }
    const int systemError = errno;
    tellSaveFailed(path, fileProblemText(systemError, FileAccess::Write, writer.errorString()));
    return false;
}

void BacktestWindow::saveSummaryCsv()
{
    // QFileDialog asks before it overwrites an existing file.
    const QString path = QFileDialog::getSaveFileName(
        this, u"名前を付けて保存"_s, u"成績検証.csv"_s, u"CSV(カンマ区切り) (*.csv)"_s);
    if (!path.isEmpty()) {
        writeSummaryCsv(path);
    }
}

void BacktestWindow::saveChart(Chart chart)
{
    const QString name = chart == Chart::ReturnRate ? u"回収率.png"_s
                         : chart == Chart::Profit   ? u"累積収支.png"_s
                                                    : u"較正.png"_s;
    const QString path
        = QFileDialog::getSaveFileName(this, u"名前を付けて保存"_s, name, u"PNG画像 (*.png)"_s);
    if (!path.isEmpty()) {
        writeChartPng(chart, path);
    }
}

void BacktestWindow::tellSaveFailed(const QString& path, const QString& error)
{
    m_sink->message(fileFailureLine(path, error));
    Texts::tellSaveFailed(*m_sink);
}

void BacktestWindow::storePlacement()
{
    m_placement->store();
}

void BacktestWindow::closeEvent(QCloseEvent* event)
{
    // Nobody would see the result of a run in a closed window.
    cancel();
    QWidget::closeEvent(event);
}
