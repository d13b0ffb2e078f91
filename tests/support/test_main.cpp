// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    // No test may depend on the machine's locale.
    QLocale::setDefault(QLocale::c());
    return RUN_ALL_TESTS();
}
