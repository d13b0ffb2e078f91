// SPDX-License-Identifier: MIT
#pragma once

#include "base/message_sink.h"

/// Prints each message to standard error as "title: text", for the headless command line.
class StderrMessageSink final : public MessageSink
{
protected:
    void deliver(const QString& text, const QString& title, MessageIcon icon) override;
};
