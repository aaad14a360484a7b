// Results too large for memory. In a child process whose address space is limited, a table
// query over a huge cross join must end with KEST_NOMEM and "out of memory", hand out nothing,
// and leave the library working once memory is back; so must a UTF-16 text too large to convert.
//
// An address-space limit cannot be used under AddressSanitizer (see ChildProcess.h): the
// sanitizer build skips these tests in its instrumented executables and runs them from
// kestrune3_nomem_tests, built from the library's sources without sanitizers.

#include "ChildProcess.h"
#include "lib_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>
#include <string>

using namespace kest::test;

namespace {

std::string describe(int16_t code, const char *err, const kest_table *table, int32_t rows)
{
    std::ostringstream out;
    out << "code=" << code << " error=" << (err != nullptr ? err : "(null)")
        << " table=" << (table != nullptr ? "yes" : "no")
        << " rows=" << rows << "\n";
    return out.str();
}

constexpr char kCrossJoin[] = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n LIMIT 30000) "
                              "SELECT a.x, b.x, 'a cell of some length' FROM n a, n b";

} // namespace

TEST(OutOfMemory, AResultTooLargeForMemoryEndsInNomemAndTheLibraryStillWorks)
{
#ifdef KEST_UNDER_ASAN
    GTEST_SKIP() << "address-space limits do not work under AddressSanitizer; kestrune3_nomem_tests runs this";
#endif
    const std::string report = inChild([] {
        std::string out;
        Db db;
        if (!limitAddressSpace(rlim_t(192) << 20))
            return std::string("no limit\n");
        kest_table *table = nullptr;
        char *err = nullptr;
        int16_t status = -1;
        const int16_t code = kest_sqlite_get_table(&table, db.handle(), kCrossJoin, &err, &status);
        out += describe(code, err, table, kest_sqlite_query_rowcount());
        out += "status=" + std::to_string(status) + "\n";
        kest_free_table(table);
        kest_free_text(err);

        liftAddressSpaceLimit();
        const TableResult after = get_table(db.handle(), "SELECT 6 * 7");
        out += "after: " + std::to_string(after.status) + " " + (after.table ? after.cell(0, 1) : "-") + "\n";
        return out;
    });
    EXPECT_EQ(report, "code=7 error=out of memory table=no rows=0\n"
                      "status=7\n"
                      "after: 0 42\n");
}

TEST(OutOfMemory, AUtf16TextTooLargeToConvertEndsInNomemWithNoStaleCounts)
{
#ifdef KEST_UNDER_ASAN
    GTEST_SKIP() << "address-space limits do not work under AddressSanitizer; kestrune3_nomem_tests runs this";
#endif
    const std::string report = inChild([] {
        std::string out;
        Db db;
        kest_SetUnicodeConversion(0); // the library converts, so the conversion is what fails
        // 48 million two-byte characters: the UTF-8 copy needs more than the room left.
        const std::u16string huge = u"SELECT '" + std::u16string(48'000'000, u'\u00e9') + u"'";
        // Counts from earlier calls, which the failing calls must not leave behind.
        get_table(db.handle(), "SELECT 1 UNION ALL SELECT 2");
        exec(db.handle(), "SELECT 1 UNION ALL SELECT 2");
        out += "before: " + std::to_string(kest_sqlite_query_rowcount()) + " " +
               std::to_string(kest_sqlite_exec_rowcount()) + "\n";
        if (!limitAddressSpace(rlim_t(64) << 20))
            return std::string("no limit\n");

        kest_table *table = reinterpret_cast<kest_table *>(1);
        char *err = nullptr;
        int16_t status = -1;
        const int16_t code = kest_sqlite_get_table_unicode(&table, db.handle(), huge.c_str(), &err, &status);
        out += describe(code, err, table, kest_sqlite_query_rowcount());
        kest_free_text(err);

        err = nullptr;
        const int16_t execCode = kest_sqlite_exec_unicode(db.handle(), huge.c_str(), nullptr, nullptr, &err);
        out += describe(execCode, err, nullptr, kest_sqlite_exec_rowcount());
        kest_free_text(err);
        liftAddressSpaceLimit();
        return out;
    });
    EXPECT_EQ(report, "before: 2 2\n"
                      "code=7 error=out of memory table=no rows=0\n"
                      "code=7 error=out of memory table=no rows=0\n");
}
