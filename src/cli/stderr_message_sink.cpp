// SPDX-License-Identifier: MIT
#include "stderr_message_sink.h"

#include <cstdio>

void StderrMessageSink::deliver(const QString& text, const QString& title, MessageIcon)
{
    std::fprintf(stderr, "%s: %s\n", title.toUtf8().constData(), text.toUtf8().constData());
    std::fflush(stderr);
}
