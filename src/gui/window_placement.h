// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QList>
#include <QRect>
#include <QString>

class OuterGeometry;
class QWidget;
class SettingsStore;

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

/// Shows a window the user asked for, in front.
void bringUp(QWidget& window);

/// A window's placement in the settings: the outer frame's Left and Top, and for some windows its
/// Width, or its Height and Width, in twips, under one section. Read and applied when the window
/// is made, stored when it closes.
class WindowPlacement final
{
public:
    enum class Stored {
        Position,         ///< Left, Top; the window keeps the (client) size it has
        PositionAndWidth, ///< Left, Top, Width; the outer height is the default's
        PositionAndSize,  ///< Left, Top, Height, Width
    };

    enum class Resize {
        Fixed,  ///< only the program sizes the window
        ByUser, ///< the user may resize it
    };

    /// `defaults`: the placement when a key is missing or the stored one is unusable.
    /// `largest`: the largest outer size taken from the store; by default ten times the
    /// default size.
    WindowPlacement(QWidget& window,
                    SettingsStore& settings,
                    const QString& section,
                    const QRectF& defaults,
                    Stored stored,
                    Resize resize,
                    std::optional<QSizeF> largest = std::nullopt);

    /// Reads the keys in order (Left, Top, then Height before Width) and applies them. A
    /// placement that would show on no screen, or a size below 1 twip or beyond `largest`, gives
    /// way to the defaults.
    void restore();
    /// Sets the outer size, in twips (the main window's views).
    void setOuterSize(const QSizeF& twips);
    /// The placement applied last, in twips.
    QRectF placed() const { return m_placed; }
    /// Writes the keys unless the window is minimised. What the user did not change is written
    /// as it was read, so nothing drifts through the conversion to pixels and back.
    void store();

private:
    QWidget& m_window;
    SettingsStore& m_settings;
    QString m_section;
    QRectF m_defaults;
    QSizeF m_largest;
    Stored m_stored;
    bool m_resizable;
    int m_dpi;
    OuterGeometry* m_outer = nullptr;
    QRectF m_placed;
};
