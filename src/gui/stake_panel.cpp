// SPDX-License-Identifier: MIT
#include "stake_panel.h"

#include <algorithm>

#include <QDateTime>
#include <QEvent>
#include <QLabel>

#include "gui/cell_label.h"
#include "gui/pair_list_model.h"
#include "gui/twips_layout.h"
#include "race/auto_calibration.h"
#include "race/race_display.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kHourMilliseconds = 60 * 60 * 1000;

// Above the theory model's line and ending where it ends, over the toolbar's empty right part:
// two lines, growing to the left.
constexpr QRect kLine(2400, 0, 12855, 570);

} // namespace

StakePanel::StakePanel(SettingsStore& settings,
                       const RaceDisplay& display,
                       std::array<PairListModel*, 2> models,
                       const TwipsLayout& layout,
                       QWidget* client)
    : QObject(client)
    , m_settings(settings)
    , m_display(display)
    , m_models(models)
{
    m_line = CellLabel::create(client,
                               u"lblStakeModel"_s,
                               {},
                               CellLabel::Look::Caption,
                               Qt::AlignRight | Qt::AlignVCenter);
    m_line->setWordWrap(true);
    // It lies over the toolbar: presses go through to it.
    m_line->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout.place(m_line, kLine);
    m_lineRight = layout.px(kLine.x() + kLine.width());
    client->installEventFilter(this);
    m_calibration = new AutoCalibration(settings, this);
    connect(m_calibration, &AutoCalibration::finished, this, [this] {
        // The folder changed while the fit ran: fit the one the options name now.
        if (m_calibration->lastFolders() != QStringList{m_settings.getPatFolder()}) {
            calibrateIfDue();
        }
        update();
    });
    connect(&display, &RaceDisplay::changed, this, &StakePanel::update);
    // A fit is made once a day in Japan: the hourly call refits after each race day.
    connect(&m_hourly, &QTimer::timeout, this, &StakePanel::calibrateIfDue);
    m_hourly.start(kHourMilliseconds);
    calibrateIfDue();
}

bool StakePanel::eventFilter(QObject* watched, QEvent* event)
{
    // The line explains the lists' columns: shown only with the band that holds the lists,
    // never cut off at a narrower window's edge.
    if (event->type() == QEvent::Resize && watched == m_line->parentWidget()) {
        m_line->setVisible(m_line->parentWidget()->width() >= m_lineRight);
    }
    return QObject::eventFilter(watched, event);
}

void StakePanel::calibrateIfDue()
{
    m_calibration->startIfDue({m_settings.getPatFolder()}, QDateTime::currentDateTimeUtc());
    update();
}

void StakePanel::update()
{
    const StakeSettings settings = StakeSettings::read(m_settings);
    m_stakes = raceStakesOf(m_display,
                            settings,
                            m_calibration->fitFor({m_settings.getPatFolder()}),
                            m_calibration->why());
    for (const BetType bet : kBetTypes) {
        m_models[betIndex(bet)]->setValues(m_stakes.pairs[betIndex(bet)]);
    }
    // One reason per bet type without stakes; the same reason once for both.
    QStringList lines{m_stakes.modelLine};
    const auto& reason = m_stakes.reason;
    if (!reason[0].isEmpty() && reason[0] == reason[1]) {
        lines << u"馬連・ﾜｲﾄﾞ: 賭け金なし（%1）"_s.arg(reason[0]);
    } else {
        QStringList none;
        for (const BetType bet : kBetTypes) {
            const auto b = betIndex(bet);
            QString why = reason[b];
            // Staked, yet the column may be empty all the same: say why.
            const auto& pairs = m_stakes.pairs[b];
            if (why.isEmpty() && !pairs.empty()
                && std::ranges::none_of(pairs, [](const PairValue& v) { return v.stake > 0; })) {
                why = m_stakes.best(bet)->value <= 1.0 ? u"期待値が1を超える買い目がありません"_s
                                                       : u"どの買い目も100円に届きません"_s;
            }
            if (!why.isEmpty()) {
                none << u"%1: 賭け金なし（%2）"_s.arg(betName(bet), why);
            }
        }
        if (!none.isEmpty()) {
            lines << none.join(u"　"_s);
        }
    }
    if (m_calibration->running()) {
        lines << u"自動較正中…"_s;
    }
    // The model on the first line, why the columns are empty on the second.
    m_line->setText(lines.first()
                    + (lines.size() > 1 ? u'\n' + lines.mid(1).join(u"　"_s) : QString()));
    m_line->setToolTip(m_stakes.modelDetails);
}
