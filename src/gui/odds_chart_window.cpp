// SPDX-License-Identifier: MIT
#include "odds_chart_window.h"

#include <cmath>

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include "gui/japan_clock.h"
#include "gui/window_placement.h"
#include "race/race_display.h"

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"OddsChart"_s;
constexpr int kDefaultWidth = 7200;
constexpr int kDefaultHeight = 4800;

// By default beside the owner's right edge, where the screen has room; else at the screen's
// right edge, over the owner.
QPointF defaultPlace(const QWidget* owner, const TwipsLayout& layout)
{
    if (owner == nullptr || owner->screen() == nullptr) {
        return {1000, 1000};
    }
    const QRect frame = owner->frameGeometry();
    const QRect screen = owner->screen()->availableGeometry();
    const int width = layout.px(kDefaultWidth);
    const int left = frame.right() + 1 + width <= screen.right() + 1
                         ? frame.right() + 1
                         : qMax(screen.left(), screen.right() + 1 - width);
    return {layout.twips(left), layout.twips(qMax(frame.top(), screen.top()))};
}

} // namespace

OddsChartWindow::OddsChartWindow(RaceDisplay& display, SettingsStore& settings, QWidget* owner)
    : QWidget(owner, Qt::Window)
    , m_display(display)
{
    setObjectName(u"frmOddsChart"_s);
    setWindowTitle(u"ｵｯｽﾞ推移"_s);
    setFont(TwipsLayout::windowFont());
    m_placement = std::make_unique<WindowPlacement>(
        *this,
        settings,
        kSection,
        QRectF(defaultPlace(owner, m_layout), QSizeF(kDefaultWidth, kDefaultHeight)),
        WindowPlacement::Stored::PositionAndSize,
        WindowPlacement::Resize::ByUser);

    auto* chart = new QChart;
    chart->setTitleFont(font());
    chart->legend()->setFont(font());
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(px(60), px(60), px(60), px(60)));
    m_oddsAxis = new QValueAxis(this);
    m_oddsAxis->setLabelFormat(u"%.1f"_s);
    m_oddsAxis->setLabelsFont(font());
    chart->addAxis(m_oddsAxis, Qt::AlignLeft);
    m_view = new QChartView(chart, this);
    m_view->setObjectName(u"chtOdds"_s);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumSize(px(3000), px(2400));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_placement->restore();

    connect(&display, &RaceDisplay::changed, this, &OddsChartWindow::redraw);
}

OddsChartWindow::~OddsChartWindow() = default;

void OddsChartWindow::showPair(int pairIndex)
{
    m_pair = pairIndex;
    m_horse = 0;
    redraw();
}

void OddsChartWindow::showHorse(int horse)
{
    m_pair = -1;
    m_horse = horse;
    redraw();
}

void OddsChartWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    redraw();
}

void OddsChartWindow::redraw()
{
    // A closed chart is drawn when it shows again, not at every load.
    if (!isVisible()) {
        return;
    }
    QChart* chart = m_view->chart();
    chart->removeAllSeries();
    // A time axis kept from one drawing to the next stops showing once its series are gone
    // (Qt Charts 6.4): each drawing makes its own.
    if (m_timeAxis != nullptr) {
        chart->removeAxis(m_timeAxis);
        delete m_timeAxis;
        m_timeAxis = nullptr;
    }
    const std::vector<std::pair<QString, OddsHistory::Series>> lines = chosenLines();
    double low = HUGE_VAL;
    double high = -HUGE_VAL;
    qint64 first = 0;
    qint64 last = 0;
    bool any = false;
    std::vector<QLineSeries*> drawn;
    for (const auto& [name, points] : lines) {
        if (points.empty()) {
            continue;
        }
        auto* series = new QLineSeries;
        series->setName(name);
        series->setPointsVisible(true);
        for (const auto& [time, value] : points) {
            const qint64 ms = japanWallClock(time);
            series->append(static_cast<double>(ms), value);
            low = qMin(low, static_cast<double>(value));
            high = qMax(high, static_cast<double>(value));
            first = any ? qMin(first, ms) : ms;
            last = any ? qMax(last, ms) : ms;
            any = true;
        }
        chart->addSeries(series);
        series->attachAxis(m_oddsAxis);
        drawn.push_back(series);
    }
    if (!any) {
        // No snapshot, no times to show.
        m_oddsAxis->setRange(0.0, 10.0);
        return;
    }
    m_timeAxis = new QDateTimeAxis(this);
    m_timeAxis->setObjectName(u"axsTime"_s);
    m_timeAxis->setFormat(u"HH:mm:ss"_s);
    m_timeAxis->setTickCount(4);
    m_timeAxis->setLabelsFont(font());
    chart->addAxis(m_timeAxis, Qt::AlignBottom);
    for (QLineSeries* series : drawn) {
        series->attachAxis(m_timeAxis);
    }
    // A little room around the lines; one snapshot still gets a span of time.
    const double margin = qMax((high - low) * 0.1, 0.1);
    m_oddsAxis->setRange(qMax(0.0, low - margin), high + margin);
    m_oddsAxis->applyNiceNumbers();
    // One snapshot, or a few close together, still get a minute, centred on them.
    if (last - first < 60'000) {
        const qint64 middle = first + (last - first) / 2;
        first = middle - 30'000;
        last = middle + 30'000;
    }
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(first),
                         QDateTime::fromMSecsSinceEpoch(last));
}

std::vector<std::pair<QString, OddsHistory::Series>> OddsChartWindow::chosenLines()
{
    QChart* chart = m_view->chart();
    const OddsHistory& history = m_display.history();
    std::vector<std::pair<QString, OddsHistory::Series>> lines;
    if (m_pair >= 0) {
        const int a = m_pair / (kMaxRunners + 1);
        const int b = m_pair % (kMaxRunners + 1);
        chart->setTitle(u"%1-%2"_s.arg(a).arg(b));
        lines.emplace_back(u"馬連"_s, history.pairSeries(BetType::Quinella, m_pair));
        lines.emplace_back(u"ﾜｲﾄﾞ"_s, history.pairSeries(BetType::Wide, m_pair));
    } else if (m_horse > 0) {
        const QString name
            = m_display.horseTable().fileText(HorseColumn::HorseName, m_horse).toString().trimmed();
        chart->setTitle(u"%1 %2"_s.arg(m_horse).arg(name));
        lines.emplace_back(u"単勝"_s, history.horseSeries(HorseOdds::Win, m_horse));
        lines.emplace_back(u"複勝Min"_s, history.horseSeries(HorseOdds::PlaceMin, m_horse));
        lines.emplace_back(u"複勝Max"_s, history.horseSeries(HorseOdds::PlaceMax, m_horse));
    } else {
        chart->setTitle(u"組み合わせか馬のオッズを選んでください"_s);
    }
    return lines;
}

QString OddsChartWindow::chartTitle() const
{
    return m_view->chart()->title();
}

QStringList OddsChartWindow::lineNames() const
{
    QStringList names;
    for (const QAbstractSeries* s : m_view->chart()->series()) {
        names << s->name();
    }
    return names;
}

int OddsChartWindow::pointCount(int k) const
{
    const auto series = m_view->chart()->series();
    return k >= 0 && k < series.size() ? static_cast<const QLineSeries*>(series[k])->count() : 0;
}

void OddsChartWindow::storePlacement()
{
    m_placement->store();
}

void OddsChartWindow::closeEvent(QCloseEvent* event)
{
    storePlacement();
    QWidget::closeEvent(event);
}
