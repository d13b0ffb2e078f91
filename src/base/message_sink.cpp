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
