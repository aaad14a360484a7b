// Run Query, Stop and Clear through the real buttons, over the real library.

#include "RealWindowFixture.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableView>
#include <QTimer>

using namespace kest;
using namespace kest::test;

namespace {

const QString LongStatement = QStringLiteral(
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000000) SELECT count(*) FROM n");

} // namespace

class RunQueryTests : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        f = std::make_unique<RealWindowFixture>();
        QVERIFY(f->start());
        f->window->Text1->setText(QStringLiteral("test.db"));
    }
    void cleanup() { f.reset(); }

    void rowsAndColumnsShowWithTheStatusLine()
    {
        f->type(QStringLiteral("SELECT 1 AS a, 'x' AS b"));
        f->click(f->window->Command1);
        compareStatus(f->status(), QStringLiteral("1 rows - Status code: 0 (OK)"));
        ResultsModel &list = f->window->results();
        QCOMPARE(list.columnCount(), 2);
        QCOMPARE(list.rowCount(), 1);
        QCOMPARE(list.headerData(0, Qt::Horizontal).toString(), QStringLiteral("a"));
        QCOMPARE(list.headerData(1, Qt::Horizontal).toString(), QStringLiteral("b"));
        QCOMPARE(list.cellText(0, 1), QStringLiteral("x"));
        // A bare name is a file in the program's folder, wherever the program was started.
        QVERIFY(QFile::exists(f->inFolder(QStringLiteral("test.db"))));
        QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("test.db"))));
    }

    void rowCountsAreGroupedAndAnEarlierResultIsEmptied()
    {
        f->type(QStringLiteral("SELECT 1 AS a, 2 AS b, 3 AS c"));
        f->click(f->window->Command1);
        f->type(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1234) "
                               "SELECT i FROM n"));
        f->click(f->window->Command1);
        compareStatus(f->status(), QStringLiteral("1,234 rows - Status code: 0 (OK)"));
        QCOMPARE(f->window->results().columnCount(), 1);
        QCOMPARE(f->window->results().rowCount(), 1234);
    }

    void statementsWithoutRowsReportTheCodesText()
    {
        f->type(QStringLiteral("CREATE TABLE t(x)"));
        f->click(f->window->Command1);
        compareStatus(f->status(), QStringLiteral("0 rows - Status code: 0 (Success)"));
    }

    void anErrorTextShowsInParentheses()
    {
        f->type(QStringLiteral("SELECT * FROM missing"));
        f->click(f->window->Command1);
        compareStatus(f->status(), QStringLiteral("0 rows - Status code: 1 (no such table: missing)"));
    }

    void anUnopenablePathShowsTheOpenStatus()
    {
        f->window->Text1->setText(f->programFolder.path() + QStringLiteral("/"));
        f->type(QStringLiteral("SELECT 1"));
        f->click(f->window->Command1);
        QCOMPARE(f->status(), QStringLiteral("0 rows - Status code: 0 (14) - The query took: 0.000 second(s)"));
    }

    void anEmptyQueryWindowRunsNothing()
    {
        f->type(QString());
        f->click(f->window->Command1);
        QCOMPARE(f->status(), QStringLiteral("0 rows - Status code: 0 (OK) - The query took: 0.000 second(s)"));
        QVERIFY(!QFile::exists(f->inFolder(QStringLiteral("test.db"))));
    }

    void stopEndsALongStatementAndTheButtonsComeBack()
    {
        frmMain &w = *f->window;
        bool sawRunState = false;
        QTimer::singleShot(150, [&] {
            sawRunState = w.Command1->text() == QStringLiteral("Querying...") && w.Command14->isEnabled() &&
                          !w.Command12->isEnabled() && !w.Command5->isEnabled() && !w.Command9->isEnabled() &&
                          !w.Command10->isEnabled() && !w.Command11->isEnabled() && w.Command1->isEnabled();
            f->click(w.Command14);
        });
        f->type(LongStatement);
        f->click(w.Command1);
        QVERIFY(sawRunState);
        compareStatus(f->status(),
                      QStringLiteral("0 rows - Status code: 9 (User cancelled - no data will be returned)"));
        QCOMPARE(w.Command1->text(), QStringLiteral("Run &Query"));
        QVERIFY(!w.Command14->isEnabled());
        for (QPushButton *b : {w.Command5, w.Command9, w.Command10, w.Command11, w.Command12})
            QVERIFY(b->isEnabled());
    }

    void aSecondStartDuringARunIsRefused()
    {
        frmMain &w = *f->window;
        QString statusDuringRun, statusAfterNestedClicks, queryAfterNestedClicks;
        QTimer::singleShot(150, [&] {
            statusDuringRun = f->status();
            f->click(w.Command1);  // Run Query again
            f->click(w.Command13); // a canned query would replace the query window's text
            f->click(w.Command16);
            statusAfterNestedClicks = f->status();
            queryAfterNestedClicks = w.Text2->toPlainText();
            f->click(w.Command14);
        });
        f->type(LongStatement);
        f->click(w.Command1);
        QCOMPARE(queryAfterNestedClicks, LongStatement);
        QCOMPARE(statusAfterNestedClicks, statusDuringRun);
        compareStatus(f->status(),
                      QStringLiteral("0 rows - Status code: 9 (User cancelled - no data will be returned)"));
    }

    void clearEmptiesTheListAndSaysSo()
    {
        f->type(QStringLiteral("SELECT 1 AS a"));
        f->click(f->window->Command1);
        QCOMPARE(f->window->results().rowCount(), 1);
        f->click(f->window->Command15);
        QCOMPARE(f->window->results().rowCount(), 0);
        QCOMPARE(f->window->results().columnCount(), 0);
        QCOMPARE(f->status(), QStringLiteral(" Results window cleared"));
        f->click(f->window->Command15); // an empty list is cleared all the same
        QCOMPARE(f->status(), QStringLiteral(" Results window cleared"));
    }

    void cannedQueriesSetTheirTextAndRun()
    {
        f->type(QStringLiteral("SELECT 1"));
        f->click(f->window->Command18); // Explain
        QCOMPARE(f->window->Text2->toPlainText(),
                 QStringLiteral("-- Explain the opcode-breakdown for the current query below\nEXPLAIN SELECT 1"));
        QVERIFY(f->window->results().rowCount() > 0);
        f->click(f->window->Command18); // EXPLAIN EXPLAIN is rejected by the engine
        QVERIFY2(f->status().contains(QStringLiteral("Status code: 1 (")), qPrintable(f->status()));
        f->click(f->window->Command13); // DB Info on a new file
        compareStatus(f->status(), QStringLiteral("0 rows - Status code: 0 (Success)"));
    }

private:
    std::unique_ptr<RealWindowFixture> f;
};

KEST_REGISTER_TEST(RunQueryTests);
#include "tst_RunQuery.moc"
