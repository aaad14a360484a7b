// A result too large for memory through the engine: in a child process whose address space is
// limited, both query paths over a huge cross join must end in a status that says memory ran
// out, and the engine must work again once memory is back.
//
// AddressSanitizer cannot run under an address-space limit, so under the sanitizers this file
// is built with the engine's sources and a copy of the library, all without them (see
// CMakeLists.txt).

#include "ChildProcess.h"
#include "DBExec.h"
#include "DBQuery.h"
#include "EngineFixture.h"
#include "KestruneBinding.h"
#include "ModuleState.h"
#include "RecordingWindow.h"

#include <gtest/gtest.h>

#include <string>

using namespace kest;
using namespace kest::test;

namespace {

// 900 million rows with a 1000-character cell each: no store can hold them.
const QString HugeCrossJoin =
    QStringLiteral("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n LIMIT 30000) "
                   "SELECT a.x, b.x, '%1' FROM n a, n b")
        .arg(QString(1000, QLatin1Char('w')));

using Path = int32_t (*)(const Engine &, const QString &, const QString &, QString &, int16_t &, float &);

// One run of `path` over the cross join with `room` bytes of address space left, then a small
// query with the limit lifted.
std::string runOutOfMemory(Path path, rlim_t room)
{
    RecordingWindow window;
    ModuleState state;
    const Engine engine{realLibrary(), window, state};
    QString message;
    int16_t code = -1;
    float seconds = 0;
    // Loads the library and warms up before the limit, so that only the query meets it.
    path(engine, QStringLiteral(":memory:"), QStringLiteral("SELECT 1"), message, code, seconds);
    message.clear();
    window.model.removeAllRows();
    window.model.removeAllColumns();
    if (!limitAddressSpace(room))
        return "no limit\n";
    const int32_t rows = path(engine, QStringLiteral(":memory:"), HugeCrossJoin, message, code, seconds);
    const int32_t stored = state.ExecRowCount;
    const int shown = window.model.rowCount();
    liftAddressSpaceLimit();

    std::string out = "code=" + std::to_string(code) + " message=" + message.toStdString() + "\n";
    out += std::string("rows>0=") + (rows > 0 ? "yes" : "no") + " rows-stored=" + std::to_string(rows - stored) +
           " shown<=stored=" + (shown <= stored ? "yes" : "no") + "\n";
    window.model.removeAllRows();
    window.model.removeAllColumns();
    state.ExecResults.clear();
    QString after;
    code = -1;
    const int32_t afterRows = path(engine, QStringLiteral(":memory:"), QStringLiteral("SELECT 6 * 7"), after, code, seconds);
    out += "after: rows=" + std::to_string(afterRows) + " code=" + std::to_string(code) +
           " cell=" + window.model.cellText(0, 0).toStdString() + "\n";
    return out;
}

} // namespace

// The row store's growth fails inside the row callback, which catches it and ends the
// statement with "[Out of memory after line: 50]". But the store still holds its rows, so the
// rows to show soon find no memory either (line 80, "Out of memory"), and the cells of a row
// that could not be added are skipped. The last failure is what the status line shows. The
// count is the library's: it includes the row that could not be stored.
TEST(EngineOutOfMemory, ExecEndsInABracketedFailureText)
{
#ifdef KEST_UNDER_ASAN
    GTEST_SKIP() << "address-space limits do not work under AddressSanitizer; the unsanitized build runs this";
#endif
    const std::string report = inChild([] { return runOutOfMemory(&DBExec, rlim_t(96) << 20); });
    EXPECT_EQ(report, "code=4 message=[Out of memory after line: 80]\n"
                      "rows>0=yes rows-stored=1 shown<=stored=yes\n"
                      "after: rows=1 code=0 cell=42\n");
}

// The library builds the whole table before handing it out; its allocation fails first, and it
// answers with its own code and text, which the engine passes on. Nothing is shown.
TEST(EngineOutOfMemory, QueryEndsInTheLibrarysOutOfMemory)
{
#ifdef KEST_UNDER_ASAN
    GTEST_SKIP() << "address-space limits do not work under AddressSanitizer; the unsanitized build runs this";
#endif
    const std::string report = inChild([] { return runOutOfMemory(&DBQuery, rlim_t(96) << 20); });
    EXPECT_EQ(report, "code=7 message=out of memory\n"
                      "rows>0=no rows-stored=0 shown<=stored=yes\n"
                      "after: rows=1 code=0 cell=42\n");
}
