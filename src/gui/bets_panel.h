// SPDX-License-Identifier: MIT
#pragma once

#include <array>

#include <QWidget>

#include "gui/scroll_memory.h"

class QListView;
class QStringListModel;
class RaceDisplay;
class TwipsLayout;

/// The two lists below the pair lists: the recommended wide bets (lstKaime) and the race's
/// result (lstRaceResult), each under its caption.
class BetsPanel final : public QWidget
{
    Q_OBJECT

public:
    BetsPanel(const TwipsLayout& layout, QWidget* parent);

    void render(const RaceDisplay& display);
    /// An open shows both lists from their first row; an automatic reload keeps their scroll.
    void showFirstRows();
    void noteView();
    void restoreView();

private:
    QListView* addList(const QString& name, QStringListModel*& model, const QRect& twips);

    const TwipsLayout& m_layout;
    QStringListModel* m_betsModel = nullptr;
    QStringListModel* m_resultModel = nullptr;
    std::array<QListView*, 2> m_views{};
    std::array<ScrollMemory, 2> m_scrolls;
};
