#include "DBExec.h"
#include "EngineFixture.h"

#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

using namespace kest;
using namespace kest::test;

namespace {

class RowCallbackPath : public EngineFixture {
protected:
    // The exec path adds its text to the caller's; the command passes an empty one.
    void SetUp() override
    {
        EngineFixture::SetUp();
        message.clear();
    }
    int32_t exec(const QString &sql, const QString &path = QString())
    {
        return DBExec(engine, path.isNull() ? database() : path, sql, message, code, seconds);
    }
    // `rows` rows of one column holding "row 1", "row 2", ...
    static QString numberedRows(int rows)
    {
        return QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                              "SELECT 'row ' || i AS name FROM n")
            .arg(rows);
    }
};

} // namespace

TEST_F(RowCallbackPath, NothingToRunOpensNothingAndReportsNoRows)
{
    ASSERT_EQ(exec(numberedRows(3)), 3);
    message = QStringLiteral("caller");
    code = -7;
    seconds = -7;
    EXPECT_EQ(exec(QString()), 0); // not the library's count of the run before
    EXPECT_EQ(exec(QStringLiteral("SELECT 1"), QStringLiteral("")), 0);
    EXPECT_EQ(message, QStringLiteral("caller"));
    EXPECT_EQ(code, -7);
    EXPECT_EQ(seconds, -7);
    EXPECT_EQ(state.ExecRowCount, 0);
}

TEST_F(RowCallbackPath, AnUnopenablePathGivesTheOpenStatus)
{
    EXPECT_EQ(exec(QStringLiteral("SELECT 1"), dir.path()), 0);
    EXPECT_EQ(message, QStringLiteral("14"));
    EXPECT_EQ(code, -7);
}

TEST_F(RowCallbackPath, AStatementWithoutRowsAddsNothing)
{
    EXPECT_EQ(exec(QStringLiteral("CREATE TABLE t(x); INSERT INTO t VALUES(1)")), 0);
    EXPECT_EQ(message, QStringLiteral("Success"));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(window.model.columnCount(), 0);
    EXPECT_EQ(window.model.rowCount(), 0);
}

TEST_F(RowCallbackPath, RowsAreStoredAndShownWithTheirColumns)
{
    window.setStatusText(QStringLiteral("Querying database x"));
    EXPECT_EQ(exec(QStringLiteral("SELECT 1 AS a, 'x' AS b UNION ALL SELECT 2, NULL UNION ALL SELECT 3, 'z'")), 3);
    EXPECT_EQ(state.ExecRowCount, 3);
    EXPECT_EQ(message, QStringLiteral("Success"));
    ASSERT_EQ(window.model.columnCount(), 2);
    EXPECT_EQ(window.model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("b"));
    ASSERT_EQ(window.model.rowCount(), 3);
    EXPECT_EQ(window.model.cellText(2, 1), QStringLiteral("z"));
    EXPECT_EQ(window.model.cellText(1, 1), QString());
    EXPECT_EQ(window.status,
              QStringLiteral("Querying database x (Displaying up to 25000 results - please wait ...)"));
    EXPECT_EQ(state.ExecResults.cell(2, 0), "3");
}

TEST_F(RowCallbackPath, AtMost25000RowsAreShownAndAllAreStored)
{
    EXPECT_EQ(exec(numberedRows(25000)), 25000);
    EXPECT_EQ(window.model.rowCount(), 25000);
    window.model.removeAllRows();
    window.model.removeAllColumns();
    EXPECT_EQ(exec(numberedRows(25001)), 25001);
    EXPECT_EQ(state.ExecRowCount, 25001);
    EXPECT_EQ(window.model.rowCount(), 25000);
    EXPECT_EQ(window.model.cellText(24999, 0), QStringLiteral("row 25000"));
    EXPECT_EQ(state.ExecResults.cell(25000, 0), "row 25001");
}

TEST_F(RowCallbackPath, ProgressTextEveryFiveThousandRowsOnly)
{
    exec(numberedRows(12000));
    QStringList found;
    for (const QString &text : window.statusHistory)
        if (text.endsWith(QStringLiteral(" rows found")))
            found.append(text);
    EXPECT_EQ(found.join(QLatin1Char('|')).toStdString(), " 5000 rows found| 10000 rows found");
}

TEST_F(RowCallbackPath, GrowingTheStoreKeepsTheRowsBefore)
{
    exec(numberedRows(5001));
    EXPECT_EQ(state.ExecRowCapacity, 10000);
    for (int r = 0; r < 5001; ++r)
        ASSERT_EQ(state.ExecResults.cell(r, 0), "row " + std::to_string(r + 1)) << r;
    // A new run drops the rows of the one before.
    exec(QStringLiteral("SELECT 'only'"));
    EXPECT_EQ(state.ExecResults.rowCount(), 1);
    EXPECT_EQ(state.ExecRowCapacity, 5000);
}

TEST_F(RowCallbackPath, StopKeepsTheRowsStoredSoFar)
{
    QTimer::singleShot(50, [this] { state.StopRequested = True16; });
    const int32_t rows = exec(numberedRows(100000000));
    EXPECT_EQ(code, 4);
    EXPECT_EQ(message, QString()); // a stop at the callback's request adds nothing
    EXPECT_GT(rows, 0);
    // The row on which the Stop was noticed is stored and counted too.
    EXPECT_EQ(state.ExecRowCount, rows);
    EXPECT_EQ(state.ExecResults.rowCount(), rows);
    EXPECT_EQ(state.StopRequested, False16);
    EXPECT_EQ(window.model.rowCount(), std::min(rows, ExecDisplayLimit));
}

TEST_F(RowCallbackPath, RowsOfDifferentWidthsAreStoredWholeAndWidenTheList)
{
    EXPECT_EQ(exec(QStringLiteral("SELECT 1 AS a; SELECT 2 AS b, 3 AS c; SELECT 4 AS d")), 3);
    ASSERT_EQ(window.model.columnCount(), 2);
    EXPECT_EQ(window.model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("a"));
    EXPECT_EQ(window.model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("c"));
    EXPECT_EQ(window.model.cellText(1, 1), QStringLiteral("3"));
    EXPECT_EQ(window.model.cellText(2, 0), QStringLiteral("4"));
    EXPECT_EQ(state.ExecResults.columnCount(0), 1);
    EXPECT_EQ(state.ExecResults.columnCount(1), 2);
    // Beyond a row's own width, or past the last row, a cell is empty, not the next row's text.
    EXPECT_EQ(state.ExecResults.cell(0, 1), "");
    EXPECT_EQ(state.ExecResults.cell(1, 1), "3");
    EXPECT_EQ(state.ExecResults.cell(2, 1), "");
    EXPECT_EQ(state.ExecResults.cell(3, 0), "");
}

TEST_F(RowCallbackPath, AFailingCellNamesItsStepAndTheRestGoesOn)
{
    window.failCell = [](int row, int column) {
        if (row == 1 && column == 1)
            throw std::out_of_range("Subscript out of range");
    };
    EXPECT_EQ(exec(QStringLiteral("SELECT 1, 2 UNION ALL SELECT 3, 4")), 2);
    EXPECT_EQ(message, QStringLiteral("[Subscript out of range after line: 90]Success"));
    EXPECT_EQ(window.model.cellText(1, 1), QStringLiteral("4")); // the next cell was still copied
}

TEST_F(RowCallbackPath, ARowThatCannotBeAddedLeavesTheRowBeforeAsItWas)
{
    int calls = 0;
    window.failAddRow = [&calls](int) {
        if (++calls == 2) // the second row cannot be added, the third can again
            throw std::bad_alloc();
    };
    EXPECT_EQ(exec(QStringLiteral("SELECT 1, 'one' UNION ALL SELECT 2, 'two' UNION ALL SELECT 3, 'three'")), 3);
    EXPECT_EQ(message, QStringLiteral("[Out of memory after line: 80]Success"));
    ASSERT_EQ(window.model.rowCount(), 2);
    EXPECT_EQ(window.model.cellText(0, 1), QStringLiteral("one")); // not overwritten by "two"
    EXPECT_EQ(window.model.cellText(1, 1), QStringLiteral("three"));
}

TEST_F(RowCallbackPath, AFailureInsideTheRowCallbackEndsTheStatementWithItsText)
{
    // The callback runs inside the library: its failure must come back as a status, not unwind.
    window.failAddColumn = [] { throw std::bad_alloc(); };
    EXPECT_EQ(exec(numberedRows(10)), 1);
    EXPECT_EQ(code, 4);
    EXPECT_EQ(message, QStringLiteral("[Out of memory after line: 50]"));
}

TEST_F(RowCallbackPath, AnErrorTextReplacesTheMessage)
{
    EXPECT_EQ(exec(QStringLiteral("SELECT 1 AS a; SELECT * FROM missing")), 1);
    EXPECT_EQ(message, QStringLiteral("no such table: missing"));
    EXPECT_EQ(code, 1);
    EXPECT_EQ(window.model.rowCount(), 1);
}

TEST_F(RowCallbackPath, UnicodeModeGivesTheSameRows)
{
    for (const int16_t unicode : {False16, True16}) {
        state.UseUnicode = unicode;
        window.model.removeAllRows();
        window.model.removeAllColumns();
        ASSERT_EQ(exec(QStringLiteral("SELECT 'Motörhead' AS \"名\", '東京'")), 1);
        EXPECT_EQ(window.model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("名"));
        EXPECT_EQ(window.model.cellText(0, 0), QStringLiteral("Motörhead"));
        EXPECT_EQ(window.model.cellText(0, 1), QStringLiteral("東京"));
    }
}

TEST_F(RowCallbackPath, AMissingLibraryBecomesNoHandle)
{
    KestruneBinding missing{dir.filePath(QStringLiteral("no-such-library.so"))};
    const Engine noLibrary{missing, window, state};
    EXPECT_EQ(DBExec(noLibrary, database(), QStringLiteral("SELECT 1"), message, code, seconds), 0);
    EXPECT_EQ(message, QStringLiteral("No database handle returned"));
}
