// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>

/// A horse-table cell: a label with a one-pixel border that keeps its colour whatever colour the
/// text takes; odds that moved get the tint and arrow of their move.
class CellLabel final : public QLabel
{
public:
    using QLabel::QLabel;

    enum class Look {
        Caption, ///< plain text on the window
        Heading, ///< framed, on the window's colour
        Cell,    ///< framed, black on white
    };
    /// A label of the main window with its historic name; the caller places it. Captions are
    /// QLabels, the framed looks CellLabels.
    static QLabel* create(
        QWidget* parent, const QString& name, const QString& text, Look look, Qt::Alignment align);

    /// The move shown (-1, 0, +1); also the "move" property, which the tests read (set on a
    /// change only: a property is looked up by name).
    void setMove(int direction);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_move = 0;
};
