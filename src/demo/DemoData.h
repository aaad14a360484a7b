#pragma once
// The demonstration database: a small music catalogue of artists and their albums.
// Everything here is constant text; nothing touches a database.

#include <QLatin1StringView>
#include <QString>

#include <array>
#include <cstddef>
#include <string_view>

namespace kest {

// Neither statement ends in a semicolon; both may run against a database that already
// holds the tables. The two blanks after EXISTS in the CDs statement are part of the text.
inline constexpr QLatin1StringView CreateArtistsTableSql{
    "CREATE TABLE IF NOT EXISTS Artists (ArtistID INTEGER PRIMARY KEY, ArtistName TEXT)"};
inline constexpr QLatin1StringView CreateCDsTableSql{
    "CREATE TABLE IF NOT EXISTS  CDs (CDID INTEGER PRIMARY KEY, ArtistID INTEGER NOT NULL, "
    "Title TEXT NOT NULL, Date TEXT)"};

inline constexpr QLatin1StringView DropArtistsTableSql{"DROP TABLE IF EXISTS Artists"};
inline constexpr QLatin1StringView DropCDsTableSql{"DROP TABLE IF EXISTS CDs"};

// One album. `artistId` is the ArtistID that its artist receives when DemoArtists is
// inserted into an empty table, so the rows depend on the order of DemoArtists.
struct DemoCD {
    int artistId;
    std::string_view title;
    std::string_view date; // four-digit year, stored as text
};

inline constexpr std::size_t DemoArtistCount = 26;
inline constexpr std::size_t DemoCDCount = 204;

// In insertion order: the n-th name becomes ArtistID n on an empty table. No text holds a
// single quote, so every value goes between single quotes unescaped.
extern const std::array<std::string_view, DemoArtistCount> DemoArtists;
// Grouped by artist; within an artist the order (not sorted by year) fixes the CDID values.
extern const std::array<DemoCD, DemoCDCount> DemoCDs;

// "BEGIN;", one INSERT a line in list order, "COMMIT;"; CR LF between lines and none after
// the last, so each table is filled in one transaction by one call.
QString BuildArtistsScript();
QString BuildCDsScript();

} // namespace kest
