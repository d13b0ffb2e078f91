// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QGuiApplication>
#include <QPalette>

#include "gui/pair_list_model.h"

using namespace Qt::StringLiterals;

TEST(PairListModel, ShowsTheListsCellsColoursAndMovesAndSortsAsOneLayoutChange)
{
    PairList list(BetType::Wide);
    PairListModel model(list);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.beginChange();
    list.rows().resize(3);
    for (int r = 0; r < 3; ++r) {
        list.rows()[static_cast<std::size_t>(r)][LabelColumn] = Cell::pairLabel(1, r + 2);
    }
    list.rows()[1][ActualColumn] = Cell::number(12.25, CellForm::Fixed1); // halves away from 0
    list.rows()[1].markColour = QColor(Qt::red).rgba();
    list.rows()[2].markColourIsBase = true;
    list.setLabelBackground(1, QColor(Qt::yellow).rgba());
    std::vector<PairMove> moves(Cell::kPairIndexCount);
    moves[static_cast<std::size_t>(Cell::pairLabel(1, 3).pairIndex())] = {-1, u"前回 13.0"_s};
    list.setMoves(std::move(moves));
    list.setTheoryNote(u"Harville"_s);
    model.endChange();

    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.headerData(LabelColumn, Qt::Horizontal, Qt::DisplayRole), u"ﾜｲﾄﾞ "_s);
    EXPECT_EQ(model.headerData(TheoreticalColumn, Qt::Horizontal, Qt::ToolTipRole), u"Harville"_s);
    const auto at = [&model](int row, int column, int role) {
        return model.data(model.index(row, column), role);
    };
    EXPECT_EQ(at(1, ActualColumn, Qt::DisplayRole).toString(), u"12.3");
    EXPECT_EQ(at(1, MarkColumn, Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    EXPECT_EQ(at(2, MarkColumn, Qt::ForegroundRole).value<QColor>(),
              QGuiApplication::palette().color(QPalette::Base));
    EXPECT_EQ(at(1, LabelColumn, Qt::BackgroundRole).value<QColor>(), QColor(Qt::yellow));
    EXPECT_FALSE(at(0, LabelColumn, Qt::BackgroundRole).isValid());
    EXPECT_EQ(at(1, ActualColumn, PairListModel::MoveRole).toInt(), -1);
    EXPECT_EQ(at(1, ActualColumn, Qt::ToolTipRole).toString(), u"前回 13.0");
    EXPECT_FALSE(at(0, ActualColumn, PairListModel::MoveRole).isValid());

    // The move follows its pair when a sort moves the row.
    model.sortByColumn(LabelColumn, PairSort::TextDescending);
    EXPECT_EQ(at(0, LabelColumn, Qt::DisplayRole).toString(), u" 1- 4");
    EXPECT_EQ(at(1, ActualColumn, PairListModel::MoveRole).toInt(), -1);

    // Clearing empties texts and colours and keeps the rows.
    model.beginChange();
    list.clearCells();
    model.endChange();
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(list.rows()[1], PairRow{});
}
