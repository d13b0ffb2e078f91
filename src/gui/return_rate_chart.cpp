// SPDX-License-Identifier: MIT
#include "return_rate_chart.h"

#include <algorithm>

#include <QBarCategoryAxis>
#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include "analysis/group_rates.h"
#include "gui/twips_layout.h"

using namespace Qt::StringLiterals;

namespace {

// Where a group's rate and its baseline stand either side of the group's middle, and the half
// width of a whisker's caps, in groups.
constexpr double kBeside = 0.18;
constexpr double kCapHalfWidth = 0.12;

const QColor kRateColour(0x1f, 0x5f, 0xa8);
const QColor kBaselineColour(0xd0, 0x70, 0x10);

// One polyline: the lower cap, the whisker, the upper cap.
QLineSeries* whisker(double x, double lower, double upper, const QColor& colour)
{
    auto* line = new QLineSeries;
    line->setPen(QPen(colour, 1.5));
    line->append({{x - kCapHalfWidth, lower},
                  {x + kCapHalfWidth, lower},
                  {x, lower},
                  {x, upper},
                  {x - kCapHalfWidth, upper},
                  {x + kCapHalfWidth, upper}});
    return line;
}

QScatterSeries* points(const QString& name, const QColor& colour, double size)
{
    auto* s = new QScatterSeries;
    s->setName(name);
    s->setMarkerSize(size);
    s->setColor(colour);
    s->setBorderColor(colour);
    return s;
}

} // namespace

ReturnRateChart::ReturnRateChart(const TwipsLayout& layout, QWidget* parent)
    : ChartView(u"chtReturnRate"_s, layout, parent)
    , m_layout(layout)
{
    QChart* c = chart();
    c->legend()->setFont(parent->font());
    c->legend()->setAlignment(Qt::AlignTop);
    c->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    c->legend()->show();
    m_groups = new QBarCategoryAxis(this);
    m_groups->setLabelsAngle(-90); // the deviation bands' names are wider than a group
    // A point smaller: a standing name's line must fit the width of its group.
    QFont groupFont = parent->font();
    groupFont.setPointSize(groupFont.pointSize() - 1);
    m_groups->setLabelsFont(groupFont);
    m_rates = new QValueAxis(this);
    m_rates->setTitleText(u"回収率(%)"_s);
    m_rates->setLabelFormat(u"%d"_s);
    m_rates->setLabelsFont(parent->font());
    m_rates->setTitleFont(parent->font());
    c->addAxis(m_groups, Qt::AlignBottom);
    c->addAxis(m_rates, Qt::AlignLeft);
    clear();
}

void ReturnRateChart::clear()
{
    chart()->removeAllSeries();
    chart()->setTitle({});
    m_groups->clear();
    // Axes without anything on them would only show made-up numbers.
    m_groups->setVisible(false);
    m_rates->setVisible(false);
}

void ReturnRateChart::plot(const BacktestReport& report, BetType bet)
{
    QChart* c = chart();
    c->removeAllSeries();
    const std::vector<GroupSummary>& lines = report.bets[betIndex(bet)].lines;
    const int groups = std::min(backtestGroupCount(bet), static_cast<int>(lines.size()));
    QStringList names;
    for (int g = 0; g < backtestGroupCount(bet); ++g) {
        // Axis labels are rich text: "D<-50" would start a tag.
        names << backtestGroupName(g).toHtmlEscaped();
    }
    m_groups->setCategories(names);
    m_groups->setVisible(true);
    m_rates->setVisible(true);

    auto* rates = points(u"回収率"_s, kRateColour, m_layout.px(120));
    rates->setObjectName(u"serReturnRate"_s);
    auto* baselines = points(u"基準回収率"_s, kBaselineColour, m_layout.px(105));
    baselines->setObjectName(u"serBaseline"_s);
    // Hollow, so that the excess interval drawn through it shows where it starts.
    baselines->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    baselines->setColor(Qt::transparent);
    baselines->setPen(QPen(kBaselineColour, 2));
    std::vector<QLineSeries*> rateBounds;
    std::vector<QLineSeries*> excessBounds;
    double highest = 100;
    double highestUpper = 0;
    for (int g = 0; g < groups; ++g) {
        const GroupRates r = groupRates(lines[static_cast<std::size_t>(g)]);
        const auto x = static_cast<double>(g);
        if (r.rate) {
            rates->append(x - kBeside, *r.rate);
            highest = std::max(highest, *r.rate);
        }
        if (r.rateLower && r.rateUpper) {
            rateBounds.push_back(whisker(x - kBeside, *r.rateLower, *r.rateUpper, kRateColour));
            highestUpper = std::max(highestUpper, *r.rateUpper);
        }
        if (r.baseline) {
            baselines->append(x + kBeside, *r.baseline);
            highest = std::max(highest, *r.baseline);
        }
        if (r.excessLower && r.excessUpper) {
            auto* line = whisker(x + kBeside, *r.excessLower, *r.excessUpper, kBaselineColour);
            line->setObjectName(u"serExcessBounds"_s);
            excessBounds.push_back(line);
            highestUpper = std::max(highestUpper, *r.excessUpper);
        }
    }
    // Where the bets would break even.
    auto* even = new QLineSeries;
    even->setPen(QPen(Qt::red, 1, Qt::DashLine));
    even->append({{-0.5, 100}, {static_cast<double>(backtestGroupCount(bet)) - 0.5, 100}});

    // Each whisker over its points; the legend names the points and one whisker of each kind,
    // which stands for the rest.
    const auto add = [&](QAbstractSeries* s, bool named) {
        c->addSeries(s);
        s->attachAxis(m_groups);
        s->attachAxis(m_rates);
        for (QLegendMarker* marker : c->legend()->markers(s)) {
            marker->setVisible(named);
        }
    };
    add(even, false);
    for (std::size_t k = 0; k < rateBounds.size(); ++k) {
        rateBounds[k]->setName(u"回収率の95%区間"_s);
        add(rateBounds[k], k == 0);
    }
    add(rates, true);
    for (std::size_t k = 0; k < excessBounds.size(); ++k) {
        excessBounds[k]->setName(u"超過の95%区間 (基準から)"_s);
        add(excessBounds[k], k == 0);
    }
    add(baselines, true);
    // The rates decide the scale: the bounds of a group with few hits can lie far above every
    // rate, and would squash the rest to the floor; their whiskers run off the top instead.
    m_rates->setRange(0, std::max(highest * 1.05, std::min(highestUpper * 1.05, highest * 1.6)));
    m_rates->applyNiceNumbers();
    c->setTitle(u"%1 回収率と基準回収率"_s.arg(betName(bet)));
}
