#include "KestruneBinding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <cstdlib>

namespace kest {

LibraryError::LibraryError(const QString &description)
    : std::runtime_error(description.toStdString()), description_(description)
{
}

QString toQString(const KestText &text)
{
    return text ? QString::fromUtf8(text.get()) : QString();
}

// One slot per exported function, filled at that function's first call, on whichever thread
// that call comes from.
struct KestruneBinding::Functions {
    std::atomic<decltype(&kest_sqlite3_open_v2)> open_v2{nullptr};
    std::atomic<decltype(&kest_sqlite3_close)> close{nullptr};
    std::atomic<decltype(&kest_sqlite_progress_handler)> progress_handler{nullptr};
    std::atomic<decltype(&kest_sqlite3_interrupt)> interrupt{nullptr};
    std::atomic<decltype(&kest_sqlite_get_table)> get_table{nullptr};
    std::atomic<decltype(&kest_sqlite_get_table_unicode)> get_table_unicode{nullptr};
    std::atomic<decltype(&kest_sqlite_query_rowcount)> query_rowcount{nullptr};
    std::atomic<decltype(&kest_sqlite_exec)> exec{nullptr};
    std::atomic<decltype(&kest_sqlite_exec_unicode)> exec_unicode{nullptr};
    std::atomic<decltype(&kest_sqlite_exec_rowcount)> exec_rowcount{nullptr};
    std::atomic<decltype(&kest_sqlite_exec_rowcount64)> exec_rowcount64{nullptr};
    std::atomic<decltype(&kest_SetUnicodeConversion)> set_unicode_conversion{nullptr};
    std::atomic<decltype(&kest_sqlite3_libversion)> libversion{nullptr};
    std::atomic<decltype(&kest_sqlite3_libversion_number)> libversion_number{nullptr};
    std::atomic<decltype(&kest_sqlite3_errstr)> errstr{nullptr};
    std::atomic<decltype(&kest_sqlite3_keyword_count)> keyword_count{nullptr};
    std::atomic<decltype(&kest_sqlite3_keyword_name)> keyword_name{nullptr};
    std::atomic<decltype(&kest_KestLibVersion)> lib_version{nullptr};
    std::atomic<decltype(&kest_KestLibTimeStamp)> lib_time_stamp{nullptr};
    std::atomic<decltype(&kest_MSVCVersion)> compiler_version{nullptr};
    std::atomic<decltype(&kest_memory_take)> memory_take{nullptr};
    std::atomic<decltype(&kest_memory_give)> memory_give{nullptr};
    std::atomic<decltype(&kest_memory_alloc)> memory_alloc{nullptr};
    std::atomic<decltype(&kest_memory_free)> memory_free{nullptr};
    std::atomic<decltype(&kest_free_text)> free_text{nullptr};
    std::atomic<decltype(&kest_free_table)> free_table{nullptr};
};

KestruneBinding::KestruneBinding(QString libraryName)
    : libraryName_(std::move(libraryName)), fn_(std::make_unique<Functions>())
{
}

KestruneBinding::~KestruneBinding() = default;

QString KestruneBinding::loadedFileName() const
{
    const std::lock_guard<std::mutex> lock(loading_);
    return loaded_ ? library_.fileName() : QString();
}

void KestruneBinding::ensureLoaded()
{
    if (loaded_)
        return;
    if (QDir::isAbsolutePath(libraryName_)) {
        library_.setFileName(libraryName_);
        if (!library_.load())
            throw LibraryError(library_.errorString());
        loaded_ = true;
        return;
    }
    // The program's own folder first, so a copy beside the program wins over an installed one.
    const QString besideProgram =
        QDir(QCoreApplication::applicationDirPath()).filePath(libraryName_);
    library_.setFileName(besideProgram);
    if (library_.load()) {
        loaded_ = true;
        return;
    }
    const QString besideProgramError = library_.errorString();

    library_.setFileName(libraryName_);
    if (library_.load()) {
        loaded_ = true;
        return;
    }
    const QString searchPathError = library_.errorString();
#if !defined(_WIN32)
    // A run-time-only installation has just the versioned file (libkestrune3.so.1).
    library_.setFileNameAndVersion(libraryName_, 1);
    if (library_.load()) {
        loaded_ = true;
        return;
    }
#endif
    throw LibraryError(besideProgramError == searchPathError
                           ? searchPathError
                           : besideProgramError + QLatin1Char('\n') + searchPathError);
}

template <typename Fn> Fn KestruneBinding::resolve(std::atomic<Fn> &slot, const char *exportedName)
{
    if (Fn known = slot.load(std::memory_order_acquire))
        return known;
    const std::lock_guard<std::mutex> lock(loading_);
    ensureLoaded();
    QFunctionPointer address = library_.resolve(exportedName);
    if (!address) {
        // Qt 6.4's loader leaves its description at "Unknown error" for a missing symbol, so the
        // description names the function and the file itself then.
        const QString loaderSays = library_.errorString();
        const QString name = QLatin1String(exportedName);
        throw LibraryError(loaderSays.contains(name)
                               ? loaderSays
                               : QStringLiteral("Cannot resolve symbol \"%1\" in %2: %3")
                                     .arg(name, library_.fileName(), loaderSays));
    }
    const auto function = reinterpret_cast<Fn>(address);
    slot.store(function, std::memory_order_release);
    return function;
}

KestTextFree KestruneBinding::textDeleter()
{
    return KestTextFree{resolve(fn_->free_text, "kest_free_text")};
}

KestTableFree KestruneBinding::tableDeleter()
{
    return KestTableFree{resolve(fn_->free_table, "kest_free_table"), givesTypes()};
}

bool KestruneBinding::givesTypes()
{
    if (givesTypes_ < 0)
        givesTypes_ = KestLibVersion() >= 105 ? 1 : 0;
    return givesTypes_ == 1;
}

int16_t KestruneBinding::sqlite3_open_v2(const QByteArray &path, int32_t &handle, int32_t flags,
                                         const char *vfs)
{
    return resolve(fn_->open_v2, "kest_sqlite3_open_v2")(path.constData(), &handle, flags, vfs);
}

int16_t KestruneBinding::sqlite3_close(int32_t &handle)
{
    return resolve(fn_->close, "kest_sqlite3_close")(&handle);
}

int16_t KestruneBinding::sqlite_progress_handler(int32_t handle, int32_t steps,
                                                 kest_progress_callback callback)
{
    return resolve(fn_->progress_handler, "kest_sqlite_progress_handler")(handle, steps, callback);
}

int16_t KestruneBinding::sqlite3_interrupt(int32_t handle)
{
    return resolve(fn_->interrupt, "kest_sqlite3_interrupt")(handle);
}

int16_t KestruneBinding::sqlite_get_table(KestTable &result, int32_t handle, const QByteArray &sql,
                                          KestText &errmsg, int16_t &status)
{
    // Both deleters are resolved before the call, so nothing handed out can be left unfreeable.
    KestTableFree tableFree = tableDeleter();
    KestTextFree textFree = textDeleter();
    auto call = resolve(fn_->get_table, "kest_sqlite_get_table");
    kest_table *table = nullptr;
    char *error = nullptr;
    const int16_t rc = call(&table, handle, sql.constData(), &error, &status);
    result = KestTable(table, tableFree);
    errmsg = KestText(error, textFree);
    return rc;
}

int16_t KestruneBinding::sqlite_get_table_unicode(KestTable &result, int32_t handle,
                                                  const char16_t *sql, KestText &errmsg,
                                                  int16_t &status)
{
    KestTableFree tableFree = tableDeleter();
    KestTextFree textFree = textDeleter();
    auto call = resolve(fn_->get_table_unicode, "kest_sqlite_get_table_unicode");
    kest_table *table = nullptr;
    char *error = nullptr;
    const int16_t rc = call(&table, handle, sql, &error, &status);
    result = KestTable(table, tableFree);
    errmsg = KestText(error, textFree);
    return rc;
}

int32_t KestruneBinding::sqlite_query_rowcount()
{
    return resolve(fn_->query_rowcount, "kest_sqlite_query_rowcount")();
}

int16_t KestruneBinding::sqlite_exec(int32_t handle, const QByteArray &sql,
                                     kest_row_callback callback, void *userArg, KestText &errmsg)
{
    KestTextFree textFree = textDeleter();
    auto call = resolve(fn_->exec, "kest_sqlite_exec");
    char *error = nullptr;
    const int16_t rc = call(handle, sql.constData(), callback, userArg, &error);
    errmsg = KestText(error, textFree);
    return rc;
}

int16_t KestruneBinding::sqlite_exec_unicode(int32_t handle, const char16_t *sql,
                                             kest_row_callback callback, void *userArg,
                                             KestText &errmsg)
{
    KestTextFree textFree = textDeleter();
    auto call = resolve(fn_->exec_unicode, "kest_sqlite_exec_unicode");
    char *error = nullptr;
    const int16_t rc = call(handle, sql, callback, userArg, &error);
    errmsg = KestText(error, textFree);
    return rc;
}

int32_t KestruneBinding::sqlite_exec_rowcount()
{
    return resolve(fn_->exec_rowcount, "kest_sqlite_exec_rowcount")();
}

int64_t KestruneBinding::sqlite_exec_rowcount64()
{
    return resolve(fn_->exec_rowcount64, "kest_sqlite_exec_rowcount64")();
}

int32_t KestruneBinding::SetUnicodeConversion(int32_t on)
{
    return resolve(fn_->set_unicode_conversion, "kest_SetUnicodeConversion")(on);
}

KestText KestruneBinding::sqlite3_libversion()
{
    KestTextFree textFree = textDeleter();
    return KestText(resolve(fn_->libversion, "kest_sqlite3_libversion")(), textFree);
}

int32_t KestruneBinding::sqlite3_libversion_number()
{
    return resolve(fn_->libversion_number, "kest_sqlite3_libversion_number")();
}

KestText KestruneBinding::sqlite3_errstr(int32_t code)
{
    KestTextFree textFree = textDeleter();
    return KestText(resolve(fn_->errstr, "kest_sqlite3_errstr")(code), textFree);
}

int32_t KestruneBinding::sqlite3_keyword_count()
{
    return resolve(fn_->keyword_count, "kest_sqlite3_keyword_count")();
}

KestText KestruneBinding::sqlite3_keyword_name(int32_t index)
{
    KestTextFree textFree = textDeleter();
    return KestText(resolve(fn_->keyword_name, "kest_sqlite3_keyword_name")(index), textFree);
}

int16_t KestruneBinding::KestLibVersion()
{
    return resolve(fn_->lib_version, "kest_KestLibVersion")();
}

KestText KestruneBinding::KestLibTimeStamp()
{
    KestTextFree textFree = textDeleter();
    return KestText(resolve(fn_->lib_time_stamp, "kest_KestLibTimeStamp")(), textFree);
}

int16_t KestruneBinding::CompilerVersion()
{
    return resolve(fn_->compiler_version, "kest_MSVCVersion")();
}

bool KestruneBinding::take(int64_t bytes) noexcept
{
    try {
        return resolve(fn_->memory_take, "kest_memory_take")(bytes) != 0;
    } catch (...) {
        // A library that keeps no budget sets no limit.
        return true;
    }
}

void KestruneBinding::give(int64_t bytes) noexcept
{
    try {
        resolve(fn_->memory_give, "kest_memory_give")(bytes);
    } catch (...) {
    }
}

namespace {
void KEST_CALL releaseToHeap(void *memory, int64_t /*bytes*/)
{
    std::free(memory);
}
} // namespace

// A library that keeps no budget hands out no memory either: the program's heap serves then.
void *KestruneBinding::allocate(std::size_t bytes, MemoryRelease &release) noexcept
{
    if (!heapServes_) {
        try {
            release = resolve(fn_->memory_free, "kest_memory_free");
            return resolve(fn_->memory_alloc, "kest_memory_alloc")(static_cast<int64_t>(bytes));
        } catch (...) {
            heapServes_ = true;
        }
    }
    release = releaseToHeap;
    return std::malloc(bytes);
}

} // namespace kest
