// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "base/cell.h"
#include "base/message_sink.h"

/// Records every message instead of showing it.
class RecordingMessageSink final : public MessageSink
{
public:
    struct Message
    {
        QString text;
        QString title;
        MessageIcon icon;
    };
    std::vector<Message> messages;
    /// Called as each message arrives: a test looks at what the user would see beside it.
    std::function<void()> onMessage;

protected:
    void deliver(const QString& text, const QString& title, MessageIcon icon) override
    {
        messages.push_back({text, title, icon});
        if (onMessage) {
            onMessage();
        }
    }
};

/// Shift-JIS bytes of a text (for building PAT files by their byte layout).
QByteArray sjis(const QString& text);

/// A text cell showing `text` (kept for the program's life, as marks are).
inline Cell textCell(const QString& text)
{
    return Cell::lastingText(internText(text));
}

/// Builds a PAT file by its byte layout: `size` blanks, into which fields are written at their
/// offsets.
class ByteLayout final
{
public:
    explicit ByteLayout(qsizetype size)
        : m_bytes(size, ' ')
    {}

    /// Writes `field` at `offset`; the layout grows when needed.
    ByteLayout& put(qsizetype offset, const QByteArray& field);
    ByteLayout& put(qsizetype offset, const QString& text) { return put(offset, sjis(text)); }

    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

/// A temporary folder that fails the test when it cannot be made.
class TestFolder final
{
public:
    TestFolder();

    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    /// Writes `bytes` to `name` in the folder and returns its full path.
    QString write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};

/// One runner of a hand-made Zo- file: win odds and the place odds range, as the file holds them.
struct HandOdds
{
    QString win;
    QString placeMin;
    QString placeMax;
};

/// Bytes of a Zo- file: race header (venue 中山, meeting 05, day 02, race 11) with the given
/// runner count text, then one entry per `odds` element.
QByteArray handWinPlaceOdds(const QString& runnerCount, const std::vector<HandOdds>& odds);

/// Bytes of a De- file with start time `startTime` and one entry per name.
QByteArray handRaceCard(const QString& startTime, const std::vector<QString>& names);
