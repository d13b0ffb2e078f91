// SPDX-License-Identifier: MIT
#include "outer_geometry.h"

#include <QEvent>
#include <QWidget>

OuterGeometry::OuterGeometry(QWidget* window, bool fixedSize)
    : QObject(window)
    , m_window(window)
    , m_fixedSize(fixedSize)
{
    window->installEventFilter(this);
}

void OuterGeometry::apply(const QRect& outer)
{
    m_outer = outer;
    m_window->move(outer.topLeft());
    fit(true);
}

void OuterGeometry::applySize(const QSize& outer)
{
    m_outer.setSize(outer);
    fit(true);
}

bool OuterGeometry::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowActivate:
        case QEvent::Expose:
            fit(false);
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void OuterGeometry::fit(bool force)
{
    if (!m_outer.isValid()) {
        return;
    }
    const QRect frame = m_window->frameGeometry();
    const QRect client = m_window->geometry();
    const QMargins margins(client.left() - frame.left(),
                           client.top() - frame.top(),
                           frame.right() - client.right(),
                           frame.bottom() - client.bottom());
    if (!force && margins == m_margins) {
        return;
    }
    m_margins = margins;
    const QSize size(qMax(1, m_outer.width() - margins.left() - margins.right()),
                     qMax(1, m_outer.height() - margins.top() - margins.bottom()));
    if (m_fixedSize) {
        m_window->setFixedSize(size);
    } else {
        m_window->resize(size);
    }
}
