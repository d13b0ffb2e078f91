// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QAbstractTableModel>

#include "analysis/pair_list.h"

/// The table model the pair-list views show: a thin view of a PairList that the race display
/// owns. Texts, colours and alignment are made here when a view asks.
class PairListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit PairListModel(PairList& list, QObject* parent = nullptr);

    const PairList& list() const { return m_list; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static Qt::Alignment alignment(int column);

    /// The list is about to change as a whole (a load), and has changed: one reset.
    void beginChange();
    void endChange();

    /// Sorts the list by a column, as the views see it.
    void sortByColumn(int column, PairSort kind);

    /// How a row's actual odds moved: −1 falling, +1 rising (for the actual column; the
    /// previous value is its tooltip).
    static constexpr int MoveRole = Qt::UserRole + 1;

    /// The sort a click on a heading asks for: column 0 sorts as text, the others generically
    /// (left ascending, right descending), the middle button descending with case, or as
    /// numbers. Empty for other buttons.
    static std::optional<PairSort> sortForClick(int column, Qt::MouseButton button);

private:
    PairList& m_list;
    bool m_changing = false;
};
