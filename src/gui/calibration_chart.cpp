// SPDX-License-Identifier: MIT
#include "calibration_chart.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <span>

#include <QCategoryAxis>
#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QScatterSeries>
#include <QValueAxis>

#include "gui/twips_layout.h"
#include "race/calibration_run.h"

using namespace Qt::StringLiterals;

namespace {

using Scale = CalibrationChart::Scale;

// A calibration table of the fit races: the bet type under one model.
const CalibrationTable* fitTable(const CalibrationReport& report, BetType bet, ScoredModel model)
{
    for (const CalibrationTable& table : report.tables) {
        if (table.bet == bet && table.model == model && !table.test) {
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

double logit(double p)
{
    return std::log(p / (1.0 - p));
}

// Where a chance lies on the scale, in the units in which the scale is even (u), and where that
// is in the series' coordinates: the log axis takes chances and spaces them itself; the logit
// scale is drawn on an even axis in logit units.
struct Mapping
{
    Scale scale = Scale::Linear;
    double uMin = 0.0;
    double uMax = 1.0;
    int ticks = 6; // of the linear axes

    double u(double p) const
    {
        return scale == Scale::Linear ? p : scale == Scale::Log ? std::log10(p) : logit(p);
    }
    double series(double u) const { return scale == Scale::Log ? std::pow(10.0, u) : u; }
    // A chance the scale cannot show sits at the axis' end.
    bool shows(double p) const
    {
        return scale == Scale::Linear || (p > 0.0 && (scale == Scale::Log || p < 1.0));
    }
    double point(double p) const
    {
        if (!shows(p)) {
            return series(p <= 0.0 ? uMin : uMax);
        }
        return series(u(p));
    }
    // A bar's end: also kept within the axes on the log and logit scales.
    double barEnd(double p) const
    {
        if (scale == Scale::Linear) {
            return p;
        }
        return shows(p) ? series(std::clamp(u(p), uMin, uMax)) : point(p);
    }
};

// The even-scale range of the chances shown: what every point needs, with a little room.
Mapping mappingFor(Scale scale, double low, double high)
{
    Mapping m{scale};
    if (scale == Scale::Log) {
        // Whole decades: the log axis labels its powers of ten.
        m.uMin = std::floor(std::log10(low));
        m.uMax = std::max(std::ceil(std::log10(high)), m.uMin + 1.0);
    } else if (scale == Scale::Logit) {
        const double span = logit(high) - logit(low);
        const double room = std::max(span * 0.05, 0.1);
        m.uMin = logit(low) - room;
        m.uMax = logit(high) + room;
    }
    return m;
}

// The chances labelled on the logit scale.
constexpr double kLogitTicks[]
    = {0.0001, 0.0002, 0.0005, 0.001, 0.002, 0.005, 0.01, 0.02, 0.05,  0.1,   0.2,
       0.3,    0.5,    0.7,    0.8,   0.9,   0.95,  0.98, 0.99, 0.995, 0.998, 0.999};

} // namespace

CalibrationChart::CalibrationChart(const TwipsLayout& layout, QWidget* parent)
    : QChartView(parent)
    , m_layout(layout)
{
    setObjectName(u"chtCalibration"_s);
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(layout.px(3600), layout.px(3600));
    freshChart();
}

QChart* CalibrationChart::freshChart()
{
    // Axes replaced on a chart leave their drawing behind (Qt Charts 6.4): every plot gets a
    // chart of its own.
    auto* chart = new QChart;
    chart->setTitleFont(font());
    const int margin = m_layout.px(60);
    chart->setMargins(QMargins(margin, margin, margin, margin));
    chart->legend()->show();
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(font());
    QChart* old = this->chart();
    setChart(chart);
    delete old;
    return chart;
}

namespace {

// The linear range rounded to nice numbers, for both axes alike.
void roundLinear(Mapping& m)
{
    QValueAxis even;
    even.setRange(m.uMin, m.uMax);
    even.setTickCount(m.ticks);
    even.applyNiceNumbers();
    m.uMin = even.min();
    m.uMax = even.max();
    m.ticks = even.tickCount();
}

// One axis of the scale over the range of `m`.
QAbstractAxis* makeAxis(const Mapping& m, const QString& title, const QFont& font)
{
    QAbstractAxis* axis = nullptr;
    if (m.scale == Scale::Linear) {
        auto* even = new QValueAxis;
        even->setLabelFormat(u"%.3f"_s);
        even->setRange(m.uMin, m.uMax);
        even->setTickCount(m.ticks);
        axis = even;
    } else if (m.scale == Scale::Log) {
        auto* log = new QLogValueAxis;
        log->setBase(10.0);
        log->setLabelFormat(u"%g"_s);
        log->setMinorTickCount(8);
        log->setRange(m.series(m.uMin), m.series(m.uMax));
        axis = log;
    } else {
        // Even in logit units, labelled with the chances.
        auto* ticks = new QCategoryAxis;
        ticks->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        ticks->setStartValue(m.uMin);
        for (const double p : kLogitTicks) {
            if (logit(p) >= m.uMin && logit(p) <= m.uMax) {
                ticks->append(QString::number(p, 'g'), logit(p));
            }
        }
        ticks->setRange(m.uMin, m.uMax);
        axis = ticks;
    }
    axis->setTitleText(title);
    axis->setLabelsFont(font);
    axis->setTitleFont(font);
    return axis;
}

struct Model
{
    const CalibrationTable* table;
    QString name;
    QString objectName;
    QColor colour;
    QScatterSeries::MarkerShape shape;
    bool hollow; // where the two models agree, the other's point shows through
};

// The legend names the models and the diagonal, not every whisker; a hollow point's marker
// takes the point's outline.
void tidyLegend(QChart& chart, const QAbstractSeries* diagonal)
{
    for (QAbstractSeries* s : chart.series()) {
        for (QLegendMarker* marker : chart.legend()->markers(s)) {
            if (s != diagonal && s->type() == QAbstractSeries::SeriesTypeLine) {
                marker->setVisible(false);
            }
            if (const auto* scatter = qobject_cast<QScatterSeries*>(s)) {
                marker->setPen(scatter->pen());
            }
        }
    }
}

// Both axes share one range, so that the diagonal is where the two agree. The linear scale
// starts at 0; the others from the smallest chance they can show.
Mapping mappingOf(std::span<const Model> models, Scale scale)
{
    double top = 0.0;
    double low = 1.0;
    double high = 0.0;
    for (const Model& model : models) {
        for (const CalibrationBin& bin : plottedBins(model.table)) {
            top = std::max({top, *bin.predicted, *bin.observed});
            for (const double p : {*bin.predicted, *bin.observed}) {
                if (p > 0.0 && p < 1.0) {
                    low = std::min(low, p);
                    high = std::max(high, p);
                }
            }
        }
    }
    if (scale == Scale::Linear || high <= 0.0) { // nothing the other scales could place
        Mapping m{Scale::Linear, 0.0, top > 0.0 ? top * 1.05 : 1.0};
        roundLinear(m);
        return m;
    }
    return mappingFor(scale, low, high);
}

// A model's points, and its bars into `whiskers`.
QScatterSeries* plotModel(const Model& model,
                          const Mapping& m,
                          int markerSize,
                          std::vector<QAbstractSeries*>& whiskers)
{
    const double cap = (m.uMax - m.uMin) * 0.006;
    auto* scatter = new QScatterSeries;
    scatter->setObjectName(model.objectName);
    scatter->setName(model.name);
    scatter->setMarkerShape(model.shape);
    scatter->setMarkerSize(markerSize);
    scatter->setPen(QPen(model.colour, model.hollow ? 2.0 : 1.0));
    scatter->setBrush(model.hollow ? QBrush(Qt::NoBrush) : QBrush(model.colour));
    for (const CalibrationBin& bin : plottedBins(model.table)) {
        const double x = m.point(*bin.predicted);
        const double u = m.u(*bin.predicted);
        const double left = m.series(u - cap);
        const double right = m.series(u + cap);
        const double spread = twoStandardErrors(bin);
        const double lower = m.barEnd(*bin.observed - spread);
        const double upper = m.barEnd(*bin.observed + spread);
        scatter->append(x, m.point(*bin.observed));
        auto* whisker = new QLineSeries;
        whisker->setPen(QPen(model.colour, 1.2));
        whisker->append(
            {{left, lower}, {right, lower}, {x, lower}, {x, upper}, {left, upper}, {right, upper}});
        whiskers.push_back(whisker);
    }
    return scatter;
}

} // namespace

void CalibrationChart::plot(const CalibrationReport* report, BetType bet, Scale scale)
{
    QChart* chart = freshChart();
    if (report == nullptr) {
        return;
    }
    const DiscountFit& fit = report->fit;
    const Model models[] = {
        {fitTable(*report, bet, ScoredModel::Harville),
         u"Harville"_s,
         u"serCalibrationHarville"_s,
         QColor(0x1f, 0x5f, 0xa8),
         QScatterSeries::MarkerShapeCircle,
         false},
        {fitTable(*report, bet, ScoredModel::Discount),
         u"割引Harville λ=%1 τ=%2"_s.arg(fit.lambda, 0, 'f', 3).arg(fit.tau, 0, 'f', 3),
         u"serCalibrationFit"_s,
         QColor(0xd9, 0x5f, 0x0e),
         QScatterSeries::MarkerShapeRectangle,
         true},
        {fitTable(*report, bet, ScoredModel::Pool),
         u"%1の売上"_s.arg(betName(bet)),
         u"serCalibrationPool"_s,
         QColor(0x2c, 0x8c, 0x3c),
         QScatterSeries::MarkerShapeTriangle,
         true},
        {fitTable(*report, bet, ScoredModel::Blend),
         u"市場合成"_s,
         u"serCalibrationBlend"_s,
         QColor(0x8e, 0x3c, 0xa8),
         QScatterSeries::MarkerShapeStar,
         true},
    };
    const Mapping m = mappingOf(models, scale);
    QAbstractAxis* predicted = makeAxis(m, u"理論上の的中率"_s, font());
    QAbstractAxis* observed = makeAxis(m, u"実際の的中率"_s, font());
    chart->addAxis(predicted, Qt::AlignBottom);
    chart->addAxis(observed, Qt::AlignLeft);

    std::vector<QAbstractSeries*> whiskers;
    std::vector<QAbstractSeries*> points;
    for (const Model& model : models) {
        points.push_back(plotModel(model, m, m_layout.px(105), whiskers));
    }
    auto* diagonal = new QLineSeries;
    diagonal->setName(u"理論値どおり"_s);
    diagonal->setPen(QPen(Qt::gray, 1, Qt::DashLine));
    diagonal->append({{m.series(m.uMin), m.series(m.uMin)}, {m.series(m.uMax), m.series(m.uMax)}});
    whiskers.insert(whiskers.begin(), diagonal);
    for (const std::vector<QAbstractSeries*>& group : {whiskers, points}) {
        for (QAbstractSeries* s : group) {
            chart->addSeries(s);
            s->attachAxis(predicted);
            s->attachAxis(observed);
        }
    }
    tidyLegend(*chart, diagonal);
    chart->setTitle(u"%1 実際の的中率と理論上の的中率 (縦線は±2SE)"_s.arg(betName(bet)));
}
