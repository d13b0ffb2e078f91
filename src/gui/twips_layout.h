// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QRect>

class QWidget;

/// Places controls by twips (1/1440 inch) at the logical DPI of a window's screen, and gives
/// the windows their two fonts.
class TwipsLayout final
{
public:
    /// The DPI of the screen `window` is on (96 when it has none yet).
    explicit TwipsLayout(const QWidget& window);
    explicit TwipsLayout(int dpi)
        : m_dpi(dpi)
    {}

    int dpi() const { return m_dpi; }
    int px(double twips) const;
    QRect px(const QRect& twips) const;
    float twips(int pixels) const;
    /// Moves and sizes `widget` to the twips rectangle `twips` within its parent.
    void place(QWidget* widget, const QRect& twips) const;
    /// The same for a control of a panel whose top-left corner lies at `origin` (twips) in the
    /// window: the control gets exactly the pixels the window would give it.
    void place(QWidget* widget, const QRect& twips, const QPoint& origin) const;

    /// The windows' font: "ＭＳ Ｐゴシック" 9 pt, Noto Sans CJK JP where it is missing.
    static QFont windowFont();
    /// The lists' fixed-pitch font: "ＭＳ ゴシック", Noto Sans Mono CJK JP where it is missing.
    static QFont fixedPitchFont(int pointSize);

private:
    int m_dpi;
};
