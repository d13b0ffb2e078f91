// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QRect>

class QWidget;

/// Keeps a top-level window's outer geometry (frame included) where the program put it.
/// A window manager tells the frame only after the window is mapped, and a frame may change
/// later (another theme): whenever the frame margins differ from those last applied, the client
/// size is set again so that the outer size stays as applied.
class OuterGeometry final : public QObject
{
public:
    /// `fixedSize`: the window cannot be resized by the user (setFixedSize instead of resize).
    OuterGeometry(QWidget* window, bool fixedSize);

    /// Moves the frame to `outer`'s top left and sizes it to `outer`'s size, in pixels.
    void apply(const QRect& outer);
    /// Sizes the frame, keeping its position.
    void applySize(const QSize& outer);
    /// The outer geometry last applied, in pixels.
    QRect applied() const { return m_outer; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit(bool force);

    QWidget* m_window;
    bool m_fixedSize;
    QRect m_outer;
    QMargins m_margins{-1, -1, -1, -1};
};
