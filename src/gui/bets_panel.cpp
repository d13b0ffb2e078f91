// SPDX-License-Identifier: MIT
#include "bets_panel.h"

#include <QLabel>
#include <QListView>
#include <QStringListModel>

#include "gui/cell_label.h"
#include "gui/twips_layout.h"
#include "race/race_display.h"

using namespace Qt::StringLiterals;

namespace {

// Where the panel lies in the window: below the pair lists, to the window's right edge.
constexpr QRect kPanel(10680, 4860, 4515, 1620);
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

} // namespace

BetsPanel::BetsPanel(const TwipsLayout& layout, QWidget* parent)
    : QWidget(parent)
    , m_layout(layout)
{
    setObjectName(u"pnlBets"_s);
    layout.place(this, kPanel);
    const auto caption = [&](const QString& name, const QString& text, const QRect& twips) {
        QLabel* label = CellLabel::create(this, name, text, CellLabel::Look::Caption, kLeft);
        layout.place(label, twips, kPanel.topLeft());
    };
    caption(u"Label21"_s, u"推奨買い目（ワイド）"_s, {10740, 4860, 1755, 255});
    caption(u"Label22"_s, u"競争結果"_s, {12960, 4860, 975, 255});
    m_views[0] = addList(u"lstKaime"_s, m_betsModel, {10680, 5160, 2175, 1320});
    m_views[1] = addList(u"lstRaceResult"_s, m_resultModel, {12900, 5160, 2295, 1320});
}

QListView* BetsPanel::addList(const QString& name, QStringListModel*& model, const QRect& twips)
{
    model = new QStringListModel(this);
    auto* view = new QListView(this);
    view->setObjectName(name);
    view->setModel(model);
    // The pair lists' font.
    view->setFont(TwipsLayout::fixedPitchFont(8));
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_layout.place(view, twips, kPanel.topLeft());
    return view;
}

void BetsPanel::render(const RaceDisplay& display)
{
    m_betsModel->setStringList(display.recommendedBetLines());
    m_resultModel->setStringList(display.raceResultLines());
}

void BetsPanel::showFirstRows()
{
    for (QListView* view : m_views) {
        ScrollMemory::showFirstRow(*view);
    }
}

void BetsPanel::noteView()
{
    for (std::size_t k = 0; k < m_views.size(); ++k) {
        m_scrolls[k].note(*m_views[k]);
    }
}

void BetsPanel::restoreView()
{
    for (std::size_t k = 0; k < m_views.size(); ++k) {
        m_views[k]->doItemsLayout();
        m_scrolls[k].restore(*m_views[k]);
    }
}
