// SPDX-License-Identifier: MIT
#include "pair_list_view.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyle>

#include "gui/move_delegate.h"
#include "gui/pair_list_model.h"
#include "gui/twips_layout.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kLeft = 10620;
constexpr int kTop = 1740;
constexpr int kWidth = 4635;
constexpr int kHeight = 2835;
constexpr int kRowPitch = 240;
constexpr int kColumnWidth = 540;
constexpr int kMinimumColumnWidth = 150;

} // namespace

PairListView::PairListView(const QString& name,
                           PairListModel& model,
                           const TwipsLayout& layout,
                           QWidget* parent)
    : QTableView(parent)
    , m_model(model)
{
    setObjectName(name);
    setModel(&model);
    // A point smaller than the labels: the pair lists fit eight columns in their width.
    setFont(TwipsLayout::fixedPitchFont(8));
    layout.place(this, {kLeft, kTop, kWidth, kHeight});
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(layout.px(kRowPitch));
    horizontalHeader()->setDefaultSectionSize(layout.px(kColumnWidth));
    horizontalHeader()->setHighlightSections(false);
    // Presses on a heading sort (eventFilter); the header itself selects nothing.
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setMinimumSectionSize(layout.px(kMinimumColumnWidth));
    sizeColumns();
    sizeValueColumns();
    connect(&model, &PairListModel::valuesChanged, this, &PairListView::sizeValueColumns);
    // The columns are wider than the list: a stretched last one would be squeezed, not widened.
    horizontalHeader()->setStretchLastSection(false);
    // Where a text is wider still (a long mark), it is clipped, never shortened to "…".
    setTextElideMode(Qt::ElideNone);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    horizontalHeader()->viewport()->installEventFilter(this);
    setItemDelegateForColumn(ActualColumn, new MoveDelegate(this));
    connect(selectionModel(),
            &QItemSelectionModel::currentChanged,
            this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    Q_EMIT pairChosen(m_model.pairIndexAt(current.row()));
                }
            });
}

bool PairListView::eventFilter(QObject* watched, QEvent* event)
{
    // A press on a heading sorts by that column; the button picks the kind of sort.
    if (event->type() == QEvent::MouseButtonPress && watched == horizontalHeader()->viewport()) {
        const auto* press = static_cast<QMouseEvent*>(event);
        const int column = horizontalHeader()->logicalIndexAt(press->position().toPoint());
        // The value columns sort highest first whatever the button.
        const auto kind = column >= PairList::kColumns
                              ? std::optional(PairSort::NumericDescending)
                              : PairListModel::sortForClick(column, press->button());
        if (column >= 0 && kind) {
            m_model.sortByColumn(column, *kind);
            // No current cell, and so no focus frame, stays behind after a sort.
            setCurrentIndex({});
        }
        return false;
    }
    return QTableView::eventFilter(watched, event);
}

void PairListView::sizeColumns()
{
    // Each column as wide as its widest text with the cell's margins, so that no value is cut:
    // odds of a scratched pair, a far outsider's deviation, "ﾄﾘｹｼ", three-digit ranks. A
    // deviation has no bound, so its column also grows with the longest one shown; should the
    // columns then be wider than the list, the list scrolls sideways.
    const PairList& list = m_model.list();
    qsizetype deviationLength = 0;
    for (const PairRow& row : list.rows()) {
        deviationLength = qMax(deviationLength, row[DeviationColumn].textLength());
    }
    // Widths change only when the longest deviation does: most loads leave them as they are.
    const QVariant sized = property("deviationLength");
    if (sized.isValid() && sized.toLongLong() == deviationLength) {
        return;
    }
    setProperty("deviationLength", QVariant::fromValue<qlonglong>(deviationLength));
    const QFontMetrics metrics(font());
    const char16_t* widest[PairList::kColumns]
        = {u"17-18", u"99999.9", u"99999.9", u"-1583.4", u"0.000", u"◎", u"ﾄﾘｹｼ", u"-152"};
    const int cellMargins
        = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
    const int headingMargins = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    for (int col = 0; col < PairList::kColumns; ++col) {
        int text = metrics.horizontalAdvance(QString::fromUtf16(widest[col]));
        if (col == DeviationColumn) {
            // Deviations are digits, a sign and a point: as wide as as many zeros.
            text = qMax(text, metrics.horizontalAdvance(QString(deviationLength, u'0')));
        }
        setColumnWidth(col,
                       qMax(text + cellMargins,
                            metrics.horizontalAdvance(PairList::heading(list.betType(), col))
                                + headingMargins));
    }
}

void PairListView::sizeValueColumns()
{
    // Chances and values have a bound; a stake grows with the bankroll, so its column fits the
    // longest one shown.
    const QFontMetrics metrics(font());
    const int cellMargins
        = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
    const int headingMargins = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
    for (int col = PairList::kColumns; col < PairListModel::kColumns; ++col) {
        int text = metrics.horizontalAdvance(col == ValueColumn ? u"999.99"_s : u"0.0000"_s);
        for (int row = 0; col == StakeYenColumn && row < m_model.rowCount(); ++row) {
            text = qMax(text, metrics.horizontalAdvance(m_model.index(row, col).data().toString()));
        }
        // The heading in the header's own font, and room for the frame between sections.
        const QString heading = m_model.headerData(col, Qt::Horizontal, Qt::DisplayRole).toString();
        const int headingWidth
            = horizontalHeader()->fontMetrics().horizontalAdvance(heading) + headingMargins + 2;
        setColumnWidth(col, qMax(text + cellMargins, headingWidth));
    }
}

void PairListView::noteView()
{
    m_scroll.note(*this);
}

void PairListView::restoreView(int chosenPair)
{
    doItemsLayout();
    // The chosen pair's cell again, where it had one (a sort or an open takes it away).
    if (chosenPair >= 0 && m_scroll.hadCurrent()) {
        for (int row = 0; row < m_model.rowCount(); ++row) {
            if (m_model.pairIndexAt(row) == chosenPair) {
                // The pair stays chosen where the sort put it; the scroll stays as it was.
                selectionModel()->setCurrentIndex(m_model.index(row, LabelColumn),
                                                  QItemSelectionModel::NoUpdate);
                break;
            }
        }
    }
    m_scroll.restore(*this);
}
