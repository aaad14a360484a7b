// The schema, the scripts and the queries run through a real SQLite on a new in-memory
// database, the way Populate and the canned queries hand them to the engine: one text a call.

#include "DemoData.h"
#include "DemoQueries.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Row = std::vector<std::string>;

struct Result {
    int code = SQLITE_OK;
    std::string error;
    std::vector<std::string> columns;
    std::vector<Row> rows;
};

struct Closer {
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};

class DemoDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        sqlite3 *raw = nullptr;
        const int rc = sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        db_.reset(raw); // closed even when the open failed
        ASSERT_EQ(rc, SQLITE_OK);
    }

    // Runs the whole text in one call, every statement of it, collecting the rows.
    Result run(const QString &sql)
    {
        Result result;
        char *error = nullptr;
        const QByteArray utf8 = sql.toUtf8();
        result.code = sqlite3_exec(db_.get(), utf8.constData(), &DemoDatabase::collect, &result, &error);
        if (error) {
            result.error = error;
            sqlite3_free(error);
        }
        return result;
    }

    void runOk(const QString &sql)
    {
        const Result result = run(sql);
        ASSERT_EQ(result.code, SQLITE_OK) << result.error;
    }

    void populate()
    {
        runOk(kest::CreateArtistsTableSql);
        runOk(kest::CreateCDsTableSql);
        runOk(kest::BuildArtistsScript());
        runOk(kest::BuildCDsScript());
    }

    std::vector<Row> rows(const char *sql)
    {
        const Result result = run(QString::fromUtf8(sql));
        EXPECT_EQ(result.code, SQLITE_OK) << result.error;
        return result.rows;
    }

    long long scalar(const char *sql)
    {
        const std::vector<Row> found = rows(sql);
        return found.size() == 1 && found[0].size() == 1 ? std::stoll(found[0][0]) : -1;
    }

private:
    static int collect(void *context, int count, char **values, char **names)
    {
        auto *result = static_cast<Result *>(context);
        if (result->columns.empty())
            result->columns.assign(names, names + count);
        Row row;
        for (int i = 0; i < count; ++i)
            row.emplace_back(values[i] ? values[i] : "");
        result->rows.push_back(std::move(row));
        return 0;
    }

    std::unique_ptr<sqlite3, Closer> db_;
};

std::string s(std::string_view text)
{
    return std::string(text);
}

} // namespace

TEST_F(DemoDatabase, PopulateGivesArtistIdsOneToTwentySixInListOrder)
{
    populate();
    const std::vector<Row> artists = rows("SELECT ArtistID, ArtistName FROM Artists ORDER BY rowid");
    ASSERT_EQ(artists.size(), 26u);
    for (size_t i = 0; i < artists.size(); ++i)
        EXPECT_EQ(artists[i], (Row{std::to_string(i + 1), s(kest::DemoArtists[i])}));
}

TEST_F(DemoDatabase, PopulateGivesCDIdsOneToTwoHundredFourInListOrder)
{
    populate();
    const std::vector<Row> cds = rows("SELECT CDID, ArtistID, Title, Date, typeof(Date) FROM CDs ORDER BY rowid");
    ASSERT_EQ(cds.size(), 204u);
    for (size_t i = 0; i < cds.size(); ++i) {
        const kest::DemoCD &cd = kest::DemoCDs[i];
        EXPECT_EQ(cds[i], (Row{std::to_string(i + 1), std::to_string(cd.artistId), s(cd.title), s(cd.date), "text"}));
    }
    EXPECT_EQ(scalar("SELECT count(*) FROM CDs WHERE Title = 'United Abominations '"), 1);
}

TEST_F(DemoDatabase, EveryCDJoinsItsArtist)
{
    populate();
    EXPECT_EQ(scalar("SELECT count(*) FROM Artists t1, CDs WHERE t1.ArtistID = CDs.ArtistID"), 204);
}

TEST_F(DemoDatabase, ExampleQueryShowsTheFourWraithAlbumsByYear)
{
    populate();
    const Result result = run(kest::ExampleQuerySql);
    ASSERT_EQ(result.code, SQLITE_OK) << result.error;
    EXPECT_EQ(result.columns, (std::vector<std::string>{"ArtistName", "Title", "Date"}));
    EXPECT_EQ(result.rows, (std::vector<Row>{{"Wraith", "Naked Agression", "1989"},
                                             {"Wraith", "Riot", "1993"},
                                             {"Wraith", "Schizophrenia", "1996"},
                                             {"Wraith", "Evolution", "2007"}}));
}

TEST_F(DemoDatabase, CreatingTheTablesAgainChangesNothing)
{
    populate();
    runOk(kest::CreateArtistsTableSql);
    runOk(kest::CreateCDsTableSql);
    EXPECT_EQ(scalar("SELECT count(*) FROM Artists"), 26);
    EXPECT_EQ(scalar("SELECT count(*) FROM CDs"), 204);
}

TEST_F(DemoDatabase, SecondPopulateDoublesEveryRow)
{
    populate();
    populate();
    EXPECT_EQ(scalar("SELECT count(*) FROM Artists"), 52);
    EXPECT_EQ(scalar("SELECT count(*) FROM CDs"), 408);
    // The second copies follow the first, and their CDs still name artists 1..26.
    const std::vector<Row> artists = rows("SELECT ArtistID, ArtistName FROM Artists WHERE ArtistID > 26 ORDER BY ArtistID");
    ASSERT_EQ(artists.size(), 26u);
    for (size_t i = 0; i < artists.size(); ++i)
        EXPECT_EQ(artists[i], (Row{std::to_string(27 + i), s(kest::DemoArtists[i])}));
    EXPECT_EQ(scalar("SELECT min(CDID) FROM CDs WHERE CDID > 204"), 205);
    EXPECT_EQ(scalar("SELECT max(CDID) FROM CDs"), 408);
    EXPECT_EQ(scalar("SELECT max(ArtistID) FROM CDs"), 26);
    EXPECT_EQ(scalar("SELECT count(*) FROM (SELECT ArtistName FROM Artists GROUP BY ArtistName HAVING count(*) <> 2)"), 0);
    // "Time and a Word" 1970 was there twice already, so it is there four times now.
    EXPECT_EQ(scalar("SELECT count(*) FROM (SELECT 1 FROM CDs GROUP BY ArtistID, Title, Date HAVING count(*) <> 2)"), 1);
    EXPECT_EQ(scalar("SELECT count(*) FROM CDs WHERE Title = 'Time and a Word'"), 4);
}

TEST_F(DemoDatabase, Query1GivesAllAlbumsByArtistThenNewestFirst)
{
    populate();
    const Result result = run(kest::Query1Sql);
    ASSERT_EQ(result.code, SQLITE_OK) << result.error;
    ASSERT_EQ(result.rows.size(), 204u);
    EXPECT_EQ(result.columns, (std::vector<std::string>{"ArtistName", "Title", "Date"}));
    int timeAndAWord = 0;
    for (size_t i = 0; i < result.rows.size(); ++i) {
        timeAndAWord += result.rows[i][1] == "Time and a Word";
        if (i == 0)
            continue;
        const Row &before = result.rows[i - 1];
        const Row &row = result.rows[i];
        ASSERT_LE(before[0], row[0]) << i; // all names are ASCII, so byte order is SQLite's order
        if (before[0] == row[0]) {
            EXPECT_GE(before[2], row[2]) << row[0] << ": " << before[1] << " before " << row[1];
        }
    }
    EXPECT_EQ(timeAndAWord, 2);
    EXPECT_EQ(result.rows.front(), (Row{"All About Eve", "Ultraviolet", "1992"}));
    EXPECT_EQ(result.rows.back(), (Row{"Yes", "Yes", "1969"}));
}

TEST_F(DemoDatabase, Query2GivesTheCrossJoinOfBothTables)
{
    populate();
    const Result result = run(kest::Query2Sql);
    ASSERT_EQ(result.code, SQLITE_OK) << result.error;
    EXPECT_EQ(result.rows.size(), 5304u);
    EXPECT_EQ(result.columns,
              (std::vector<std::string>{"ArtistID", "ArtistName", "CDID", "ArtistID", "Title", "Date"}));
    for (const Row &row : result.rows) {
        ASSERT_EQ(row.size(), 6u);
    }
}

TEST_F(DemoDatabase, DbInfoListsTheTwoTables)
{
    populate();
    const Result result = run(kest::DbInfoSql);
    ASSERT_EQ(result.code, SQLITE_OK) << result.error;
    ASSERT_EQ(result.rows.size(), 2u);
    EXPECT_EQ(result.columns.at(1), "name");
    EXPECT_EQ(result.rows[0][1], "Artists");
    EXPECT_EQ(result.rows[1][1], "CDs");
}

TEST_F(DemoDatabase, DbInfoOnAnEmptyDatabaseGivesNoRows)
{
    const Result result = run(kest::DbInfoSql);
    EXPECT_EQ(result.code, SQLITE_OK) << result.error;
    EXPECT_TRUE(result.rows.empty());
}

TEST_F(DemoDatabase, ExplainListsOpcodesWithoutRunningTheCrossJoin)
{
    populate();
    const Result result = run(kest::ExplainSql(kest::Query2Sql));
    ASSERT_EQ(result.code, SQLITE_OK) << result.error;
    ASSERT_FALSE(result.rows.empty());
    EXPECT_LT(result.rows.size(), 200u);
    EXPECT_EQ(result.columns.at(1), "opcode");
}

TEST_F(DemoDatabase, ExplainTwiceIsRejected)
{
    populate();
    const Result result = run(kest::ExplainSql(kest::ExplainSql(kest::Query1Sql)));
    EXPECT_EQ(result.code, SQLITE_ERROR);
    EXPECT_TRUE(result.rows.empty());
}

TEST_F(DemoDatabase, ExplainOfAnEmptyWindowIsRejected)
{
    EXPECT_EQ(run(kest::ExplainSql(QString())).code, SQLITE_ERROR);
}

TEST_F(DemoDatabase, QueriesFailWithoutTheTables)
{
    EXPECT_EQ(run(kest::Query1Sql).code, SQLITE_ERROR);
    EXPECT_EQ(run(kest::Query2Sql).code, SQLITE_ERROR);
}

TEST_F(DemoDatabase, DropRemovesBothTablesAndMayRunAgain)
{
    populate();
    runOk(kest::DropArtistsTableSql);
    runOk(kest::DropCDsTableSql);
    EXPECT_EQ(scalar("SELECT count(*) FROM sqlite_master"), 0);
    runOk(kest::DropArtistsTableSql);
    runOk(kest::DropCDsTableSql);
}
