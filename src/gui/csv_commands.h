// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

class QByteArray;
class QString;
class QWidget;
class MessageSink;
class RaceDisplay;

/// The main window's two CSV commands: the race shown (CsvExport::build) and the odds of every
/// snapshot (CsvExport::buildMovement), each after a save dialog.
class CsvCommands final
{
    Q_DISABLE_COPY_MOVE(CsvCommands)

public:
    /// The dialogs show over `window`.
    CsvCommands(const RaceDisplay& display, MessageSink& sink, QWidget& window);

    void saveRace();
    void saveMovement();
    /// Write the file; tell the user and return false when it fails.
    bool writeRace(const QString& path);
    bool writeMovement(const QString& path);

private:
    /// The save dialog; empty when the user cancels.
    QString askPath();
    bool write(const QString& path, const QByteArray& bytes);

    const RaceDisplay& m_display;
    MessageSink& m_sink;
    QWidget& m_window;
};
