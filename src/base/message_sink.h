// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

#include <QString>

/// Icon of a user message; the window layer maps it onto its message box.
enum class MessageIcon { None, Information, Warning, Critical };

/// The program's title, used as the caption of every message that has none of its own.
QString applicationTitle();

/// Where core code sends what it must tell the user. The GUI shows a message box, the command
/// line prints to stderr, tests record.
class MessageSink
{
public:
    virtual ~MessageSink() = default;

    /// An empty title stands for the application title.
    void
    message(const QString& text, const QString& title = {}, MessageIcon icon = MessageIcon::None);

protected:
    virtual void deliver(const QString& text, const QString& title, MessageIcon icon) = 0;
};

/// Drops every message: for callers that have nobody to tell (benchmarks, fuzzers).
class NullMessageSink final : public MessageSink
{
protected:
    void deliver(const QString&, const QString&, MessageIcon) override {}
};

/// Keeps messages to pass them on later, in their order: for work whose messages must wait (a
/// load's, until the race is on screen) or that runs where no message may be shown (a worker
/// thread).
class HeldMessageSink final : public MessageSink
{
public:
    /// Passes every held message to `sink` and forgets them.
    void passTo(MessageSink& sink);

protected:
    void deliver(const QString& text, const QString& title, MessageIcon icon) override;

private:
    struct Message
    {
        QString text;
        QString title;
        MessageIcon icon;
    };
    std::vector<Message> m_held;
};
