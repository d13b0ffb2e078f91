// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "analysis/pair_label.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

TEST(PairLabel, LowerNumberFirstEachRightAlignedInTwo)
{
    RecordingMessageSink sink;
    EXPECT_EQ(makePairLabel(5, 3, sink), u" 3- 5");
    EXPECT_EQ(makePairLabel(3, 12, sink), u" 3-12");
    EXPECT_EQ(makePairLabel(11, 10, sink), u"10-11");
    EXPECT_EQ(makePairLabel(18, 1, sink), u" 1-18");
    EXPECT_EQ(makePairLabel(9, 10, sink), u" 9-10");
    EXPECT_TRUE(sink.messages.empty());
    // Text order of labels equals the numeric order of pairs.
    EXPECT_LT(makePairLabel(2, 17, sink), makePairLabel(10, 11, sink));
    EXPECT_LT(makePairLabel(1, 9, sink), makePairLabel(1, 10, sink));
}

TEST(PairLabel, EqualNumbersAreToldOnceAndStillLabelled)
{
    RecordingMessageSink sink;
    EXPECT_EQ(makePairLabel(7, 7, sink), u" 7- 7");
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].text, u"おかしいよ。馬番が２個同じだよ。馬連にならないよ");
    EXPECT_EQ(sink.messages[0].title, u"Mikazuki＋");
    EXPECT_EQ(sink.messages[0].icon, MessageIcon::None);
}
