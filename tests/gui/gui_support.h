// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>
#include <ostream>
#include <stdexcept>

#include <QDir>
#include <QRect>
#include <QWidget>

// Readable failure messages for the values GUI tests compare.
inline void PrintTo(const QRect& r, std::ostream* os)
{
    *os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

/// A child widget by its object name. A missing one fails the test and ends it (GoogleTest
/// reports the exception), so that no caller goes on with a null pointer.
template<typename T>
T* child(QWidget& window, const QString& name)
{
    T* found = window.findChild<T*>(name);
    if (found == nullptr) {
        throw std::runtime_error("no child widget named " + name.toStdString());
    }
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
