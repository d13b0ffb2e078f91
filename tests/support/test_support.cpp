// SPDX-License-Identifier: MIT
#include "test_support.h"

#include <gtest/gtest.h>

#include <QFile>
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
