// SPDX-License-Identifier: MIT
#include "window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "gui/outer_geometry.h"
#include "gui/twips_layout.h"
#include "settings/settings_store.h"

using namespace Qt::StringLiterals;

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

void bringUp(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

WindowPlacement::WindowPlacement(QWidget& window,
                                 SettingsStore& settings,
                                 const QString& section,
                                 const QRectF& defaults,
                                 Stored stored,
                                 Resize resize,
                                 std::optional<QSizeF> largest)
    : m_window(window)
    , m_settings(settings)
    , m_section(section)
    , m_defaults(defaults)
    , m_largest(largest.value_or(10 * defaults.size()))
    , m_stored(stored)
    , m_resizable(resize == Resize::ByUser)
    , m_dpi(TwipsLayout(window).dpi())
{
    if (stored != Stored::Position) {
        m_outer = new OuterGeometry(&window, !m_resizable);
    }
}

void WindowPlacement::restore()
{
    QRectF placed = m_defaults;
    placed.moveLeft(m_settings.readTwips(m_section, u"Left"_s, m_defaults.left()));
    placed.moveTop(m_settings.readTwips(m_section, u"Top"_s, m_defaults.top()));
    if (m_stored == Stored::PositionAndSize) {
        placed.setHeight(m_settings.readTwips(m_section, u"Height"_s, m_defaults.height()));
    }
    if (m_stored != Stored::Position) {
        placed.setWidth(m_settings.readTwips(m_section, u"Width"_s, m_defaults.width()));
    }
    const auto px = [this](double twips) {
        return twipsToPixels(twips, m_dpi);
    };
    const QSize pixels = m_stored == Stored::Position
                             ? m_window.size()
                             : QSize(px(placed.width()), px(placed.height()));
    const QRect frame(QPoint(px(placed.left()), px(placed.top())), pixels);
    if (!isOnAnyScreen(frame) || placed.width() < 1 || placed.height() < 1
        || placed.width() > m_largest.width() || placed.height() > m_largest.height()) {
        placed = m_defaults;
    }
    m_placed = placed;
    const QPoint at(px(placed.left()), px(placed.top()));
    if (m_outer != nullptr) {
        QSize size(px(placed.width()), px(placed.height()));
        QPoint topLeft = at;
        // A window the user can resize that is larger than its screen (a large scale factor
        // makes the default sizes large) is made as large as the screen and placed on it; the
        // stored size stays as it was. A window that fits stays where it was put.
        const QScreen* screen = QGuiApplication::screenAt(at);
        const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
        if (m_resizable && screen != nullptr
            && (size.width() > available.width() || size.height() > available.height())) {
            size = size.boundedTo(available.size());
            topLeft.setX(qBound(available.left(), at.x(), available.right() + 1 - size.width()));
            topLeft.setY(qBound(available.top(), at.y(), available.bottom() + 1 - size.height()));
        }
        m_outer->apply(QRect(topLeft, size));
    } else {
        // The position is the frame's; the size stays the client area's.
        m_window.move(at);
    }
}

void WindowPlacement::setOuterSize(const QSizeF& twips)
{
    m_placed.setSize(twips);
    if (m_outer != nullptr) {
        m_outer->applySize(
            QSize(twipsToPixels(twips.width(), m_dpi), twipsToPixels(twips.height(), m_dpi)));
    }
}

void WindowPlacement::store()
{
    if (m_window.isMinimized()) {
        return;
    }
    const QRect frame(m_outer != nullptr ? m_outer->settledTopLeft()
                                         : m_window.frameGeometry().topLeft(),
                      m_window.frameGeometry().size());
    const auto twips = [this](int pixels) {
        return pixelsToTwips(pixels, m_dpi);
    };
    const QPoint placedAt(twipsToPixels(m_placed.left(), m_dpi),
                          twipsToPixels(m_placed.top(), m_dpi));
    const bool moved = frame.topLeft() != placedAt;
    // A window the user cannot resize stores the size the program gave it.
    const bool resized = m_resizable && frame.size() != m_outer->applied().size();
    m_settings.writeTwips(
        m_section, u"Left"_s, moved ? twips(frame.x()) : static_cast<float>(m_placed.left()));
    m_settings.writeTwips(
        m_section, u"Top"_s, moved ? twips(frame.y()) : static_cast<float>(m_placed.top()));
    if (m_stored == Stored::PositionAndSize) {
        m_settings.writeTwips(m_section,
                              u"Height"_s,
                              resized ? twips(frame.height())
                                      : static_cast<float>(m_placed.height()));
    }
    if (m_stored != Stored::Position) {
        m_settings.writeTwips(m_section,
                              u"Width"_s,
                              resized ? twips(frame.width())
                                      : static_cast<float>(m_placed.width()));
    }
    m_settings.sync();
}
