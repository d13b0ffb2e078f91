// SPDX-License-Identifier: MIT
#include "settings_store.h"

#include <atomic>
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

std::optional<bool> toFlag(const QString& stored);

} // namespace

SettingsStore::SettingsStore()
    : m_settings(
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, u"Mikazuki＋"_s))
{
    checkWritable();
}

std::unique_ptr<SettingsStore> SettingsStore::open(const QString& iniPath)
{
    return iniPath.isEmpty() ? std::make_unique<SettingsStore>()
                             : std::make_unique<SettingsStore>(iniPath);
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

QString SettingsStore::iniFileProblem(const QString& iniPath)
{
    const QFileInfo info(iniPath);
    if (!info.exists()) {
        return {};
    }
    if (info.isDir()) {
        return u"フォルダです。設定ファイル（INI）を指定してください"_s;
    }
    QFile file(iniPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return u"読み込めません"_s;
    }
    file.close();
    return looksLikeIni(iniPath) ? QString() : u"INI形式の設定ファイルではありません"_s;
}

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

QString SettingsStore::iniFile() const
{
    return m_settings->format() == QSettings::IniFormat ? m_settings->fileName() : QString();
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

namespace {

std::atomic<quint64> s_revision{1};

} // namespace

quint64 SettingsStore::revision()
{
    return s_revision.load(std::memory_order_acquire);
}

void SettingsStore::writeText(const QString& section, const QString& key, const QString& text)
{
    if (m_writable) {
        m_settings->setValue(groupKey(section, key), text);
        s_revision.fetch_add(1, std::memory_order_acq_rel);
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
    return toFlag(readText(section, key, flagText(def)));
}

namespace {

std::optional<bool> toFlag(const QString& stored)
{
    const QString text = stored.trimmed();
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

std::optional<float> toSingle(const QString& text)
{
    const auto number = parseDecimalText(text);
    if (!number) {
        return std::nullopt;
    }
    return decimalTextToSingle(*number);
}

} // namespace

std::optional<float>
SettingsStore::readSingle(const QString& section, const QString& key, float def) const
{
    return toSingle(readText(section, key, formatSingle(def)));
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

QString SettingsStore::readText(SettingsKey key, BetType bet, int index) const
{
    const SettingsKeyInfo& info = settingsKey(key);
    const QString def
        = key == SettingsKey::PatFolder ? defaultPatFolder() : info.defaultText(bet, index);
    return readText(info.sectionName(), info.storedName(bet, index), def);
}

std::optional<qint16> SettingsStore::readInteger16(SettingsKey key, BetType bet, int index) const
{
    Q_ASSERT(settingsKey(key).form == ValueForm::Integer16);
    return toInteger<qint16>(readText(key, bet, index));
}

std::optional<qint32> SettingsStore::readInteger32(SettingsKey key, BetType bet, int index) const
{
    Q_ASSERT(settingsKey(key).form == ValueForm::Integer32);
    return toInteger<qint32>(readText(key, bet, index));
}

std::optional<bool> SettingsStore::readFlag(SettingsKey key, BetType bet, int index) const
{
    Q_ASSERT(settingsKey(key).form == ValueForm::Flag);
    return toFlag(readText(key, bet, index));
}

std::optional<float> SettingsStore::readSingle(SettingsKey key, BetType bet, int index) const
{
    Q_ASSERT(settingsKey(key).form == ValueForm::Single);
    return toSingle(readText(key, bet, index));
}

qint32 SettingsStore::defaultInteger(SettingsKey key, BetType bet, int index)
{
    return toInteger<qint32>(settingsKey(key).defaultText(bet, index)).value_or(0);
}

void SettingsStore::writeText(SettingsKey key, BetType bet, int index, const QString& text)
{
    const SettingsKeyInfo& info = settingsKey(key);
    writeText(info.sectionName(), info.storedName(bet, index), text);
}

void SettingsStore::writeInteger16(SettingsKey key, BetType bet, int index, qint16 value)
{
    Q_ASSERT(settingsKey(key).form == ValueForm::Integer16);
    writeText(key, bet, index, QString::number(value));
}

void SettingsStore::writeInteger32(SettingsKey key, BetType bet, int index, qint32 value)
{
    Q_ASSERT(settingsKey(key).form == ValueForm::Integer32);
    writeText(key, bet, index, QString::number(value));
}

void SettingsStore::writeFlag(SettingsKey key, BetType bet, int index, bool value)
{
    Q_ASSERT(settingsKey(key).form == ValueForm::Flag);
    writeText(key, bet, index, flagText(value));
}

void SettingsStore::writeSingle(SettingsKey key, BetType bet, int index, float value)
{
    Q_ASSERT(settingsKey(key).form == ValueForm::Single);
    writeText(key, bet, index, formatSingle(value));
}

QString SettingsStore::getPatFolder() const
{
    QString folder = readText(SettingsKey::PatFolder);
    if (!folder.endsWith(u'/') && !folder.endsWith(u'\\')) {
        folder += QDir::separator();
    }
    return folder;
}

QString SettingsStore::patFilePath(const QString& name) const
{
    return getPatFolder() + name;
}
