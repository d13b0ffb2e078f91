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

QPoint OuterGeometry::settledTopLeft() const
{
    return m_returning ? m_hiddenAt : m_window->frameGeometry().topLeft();
}

void OuterGeometry::keepPlaceOverShow(QEvent::Type type)
{
    // A window hidden and shown again at once is at times mapped anew by the window manager at
    // the screen's corner (the client at 0,0), and stays there. It goes back where it was, and
    // until it is there that place is the one to store.
    constexpr int kReturnMilliseconds = 2000;
    if (type == QEvent::Hide && m_margins.top() >= 0) {
        m_hiddenAt = m_window->frameGeometry().topLeft();
        m_returning = false;
        m_shownAgain.invalidate();
    } else if (type == QEvent::Show && !m_hiddenAt.isNull()) {
        m_returning = true;
        m_shownAgain.start();
    } else if (type == QEvent::Move && m_returning) {
        // Back in place, or moved elsewhere than the corner and the place it is sent back to:
        // a real move.
        const QPoint client = m_window->geometry().topLeft();
        const QPoint back = m_hiddenAt + QPoint(m_margins.left(), m_margins.top());
        if (m_window->frameGeometry().topLeft() == m_hiddenAt
            || (!client.isNull() && client != back)
            || m_shownAgain.elapsed() > kReturnMilliseconds) {
            m_returning = false;
        } else if (client.isNull()) {
            // Placed by its client area: the frame's margins are not known again yet.
            m_window->setGeometry(QRect(back, m_window->size()));
        }
    }
}

bool OuterGeometry::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        keepPlaceOverShow(event->type());
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
    // Shown again and not yet framed: the margins will come back as they were.
    if (!force && (margins == m_margins || (m_returning && margins.isNull()))) {
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
