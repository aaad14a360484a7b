#pragma once
// The SQL texts that Populate and the canned-query commands put into the query window.
// Lines are joined by CR LF with no line end after the last line.

#include <QLatin1StringView>
#include <QString>

namespace kest {

// Shown by Populate once the tables are filled: the four albums of "Wraith" by year.
inline constexpr QLatin1StringView ExampleQuerySql{
    "SELECT t1.ArtistName,CDs.Title,CDs.date \r\n"
    "FROM Artists t1, CDs\r\n"
    "WHERE t1.ArtistID = CDs.ArtistID AND Artistname LIKE '%wr%'\r\n"
    "ORDER BY Date;"};

// Query 1: every album with its artist, by artist and then newest first.
inline constexpr QLatin1StringView Query1Sql{
    "SELECT t1.ArtistName,CDs.Title,CDs.date \r\n"
    "FROM Artists t1, CDs \r\n"
    "WHERE t1.ArtistID=CDs.ArtistID\r\n"
    "ORDER BY ArtistName,CDs.Date DESC"};

// Query 2: the cartesian product of both tables.
inline constexpr QLatin1StringView Query2Sql{
    "-- Time-consuming cross-join (table1 x table2 = cartesian product)\r\n"
    "SELECT * from Artists,CDs"};

// DB Info: three commented-out examples and the schema table itself.
inline constexpr QLatin1StringView DbInfoSql{
    "-- SELECT name FROM sqlite_master WHERE type = 'table'\r\n"
    "-- SELECT * FROM CDs,Artists -- to CROSS JOIN (cartesian product)\r\n"
    "-- SELECT * FROM SELECT name FROM sqlite_master WHERE type = 'table'\r\n"
    "SELECT * FROM sqlite_master"};

inline constexpr QLatin1StringView ExplainCommentLine{
    "-- Explain the opcode-breakdown for the current query below"};

// Explain builds on what the query window holds: the comment line, CR LF, then "EXPLAIN "
// and the previous text unchanged. Pressing it twice gives EXPLAIN EXPLAIN, which the
// engine rejects.
QString ExplainSql(const QString &currentQuery);

} // namespace kest
