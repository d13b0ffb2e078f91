// SPDX-License-Identifier: MIT
// The interval-coverage tool on a few small seasons: the intervals the program shows keep
// covering the truth (a coverage that collapses fails), and on an efficient market few excess
// intervals leave out 0. The full measurement, many seasons of each length, is README's.
#include <gtest/gtest.h>

#include "interval_coverage.h"

TEST(IntervalCoverage, IntervalsKeepCoveringTheTruthOnAFewSmallSeasons)
{
    CoverageOptions options;
    options.days = 24;
    options.seasons = 6;
    options.firstSeed = 900;
    options.lookahead = true;
    const CoverageResult result = measureCoverage(options);
    ASSERT_TRUE(result.error.isEmpty()) << qPrintable(result.error);
    for (const IntervalKind kind :
         {IntervalKind::ReturnRate, IntervalKind::Excess, IntervalKind::Lookahead}) {
        CoverageCount all;
        for (const auto& [key, count] : result.counts) {
            if (std::get<0>(key) == kind) {
                all.shown += count.shown;
                all.covered += count.covered;
            }
        }
        ASSERT_GT(all.shown, 20) << qPrintable(intervalKindName(kind));
        // Far below 95%, with room for six seasons' chance.
        EXPECT_GT(binomialInterval(all.covered, all.shown).second, 0.9)
            << qPrintable(intervalKindName(kind)) << ": " << all.covered << " of " << all.shown;
    }

    options.market = QStringLiteral("efficient");
    options.lookahead = false;
    const CoverageResult efficient = measureCoverage(options);
    ASSERT_TRUE(efficient.error.isEmpty());
    ASSERT_GT(efficient.excessShown, 20);
    EXPECT_LT(binomialInterval(efficient.excessWithoutZero, efficient.excessShown).first, 0.06)
        << efficient.excessWithoutZero << " of " << efficient.excessShown;
}
