// SPDX-License-Identifier: MIT
#include "window_placement.h"

bool isOnAnyScreen(const QRect& frame, const QList<QRect>& screens)
{
    for (const QRect& screen : screens) {
        if (screen.intersects(frame)) {
            return true;
        }
    }
    return false;
}
