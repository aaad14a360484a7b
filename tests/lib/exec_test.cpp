#include "lib_test_support.h"

#include <gtest/gtest.h>

using namespace kest::test;

namespace {

class ExecQuery : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(db.open_status(), KEST_OK);
        ASSERT_EQ(get_table(db.handle(), "CREATE TABLE t(id INTEGER, name TEXT);"
                                         "INSERT INTO t VALUES(1,'a'),(2,NULL),(3,'c')")
                      .status,
                  KEST_OK);
    }
    Db db;
};

} // namespace

TEST_F(ExecQuery, EveryRowWithItsNumberValuesAndNames)
{
    ExecResult r = exec(db.handle(), "SELECT id, name FROM t ORDER BY id");
    EXPECT_EQ(r.status, KEST_OK);
    EXPECT_FALSE(r.has_error);
    EXPECT_EQ(r.count, 3);
    ASSERT_EQ(r.rows.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(r.rows[i].number, i + 1);
        EXPECT_EQ(r.rows[i].names, (std::vector<std::string>{"id", "name"}));
    }
    EXPECT_EQ(r.rows[0].values, (std::vector<std::string>{"1", "a"}));
    EXPECT_EQ(r.rows[1].values, (std::vector<std::string>{"2", ""}));
}

TEST_F(ExecQuery, RowsOfAllStatementsAreNumberedAcrossTheText)
{
    ExecResult r = exec(db.handle(), "SELECT id FROM t WHERE id < 3 ORDER BY id; UPDATE t SET name='z';"
                                     "SELECT name, id, 'x' AS third FROM t WHERE id = 3");
    EXPECT_EQ(r.status, KEST_OK);
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[2].number, 3);
    EXPECT_EQ(r.rows[0].names, std::vector<std::string>{"id"});
    EXPECT_EQ(r.rows[2].names, (std::vector<std::string>{"name", "id", "third"}));
    EXPECT_EQ(r.rows[2].values, (std::vector<std::string>{"z", "3", "x"}));
    EXPECT_EQ(r.count, 3);
}

TEST_F(ExecQuery, StatementsWithoutRowsCallNothing)
{
    ExecResult r = exec(db.handle(), "INSERT INTO t VALUES(4,'d'); CREATE TABLE u(x); SELECT * FROM u");
    EXPECT_EQ(r.status, KEST_OK);
    EXPECT_TRUE(r.rows.empty());
    EXPECT_EQ(r.count, 0);
}

TEST_F(ExecQuery, ACallbackThatAsksToStopEndsWithAbortAndNoText)
{
    ExecResult r = exec(db.handle(), "SELECT id FROM t ORDER BY id; SELECT 'never'", 2);
    EXPECT_EQ(r.status, KEST_ABORT);
    EXPECT_FALSE(r.has_error);
    EXPECT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.count, 2); // the row on which it asked to stop counts
}

TEST_F(ExecQuery, AFailingStatementKeepsTheRowsHandedOutBefore)
{
    ExecResult r = exec(db.handle(), "SELECT id FROM t; SELECT nope FROM t");
    EXPECT_EQ(r.status, KEST_ERROR);
    EXPECT_EQ(r.error, "no such column: nope");
    EXPECT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.count, 3);
}

TEST_F(ExecQuery, WithoutACallbackRowsAreOnlyCounted)
{
    char *err = nullptr;
    EXPECT_EQ(kest_sqlite_exec(db.handle(), "SELECT * FROM t", nullptr, nullptr, &err), KEST_OK);
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(kest_sqlite_exec_rowcount(), 3);
}

namespace {
int calls = 0;
int16_t interrupt_at_tenth()
{
    return ++calls >= 10 ? 1 : 0;
}
} // namespace

TEST_F(ExecQuery, AnInterruptByTheProgressCallbackGivesCodeNineAndNoText)
{
    calls = 0;
    ASSERT_EQ(kest_sqlite_progress_handler(db.handle(), 20, interrupt_at_tenth), KEST_OK);
    ExecResult r = exec(db.handle(), "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT i FROM n");
    EXPECT_EQ(r.status, KEST_INTERRUPT);
    EXPECT_FALSE(r.has_error);
    EXPECT_GT(r.count, 0);
    EXPECT_EQ(r.count, static_cast<int32_t>(r.rows.size()));
}

TEST_F(ExecQuery, CellsMatchTheTablePath)
{
    const std::string sql = "SELECT NULL, 7, x'00ff', x'4142', CAST(x'ff' AS TEXT), 'Motörhead 東京 😀'";
    ExecResult e = exec(db.handle(), sql);
    TableResult t = get_table(db.handle(), sql);
    ASSERT_EQ(e.rows.size(), 1u);
    ASSERT_NE(t.table, nullptr);
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(e.rows[0].values[c], t.cell(c, 1)) << "column " << c;
        EXPECT_EQ(e.rows[0].names[c], t.cell(c, 0)) << "column " << c;
    }
}

TEST_F(ExecQuery, IntegersReadAsTheEngineWritesThem)
{
    // The second column is the engine's own text of the first, on both paths.
    const std::string sql = "SELECT column1, CAST(column1 AS TEXT) FROM (VALUES (0), (-1), (7), (1234567890123), "
                            "(9223372036854775807), (-9223372036854775808), (-100))";
    ExecResult e = exec(db.handle(), sql);
    TableResult t = get_table(db.handle(), sql);
    ASSERT_EQ(e.rows.size(), 7u);
    ASSERT_NE(t.table, nullptr);
    for (std::size_t r = 0; r < e.rows.size(); ++r) {
        EXPECT_EQ(e.rows[r].values[0], e.rows[r].values[1]) << "row " << r;
        EXPECT_EQ(t.cell(0, static_cast<int>(r) + 1), e.rows[r].values[1]) << "row " << r;
    }
    EXPECT_EQ(e.rows[5].values[0], "-9223372036854775808");
}
