// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QRect>

/// Screen lengths in twips (1/1440 inch) and pixels at a logical DPI.
inline int twipsToPixels(double twips, int dpi)
{
    // Bounded so that no stored length can overflow the conversion.
    return qRound(qBound(-1.0e9, twips * dpi / 1440.0, 1.0e9));
}

inline float pixelsToTwips(int pixels, int dpi)
{
    return static_cast<float>(pixels * 1440.0 / dpi);
}

/// Whether a window frame at `frame` would show on any of the `screens` at all.
bool isOnAnyScreen(const QRect& frame, const QList<QRect>& screens);

/// The same against the available area of every screen the application has.
bool isOnAnyScreen(const QRect& frame);
