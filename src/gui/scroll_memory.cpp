// SPDX-License-Identifier: MIT
#include "scroll_memory.h"

#include <QAbstractItemView>
#include <QScrollBar>

void ScrollMemory::note(const QAbstractItemView& view)
{
    m_vertical = view.verticalScrollBar()->value();
    m_horizontal = view.horizontalScrollBar()->value();
    m_hadCurrent = view.currentIndex().isValid();
}

void ScrollMemory::restore(QAbstractItemView& view) const
{
    view.verticalScrollBar()->setValue(m_vertical);
    view.horizontalScrollBar()->setValue(m_horizontal);
}

void ScrollMemory::showFirstRow(QAbstractItemView& view)
{
    if (view.currentIndex().isValid()) {
        view.setCurrentIndex({});
    }
    for (QScrollBar* bar : {view.verticalScrollBar(), view.horizontalScrollBar()}) {
        if (bar->value() != bar->minimum()) {
            bar->setValue(bar->minimum());
        }
    }
}
