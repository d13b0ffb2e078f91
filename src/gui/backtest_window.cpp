// SPDX-License-Identifier: MIT
#include "backtest_window.h"

#include <cerrno>

#include <QChartView>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "base/file_failure.h"
#include "base/message_sink.h"
#include "base/texts.h"
#include "gui/backtest_choices_box.h"
#include "gui/backtest_page.h"
#include "gui/calibration_chart.h"
#include "gui/calibration_page.h"
#include "gui/folder_list_box.h"
#include "gui/stake_page.h"
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
    m_results->clearResult();
    m_stakePage->showReport(nullptr);
    setRunning(false);
    setCalibrating(false);
    m_calibrationPage->showReport(nullptr);
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

void BacktestWindow::buildControls()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(
        m_layout.px(120), m_layout.px(120), m_layout.px(120), m_layout.px(120));
    root->setSpacing(m_layout.px(90));

    // The folders (the PAT folder first), the test folders and how a run resamples and stakes.
    auto* top = new QHBoxLayout;
    m_folders = new FolderListBox(u"対象フォルダ"_s, u"Folder"_s, m_layout, this);
    m_testFolders = new FolderListBox(u"検証フォルダ"_s, u"TestFolder"_s, m_layout, this);
    m_testFolders->setToolTip(
        u"成績の検証に使うフォルダ: 対象フォルダで選んだグループをここで確かめます (空なら検証なし)"_s);
    m_choices = new BacktestChoicesBox(m_settings, kSection, m_layout, this);
    top->addWidget(m_folders, 1);
    top->addWidget(m_testFolders, 1);
    top->addWidget(m_choices);
    root->addLayout(top);
    connect(m_folders, &FolderListBox::addClicked, this, &BacktestWindow::chooseFolder);
    connect(m_testFolders, &FolderListBox::addClicked, this, [this] {
        // A test season usually lies beside the first.
        m_testFolders->chooseFolder(folders().value(0));
    });

    // Tabs on the same folders: the backtest and its bankroll, and the calibration of the theory.
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(u"tabResult"_s);
    m_results = new BacktestPage(m_layout, m_tabs);
    m_stakePage = new StakePage(m_layout, m_tabs);
    m_calibrationPage = new CalibrationPage(m_settings, kSection, m_layout, m_tabs);
    m_tabs->addTab(m_results, u"成績"_s);
    m_tabs->addTab(m_stakePage, u"資金"_s);
    m_tabs->addTab(m_calibrationPage, u"較正"_s);
    root->addWidget(m_tabs, 1);
    connect(m_results, &BacktestPage::startClicked, this, &BacktestWindow::start);
    connect(m_results, &BacktestPage::cancelClicked, this, &BacktestWindow::cancel);
    connect(m_results, &BacktestPage::saveCsvClicked, this, &BacktestWindow::saveSummaryCsv);
    connect(
        m_results, &BacktestPage::saveRateClicked, this, [this] { saveChart(Chart::ReturnRate); });
    connect(
        m_results, &BacktestPage::saveProfitClicked, this, [this] { saveChart(Chart::Profit); });
    connect(m_stakePage, &StakePage::saveClicked, this, [this] { saveChart(Chart::Bankroll); });
    connect(m_calibrationPage,
            &CalibrationPage::calibrateClicked,
            this,
            &BacktestWindow::startCalibration);
    connect(m_calibrationPage, &CalibrationPage::saveClicked, this, [this] {
        saveChart(Chart::Calibration);
    });

    setMinimumSize(m_layout.px(12000), m_layout.px(9000));
}

QStringList BacktestWindow::folders() const
{
    return m_folders->folders();
}

void BacktestWindow::addFolder(const QString& folder)
{
    m_folders->addFolder(folder);
}

void BacktestWindow::chooseFolder()
{
    m_folders->chooseFolder({});
}

void BacktestWindow::removeSelectedFolders()
{
    m_folders->removeSelectedFolders();
}

QStringList BacktestWindow::testFolders() const
{
    return m_testFolders->folders();
}

void BacktestWindow::addTestFolder(const QString& folder)
{
    m_testFolders->addFolder(folder);
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
    const auto choices = m_choices->checkedChoices(*m_sink);
    if (!choices) {
        return;
    }
    request.testFolders = testFolders();
    choices->applyTo(request);
    // Every worker opens the store anew: what this one still holds is written out first.
    m_settings.sync();
    request.settingsFile = m_settings.iniFile();

    m_report.reset();
    m_results->clearResult();
    m_stakePage->showReport(nullptr);
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

void BacktestWindow::cancel()
{
    if (!m_running) {
        return;
    }
    m_cancel = true;
    m_results->showCancelling();
}

void BacktestWindow::setRunning(bool running)
{
    m_running = running;
    m_results->setRunning(running, m_report.has_value());
    m_stakePage->setRunning(running, m_report.has_value());
    m_choices->setEditable(!running);
    enableFolders();
}

void BacktestWindow::setCalibrating(bool calibrating)
{
    m_calibrating = calibrating;
    m_calibrationPage->setCalibrating(calibrating, m_calibration.has_value());
    enableFolders();
}

void BacktestWindow::enableFolders()
{
    // The list stays as a run found it while either run lasts.
    const bool idle = !m_running && !m_calibrating;
    m_folders->setEditable(idle);
    m_testFolders->setEditable(idle);
}

void BacktestWindow::showProgress(qint64 done, qint64 total)
{
    if (m_running) {
        m_results->showProgress(done, total);
    }
}

void BacktestWindow::finishRun()
{
    BacktestReport report = m_watcher.result();
    // A run asked to stop shows nothing, even one that ended just before it heard.
    const bool stopped = report.cancelled || m_cancel.load();
    if (stopped) {
        setRunning(false);
        m_results->showStopped();
    } else if (!report.ok) {
        setRunning(false);
        const QString skipped = backtestSkippedText(report);
        m_sink->message(skipped.isEmpty() ? report.error : report.error + u"\n\n"_s + skipped,
                        {},
                        MessageIcon::Warning);
    } else {
        m_report = std::move(report);
        setRunning(false);
        m_results->showReport(*m_report);
        m_stakePage->showReport(&*m_report);
    }
    Q_EMIT runFinished();
}

void BacktestWindow::startCalibration()
{
    if (m_calibrating) {
        return;
    }
    CalibrationRequest request;
    request.folders = folders();
    request.testFolders = testFolders();
    if (request.folders.isEmpty()) {
        m_sink->message(u"フォルダを追加してちょ"_s);
        return;
    }
    m_calibration.reset();
    m_calibrationPage->showReport(nullptr);
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
        m_calibrationPage->showReport(&*m_calibration);
    } else {
        setCalibrating(false);
        m_sink->message(report.error, {}, MessageIcon::Warning);
    }
    Q_EMIT calibrationFinished();
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
    QChartView* view = chart == Chart::ReturnRate ? m_results->rateView()
                       : chart == Chart::Profit   ? m_results->profitView()
                       : chart == Chart::Bankroll ? m_stakePage->chart()
                                                  : m_calibrationPage->chart();
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
                         : chart == Chart::Bankroll ? u"資金.png"_s
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
