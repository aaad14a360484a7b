#include "lib_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

using namespace kest::test;

TEST(Open, CreatesAMissingFileWithReadWriteCreate)
{
    TempDir dir;
    const std::string path = dir.file("new.db");
    int32_t handle = -1;
    ASSERT_EQ(kest_sqlite3_open_v2(path.c_str(), &handle, 6, nullptr), KEST_OK);
    EXPECT_NE(handle, 0);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(kest_sqlite3_close(&handle), KEST_OK);
    EXPECT_EQ(handle, 0);
}

TEST(Open, FailureGivesHandleZeroAndTheEngineCode)
{
    TempDir dir;
    int32_t handle = 12345;
    // Read-write without create on a missing file, and a folder in place of a file.
    EXPECT_EQ(kest_sqlite3_open_v2(dir.file("missing.db").c_str(), &handle, KEST_OPEN_READWRITE, nullptr), KEST_CANTOPEN);
    EXPECT_EQ(handle, 0);
    handle = 12345;
    EXPECT_EQ(kest_sqlite3_open_v2(dir.path().c_str(), &handle, 6, nullptr), KEST_CANTOPEN);
    EXPECT_EQ(handle, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.db")));
}

TEST(Open, NullArgumentsAreMisuse)
{
    int32_t handle = 7;
    EXPECT_EQ(kest_sqlite3_open_v2(nullptr, &handle, 6, nullptr), KEST_MISUSE);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(kest_sqlite3_open_v2(":memory:", nullptr, 6, nullptr), KEST_MISUSE);
}

TEST(Close, HandleZeroAndNullReleasesAreHarmless)
{
    int32_t handle = 0;
    EXPECT_EQ(kest_sqlite3_close(&handle), KEST_OK);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(kest_sqlite3_close(nullptr), KEST_MISUSE);
    kest_free_text(nullptr);
    kest_free_table(nullptr);
}

TEST(Close, UnknownAndClosedHandlesAreMisuseNeverACrash)
{
    int32_t invented = 0x7fff1234;
    EXPECT_EQ(kest_sqlite3_close(&invented), KEST_MISUSE);

    int32_t handle = 0;
    ASSERT_EQ(kest_sqlite3_open_v2(":memory:", &handle, 6, nullptr), KEST_OK);
    int32_t stale = handle;
    ASSERT_EQ(kest_sqlite3_close(&handle), KEST_OK);
    EXPECT_EQ(kest_sqlite3_close(&stale), KEST_MISUSE);

    kest_table *table = reinterpret_cast<kest_table *>(1);
    char *err = nullptr;
    int16_t status = 0;
    EXPECT_EQ(kest_sqlite_get_table(&table, stale, "SELECT 1", &err, &status), KEST_MISUSE);
    EXPECT_EQ(status, KEST_MISUSE);
    EXPECT_EQ(table, nullptr);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "unknown or closed database handle");
    kest_free_text(err);

    EXPECT_EQ(kest_sqlite_exec(stale, "SELECT 1", nullptr, nullptr, nullptr), KEST_MISUSE);
    EXPECT_EQ(kest_sqlite_progress_handler(stale, 20, nullptr), KEST_MISUSE);
    EXPECT_EQ(kest_sqlite_progress_handler(0, 20, nullptr), KEST_MISUSE);
}

TEST(Open, HandlesAreDistinctAndNotReusedAtOnce)
{
    Db a, b;
    ASSERT_EQ(a.open_status(), KEST_OK);
    ASSERT_EQ(b.open_status(), KEST_OK);
    EXPECT_NE(a.handle(), b.handle());

    int32_t first = 0;
    ASSERT_EQ(kest_sqlite3_open_v2(":memory:", &first, 6, nullptr), KEST_OK);
    const int32_t old = first;
    kest_sqlite3_close(&first);
    Db c;
    EXPECT_NE(c.handle(), old);
}

TEST(Open, AFileThatIsNotADatabaseFailsAtTheFirstStatementWith26)
{
    TempDir dir;
    const std::string path = dir.file("notes.txt");
    std::ofstream(path) << std::string(4096, 'x');
    Db db(path);
    ASSERT_EQ(db.open_status(), KEST_OK);
    TableResult r = get_table(db.handle(), "SELECT * FROM sqlite_master");
    EXPECT_EQ(r.returned, KEST_NOTADB);
    EXPECT_EQ(r.status, KEST_NOTADB);
    EXPECT_EQ(r.table, nullptr);
    EXPECT_EQ(r.error, "file is not a database");
    ExecResult e = exec(db.handle(), "SELECT * FROM sqlite_master");
    EXPECT_EQ(e.status, KEST_NOTADB);
}

TEST(Open, SchemaOfTheFileIsNotTrusted)
{
    Db db;
    TableResult r = get_table(db.handle(), "PRAGMA trusted_schema");
    ASSERT_NE(r.table, nullptr);
    EXPECT_EQ(r.cell(0, 1), "0");
}

TEST(Open, ALockedDatabaseGivesBusy)
{
    TempDir dir;
    const std::string path = dir.file("locked.db");
    Db writer(path), reader(path);
    ASSERT_EQ(get_table(writer.handle(), "CREATE TABLE t(x); BEGIN EXCLUSIVE; INSERT INTO t VALUES(1)").status, KEST_OK);
    TableResult r = get_table(reader.handle(), "SELECT * FROM t");
    EXPECT_EQ(r.status, KEST_BUSY);
    EXPECT_EQ(r.error, "database is locked");
    get_table(writer.handle(), "COMMIT");
    EXPECT_EQ(get_table(reader.handle(), "SELECT * FROM t").rows, 1);
}

TEST(Versions, ReportTheEngineAndTheLibrary)
{
    Text version(kest_sqlite3_libversion());
    ASSERT_NE(version, nullptr);
    const int32_t number = kest_sqlite3_libversion_number();
    // "3.40.1" and 3040001 describe the same engine.
    int major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(version.get(), "%d.%d.%d", &major, &minor, &patch), 3);
    EXPECT_EQ(number, major * 1000000 + minor * 1000 + patch);

    EXPECT_EQ(kest_KestLibVersion(), KESTRUNE3_VERSION);
    Text stamp(kest_KestLibTimeStamp());
    ASSERT_NE(stamp, nullptr);
    EXPECT_EQ(std::strlen(stamp.get()), std::strlen("Dec  6 2026 06:35:00"));
#if defined(__GNUC__) && !defined(__clang__)
    EXPECT_EQ(kest_MSVCVersion(), __GNUC__ * 100 + __GNUC_MINOR__);
#endif
}
