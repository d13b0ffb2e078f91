// SPDX-License-Identifier: MIT
#include "calibration_page.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/calibration_chart.h"
#include "gui/summary_table.h"
#include "gui/twips_layout.h"
#include "race/calibration_run.h"
#include "settings/model_settings.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

const QString kScaleKey = u"CalibrationScale"_s;

constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;

} // namespace

CalibrationPage::CalibrationPage(SettingsStore& settings,
                                 const QString& section,
                                 const TwipsLayout& layout,
                                 QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_section(section)
{
    setObjectName(u"pagCalibration"_s);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(layout.px(90), layout.px(90), layout.px(90), layout.px(90));
    page->setSpacing(layout.px(90));

    auto* row = new QHBoxLayout;
    m_calibrate = new QPushButton(u"較正"_s, this);
    m_calibrate->setObjectName(u"btnCalibrate"_s);
    m_calibrate->setMinimumSize(layout.px(kButtonWidth), layout.px(kButtonHeight));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(u"prgCalibration"_s);
    m_progress->setRange(0, 0); // the calibration tells no progress
    m_fit = new QLabel(this);
    m_fit->setObjectName(u"lblCalibration"_s);
    m_bet = new QComboBox(this);
    m_bet->setObjectName(u"cmbCalibrationBet"_s);
    m_bet->addItems({betName(BetType::Quinella), betName(BetType::Wide)});
    m_scale = new QComboBox(this);
    m_scale->setObjectName(u"cmbCalibrationScale"_s);
    // In the order of CalibrationChart::Scale.
    m_scale->addItems({u"線形"_s, u"対数"_s, u"ロジット"_s});
    m_scale->setToolTip(u"目盛り: 対数・ロジットでは低い的中率の点も離れて見えます"_s);
    const int stored = m_settings.readText(m_section, kScaleKey, u"0"_s).toInt();
    m_scale->setCurrentIndex(
        stored >= 0 && stored < static_cast<int>(CalibrationChart::Scale::ScaleCount) ? stored : 0);
    m_save = new QPushButton(u"較正の図を保存..."_s, this);
    m_save->setObjectName(u"btnSaveCalibrationChart"_s);
    m_save->setMinimumSize(layout.px(kButtonWidth), layout.px(kButtonHeight));
    row->addWidget(m_calibrate);
    row->addWidget(m_bet);
    row->addWidget(m_scale);
    row->addWidget(m_progress, 1);
    row->addWidget(m_fit, 1);
    m_saveModel = new QPushButton(u"モデルを保存"_s, this);
    m_saveModel->setObjectName(u"btnSaveCalibrationModel"_s);
    m_saveModel->setMinimumSize(layout.px(kButtonWidth), layout.px(kButtonHeight));
    m_saveModel->setToolTip(u"λ・τと市場合成の重みを理論値モデルの設定に保存します"_s);
    row->addWidget(m_saveModel);
    row->addWidget(m_save);
    page->addLayout(row);
    connect(m_saveModel, &QPushButton::clicked, this, &CalibrationPage::saveModel);

    m_scores = new SummaryTable(u"tblCalibrationScores"_s, 2, layout, this);
    m_scores->setFixedHeight(m_scores->heightFor(kScoredModels));
    page->addWidget(m_scores);
    m_comparison = new QLabel(this);
    m_comparison->setObjectName(u"lblCalibrationComparison"_s);
    page->addWidget(m_comparison);
    connect(m_calibrate, &QPushButton::clicked, this, &CalibrationPage::calibrateClicked);
    connect(m_save, &QPushButton::clicked, this, &CalibrationPage::saveClicked);
    connect(m_bet, &QComboBox::currentIndexChanged, this, &CalibrationPage::replot);
    connect(m_scale, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_settings.writeText(m_section, kScaleKey, QString::number(index));
        replot();
    });

    m_chart = new CalibrationChart(layout, this);
    page->addWidget(m_chart, 1);
}

void CalibrationPage::setCalibrating(bool calibrating, bool hasReport)
{
    m_calibrate->setEnabled(!calibrating);
    m_progress->setVisible(calibrating);
    m_fit->setVisible(!calibrating);
    m_save->setEnabled(!calibrating && hasReport);
    m_saveModel->setEnabled(!calibrating && hasReport);
}

void CalibrationPage::saveModel()
{
    if (m_report == nullptr) {
        return;
    }
    ModelSettings model = ModelSettings::read(m_settings);
    saveFittedModel(*m_report, model);
    model.write(m_settings);
    m_settings.sync();
}

void CalibrationPage::showReport(const CalibrationReport* report)
{
    m_report = report;
    replot();
    showFit();
}

void CalibrationPage::replot()
{
    const BetType bet = m_bet->currentIndex() == 1 ? BetType::Wide : BetType::Quinella;
    m_chart->plot(m_report, bet, static_cast<CalibrationChart::Scale>(m_scale->currentIndex()));
    m_scores->showRows(m_report != nullptr ? scoreboardRows(*m_report, bet)
                                           : QList<QStringList>{scoreboardHeadings()});
    m_scores->setFixedHeight(m_scores->heightFor(kScoredModels)); // the headings are in now
    m_comparison->setText(m_report != nullptr ? blendComparisonLine(*m_report, bet) : QString());
}

void CalibrationPage::showFit()
{
    if (m_report == nullptr) {
        m_fit->clear();
        m_fit->setToolTip({});
        return;
    }
    const CalibrationReport& report = *m_report;
    const DiscountFit& fit = report.fit;
    const QLocale locale(QLocale::Japanese);
    QString text = u"λ=%1 (SE %2)　τ=%3 (SE %4)　%5ﾚｰｽ"_s.arg(fit.lambda, 0, 'f', 3)
                       .arg(fit.lambdaSe, 0, 'f', 3)
                       .arg(fit.tau, 0, 'f', 3)
                       .arg(fit.tauSe, 0, 'f', 3)
                       .arg(locale.toString(report.races));
    QStringList skipped;
    qint64 skippedRaces = 0;
    for (const auto& [cause, count] : report.skipped) {
        skipped << u"除外 %1: %2ﾚｰｽ"_s.arg(cause, locale.toString(count));
        skippedRaces += count;
    }
    if (skippedRaces > 0) {
        text += u" (除外%1件)"_s.arg(locale.toString(skippedRaces));
    }
    m_fit->setText(text);
    skipped.prepend(u"対数尤度 Harville %1 → 割引Harville %2"_s.arg(fit.logLikHarville, 0, 'f', 1)
                        .arg(fit.logLikFit, 0, 'f', 1));
    m_fit->setToolTip(skipped.join(u'\n'));
}
