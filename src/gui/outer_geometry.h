// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QPoint>
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
    /// Where the frame is, or where it was when hidden while a window shown again has not yet
    /// been framed back there.
    QPoint settledTopLeft() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit(bool force);
    void keepPlaceOverShow(QEvent::Type type);

    QWidget* m_window;
    bool m_fixedSize;
    QRect m_outer;
    QMargins m_margins{-1, -1, -1, -1};
    QPoint m_hiddenAt;        ///< the frame's place when the window was hidden
    bool m_returning = false; ///< shown again, not yet back at m_hiddenAt
    QElapsedTimer m_shownAgain;
};
