// SPDX-License-Identifier: MIT
#pragma once

class QPainter;
class QRect;

/// How an odds cell shows that its odds moved: falling odds (money coming in) red and pointing
/// down, rising blue and up. A tint under the text, an arrow at the cell's left, away from the
/// right-aligned value. Shared by the horse table's labels and the pair lists' delegate.
struct MovePainting final
{
    static void paintTint(QPainter& painter, const QRect& cell, int direction);
    static void paintArrow(QPainter& painter, const QRect& cell, int direction);
};
