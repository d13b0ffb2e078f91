// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>

#include <QString>

#include "settings/settings_key.h"

class QSettings;

/// Everything the program remembers between runs, kept as texts in QSettings: the platform's
/// native user store under "Mikazuki＋", or an INI file. Nothing is cached here: every reader
/// goes to the store, every writer stores at once (and moves revision()).
///
/// Readers return an empty optional when a stored text does not convert to the key's form, and
/// the key's default (turned into text and read back, so 0.04 comes back as the nearest single)
/// when the key is missing. Each caller decides what a failed read means. The option keys, their
/// forms and defaults come from one table (`settingsKeys()`); the named accessors below are
/// shorthands over it.
class SettingsStore final
{
    Q_DISABLE_COPY_MOVE(SettingsStore)

public:
    /// The native user store of "Mikazuki＋".
    SettingsStore();
    /// The INI file at `iniPath`, for reading and writing.
    explicit SettingsStore(const QString& iniPath);
    ~SettingsStore();
    /// The INI file at `iniPath`, or the native store when it is empty (the commands' --settings).
    static std::unique_ptr<SettingsStore> open(const QString& iniPath);
    /// Why `iniPath` cannot be the settings store (a folder, a file that cannot be read, a file
    /// that is not an INI text), in Japanese; empty when it can (a file still to be made can).
    static QString iniFileProblem(const QString& iniPath);

    /// False when the store exists but is not an INI text (or cannot be read): it is then read
    /// as empty and never written, so a file the program did not write is never overwritten.
    bool isWritable() const { return m_writable; }
    /// Writes pending changes to the file or registry now.
    void sync();
    /// Counts the writes through every store of this program: a reader that keeps what it read
    /// (the analysis settings of a load) reads again when the count has moved.
    static quint64 revision();
    /// The file behind the store (empty for a registry).
    QString fileName() const;
    /// The INI file the store was made on; empty for the native store, whatever file the
    /// platform keeps it in: another reader opens the same store through this.
    QString iniFile() const;

    // Primitives: a section ("Option\AutoJudge" becomes the group "Option/AutoJudge") and a key.
    QString readText(const QString& section, const QString& key, const QString& defaultText) const;
    void writeText(const QString& section, const QString& key, const QString& text);

    // Value forms.
    std::optional<qint16>
    readInteger16(const QString& section, const QString& key, qint16 def) const;
    std::optional<qint32>
    readInteger32(const QString& section, const QString& key, qint32 def) const;
    std::optional<bool> readFlag(const QString& section, const QString& key, bool def) const;
    std::optional<float> readSingle(const QString& section, const QString& key, float def) const;
    void writeInteger16(const QString& section, const QString& key, qint16 value);
    void writeInteger32(const QString& section, const QString& key, qint32 value);
    void writeFlag(const QString& section, const QString& key, bool value);
    void writeSingle(const QString& section, const QString& key, float value);
    /// A window placement value in twips; the default when it is missing or does not convert
    /// (placement has no failure handling).
    float readTwips(const QString& section, const QString& key, float def) const;
    void writeTwips(const QString& section, const QString& key, float twips);

    // Keys of the table. `index` is the level 1 to 5 or the horse number 1 to 18, and `bet` the
    // bet type; each is ignored where the key has none. The form must be the key's own.
    QString readText(SettingsKey key, BetType bet = BetType::Quinella, int index = 1) const;
    std::optional<qint16>
    readInteger16(SettingsKey key, BetType bet = BetType::Quinella, int index = 1) const;
    std::optional<qint32>
    readInteger32(SettingsKey key, BetType bet = BetType::Quinella, int index = 1) const;
    std::optional<bool>
    readFlag(SettingsKey key, BetType bet = BetType::Quinella, int index = 1) const;
    std::optional<float>
    readSingle(SettingsKey key, BetType bet = BetType::Quinella, int index = 1) const;
    void writeText(SettingsKey key, BetType bet, int index, const QString& text);
    /// The default of an integer key, for callers that fall back to it when a read fails.
    static qint32 defaultInteger(SettingsKey key, BetType bet = BetType::Quinella, int index = 1);
    void writeInteger16(SettingsKey key, BetType bet, int index, qint16 value);
    void writeInteger32(SettingsKey key, BetType bet, int index, qint32 value);
    void writeFlag(SettingsKey key, BetType bet, int index, bool value);
    void writeSingle(SettingsKey key, BetType bet, int index, float value);

    // "Option".
    /// "C:\Program Files\Pat98" on Windows, that folder in the default Wine prefix elsewhere.
    static QString defaultPatFolder();
    /// The PAT folder, always ending in a separator: the native one is appended unless the text
    /// already ends in "/" or "\"; an empty text gives the separator alone.
    QString getPatFolder() const;
    void setPatFolder(const QString& folder) { writeText(SettingsKey::PatFolder, {}, 1, folder); }
    /// The full path of a file in the PAT folder.
    QString patFilePath(const QString& name) const;

private:
    void checkWritable();

    std::unique_ptr<QSettings> m_settings;
    bool m_writable = true;
};
