// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>

#include <QString>

#include "base/bet_type.h"
#include "base/colour.h"

class QSettings;

/// Sections of the store, with the backslash of the nested ones exactly as the keys name them.
namespace SettingsSection {
inline constexpr char16_t kMainWindow[] = u"MainWindow";
inline constexpr char16_t kOptionWindow[] = u"OptionWindow";
inline constexpr char16_t kSelectFileWindow[] = u"SelectFileWindow";
inline constexpr char16_t kOption[] = u"Option";
inline constexpr char16_t kHorseNoColor[] = u"Option\\HorseNoColor";
inline constexpr char16_t kAutoJudge[] = u"Option\\AutoJudge";
} // namespace SettingsSection

/// Defaults of the keys that have no per-platform default.
namespace SettingsDefaults {
inline constexpr qint32 kHorseNoColor = kWhiteSetting;
inline constexpr qint16 kDetectVal = 5;
inline constexpr qint16 kDetectMinUma[5] = {500, 300, 200, 100, 50};
inline constexpr qint16 kDetectMaxUma[5] = {1000, 500, 300, 200, 100};
inline constexpr qint16 kDetectMinWide[5] = {300, 200, 100, 50, 30};
inline constexpr qint16 kDetectMaxWide[5] = {1000, 300, 200, 100, 50};
inline constexpr char16_t kDispChar[5][2] = {u"◎", u"○", u"▲", u"△", u"×"};
inline constexpr qint16 kDispSign = 0;
inline constexpr qint32 kPlusColor = 0;    // black
inline constexpr qint32 kMinusColor = 255; // red
inline constexpr float kIdealLimit = 1000.0F;
inline constexpr float kRealLimitUma = 300.0F;
inline constexpr float kRealLimitWide = 100.0F;
inline constexpr float kTanRatioLimit = 0.04F;
inline constexpr float kFukuRatioLimit = 0.05F;
} // namespace SettingsDefaults

/// Everything the program remembers between runs, kept as texts in QSettings: the platform's
/// native user store under "Mikazuki＋", or an INI file. Nothing is cached here: every reader
/// goes to the store, every writer stores at once.
///
/// Readers return an empty optional when a stored text does not convert to the key's form, and
/// the key's default (turned into text and read back, so 0.04 comes back as the nearest single)
/// when the key is missing. Each caller decides what a failed read means.
class SettingsStore final
{
    Q_DISABLE_COPY_MOVE(SettingsStore)

public:
    /// The native user store of "Mikazuki＋".
    SettingsStore();
    /// The INI file at `iniPath`, for reading and writing.
    explicit SettingsStore(const QString& iniPath);
    ~SettingsStore();

    /// False when the store exists but is not an INI text (or cannot be read): it is then read
    /// as empty and never written, so a file the program did not write is never overwritten.
    bool isWritable() const { return m_writable; }
    /// Writes pending changes to the file or registry now.
    void sync();
    /// The file behind the store (empty for a registry).
    QString fileName() const;

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

    // "Option".
    /// "C:\Program Files\Pat98" on Windows, that folder in the default Wine prefix elsewhere.
    static QString defaultPatFolder();
    /// The PAT folder, always ending in a separator: the native one is appended unless the text
    /// already ends in "/" or "\"; an empty text gives the separator alone.
    QString getPatFolder() const;
    void setPatFolder(const QString& folder);
    /// The full path of a file in the PAT folder.
    QString patFilePath(const QString& name) const;

    // "Option\HorseNoColor": colours as 0x00BBGGRR, horse numbers 1 to 18.
    std::optional<qint32> getHorseNoColor(int horseNo) const;
    void setHorseNoColor(int horseNo, qint32 colour);

    // "Option\AutoJudge".
    std::optional<qint16> getDetectVal() const;
    void setDetectVal(qint16 value);

    /// Levels 1 to 5.
    std::optional<qint16> getDetectMin(BetType bet, int level) const;
    std::optional<qint16> getDetectMax(BetType bet, int level) const;
    QString getDispChar(BetType bet, int level) const;
    void setDetectMin(BetType bet, int level, qint16 value);
    void setDetectMax(BetType bet, int level, qint16 value);
    void setDispChar(BetType bet, int level, const QString& mark);

    std::optional<qint16> getDispSign(BetType bet) const;
    std::optional<qint32> getPlusColor(BetType bet) const;
    std::optional<qint32> getMinusColor(BetType bet) const;
    std::optional<bool> getIsIdealLimit(BetType bet) const;
    std::optional<bool> getIsRealLimit(BetType bet) const;
    std::optional<bool> getIsTanRatioLimit(BetType bet) const;
    std::optional<bool> getIsFukuRatioLimit(BetType bet) const;
    std::optional<float> getIdealLimit(BetType bet) const;
    std::optional<float> getRealLimit(BetType bet) const;
    std::optional<float> getTanRatioLimit(BetType bet) const;
    std::optional<float> getFukuRatioLimit(BetType bet) const;
    void setDispSign(BetType bet, qint16 value);
    void setPlusColor(BetType bet, qint32 colour);
    void setMinusColor(BetType bet, qint32 colour);
    void setIsIdealLimit(BetType bet, bool on);
    void setIsRealLimit(BetType bet, bool on);
    void setIsTanRatioLimit(BetType bet, bool on);
    void setIsFukuRatioLimit(BetType bet, bool on);
    void setIdealLimit(BetType bet, float value);
    void setRealLimit(BetType bet, float value);
    void setTanRatioLimit(BetType bet, float value);
    void setFukuRatioLimit(BetType bet, float value);

    /// The key name of a per-bet setting: `name` followed by "Uma" or "Wide".
    static QString betKey(const QString& name, BetType bet);
    /// The key name of a level setting: `name`, "Uma" or "Wide", then the level digit.
    static QString levelKey(const QString& name, BetType bet, int level);

private:
    void checkWritable();

    std::unique_ptr<QSettings> m_settings;
    bool m_writable = true;
};
