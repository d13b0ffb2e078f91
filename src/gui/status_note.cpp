// SPDX-License-Identifier: MIT
#include "status_note.h"

#include <QTimer>

#include "gui/twips_layout.h"

using namespace Qt::StringLiterals;

StatusNote::StatusNote(const TwipsLayout& layout, std::function<int()> shownWidth, QWidget* parent)
    : QLabel(parent)
    , m_layout(layout)
    , m_shownWidth(std::move(shownWidth))
{
    setObjectName(u"lblStatus"_s);
    setWordWrap(true);
    setFrameShape(QFrame::Box);
    setMargin(2);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    hide();
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &StatusNote::clearNote);
}

void StatusNote::showNote(const QString& text, int milliseconds)
{
    showText(text);
    m_timer->start(milliseconds);
}

void StatusNote::showLive(const QString& text)
{
    m_live = text;
    if (text.isEmpty()) {
        if (!m_timer->isActive()) {
            clearNote();
        }
        return;
    }
    m_timer->stop();
    showText(text);
}

void StatusNote::clearNote()
{
    m_timer->stop();
    if (!m_live.isEmpty()) {
        showText(m_live);
        return;
    }
    clear();
    hide();
}

void StatusNote::showText(const QString& text)
{
    setText(text);
    place();
    show();
    raise();
}

void StatusNote::place()
{
    const QWidget* client = parentWidget();
    const int width
        = qMax(qMin(client->width(), m_shownWidth()) - m_layout.px(240), m_layout.px(1000));
    const int height = heightForWidth(width);
    setGeometry(m_layout.px(120), client->height() - height - m_layout.px(120), width, height);
}
