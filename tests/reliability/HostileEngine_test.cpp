// Damaged databases through both query paths of the engine, over the real library, each call
// ending in the status line that Run Query or Exec would show for it.

#include "DBExec.h"
#include "DBQuery.h"
#include "DemoData.h"
#include "DemoQueries.h"
#include "EngineFixture.h"
#include "KestruneBinding.h"
#include "ModuleState.h"
#include "QueryTiming.h"
#include "RecordingWindow.h"
#include "StatusTexts.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <map>
#include <random>

using namespace kest;
using namespace kest::test;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// What one engine call gave, and the status line the command builds from it.
struct Outcome {
    int32_t rows = 0;
    int16_t code = 0;
    QString message;
    int listRows = 0;
    int32_t storedRows = 0;
    QString statusLine;
};

Outcome runTable(const QString &path, const QString &sql)
{
    RecordingWindow window;
    ModuleState state;
    Outcome o;
    float seconds = 0;
    o.rows = DBQuery(Engine{realLibrary(), window, state}, path, sql, o.message, o.code, seconds);
    o.listRows = window.model.rowCount();
    o.statusLine = FormatRowCount(o.rows, QLocale::c()) + QStringLiteral(" rows") + StatusCodeAndMessage(o.code, o.message);
    return o;
}

Outcome runExec(const QString &path, const QString &sql)
{
    RecordingWindow window;
    ModuleState state;
    Outcome o;
    float seconds = 0;
    o.rows = DBExec(Engine{realLibrary(), window, state}, path, sql, o.message, o.code, seconds);
    o.listRows = window.model.rowCount();
    o.storedRows = state.ExecRowCount;
    o.statusLine = QLatin1Char(' ') + FormatRowCount(o.rows, QLocale::c()) + QStringLiteral(" rows") +
                   StatusCodeAndMessage(o.code, o.message);
    return o;
}

// The library's own answer to the same statement on the same file, asked directly: the error
// text that the engine must have passed on unchanged.
QString libraryError(const QString &path, const QString &sql, bool exec)
{
    int32_t handle = 0;
    if (realLibrary().sqlite3_open_v2(path.toUtf8(), handle, KEST_OPEN_READWRITE, nullptr) != 0)
        return QStringLiteral("<open failed>");
    KestText error;
    if (exec) {
        realLibrary().sqlite_exec(handle, sql.toUtf8(), nullptr, nullptr, error);
    } else {
        KestTable table;
        int16_t status = 0;
        realLibrary().sqlite_get_table(table, handle, sql.toUtf8(), error, status);
    }
    realLibrary().sqlite3_close(handle);
    return toQString(error);
}

// The demonstration database, filled through the table path the way Populate fills it.
void populate(const QString &path)
{
    for (const QString &sql : {QString(CreateArtistsTableSql), QString(CreateCDsTableSql), BuildArtistsScript(),
                               BuildCDsScript()}) {
        const Outcome o = runTable(path, sql);
        ASSERT_EQ(o.code, 0) << o.message.toStdString();
    }
}

// Which kind of status line an outcome ended in; the test fails for any other kind.
enum class Kind { RowsOk, LibraryError, KnownStatusText };

} // namespace

// 200 copies of a populated database, each with a few runs of random bytes at random offsets
// (one in four with its header hit), through both paths with three statements each. Nothing
// may crash or hang (an alarm ends a hung run), and every call must end in a status line that
// says what happened: rows with OK, the library's own error text, or the code's known text.
TEST(DamagedDatabaseThroughTheEngine, TwoHundredCopiesEachEndInAStatusThatSaysWhatHappened)
{
    constexpr uint32_t Seed = 8020261;
    constexpr int Copies = 200;
    std::cout << "[ damaged  ] seed " << Seed << ", " << Copies << " copies\n";

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pristinePath = dir.filePath(QStringLiteral("pristine.db"));
    populate(pristinePath);
    const QByteArray pristine = readBytes(pristinePath);
    ASSERT_GT(pristine.size(), 4096);
    const QString damagedPath = dir.filePath(QStringLiteral("damaged.db"));

    const QString statements[] = {QString(Query1Sql), QStringLiteral("SELECT * FROM Artists"),
                                  QStringLiteral("PRAGMA integrity_check")};
    std::map<QString, int> lines; // status line (counts taken out) -> calls
    std::map<Kind, int> kinds;
    int calls = 0;

    std::mt19937 random(Seed);
    alarm(300); // a hang ends the whole test program, which fails the test
    const auto started = std::chrono::steady_clock::now();
    for (int copy = 0; copy < Copies; ++copy) {
        QByteArray damaged = pristine;
        const int runs = 1 + int(random() % 8);
        for (int run = 0; run < runs; ++run) {
            const qsizetype length = 1 + qsizetype(random() % 16);
            const bool header = run == 0 && copy % 4 == 0;
            const qsizetype offset =
                header ? qsizetype(random() % 100) : qsizetype(random() % quint32(damaged.size() - length));
            for (qsizetype i = 0; i < length; ++i)
                damaged[offset + i] = char(random() & 0xFF);
        }
        for (const QString &sql : statements) {
            for (const bool exec : {false, true}) {
                SCOPED_TRACE("copy " + std::to_string(copy) + (exec ? " exec: " : " table: ") + sql.toStdString());
                ASSERT_TRUE(writeBytes(damagedPath, damaged)); // each call gets the copy as it was made
                const Outcome o = exec ? runExec(damagedPath, sql) : runTable(damagedPath, sql);
                ++calls;
                EXPECT_FALSE(o.message.startsWith(QLatin1Char('['))) << o.message.toStdString();

                Kind kind;
                if (o.code == 0 && !exec && o.message.isEmpty()) {
                    kind = Kind::RowsOk;
                    EXPECT_GT(o.rows, 0);
                    EXPECT_EQ(o.listRows, o.rows);
                } else {
                    ASSERT_FALSE(o.message.isEmpty()) << o.statusLine.toStdString();
                    const QString known = StatusTextFor(exec ? QueryPath::RowCallback : QueryPath::Table, o.code);
                    if (o.code != 0) {
                        kind = Kind::LibraryError;
                        EXPECT_EQ(o.message, libraryError(damagedPath, sql, exec));
                        EXPECT_NE(o.message, known);
                    } else {
                        kind = Kind::KnownStatusText;
                        EXPECT_EQ(o.message, known);
                    }
                    if (!exec) {
                        EXPECT_EQ(o.rows, 0);
                    }
                }
                if (exec) {
                    EXPECT_EQ(o.storedRows, o.rows);
                    EXPECT_EQ(o.listRows, std::min(o.rows, ExecDisplayLimit));
                }
                ++kinds[kind];
                // The counts vary from copy to copy; the words are what the summary counts.
                QString line = o.statusLine;
                line.replace(QRegularExpression(QStringLiteral("^ ?[\\d,]+ rows")), QStringLiteral("N rows"));
                ++lines[line.left(110)];
            }
        }
    }
    alarm(0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::cout << "[ damaged  ] " << Copies << " copies, " << calls << " engine calls in " << seconds << " s:\n";
    for (const auto &[line, n] : lines)
        std::cout << "[ damaged  ] " << n << " x " << line.toStdString() << "\n";
    // The damage was real: some calls failed with the library's words, and some still ran.
    EXPECT_GT(kinds[Kind::LibraryError], 0);
    EXPECT_GT(kinds[Kind::RowsOk], 0);
    EXPECT_EQ(calls, Copies * 6);
}

// A file that is not a database: both paths give the library's text and leave the file alone.
TEST(NotADatabaseThroughTheEngine, BothPathsSayFileIsNotADatabase)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.db"));
    const QByteArray text = QByteArray("These are notes, not a database.\n").repeated(200);
    ASSERT_TRUE(writeBytes(path, text));
    const Outcome table = runTable(path, QStringLiteral("SELECT * FROM sqlite_master"));
    EXPECT_EQ(table.statusLine, QStringLiteral("0 rows - Status code: 26 (file is not a database)"));
    const Outcome exec = runExec(path, QStringLiteral("CREATE TABLE t(x)"));
    EXPECT_EQ(exec.statusLine, QStringLiteral(" 0 rows - Status code: 26 (file is not a database)"));
    EXPECT_EQ(readBytes(path), text);
}
