#include "lib_test_support.h"

#include <gtest/gtest.h>

#include <thread>

using namespace kest::test;

namespace {

class TableQuery : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(db.open_status(), KEST_OK); }
    Db db;
};

} // namespace

TEST_F(TableQuery, RowZeroHoldsTheNamesAndRowsFollow)
{
    TableResult r = get_table(db.handle(), "SELECT 1 AS a, 'x' AS b UNION ALL SELECT 2, 'y'");
    ASSERT_EQ(r.returned, KEST_OK);
    EXPECT_EQ(r.status, KEST_OK);
    EXPECT_FALSE(r.has_error);
    ASSERT_NE(r.table, nullptr);
    EXPECT_EQ(r.table->column_count, 2);
    EXPECT_EQ(r.table->row_count, 3);
    EXPECT_EQ(r.rows, 2);
    EXPECT_EQ(r.cell(0, 0), "a");
    EXPECT_EQ(r.cell(1, 0), "b");
    EXPECT_EQ(r.cell(0, 1), "1");
    EXPECT_EQ(r.cell(1, 1), "x");
    EXPECT_EQ(r.cell(0, 2), "2");
    EXPECT_EQ(r.cell(1, 2), "y");
}

TEST_F(TableQuery, NoTableWhenNoStatementGaveARow)
{
    for (const char *sql : {"CREATE TABLE t(x)", "INSERT INTO t VALUES(1)", "SELECT x FROM t WHERE x > 5", "", "-- only a comment",
                            "  ;  "}) {
        TableResult r = get_table(db.handle(), sql);
        EXPECT_EQ(r.status, KEST_OK) << sql;
        EXPECT_EQ(r.table, nullptr) << sql;
        EXPECT_EQ(r.rows, 0) << sql;
        EXPECT_FALSE(r.has_error) << sql;
    }
}

TEST_F(TableQuery, AllStatementsRunAndTheirRowsAreCollected)
{
    TableResult r = get_table(db.handle(),
                              "CREATE TABLE t(x INTEGER, y TEXT);\r\n"
                              "INSERT INTO t VALUES(1,'one');INSERT INTO t VALUES(2,'two');\n"
                              "SELECT * FROM t; SELECT x * 10, y FROM t ORDER BY x DESC");
    ASSERT_EQ(r.status, KEST_OK);
    ASSERT_NE(r.table, nullptr);
    EXPECT_EQ(r.rows, 4);
    EXPECT_EQ(r.cell(0, 0), "x");
    EXPECT_EQ(r.cell(1, 4), "one");
    EXPECT_EQ(r.cell(0, 3), "20");
}

TEST_F(TableQuery, RowsOfDifferentWidthsWidenTheTable)
{
    TableResult r = get_table(db.handle(), "SELECT 1 AS a; SELECT 2 AS p, 3 AS q, 4 AS r; SELECT 5 AS z, 6 AS w");
    ASSERT_NE(r.table, nullptr);
    EXPECT_EQ(r.table->column_count, 3);
    EXPECT_EQ(r.rows, 3);
    // Names come from the first statement whose rows had the column.
    EXPECT_EQ(r.cell(0, 0), "a");
    EXPECT_EQ(r.cell(1, 0), "q");
    EXPECT_EQ(r.cell(2, 0), "r");
    EXPECT_EQ(r.cell(0, 1), "1");
    EXPECT_EQ(r.cell(1, 1), "");
    EXPECT_EQ(r.cell(2, 1), "");
    EXPECT_EQ(r.cell(2, 2), "4");
    EXPECT_EQ(r.cell(1, 3), "6");
    EXPECT_EQ(r.cell(2, 3), "");
}

// Millions of cells span many blocks of memory, which become one array of cells at the end;
// a later, wider statement lays all of them out again.
TEST_F(TableQuery, MillionsOfCellsComeBackInPlace)
{
    constexpr int Rows = 1200000;
    const std::string numbers = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                                std::to_string(Rows) + ") SELECT i, i * 3 FROM n";
    TableResult r = get_table(db.handle(), numbers + "; SELECT 'x', 'y', 'z' AS wide");
    ASSERT_NE(r.table, nullptr);
    ASSERT_EQ(r.rows, Rows + 1);
    EXPECT_EQ(r.cell(2, 0), "wide");
    int wrong = 0;
    for (int row = 1; row <= Rows; ++row)
        wrong += r.cell(0, row) != std::to_string(row) || r.cell(1, row) != std::to_string(row * 3) ||
                 r.cell(2, row) != "";
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(r.cell(2, Rows + 1), "z");
}

TEST_F(TableQuery, ALaterFailureKeepsTheRowsSoFarWithTheErrorText)
{
    TableResult r = get_table(db.handle(), "SELECT 'kept' AS v; SELECT * FROM missing; SELECT 'never'");
    EXPECT_EQ(r.returned, KEST_ERROR);
    EXPECT_EQ(r.status, KEST_ERROR);
    ASSERT_NE(r.table, nullptr);
    EXPECT_EQ(r.rows, 1);
    EXPECT_EQ(r.cell(0, 1), "kept");
    EXPECT_EQ(r.error, "no such table: missing");
}

TEST_F(TableQuery, AFirstFailureGivesOnlyTheErrorText)
{
    TableResult r = get_table(db.handle(), "SELEC 1");
    EXPECT_EQ(r.status, KEST_ERROR);
    EXPECT_EQ(r.table, nullptr);
    EXPECT_EQ(r.rows, 0);
    EXPECT_EQ(r.error, "near \"SELEC\": syntax error");
}

TEST_F(TableQuery, OutArgumentsMayBeNull)
{
    kest_table *t = nullptr;
    EXPECT_EQ(kest_sqlite_get_table(&t, db.handle(), "SELECT * FROM missing", nullptr, nullptr), KEST_ERROR);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(kest_sqlite_get_table(nullptr, db.handle(), "SELECT 1", nullptr, nullptr), KEST_MISUSE);
    EXPECT_EQ(kest_sqlite_get_table(&t, db.handle(), nullptr, nullptr, nullptr), KEST_MISUSE);
}

namespace {
int progress_calls = 0;
int interrupt_after = 0;
int16_t counting_progress()
{
    ++progress_calls;
    return progress_calls >= interrupt_after ? 1 : 0;
}
constexpr const char *kLongQuery =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000000) SELECT i FROM n";
} // namespace

TEST_F(TableQuery, AnInterruptByTheProgressCallbackReturnsNoDataAndNoText)
{
    progress_calls = 0;
    interrupt_after = 500; // well after the first rows were collected
    ASSERT_EQ(kest_sqlite_progress_handler(db.handle(), 20, counting_progress), KEST_OK);
    TableResult r = get_table(db.handle(), kLongQuery);
    EXPECT_EQ(r.returned, KEST_INTERRUPT);
    EXPECT_EQ(r.status, KEST_INTERRUPT);
    EXPECT_EQ(r.table, nullptr);
    EXPECT_FALSE(r.has_error);
    EXPECT_EQ(r.rows, 0);
    EXPECT_EQ(progress_calls, 500);

    // Removing the callback lets the same connection run to the end.
    ASSERT_EQ(kest_sqlite_progress_handler(db.handle(), 20, nullptr), KEST_OK);
    progress_calls = 0;
    TableResult done = get_table(db.handle(), "SELECT count(*) FROM (WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                                              "SELECT i + 1 FROM n WHERE i < 10000) SELECT i FROM n)");
    EXPECT_EQ(done.status, KEST_OK);
    EXPECT_EQ(done.cell(0, 1), "10000");
    EXPECT_EQ(progress_calls, 0);
}

TEST_F(TableQuery, CellsOfEveryStorageClassAreText)
{
    TableResult r = get_table(db.handle(), "SELECT NULL, 42, 2.5, 'text', x'414243', x'00FF10', x'', "
                                           "CAST(x'ff41' AS TEXT), CAST(x'410042' AS TEXT), x'c3a9'");
    ASSERT_NE(r.table, nullptr);
    EXPECT_EQ(r.cell(0, 1), "");
    EXPECT_EQ(r.cell(1, 1), "42");
    EXPECT_EQ(r.cell(2, 1), "2.5");
    EXPECT_EQ(r.cell(3, 1), "text");
    EXPECT_EQ(r.cell(4, 1), "ABC");           // a BLOB that is valid UTF-8 shows its bytes
    EXPECT_EQ(r.cell(5, 1), "X'00FF10'");     // one with a zero byte shows its hex form
    EXPECT_EQ(r.cell(6, 1), "");
    EXPECT_EQ(r.cell(7, 1), "\xEF\xBF\xBD" "A"); // invalid UTF-8 in a TEXT becomes U+FFFD
    EXPECT_EQ(r.cell(8, 1), "A");             // a TEXT with a zero byte ends there
    EXPECT_EQ(r.cell(9, 1), "\xC3\xA9");
}

TEST_F(TableQuery, InvalidUtf8StoredInATableComesBackValid)
{
    ASSERT_EQ(get_table(db.handle(), "CREATE TABLE t(v TEXT); INSERT INTO t VALUES(CAST(x'61e28262ff' AS TEXT))").status,
              KEST_OK);
    TableResult r = get_table(db.handle(), "SELECT v, length(v) FROM t");
    ASSERT_NE(r.table, nullptr);
    EXPECT_EQ(r.cell(0, 1), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    // Invalid bytes in the SQL itself come back valid too, in names and error texts.
    TableResult named = get_table(db.handle(), "SELECT 1 AS \"n\xff\"");
    ASSERT_NE(named.table, nullptr);
    EXPECT_EQ(named.cell(0, 0), "n\xEF\xBF\xBD");
    TableResult bad = get_table(db.handle(), "SELECT * FROM \"t\xfe\"");
    EXPECT_EQ(bad.error, "no such table: t\xEF\xBF\xBD");
}

TEST_F(TableQuery, RowCountBelongsToTheCallingThread)
{
    get_table(db.handle(), "SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3");
    int32_t other_thread_count = -1;
    std::thread([&] {
        Db other;
        get_table(other.handle(), "SELECT 1");
        other_thread_count = kest_sqlite_query_rowcount();
    }).join();
    EXPECT_EQ(other_thread_count, 1);
    EXPECT_EQ(kest_sqlite_query_rowcount(), 3);
}

TEST(TableFile, RowsSurviveInTheFileBetweenConnections)
{
    TempDir dir;
    const std::string path = dir.file("albums.db");
    {
        Db db(path);
        ASSERT_EQ(get_table(db.handle(), "CREATE TABLE a(n); INSERT INTO a VALUES('Motörhead')").status, KEST_OK);
    }
    Db db(path);
    TableResult r = get_table(db.handle(), "SELECT n FROM a");
    ASSERT_NE(r.table, nullptr);
    EXPECT_EQ(r.cell(0, 1), "Motörhead");
}

// Each invalid sequence becomes U+FFFD once per maximal subpart; valid text passes unchanged.
TEST(TableText, InvalidUtf8IsReplacedSequenceBySequence)
{
    Db db;
    const std::string r = "\xEF\xBF\xBD";
    const std::pair<const char *, std::string> cases[] = {
        {"41c3a942", "A\xC3\xA9" "B"},                 // valid two-byte
        {"f09f9880", "\xF0\x9F\x98\x80"},             // valid four-byte
        {"c0af", r + r},                                // overlong: C0 is never a lead byte
        {"eda080", r + r + r},                          // a surrogate in UTF-8
        {"f4908080", r + r + r + r},                    // above U+10FFFF
        {"41f09f98", "A" + r},                          // a truncated sequence at the end
        {"e28241", r + "A"},                            // a truncated sequence before ASCII
        {"80bf", r + r},                                // stray continuation bytes
    };
    for (const auto &[hex, expected] : cases) {
        TableResult t = get_table(db.handle(), std::string("SELECT CAST(x'") + hex + "' AS TEXT)");
        ASSERT_NE(t.table, nullptr) << hex;
        EXPECT_EQ(t.cell(0, 1), expected) << hex;
    }
}
