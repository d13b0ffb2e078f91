// SPDX-License-Identifier: MIT
#include "horse_table_panel.h"

#include <algorithm>
#include <span>

#include <QEvent>
#include <QGroupBox>
#include <QLabel>

#include "base/colour.h"
#include "gui/cell_label.h"
#include "gui/twips_layout.h"
#include "race/race_display.h"

using namespace Qt::StringLiterals;

namespace {

struct ColumnPlace
{
    HorseColumn column;
    int left;
    int width;
    Qt::Alignment align;
};

struct HeadingPlace
{
    const char16_t* name;
    const char16_t* caption;
    int left;
    int width;
};

// Where the panel lies in the window: from the popularity lists' headings down to the bottom of
// the frame "元データ", left of the pair lists.
constexpr QRect kPanel(0, 1740, 10620, 10155);
// Rows of the popularity lists and of the "元データ" frame.
constexpr int kListHeadingTop = 1740;
constexpr int kListRowTop = 2100;
constexpr int kFrameHeadingTop = 360;
constexpr int kFrameRowTop = 720;
constexpr QRect kFrame(540, 6660, 7995, 5235);
constexpr int kRowPitch = 240;
constexpr int kRowHeight = 270;
constexpr int kHeadingHeight = 345;

constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignCenter;

// Block A, inside the frame.
constexpr ColumnPlace kFrameColumns[] = {
    {HorseColumn::HorseName, 240, 1755, kLeft},
    {HorseColumn::WinOdds, 2040, 735, kRight},
    {HorseColumn::WinPopularity, 2820, 495, kCentre},
    {HorseColumn::WinRatio, 3360, 735, kRight},
    {HorseColumn::PlaceOddsMin, 4260, 735, kRight},
    {HorseColumn::PlaceOddsMax, 4980, 735, kRight},
    {HorseColumn::PlaceOdds, 5760, 735, kRight},
    {HorseColumn::PlacePopularity, 6540, 495, kCentre},
    {HorseColumn::PlaceRatio, 7080, 735, kRight},
};

// Blocks B and C.
constexpr ColumnPlace kListColumns[] = {
    {HorseColumn::PopularityRank, 420, 480, kCentre},
    {HorseColumn::Mark, 900, 495, kCentre},
    {HorseColumn::WinOrderHorseNo, 1380, 675, kCentre},
    {HorseColumn::PlaceOrderHorseNo, 2040, 675, kCentre},
    {HorseColumn::WinOrderHorseName, 2820, 1515, kLeft},
    {HorseColumn::WinOrderOdds, 4320, 675, kRight},
    {HorseColumn::WinOrderRatio, 4980, 675, kRight},
    {HorseColumn::WinPlaceRatio, 5640, 675, kRight},
    {HorseColumn::PlaceOrderHorseName, 6420, 1515, kLeft},
    {HorseColumn::PlaceOrderOddsMin, 7920, 675, kRight},
    {HorseColumn::PlaceOrderOddsMax, 8580, 675, kRight},
    {HorseColumn::PlaceOrderOdds, 9240, 675, kRight},
    {HorseColumn::PlaceOrderRatio, 9900, 675, kRight},
};

constexpr HeadingPlace kFrameHeadings[] = {
    {u"Label7", u"馬名", 240, 1755},
    {u"Label2", u"単ｵｯｽﾞ", 2040, 735},
    {u"Label9", u"人気", 2820, 495},
    {u"Label5", u"支持率", 3360, 735},
    {u"Label4_0", u"複ｵｯｽﾞMin～Max    平均", 4260, 2235},
    {u"Label10", u"人気", 6540, 495},
    {u"Label6", u"支持率", 7080, 735},
};

constexpr HeadingPlace kListHeadings[] = {
    {u"Label3", u"人気", 420, 480},
    {u"Label20", u"判定", 900, 495},
    {u"Label17", u"単馬番", 1380, 675},
    {u"Label8", u"複馬番", 2040, 675},
    {u"Label11", u"単勝人気順　馬名", 2820, 1515},
    {u"Label12", u"単ｵｯｽﾞ", 4320, 675},
    {u"Label13", u"支持率", 4980, 675},
    {u"Label19", u"単：複", 5640, 675},
    {u"Label14", u"複勝人気順　馬名", 6420, 1515},
    {u"Label4_1", u"複ｵｯｽﾞMin～Max    平均", 7920, 1995},
    {u"Label18", u"支持率", 9900, 675},
};

// The columns that show odds as the Zo- file holds them: they show moves and choose a horse.
bool showsFileOdds(HorseColumn column)
{
    switch (column) {
    case HorseColumn::WinOdds:
    case HorseColumn::PlaceOddsMin:
    case HorseColumn::PlaceOddsMax:
    case HorseColumn::WinOrderOdds:
    case HorseColumn::PlaceOrderOddsMin:
    case HorseColumn::PlaceOrderOddsMax:
        return true;
    default:
        return false;
    }
}

// The columns coloured by horse number.
bool isColoured(HorseColumn column)
{
    return column == HorseColumn::WinOrderHorseNo || column == HorseColumn::WinOrderHorseName
           || column == HorseColumn::PlaceOrderHorseNo
           || column == HorseColumn::PlaceOrderHorseName;
}

// One block of horse columns within `parent`, whose top-left corner lies at `origin` (twips, in
// the window): headings, then 18 rows per column.
void addHorseBlock(const TwipsLayout& layout,
                   QWidget* parent,
                   const QPoint& origin,
                   std::span<const HeadingPlace> headings,
                   std::span<const ColumnPlace> columns,
                   int headingTop,
                   int rowTop,
                   HorseTablePanel::Cells& cells)
{
    for (const auto& h : headings) {
        QLabel* heading = CellLabel::create(parent,
                                            QString::fromUtf16(h.name),
                                            QString::fromUtf16(h.caption),
                                            CellLabel::Look::Heading,
                                            kCentre);
        layout.place(heading, {h.left, headingTop, h.width, kHeadingHeight}, origin);
    }
    for (const auto& place : columns) {
        for (int row = 1; row <= kMaxRunners; ++row) {
            QLabel* cell
                = CellLabel::create(parent,
                                    horseColumnName(place.column) + u'_' + QString::number(row),
                                    {},
                                    CellLabel::Look::Cell,
                                    place.align);
            layout.place(cell,
                         {place.left, rowTop + kRowPitch * (row - 1), place.width, kRowHeight},
                         origin);
            cells[static_cast<std::size_t>(place.column)][static_cast<std::size_t>(row - 1)] = cell;
        }
    }
}

} // namespace

HorseTablePanel::HorseTablePanel(const RaceDisplay& display,
                                 const TwipsLayout& layout,
                                 QWidget* parent)
    : QWidget(parent)
    , m_display(display)
{
    setObjectName(u"pnlHorseTable"_s);
    layout.place(this, kPanel);
    const QPoint origin = kPanel.topLeft();
    addHorseBlock(
        layout, this, origin, kListHeadings, kListColumns, kListHeadingTop, kListRowTop, m_cells);
    // Block A in its frame, below the height the window shows.
    auto* frame = new QGroupBox(u"元データ"_s, this);
    frame->setObjectName(u"Frame1"_s);
    layout.place(frame, kFrame, origin);
    addHorseBlock(
        layout, frame, {}, kFrameHeadings, kFrameColumns, kFrameHeadingTop, kFrameRowTop, m_cells);
    for (QLabel* mark : m_cells[static_cast<std::size_t>(HorseColumn::Mark)]) {
        QPalette palette = mark->palette();
        palette.setColor(QPalette::WindowText, Qt::red);
        mark->setPalette(palette);
    }
    // A press on a horse's odds chooses the horse for the chart.
    for (int column = 0; column < static_cast<int>(HorseColumn::ColumnCount); ++column) {
        if (showsFileOdds(static_cast<HorseColumn>(column))) {
            for (QLabel* label : m_cells[static_cast<std::size_t>(column)]) {
                label->installEventFilter(this);
            }
        }
    }
}

void HorseTablePanel::render()
{
    const HorseTable& table = m_display.horseTable();
    for (int column = 0; column < static_cast<int>(HorseColumn::ColumnCount); ++column) {
        const auto col = static_cast<HorseColumn>(column);
        for (int row = 1; row <= kMaxRunners; ++row) {
            QLabel* label
                = m_cells[static_cast<std::size_t>(column)][static_cast<std::size_t>(row - 1)];
            label->setText(table.text(col, row));
            if (showsFileOdds(col)) {
                const auto move = m_display.horseCellMove(col, row);
                // The odds columns' cells are framed cells.
                static_cast<CellLabel*>(label)->setMove(move ? move->direction() : 0);
                const QString tip = move ? move->toolTip() : QString();
                if (label->toolTip() != tip) {
                    label->setToolTip(tip);
                }
            }
            if (isColoured(col)) {
                renderColours(label, col, row);
            }
        }
    }
}

void HorseTablePanel::renderColours(QLabel* label, HorseColumn column, int row)
{
    // A new palette makes the label resolve and repaint it: set it only on a change.
    const CellColours colours = m_display.horseTable().colours(column, row);
    const QVariant applied = label->property("cellColours");
    const qint64 key = (qint64{colours.background} << 32) | quint32(colours.text);
    if (applied.isValid() && applied.toLongLong() == key) {
        return;
    }
    label->setProperty("cellColours", key);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, colourFromSetting(colours.background));
    palette.setColor(QPalette::WindowText, colourFromSetting(colours.text));
    label->setPalette(palette);
}

bool HorseTablePanel::eventFilter(QObject* watched, QEvent* event)
{
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool doubleClick = event->type() == QEvent::MouseButtonDblClick;
    if (!press && !doubleClick) {
        return QWidget::eventFilter(watched, event);
    }
    for (int column = 0; column < static_cast<int>(HorseColumn::ColumnCount); ++column) {
        const auto col = static_cast<HorseColumn>(column);
        const auto& labels = m_cells[static_cast<std::size_t>(column)];
        const auto* at = std::find(labels.begin(), labels.end(), watched);
        if (!showsFileOdds(col) || at == labels.end()) {
            continue;
        }
        const int row = static_cast<int>(at - labels.begin()) + 1;
        if (const auto source = m_display.horseTable().oddsShownAt(col, row)) {
            Q_EMIT horseChosen(source->second);
            if (doubleClick) {
                Q_EMIT horseOpened(source->second);
            }
        }
        return false;
    }
    return QWidget::eventFilter(watched, event);
}
