// SPDX-License-Identifier: MIT
#include "colour_button.h"

#include "base/colour.h"
#include "settings/options_values.h"

using namespace Qt::StringLiterals;

ColourButton::ColourButton(const QString& name, QWidget* parent)
    : QPushButton(parent)
{
    setObjectName(name);
    setColour(OptionsValues::kWhite);
}

void ColourButton::setColour(qint32 colour)
{
    const qint32 bgr = colour & 0xFFFFFF;
    m_colour = bgr;
    // The tests read the colour as the button carries it.
    setProperty("colour", bgr);
    setStyleSheet(u"QPushButton { background-color: %1; border: 1px solid #808080; }"_s.arg(
        colourFromSetting(bgr).name()));
}
