// Derived facts of the data set, so that a changed, lost or reordered row shows up with a
// message that says where.

#include "DemoData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

using kest::DemoArtists;
using kest::DemoCD;
using kest::DemoCDs;

namespace {

// CDID of a row on an empty table: its 1-based position in DemoCDs.
std::vector<int> cdidsWhere(const auto &predicate)
{
    std::vector<int> ids;
    for (size_t i = 0; i < DemoCDs.size(); ++i)
        if (predicate(DemoCDs[i]))
            ids.push_back(int(i) + 1);
    return ids;
}

std::vector<int> cdidsOfTitle(std::string_view title)
{
    return cdidsWhere([title](const DemoCD &cd) { return cd.title == title; });
}

} // namespace

TEST(DemoArtists, HoldsTwentySixDistinctNamesInIdOrder)
{
    ASSERT_EQ(DemoArtists.size(), 26u);
    EXPECT_EQ(std::set<std::string_view>(DemoArtists.begin(), DemoArtists.end()).size(), 26u);
    EXPECT_EQ(DemoArtists.front(), "Puddle of Mudd");
    EXPECT_EQ(DemoArtists[10], "Wraith"); // ArtistID 11, the example query's artist
    EXPECT_EQ(DemoArtists.back(), "Emerson Lake and Palmer");
}

TEST(DemoArtists, KeepsTheirSpellings)
{
    EXPECT_EQ(DemoArtists[2], "Love/Hate");
    EXPECT_EQ(DemoArtists[15], "REM");
    EXPECT_EQ(DemoArtists[20], "Wisbone Ash");
    EXPECT_EQ(DemoArtists[24], "Guns n Roses");
    for (std::string_view name : DemoArtists) {
        EXPECT_EQ(name.find('\''), std::string_view::npos) << name;
        EXPECT_FALSE(name.starts_with(' ') || name.ends_with(' ')) << '"' << name << '"';
    }
}

TEST(DemoCDs, HasTheRowCountOfEveryArtist)
{
    const std::vector<int> expected = {3,  10, 6, 17, 4, 5, 1,  15, 13, 1, 4,  17, 12,
                                       1,  10, 9, 3,  6, 5, 10, 9,  4,  8, 14, 6,  11};
    std::map<int, int> counts;
    for (const DemoCD &cd : DemoCDs)
        ++counts[cd.artistId];
    ASSERT_EQ(counts.size(), 26u);
    for (int artist = 1; artist <= 26; ++artist)
        EXPECT_EQ(counts[artist], expected[size_t(artist - 1)]) << "artist " << artist;
    EXPECT_EQ(DemoCDs.size(), 204u);
}

TEST(DemoCDs, GivesEachArtistAContiguousRangeOfIds)
{
    // First CDID of artists 1..26 on an empty table, and one past the last.
    const std::vector<int> firstIds = {1,   4,   14,  20,  37,  41,  46,  47,  62,  75,  76,  80,  97,
                                       109, 110, 120, 129, 132, 138, 143, 153, 162, 166, 174, 188, 194, 205};
    for (int artist = 1; artist <= 26; ++artist) {
        const std::vector<int> ids = cdidsWhere([artist](const DemoCD &cd) { return cd.artistId == artist; });
        ASSERT_FALSE(ids.empty()) << "artist " << artist;
        EXPECT_EQ(ids.front(), firstIds[size_t(artist - 1)]) << "artist " << artist;
        EXPECT_EQ(ids.back(), firstIds[size_t(artist)] - 1) << "artist " << artist;
        EXPECT_EQ(ids.back() - ids.front() + 1, int(ids.size())) << "artist " << artist;
    }
}

TEST(DemoCDs, ListsTimeAndAWordTwiceUnderYes)
{
    EXPECT_EQ(cdidsOfTitle("Time and a Word"), (std::vector<int>{98, 106}));
    for (int id : cdidsOfTitle("Time and a Word")) {
        EXPECT_EQ(DemoCDs[size_t(id - 1)].artistId, 13);
        EXPECT_EQ(DemoCDs[size_t(id - 1)].date, "1970");
    }
    EXPECT_EQ(DemoArtists[12], "Yes");
}

TEST(DemoCDs, KeepsTheTrailingBlankOfUnitedAbominations)
{
    EXPECT_EQ(cdidsOfTitle("United Abominations "), std::vector<int>{40});
    EXPECT_TRUE(cdidsOfTitle("United Abominations").empty());
    EXPECT_EQ(DemoCDs[39].date, "2007");
    // The only title with a blank at either end.
    const auto padded = cdidsWhere([](const DemoCD &cd) { return cd.title.front() == ' ' || cd.title.back() == ' '; });
    EXPECT_EQ(padded, std::vector<int>{40});
}

TEST(DemoCDs, HasTwoDifferentCheapTrickAlbums)
{
    EXPECT_EQ(cdidsOfTitle("Cheap Trick"), (std::vector<int>{20, 34}));
    EXPECT_EQ(DemoCDs[19].date, "1977");
    EXPECT_EQ(DemoCDs[33].date, "1997");
}

TEST(DemoCDs, KeepsTheirOddSpellings)
{
    for (std::string_view title : {"Naked Agression", "Catfish Risiing", "Never Turn Yuor Back on a Friend",
                                   "If I Were Brittannia Id Wave The Rules", "Lap of luxury", "Peace Sells...",
                                   "... and Then There Were Three", "Welcome back my friends...", "X&Y",
                                   "Joes Garage", "Im Not Happy", "Theres The Rub"})
        EXPECT_EQ(cdidsOfTitle(title).size(), 1u) << title;
}

TEST(DemoCDs, HasNoQuoteAndOnlyFourDigitYears)
{
    for (const DemoCD &cd : DemoCDs) {
        EXPECT_EQ(cd.title.find('\''), std::string_view::npos) << cd.title;
        ASSERT_EQ(cd.date.size(), 4u) << cd.title;
        EXPECT_TRUE(std::all_of(cd.date.begin(), cd.date.end(), [](char c) { return c >= '0' && c <= '9'; }))
            << cd.title;
        EXPECT_GE(cd.date, "1966");
        EXPECT_LE(cd.date, "2012");
    }
    EXPECT_EQ(DemoCDs.front().title, "Come Clean");
    EXPECT_EQ(DemoCDs.back().title, "Black Moon");
    EXPECT_EQ(DemoCDs.back().date, "1992");
}
