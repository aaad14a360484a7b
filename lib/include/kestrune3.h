/*
** kestrune3 - a plain C interface around the SQLite 3 engine.
**
** This header is the whole contract: if it is not here, it is not API.
**
** Conventions that hold for every function below:
**
**  - 8-bit text is UTF-8, zero-terminated. Every text the library hands out
**    (cells, column names, error texts, version and time-stamp texts) is valid
**    UTF-8: bytes that are not valid UTF-8 are replaced by U+FFFD.
**  - UTF-16 text is zero-terminated char16_t text in the machine's byte order.
**  - A connection is a 32-bit handle: an id into a table inside the library,
**    never a pointer. 0 is never a valid handle. An unknown or closed handle
**    gives KEST_MISUSE (21) and never crashes.
**  - Result codes are SQLite's primary result codes, kept to 16 bits.
**  - Whatever the library allocates for the caller is released with
**    kest_free_text() or kest_free_table(); both accept NULL and then do
**    nothing.
**  - No C++ exception ever leaves a function of this header. An allocation
**    failure becomes KEST_NOMEM with the error text "out of memory".
**  - Every connection is opened with the engine's trusted_schema setting off,
**    so a database file cannot run unsafe functions through its own views or
**    triggers, and with extension loading off.
**  - The functions may be called from several threads, but one connection
**    must be used by one thread at a time (kest_sqlite3_interrupt() excepted).
**
** What the library does to the process that loads it:
**  - Loading it runs none of its code that touches the engine: the host's
**    SQLite stays exactly as the host configured it. The library never calls
**    sqlite3_config(), sqlite3_initialize() or the process-wide heap limits
**    (sqlite3_soft_heap_limit64, sqlite3_hard_heap_limit64); its first open
**    initialises the engine, as SQLite's own open does when the host has not.
**    It reads the engine's heap size (sqlite3_memory_used) for the budget.
**    SQL that the caller runs may still change process-wide settings (PRAGMA
**    soft_heap_limit, hard_heap_limit): that is the caller's own doing.
**  - Every engine setting it makes belongs to its own connections: the two
**    above, a progress handler (which also calls the caller's), a busy
**    handler (below), and a bound on the length of a text or blob
**    (SQLITE_LIMIT_LENGTH) lowered for each query and put back to the
**    connection's own when the query ends. Nothing of it is process-wide.
**  - It starts no thread and installs no signal or fork handler. It may be
**    unloaded once every connection is closed and everything it handed out is
**    released. Its table of connections and its record of kest_memory_alloc()
**    are never destroyed, so that the host's threads may use them while the
**    process exits.
**  - It reads the environment variable KESTRUNE_MEMORY_LIMIT and, on Linux,
**    /proc/self/cgroup, the memory cgroup files, /proc/meminfo and
**    /proc/self/statm (see the memory budget below). Tests lay out files of
**    their own in a folder named by KESTRUNE_TEST_ROOT, which the library then
**    reads in place of /proc and /sys; nothing else sets it. Tests also set
**    KESTRUNE_TEST_EXEC_ROWS, a number of rows that each exec call on a
**    connection opened meanwhile counts as handed out before its first row,
**    to reach the row counts' limits without running billions of rows; it is
**    read once per kest_sqlite3_open_v2(), and the counts stop at the largest
**    64-bit number. It writes to standard error once, when
**    KESTRUNE_MEMORY_LIMIT cannot be read.
*/
#ifndef KESTRUNE3_H
#define KESTRUNE3_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#else
#include <uchar.h>
#endif

/* Marks the exported functions; everything else in the library is hidden. */
#if defined(_WIN32)
#  if defined(KESTRUNE3_BUILDING)
#    define KEST_API __declspec(dllexport)
#  else
#    define KEST_API __declspec(dllimport)
#  endif
#  define KEST_CALL __stdcall
#else
#  define KEST_API __attribute__((visibility("default")))
#  define KEST_CALL
#endif

/* The version of this header, times 100. kest_KestLibVersion() returns the
** version of the library actually loaded; a program can compare the two. */
#define KESTRUNE3_VERSION 105
#define KESTRUNE3_VERSION_STRING "1.05"

/* Result codes the library itself gives (the same numbers as SQLite's).
** Any other SQLite primary result code may come back from the engine. */
#define KEST_OK          0   /* success */
#define KEST_ERROR       1   /* SQL error or missing database */
#define KEST_ABORT       4   /* the row callback asked to stop */
#define KEST_BUSY        5   /* the database file is locked by another connection */
#define KEST_NOMEM       7   /* an allocation failed; nothing was handed out */
#define KEST_INTERRUPT   9   /* the progress callback asked to interrupt */
#define KEST_CANTOPEN   14   /* the database file cannot be opened */
#define KEST_TOOBIG     18   /* a table would pass a 32-bit row count, or a value is too long */
#define KEST_MISUSE     21   /* an unknown or closed handle, or a null argument */
#define KEST_NOTADB     26   /* the file is not a database */

/* Open flags (the same bits as SQLite's). */
#define KEST_OPEN_READONLY   0x01
#define KEST_OPEN_READWRITE  0x02
#define KEST_OPEN_CREATE     0x04
#define KEST_OPEN_URI        0x40   /* the name may be a "file:" URI */

/*
** What a value is, as the engine stores it: the storage classes, with SQLite's
** own numbers. Since version 1.05 every cell comes with one of them (see
** `types` below); a caller that may run against an older library checks
** kest_KestLibVersion() >= 105 before it reads them.
*/
#define KEST_INTEGER    1
#define KEST_FLOAT      2   /* a real */
#define KEST_TEXT       3
#define KEST_BLOB       4
#define KEST_NULL       5
/* Set beside KEST_BLOB when the cell is the BLOB's hex form X'…' rather than
** its bytes (see the cells below); KEST_CLASS() gives the storage class alone. */
#define KEST_HEX_FORM   0x10
#define KEST_CLASS(type) ((type) & 0x0F)

/*
** A result table of the table functions.
**
** Cell (column, row) is cells[row * column_count + column]; use KEST_CELL.
** Row 0 holds the column names, rows 1 .. row_count - 1 the data rows, so a
** table always has at least two rows. Every cell is a valid UTF-8 text, never
** NULL:
**   - SQL NULL is the empty text "";
**   - an integer or a real is its text as the engine writes it (a real with
**     15 significant digits, so "0.3" for 0.30000000000000004 and "Inf" for
**     an infinity);
**   - a BLOB is its bytes when they are valid UTF-8 without a zero byte,
**     otherwise its hex form X'00FF' (upper-case digits, as in SQL);
**   - a text is its bytes up to a zero byte, bytes that are not valid UTF-8
**     replaced by U+FFFD.
** When the statements of one text give rows of different widths, the table
** is as wide as the widest row, shorter rows are filled with "" on the right,
** and each name of row 0 is that of the first statement that had the column.
**
** What each cell is (since 1.05): types[row * column_count + column] holds its
** storage class, KEST_HEX_FORM added for a BLOB given in hex; use KEST_TYPE.
** The names of row 0 are KEST_TEXT, the cells that fill a shorter row
** KEST_NULL. So NULL and '' are told apart, and a BLOB's bytes are the cell's
** bytes, or the bytes its hex digits spell when KEST_HEX_FORM is set. A real
** can be had exactly: after the terminating zero of a KEST_FLOAT cell come the
** 8 bytes of the double itself, in the machine's own form and not aligned;
** kest_real_of() copies them out. The cost: one byte per cell, and eight per
** real.
**
** The caller owns the table and releases it with kest_free_table(); single
** cells are never freed on their own. Cells may be read from any thread.
** The library allocates every kest_table, so fields added at its end leave
** callers built against an older header working unchanged.
*/
typedef struct kest_table {
    int32_t column_count;       /* columns, at least 1 */
    int32_t row_count;          /* rows in cells, the name row included */
    const char *const *cells;   /* row_count * column_count texts, row by row */
    void *internal;             /* the library's own; do not touch */
    const unsigned char *types; /* since 1.05: a KEST_* storage class per cell, as cells */
} kest_table;

#define KEST_CELL(table, column, row) \
    ((table)->cells[(size_t)(row) * (size_t)(table)->column_count + (size_t)(column)])
#define KEST_TYPE(table, column, row) \
    ((table)->types[(size_t)(row) * (size_t)(table)->column_count + (size_t)(column)])

/* The texts of one row given to a row callback: count texts, at least one,
** with the length in bytes of each (its terminating zero not counted), so that
** a caller that keeps millions of cells need not measure each one again, and
** (since 1.05) the storage class of each, as in kest_table: a KEST_FLOAT
** value's double follows its terminating zero there too. Column names are
** KEST_TEXT. */
typedef struct kest_texts {
    int32_t count;
    const char *const *texts;
    const int32_t *lengths;     /* lengths[i] == strlen(texts[i]) */
    const unsigned char *types; /* since 1.05: types[i] is texts[i]'s KEST_* storage class */
} kest_texts;

/* The exact double of a KEST_FLOAT cell `text` of `length` bytes (the 8 bytes
** after its terminating zero); for any other cell it is not defined. */
static inline double kest_real_of(const char *text, size_t length)
{
    double value;
    const unsigned char *from = (const unsigned char *)text + length + 1;
    unsigned char *to = (unsigned char *)&value;
    for (size_t i = 0; i < sizeof value; ++i)
        to[i] = from[i];
    return value;
}

/*
** The progress callback. It is called every `steps` engine steps while a
** statement of its connection runs, on the thread that runs the statement.
** A non-zero result interrupts the statement: the query call then ends with
** KEST_INTERRUPT (9).
*/
typedef int16_t (KEST_CALL *kest_progress_callback)(void);

/*
** The row callback of kest_sqlite_exec(). It is called once per result row,
** on the calling thread:
**   row_number  rows are numbered across the whole SQL text from 1; every
**               row after the 2,147,483,647th gets 2,147,483,647 (the count
**               goes on in kest_sqlite_exec_rowcount64());
**   user_arg    the pointer given to kest_sqlite_exec(), passed on unread;
**   values      the row's cells, in the form of kest_table's cells and types;
**   names       the column names of the statement that gave the row.
** Both arrays and their texts are valid only during the call. The rows of the
** statements of one text may differ in width; values->count == names->count.
** A non-zero result ends the SQL text: kest_sqlite_exec() then returns
** KEST_ABORT (4) with no error text.
*/
typedef int16_t (KEST_CALL *kest_row_callback)(const int32_t *row_number, void *user_arg,
                                               const kest_texts *values, const kest_texts *names);

/*
** Opens the database file `path` (UTF-8) and stores a new handle in *handle.
** flags: KEST_OPEN_* bits, as SQLite takes them (6 = read-write and create). The
**        connection is opened without the engine's per-call lock (SQLite's NOMUTEX)
**        unless the flags hold SQLite's FULLMUTEX bit (0x10000): see the threading
**        rule at the top of this header.
** vfs:   the name of an SQLite file-system module, or NULL for the default.
** A database that another connection has locked is waited for, up to 5
** seconds per lock, in naps of 10 ms on the thread that runs the statement;
** between two naps the connection's progress callback is called, so that a
** host's window keeps answering. The wait ends at once when the callback asks
** to interrupt or kest_sqlite3_interrupt() is called, and the call then
** returns KEST_INTERRUPT with no error text, as for a statement interrupted;
** when the 5 seconds pass, KEST_BUSY with the text "database is locked".
** Returns KEST_OK, or SQLite's code of the failure (for example 14 when the
** file cannot be opened); after a failure the library has already closed
** whatever it allocated and *handle is 0. KEST_MISUSE when path or handle is
** NULL.
*/
KEST_API int16_t KEST_CALL kest_sqlite3_open_v2(const char *path, int32_t *handle, int32_t flags,
                                                const char *vfs);

/*
** Closes the connection *handle and sets *handle to 0. Closing handle 0 is a
** harmless no-op that returns KEST_OK; an unknown or closed handle returns
** KEST_MISUSE; a NULL argument returns KEST_MISUSE.
*/
KEST_API int16_t KEST_CALL kest_sqlite3_close(int32_t *handle);

/*
** Registers callback to be called every `steps` engine steps on connection
** `handle`, replacing any earlier one; a NULL callback or steps < 1 removes
** it. It stays registered until the connection is closed.
** Returns KEST_OK, or KEST_MISUSE for an unknown handle.
*/
KEST_API int16_t KEST_CALL kest_sqlite_progress_handler(int32_t handle, int32_t steps,
                                                        kest_progress_callback callback);

/*
** Ends the run under way on connection `handle` as the engine's own interrupt
** does: the statement ends at its next step, or while the engine still parses
** it at the next blank or comment between its words (a long statement with
** none, such as VALUES (1,'a'),(2,'b'),..., is parsed to its end first), the
** statements after it are not run, and the call returns KEST_INTERRUPT. A
** statement that changes data inside an explicit transaction rolls the whole
** transaction back; otherwise only the statement.
** The one function that may be called while another thread uses the
** connection; a connection closed meanwhile is left alone. A run that starts
** after the call is not ended by it.
** Returns KEST_OK, or KEST_MISUSE for an unknown or closed handle.
*/
KEST_API int16_t KEST_CALL kest_sqlite3_interrupt(int32_t handle);

/*
** Runs every statement of `sql` (UTF-8), in order, and collects the rows of
** all of them into one table.
**   result  receives the table, or NULL when no statement gave a row (a
**           SELECT of no rows, a CREATE or an INSERT); on entry *result is
**           ignored and overwritten.
**   errmsg  may be NULL; otherwise receives the engine's error text of the
**           failing statement, or NULL when there is none. Free it with
**           kest_free_text(). On entry *errmsg is ignored and overwritten.
**   status  may be NULL; otherwise receives the result code (also returned).
** When a later statement fails, the table of the rows collected so far comes
** back together with the error text and the failure's code. An interrupt by
** the progress callback gives KEST_INTERRUPT, no table and no error text: an
** interrupted query returns no data.
** The data-row count is afterwards available from kest_sqlite_query_rowcount().
*/
KEST_API int16_t KEST_CALL kest_sqlite_get_table(kest_table **result, int32_t handle,
                                                 const char *sql, char **errmsg, int16_t *status);

/* As kest_sqlite_get_table(), with the SQL as zero-terminated UTF-16 text. The
** error text and the cells are UTF-8 all the same. */
KEST_API int16_t KEST_CALL kest_sqlite_get_table_unicode(kest_table **result, int32_t handle,
                                                         const char16_t *sql, char **errmsg,
                                                         int16_t *status);

/* The number of data rows of the last table query made on the calling thread
** (0 before the first one, and after a call that gave no table). */
KEST_API int32_t KEST_CALL kest_sqlite_query_rowcount(void);

/*
** Runs every statement of `sql` (UTF-8), in order, handing each result row to
** callback (which may be NULL: the rows are then only counted). user_arg is
** passed to the callback unread. errmsg as for kest_sqlite_get_table().
** Returns KEST_OK, KEST_ABORT when the callback asked to stop (no error
** text), KEST_INTERRUPT when the progress callback interrupted (no error
** text), or the engine's code of the failing statement with its error text.
** The rows handed out are afterwards counted by kest_sqlite_exec_rowcount()
** and kest_sqlite_exec_rowcount64(). The number of rows is not limited.
*/
KEST_API int16_t KEST_CALL kest_sqlite_exec(int32_t handle, const char *sql,
                                            kest_row_callback callback, void *user_arg,
                                            char **errmsg);

/* As kest_sqlite_exec(), with the SQL as zero-terminated UTF-16 text. */
KEST_API int16_t KEST_CALL kest_sqlite_exec_unicode(int32_t handle, const char16_t *sql,
                                                    kest_row_callback callback, void *user_arg,
                                                    char **errmsg);

/* The number of rows handed to the row callback by the last exec call made
** on the calling thread, the row on which the callback asked to stop
** included (0 before the first one). An exec call is not limited to a 32-bit
** count of rows: past 2,147,483,647 this count stays at 2,147,483,647. */
KEST_API int32_t KEST_CALL kest_sqlite_exec_rowcount(void);

/* The same count, whole, as a 64-bit number. */
KEST_API int64_t KEST_CALL kest_sqlite_exec_rowcount64(void);

/*
** Chooses how the *_unicode functions give their UTF-16 SQL to the engine:
** non-zero (the program passes -1): the engine converts the UTF-16 text to
** UTF-8 itself, as it does to compile UTF-16 (a lone surrogate takes the unit
** after it along), once for the whole text; 0 (the default): the library
** converts it, a lone surrogate becoming U+FFFD. Either way, valid text comes
** back unchanged and the results are the same; the 8-bit functions are not
** affected. The setting is library-wide. Returns the previous setting (1 or 0).
*/
KEST_API int32_t KEST_CALL kest_SetUnicodeConversion(int32_t on);

/* The engine's version text, such as "3.40.1". Free it with kest_free_text(). */
KEST_API char *KEST_CALL kest_sqlite3_libversion(void);

/* The engine's version number, such as 3040001. */
KEST_API int32_t KEST_CALL kest_sqlite3_libversion_number(void);

/* The engine's English words for a result code, such as "unable to open database file" for 14;
** for an open that failed, which leaves no connection to ask for its error text. Free it with
** kest_free_text(). */
KEST_API char *KEST_CALL kest_sqlite3_errstr(int32_t code);

/* How many keywords the engine knows (its sqlite3_keyword_count()). */
KEST_API int32_t KEST_CALL kest_sqlite3_keyword_count(void);

/* The engine's keyword number `index`, from 0 to kest_sqlite3_keyword_count() - 1,
** in upper case, such as "SELECT"; NULL for any other index or when out of memory.
** Free it with kest_free_text(). */
KEST_API char *KEST_CALL kest_sqlite3_keyword_name(int32_t index);

/* The library's own version times 100 (KESTRUNE3_VERSION of its build). */
KEST_API int16_t KEST_CALL kest_KestLibVersion(void);

/* The date and time of the library's build, as "Mmm dd yyyy hh:mm:ss"
** (honouring SOURCE_DATE_EPOCH). Free it with kest_free_text(). */
KEST_API char *KEST_CALL kest_KestLibTimeStamp(void);

/* The version of the compiler that built the library: _MSC_VER when that
** compiler built it, otherwise the compiler's major * 100 + minor (1202 for
** g++ 12.2). */
KEST_API int16_t KEST_CALL kest_MSVCVersion(void);

/*
** The memory budget. Linux seldom fails an allocation: it kills a process
** instead. So what results hold and what the engine's heap grows to are held
** within one budget, judged against the room that is really free. The room is
** measured again whenever results and the engine's heap have grown by 16 MiB
** since the last measurement, and whenever that is a second old:
**   - on Linux, the least of what the process's memory cgroups have left below
**     their limits (cgroup v2 memory.max and memory.high against
**     memory.current, found on a unified or a hybrid hierarchy, or the cgroup
**     v1 memory controller; every ancestor too; file cache that could be
**     dropped counts as free), the system's available memory (MemAvailable)
**     and the address space left under RLIMIT_AS, each read on its own (one
**     that cannot be read leaves the others standing). To that comes what the
**     budget holds in use (results, the library's copies, the engine's heap),
**     and the room is that less headroom for the rest of the process (a
**     sixteenth, from 16 MiB to 512 MiB). Everything counted must fit in it,
**     bytes promised with kest_memory_take() too. Memory that other processes
**     take shows in these figures;
**   - KESTRUNE_MEMORY_LIMIT, on every system: a bound of its own on results
**     and the engine's heap together, a whole number of bytes or of K, M or G
**     (powers of 1024), read at the first use. 0 is a budget of 0, not "no
**     limit". Any other text is reported once on standard error and ignored.
** The engine's heap is what sqlite3_memory_used() reports: the whole
** process's, a host's own use of SQLite included.
** A table query that would pass the budget ends with KEST_NOMEM, "out of
** memory" and no table; an exec call ends the same way after the rows already
** handed to its callback. Engine work that would pass it (a sort or a
** temporary table held in memory, a huge text or blob) ends with KEST_NOMEM
** too: the library looks at the budget every thousand engine steps of its own
** connections, and lets the engine build no text or blob longer than half of
** what is left (at least 1 MiB): a value past that bound ends with KEST_NOMEM
** and "out of memory" too, except where the engine itself answers an overlong
** value without an error (SQLite 3.40's printf() and format() give NULL past
** any length bound). The library's own text of a value (a BLOB's hex form,
** twice its size; a text with invalid bytes replaced; a number), its copy
** into a table and its UTF-8 of a UTF-16 script count against the budget
** before they are made, so a huge value or script is refused with KEST_NOMEM
** and "out of memory" rather than made. A caller that keeps rows
** of its own (from the row callback) draws from the same budget, so that the
** whole process stays within it.
*/

/* What results may hold in all (those held now included), as measured now:
** the budget less the engine's heap. INT64_MAX when nothing limits the
** process. */
KEST_API int64_t KEST_CALL kest_memory_budget(void);

/* Promises `bytes` to the caller: memory that the caller is about to take
** itself or through kest_memory_alloc() (a copy of rows to be made), held
** back from results and the engine until it is given back. 1 when it fits
** within the budget beside everything counted, 0 (counting nothing) when it
** does not or bytes is negative. A promise is not memory in use: the library
** cannot see what the caller allocates, so memory the caller has taken while
** its promise stands is counted twice (once promised, once as not free).
** Give the promise back when the memory is taken through kest_memory_alloc(),
** and as soon as you can when you take it yourself. */
KEST_API int32_t KEST_CALL kest_memory_take(int64_t bytes);

/* Gives back bytes promised by kest_memory_take(); 0 or less does nothing.
** All callers' promises are one count: giving back more than is promised
** gives back what is (the count never goes below 0), and the budget then
** lets results hold more than it should. Give back exactly what you took. */
KEST_API void KEST_CALL kest_memory_give(int64_t bytes);

/* The size in which a caller that keeps many rows best asks kest_memory_alloc()
** for memory: large enough that few requests are made. */
#define KEST_MEMORY_CHUNK ((int64_t)4 << 20)

/*
** Allocates `bytes` (rounded up to whole pages) for rows that the caller keeps,
** counted against the budget while they live; NULL when bytes is 0 or less,
** or the budget or the system refuses. The caller releases the memory with
** kest_memory_free().
*/
KEST_API void *KEST_CALL kest_memory_alloc(int64_t bytes);

/* Releases memory from kest_memory_alloc(); `bytes` is the size asked for.
** The library releases what its own record says it handed out at `memory`,
** whatever `bytes` says; memory it did not hand out, or released already, is
** left alone. NULL is a harmless no-op. */
KEST_API void KEST_CALL kest_memory_free(void *memory, int64_t bytes);

/* Releases a text handed out by the library. NULL is a harmless no-op. */
KEST_API void KEST_CALL kest_free_text(char *text);

/* Releases a table handed out by the library. NULL is a harmless no-op. */
KEST_API void KEST_CALL kest_free_table(kest_table *table);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KESTRUNE3_H */
