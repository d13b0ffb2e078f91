// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QLabel>

class QTimer;
class TwipsLayout;

/// A short note over the bottom of the main window's client area (lblStatus): a note of the
/// moment goes after a while or when cleared, and gives way to the live race's line, which stays
/// until it is withdrawn. The summary view shows no other free place.
class StatusNote final : public QLabel
{
    Q_OBJECT

public:
    /// `shownWidth`: the width of the client area the window shows, in pixels.
    StatusNote(const TwipsLayout& layout, std::function<int()> shownWidth, QWidget* parent);

    void showNote(const QString& text, int milliseconds);
    /// The live race's line; empty withdraws it.
    void showLive(const QString& text);
    /// Ends a note of the moment; the live line shows if there is one.
    void clearNote();
    /// Across the width shown, at the bottom of the parent; again after the parent resizes.
    void place();

private:
    void showText(const QString& text);

    const TwipsLayout& m_layout;
    std::function<int()> m_shownWidth;
    QTimer* m_timer = nullptr;
    QString m_live;
};
