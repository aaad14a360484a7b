// Runs arbitrary SQL through the table path and then the row-callback path of kestrune3, each
// time against a fresh copy of the demonstration database, and checks every answer against
// what the header promises. Both paths run the same statements on the same data, with the same
// random() and clock, so they must give the same rows.
//
// The first input byte chooses how the rest is handed over:
//   bit 0     the UTF-16 functions instead of the 8-bit ones
//   bit 1     the engine compiles the UTF-16 text itself (kest_SetUnicodeConversion(-1))
//   bit 2     the UTF-16 text is the raw input, two bytes a unit, lone surrogates and all;
//             otherwise the input is decoded as UTF-8
//   bits 3-7  the exec row callback asks to stop on this row (0: never)
//
// An input cannot write files (memdb is the engine's only file-system module, so ATTACH and
// VACUUM INTO stay in memory), run long (a progress callback interrupts it), take much memory
// (the hard heap limit, set again before every run: SQL can lower it) or leave anything behind
// (every run has a new connection, and "/demo" is copied from the template once changed).

#include "FuzzCheck.h"

#include "DemoData.h"
#include "kestrune3.h"

#include <QStringDecoder>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int64_t kProgressCallsAllowed = 500; // of 100 engine steps each: a join of all the rows fits
int64_t progressCalls = 0;
uint64_t randomCalls = 0;

// random() and randomblob() from a counter that every run starts again, on every connection: the
// engine's own generator gave the two paths different values.
void deterministicRandom(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    const uint64_t value = ++randomCalls * 0x9E3779B97F4A7C15u;
    if (argc == 0)
        return sqlite3_result_int64(context, sqlite3_int64(value));
    const sqlite3_int64 size = std::max<sqlite3_int64>(sqlite3_value_int64(argv[0]), 1);
    auto *bytes = static_cast<unsigned char *>(sqlite3_malloc64(sqlite3_uint64(size)));
    if (bytes == nullptr)
        return sqlite3_result_error_nomem(context);
    for (sqlite3_int64 i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * (i % 8)));
    sqlite3_result_blob64(context, bytes, sqlite3_uint64(size), sqlite3_free);
}

int registerRandom(sqlite3 *db, char **, const sqlite3_api_routines *)
{
    sqlite3_create_function(db, "random", 0, SQLITE_UTF8, nullptr, deterministicRandom, nullptr, nullptr);
    sqlite3_create_function(db, "randomblob", 1, SQLITE_UTF8, nullptr, deterministicRandom, nullptr, nullptr);
    return SQLITE_OK;
}
int32_t rowsSeen = 0, stopOn = 0; // by the row callback of the exec path
bool rowsDiffer = false;          // from those of the table path, which the exec path gets again
sqlite3 *demoTemplate = nullptr; // its name has no leading '/', so no input can attach it
sqlite3 *keeper = nullptr;       // holds the shared "/demo" between the runs' connections
sqlite3_int64 demoVersion = -1;  // the keeper's data version of "/demo" as copied

int16_t KEST_CALL countProgress() { return ++progressCalls > kProgressCallsAllowed ? 1 : 0; }

// Strict UTF-8 as Qt's decoder sees it, apart from the library's own check: the two cannot share
// a mistake.
bool isValidUtf8(std::string_view text)
{
    static QString scratch;
    scratch.resize(std::max(scratch.size(), qsizetype(text.size())));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    decoder.appendToBuffer(scratch.data(), QByteArrayView(text.data(), qsizetype(text.size())));
    return !decoder.hasError();
}

void checkOutcome(int16_t code, const char *errmsg)
{
    FUZZ_CHECK(code >= 0 && code <= 28); // primary codes only, never the step codes 100 and 101
    FUZZ_CHECK((code == KEST_INTERRUPT) == (progressCalls > kProgressCallsAllowed));
    FUZZ_CHECK((code == KEST_OK || code == KEST_INTERRUPT) == (errmsg == nullptr));
    FUZZ_CHECK(errmsg == nullptr || (errmsg[0] != '\0' && isValidUtf8(errmsg)));
    FUZZ_CHECK(code != KEST_NOMEM || std::strcmp(errmsg, "out of memory") == 0);
}

sqlite3_int64 demoDataVersion()
{
    sqlite3_int64 version = -1;
    const auto read = [](void *out, int, char **cells, char **) {
        return *static_cast<sqlite3_int64 *>(out) = std::atoll(cells[0]), 0;
    };
    sqlite3_exec(keeper, "PRAGMA data_version", read, &version, nullptr);
    return version;
}

// A new connection to "/demo" as the template holds it, with the engine's global state (which
// SQL can change) as every run finds it.
int32_t openDemo()
{
    sqlite3_hard_heap_limit64(4 << 20); // ample for the demonstration data; more only slows the runs
    sqlite3_free(std::exchange(sqlite3_temp_directory, nullptr));
    randomCalls = 0; // random() and randomblob() repeat themselves
    for (int attempt = 0; demoDataVersion() != demoVersion; ++attempt) { // copied again once changed
        sqlite3_backup *copy = sqlite3_backup_init(keeper, "main", demoTemplate, "main");
        const bool copied = copy != nullptr && sqlite3_backup_step(copy, -1) == SQLITE_DONE;
        demoVersion = sqlite3_backup_finish(copy) == SQLITE_OK && copied ? demoDataVersion() : -1;
        // Only a new database takes another page size: closing the last connection drops the old.
        if (demoVersion == -1)
            FUZZ_CHECK(attempt == 0 && sqlite3_close(keeper) == SQLITE_OK &&
                       sqlite3_open("/demo", &keeper) == SQLITE_OK);
    }
    int32_t handle = 0;
    FUZZ_CHECK(kest_sqlite3_open_v2("/demo", &handle, KEST_OPEN_READWRITE | KEST_OPEN_CREATE, nullptr) == KEST_OK);
    FUZZ_CHECK(kest_sqlite_progress_handler(handle, 100, countProgress) == KEST_OK);
    progressCalls = 0;
    return handle;
}

int16_t KEST_CALL checkRow(const int32_t *rowNumber, void *tableRows, const kest_texts *values, const kest_texts *names)
{
    FUZZ_CHECK(*rowNumber == ++rowsSeen && values->count >= 1 && values->count == names->count);
    for (const kest_texts *t : {values, names})
        for (int32_t i = 0; i < t->count; ++i)
            FUZZ_CHECK(std::strlen(t->texts[i]) == std::size_t(t->lengths[i]) && isValidUtf8(t->texts[i]));
    const auto *table = static_cast<const kest_table *>(tableRows);
    rowsDiffer |= table == nullptr || *rowNumber >= table->row_count || values->count > table->column_count;
    for (int32_t c = 0; !rowsDiffer && c < table->column_count; ++c) // shorter rows padded with ""
        rowsDiffer = std::strcmp(KEST_CELL(table, c, *rowNumber), c < values->count ? values->texts[c] : "") != 0;
    return *rowNumber == stopOn ? 1 : 0;
}

template <typename Char>
void runBothPaths(const Char *sql, int32_t stopOnRow)
{
    int32_t handle = openDemo();
    kest_table *table = reinterpret_cast<kest_table *>(1); // outputs must be overwritten
    char *errmsg = reinterpret_cast<char *>(1);
    int16_t status = -1, tableCode, code;
    if constexpr (sizeof(Char) == 1)
        tableCode = kest_sqlite_get_table(&table, handle, sql, &errmsg, &status);
    else
        tableCode = kest_sqlite_get_table_unicode(&table, handle, sql, &errmsg, &status);
    checkOutcome(tableCode, errmsg);
    const bool complete = tableCode != KEST_INTERRUPT && tableCode != KEST_NOMEM;
    FUZZ_CHECK(status == tableCode && (!table || (complete && table->column_count >= 1 && table->row_count >= 2)));
    const int32_t tableRows = table ? table->row_count - 1 : 0;
    for (int64_t i = 0; table && i < int64_t(table->row_count) * table->column_count; ++i)
        FUZZ_CHECK(table->cells[i] != nullptr && isValidUtf8(table->cells[i]));
    FUZZ_CHECK(kest_sqlite_query_rowcount() == tableRows);
    kest_free_text(std::exchange(errmsg, reinterpret_cast<char *>(1)));
    FUZZ_CHECK(kest_sqlite3_close(&handle) == KEST_OK && handle == 0);

    handle = openDemo();
    rowsSeen = 0, stopOn = stopOnRow, rowsDiffer = false;
    if constexpr (sizeof(Char) == 1)
        code = kest_sqlite_exec(handle, sql, checkRow, table, &errmsg);
    else
        code = kest_sqlite_exec_unicode(handle, sql, checkRow, table, &errmsg);
    FUZZ_CHECK(kest_sqlite_exec_rowcount() == rowsSeen);
    const bool stopped = stopOn != 0 && rowsSeen == stopOn;
    if (stopped) // asked to stop: ABORT, no text, no later row
        FUZZ_CHECK(code == KEST_ABORT && errmsg == nullptr);
    else
        checkOutcome(code, errmsg);
    // Unless a path ran out of steps or memory, the two went through the same statements.
    if (complete && (stopped || code == tableCode))
        FUZZ_CHECK(!rowsDiffer && (stopped || rowsSeen == tableRows));
    kest_free_text(errmsg);
    kest_free_table(table);
    FUZZ_CHECK(kest_sqlite3_close(&handle) == KEST_OK && handle == 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    sqlite3_vfs *memdb = sqlite3_vfs_find("memdb");
    FUZZ_CHECK(memdb != nullptr && sqlite3_vfs_register(memdb, 1) == SQLITE_OK);
    while (memdb->pNext != nullptr)
        sqlite3_vfs_unregister(memdb->pNext);
    // A clock that stands still, so that 'now' is the same in both paths.
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(registerRandom));
    memdb->xCurrentTimeInt64 = [](sqlite3_vfs *, sqlite3_int64 *now) { return *now = 212544043200000, SQLITE_OK; };
    const QString script = kest::CreateArtistsTableSql + QLatin1StringView(";") + kest::CreateCDsTableSql +
                           QLatin1StringView(";") + kest::BuildArtistsScript() + kest::BuildCDsScript();
    FUZZ_CHECK(sqlite3_open("template", &demoTemplate) == SQLITE_OK && sqlite3_open("/demo", &keeper) == SQLITE_OK);
    FUZZ_CHECK(sqlite3_exec(demoTemplate, script.toStdString().c_str(), nullptr, nullptr, nullptr) == SQLITE_OK);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const char *text = reinterpret_cast<const char *>(data + 1);
    if ((data[0] & 1) == 0)
        return runBothPaths(std::string(text, size - 1).c_str(), data[0] >> 3), 0;
    std::u16string sql((size - 1) / 2, u'\0');
    if (data[0] & 4)
        std::memcpy(sql.data(), text, sql.size() * 2);
    else
        sql = QString::fromUtf8(text, qsizetype(size - 1)).toStdU16String();
    kest_SetUnicodeConversion((data[0] & 2) ? -1 : 0);
    runBothPaths(sql.c_str(), data[0] >> 3);
    return 0;
}
