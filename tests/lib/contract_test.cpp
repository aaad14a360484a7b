// The library's contract as a caller of its C interface relies on it. Whatever both query paths
// (the table and the row callback) share runs on each, with the SQL as 8-bit text and as UTF-16
// text under both settings of the Unicode conversion, and must give the same rows every time.
#include "kestrune3.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

enum class Path { Table, Exec };
enum class Sql { Utf8, Utf16Converted, Utf16Engine };
struct Mode { Path path; Sql sql; const char *name; };
void PrintTo(const Mode &mode, std::ostream *out) { *out << mode.name; }

// Written apart from the library's conversion, which goes the other way.
std::u16string utf16(const std::string &s)
{
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i++]);
        int more = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t c = lead & (0x7F >> more);
        for (; more > 0; --more)
            c = c << 6 | (s[i++] & 0x3F);
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            c = 0xDC00 + (c & 0x3FF);
        }
        out += static_cast<char16_t>(c);
    }
    return out;
}

std::string bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What one call gave, in one form for both paths.
struct Result {
    int16_t code = -1;
    std::optional<std::string> error;
    Rows rows;             // names first; the row callback's names again when a statement's differ
    int32_t data_rows = 0; // rows handed out
    int32_t count = -1;    // what the row-count function says afterwards
    std::vector<std::string> names; // the last names the row callback saw
    std::vector<std::vector<int>> types; // as rows, each cell's KEST_* type
    std::vector<double> reals;           // each KEST_FLOAT cell's double, in order
};

void record_types(Result &r, int32_t count, const char *const *texts, const unsigned char *types)
{
    r.types.emplace_back(types, types + count);
    for (int32_t i = 0; i < count; ++i)
        if (types[i] == KEST_FLOAT)
            r.reals.push_back(kest_real_of(texts[i], std::strlen(texts[i])));
}

int stop_at = 0; // the row on which the row callback asks to stop

int16_t KEST_CALL collect(const int32_t *number, void *arg, const kest_texts *values, const kest_texts *names)
{
    auto &r = *static_cast<Result *>(arg);
    EXPECT_EQ(*number, ++r.data_rows); // numbered across the whole text
    EXPECT_EQ(values->count, names->count);
    for (const kest_texts *texts : {values, names})
        for (int32_t i = 0; i < texts->count; ++i)
            EXPECT_EQ(texts->lengths[i], static_cast<int32_t>(std::strlen(texts->texts[i])));
    std::vector<std::string> row_names(names->texts, names->texts + names->count);
    if (row_names != r.names) {
        r.rows.push_back(r.names = row_names);
        record_types(r, names->count, names->texts, names->types);
    }
    r.rows.emplace_back(values->texts, values->texts + values->count);
    record_types(r, values->count, values->texts, values->types);
    return *number == stop_at ? 1 : 0;
}

int progress_calls = 0;
int interrupt_at = 0;
int16_t KEST_CALL progress()
{
    return ++progress_calls >= interrupt_at ? 1 : 0;
}

class Contract : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_setting_ = kest_SetUnicodeConversion(mode.sql == Sql::Utf16Engine ? -1 : 0);
        stop_at = 0;
        std::string pattern = (fs::temp_directory_path() / "kest-contract-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        db = open(":memory:");
    }
    void TearDown() override
    {
        for (int32_t &handle : handles_)
            kest_sqlite3_close(&handle);
        kest_SetUnicodeConversion(previous_setting_);
        fs::remove_all(dir_);
    }

    std::string file(const std::string &name) const { return (dir_ / name).string(); }

    int32_t open(const std::string &path, int32_t flags = KEST_OPEN_READWRITE | KEST_OPEN_CREATE)
    {
        int32_t handle = 0;
        EXPECT_EQ(kest_sqlite3_open_v2(path.c_str(), &handle, flags, nullptr), KEST_OK) << path;
        handles_.push_back(handle);
        return handle;
    }

    // `bare` passes NULL for every optional out-argument, and no row callback.
    Result run(const std::string &sql, int32_t handle, bool bare = false)
    {
        Result r;
        const std::u16string wide = utf16(sql);
        const bool u16 = mode.sql != Sql::Utf8;
        char *error = nullptr;
        char **errmsg = bare ? nullptr : &error;
        if (mode.path == Path::Table) {
            kest_table *table = nullptr;
            int16_t status = -1;
            int16_t *status_out = bare ? nullptr : &status;
            r.code = u16 ? kest_sqlite_get_table_unicode(&table, handle, wide.c_str(), errmsg, status_out)
                         : kest_sqlite_get_table(&table, handle, sql.c_str(), errmsg, status_out);
            EXPECT_EQ(status, bare ? -1 : r.code);
            r.count = kest_sqlite_query_rowcount();
            if (table != nullptr) {
                EXPECT_GE(table->row_count, 2);
                r.data_rows = table->row_count - 1;
                for (int32_t row = 0; row < table->row_count; ++row) {
                    r.rows.emplace_back(&KEST_CELL(table, 0, row), &KEST_CELL(table, 0, row) + table->column_count);
                    record_types(r, table->column_count, &KEST_CELL(table, 0, row), &KEST_TYPE(table, 0, row));
                }
            }
            kest_free_table(table);
        } else {
            const kest_row_callback callback = bare ? nullptr : collect;
            r.code = u16 ? kest_sqlite_exec_unicode(handle, wide.c_str(), callback, &r, errmsg)
                         : kest_sqlite_exec(handle, sql.c_str(), callback, &r, errmsg);
            r.count = kest_sqlite_exec_rowcount();
            EXPECT_EQ(kest_sqlite_exec_rowcount64(), r.count);
            if (bare)
                r.data_rows = r.count;
        }
        r.error = error != nullptr ? std::optional<std::string>(error) : std::nullopt;
        kest_free_text(error);
        EXPECT_EQ(r.count, r.data_rows) << sql;
        return r;
    }

    Result check(const std::string &sql, int32_t handle, int16_t code, const Rows &rows,
                 const std::optional<std::string> &error = std::nullopt)
    {
        SCOPED_TRACE(sql);
        Result r = run(sql, handle);
        EXPECT_EQ(r.code, code);
        EXPECT_EQ(r.rows, rows);
        EXPECT_EQ(r.error, error);
        return r;
    }

    Mode mode{Path::Table, Sql::Utf8, ""};
    int32_t db = 0;

private:
    fs::path dir_;
    std::vector<int32_t> handles_;
    int32_t previous_setting_ = 0;
};

class BothPaths : public Contract, public ::testing::WithParamInterface<Mode> {
protected:
    void SetUp() override { mode = GetParam(); Contract::SetUp(); }
};

INSTANTIATE_TEST_SUITE_P(
    Modes, BothPaths,
    ::testing::Values(Mode{Path::Table, Sql::Utf8, "Table"}, Mode{Path::Table, Sql::Utf16Converted, "TableUtf16"},
                      Mode{Path::Table, Sql::Utf16Engine, "TableUtf16Engine"}, Mode{Path::Exec, Sql::Utf8, "Exec"},
                      Mode{Path::Exec, Sql::Utf16Converted, "ExecUtf16"},
                      Mode{Path::Exec, Sql::Utf16Engine, "ExecUtf16Engine"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

TEST_P(BothPaths, RowsNamesCellsAndPrimaryCodes)
{
    const struct {
        std::string sql;
        int16_t code;
        Rows rows;
        std::optional<std::string> error = std::nullopt;
        std::optional<Rows> exec_rows = std::nullopt; // when the row callback sees them otherwise
    } cases[] = {
        {"SELECT 1 AS a, 'x' AS b UNION ALL SELECT 2, 'y'", KEST_OK, {{"a", "b"}, {"1", "x"}, {"2", "y"}}},
        {"CREATE TABLE t(x, y);\r\nINSERT INTO t VALUES(1, 'one'), (2, 'two'); SELECT * FROM t;"
         "SELECT x * 10 AS x, y FROM t ORDER BY x DESC",
         KEST_OK, {{"x", "y"}, {"1", "one"}, {"2", "two"}, {"20", "two"}, {"10", "one"}}},
        {"CREATE TABLE t(x); SELECT * FROM t; -- no rows", KEST_OK, {}},
        {"SELECT 'kept' AS v; SELECT * FROM missing; SELECT 'never'", KEST_ERROR, {{"v"}, {"kept"}},
         "no such table: missing"},
        {"SELEC 1", KEST_ERROR, {}, "near \"SELEC\": syntax error"},
        // The extended code (1555 on a connection opened for extended codes) is never handed out.
        {"CREATE TABLE k(id PRIMARY KEY); INSERT INTO k VALUES(1); INSERT INTO k VALUES(1)", 19, {},
         "UNIQUE constraint failed: k.id"},
        {"SELECT NULL AS a, 42 AS b, 2.5 AS c, x'414243' AS d, x'00ff1a' AS e, x'c328' AS f,"
         "CAST(x'ff41' AS TEXT) AS g, CAST(x'410042' AS TEXT) AS h, -9223372036854775808 AS i",
         KEST_OK,
         {{"a", "b", "c", "d", "e", "f", "g", "h", "i"},
          {"", "42", "2.5", "ABC", "X'00FF1A'", "X'C328'", "\xEF\xBF\xBD" "A", "A", "-9223372036854775808"}}},
        // Outside the BMP (a surrogate pair in UTF-16) in a cell and in a column name.
        {"SELECT 'Motörhead' AS \"ö\", '東京 😀' AS \"😀 x\"", KEST_OK, {{"ö", "😀 x"}, {"Motörhead", "東京 😀"}}},
        {"SELECT 1 AS a; SELECT 2 AS p, 3 AS q, 4 AS r; SELECT 5 AS z, 6 AS w", KEST_OK,
         {{"a", "q", "r"}, {"1", "", ""}, {"2", "3", "4"}, {"5", "6", ""}}, std::nullopt,
         Rows{{"a"}, {"1"}, {"p", "q", "r"}, {"2", "3", "4"}, {"z", "w"}, {"5", "6"}}},
    };
    const int32_t extended_codes = KEST_OPEN_READWRITE | KEST_OPEN_CREATE | 0x02000000; // SQLite's EXRESCODE
    for (const auto &c : cases) {
        const Result r = check(c.sql, open(":memory:", extended_codes), c.code,
                               mode.path == Path::Exec && c.exec_rows ? *c.exec_rows : c.rows, c.error);
        const Result bare = run(c.sql, open(":memory:"), true);
        EXPECT_EQ(bare.code, c.code) << c.sql;
        EXPECT_EQ(bare.count, r.count) << c.sql;
    }
}

// What each value is, and what its text cannot say: a real's last bits, a BLOB's own bytes.
TEST_P(BothPaths, StorageClassesAndExactReals)
{
    const bool exec = mode.path == Path::Exec;
    const int T = KEST_TEXT, N = KEST_NULL, R = KEST_FLOAT;
    const std::vector<std::string> names{"n", "e", "i", "r", "f", "b", "h", "t"};
    const std::vector<std::string> texts{"", "", "-9223372036854775808", "0.3", "-Inf", "ABC", "X'00FF'", "X'AB'"};
    const Result r = check("SELECT NULL AS n, '' AS e, -9223372036854775808 AS i, 0.1 + 0.2 AS r, -1e999 AS f,"
                           "x'414243' AS b, x'00ff' AS h, 'X''AB''' AS t; SELECT 1.5e300 AS r",
                           db, KEST_OK,
                           exec ? Rows{names, texts, {"r"}, {"1.5e+300"}}
                                : Rows{names, texts, {"1.5e+300", "", "", "", "", "", "", ""}});
    const std::vector<int> name_types(8, T), value_types{N, T, KEST_INTEGER, R, R, KEST_BLOB, KEST_BLOB | KEST_HEX_FORM, T};
    using Types = std::vector<std::vector<int>>;
    const Types types = exec ? Types{name_types, value_types, {T}, {R}} : Types{name_types, value_types, {R, N, N, N, N, N, N, N}};
    EXPECT_EQ(r.types, types);
    EXPECT_EQ(r.reals, (std::vector<double>{0.1 + 0.2, -std::numeric_limits<double>::infinity(), 1.5e300}));
}

TEST_P(BothPaths, ProgressCallbackInterruptsAndRowCallbackStops)
{
    const bool exec = mode.path == Path::Exec;
    // Within a statement: code 9 and no text; an interrupted table query hands out nothing.
    progress_calls = 0;
    interrupt_at = 50;
    ASSERT_EQ(kest_sqlite_progress_handler(db, 20, progress), KEST_OK);
    const Result r = run("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT i FROM n", db);
    EXPECT_EQ(r.code, KEST_INTERRUPT);
    EXPECT_EQ(r.error, std::nullopt);
    EXPECT_EQ(r.data_rows > 0, exec);
    // Between the statements of a script, too short each to meet the callback within.
    progress_calls = 0;
    interrupt_at = 1;
    ASSERT_EQ(kest_sqlite_progress_handler(db, 1000000000, progress), KEST_OK);
    const std::string script = "SELECT 1 AS a; SELECT 2 AS a";
    check(script, db, KEST_INTERRUPT, exec ? Rows{{"a"}, {"1"}} : Rows{});
    ASSERT_EQ(kest_sqlite_progress_handler(db, 0, nullptr), KEST_OK);
    check(script, db, KEST_OK, {{"a"}, {"1"}, {"2"}});
    // The row callback's non-zero answer ends the text with code 4 and no text.
    stop_at = 2;
    check("SELECT 1 AS a UNION ALL SELECT 2 UNION ALL SELECT 3; SELECT 4", db, exec ? KEST_ABORT : KEST_OK,
          exec ? Rows{{"a"}, {"1"}, {"2"}} : Rows{{"a"}, {"1"}, {"2"}, {"3"}, {"4"}});
}

TEST_P(BothPaths, FilesNotADatabaseLockedReadOnlyAndUntrusted)
{
    const std::string notes = file("notes.db"), text(4096, 'x');
    std::ofstream(notes, std::ios::binary) << text;
    check("CREATE TABLE t(x)", open(notes), KEST_NOTADB, {}, "file is not a database");
    EXPECT_EQ(bytes(notes), text);

    const std::string shared = file("shared.db");
    const int32_t writer = open(shared), reader = open(shared);
    check("CREATE TABLE t(x); BEGIN EXCLUSIVE; INSERT INTO t VALUES(1)", writer, KEST_OK, {});
    // A lock held elsewhere is waited for: released meanwhile, the query goes on.
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        check("COMMIT", writer, KEST_OK, {});
    });
    check("SELECT * FROM t", reader, KEST_OK, {{"x"}, {"1"}});
    releaser.join();

    int32_t read_only = open(shared, KEST_OPEN_READONLY);
    const std::string before = bytes(shared);
    for (const char *sql : {"INSERT INTO t VALUES(2)", "CREATE TABLE u(x)", "PRAGMA user_version = 7"})
        check(sql, read_only, 8, {}, "attempt to write a readonly database");
    check("SELECT * FROM t", read_only, KEST_OK, {{"x"}, {"1"}});
    EXPECT_EQ(kest_sqlite3_close(&read_only), KEST_OK);
    EXPECT_EQ(bytes(shared), before);

    // Views and triggers of a file cannot run unsafe functions, such as pragma_database_list,
    // which tells where the user's databases lie.
    const std::string hostile = file("hostile.db");
    check("CREATE TABLE loot(f); CREATE TABLE bait(x); CREATE VIEW spy AS SELECT file FROM pragma_database_list;"
          "CREATE TRIGGER steal AFTER INSERT ON bait BEGIN INSERT INTO loot SELECT file FROM pragma_database_list; END",
          open(hostile), KEST_OK, {});
    const int32_t h = open(hostile);
    const std::string unsafe = "unsafe use of virtual table \"pragma_database_list\"";
    check("SELECT * FROM spy", h, KEST_ERROR, {}, unsafe);
    check("INSERT INTO bait VALUES(1)", h, KEST_ERROR, {}, unsafe);
    check("SELECT count(*) AS n FROM loot", h, KEST_OK, {{"n"}, {"0"}});
    // Typed by the user, the same function runs: it is the schema that is not trusted.
    check("SELECT name FROM pragma_database_list", h, KEST_OK, {{"name"}, {"main"}});
}

// Every statement of a long script runs once, and as written: statements of many lengths, a ';'
// in a comment, a string and a trigger, characters outside the BMP.
TEST_P(BothPaths, ALongScriptRunsEveryStatementAsWritten)
{
    std::string script = "CREATE TABLE s(v); CREATE TRIGGER t AFTER INSERT ON s WHEN new.v = 'x;' "
                         "BEGIN INSERT INTO s VALUES('y;'); END; INSERT INTO s VALUES('x;');\n";
    int64_t characters = 4;
    for (int i = 0; i < 3000; ++i) {
        const std::string n = std::to_string(i);
        script += "INSERT INTO s SELECT '" + std::string(i % 700, ';') + "😀" + n + "' /* ; */ || 'z';\r\n";
        characters += i % 700 + 2 + static_cast<int64_t>(n.size());
    }
    check(script + "SELECT count(*) AS n, sum(length(v)) AS c FROM s", db, KEST_OK,
          {{"n", "c"}, {"3002", std::to_string(characters)}});
}

// The engine may build no value longer than half of what the budget leaves (ctest sets it).
TEST_P(BothPaths, OutOfMemoryIsCodeSevenWithNoTable)
{
    ASSERT_LT(kest_memory_budget(), 900000000) << "run through ctest, which sets KESTRUNE_MEMORY_LIMIT";
    check("SELECT 'kept' AS v; SELECT randomblob(900000000)", db, KEST_NOMEM,
          mode.path == Path::Exec ? Rows{{"v"}, {"kept"}} : Rows{}, "out of memory");
    // The engine may make this blob, but not beside its hex form, twice its size, as well.
    check("SELECT zeroblob(200000000)", db, KEST_NOMEM, {}, "out of memory");
    // Nor may it make a value past the budget for its own work, though only its length comes
    // out: it is refused before it is made (the process's peak stays below its size).
    const auto peak = [] { // bytes
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line) && line.rfind("VmHWM:", 0) != 0) {}
        return line.empty() ? -1 : std::stoll(line.substr(6)) * 1024;
    };
    std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from here
    const int64_t before = peak();
    check("SELECT length(randomblob(900000000))", db, KEST_NOMEM, {}, "out of memory");
    EXPECT_LT(peak() - before, 900000000) << "grown from " << before;
}

TEST_F(Contract, HandlesAndOpenFailures)
{
    int32_t h = 7;
    EXPECT_EQ(kest_sqlite3_open_v2(nullptr, &h, 6, nullptr), KEST_MISUSE);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(kest_sqlite3_open_v2(":memory:", nullptr, 6, nullptr), KEST_MISUSE);
    const std::pair<std::string, int32_t> failing[] = {{file("missing.db"), KEST_OPEN_READONLY}, {file(""), 6}};
    for (const auto &[path, flags] : failing) { // a missing file read-only, and a folder
        h = 7;
        EXPECT_EQ(kest_sqlite3_open_v2(path.c_str(), &h, flags, nullptr), KEST_CANTOPEN) << path;
        EXPECT_EQ(h, 0);
    }
    EXPECT_EQ(kest_sqlite3_close(&h), KEST_OK); // handle 0
    EXPECT_EQ(kest_sqlite3_close(nullptr), KEST_MISUSE);

    int32_t closing = open(":memory:");
    const int32_t stale = closing;
    ASSERT_EQ(kest_sqlite3_close(&closing), KEST_OK);
    EXPECT_EQ(closing, 0);
    for (int32_t bad : {stale, 0x7fff1234}) {
        EXPECT_EQ(kest_sqlite_progress_handler(bad, 20, progress), KEST_MISUSE);
        EXPECT_EQ(kest_sqlite3_interrupt(bad), KEST_MISUSE);
        for (const Path path : {Path::Table, Path::Exec}) {
            mode.path = path;
            check("SELECT 1", bad, KEST_MISUSE, {}, "unknown or closed database handle");
        }
        EXPECT_EQ(kest_sqlite3_close(&bad), KEST_MISUSE);
    }
    EXPECT_EQ(kest_sqlite_get_table(nullptr, db, "SELECT 1", nullptr, nullptr), KEST_MISUSE);
}

TEST_F(Contract, VersionsUnicodeSettingAndRowCountsPerThread)
{
    EXPECT_EQ(kest_KestLibVersion(), KESTRUNE3_VERSION);

    EXPECT_EQ(kest_SetUnicodeConversion(-1), 0);
    EXPECT_EQ(kest_SetUnicodeConversion(5), 1);
    EXPECT_EQ(kest_SetUnicodeConversion(0), 1);
    kest_table *table = nullptr; // converted by the library, a lone surrogate becomes U+FFFD
    ASSERT_EQ(kest_sqlite_get_table_unicode(&table, db, u"SELECT '\xD800x'", nullptr, nullptr), KEST_OK);
    EXPECT_STREQ(KEST_CELL(table, 0, 1), "\xEF\xBF\xBDx");
    kest_free_table(table);
    // The library takes ASCII eight units at a time: what follows a run of any length comes out
    // the same, a pair whole and a lone surrogate (even the text's last unit) as U+FFFD.
    const std::pair<std::u16string, std::string> units[] = {
        {u"\u00E9", "\xC3\xA9"}, {u"\u4E2D", "\xE4\xB8\xAD"}, {u"\U0001F600", "\xF0\x9F\x98\x80"},
        {u"\xDC00", "\xEF\xBF\xBD"}, {u"\xDBFF\U0010FFFF", "\xEF\xBF\xBD\xF4\x8F\xBF\xBF"}};
    for (std::size_t run = 0; run <= 17; ++run) {
        const std::u16string as(run, u'a');
        for (const auto &[unit, utf8] : units) {
            const std::u16string sql = u"SELECT '" + as + unit + u"b' -- " + as + u"\xD800";
            ASSERT_EQ(kest_sqlite_get_table_unicode(&table, db, sql.c_str(), nullptr, nullptr), KEST_OK);
            EXPECT_EQ(KEST_CELL(table, 0, 1), std::string(run, 'a') + utf8 + "b") << run;
            kest_free_table(table);
        }
    }
    // Converted by the engine: its rule for a lone surrogate (it takes the next unit along) holds
    // to the end of the statement, and a long text's pairs come back whole wherever
    // they fall, after a prefix of either length; U+FEFF and U+FFFE where a slice of the
    // conversion starts (unit 262,144) are text like any other.
    kest_SetUnicodeConversion(-1);
    std::u16string pairs;
    std::string expected;
    for (int i = 0; i < 300000; ++i)
        pairs += u"\U0001F600", expected += "\xF0\x9F\x98\x80";
    const std::u16string as(262144 - 8, u'a');
    const std::pair<std::u16string, std::vector<std::string>> texts[] = {
        {u"SELECT '\xD800x'", {"\xF0\x90\x81\xB8"}},
        {u"SELECT '" + pairs + u"'", {expected}},
        {u"SELECT  '" + pairs + u"'", {expected}},
        {u"SELECT '" + as + u"\uFEFFbc'", {std::string(as.size(), 'a') + "\xEF\xBB\xBF" "bc"}},
        {u"SELECT '" + as + u"\uFFFEbc'", {std::string(as.size(), 'a') + "\xEF\xBF\xBE" "bc"}}};
    for (const auto &[sql, cells] : texts) {
        ASSERT_EQ(kest_sqlite_get_table_unicode(&table, db, sql.c_str(), nullptr, nullptr), KEST_OK);
        ASSERT_EQ(table->row_count, static_cast<int32_t>(cells.size()) + 1);
        for (std::size_t row = 0; row < cells.size(); ++row)
            EXPECT_TRUE(KEST_CELL(table, 0, row + 1) == cells[row]) << "row " << row + 1;
        kest_free_table(table);
    }
    char *error = nullptr; // and so at the very start, where U+FFFE is no blank to the engine
    EXPECT_EQ(kest_sqlite_get_table_unicode(&table, db, u"\uFFFESELECT 1", &error, nullptr), KEST_ERROR);
    EXPECT_STREQ(error, "near \"\xEF\xBF\xBESELECT\": syntax error");
    kest_free_text(error);
    kest_SetUnicodeConversion(0);

    // The engine's keywords: each once, in upper case, the statements' first words among them.
    std::set<std::string> keywords;
    const int32_t count = kest_sqlite3_keyword_count();
    for (int32_t i = 0; i < count; ++i) {
        char *name = kest_sqlite3_keyword_name(i);
        ASSERT_NE(name, nullptr);
        keywords.insert(name);
        EXPECT_EQ(std::strspn(name, "ABCDEFGHIJKLMNOPQRSTUVWXYZ_"), std::strlen(name)) << name;
        kest_free_text(name);
    }
    EXPECT_EQ(keywords.size(), std::size_t(count));
    EXPECT_TRUE(keywords.count("SELECT") && keywords.count("WITHOUT") && keywords.count("EXPLAIN"));
    EXPECT_EQ(kest_sqlite3_keyword_name(-1), nullptr);
    EXPECT_EQ(kest_sqlite3_keyword_name(count), nullptr);

    run("SELECT 1 UNION ALL SELECT 2", db);
    std::thread([] { EXPECT_EQ(kest_sqlite_query_rowcount(), 0); }).join();
    EXPECT_EQ(kest_sqlite_query_rowcount(), 2);
}

int16_t KEST_CALL note_number(const int32_t *number, void *numbers, const kest_texts *, const kest_texts *)
{
    static_cast<std::vector<int32_t> *>(numbers)->push_back(*number);
    return 0;
}

// An exec call goes on past the rows a 32-bit count holds (the run starts its count near there,
// as read when the connection opens): the row numbers and the 32-bit count stay at the largest
// 32-bit number, the 64-bit count goes on, and stops at the largest 64-bit number.
TEST_F(Contract, ExecCountsRowsPastA32BitCount)
{
    const int64_t most = std::numeric_limits<int32_t>::max(), most64 = std::numeric_limits<int64_t>::max();
    for (const auto &[before, counted] : {std::pair{most - 2, most + 2}, {most64, most64}}) {
        ASSERT_EQ(setenv("KESTRUNE_TEST_EXEC_ROWS", std::to_string(before).c_str(), 1), 0);
        const int32_t counting = open(":memory:");
        unsetenv("KESTRUNE_TEST_EXEC_ROWS");
        std::vector<int32_t> numbers;
        const int16_t code = kest_sqlite_exec(counting, "SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL SELECT 4",
                                              note_number, &numbers, nullptr);
        EXPECT_EQ(code, KEST_OK);
        const auto first = static_cast<int32_t>(before < most ? before + 1 : most), last = static_cast<int32_t>(most);
        EXPECT_EQ(numbers, (std::vector<int32_t>{first, last, last, last}));
        EXPECT_EQ(kest_sqlite_exec_rowcount(), most);
        EXPECT_EQ(kest_sqlite_exec_rowcount64(), counted);
    }
}

TEST_F(Contract, MemoryBudgetCountsWhatCallersAndTablesHold)
{
    const int64_t budget = kest_memory_budget();
    EXPECT_EQ(kest_memory_take(budget + 1), 0);
    EXPECT_EQ(kest_memory_alloc(budget + 1), nullptr);
    auto *later = static_cast<char *>(kest_memory_alloc(KEST_MEMORY_CHUNK));
    auto *chunk = static_cast<char *>(kest_memory_alloc(KEST_MEMORY_CHUNK));
    ASSERT_TRUE(chunk != nullptr && later != nullptr);
    chunk[KEST_MEMORY_CHUNK - 1] = 1;
    EXPECT_EQ(kest_memory_take(budget - 2 * KEST_MEMORY_CHUNK + 1), 0); // both chunks are counted
    // A wrong size releases that one chunk, whatever lies beside it.
    kest_memory_free(chunk, 2 * KEST_MEMORY_CHUNK);
    later[KEST_MEMORY_CHUNK - 1] = 1;
    kest_memory_free(later, KEST_MEMORY_CHUNK);
    // Giving back more than was taken leaves a count of nothing, never less.
    ASSERT_EQ(kest_memory_take(1000), 1);
    kest_memory_give(INT64_MAX);
    EXPECT_EQ(kest_memory_take(budget + 1), 0);

    // A table that would pass what is left ends in out of memory, and comes once the budget is back.
    const int64_t held = budget - (8 << 20);
    ASSERT_EQ(kest_memory_take(held), 1);
    // Cells of 1.5 MB, each below the engine's bound, 12 MB in all.
    const std::string big = "SELECT 'kept' AS v; WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r "
                            "WHERE i < 8) SELECT printf('%.*c', 1500000, 'x') AS v FROM r";
    check(big, db, KEST_NOMEM, {}, "out of memory");
    // So does the library's UTF-8 copy of a UTF-16 script that would not fit: nothing of it runs.
    const std::u16string script = u"CREATE TABLE later(a); --" + std::u16string(12 << 20, u'x');
    char *error = nullptr;
    for (const int engine : {0, -1}) { // the library's conversion, then the engine's
        kest_SetUnicodeConversion(engine);
        EXPECT_EQ(kest_sqlite_exec_unicode(db, script.c_str(), nullptr, nullptr, &error), KEST_NOMEM);
        EXPECT_STREQ(error, "out of memory");
        kest_free_text(error);
    }
    kest_SetUnicodeConversion(0);
    // A call that could not run it is a misuse all the same.
    EXPECT_EQ(kest_sqlite_exec_unicode(0, script.c_str(), nullptr, nullptr, nullptr), KEST_MISUSE);
    EXPECT_EQ(kest_sqlite_get_table_unicode(nullptr, db, script.c_str(), nullptr, nullptr), KEST_MISUSE);
    kest_memory_give(held);
    EXPECT_EQ(run(big, db).rows.size(), 10u);
    EXPECT_EQ(kest_sqlite_exec_unicode(db, script.c_str(), nullptr, nullptr, nullptr), KEST_OK);
}

// The room as a machine of the test's own making shows it (KESTRUNE_TEST_ROOT): a 256 MiB limit
// in each place a system may set it, of which other processes use some.
TEST(MeasuredRoom, PromisesAndOtherProcessesUseFillIt)
{
#ifdef KEST_ROOM_UNMEASURED
    GTEST_SKIP() << "the portable room knows of no limit";
#endif
    constexpr int64_t MiB = 1 << 20;
    const struct {
        const char *name;
        const char *cgroup;
        std::map<std::string, std::string> files;
        std::string use; // the file that says how much is used (or, for meminfo, left)
    } machines[] = {
        {"cgroup v2", "0::/app\n", {{"sys/fs/cgroup/cgroup.controllers", ""}, {"sys/fs/cgroup/app/memory.max", "268435456"}},
         "sys/fs/cgroup/app/memory.current"},
        {"hybrid, memory.high", "4:memory:/\n0::/app\n",
         {{"sys/fs/cgroup/unified/cgroup.controllers", ""}, {"sys/fs/cgroup/unified/app/memory.max", "max"},
          {"sys/fs/cgroup/unified/app/memory.high", "268435456"}},
         "sys/fs/cgroup/unified/app/memory.current"},
        {"v1, a path without '/'", "4:memory:app\n", {{"sys/fs/cgroup/memory/app/memory.limit_in_bytes", "268435456"}},
         "sys/fs/cgroup/memory/app/memory.usage_in_bytes"},
        {"MemAvailable beside a cgroup without files", "4:memory:lost\n", {}, "proc/meminfo"},
    };
    std::string pattern = (fs::temp_directory_path() / "kest-room-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path root = pattern;
    const auto write = [&root](const std::string &name, const std::string &text) {
        fs::create_directories((root / name).parent_path());
        std::ofstream(root / name) << text;
    };
    setenv("KESTRUNE_TEST_ROOT", root.c_str(), 1);
    for (const auto &machine : machines) {
        SCOPED_TRACE(machine.name);
        fs::remove_all(root);
        write("proc/self/cgroup", machine.cgroup);
        write("proc/meminfo", "MemAvailable: 67108864 kB\n");
        for (const auto &[name, text] : machine.files)
            write(name, text);
        const auto others_use = [&](int64_t bytes) {
            write(machine.use, machine.use == "proc/meminfo"
                                   ? "MemAvailable: " + std::to_string((256 * MiB - bytes) / 1024) + " kB\n"
                                   : std::to_string(bytes));
        };
        others_use(64 * MiB); // 192 MiB left, less 16 MiB of headroom
        EXPECT_EQ(kest_memory_take(100 * MiB), 1);
        EXPECT_EQ(kest_memory_take(100 * MiB), 0); // what is promised is not free as well
        others_use(164 * MiB);                     // 92 MiB left
        EXPECT_EQ(kest_memory_take(20 * MiB), 0);
        kest_memory_give(100 * MiB);
        EXPECT_EQ(kest_memory_take(50 * MiB), 1);
        EXPECT_EQ(kest_memory_take(50 * MiB), 0);
        kest_memory_give(50 * MiB);
    }
    unsetenv("KESTRUNE_TEST_ROOT");
    fs::remove_all(root);
}

// Threads with a connection each share the library's tables and budget (the tsan preset).
TEST_F(Contract, ThreadsWithAConnectionEachShareOneBudget)
{
    std::atomic<int> failures{0};
    std::thread threads[4];
    for (std::thread &thread : threads)
        thread = std::thread([&failures] {
            for (int round = 0; round < 4; ++round) {
                int32_t h = 0;
                kest_table *t = nullptr; // each thread's count is its own
                failures += kest_sqlite3_open_v2(":memory:", &h, 6, nullptr) != KEST_OK ||
                            kest_sqlite_progress_handler(h, 100, [] { return int16_t{0}; }) != KEST_OK;
                failures += kest_sqlite_get_table(&t, h, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                                         "FROM n WHERE i < 20000) SELECT i, 'x' FROM n", nullptr,
                                                  nullptr) != KEST_OK || kest_sqlite_query_rowcount() != 20000;
                kest_free_table(t);
                void *memory = kest_memory_alloc(KEST_MEMORY_CHUNK);
                failures += kest_sqlite_exec(h, "SELECT 1", nullptr, nullptr, nullptr) != KEST_OK || !memory ||
                            kest_sqlite_exec_rowcount() != 1 || kest_sqlite3_close(&h) != KEST_OK;
                kest_memory_free(memory, KEST_MEMORY_CHUNK);
            }
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
}

// The cell pointers are gathered in chunks of KEST_MEMORY_CHUNK that become one array, and a
// later, wider statement lays them out again: every cell must be in its place.
TEST_F(Contract, MillionsOfCellsComeBackWholeAndInOrder)
{
    constexpr int Count = 700000;
    const std::string sql = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                            std::to_string(Count) + ") SELECT i, i * 3 FROM n; SELECT 'x', 'y', 'z' AS wide";
    kest_table *t = nullptr;
    ASSERT_EQ(kest_sqlite_get_table(&t, db, sql.c_str(), nullptr, nullptr), KEST_OK);
    ASSERT_EQ(t->row_count, Count + 2);
    EXPECT_EQ(kest_sqlite_query_rowcount(), Count + 1);
    int wrong = 0;
    for (int r = 1; r <= Count; ++r)
        wrong += std::atoi(KEST_CELL(t, 0, r)) != r || std::atoi(KEST_CELL(t, 1, r)) != 3 * r || *KEST_CELL(t, 2, r);
    EXPECT_EQ(wrong, 0);
    EXPECT_STREQ(KEST_CELL(t, 2, 0), "wide");
    EXPECT_STREQ(KEST_CELL(t, 2, Count + 1), "z");
    kest_free_table(t);
}

// Deterministically damaged copies of a database through both paths: nothing crashes or hangs,
// and every call ends in a code that the damage explains, with the engine's text unless it is
// OK or the bound below (1: a damaged schema, 11: damage found, 26: no longer a database).
TEST_F(Contract, DamagedCopiesEndInAStatusThatSaysWhatHappened)
{
    const std::string pristine_path = file("pristine.db"), path = file("damaged.db");
    check("CREATE TABLE a(id INTEGER PRIMARY KEY, name TEXT, n INT); CREATE INDEX a_n ON a(n);"
          "CREATE VIEW v AS SELECT n, count(*) AS c FROM a GROUP BY n;"
          "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < 1000) "
          "INSERT INTO a SELECT i, printf('name %d %.*c', i, i % 60, 'x'), i % 37 FROM s",
          open(pristine_path), KEST_OK, {});
    const std::string pristine = bytes(pristine_path);
    std::mt19937 random(20261206);
    std::map<int16_t, int> codes;
    interrupt_at = 2000; // a bound on every query: a damaged file must not make it run for ever
    for (int copy = 0; copy < 50; ++copy) {
        std::string damaged = pristine;
        for (int hit = 0, hits = 1 + int(random() % 8); hit < hits; ++hit) {
            const std::size_t length = 1 + random() % 16;
            const std::size_t at = hit == 0 && copy % 4 == 0 ? random() % 100 : random() % (damaged.size() - length);
            for (std::size_t i = 0; i < length; ++i)
                damaged[at + i] = static_cast<char>(random());
        }
        std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
        int32_t h = open(path);
        ASSERT_EQ(kest_sqlite_progress_handler(h, 1000, progress), KEST_OK);
        for (const char *sql : {"SELECT * FROM a", "SELECT * FROM v", "PRAGMA integrity_check"})
            for (const Path p : {Path::Table, Path::Exec}) {
                mode.path = p;
                progress_calls = 0;
                const Result r = run(sql, h);
                ++codes[r.code];
                EXPECT_TRUE(r.code == 0 || r.code == 1 || r.code == 9 || r.code == 11 || r.code == 26)
                    << "copy " << copy << " " << sql << ": " << r.code;
                EXPECT_EQ(r.error.has_value(), r.code != KEST_OK && r.code != KEST_INTERRUPT) << copy << sql;
            }
        kest_sqlite3_close(&h);
    }
    EXPECT_GT(codes[11] + codes[KEST_NOTADB], 0); // the damage was real
    EXPECT_GT(codes[KEST_OK], 0);
}

// A lock held elsewhere is waited for five seconds, then reported (code 5); the progress callback
// ends the wait at once, as it ends a statement (and so does an interrupt: see the next test).
TEST_F(Contract, ALockHeldElsewhereIsWaitedForUntilStoppedOrFiveSeconds)
{
    const int32_t writer = open(file("shared.db")), reader = open(file("shared.db"));
    ASSERT_EQ(kest_sqlite_exec(writer, "CREATE TABLE t(x); BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), KEST_OK);
    progress_calls = 0;
    interrupt_at = 3;
    ASSERT_EQ(kest_sqlite_progress_handler(reader, 20, progress), KEST_OK);
    for (const int16_t code : {KEST_INTERRUPT, KEST_BUSY}) {
        const auto start = std::chrono::steady_clock::now();
        const auto error = code == KEST_BUSY ? std::optional<std::string>("database is locked") : std::nullopt;
        check("SELECT * FROM t", reader, code, {}, error);
        EXPECT_EQ(std::chrono::steady_clock::now() - start >= std::chrono::seconds(5), code == KEST_BUSY);
        ASSERT_EQ(kest_sqlite_progress_handler(reader, 0, nullptr), KEST_OK);
    }
}

// Another thread ends a run while the engine parses a long statement (the table it names is
// missing, which only the parse's end would find), while it steps and while it waits for a lock
// held elsewhere; the next run is not ended.
TEST_F(Contract, InterruptFromAnotherThreadEndsTheRun)
{
    std::string insert = "INSERT INTO missing VALUES (0)";
    for (int i = 1; i < 100000; ++i)
        insert += ",(" + std::to_string(i) + ")";
    const int32_t writer = open(file("shared.db")), reader = open(file("shared.db"));
    ASSERT_EQ(kest_sqlite_exec(writer, "CREATE TABLE t(x); BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), KEST_OK);
    const std::string count = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT count(*) FROM n";
    for (const auto &[sql, handle] : {std::pair{insert, db}, {count, db}, {"SELECT * FROM t", reader}}) {
        std::atomic<bool> ended{false};
        std::thread interrupter([&, handle = handle] {
            for (; !ended; std::this_thread::sleep_for(std::chrono::milliseconds(1)))
                EXPECT_EQ(kest_sqlite3_interrupt(handle), KEST_OK);
        });
        check(sql, handle, KEST_INTERRUPT, {});
        ended = true;
        interrupter.join();
    }
    check("SELECT 1 AS a", db, KEST_OK, {{"a"}, {"1"}});
}
