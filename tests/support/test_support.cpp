// SPDX-License-Identifier: MIT
#include "test_support.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace Qt::StringLiterals;
#include <QStringEncoder>

QByteArray sjis(const QString& text)
{
    QStringEncoder encoder("windows-932");
    QByteArray bytes = encoder.encode(text);
    EXPECT_FALSE(encoder.hasError()) << text.toStdString();
    return bytes;
}

ByteLayout& ByteLayout::put(qsizetype offset, const QByteArray& field)
{
    if (m_bytes.size() < offset + field.size()) {
        m_bytes.append(offset + field.size() - m_bytes.size(), ' ');
    }
    m_bytes.replace(offset, field.size(), field);
    return *this;
}

TestFolder::TestFolder()
{
    EXPECT_TRUE(m_dir.isValid());
}

QString TestFolder::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    EXPECT_EQ(file.write(bytes), bytes.size());
    return path;
}

QByteArray handWinPlaceOdds(const QString& runnerCount, const std::vector<HandOdds>& odds)
{
    ByteLayout b(142 + 18 * static_cast<qsizetype>(odds.size()));
    b.put(0, QByteArray("20261206")).put(28, u"中山"_s).put(36, QByteArray("05"));
    b.put(38, QByteArray("02")).put(40, QByteArray("11")).put(43, QByteArray(" "));
    b.put(48, u"有馬記念"_s).put(76, u"サラ系３歳以上　オープン"_s).put(140, runnerCount);
    qsizetype at = 142;
    for (const HandOdds& o : odds) {
        b.put(at + 3, o.win.rightJustified(5)).put(at + 8, o.placeMin.rightJustified(5));
        b.put(at + 13, o.placeMax.rightJustified(5));
        at += 18;
    }
    return b.bytes();
}

QByteArray handRaceCard(const QString& startTime, const std::vector<QString>& names)
{
    ByteLayout b(92 + 48 * static_cast<qsizetype>(names.size()));
    b.put(22, startTime).put(90, QString::number(names.size()).rightJustified(2));
    qsizetype at = 92;
    for (const QString& name : names) {
        b.put(at + 6, name);
        at += 48;
    }
    return b.bytes();
}
