// SPDX-License-Identifier: MIT
#include "settings_store.h"

#include <cmath>
#include <limits>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "base/display_format.h"
#include "base/number_text.h"

using namespace Qt::StringLiterals;

namespace {

QString groupKey(const QString& section, const QString& key)
{
    QString path = section;
    path.replace(u'\\', u'/');
    return path + u'/' + key;
}

template<typename T>
std::optional<T> toInteger(const QString& text)
{
    const auto number = parseDecimalText(text);
    if (!number) {
        return std::nullopt;
    }
    const auto value
        = roundDecimalText(*number, std::numeric_limits<T>::min(), std::numeric_limits<T>::max());
    if (!value) {
        return std::nullopt;
    }
    return static_cast<T>(*value);
}

QString flagText(bool on)
{
    return on ? u"True"_s : u"False"_s;
}

int levelIndex(int level)
{
    return qBound(1, level, 5) - 1;
}

QString suffix(BetType bet)
{
    return bet == BetType::Quinella ? u"Uma"_s : u"Wide"_s;
}

const QString kAutoJudge = QString::fromUtf16(SettingsSection::kAutoJudge);

} // namespace

SettingsStore::SettingsStore()
    : m_settings(
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, u"Mikazuki＋"_s))
{
    checkWritable();
}

SettingsStore::SettingsStore(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
    checkWritable();
}

SettingsStore::~SettingsStore()
{
    sync();
}

namespace {

// Whether a file holds nothing but what an INI file holds: blank lines, comments, [sections] and
// key=value lines. QSettings parses almost anything without complaint.
bool looksLikeIni(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return !QFileInfo::exists(path); // a file still to be made is fine
    }
    const QByteArray bytes = file.read(16 * 1024 * 1024);
    if (bytes.contains('\0')) {
        return false;
    }
    for (const QByteArray& rawLine : bytes.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.contains('=')
            || (line.startsWith('[') && line.endsWith(']'))) {
            continue;
        }
        return false;
    }
    return true;
}

} // namespace

void SettingsStore::checkWritable()
{
    // QSettings rewrites its whole file on the first change. A file that is not an INI text is
    // something else the user keeps: read nothing from it and never write it.
    m_settings->allKeys();
    const QString file = m_settings->fileName();
    m_writable = m_settings->status() == QSettings::NoError
                 && (!QFileInfo(file).isFile() || looksLikeIni(file));
}

void SettingsStore::sync()
{
    if (m_writable) {
        m_settings->sync();
    }
}

QString SettingsStore::fileName() const
{
    return m_settings->fileName();
}

QString SettingsStore::readText(const QString& section,
                                const QString& key,
                                const QString& defaultText) const
{
    if (!m_writable) {
        return defaultText;
    }
    const QVariant value = m_settings->value(groupKey(section, key));
    if (!value.isValid()) {
        return defaultText;
    }
    // An unquoted "," in an INI value makes QSettings split it; the stored text is the whole.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(u',');
    }
    return value.toString();
}

void SettingsStore::writeText(const QString& section, const QString& key, const QString& text)
{
    if (m_writable) {
        m_settings->setValue(groupKey(section, key), text);
    }
}

std::optional<qint16>
SettingsStore::readInteger16(const QString& section, const QString& key, qint16 def) const
{
    return toInteger<qint16>(readText(section, key, QString::number(def)));
}

std::optional<qint32>
SettingsStore::readInteger32(const QString& section, const QString& key, qint32 def) const
{
    return toInteger<qint32>(readText(section, key, QString::number(def)));
}

std::optional<bool>
SettingsStore::readFlag(const QString& section, const QString& key, bool def) const
{
    const QString text = readText(section, key, flagText(def)).trimmed();
    if (text.compare(u"True", Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (text.compare(u"False", Qt::CaseInsensitive) == 0) {
        return false;
    }
    const auto number = parseDecimalText(text);
    if (!number) {
        return std::nullopt;
    }
    // Any number other than zero is on.
    const auto nonZero = [](const std::string& digits) {
        return digits.find_first_not_of('0') != std::string::npos;
    };
    return nonZero(number->integerDigits) || nonZero(number->fractionDigits);
}

std::optional<float>
SettingsStore::readSingle(const QString& section, const QString& key, float def) const
{
    const auto number = parseDecimalText(readText(section, key, formatSingle(def)));
    if (!number) {
        return std::nullopt;
    }
    return decimalTextToSingle(*number);
}

void SettingsStore::writeInteger16(const QString& section, const QString& key, qint16 value)
{
    writeText(section, key, QString::number(value));
}

void SettingsStore::writeInteger32(const QString& section, const QString& key, qint32 value)
{
    writeText(section, key, QString::number(value));
}

void SettingsStore::writeFlag(const QString& section, const QString& key, bool value)
{
    writeText(section, key, flagText(value));
}

void SettingsStore::writeSingle(const QString& section, const QString& key, float value)
{
    writeText(section, key, formatSingle(value));
}

float SettingsStore::readTwips(const QString& section, const QString& key, float def) const
{
    // Beyond a million twips (some 17 metres) no screen reaches: such a value is no placement.
    const auto value = readSingle(section, key, def);
    return value && std::abs(*value) <= 1.0e6F ? *value : def;
}

void SettingsStore::writeTwips(const QString& section, const QString& key, float twips)
{
    writeSingle(section, key, twips);
}

QString SettingsStore::defaultPatFolder()
{
#ifdef Q_OS_WIN
    return u"C:\\Program Files\\Pat98"_s;
#else
    return QDir::homePath() + u"/.wine/drive_c/Program Files/Pat98"_s;
#endif
}

QString SettingsStore::getPatFolder() const
{
    QString folder = readText(
        QString::fromUtf16(SettingsSection::kOption), u"PatFolder"_s, defaultPatFolder());
    if (!folder.endsWith(u'/') && !folder.endsWith(u'\\')) {
        folder += QDir::separator();
    }
    return folder;
}

void SettingsStore::setPatFolder(const QString& folder)
{
    writeText(QString::fromUtf16(SettingsSection::kOption), u"PatFolder"_s, folder);
}

QString SettingsStore::patFilePath(const QString& name) const
{
    return getPatFolder() + name;
}

std::optional<qint32> SettingsStore::getHorseNoColor(int horseNo) const
{
    return readInteger32(QString::fromUtf16(SettingsSection::kHorseNoColor),
                         QString::number(horseNo),
                         SettingsDefaults::kHorseNoColor);
}

void SettingsStore::setHorseNoColor(int horseNo, qint32 colour)
{
    writeInteger32(
        QString::fromUtf16(SettingsSection::kHorseNoColor), QString::number(horseNo), colour);
}

std::optional<qint16> SettingsStore::getDetectVal() const
{
    return readInteger16(kAutoJudge, u"DetectVal"_s, SettingsDefaults::kDetectVal);
}

void SettingsStore::setDetectVal(qint16 value)
{
    writeInteger16(kAutoJudge, u"DetectVal"_s, value);
}

QString SettingsStore::betKey(const QString& name, BetType bet)
{
    return name + suffix(bet);
}

QString SettingsStore::levelKey(const QString& name, BetType bet, int level)
{
    return name + suffix(bet) + QString::number(level);
}

std::optional<qint16> SettingsStore::getDetectMin(BetType bet, int level) const
{
    const auto& defaults = bet == BetType::Quinella ? SettingsDefaults::kDetectMinUma
                                                    : SettingsDefaults::kDetectMinWide;
    return readInteger16(
        kAutoJudge, levelKey(u"DetectMin"_s, bet, level), defaults[levelIndex(level)]);
}

std::optional<qint16> SettingsStore::getDetectMax(BetType bet, int level) const
{
    const auto& defaults = bet == BetType::Quinella ? SettingsDefaults::kDetectMaxUma
                                                    : SettingsDefaults::kDetectMaxWide;
    return readInteger16(
        kAutoJudge, levelKey(u"DetectMax"_s, bet, level), defaults[levelIndex(level)]);
}

QString SettingsStore::getDispChar(BetType bet, int level) const
{
    return readText(kAutoJudge,
                    levelKey(u"DispChar"_s, bet, level),
                    QString::fromUtf16(SettingsDefaults::kDispChar[levelIndex(level)]));
}

void SettingsStore::setDetectMin(BetType bet, int level, qint16 value)
{
    writeInteger16(kAutoJudge, levelKey(u"DetectMin"_s, bet, level), value);
}

void SettingsStore::setDetectMax(BetType bet, int level, qint16 value)
{
    writeInteger16(kAutoJudge, levelKey(u"DetectMax"_s, bet, level), value);
}

void SettingsStore::setDispChar(BetType bet, int level, const QString& mark)
{
    writeText(kAutoJudge, levelKey(u"DispChar"_s, bet, level), mark);
}

std::optional<qint16> SettingsStore::getDispSign(BetType bet) const
{
    return readInteger16(kAutoJudge, betKey(u"DispSign"_s, bet), SettingsDefaults::kDispSign);
}

std::optional<qint32> SettingsStore::getPlusColor(BetType bet) const
{
    return readInteger32(kAutoJudge, betKey(u"PlusColor"_s, bet), SettingsDefaults::kPlusColor);
}

std::optional<qint32> SettingsStore::getMinusColor(BetType bet) const
{
    return readInteger32(kAutoJudge, betKey(u"MinusColor"_s, bet), SettingsDefaults::kMinusColor);
}

std::optional<bool> SettingsStore::getIsIdealLimit(BetType bet) const
{
    return readFlag(kAutoJudge, betKey(u"IsIdealLimit"_s, bet), true);
}

std::optional<bool> SettingsStore::getIsRealLimit(BetType bet) const
{
    return readFlag(kAutoJudge, betKey(u"IsRealLimit"_s, bet), true);
}

std::optional<bool> SettingsStore::getIsTanRatioLimit(BetType bet) const
{
    return readFlag(kAutoJudge, betKey(u"IsTanRatioLimit"_s, bet), true);
}

std::optional<bool> SettingsStore::getIsFukuRatioLimit(BetType bet) const
{
    return readFlag(kAutoJudge, betKey(u"IsFukuRatioLimit"_s, bet), true);
}

std::optional<float> SettingsStore::getIdealLimit(BetType bet) const
{
    return readSingle(kAutoJudge, betKey(u"IdealLimit"_s, bet), SettingsDefaults::kIdealLimit);
}

std::optional<float> SettingsStore::getRealLimit(BetType bet) const
{
    return readSingle(kAutoJudge,
                      betKey(u"RealLimit"_s, bet),
                      bet == BetType::Quinella ? SettingsDefaults::kRealLimitUma
                                               : SettingsDefaults::kRealLimitWide);
}

std::optional<float> SettingsStore::getTanRatioLimit(BetType bet) const
{
    return readSingle(
        kAutoJudge, betKey(u"TanRatioLimit"_s, bet), SettingsDefaults::kTanRatioLimit);
}

std::optional<float> SettingsStore::getFukuRatioLimit(BetType bet) const
{
    return readSingle(
        kAutoJudge, betKey(u"FukuRatioLimit"_s, bet), SettingsDefaults::kFukuRatioLimit);
}

void SettingsStore::setDispSign(BetType bet, qint16 value)
{
    writeInteger16(kAutoJudge, betKey(u"DispSign"_s, bet), value);
}

void SettingsStore::setPlusColor(BetType bet, qint32 colour)
{
    writeInteger32(kAutoJudge, betKey(u"PlusColor"_s, bet), colour);
}

void SettingsStore::setMinusColor(BetType bet, qint32 colour)
{
    writeInteger32(kAutoJudge, betKey(u"MinusColor"_s, bet), colour);
}

void SettingsStore::setIsIdealLimit(BetType bet, bool on)
{
    writeFlag(kAutoJudge, betKey(u"IsIdealLimit"_s, bet), on);
}

void SettingsStore::setIsRealLimit(BetType bet, bool on)
{
    writeFlag(kAutoJudge, betKey(u"IsRealLimit"_s, bet), on);
}

void SettingsStore::setIsTanRatioLimit(BetType bet, bool on)
{
    writeFlag(kAutoJudge, betKey(u"IsTanRatioLimit"_s, bet), on);
}

void SettingsStore::setIsFukuRatioLimit(BetType bet, bool on)
{
    writeFlag(kAutoJudge, betKey(u"IsFukuRatioLimit"_s, bet), on);
}

void SettingsStore::setIdealLimit(BetType bet, float value)
{
    writeSingle(kAutoJudge, betKey(u"IdealLimit"_s, bet), value);
}

void SettingsStore::setRealLimit(BetType bet, float value)
{
    writeSingle(kAutoJudge, betKey(u"RealLimit"_s, bet), value);
}

void SettingsStore::setTanRatioLimit(BetType bet, float value)
{
    writeSingle(kAutoJudge, betKey(u"TanRatioLimit"_s, bet), value);
}

void SettingsStore::setFukuRatioLimit(BetType bet, float value)
{
    writeSingle(kAutoJudge, betKey(u"FukuRatioLimit"_s, bet), value);
}
