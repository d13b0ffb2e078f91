// SPDX-License-Identifier: MIT
// The backtest window, offscreen: a run on a generated folder against the core's own report,
// the charts of the chosen row, saving, stopping and a run that fails; a run with test folders
// and its bankroll; the run choices checked and remembered.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBarCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QValueAxis>

#include "gui/backtest_window.h"
#include "gui/main_window.h"
#include "gui_support.h"
#include "race/backtest.h"
#include "race/calibration_run.h"
#include "race_generator.h"
#include "season_generator.h"
#include "settings/model_settings.h"
#include "settings/settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kRunTimeoutMs = 60'000;

struct BacktestGui
{
    TestFolder folder;
    QString pat = folder.filePath(u"pat"_s);
    QString ini = folder.filePath(u"settings.ini"_s);
    SettingsStore settings{ini};
    RecordingMessageSink sink;

    // Ten races; the fourth has no result and is skipped.
    BacktestGui()
    {
        EXPECT_TRUE(QDir().mkpath(pat));
        PatRandom random(31);
        for (int i = 0; i < 10; ++i) {
            QString error;
            EXPECT_TRUE(writeRaceSet(pat, generateRace(random, i, 8 + i, i != 3), &error))
                << qPrintable(error);
        }
        settings.setPatFolder(pat);
    }

    BacktestReport run(const QString& settingsFile) const
    {
        BacktestRequest request;
        request.folders = {pat};
        request.settingsFile = settingsFile;
        return runBacktest(request);
    }
};

QStringList tableRow(const QAbstractItemModel& model, int row)
{
    QStringList texts;
    for (int col = 0; col < model.columnCount(); ++col) {
        texts << model.index(row, col).data().toString();
    }
    return texts;
}

QLineSeries* profitSeries(BacktestWindow& window)
{
    for (QAbstractSeries* s : child<QChartView>(window, u"chtProfit"_s)->chart()->series()) {
        if (s->objectName() == u"serProfit") {
            return qobject_cast<QLineSeries*>(s);
        }
    }
    return nullptr;
}

int rateGroups(BacktestWindow& window)
{
    const QChart* chart = child<QChartView>(window, u"chtReturnRate"_s)->chart();
    const auto* axis = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
    return axis != nullptr ? axis->count() : -1;
}

QScatterSeries* calibrationPoints(BacktestWindow& window, const QString& name)
{
    for (QAbstractSeries* s : child<QChartView>(window, u"chtCalibration"_s)->chart()->series()) {
        if (s->objectName() == name) {
            return qobject_cast<QScatterSeries*>(s);
        }
    }
    return nullptr;
}

// An axis' range in the coordinates of its series.
std::pair<double, double> axisRange(const QAbstractAxis* axis)
{
    if (const auto* log = qobject_cast<const QLogValueAxis*>(axis)) {
        return {log->min(), log->max()};
    }
    const auto* even = qobject_cast<const QValueAxis*>(axis);
    return even != nullptr ? std::pair(even->min(), even->max()) : std::pair(0.0, 0.0);
}

} // namespace

TEST(BacktestWindow, RunShowsTheCoresReportChartsTheChosenRowAndSaves)
{
    BacktestGui f;
    MainWindow main(f.settings, &f.sink);
    auto* open = child<QAction>(main, u"mnuToolBacktest"_s);
    open->trigger();
    BacktestWindow* window = main.backtest();
    ASSERT_NE(window, nullptr);
    open->trigger();
    EXPECT_EQ(main.backtest(), window); // one instance
    EXPECT_EQ(window->objectName(), u"frmBacktest");
    EXPECT_EQ(window->folders(), QStringList{QDir::cleanPath(f.pat)});

    // Level 5 widened to every small deviation, written just before the start: the run must
    // replay with the main window's store as it is now.
    for (const BetType bet : {BetType::Quinella, BetType::Wide}) {
        f.settings.writeInteger16(SettingsKey::DetectMin, bet, 5, 0);
    }
    QSignalSpy finished(window, &BacktestWindow::runFinished);
    child<QPushButton>(*window, u"btnStart"_s)->click();
    EXPECT_TRUE(window->isRunning());
    ASSERT_TRUE(finished.wait(kRunTimeoutMs));
    ASSERT_TRUE(window->report().has_value());
    EXPECT_TRUE(f.sink.messages.empty());

    const BacktestReport reference = f.run(f.ini);
    ASSERT_TRUE(reference.ok) << qPrintable(reference.error);
    const QList<QStringList> rows = backtestSummaryRows(reference, true);
    EXPECT_NE(backtestSummaryRows(f.run(f.folder.filePath(u"defaults.ini"_s)), true), rows);
    auto* table = child<QTableView>(*window, u"grdSummary"_s);
    const QAbstractItemModel& model = *table->model();
    ASSERT_EQ(model.rowCount(), 27);
    // The screen shows the CSV's numbers grouped by thousands ("59,700"), and nothing else.
    const QRegularExpression ungrouped(u"\\d{4}"_s);
    for (int r = 0; r < model.rowCount(); ++r) {
        QStringList shown = tableRow(model, r);
        for (const QString& text : shown) {
            EXPECT_FALSE(ungrouped.match(text.section(u'.', 0, 0)).hasMatch())
                << text.toStdString();
        }
        EXPECT_EQ(shown.replaceInStrings(u","_s, QString()), rows[r + 1]) << r;
    }
    EXPECT_TRUE(tableRow(model, 0).join(u' ').contains(u','));
    saveScreenshot(*window, u"backtest.png"_s);

    // The first row is chosen after a run; the wide "推奨" row charts the wide groups and its
    // own profit, one point per counted race.
    EXPECT_EQ(rateGroups(*window), 13);
    EXPECT_EQ(profitSeries(*window)->count(), static_cast<int>(reference.bets[0].races.size()));
    table->selectRow(26);
    EXPECT_EQ(rateGroups(*window), 14);
    const std::vector<qint64> expected = cumulativeProfit(reference.bets[1].races, 13);
    QLineSeries* profit = profitSeries(*window);
    ASSERT_EQ(profit->count(), static_cast<int>(expected.size()));
    for (int k = 0; k < profit->count(); ++k) {
        EXPECT_EQ(profit->at(k), QPointF(k + 1, static_cast<double>(expected[k]))) << k;
    }

    const QString csv = f.folder.filePath(u"summary.csv"_s);
    ASSERT_TRUE(window->writeSummaryCsv(csv));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), backtestSummaryCsv(reference));
    const QString png = f.folder.filePath(u"rate.png"_s);
    ASSERT_TRUE(window->writeChartPng(BacktestWindow::Chart::ReturnRate, png));
    EXPECT_EQ(QImage(png).size(), child<QChartView>(*window, u"chtReturnRate"_s)->size());
    EXPECT_TRUE(f.sink.messages.empty());

    EXPECT_FALSE(
        window->writeChartPng(BacktestWindow::Chart::Profit, f.folder.filePath(u"no/p.png"_s)));
    ASSERT_EQ(f.sink.messages.size(), 2U);
    EXPECT_TRUE(f.sink.messages[0].text.contains(u"p.png"));
    EXPECT_EQ(f.sink.messages[1].text, u"ファイルの保存に失敗しました。");
}

TEST(BacktestWindow, StopAndAFailedRunLeaveNoResult)
{
    BacktestGui f;
    BacktestWindow window(f.settings, &f.sink, nullptr);
    window.show();
    QSignalSpy finished(&window, &BacktestWindow::runFinished);
    auto* start = child<QPushButton>(window, u"btnStart"_s);
    const auto* progress = child<QProgressBar>(window, u"prgRun"_s);
    const auto* rows = child<QTableView>(window, u"grdSummary"_s)->model();

    start->click();
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(start->isEnabled());
    child<QPushButton>(window, u"btnCancel"_s)->click();
    ASSERT_TRUE(finished.wait(kRunTimeoutMs));
    EXPECT_FALSE(window.isRunning());
    EXPECT_FALSE(window.report().has_value());
    EXPECT_EQ(rows->rowCount(), 0);
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(f.sink.messages.empty());

    // The next run is not stopped by the last one's request.
    start->click();
    ASSERT_TRUE(finished.wait(kRunTimeoutMs));
    EXPECT_TRUE(window.report().has_value());
    EXPECT_EQ(rows->rowCount(), 27);

    // A folder that is gone: the user is told, and the last result is not kept.
    window.addFolder(f.folder.filePath(u"gone"_s));
    start->click();
    ASSERT_TRUE(finished.wait(kRunTimeoutMs));
    EXPECT_FALSE(window.report().has_value());
    EXPECT_EQ(rows->rowCount(), 0);
    ASSERT_EQ(f.sink.messages.size(), 1U);
    EXPECT_TRUE(f.sink.messages[0].text.contains(u"gone"));
}

TEST(BacktestWindow, CalibrationPlotsBothModelsBinByBinForTheChosenBet)
{
    BacktestGui f;
    BacktestWindow window(f.settings, &f.sink, nullptr);
    window.resize(1200, 800);
    QSignalSpy finished(&window, &BacktestWindow::calibrationFinished);
    auto* calibrate = child<QPushButton>(window, u"btnCalibrate"_s);
    calibrate->click();
    EXPECT_TRUE(window.isCalibrating());
    EXPECT_FALSE(calibrate->isEnabled());
    ASSERT_TRUE(finished.wait(kRunTimeoutMs));
    ASSERT_TRUE(window.calibration().has_value());
    EXPECT_TRUE(f.sink.messages.empty());

    const CalibrationReport reference = runCalibration(CalibrationRequest{{f.pat}, {}});
    ASSERT_TRUE(reference.ok) << qPrintable(reference.error);
    EXPECT_EQ(reference.races, 9);
    auto* bet = child<QComboBox>(window, u"cmbCalibrationBet"_s);
    for (const int index : {0, 1}) {
        bet->setCurrentIndex(index);
        const BetType chosen = index == 0 ? BetType::Quinella : BetType::Wide;
        for (const CalibrationTable& table : reference.tables) {
            if (table.bet != chosen || table.test) {
                continue;
            }
            QList<QPointF> expected;
            for (const CalibrationBin& bin : table.bins) {
                if (bin.pairs > 0) {
                    expected << QPointF(*bin.predicted, *bin.observed);
                }
            }
            const QString series[] = {u"serCalibrationHarville"_s,
                                      u"serCalibrationFit"_s,
                                      u"serCalibrationPool"_s,
                                      u"serCalibrationBlend"_s};
            const QScatterSeries* points
                = calibrationPoints(window, series[static_cast<int>(table.model)]);
            ASSERT_NE(points, nullptr);
            EXPECT_GT(expected.size(), 0);
            EXPECT_EQ(points->points(), expected) << index << static_cast<int>(table.model);
        }
        // The scoreboard shows the report's own rows for the bet type.
        const auto* scores = child<QTableView>(window, u"tblCalibrationScores"_s);
        const QList<QStringList> rows = scoreboardRows(reference, chosen);
        ASSERT_EQ(scores->model()->rowCount(), rows.size() - 1);
        EXPECT_EQ(scores->model()->index(3, 2).data().toString(), rows[4][2]);
    }
    // 保存 stores the fitted parameters and weights as the theory's settings.
    child<QPushButton>(window, u"btnSaveCalibrationModel"_s)->click();
    const ModelSettings saved = ModelSettings::read(f.settings);
    EXPECT_EQ(saved.kind, TheoryModel::Discounted);
    EXPECT_EQ(saved.lambda, reference.fit.lambda);
    EXPECT_EQ(saved.quinellaWeights[1], reference.scoreboards[0].blend.weights[PoolSource]);
    EXPECT_TRUE(child<QLabel>(window, u"lblCalibration"_s)
                    ->text()
                    .startsWith(u"λ=%1 (SE %2)"_s.arg(reference.fit.lambda, 0, 'f', 3)
                                    .arg(reference.fit.lambdaSe, 0, 'f', 3)));
    // On the log and logit scales every bin lies within the axes, the diagonal still joins their
    // corners, and a bar that would reach 0 or below ends at the axis minimum. The scale chosen
    // is the one a new window shows.
    auto* scale = child<QComboBox>(window, u"cmbCalibrationScale"_s);
    const int points = calibrationPoints(window, u"serCalibrationFit"_s)->count();
    child<QTabWidget>(window, u"tabResult"_s)
        ->setCurrentWidget(child<QWidget>(window, u"pagCalibration"_s));
    for (const int index : {1, 2}) {
        scale->setCurrentIndex(index);
        const QChart* chart = child<QChartView>(window, u"chtCalibration"_s)->chart();
        if (!qEnvironmentVariableIsEmpty("MIKAZUKI_SCREENSHOT_DIR")) {
            QApplication::processEvents(); // the chart lays out its new axes
            saveScreenshot(window, u"backtest-calibration-%1.png"_s.arg(scale->currentText()));
        }
        const auto [xMin, xMax] = axisRange(chart->axes(Qt::Horizontal).value(0));
        const auto [yMin, yMax] = axisRange(chart->axes(Qt::Vertical).value(0));
        EXPECT_EQ(std::pair(xMin, xMax), std::pair(yMin, yMax)) << index;
        EXPECT_LT(xMin, xMax) << index;
        EXPECT_EQ(calibrationPoints(window, u"serCalibrationFit"_s)->count(), points) << index;
        for (const QAbstractSeries* s : chart->series()) {
            const auto* line = qobject_cast<const QXYSeries*>(s);
            ASSERT_NE(line, nullptr);
            if (s->name() == u"理論値どおり") {
                EXPECT_EQ(line->points(), (QList<QPointF>{{xMin, yMin}, {xMax, yMax}})) << index;
                continue;
            }
            for (const QPointF& p : line->points()) {
                EXPECT_GE(p.y(), yMin) << index;
                EXPECT_LE(p.y(), yMax) << index;
                if (qobject_cast<const QScatterSeries*>(s) != nullptr) {
                    EXPECT_GT(p.x(), xMin) << index;
                    EXPECT_LT(p.x(), xMax) << index;
                }
            }
        }
    }
    {
        BacktestWindow again(f.settings, &f.sink, nullptr);
        EXPECT_EQ(child<QComboBox>(again, u"cmbCalibrationScale"_s)->currentIndex(), 2);
    }
    scale->setCurrentIndex(0);
    saveScreenshot(window, u"backtest-calibration.png"_s);
    const QString png = f.folder.filePath(u"calibration.png"_s);
    ASSERT_TRUE(window.writeChartPng(BacktestWindow::Chart::Calibration, png));
    EXPECT_EQ(QImage(png).size(), child<QChartView>(window, u"chtCalibration"_s)->size());

    // A folder that is gone: the user is told, and the plot is emptied.
    window.addFolder(f.folder.filePath(u"gone"_s));
    calibrate->click();
    ASSERT_TRUE(finished.wait(kRunTimeoutMs));
    EXPECT_FALSE(window.calibration().has_value());
    EXPECT_EQ(calibrationPoints(window, u"serCalibrationFit"_s), nullptr);
    ASSERT_EQ(f.sink.messages.size(), 1U);
    EXPECT_TRUE(calibrate->isEnabled());
}

namespace {

// A text as the screen shows it, less the commas that group thousands ("2,000" but not "4.5, 20").
QString ungrouped(QString text)
{
    static const QRegularExpression grouping(u"(?<=\\d),(?=\\d{3})"_s);
    return text.remove(grouping);
}

QLineSeries* series(BacktestWindow& window, const QString& chart, const QString& name)
{
    for (QAbstractSeries* s : child<QChartView>(window, chart)->chart()->series()) {
        if (s->objectName() == name) {
            return qobject_cast<QLineSeries*>(s);
        }
    }
    return nullptr;
}

} // namespace

TEST(BacktestWindow, TestFoldersShowTheirColumnsTheChoiceAndTheBankroll)
{
    TestFolder folder;
    SeasonOptions options;
    options.days = 8;
    options.wideLongshotFactor = 1.6; // an edge for the choice to find
    QString error;
    for (const int seed : {21, 22}) {
        options.seed = static_cast<quint64>(seed);
        ASSERT_TRUE(writeSeason(folder.filePath(QString::number(seed)), options, &error))
            << qPrintable(error);
    }
    SettingsStore settings(folder.filePath(u"settings.ini"_s));
    settings.setPatFolder(folder.filePath(u"21"_s));
    RecordingMessageSink sink;
    BacktestWindow window(settings, &sink, nullptr);
    window.resize(1200, 800);
    window.addTestFolder(folder.filePath(u"22"_s));
    QSignalSpy finished(&window, &BacktestWindow::runFinished);
    child<QPushButton>(window, u"btnStart"_s)->click();
    ASSERT_TRUE(finished.wait(kRunTimeoutMs));
    ASSERT_TRUE(window.report().has_value())
        << (sink.messages.empty() ? std::string() : sink.messages[0].text.toStdString());

    BacktestRequest request;
    request.folders = window.folders();
    request.testFolders = window.testFolders();
    request.settingsFile = settings.iniFile();
    const BacktestReport reference = runBacktest(request);
    ASSERT_TRUE(reference.ok && reference.tested) << qPrintable(reference.error);
    const QList<QStringList> rows = backtestSummaryRows(reference, true);
    const QAbstractItemModel& model = *child<QTableView>(window, u"grdSummary"_s)->model();
    ASSERT_EQ(model.columnCount(), rows[0].size());
    EXPECT_EQ(model.headerData(rows[0].size() - 1, Qt::Horizontal).toString(), u"検証超過上限");
    for (int r = 0; r < model.rowCount(); ++r) {
        EXPECT_EQ(tableRow(model, r).replaceInStrings(u","_s, QString()), rows[r + 1]) << r;
    }
    const auto* spa = child<QLabel>(window, u"lblSpa"_s);
    const auto* choice = child<QLabel>(window, u"lblChoice"_s);
    EXPECT_EQ(ungrouped(spa->text()), backtestSpaText(reference));
    EXPECT_TRUE(spa->text().contains(u"2,000回")) << spa->text().toStdString();
    EXPECT_TRUE(choice->isVisibleTo(&window));
    EXPECT_EQ(ungrouped(choice->text()), backtestChoiceText(reference));
    saveScreenshot(window, u"backtest-tested.png"_s);

    // The first row's bet type: each group's baseline beside its rate, and the excess interval
    // of every group that has one.
    const QChart* rates = child<QChartView>(window, u"chtReturnRate"_s)->chart();
    QList<double> baselines;
    int intervals = 0;
    for (const GroupSummary& line : reference.bets[0].lines) {
        if (line.baselineRate) {
            baselines << static_cast<double>(*line.baselineRate) / 10.0;
        }
        intervals += line.excessLower ? 1 : 0;
    }
    QList<double> shown;
    int whiskers = 0;
    for (const QAbstractSeries* s : rates->series()) {
        if (s->objectName() == u"serBaseline" && s->name() == u"基準回収率") {
            for (const QPointF& p : qobject_cast<const QXYSeries*>(s)->points()) {
                shown << p.y();
            }
        }
        whiskers += s->objectName() == u"serExcessBounds" ? 1 : 0;
    }
    EXPECT_EQ(shown, baselines);
    EXPECT_GT(intervals, 0);
    EXPECT_EQ(whiskers, intervals);

    // The bankroll after every counted race of each bet type, ending where the staking did.
    child<QTabWidget>(window, u"tabResult"_s)
        ->setCurrentWidget(child<QWidget>(window, u"pagStake"_s));
    for (int b = 0; b < 2; ++b) {
        const BacktestBetResult& result = reference.bets[static_cast<std::size_t>(b)];
        const QLineSeries* curve = series(window, u"chtBankroll"_s, u"serBankroll_%1"_s.arg(b));
        ASSERT_NE(curve, nullptr);
        ASSERT_EQ(curve->count(), static_cast<int>(result.races.size())) << b;
        EXPECT_EQ(curve->at(curve->count() - 1),
                  QPointF(curve->count(), static_cast<double>(result.staking.finalBankroll)))
            << b;
        EXPECT_NE(result.staking.finalBankroll, reference.bankroll) << b;
    }
    const QAbstractItemModel& stakes = *child<QTableView>(window, u"grdStake"_s)->model();
    ASSERT_EQ(stakes.rowCount(), 2);
    EXPECT_EQ(tableRow(stakes, 1).replaceInStrings(u","_s, QString()),
              backtestStakeRows(reference)[2]);
    saveScreenshot(window, u"backtest-stake.png"_s);
    const QString png = folder.filePath(u"bankroll.png"_s);
    ASSERT_TRUE(window.writeChartPng(BacktestWindow::Chart::Bankroll, png));
    EXPECT_EQ(QImage(png).size(), child<QChartView>(window, u"chtBankroll"_s)->size());
}

TEST(BacktestWindow, RunChoicesAreCheckedRememberedAndRunWith)
{
    BacktestGui f;
    {
        BacktestWindow window(f.settings, &f.sink, nullptr);
        auto* start = child<QPushButton>(window, u"btnStart"_s);
        auto* stake = child<QComboBox>(window, u"cmbStake"_s);
        auto* fraction = child<QLineEdit>(window, u"txtKellyFraction"_s);
        auto* bankroll = child<QLineEdit>(window, u"txtBankroll"_s);
        EXPECT_EQ(bankroll->text(), u"100,000");
        EXPECT_FALSE(fraction->isEnabled()); // flat stakes have no fraction
        child<QComboBox>(window, u"cmbResample"_s)->setCurrentIndex(1);
        stake->setCurrentIndex(1);
        EXPECT_TRUE(fraction->isEnabled());
        fraction->setText(u"0.25"_s);
        bankroll->setText(u"50,000"_s);
        QSignalSpy finished(&window, &BacktestWindow::runFinished);
        start->click();
        ASSERT_TRUE(finished.wait(kRunTimeoutMs));
        ASSERT_TRUE(window.report().has_value());
        EXPECT_EQ(window.report()->resample, ResampleUnit::Race);
        EXPECT_EQ(window.report()->stake, StakeRule::Kelly);
        EXPECT_EQ(window.report()->kellyFraction, 0.25);
        EXPECT_EQ(window.report()->bankroll, 50000);

        // Each field out of range or no number: refused with a message, nothing runs, and a new
        // window starts from the last value that passed.
        const std::pair<QLineEdit*, QString> refused[] = {
            {fraction, u"1.5"_s}, {fraction, u"0"_s}, {bankroll, u"99"_s}, {bankroll, u"1.5万"_s}};
        for (const auto& [edit, text] : refused) {
            edit->setText(text);
            start->click();
            EXPECT_FALSE(window.isRunning()) << text.toStdString();
            if (edit == fraction) {
                fraction->setText(u"0.25"_s);
            }
        }
        ASSERT_EQ(f.sink.messages.size(), 4U);
        EXPECT_EQ(f.sink.messages[0].icon, MessageIcon::Warning);
    }
    BacktestWindow again(f.settings, &f.sink, nullptr);
    EXPECT_EQ(child<QComboBox>(again, u"cmbResample"_s)->currentIndex(), 1);
    EXPECT_EQ(child<QComboBox>(again, u"cmbStake"_s)->currentIndex(), 1);
    EXPECT_EQ(child<QLineEdit>(again, u"txtKellyFraction"_s)->text(), u"0.25");
    EXPECT_EQ(child<QLineEdit>(again, u"txtBankroll"_s)->text(), u"50,000");
}
