// SPDX-License-Identifier: MIT
#include "message_sink.h"

using namespace Qt::StringLiterals;

QString applicationTitle()
{
    return u"Mikazuki＋"_s;
}

void MessageSink::message(const QString& text, const QString& title, MessageIcon icon)
{
    deliver(text, title.isEmpty() ? applicationTitle() : title, icon);
}

void HeldMessageSink::passTo(MessageSink& sink)
{
    for (const Message& m : m_held) {
        sink.message(m.text, m.title, m.icon);
    }
    m_held.clear();
}

void HeldMessageSink::deliver(const QString& text, const QString& title, MessageIcon icon)
{
    m_held.push_back({text, title, icon});
}
