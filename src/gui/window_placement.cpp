// SPDX-License-Identifier: MIT
#include "window_placement.h"

#include <QGuiApplication>
#include <QScreen>

bool isOnAnyScreen(const QRect& frame, const QList<QRect>& screens)
{
    for (const QRect& screen : screens) {
        if (screen.intersects(frame)) {
            return true;
        }
    }
    return false;
}

bool isOnAnyScreen(const QRect& frame)
{
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens << screen->availableGeometry();
    }
    return isOnAnyScreen(frame, screens);
}
