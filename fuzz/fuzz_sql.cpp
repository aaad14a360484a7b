// Drives arbitrary SQL text through the table and the row-callback paths of kestrune3, as
// 8-bit or as UTF-16 text under either setting of the Unicode switch, against a fresh copy
// of the demonstration database for every input, and checks each answer against what the
// library's header promises.
//
// The first input byte chooses how the rest is handed over:
//   bit 0     the UTF-16 functions instead of the 8-bit ones
//   bit 1     the engine compiles the UTF-16 text itself (kest_SetUnicodeConversion(-1))
//   bit 2     the UTF-16 text is the raw input, two bytes a unit, lone surrogates and all;
//             otherwise the input is read as UTF-8 (encoded surrogates give lone ones)
//   bits 3-7  the exec row callback asks to stop on this row (0: never)
//
// What an input cannot do to the machine or to later inputs:
//   - Files: every file-system module of the engine except "memdb" is unregistered and
//     memdb made the default, so the database, ATTACH (also of absolute paths and of
//     file: names naming another module) and VACUUM INTO stay in memory. A scratch current
//     folder would not have contained absolute paths. Only the engine's anonymous temporary
//     files (large sorts) still reach the disk, through memdb's own delegate.
//   - Time: a progress callback interrupts a statement after a bounded number of steps.
//   - Memory: the engine's hard heap limit is set again before every input (SQL can lower it
//     with a pragma, never raise it), so huge values end in "out of memory".
//   - State: each input gets its own connection holding a copy of the demonstration database:
//     its two CREATE statements, then the rows copied from a template that the demonstration
//     scripts filled once. Running the 232 statements of the scripts per input cost 3.3 ms,
//     the copy 0.8 ms (under the sanitizers), and both keep every run reproducible.

#include "FuzzCheck.h"

#include "DemoData.h"
#include "kestrune3.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

using kest::fuzz::isValidUtf8;

constexpr int32_t kProgressSteps = 100;
constexpr int64_t kProgressCallsAllowed = 3000; // 300,000 engine steps a call
constexpr sqlite3_int64 kHeapLimit = 16 << 20; // ample for the demonstration data

constexpr char kTemplateName[] = "/kest-demo-template";
std::string populateSql;
int64_t progressCalls = 0;

int16_t KEST_CALL countProgress()
{
    return ++progressCalls > kProgressCallsAllowed ? 1 : 0;
}

void confineEngineToMemory()
{
    sqlite3_initialize();
    sqlite3_vfs *memdb = sqlite3_vfs_find("memdb");
    FUZZ_CHECK(memdb != nullptr);
    FUZZ_CHECK(sqlite3_vfs_register(memdb, 1) == SQLITE_OK);
    for (sqlite3_vfs *vfs = memdb->pNext; vfs != nullptr;) {
        sqlite3_vfs *next = vfs->pNext;
        sqlite3_vfs_unregister(vfs);
        vfs = next;
    }
    FUZZ_CHECK(sqlite3_vfs_find(nullptr) == memdb && memdb->pNext == nullptr);
}

// Decodes UTF-8 leniently into UTF-16: an encoded surrogate becomes that lone unit, any other
// invalid byte U+FFFD. So text seeds reach the UTF-16 functions with surrogates when mutated.
std::u16string lenientUtf16(const unsigned char *p, std::size_t n)
{
    std::u16string out;
    std::size_t i = 0;
    while (i < n) {
        const unsigned c = p[i];
        std::size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = len != 0 && n - i >= len;
        for (std::size_t k = 1; ok && k < len; ++k) {
            ok = (p[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (!ok || cp > 0x10FFFF) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return out;
}

void checkErrorText(int16_t code, const char *errmsg)
{
    // Only primary codes, and never the step codes 100 and 101.
    FUZZ_CHECK(code >= 0 && code <= 28);
    if (code == KEST_OK || code == KEST_INTERRUPT) {
        FUZZ_CHECK(errmsg == nullptr);
        return;
    }
    FUZZ_CHECK(errmsg != nullptr && errmsg[0] != '\0' && isValidUtf8(errmsg));
    if (code == KEST_NOMEM)
        FUZZ_CHECK(std::strcmp(errmsg, "out of memory") == 0);
}

void checkInterruptWasOurs(int16_t code)
{
    FUZZ_CHECK((code == KEST_INTERRUPT) == (progressCalls > kProgressCallsAllowed));
}

template <typename Sql>
void runTable(int32_t handle, const Sql *sql)
{
    kest_table *table = reinterpret_cast<kest_table *>(1); // must be overwritten
    char *errmsg = reinterpret_cast<char *>(1);
    int16_t status = -1;
    progressCalls = 0;
    int16_t code;
    if constexpr (sizeof(Sql) == 1)
        code = kest_sqlite_get_table(&table, handle, sql, &errmsg, &status);
    else
        code = kest_sqlite_get_table_unicode(&table, handle, sql, &errmsg, &status);
    const int32_t rows = kest_sqlite_query_rowcount();

    FUZZ_CHECK(status == code);
    checkErrorText(code, errmsg);
    checkInterruptWasOurs(code);
    if (code == KEST_INTERRUPT || code == KEST_NOMEM)
        FUZZ_CHECK(table == nullptr);
    if (table == nullptr) {
        FUZZ_CHECK(rows == 0);
    } else {
        FUZZ_CHECK(table->column_count >= 1 && table->row_count >= 2);
        FUZZ_CHECK(rows == table->row_count - 1);
        for (int32_t r = 0; r < table->row_count; ++r)
            for (int32_t c = 0; c < table->column_count; ++c) {
                const char *cell = KEST_CELL(table, c, r);
                FUZZ_CHECK(cell != nullptr && isValidUtf8(cell));
            }
    }
    kest_free_table(table);
    kest_free_text(errmsg);
}

struct ExecState {
    int32_t rowsSeen = 0;
    int32_t stopOn = 0;
};

int16_t KEST_CALL checkRow(const int32_t *rowNumber, void *userArg, const kest_texts *values, const kest_texts *names)
{
    auto *state = static_cast<ExecState *>(userArg);
    FUZZ_CHECK(rowNumber != nullptr && *rowNumber == ++state->rowsSeen);
    FUZZ_CHECK(values != nullptr && names != nullptr);
    FUZZ_CHECK(values->count >= 1 && values->count == names->count);
    for (int32_t i = 0; i < values->count; ++i) {
        FUZZ_CHECK(values->texts[i] != nullptr && isValidUtf8(values->texts[i]));
        FUZZ_CHECK(names->texts[i] != nullptr && isValidUtf8(names->texts[i]));
        FUZZ_CHECK(std::strlen(values->texts[i]) == static_cast<std::size_t>(values->lengths[i]));
        FUZZ_CHECK(std::strlen(names->texts[i]) == static_cast<std::size_t>(names->lengths[i]));
    }
    return *rowNumber == state->stopOn ? 1 : 0;
}

template <typename Sql>
void runExec(int32_t handle, const Sql *sql, int32_t stopOn)
{
    ExecState state;
    state.stopOn = stopOn;
    char *errmsg = reinterpret_cast<char *>(1);
    progressCalls = 0;
    int16_t code;
    if constexpr (sizeof(Sql) == 1)
        code = kest_sqlite_exec(handle, sql, checkRow, &state, &errmsg);
    else
        code = kest_sqlite_exec_unicode(handle, sql, checkRow, &state, &errmsg);

    FUZZ_CHECK(kest_sqlite_exec_rowcount() == state.rowsSeen);
    checkInterruptWasOurs(code);
    const bool weStopped = stopOn != 0 && state.rowsSeen == stopOn;
    if (weStopped) {
        // Asked to stop: ABORT with no text, nothing after that row.
        FUZZ_CHECK(code == KEST_ABORT && errmsg == nullptr);
    } else {
        checkErrorText(code, errmsg);
    }
    kest_free_text(errmsg);
}

// The demonstration database, filled once by its own scripts, lives in a shared in-memory
// database that this connection keeps alive. Inputs could reach it by name; a change to it
// (seen in its data version) has it built again, so every input starts from the same rows.
int32_t templateHandle = 0;
std::string templateVersion;

std::string dataVersion()
{
    kest_table *table = nullptr;
    FUZZ_CHECK(kest_sqlite_get_table(&table, templateHandle, "PRAGMA data_version", nullptr, nullptr) == KEST_OK);
    FUZZ_CHECK(table != nullptr);
    std::string version = KEST_CELL(table, 0, 1);
    kest_free_table(table);
    return version;
}

void buildTemplate()
{
    FUZZ_CHECK(kest_sqlite3_close(&templateHandle) == KEST_OK);
    FUZZ_CHECK(kest_sqlite3_open_v2(kTemplateName, &templateHandle, KEST_OPEN_READWRITE | KEST_OPEN_CREATE, nullptr) ==
               KEST_OK);
    const QLatin1StringView end(";\r\n");
    const QString script = kest::DropArtistsTableSql + end + kest::DropCDsTableSql + end +
                           kest::CreateArtistsTableSql + end + kest::CreateCDsTableSql + end +
                           kest::BuildArtistsScript() + QLatin1StringView("\r\n") + kest::BuildCDsScript();
    char *error = nullptr;
    FUZZ_CHECK(kest_sqlite_exec(templateHandle, script.toStdString().c_str(), nullptr, nullptr, &error) == KEST_OK);
    FUZZ_CHECK(error == nullptr);
    templateVersion = dataVersion();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    confineEngineToMemory();
    const QLatin1StringView end(";\r\n");
    const QString copy = kest::CreateArtistsTableSql + end + kest::CreateCDsTableSql + end +
                         QLatin1StringView("ATTACH '") + QLatin1StringView(kTemplateName) +
                         QLatin1StringView("' AS template;\r\n"
                                           "INSERT INTO Artists SELECT * FROM template.Artists;\r\n"
                                           "INSERT INTO CDs SELECT * FROM template.CDs;\r\n"
                                           "DETACH template;");
    populateSql = copy.toStdString();
    buildTemplate();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const unsigned mode = data[0];
    const unsigned char *payload = data + 1;
    const std::size_t length = size - 1;
    const bool utf16 = (mode & 1) != 0;
    const bool engineCompilesUtf16 = (mode & 2) != 0;
    const bool rawUnits = (mode & 4) != 0;
    const int32_t stopOn = static_cast<int32_t>(mode >> 3);

    sqlite3_hard_heap_limit64(kHeapLimit);
    sqlite3_soft_heap_limit64(0);
    if (dataVersion() != templateVersion)
        buildTemplate();

    int32_t handle = 0;
    FUZZ_CHECK(kest_sqlite3_open_v2("demo", &handle, KEST_OPEN_READWRITE | KEST_OPEN_CREATE, nullptr) == KEST_OK);
    char *populateError = nullptr;
    FUZZ_CHECK(kest_sqlite_exec(handle, populateSql.c_str(), nullptr, nullptr, &populateError) == KEST_OK);
    FUZZ_CHECK(populateError == nullptr);
    kest_table *counts = nullptr;
    FUZZ_CHECK(kest_sqlite_get_table(&counts, handle, "SELECT (SELECT count(*) FROM Artists), count(*) FROM CDs",
                                     nullptr, nullptr) == KEST_OK);
    FUZZ_CHECK(std::strcmp(KEST_CELL(counts, 0, 1), "26") == 0 && std::strcmp(KEST_CELL(counts, 1, 1), "204") == 0);
    kest_free_table(counts);
    FUZZ_CHECK(kest_sqlite_progress_handler(handle, kProgressSteps, countProgress) == KEST_OK);

    if (utf16) {
        std::u16string sql;
        if (rawUnits) {
            sql.resize(length / 2);
            std::memcpy(sql.data(), payload, sql.size() * 2);
        } else {
            sql = lenientUtf16(payload, length);
        }
        const int32_t previous = kest_SetUnicodeConversion(engineCompilesUtf16 ? -1 : 0);
        FUZZ_CHECK(previous == 0 || previous == 1);
        FUZZ_CHECK(kest_SetUnicodeConversion(engineCompilesUtf16 ? -1 : 0) == (engineCompilesUtf16 ? 1 : 0));
        runTable(handle, sql.c_str());
        runExec(handle, sql.c_str(), stopOn);
    } else {
        const std::string sql(reinterpret_cast<const char *>(payload), length);
        runTable(handle, sql.c_str());
        runExec(handle, sql.c_str(), stopOn);
    }

    FUZZ_CHECK(kest_sqlite3_close(&handle) == KEST_OK && handle == 0);
    return 0;
}
