// Files and cells that a user may hand the library: damaged databases, files that are not
// databases, locked and read-only ones, BLOBs and text that is not UTF-8, and a database whose
// own views and triggers try to run functions it must not.

#include "lib_test_support.h"

#include "DemoData.h"
#include "DemoQueries.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>

using namespace kest::test;

namespace {

std::string readBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// Strict UTF-8, written apart from the library's own check.
bool validUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (len == 0 || s.size() - i < len)
            return false;
        char32_t cp = c & (0x7F >> len);
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < smallest[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

// A bound on every statement: a damaged file must not make a query run for ever.
int64_t progressCalls = 0;
constexpr int64_t kProgressCallsAllowed = 200000; // 20 million engine steps
int16_t KEST_CALL boundedProgress()
{
    return ++progressCalls > kProgressCallsAllowed ? 1 : 0;
}

// The demonstration database, made the way Populate makes it: both tables, then both scripts.
void populateDemo(const std::string &path)
{
    Db db(path);
    ASSERT_EQ(db.open_status(), KEST_OK);
    for (const QString &sql : {QString(kest::CreateArtistsTableSql), QString(kest::CreateCDsTableSql),
                               kest::BuildArtistsScript(), kest::BuildCDsScript()})
        ASSERT_EQ(get_table(db.handle(), sql.toStdString()).status, KEST_OK) << sql.toStdString();
}

// What one query on one damaged copy gave, checked against the header's promises.
void checkTableAnswer(const TableResult &r, const std::string &what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(r.returned, r.status);
    if (r.status == KEST_OK || r.status == KEST_INTERRUPT)
        EXPECT_FALSE(r.has_error) << r.error;
    else
        EXPECT_TRUE(r.has_error && !r.error.empty() && validUtf8(r.error));
    if (r.table == nullptr) {
        EXPECT_EQ(r.rows, 0);
        return;
    }
    EXPECT_NE(r.status, KEST_INTERRUPT);
    EXPECT_GE(r.table->column_count, 1);
    EXPECT_EQ(r.rows, r.table->row_count - 1);
    for (int32_t row = 0; row < r.table->row_count; ++row)
        for (int32_t column = 0; column < r.table->column_count; ++column)
            ASSERT_TRUE(validUtf8(r.cell(column, row))) << "cell " << column << "," << row;
}

void checkExecAnswer(const ExecResult &r, const std::string &what)
{
    SCOPED_TRACE(what);
    if (r.status == KEST_OK || r.status == KEST_INTERRUPT)
        EXPECT_FALSE(r.has_error) << r.error;
    else
        EXPECT_TRUE(r.has_error && !r.error.empty() && validUtf8(r.error));
    EXPECT_EQ(r.count, int32_t(r.rows.size()));
    for (std::size_t i = 0; i < r.rows.size(); ++i) {
        ASSERT_EQ(r.rows[i].number, int32_t(i + 1));
        ASSERT_EQ(r.rows[i].values.size(), r.rows[i].names.size());
        for (const std::string &v : r.rows[i].values)
            ASSERT_TRUE(validUtf8(v));
    }
}

} // namespace

// 200 copies of the demonstration database, each with a few runs of random bytes written at
// random offsets (one copy in four also has its 100-byte header hit), go through both query
// paths. Nothing may crash or hang, every code must be one a damaged file can explain, and each
// answer must keep the header's promises about tables and error texts.
TEST(DamagedDatabase, TwoHundredCorruptCopiesEndInAnExplainedCode)
{
    constexpr uint32_t kSeed = 20261206;
    constexpr int kCopies = 200;
    std::cout << "[ damaged  ] seed " << kSeed << ", " << kCopies << " copies\n";
    SCOPED_TRACE("seed " + std::to_string(kSeed));

    TempDir dir;
    const std::string pristinePath = dir.file("pristine.db");
    populateDemo(pristinePath);
    const std::string pristine = readBytes(pristinePath);
    ASSERT_GT(pristine.size(), 4096u);

    const std::array<std::string, 4> queries = {"SELECT * FROM Artists", "SELECT * FROM CDs",
                                                kest::Query2Sql.data(), "PRAGMA integrity_check"};
    // A damaged file explains these codes: an error in the schema it holds (1), damage the
    // engine detects (11), a header that is no longer a database's (26), and the bound above (9).
    const std::set<int16_t> explained = {KEST_OK, KEST_ERROR, KEST_INTERRUPT, 11, KEST_NOTADB};
    std::map<int16_t, int> tableCodes, execCodes;
    int copiesThatStillPassIntegrity = 0;

    std::mt19937 random(kSeed);
    const auto started = std::chrono::steady_clock::now();
    for (int copy = 0; copy < kCopies; ++copy) {
        SCOPED_TRACE("copy " + std::to_string(copy));
        std::string damaged = pristine;
        const int runs = 1 + int(random() % 8);
        for (int run = 0; run < runs; ++run) {
            const std::size_t length = 1 + random() % 16;
            const bool header = run == 0 && copy % 4 == 0;
            const std::size_t offset = header ? random() % 100 : random() % (damaged.size() - length);
            for (std::size_t i = 0; i < length; ++i)
                damaged[offset + i] = char(random() & 0xFF);
        }
        const std::string path = dir.file("damaged.db");
        writeBytes(path, damaged);

        Db db(path);
        ASSERT_EQ(db.open_status(), KEST_OK);
        ASSERT_EQ(kest_sqlite_progress_handler(db.handle(), 100, boundedProgress), KEST_OK);
        for (const std::string &sql : queries) {
            progressCalls = 0;
            const TableResult t = get_table(db.handle(), sql);
            checkTableAnswer(t, "table: " + sql);
            EXPECT_TRUE(explained.contains(t.status)) << t.status << " " << t.error;
            ++tableCodes[t.status];
            if (sql.starts_with("PRAGMA") && t.status == KEST_OK && t.rows == 1 && t.cell(0, 1) == "ok")
                ++copiesThatStillPassIntegrity;

            progressCalls = 0;
            const ExecResult e = exec(db.handle(), sql);
            checkExecAnswer(e, "exec: " + sql);
            EXPECT_TRUE(explained.contains(e.status)) << e.status << " " << e.error;
            ++execCodes[e.status];
        }
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::ostringstream summary;
    summary << "[ damaged  ] " << kCopies << " copies in " << seconds << " s; integrity_check still ok on "
            << copiesThatStillPassIntegrity << "; codes (table / exec):";
    std::set<int16_t> codes;
    for (const auto &[code, n] : tableCodes)
        codes.insert(code);
    for (const auto &[code, n] : execCodes)
        codes.insert(code);
    for (int16_t code : codes)
        summary << " " << code << ": " << tableCodes[code] << "/" << execCodes[code];
    std::cout << summary.str() << "\n";
    ::testing::Test::RecordProperty("damaged_summary", summary.str());
    // The damage was real: some copies must have failed, and the engine must have seen damage.
    EXPECT_GT(tableCodes[11] + tableCodes[KEST_NOTADB], 0);
    EXPECT_LT(copiesThatStillPassIntegrity, kCopies);
}

TEST(NotADatabase, ShortAndEmptyFilesAreToldApart)
{
    TempDir dir;
    // A few bytes are not a database; an empty file is a new, empty one.
    writeBytes(dir.file("short.db"), "hello");
    writeBytes(dir.file("empty.db"), "");
    writeBytes(dir.file("fake-header.db"), std::string("SQLite format 3\0", 16) + std::string(4080, '\xFF'));
    for (const char *name : {"short.db", "fake-header.db"}) {
        SCOPED_TRACE(name);
        Db db(dir.file(name));
        ASSERT_EQ(db.open_status(), KEST_OK);
        const TableResult t = get_table(db.handle(), "SELECT * FROM sqlite_master");
        EXPECT_EQ(t.status, KEST_NOTADB);
        EXPECT_EQ(t.error, "file is not a database");
        EXPECT_EQ(t.table, nullptr);
        const ExecResult e = exec(db.handle(), "CREATE TABLE t(x)");
        EXPECT_EQ(e.status, KEST_NOTADB);
        EXPECT_EQ(e.error, "file is not a database");
    }
    EXPECT_EQ(readBytes(dir.file("short.db")), "hello");
    Db empty(dir.file("empty.db"));
    EXPECT_EQ(get_table(empty.handle(), "SELECT * FROM sqlite_master").status, KEST_OK);
}

TEST(LockedDatabase, BothPathsAndWritesGiveBusyUntilTheLockIsGone)
{
    TempDir dir;
    const std::string path = dir.file("locked.db");
    populateDemo(path);
    Db holder(path), other(path);
    // A write lock without an exclusive one: readers still read, writers are refused.
    ASSERT_EQ(exec(holder.handle(), "BEGIN IMMEDIATE; DELETE FROM CDs WHERE CDID > 100").status, KEST_OK);
    EXPECT_EQ(get_table(other.handle(), "SELECT count(*) FROM CDs").cell(0, 1), "204");
    const ExecResult write = exec(other.handle(), "INSERT INTO Artists VALUES (NULL, 'x')");
    EXPECT_EQ(write.status, KEST_BUSY);
    EXPECT_EQ(write.error, "database is locked");
    // An exclusive lock also keeps readers out, on both paths.
    ASSERT_EQ(exec(holder.handle(), "COMMIT; BEGIN EXCLUSIVE; DELETE FROM CDs WHERE CDID > 50").status, KEST_OK);
    const ExecResult read = exec(other.handle(), "SELECT * FROM CDs");
    EXPECT_EQ(read.status, KEST_BUSY);
    EXPECT_EQ(read.error, "database is locked");
    EXPECT_TRUE(read.rows.empty());
    const TableResult table = get_table(other.handle(), "SELECT * FROM Artists");
    EXPECT_EQ(table.status, KEST_BUSY);
    EXPECT_EQ(table.error, "database is locked");
    EXPECT_EQ(table.table, nullptr);
    ASSERT_EQ(exec(holder.handle(), "ROLLBACK").status, KEST_OK);
    EXPECT_EQ(get_table(other.handle(), "SELECT count(*) FROM CDs").cell(0, 1), "100");
}

// Opened read-only, a database answers queries and refuses every write with 8, leaving the file
// as it was. Root ignores permission bits, so for root a file without write permission still
// opens read-write; only the read-only flag, or a read-only mount, stops it. The second half
// shows which of the two this process sees.
TEST(ReadOnlyDatabase, WritesAreRefusedWithEightAndTheFileIsUnchanged)
{
    TempDir dir;
    const std::string path = dir.file("demo.db");
    populateDemo(path);
    const std::string before = readBytes(path);

    int32_t handle = 0;
    ASSERT_EQ(kest_sqlite3_open_v2(path.c_str(), &handle, KEST_OPEN_READONLY, nullptr), KEST_OK);
    EXPECT_EQ(get_table(handle, "SELECT count(*) FROM CDs").cell(0, 1), "204");
    for (const char *sql : {"INSERT INTO Artists VALUES (NULL, 'x')", "DROP TABLE CDs", "CREATE TABLE t(x)",
                            "PRAGMA user_version = 7", "VACUUM"}) {
        SCOPED_TRACE(sql);
        const ExecResult e = exec(handle, sql);
        EXPECT_EQ(e.status, 8);
        EXPECT_EQ(e.error, "attempt to write a readonly database");
        const TableResult t = get_table(handle, sql);
        EXPECT_EQ(t.status, 8);
        EXPECT_EQ(t.error, "attempt to write a readonly database");
    }
    EXPECT_EQ(kest_sqlite3_close(&handle), KEST_OK);
    EXPECT_EQ(readBytes(path), before);

    // The same file without write permission, opened read-write.
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(kest_sqlite3_open_v2(path.c_str(), &handle, KEST_OPEN_READWRITE, nullptr), KEST_OK);
    const ExecResult e = exec(handle, "UPDATE CDs SET Title = Title WHERE CDID = 1");
    if (geteuid() == 0) {
        EXPECT_EQ(e.status, KEST_OK) << "root writes files whatever their mode";
    } else {
        EXPECT_EQ(e.status, 8);
        EXPECT_EQ(e.error, "attempt to write a readonly database");
    }
    EXPECT_EQ(kest_sqlite3_close(&handle), KEST_OK);
    chmod(path.c_str(), 0644);
}

namespace {

// Pieces of text whose form after the library is known: valid pieces come back as they are,
// each lone byte that cannot start or continue a sequence becomes one U+FFFD.
struct Piece {
    std::string stored;
    std::string handedOut;
};
const std::array<Piece, 8> kPieces = {{
    {"plain ", "plain "},
    {"Mot\xC3\xB6rhead", "Mot\xC3\xB6rhead"},
    {"\xE6\x9D\xB1\xE4\xBA\xAC", "\xE6\x9D\xB1\xE4\xBA\xAC"},
    {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
    {"\xFF", "\xEF\xBF\xBD"},
    {"\xFE", "\xEF\xBF\xBD"},
    {"\x80", "\xEF\xBF\xBD"},
    {"\xC3!", "\xEF\xBF\xBD!"},
}};

std::string hexOf(const std::string &bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

} // namespace

// 20,000 rows, each with a BLOB of random bytes, a BLOB that is valid UTF-8, text made of valid
// and invalid pieces, and text with a zero byte inside: every cell of both paths is valid UTF-8
// and has the form the header gives.
TEST(HostileCells, BlobsAndInvalidUtf8InBulkComeBackInTheirDocumentedForm)
{
    constexpr int kRows = 20000;
    std::mt19937 random(7);
    std::vector<std::array<std::string, 4>> expected;
    std::string sql = "CREATE TABLE t(a, b, c, d); BEGIN;";
    for (int row = 0; row < kRows; ++row) {
        std::string blob(1 + random() % 40, '\0');
        for (char &b : blob)
            b = char(random() & 0xFF);
        if (row % 2 == 0)
            blob[random() % blob.size()] = '\0'; // never readable as text
        std::string textBlob = kPieces[1 + random() % 3].stored;
        std::string stored, handedOut;
        for (int p = 0, n = 1 + int(random() % 6); p < n; ++p) {
            const Piece &piece = kPieces[random() % kPieces.size()];
            stored += piece.stored;
            handedOut += piece.handedOut;
        }
        sql += "INSERT INTO t VALUES (X'" + hexOf(blob) + "', X'" + hexOf(textBlob) + "', CAST(X'" + hexOf(stored) +
               "' AS TEXT), CAST(X'" + hexOf(handedOut) + "00" + hexOf(stored) + "' AS TEXT));";
        // A BLOB that holds a zero byte or is not UTF-8 shows as hex; a text ends at its zero.
        const bool blobIsText = blob.find('\0') == std::string::npos && validUtf8(blob);
        expected.push_back({blobIsText ? blob : "X'" + hexOf(blob) + "'", textBlob, handedOut, handedOut});
    }
    sql += "COMMIT;";

    Db db;
    ASSERT_EQ(exec(db.handle(), sql).status, KEST_OK);
    const TableResult t = get_table(db.handle(), "SELECT * FROM t ORDER BY rowid");
    ASSERT_EQ(t.status, KEST_OK);
    ASSERT_EQ(t.rows, kRows);
    const ExecResult e = exec(db.handle(), "SELECT * FROM t ORDER BY rowid");
    ASSERT_EQ(e.status, KEST_OK);
    ASSERT_EQ(e.rows.size(), std::size_t(kRows));
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < 4; ++column) {
            ASSERT_EQ(t.cell(column, row + 1), expected[row][column]) << "row " << row << " column " << column;
            ASSERT_EQ(e.rows[row].values[column], expected[row][column]) << "row " << row << " column " << column;
        }
    }
}

// The library opens every database with trusted_schema off. A hostile file's view and trigger
// that read pragma_database_list (which tells where the user's databases live, and is not
// marked innocuous) are refused, while the same statement typed by the user runs; with the
// setting turned on by the user's own SQL, the view runs too, so it is the setting that stops
// it. fts3_tokenizer, which can hand the engine a code pointer, is refused in any case.
TEST(UntrustedSchema, ViewsAndTriggersOfTheFileCannotRunUnsafeFunctions)
{
    TempDir dir;
    const std::string path = dir.file("hostile.db");
    {
        Db maker(path);
        ASSERT_EQ(exec(maker.handle(), "CREATE TABLE loot(file TEXT); CREATE TABLE bait(x);"
                                       "CREATE VIEW spy AS SELECT file FROM pragma_database_list;"
                                       "CREATE VIEW pointer AS SELECT fts3_tokenizer('simple') AS p;"
                                       "CREATE TRIGGER steal AFTER INSERT ON bait BEGIN "
                                       "  INSERT INTO loot SELECT file FROM pragma_database_list; END;")
                      .status,
                  KEST_OK);
    }
    Db db(path);
    const std::string unsafe = "unsafe use of virtual table \"pragma_database_list\"";

    const TableResult view = get_table(db.handle(), "SELECT * FROM spy");
    EXPECT_EQ(view.status, KEST_ERROR);
    EXPECT_EQ(view.error, unsafe);
    EXPECT_EQ(view.table, nullptr);
    const ExecResult viewExec = exec(db.handle(), "SELECT * FROM spy");
    EXPECT_EQ(viewExec.status, KEST_ERROR);
    EXPECT_EQ(viewExec.error, unsafe);

    const ExecResult trigger = exec(db.handle(), "INSERT INTO bait VALUES (1)");
    EXPECT_EQ(trigger.status, KEST_ERROR);
    EXPECT_EQ(trigger.error, unsafe);
    const TableResult counts =
        get_table(db.handle(), "SELECT (SELECT count(*) FROM loot), (SELECT count(*) FROM bait)");
    ASSERT_NE(counts.table, nullptr);
    EXPECT_EQ(counts.cell(0, 1), "0"); // nothing stolen
    EXPECT_EQ(counts.cell(1, 1), "0"); // and the refused insert was undone

    const TableResult pointer = get_table(db.handle(), "SELECT * FROM pointer");
    EXPECT_EQ(pointer.status, KEST_ERROR);
    EXPECT_EQ(pointer.error, "unsafe use of fts3_tokenizer()");

    // Typed directly, the same statement runs.
    const TableResult direct = get_table(db.handle(), "SELECT file FROM pragma_database_list");
    ASSERT_EQ(direct.status, KEST_OK) << direct.error;
    EXPECT_EQ(direct.cell(0, 1), std::filesystem::canonical(path).string());

    // The user's own SQL may trust the file; then the view runs.
    ASSERT_EQ(exec(db.handle(), "PRAGMA trusted_schema = ON").status, KEST_OK);
    const TableResult trusted = get_table(db.handle(), "SELECT * FROM spy");
    EXPECT_EQ(trusted.status, KEST_OK) << trusted.error;
    EXPECT_EQ(trusted.rows, 1);
}
