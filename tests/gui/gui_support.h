// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QWidget>

/// A child widget by its object name; a missing one fails the test.
template<typename T>
T* child(QWidget& window, const QString& name)
{
    T* found = window.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

/// Saves a picture of `window` as `name` when MIKAZUKI_SCREENSHOT_DIR names a folder.
inline void saveScreenshot(QWidget& window, const QString& name)
{
    const QString dir = qEnvironmentVariable("MIKAZUKI_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        window.grab().save(QDir(dir).filePath(name));
    }
}
