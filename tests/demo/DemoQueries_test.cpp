// The exact texts of the example query and the canned queries.

#include "DemoQueries.h"

#include "QtPrinters.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

QStringList linesOf(const QString &text)
{
    EXPECT_FALSE(text.endsWith(u'\n'));
    EXPECT_EQ(text.count(u'\n'), text.count(QLatin1StringView("\r\n")));
    EXPECT_EQ(text.count(u'\r'), text.count(QLatin1StringView("\r\n")));
    return text.split(QLatin1StringView("\r\n"));
}

} // namespace

TEST(DemoQueries, ExampleQueryHasFourLines)
{
    EXPECT_EQ(linesOf(kest::ExampleQuerySql),
              (QStringList{"SELECT t1.ArtistName,CDs.Title,CDs.date ", "FROM Artists t1, CDs",
                           "WHERE t1.ArtistID = CDs.ArtistID AND Artistname LIKE '%wr%'", "ORDER BY Date;"}));
}

TEST(DemoQueries, Query1DiffersFromTheExampleInItsBlanksAndOrder)
{
    EXPECT_EQ(linesOf(kest::Query1Sql),
              (QStringList{"SELECT t1.ArtistName,CDs.Title,CDs.date ", "FROM Artists t1, CDs ",
                           "WHERE t1.ArtistID=CDs.ArtistID", "ORDER BY ArtistName,CDs.Date DESC"}));
}

TEST(DemoQueries, Query2WarnsOfItsCrossJoin)
{
    EXPECT_EQ(linesOf(kest::Query2Sql),
              (QStringList{"-- Time-consuming cross-join (table1 x table2 = cartesian product)",
                           "SELECT * from Artists,CDs"}));
}

TEST(DemoQueries, DbInfoShowsThreeCommentedExamples)
{
    EXPECT_EQ(linesOf(kest::DbInfoSql),
              (QStringList{"-- SELECT name FROM sqlite_master WHERE type = 'table'",
                           "-- SELECT * FROM CDs,Artists -- to CROSS JOIN (cartesian product)",
                           "-- SELECT * FROM SELECT name FROM sqlite_master WHERE type = 'table'",
                           "SELECT * FROM sqlite_master"}));
}

TEST(DemoQueries, ExplainPutsItsCommentAndKeywordInFrontOfTheText)
{
    const QString explained = kest::ExplainSql(kest::Query2Sql);
    EXPECT_EQ(linesOf(explained),
              (QStringList{"-- Explain the opcode-breakdown for the current query below",
                           "EXPLAIN -- Time-consuming cross-join (table1 x table2 = cartesian product)",
                           "SELECT * from Artists,CDs"}));
}

TEST(DemoQueries, ExplainOfAnEmptyWindowIsTheCommentAndKeywordAlone)
{
    EXPECT_EQ(kest::ExplainSql(QString()),
              "-- Explain the opcode-breakdown for the current query below\r\nEXPLAIN ");
}

TEST(DemoQueries, ExplainKeepsThePreviousTextUnchanged)
{
    const QString previous = QStringLiteral("  select 'Motörhead'\n-- note\r\n\r\n");
    const QString explained = kest::ExplainSql(previous);
    EXPECT_TRUE(explained.endsWith(QLatin1StringView("\r\nEXPLAIN ") + previous));
    EXPECT_EQ(explained.size(), QString(kest::ExplainCommentLine).size() + 10 + previous.size());
}

TEST(DemoQueries, ExplainTwiceStacksTheKeyword)
{
    const QString twice = kest::ExplainSql(kest::ExplainSql(QStringLiteral("SELECT 1")));
    EXPECT_EQ(linesOf(twice),
              (QStringList{"-- Explain the opcode-breakdown for the current query below",
                           "EXPLAIN -- Explain the opcode-breakdown for the current query below",
                           "EXPLAIN SELECT 1"}));
}
