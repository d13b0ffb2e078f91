// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

class OddsHistory;
class RaceDisplay;

/// Everything the main window shows about the race, as a CSV file for spreadsheets: Shift-JIS
/// (code page 932), CR LF, texts in double quotes exactly as shown, numbers in plain decimal.
class CsvExport final
{
public:
    /// The file's bytes for the race shown.
    static QByteArray build(const RaceDisplay& display);

    /// Writes the file at `path` through QSaveFile: on failure the file there is left as it was
    /// and `error` holds the platform's reason.
    static bool write(const RaceDisplay& display, const QString& path, QString* error);

    /// The odds of the race shown over its snapshots, one line per snapshot (its time, then the
    /// actual odds of every pair, quinella then wide; empty where a pair had none), as the race's
    /// file is written.
    static QByteArray buildMovement(const RaceDisplay& display);
    /// The same from a race's meeting and name texts, runners and history.
    static QByteArray buildMovement(const QString& meeting,
                                    const QString& raceName,
                                    int runners,
                                    const OddsHistory& history);
    static bool writeMovement(const RaceDisplay& display, const QString& path, QString* error);

    /// A text in code page 932; a character the code page cannot hold becomes "?".
    static QByteArray encode(const QString& text);
};
