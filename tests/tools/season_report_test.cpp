// SPDX-License-Identifier: MIT
// The season report's figures on two races computed by hand: shares, returns with their
// standard errors by race, the favourite, the quinella pool's gain on Harville and Harville's
// frequencies by odds.
#include <cmath>
#include <gtest/gtest.h>

#include "season_report.h"

namespace {

// Race A: four starters at 2.0, 4.0, 8.0 and 16.0; 2 beats 1 and 3. Harville's chances are
// 1/odds normalised: 8/15, 4/15, 2/15, 1/15.
// Race B: three starters at 1.5, 3.0 and 6.0 (4/7, 2/7, 1/7); the favourite beats 2 and 3.
std::vector<ReportRace> twoRaces()
{
    ReportRace a;
    a.runners = 4;
    a.winOdds = {0.0, 2.0, 4.0, 8.0, 16.0};
    a.finish = {{1, 2}, {2, 1}, {3, 3}};
    a.winPaid = {{2, 400}};
    a.placePaid = {{2, 150}, {1, 110}};
    a.quinellaPaid = {{{1, 2}, 560}};
    a.widePaid = {{{1, 2}, 200}, {{2, 3}, 600}, {{1, 3}, 330}};
    ReportRace b;
    b.runners = 3;
    b.winOdds = {0.0, 1.5, 3.0, 6.0};
    b.finish = {{1, 1}, {2, 2}, {3, 3}};
    b.winPaid = {{1, 150}};
    b.placePaid = {{1, 100}, {2, 130}};
    b.quinellaPaid = {{{1, 2}, 210}};
    b.widePaid = {{{1, 2}, 130}, {{1, 3}, 220}, {{2, 3}, 480}};
    return {a, b};
}

} // namespace

TEST(SeasonReport, FiguresOfTwoRacesByHand)
{
    const SeasonFigures f = seasonFigures(twoRaces());
    EXPECT_EQ(f.races, 2);
    EXPECT_DOUBLE_EQ(f.runners.value, 3.5);
    EXPECT_DOUBLE_EQ(f.eightOrFewer.value, 1.0);
    EXPECT_DOUBLE_EQ(f.sixteenOrMore.value, 0.0);
    // Six of seven starters at 1 to 9.9, race A's 16.0 at 10 to 19.9.
    EXPECT_DOUBLE_EQ(f.starters[0].value, 6.0 / 7);
    EXPECT_DOUBLE_EQ(f.starters[1].value, 1.0 / 7);
    EXPECT_DOUBLE_EQ(f.favouriteWon.value, 0.5);
    // Every starter: 4.00 back on race A's four, 1.50 on race B's three, R = 5.5 / 7. The
    // residuals y − R·x are +6/7 and −6/7; the clustered variance is n/(n−1) · Σ residual² /
    // (Σx)² = 2 · (72/49) / 49, so the standard error is 12/49.
    EXPECT_DOUBLE_EQ(f.winReturn[5].value, 5.5 / 7);
    EXPECT_NEAR(f.winReturn[5].se, 12.0 / 49, 1e-12);
    // 1 to 9.9: race A pays 4.00 on three, race B 1.50 on three.
    EXPECT_DOUBLE_EQ(f.winReturn[0].value, 5.5 / 6);
    EXPECT_DOUBLE_EQ(f.winReturn[1].value, 0.0);
    EXPECT_DOUBLE_EQ(f.placeReturn[5].value, (1.5 + 1.1 + 1.0 + 1.3) / 7);

    // Harville's first two: P(1,2) = p1·p2/(1 − p1) + p2·p1/(1 − p2), in race A
    // (8/15)(4/15)(15/7 + 15/11) = 32/105 + 32/165 = 0.498701…, in race B
    // (4/7)(2/7)(7/3 + 7/5) = 8/21 + 8/35 = 0.609524…. The pool's: 0.775 · 100 / payout.
    const double harvilleA = 32.0 / 105 + 32.0 / 165;
    const double harvilleB = 8.0 / 21 + 8.0 / 35;
    const double gainA = -std::log(harvilleA) + std::log(77.5 / 560);
    const double gainB = -std::log(harvilleB) + std::log(77.5 / 210);
    EXPECT_NEAR(f.quinellaGain.value, (gainA + gainB) / 2, 1e-12);
    // Harville odds under 5: pairs 1-2 and 1-3 of each race (1-3: (8/15)(2/15)(15/7 + 15/13)
    // in A, (4/7)(1/7)(7/3 + 7/6) in B); both 1-2 came in.
    const double thirdA = 16.0 / 105 + 16.0 / 195;
    const double thirdB = 4.0 / 21 + 2.0 / 21;
    EXPECT_NEAR(f.quinellaRatio[0].value, 2 / (harvilleA + thirdA + harvilleB + thirdB), 1e-12);
    EXPECT_NEAR(f.quinellaReturn[0].value, (5.6 + 2.1) / 4, 1e-12);
}
