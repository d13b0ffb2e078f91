// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // No test may touch the user's own settings: the native store goes to a temporary home.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    // Nor the user's data: the odds archive goes there.
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));
    QCoreApplication app(argc, argv);
    // No test may depend on the machine's locale.
    QLocale::setDefault(QLocale::c());
    return RUN_ALL_TESTS();
}
