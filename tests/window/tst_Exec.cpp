// Exec through the real button over the real library: the display limit, the CSV question and
// export, the final status line, Stop, and the buttons and focus afterwards.

#include "../files/CsvReader.h"
#include "Exec.h"
#include "RealWindowFixture.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <QCheckBox>
#include <QTableView>
#include <QTimer>

using namespace kest;
using namespace kest::test;

namespace {

// `rows` rows whose cells hold quotes, commas and line breaks, as a CSV reader must get them back.
QString awkwardRows(int rows)
{
    return QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                          "SELECT i AS id, 'say \"' || i || '\", then, go' AS text, char(13, 10) AS crlf, NULL AS none "
                          "FROM n")
        .arg(rows);
}

std::vector<CsvRecord> expectedAwkwardRows(int rows)
{
    std::vector<CsvRecord> expected;
    for (int i = 1; i <= rows; ++i)
        expected.push_back({std::to_string(i), "say \"" + std::to_string(i) + "\", then, go", "\r\n", ""});
    return expected;
}

} // namespace

class ExecTests : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        f = std::make_unique<RealWindowFixture>();
        QVERIFY(f->start());
        f->window->Text1->setText(QStringLiteral("test.db"));
        csvPath = f->inFolder(QStringLiteral("Kestrune-output.csv"));
    }
    void cleanup() { f.reset(); }

    void aSmallResultShowsAndAsksNothing()
    {
        f->type(QStringLiteral("SELECT 1 AS a, 'x' AS b UNION ALL SELECT 2, 'y'"));
        f->click(f->window->Command12);
        compareStatus(f->status(), QStringLiteral(" 2 rows - Status code: 0 (Success)"));
        QCOMPARE(f->window->results().rowCount(), 2);
        QCOMPARE(f->window->results().columnCount(), 2);
        QVERIFY(f->desktop.messages().isEmpty());
        QVERIFY(f->window->lvResults->isVisible());
        QVERIFY(f->window->Command12->hasFocus());
        QVERIFY(!f->window->Command14->isEnabled());
        for (QPushButton *b : {f->window->Command5, f->window->Command9, f->window->Command10, f->window->Command11,
                               f->window->Command12})
            QVERIFY(b->isEnabled());
        QCOMPARE(f->state.ExecResults.rowCount(), 0); // released at the end of the click
    }

    void exactlyTheLimitAsksNothing()
    {
        f->type(awkwardRows(25000));
        f->click(f->window->Command12);
        compareStatus(f->status(), QStringLiteral(" 25,000 rows - Status code: 0 (Success)"));
        QCOMPARE(f->window->results().rowCount(), 25000);
        QVERIFY(f->desktop.messages().isEmpty());
    }

    void moreThanTheLimitAsksAndNoWritesNothing()
    {
        f->desktop.queueAnswer(MessageAnswer::No);
        f->type(awkwardRows(25001));
        f->click(f->window->Command12);
        QCOMPARE(f->window->results().rowCount(), 25000);
        QCOMPARE(f->desktop.messages().size(), 1);
        const auto &question = f->desktop.messages().first();
        QCOMPARE(question.prompt,
                 QStringLiteral("Only the first 25000 rows have been displayed to prevent system lockup\r\n\r\n"
                                "You should consider refining your query (and avoid cross-joins)\r\n\r\n"
                                "Would you like to save the rest in CSV format to: \r\n\r\n") +
                     csvPath);
        QCOMPARE(question.title, QStringLiteral("Demo"));
        QCOMPARE(question.buttons, MessageButtons::YesNo);
        QCOMPARE(question.icon, MessageIcon::Question);
        QVERIFY(!QFile::exists(csvPath));
        compareStatus(f->status(), QStringLiteral(" 25,001 rows - Status code: 0 (Success)"));
    }

    void yesWritesEveryRowThatAReaderGetsBackExactly()
    {
        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->type(awkwardRows(25001));
        f->click(f->window->Command12);
        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray bytes = csv.readAll();
        QVERIFY(bytes.startsWith("\"1\",\"say \"\"1\"\", then, go\",\"\r\n\",\"\"\r\n"));
        const auto records = ReadCsv(bytes);
        QVERIFY(records.has_value());
        QVERIFY(*records == expectedAwkwardRows(25001));

        QCOMPARE(f->desktop.messages().size(), 2);
        const auto &written = f->desktop.messages().at(1);
        QCOMPARE(written.prompt, CsvWrittenMessage(bytes.size(), QLocale()));
        QVERIFY(written.prompt.startsWith(QStringLiteral("Length of the saved file was 1.")));
        QCOMPARE(written.title, QStringLiteral("Success"));
        QCOMPARE(written.buttons, MessageButtons::Ok);
        QCOMPARE(written.icon, MessageIcon::Information);
        // The file is in the program's folder, not in the working directory.
        QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("Kestrune-output.csv"))));
        compareStatus(f->status(), QStringLiteral(" 25,001 rows - Status code: 0 (Success)"));
        QVERIFY(f->window->Command12->hasFocus());
    }

    void aFailedExportSaysSoAndKeepsWhatWasThere()
    {
        QVERIFY(QDir(f->programFolder.path()).mkdir(QStringLiteral("Kestrune-output.csv")));
        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->type(awkwardRows(25001));
        f->click(f->window->Command12);
        QCOMPARE(f->desktop.messages().size(), 2);
        const auto &failed = f->desktop.messages().at(1);
        QCOMPARE(failed.prompt, QStringLiteral("Failed to save:\r\n\r\n") + csvPath);
        QCOMPARE(failed.title, QStringLiteral("Error"));
        QCOMPARE(failed.buttons, MessageButtons::Ok);
        QCOMPARE(failed.icon, MessageIcon::Critical);
        QVERIFY(QFileInfo(csvPath).isDir());
    }

    void stopKeepsTheRowsSoFar()
    {
        QTimer::singleShot(150, [this] { f->click(f->window->Command14); });
        f->desktop.queueAnswer(MessageAnswer::No);
        f->type(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT i FROM n"));
        f->click(f->window->Command12);
        static const QRegularExpression stopped(QStringLiteral("^ ([\\d,]+) rows - Status code: 4 \\(OK\\) - "));
        const QRegularExpressionMatch m = stopped.match(f->status());
        QVERIFY2(m.hasMatch(), qPrintable(f->status()));
        const int rows = QLocale().toInt(m.captured(1));
        QVERIFY(rows > 0);
        QCOMPARE(f->window->results().rowCount(), std::min(rows, 25000));
        QCOMPARE(f->state.StopRequested, False16);
        QVERIFY(!f->window->Command14->isEnabled());
    }

    // A statement that works long before its first row, and a script of short statements that
    // never give a row, stop on both paths; a stopped script has run only part of its statements.
    void stopBeforeAnyRow_data()
    {
        QTest::addColumn<bool>("exec");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("stopped");
        const QString count = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                             "WHERE i < 100000000) SELECT count(*) FROM n");
        const QString script = QStringLiteral("CREATE TABLE m(x);\r\n") +
                               QStringLiteral("INSERT INTO m VALUES(1);\r\n").repeated(Inserts);
        const QString query = QStringLiteral("0 rows - Status code: 9 (User cancelled - no data will be returned)");
        const QString exec = QStringLiteral(" 0 rows - Status code: 9 (User cancelled)");
        QTest::newRow("Run Query, count") << false << count << query;
        QTest::newRow("Exec, count") << true << count << exec;
        QTest::newRow("Run Query, script") << false << script << query;
        QTest::newRow("Exec, script") << true << script << exec;
    }
    void stopBeforeAnyRow()
    {
        QFETCH(bool, exec);
        QFETCH(QString, sql);
        QFETCH(QString, stopped);
        QTimer::singleShot(150, [this] { f->click(f->window->Command14); });
        f->type(sql);
        f->click(exec ? f->window->Command12 : f->window->Command1);
        compareStatus(f->status(), stopped);
        QVERIFY(!exec || f->state.StopRequested == False16);
        QVERIFY(!f->window->Command14->isEnabled());
        if (sql.startsWith(QStringLiteral("CREATE"))) {
            f->type(QStringLiteral("SELECT count(*) FROM m"));
            f->click(f->window->Command1);
            QVERIFY(f->window->results().cellText(0, 0).toInt() < Inserts);
        }
    }

    void anEmptyQueryWindowReportsNoRows()
    {
        f->type(QStringLiteral("SELECT 1 UNION ALL SELECT 2"));
        f->click(f->window->Command12);
        f->type(QString());
        f->click(f->window->Command12);
        QCOMPARE(f->status(), QStringLiteral(" 0 rows - Status code: 0 (OK) - The query took: 0.000 second(s)"));
    }

    void theUnicodeBoxGivesTheSameRowsOnBothPaths()
    {
        f->type(QStringLiteral("SELECT 'Motörhead' AS \"名前\", '東京' AS city, '😀' AS face"));
        for (const bool unicode : {false, true}) {
            if (f->window->chkUnicode->isChecked() != unicode)
                QTest::mouseClick(f->window->chkUnicode, Qt::LeftButton);
            QCOMPARE(f->state.UseUnicode, unicode ? True16 : False16);
            for (QPushButton *run : {f->window->Command1, f->window->Command12}) {
                f->click(run);
                const ResultsModel &list = f->window->results();
                QCOMPARE(list.rowCount(), 1);
                QCOMPARE(list.headerData(0, Qt::Horizontal).toString(), QStringLiteral("名前"));
                QCOMPARE(list.cellText(0, 0), QStringLiteral("Motörhead"));
                QCOMPARE(list.cellText(0, 1), QStringLiteral("東京"));
                QCOMPARE(list.cellText(0, 2), QStringLiteral("😀"));
            }
        }
    }

private:
    static constexpr int Inserts = 20000;
    std::unique_ptr<RealWindowFixture> f;
    QString csvPath;
};

KEST_REGISTER_TEST(ExecTests);
#include "tst_Exec.moc"
