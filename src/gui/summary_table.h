// SPDX-License-Identifier: MIT
#pragma once

#include <QTableView>

class QStandardItemModel;
class TwipsLayout;

/// A table of a report's rows of texts, the headings first: the first columns texts, the rest
/// numbers grouped by thousands and aligned right. Each column is as wide as its texts and what
/// the view has beyond that is shared out, so the table fills its width without one wide last
/// column.
class SummaryTable final : public QTableView
{
public:
    SummaryTable(const QString& name, int textColumns, const TwipsLayout& layout, QWidget* parent);

    /// Shows `rows`: the headings and the lines below them.
    void showRows(const QList<QStringList>& rows);
    /// The height that shows the headings and `rows` lines without scrolling.
    int heightFor(int rows) const;

protected:
    bool viewportEvent(QEvent* event) override;

private:
    void fitColumns();

    int m_textColumns;
    QStandardItemModel* m_model = nullptr;
};
