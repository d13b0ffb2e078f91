// SPDX-License-Identifier: MIT
#pragma once

#include "app/message_sink.h"

class QWidget;

/// Shows each message in a modal message box with one OK button, owned by `parent`.
class WidgetMessageSink final : public MessageSink
{
public:
    explicit WidgetMessageSink(QWidget* parent)
        : m_parent(parent)
    {}

protected:
    void deliver(const QString& text, const QString& title, MessageIcon icon) override;

private:
    QWidget* m_parent;
};
