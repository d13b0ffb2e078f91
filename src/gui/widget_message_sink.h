// SPDX-License-Identifier: MIT
#pragma once

#include "base/message_sink.h"

class QWidget;

/// Shows each message in a modal message box with one OK button, centred on the window the
/// user is working in: the open modal dialog, else the active window, else `parent`.
class WidgetMessageSink final : public MessageSink
{
public:
    explicit WidgetMessageSink(QWidget* parent)
        : m_parent(parent)
    {}

    /// The window a message shown now would be centred on.
    QWidget* owner() const;

protected:
    void deliver(const QString& text, const QString& title, MessageIcon icon) override;

private:
    QWidget* m_parent;
};
