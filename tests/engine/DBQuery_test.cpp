#include "DBQuery.h"
#include "EngineFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

using namespace kest;
using namespace kest::test;

namespace {

class TablePath : public EngineFixture {
protected:
    int32_t query(const QString &sql, const QString &path = QString())
    {
        return DBQuery(engine, path.isNull() ? database() : path, sql, message, code, seconds);
    }
};

// Keeps the statement busy for a long time (some hundred million engine steps).
const QString LongStatement = QStringLiteral(
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000000) SELECT count(*) FROM n");

} // namespace

TEST_F(TablePath, EmptySqlOrPathWritesNothingAndOpensNothing)
{
    window.setStatusText(QStringLiteral("before"));
    EXPECT_EQ(query(QString()), 0);
    EXPECT_EQ(query(QStringLiteral("CREATE TABLE t(x)"), QStringLiteral("")), 0);
    EXPECT_EQ(message, QStringLiteral("caller"));
    EXPECT_EQ(code, -7);
    EXPECT_EQ(seconds, -7);
    EXPECT_EQ(window.status, QStringLiteral("before"));
    EXPECT_FALSE(QFile::exists(database()));
}

TEST_F(TablePath, AnUnopenablePathGivesTheOpenStatusInDecimal)
{
    EXPECT_EQ(query(QStringLiteral("SELECT 1"), dir.path()), 0);
    EXPECT_EQ(message, QStringLiteral("14"));
    EXPECT_EQ(code, -7);
    EXPECT_EQ(seconds, -7);
    EXPECT_EQ(window.model.columnCount(), 0);
}

TEST_F(TablePath, RowsFillTheListWithColumnsNamedFromRowZero)
{
    EXPECT_EQ(query(QStringLiteral("SELECT 1 AS a, 'x' AS b UNION ALL SELECT 2, NULL")), 2);
    EXPECT_EQ(message, QStringLiteral("caller")); // untouched when rows came back
    EXPECT_EQ(code, 0);
    EXPECT_GE(seconds, 0);
    ASSERT_EQ(window.model.columnCount(), 2);
    EXPECT_EQ(window.model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("a"));
    EXPECT_EQ(window.model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("b"));
    ASSERT_EQ(window.model.rowCount(), 2);
    EXPECT_EQ(window.model.cellText(0, 1), QStringLiteral("x"));
    EXPECT_EQ(window.model.cellText(1, 0), QStringLiteral("2"));
    EXPECT_EQ(window.model.cellText(1, 1), QString());
    EXPECT_EQ(window.sizedColumns, (QList<int>{0, 1}));
    EXPECT_EQ(window.status, QStringLiteral("Complete. Updating results view - please wait ..."));
    EXPECT_TRUE(window.model.holdsTable()); // shown without copying a cell
}

TEST_F(TablePath, ATableWithAnErrorTextShowsOnlyTheText)
{
    EXPECT_EQ(query(QStringLiteral("SELECT 1; SELECT * FROM missing")), 0);
    EXPECT_EQ(message, QStringLiteral("no such table: missing"));
    EXPECT_EQ(code, 1);
    EXPECT_EQ(window.status, QStringLiteral("Complete. Updating results view - please wait ..."));
    EXPECT_EQ(window.model.columnCount(), 0);
}

TEST_F(TablePath, NoTableWithAnErrorTextReplacesTheMessage)
{
    EXPECT_EQ(query(QStringLiteral("SELEC 1")), 0);
    EXPECT_EQ(message, QStringLiteral("near \"SELEC\": syntax error"));
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(window.statusHistory.isEmpty());
}

TEST_F(TablePath, NoTableAndNoTextAppendsTheCodesText)
{
    EXPECT_EQ(query(QStringLiteral("CREATE TABLE t(x)")), 0);
    EXPECT_EQ(message, QStringLiteral("callerSuccess"));
    EXPECT_EQ(code, 0);
    message.clear();
    EXPECT_EQ(query(QStringLiteral("SELECT x FROM t")), 0); // a SELECT of no rows gives no table
    EXPECT_EQ(message, QStringLiteral("Success"));
    EXPECT_EQ(window.model.columnCount(), 0);
}

TEST_F(TablePath, StopInterruptsTheStatementWithTheCancelText)
{
    message.clear();
    state.StopRequested = True16; // a Stop left over from before is cleared when the query starts
    QTimer::singleShot(50, [this] { state.StopRequested = True16; });
    EXPECT_EQ(query(LongStatement), 0);
    EXPECT_EQ(code, 9);
    EXPECT_EQ(message, QStringLiteral("User cancelled - no data will be returned"));
    EXPECT_GT(seconds, 0.02f);
    EXPECT_LT(seconds, 5.0f);
}

TEST_F(TablePath, ProgressTextGrowsToFortyOneStarsAndStartsAgain)
{
    state.ProgressCalls = 0;
    state.ProgressStars = 0;
    // 45,000 callbacks of 20 engine steps each.
    query(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000) "
                         "SELECT count(*) FROM n"));
    QStringList searching;
    for (const QString &text : window.statusHistory)
        if (text.startsWith(QStringLiteral("Searching ")))
            searching.append(text);
    ASSERT_GE(searching.size(), 43);
    for (int i = 0; i < 41; ++i)
        EXPECT_EQ(searching[i], QStringLiteral("Searching ") + QString(i + 1, QLatin1Char('*')));
    EXPECT_EQ(searching[41], QStringLiteral("Searching *"));
    EXPECT_EQ(searching[42], QStringLiteral("Searching **"));

    // The counters carry over: the next query goes on from where this one stopped.
    const int16_t stars = state.ProgressStars;
    window.statusHistory.clear();
    query(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
                         "SELECT count(*) FROM n"));
    const QStringList next = window.statusHistory.filter(QStringLiteral("Searching "));
    ASSERT_FALSE(next.isEmpty());
    EXPECT_EQ(next.first(), QStringLiteral("Searching ") + QString(stars + 1, QLatin1Char('*')));
}

TEST_F(TablePath, ProgressCallsWrapBeforeOverflowing)
{
    state.ProgressCalls = 31999;
    state.ProgressStars = 0;
    query(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                         "SELECT count(*) FROM n"));
    EXPECT_GE(state.ProgressCalls, 0);
    EXPECT_LT(state.ProgressCalls, 32000);
}

TEST_F(TablePath, UnicodeModeGivesTheSameRows)
{
    const QString sql = QStringLiteral("SELECT 'Motörhead' AS \"名\", '東京', '😀'");
    for (const int16_t unicode : {False16, True16}) {
        state.UseUnicode = unicode;
        window.model.removeAllRows();
        window.model.removeAllColumns();
        ASSERT_EQ(query(sql), 1);
        EXPECT_EQ(window.model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("名"));
        EXPECT_EQ(window.model.cellText(0, 0), QStringLiteral("Motörhead"));
        EXPECT_EQ(window.model.cellText(0, 1), QStringLiteral("東京"));
        EXPECT_EQ(window.model.cellText(0, 2), QStringLiteral("😀"));
    }
}

TEST_F(TablePath, AFailingListBecomesTheBracketedText)
{
    window.failAdopt = [] { throw std::bad_alloc(); };
    EXPECT_EQ(query(QStringLiteral("SELECT 1")), 1);
    EXPECT_EQ(message, QStringLiteral("[Out of memory]"));
    window.failAdopt = [] { throw std::out_of_range("Subscript out of range"); };
    EXPECT_EQ(query(QStringLiteral("SELECT 1")), 1);
    EXPECT_EQ(message, QStringLiteral("[Subscript out of range]"));
}

TEST_F(TablePath, AMissingLibraryBecomesNoHandle)
{
    KestruneBinding missing{dir.filePath(QStringLiteral("no-such-library.so"))};
    const Engine noLibrary{missing, window, state};
    EXPECT_EQ(DBQuery(noLibrary, database(), QStringLiteral("SELECT 1"), message, code, seconds), 0);
    EXPECT_EQ(message, QStringLiteral("No database handle returned"));
    EXPECT_EQ(code, -7);
}

TEST_F(TablePath, OnTheWayOutTheListIsLeftAlone)
{
    QTimer::singleShot(30, [this] {
        state.ExitRequested = true;
        state.StopRequested = True16;
    });
    EXPECT_EQ(query(LongStatement), 0);
    EXPECT_EQ(code, 9);
    EXPECT_TRUE(window.statusHistory.filter(QStringLiteral("Complete")).isEmpty());
    // The database was closed: another connection can write at once.
    state.ExitRequested = false;
    message.clear();
    EXPECT_EQ(query(QStringLiteral("CREATE TABLE after_exit(x)")), 0);
    EXPECT_EQ(message, QStringLiteral("Success"));
}
