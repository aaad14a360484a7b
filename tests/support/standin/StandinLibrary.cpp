// A stand-in for the kestrune3 library, built by the tests: every kest_ function of the header
// with answers the tests choose, a log of the calls in their order, and counters of what was
// handed out and freed. Built twice; with KEST_STANDIN_PARTIAL it lacks every function after
// kest_KestLibVersion in the banner's order, like a library of an older build.

#include <kestrune3.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define STANDIN_API extern "C" __attribute__((visibility("default")))

namespace {

struct Answers {
    int16_t libVersion = 104;
    int16_t msvcVersion = 1500;
    std::string timeStamp = "Jan 02 2025 03:04:05";
    std::string engineVersion = "3.40.1";
    int32_t engineNumber = 3040001;
    int32_t tableColumns = 2;
    int32_t tableRows = 3; // data rows
} answers;

std::string calls;
int liveTexts = 0;
int liveTables = 0;

void logCall(const char *name)
{
    calls += name;
    calls += ';';
}

[[maybe_unused]] char *handOut(const std::string &text)
{
    char *copy = static_cast<char *>(std::malloc(text.size() + 1));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    ++liveTexts;
    return copy;
}

// A table whose cells own their texts in one block behind `internal`.
struct Table {
    kest_table table{};
    std::vector<std::string> texts;
    std::vector<const char *> cells;
};

} // namespace

// ---- the stand-in's own controls ----

STANDIN_API void standin_configure(int16_t libVersion, int16_t msvcVersion, const char *timeStamp,
                                   const char *engineVersion, int32_t engineNumber)
{
    answers.libVersion = libVersion;
    answers.msvcVersion = msvcVersion;
    answers.timeStamp = timeStamp;
    answers.engineVersion = engineVersion;
    answers.engineNumber = engineNumber;
}

STANDIN_API void standin_configure_table(int32_t columns, int32_t dataRows)
{
    answers.tableColumns = columns;
    answers.tableRows = dataRows;
}

STANDIN_API const char *standin_calls() { return calls.c_str(); }
STANDIN_API void standin_reset_calls() { calls.clear(); }
STANDIN_API int standin_live_texts() { return liveTexts; }
STANDIN_API int standin_live_tables() { return liveTables; }

// ---- the library's functions ----

KEST_API int16_t KEST_CALL kest_KestLibVersion(void)
{
    logCall("KestLibVersion");
    return answers.libVersion;
}

KEST_API void KEST_CALL kest_free_text(char *text)
{
    if (!text)
        return;
    --liveTexts;
    std::free(text);
}

KEST_API void KEST_CALL kest_free_table(kest_table *table)
{
    if (!table)
        return;
    --liveTables;
    delete static_cast<Table *>(table->internal);
}

#ifndef KEST_STANDIN_PARTIAL

KEST_API char *KEST_CALL kest_sqlite3_libversion(void)
{
    logCall("sqlite3_libversion");
    return handOut(answers.engineVersion);
}

KEST_API int32_t KEST_CALL kest_sqlite3_libversion_number(void)
{
    logCall("sqlite3_libversion_number");
    return answers.engineNumber;
}

KEST_API int16_t KEST_CALL kest_MSVCVersion(void)
{
    logCall("MSVCVersion");
    return answers.msvcVersion;
}

KEST_API char *KEST_CALL kest_KestLibTimeStamp(void)
{
    logCall("KestLibTimeStamp");
    return handOut(answers.timeStamp);
}

KEST_API int32_t KEST_CALL kest_SetUnicodeConversion(int32_t on)
{
    calls += "SetUnicodeConversion(" + std::to_string(on) + ");";
    return 0;
}

KEST_API int16_t KEST_CALL kest_sqlite3_open_v2(const char *path, int32_t *handle, int32_t,
                                                const char *)
{
    logCall("sqlite3_open_v2");
    if (!path || !handle)
        return KEST_MISUSE;
    *handle = 1;
    return KEST_OK;
}

KEST_API int16_t KEST_CALL kest_sqlite3_close(int32_t *handle)
{
    logCall("sqlite3_close");
    if (!handle)
        return KEST_MISUSE;
    *handle = 0;
    return KEST_OK;
}

KEST_API int16_t KEST_CALL kest_sqlite_progress_handler(int32_t, int32_t, kest_progress_callback)
{
    logCall("sqlite_progress_handler");
    return KEST_OK;
}

// Cell (c, r) is "c<c>r<r>"; row 0 holds "name<c>".
KEST_API int16_t KEST_CALL kest_sqlite_get_table(kest_table **result, int32_t, const char *,
                                                 char **errmsg, int16_t *status)
{
    logCall("sqlite_get_table");
    auto *table = new Table;
    const int32_t rows = answers.tableRows + 1;
    table->texts.reserve(static_cast<std::size_t>(rows) * answers.tableColumns);
    for (int32_t r = 0; r < rows; ++r)
        for (int32_t c = 0; c < answers.tableColumns; ++c)
            table->texts.push_back(r == 0 ? "name" + std::to_string(c)
                                          : "c" + std::to_string(c) + "r" + std::to_string(r));
    for (const std::string &text : table->texts)
        table->cells.push_back(text.c_str());
    table->table = kest_table{answers.tableColumns, rows, table->cells.data(), table};
    ++liveTables;
    *result = &table->table;
    if (errmsg)
        *errmsg = nullptr;
    if (status)
        *status = KEST_OK;
    return KEST_OK;
}

KEST_API int16_t KEST_CALL kest_sqlite_get_table_unicode(kest_table **result, int32_t handle,
                                                         const char16_t *, char **errmsg,
                                                         int16_t *status)
{
    return kest_sqlite_get_table(result, handle, "", errmsg, status);
}

KEST_API int32_t KEST_CALL kest_sqlite_query_rowcount(void) { return answers.tableRows; }

// No rows; the error text names the statement, so a test sees a text handed out and freed.
KEST_API int16_t KEST_CALL kest_sqlite_exec(int32_t, const char *sql, kest_row_callback, void *,
                                            char **errmsg)
{
    logCall("sqlite_exec");
    if (errmsg)
        *errmsg = handOut(std::string("no such table: ") + (sql ? sql : ""));
    return KEST_ERROR;
}

KEST_API int16_t KEST_CALL kest_sqlite_exec_unicode(int32_t handle, const char16_t *,
                                                    kest_row_callback callback, void *arg,
                                                    char **errmsg)
{
    return kest_sqlite_exec(handle, "", callback, arg, errmsg);
}

KEST_API int32_t KEST_CALL kest_sqlite_exec_rowcount(void) { return 0; }

#endif
