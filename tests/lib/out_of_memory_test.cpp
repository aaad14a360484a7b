// Results too large for memory. In a child process whose address space is limited, a table
// query over a huge cross join must end with KEST_NOMEM and "out of memory", hand out nothing,
// and leave the library working once memory is back; so must a UTF-16 text too large to convert.
//
// AddressSanitizer reserves terabytes of shadow memory at start-up and its operator new aborts
// instead of throwing, so an address-space limit cannot be used under it. The sanitizer build
// therefore skips these tests in its instrumented executables and runs them from
// kestrune3_nomem_tests, built from the library's sources without sanitizers.

#include "lib_test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define KEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KEST_UNDER_ASAN 1
#endif
#endif

using namespace kest::test;

namespace {

// The process's current virtual size in bytes.
rlim_t virtualSize()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmSize:"))
            return rlim_t(std::stoull(line.substr(7))) * 1024;
    return 0;
}

// Lets the process grow by `room` bytes more; the hard limit stays, so it can be lifted again.
bool limitAddressSpace(rlim_t room)
{
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = virtualSize() + room;
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

void liftAddressSpaceLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_AS, &limit);
}

// Runs `body` in a child process and returns what it wrote; the child's own failures (a crash,
// a hang caught by the alarm, a non-zero exit) fail the test.
template <typename Body>
std::string inChild(Body body)
{
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        alarm(120); // a hang ends the child with SIGALRM
        const std::string report = body();
        const bool written = write(fds[1], report.data(), report.size()) == ssize_t(report.size());
        _exit(written ? 0 : 3);
    }
    close(fds[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, std::size_t(n));
    close(fds[0]);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << "child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
    return report;
}

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
