// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QDir>

#include "pat/pat_names.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

TEST(PatNames, SiblingsReplaceTheFirstZoIgnoringCaseAndKeepTheRest)
{
    EXPECT_EQ(raceCardPathOf(u"C:\\PAT\\Zo-1234.jra"_s), u"C:\\PAT\\De-1234.jra");
    EXPECT_EQ(quinellaOddsPathOf(u"C:\\PAT\\Zo-1234.jra"_s), u"C:\\PAT\\Uo-1234.jra");
    EXPECT_EQ(raceCardPathOf(u"C:\\PAT\\ZO-1234.JRA"_s), u"C:\\PAT\\De-1234.JRA");
    EXPECT_EQ(quinellaOddsPathOf(u"/pat/zO-12.Jra"_s), u"/pat/Uo-12.Jra");
    // The first "zo-" wins, even in a folder name.
    EXPECT_EQ(raceCardPathOf(u"C:\\kazo-data\\Zo-1.jra"_s), u"C:\\kaDe-data\\Zo-1.jra");
    for (const QString& path : {u"C:\\PAT\\Uo-1234.jra"_s, u""_s, u"zo"_s, u"z-o-"_s}) {
        EXPECT_EQ(raceCardPathOf(path), QString());
        EXPECT_EQ(quinellaOddsPathOf(path), QString());
        EXPECT_EQ(raceResultPathOf(path), QString());
    }
}

TEST(PatNames, PatternTreatsOnlyQuestionMarkAsWildcard)
{
    EXPECT_TRUE(matchesPatPattern(u"Ks-1AB234.jra", u"Ks-1??234.jra"));
    EXPECT_TRUE(matchesPatPattern(u"ks-1ab234.JRA", u"Ks-1??234.jra"));
    EXPECT_FALSE(matchesPatPattern(u"Ks-1A234.jra", u"Ks-1??234.jra"));
    EXPECT_FALSE(matchesPatPattern(u"Ks-1ABC234.jra", u"Ks-1??234.jra"));
    EXPECT_TRUE(matchesPatPattern(u"Ks-*[]234.jra", u"Ks-*[]234.jra"));
    EXPECT_FALSE(matchesPatPattern(u"Ks-xy234.jra", u"Ks-*[]234.jra"));
    EXPECT_FALSE(matchesPatPattern(u"Ks-1AB234.jrb", u"Ks-1??234.jra"));
}

TEST(PatNames, ResultFileIsTheFirstMatchingRegularFile)
{
    TestFolder folder;
    const QString zo = folder.filePath(u"Zo-1234.jra"_s);
    EXPECT_EQ(raceResultPathOf(zo), QString()); // nothing there yet

    folder.write(u"Ks-1234.jra"_s, "x");                        // no inserted characters: no match
    folder.write(u"Ks-1ABC234.jra"_s, "x");                     // three: no match
    ASSERT_TRUE(QDir(folder.path()).mkdir(u"Ks-1AA234.jra"_s)); // a folder never counts
    EXPECT_EQ(raceResultPathOf(zo), QString());

    folder.write(u"ks-1zz234.JRA"_s, "x");
    EXPECT_EQ(raceResultPathOf(zo), folder.filePath(u"ks-1zz234.JRA"_s));
    folder.write(u"Ks-1BB234.jra"_s, "x"); // sorts before "ks-…": taken first
    EXPECT_EQ(raceResultPathOf(zo), folder.filePath(u"Ks-1BB234.jra"_s));
}

TEST(PatNames, ResultLookupEdges)
{
    TestFolder folder;
    // Nothing after "zo-": there is no character to insert behind.
    EXPECT_EQ(raceResultPathOf(folder.filePath(u"Zo-"_s)), QString());
    // The character after "zo-" may be the extension's dot.
    folder.write(u"Ks-.abjra"_s, "x");
    EXPECT_EQ(raceResultPathOf(folder.filePath(u"Zo-.jra"_s)), folder.filePath(u"Ks-.abjra"_s));
    // A "zo-" in the folder name puts the wildcards in the folder: that folder does not exist.
    QDir(folder.path()).mkdir(u"kazo-data"_s);
    EXPECT_EQ(raceResultPathOf(folder.filePath(u"kazo-data/Zo-1.jra"_s)), QString());
}
