// SPDX-License-Identifier: MIT
#include "summary_table.h"

#include <algorithm>

#include <QEvent>
#include <QHeaderView>
#include <QStandardItemModel>

#include "gui/grouped_number.h"
#include "gui/twips_layout.h"

namespace {

constexpr int kRowHeight = 270;

constexpr Qt::Alignment kNumberAlign = Qt::AlignRight | Qt::AlignVCenter;

} // namespace

SummaryTable::SummaryTable(const QString& name,
                           int textColumns,
                           const TwipsLayout& layout,
                           QWidget* parent)
    : QTableView(parent)
    , m_textColumns(textColumns)
{
    setObjectName(name);
    m_model = new QStandardItemModel(this);
    setModel(m_model);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(layout.px(kRowHeight));
    horizontalHeader()->setHighlightSections(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
}

void SummaryTable::showRows(const QList<QStringList>& rows)
{
    m_model->clear();
    const QStringList& headings = rows.constFirst();
    m_model->setHorizontalHeaderLabels(headings);
    for (int k = m_textColumns; k < headings.size(); ++k) {
        m_model->setHeaderData(
            k, Qt::Horizontal, QVariant(kNumberAlign.toInt()), Qt::TextAlignmentRole);
    }
    for (qsizetype r = 1; r < rows.size(); ++r) {
        QList<QStandardItem*> items;
        for (qsizetype k = 0; k < rows[r].size(); ++k) {
            const bool number = k >= m_textColumns;
            auto* item = new QStandardItem(number ? groupedNumber(rows[r][k]) : rows[r][k]);
            if (number) {
                item->setTextAlignment(kNumberAlign);
            }
            items << item;
        }
        m_model->appendRow(items);
    }
    fitColumns();
}

int SummaryTable::heightFor(int rows) const
{
    return horizontalHeader()->sizeHint().height() + rows * verticalHeader()->defaultSectionSize()
           + 2 * frameWidth();
}

void SummaryTable::fitColumns()
{
    resizeColumnsToContents();
    const int columns = m_model->columnCount();
    int total = 0;
    for (int col = 0; col < columns; ++col) {
        total += columnWidth(col);
    }
    const int spare = std::max(0, viewport()->width() - total);
    for (int col = 0; col < columns; ++col) {
        const int share = spare / columns + (col == columns - 1 ? spare % columns : 0);
        setColumnWidth(col, columnWidth(col) + share);
    }
}

bool SummaryTable::viewportEvent(QEvent* event)
{
    // The view's width less a scroll bar that comes and goes: what the columns share.
    if (event->type() == QEvent::Resize) {
        fitColumns();
    }
    return QTableView::viewportEvent(event);
}
