// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>

/// White as the settings store it (0x00BBGGRR): the cells' background and the horse numbers'
/// default colour.
inline constexpr qint32 kWhiteSetting = 16777215;

/// A colour of the settings (0x00BBGGRR, red in the low byte) as a QColor.
inline QColor colourFromSetting(qint32 bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

/// A QColor as the settings store it (0x00BBGGRR); only the low 24 bits are kept.
inline qint32 settingFromColour(const QColor& colour)
{
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}
