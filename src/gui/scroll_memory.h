// SPDX-License-Identifier: MIT
#pragma once

class QAbstractItemView;

/// Where a list was scrolled and whether it had a current cell: an automatic reload keeps what
/// the user looks at, an open starts at the first row.
class ScrollMemory final
{
public:
    void note(const QAbstractItemView& view);
    /// Sets the scroll bars back. After a model reset the caller lays the view out first
    /// (doItemsLayout): the reset leaves the scroll ranges to a later layout, and the old
    /// positions would not fit yet.
    void restore(QAbstractItemView& view) const;
    bool hadCurrent() const { return m_hadCurrent; }

    /// No current cell, both scroll bars at their start; only what moved is set back, so a view
    /// already at its first row costs nothing.
    static void showFirstRow(QAbstractItemView& view);

private:
    int m_vertical = 0;
    int m_horizontal = 0;
    bool m_hadCurrent = false;
};
