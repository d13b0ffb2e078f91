// SPDX-License-Identifier: MIT
#pragma once

#include <QPushButton>

/// A button of the options dialog that shows a colour of the settings (0x00BBGGRR); the dialog
/// asks for a new one when it is pressed.
class ColourButton final : public QPushButton
{
    Q_OBJECT

public:
    ColourButton(const QString& name, QWidget* parent);

    /// Only the 24 colour bits count; the button shows nothing else.
    void setColour(qint32 colour);
    qint32 colour() const { return m_colour; }

private:
    qint32 m_colour = 0;
};
