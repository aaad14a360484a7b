#pragma once
// The program's binding to the kestrune3 library. The library is loaded by name at the first
// call into it (never linked), first from the program's folder, then from the platform's library
// search path, and each function is resolved by its exported `kest_` name at its own first call.
// Members keep the names under which the rest of the program knows the library's functions.

#include "MemoryBudget.h"

#include <kestrune3.h>

#include <QByteArray>
#include <QLibrary>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace kest {

// The library or one of its functions cannot be found. description() is the loader's own text.
class LibraryError : public std::runtime_error {
public:
    explicit LibraryError(const QString &description);
    const QString &description() const noexcept { return description_; }

private:
    QString description_;
};

// Frees a text with the library's own kest_free_text, never with the program's allocator.
struct KestTextFree {
    void (KEST_CALL *freeText)(char *) = nullptr;
    void operator()(char *text) const noexcept
    {
        if (text && freeText)
            freeText(text);
    }
};
using KestText = std::unique_ptr<char, KestTextFree>;

// Frees a result table with the library's own kest_free_table; also says whether the library
// that made the table gives its cells' types (1.05 on).
struct KestTableFree {
    void (KEST_CALL *freeTable)(kest_table *) = nullptr;
    bool typed = false;
    void operator()(kest_table *table) const noexcept
    {
        if (table && freeTable)
            freeTable(table);
    }
};
using KestTable = std::unique_ptr<kest_table, KestTableFree>;

// A callback's answer to the library: -1 ends the statement, 0 lets it go on.
constexpr int16_t CallbackAnswer(bool endStatement)
{
    return endStatement ? -1 : 0;
}

// The text of a KestText as program text; an absent text is empty.
QString toQString(const KestText &text);

// Also the program's door to the library's memory budget.
class KestruneBinding final : public MemoryBudget {
public:
    // The library's name as the platform's loader takes it: "kestrune3" finds libkestrune3.so
    // (kestrune3.dll on Windows). An absolute path loads exactly that file.
    static constexpr const char *DefaultLibraryName = "kestrune3";

    explicit KestruneBinding(QString libraryName = QString::fromLatin1(DefaultLibraryName));
    KestruneBinding(const KestruneBinding &) = delete;
    KestruneBinding &operator=(const KestruneBinding &) = delete;
    // The library stays loaded: texts and tables it handed out keep pointers to its free functions.
    ~KestruneBinding() override;

    const QString &libraryName() const noexcept { return libraryName_; }
    // The file actually loaded; empty before the first call.
    QString loadedFileName() const;

    int16_t sqlite3_open_v2(const QByteArray &path, int32_t &handle, int32_t flags,
                            const char *vfs);
    int16_t sqlite3_close(int32_t &handle);
    int16_t sqlite_progress_handler(int32_t handle, int32_t steps,
                                    kest_progress_callback callback);
    // The one call that may come from another thread while a query uses `handle`.
    int16_t sqlite3_interrupt(int32_t handle);
    int16_t sqlite_get_table(KestTable &result, int32_t handle, const QByteArray &sql,
                             KestText &errmsg, int16_t &status);
    // `sql` must end with U+0000.
    int16_t sqlite_get_table_unicode(KestTable &result, int32_t handle, const char16_t *sql,
                                     KestText &errmsg, int16_t &status);
    int32_t sqlite_query_rowcount();
    int16_t sqlite_exec(int32_t handle, const QByteArray &sql, kest_row_callback callback,
                        void *userArg, KestText &errmsg);
    // `sql` must end with U+0000.
    int16_t sqlite_exec_unicode(int32_t handle, const char16_t *sql, kest_row_callback callback,
                                void *userArg, KestText &errmsg);
    int32_t sqlite_exec_rowcount();
    int64_t sqlite_exec_rowcount64();
    int32_t SetUnicodeConversion(int32_t on);
    KestText sqlite3_libversion();
    int32_t sqlite3_libversion_number();
    KestText sqlite3_errstr(int32_t code);
    int32_t sqlite3_keyword_count();
    // Null for an index outside 0 .. sqlite3_keyword_count() - 1.
    KestText sqlite3_keyword_name(int32_t index);
    int16_t KestLibVersion();
    KestText KestLibTimeStamp();
    // kest_MSVCVersion: the version of whichever compiler built the library.
    int16_t CompilerVersion();
    // Whether the library gives each cell's type (kest_table::types, kest_texts::types).
    bool givesTypes();

    bool take(int64_t bytes) noexcept override;
    void give(int64_t bytes) noexcept override;
    void *allocate(std::size_t bytes, MemoryRelease &release) noexcept override;

    // The deleters for what the library hands out; resolving them may throw LibraryError.
    KestTextFree textDeleter();
    KestTableFree tableDeleter();

private:
    struct Functions;

    void ensureLoaded();
    template <typename Fn> Fn resolve(std::atomic<Fn> &slot, const char *exportedName);

    QString libraryName_;
    // Queries call the library from a thread of their own, so loading and resolving are locked;
    // a function once resolved is called without the lock.
    mutable std::mutex loading_;
    QLibrary library_;
    bool loaded_ = false;
    std::atomic<bool> heapServes_{false};
    std::atomic<int> givesTypes_{-1}; // not yet asked
    std::unique_ptr<Functions> fn_;
};

} // namespace kest
