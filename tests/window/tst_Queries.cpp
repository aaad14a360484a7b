// Run Query, Exec, Stop and Clear through the real buttons: status lines, list contents, the
// display limit, the CSV question and file, and the buttons afterwards.

#include "StatusTexts.h"
#include "WindowTest.h"

#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <limits>
#include <stdexcept>
#include <thread>

using namespace kest;
using namespace kest::test;

namespace {

QString numbers(int last, const QString &select = QStringLiteral("i"))
{
    return QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) SELECT %2 FROM n")
        .arg(last)
        .arg(select);
}

// Cells with quotes, commas and a line break, as the CSV file must carry them.
const QString Awkward = QStringLiteral("i AS id, 'say \"' || i || '\", then, go' AS text, char(13, 10) AS crlf, NULL AS none");

const QString Stopped = QStringLiteral("Stopped - only the rows found before the stop");
const QString QueryCancelled = QStringLiteral("0 rows - Status code: 9 (User cancelled - no data will be returned)");

} // namespace

class QueryTests : public QObject {
    Q_OBJECT
    std::unique_ptr<Window> f;

private slots:
    void init() { f = std::make_unique<Window>(); QVERIFY(f->start()); }
    void cleanup() { QVERIFY(f->wroteNothingElsewhere()); }

    void statusAndRows_data()
    {
        QTest::addColumn<bool>("exec");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("query rows") << false << QStringLiteral("SELECT 1 AS a, 'x' AS b")
                                    << QStringLiteral("1 rows - Status code: 0 (OK)") << QStringList{"1|x"};
        QTest::newRow("exec rows") << true << QStringLiteral("SELECT 1 AS a, 'x' AS b UNION ALL SELECT 2, NULL")
                                   << QStringLiteral(" 2 rows - Status code: 0 (Success)") << QStringList{"1|x", "2|"};
        QTest::newRow("query no rows") << false << QStringLiteral("CREATE TABLE t(x)")
                                       << QStringLiteral("0 rows - Status code: 0 (Success)") << QStringList{};
        QTest::newRow("query error") << false << QStringLiteral("SELECT * FROM missing")
                                     << QStringLiteral("0 rows - Status code: 1 (no such table: missing)") << QStringList{};
        QTest::newRow("exec error") << true << QStringLiteral("SELECT * FROM missing")
                                    << QStringLiteral(" 0 rows - Status code: 1 (no such table: missing)") << QStringList{};
        QTest::newRow("wide cells") << true << QStringLiteral("SELECT 1 AS a UNION ALL SELECT 2")
                                    << QStringLiteral(" 2 rows - Status code: 0 (Success)") << QStringList{"1", "2"};
    }
    void statusAndRows()
    {
        QFETCH(bool, exec);
        QFETCH(QString, sql);
        QFETCH(QString, status);
        QFETCH(QStringList, rows);
        f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT 1, 2, 3, 4")); // an earlier, wider result goes
        f->run(exec ? f->w->button(Button::Exec) : f->w->button(Button::RunQuery), sql);
        QCOMPARE(f->untimedStatus(), status);
        QCOMPARE(f->rows(), rows);
        QVERIFY(f->idle());
        QVERIFY(f->desktop.messages().isEmpty());
        QVERIFY(QFile::exists(f->path(QStringLiteral("test.db")))); // a bare name is in the program's folder
    }

    // Nothing to run; nowhere to run it (the open's code and the file: an empty box names the
    // folder, a folder, a missing folder); the engine's own names, its in-memory database (new
    // for each run) and a URI as it takes them. None of them makes a file.
    void nothingToRunOrNowhereToRun()
    {
        for (const QString &blank : {QString(), QStringLiteral(" ")}) {
            QPushButton *button = f->w->button(blank.isEmpty() ? Button::RunQuery : Button::Exec);
            f->run(button, QString());
            QCOMPARE(f->status(), blank + "0 rows - Status code: 0 (OK) - The query took: 0.000 second(s)");
            for (const QString &typed : {QString(), f->folder.path(), f->path(QStringLiteral("missing/a.db"))}) {
                f->w->databaseEdit->setText(typed);
                f->run(button, QStringLiteral("SELECT 1"));
                QCOMPARE(f->status(), blank + "0 rows - Status code: 14 (Cannot open the database " +
                                          (typed.isEmpty() ? f->folder.path() + '/' : typed) + ": unable to open database file) - The query took: 0.000 second(s)");
            }
            for (const char *name : {":memory:", "file:m?mode=memory"}) {
                f->w->databaseEdit->setText(QString::fromLatin1(name));
                f->run(button, QStringLiteral("CREATE TABLE t(x)"));
                f->click(button);
                QCOMPARE(f->untimedStatus(), blank + "0 rows - Status code: 0 (Success)");
            }
            f->w->databaseEdit->setText(QStringLiteral("test.db"));
        }
        QVERIFY(QDir(f->folder.path()).isEmpty());
        // A time not above zero shows as zero; the window's clock cannot run backwards, so only here.
        QCOMPARE(FormatSeconds(-0.5f, QLocale()), QStringLiteral("0.000"));
    }

    // Stop during a statement that works before its first row, during a script of short
    // statements, and while rows flow; the next run is not stopped.
    void stop_data()
    {
        QTest::addColumn<bool>("exec");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("status");
        const QString count = numbers(100000000, QStringLiteral("count(*)"));
        const QString script = QStringLiteral("CREATE TABLE m(x);\r\n") +
                               QStringLiteral("INSERT INTO m VALUES(1);\r\n").repeated(20000);
        QTest::newRow("query count") << false << count << QueryCancelled;
        QTest::newRow("exec count") << true << count << QStringLiteral(" 0 rows - Status code: 9 (User cancelled)");
        QTest::newRow("query script") << false << script << QueryCancelled;
        QTest::newRow("exec script") << true << script << QStringLiteral(" 0 rows - Status code: 9 (User cancelled)");
        QTest::newRow("exec rows") << true << numbers(100000000) << " rows - Status code: 4 (" + Stopped + ')';
        // Too big for the editor; Stop in its last statement leaves the database as it was.
        QTest::newRow("query big transaction") << false << "BEGIN;\r\n" + script + count + ";\r\nCOMMIT;" << QueryCancelled;
    }
    void stop()
    {
        QFETCH(bool, exec);
        QFETCH(QString, sql);
        QFETCH(QString, status);
        QStringList disabled; // during the run
        QString statusDuringRun, statusAfterNestedClicks;
        QTimer::singleShot(150, [&] {
            disabled = f->disabledButtons();
            statusDuringRun = f->status();
            f->click(f->w->button(Button::RunQuery));  // a second start is refused,
            f->click(f->w->button(Button::Query2)); // and so is a canned query
            statusAfterNestedClicks = f->status();
            f->click(f->w->button(Button::Stop));
        });
        f->desktop.queueAnswer(MessageAnswer::No);
        f->desktop.setClipboardContents(sql);
        f->click(f->w->button(Button::Paste));
        f->click(exec ? f->w->button(Button::Exec) : f->w->button(Button::RunQuery));
        QCOMPARE(disabled, (QStringList{"&Load Script", "P&opulate", "Query &1", "D&rop", "&Exec"}));
        QCOMPARE(statusAfterNestedClicks, statusDuringRun);
        QCOMPARE(f->w->queryText(), sql);
        const QString line = f->untimedStatus();
        QVERIFY2(line.endsWith(status), qPrintable(line));
        if (line != status) { // stopped while rows flowed: those so far are kept
            const int rows = QLocale().toInt(line.sliced(1).section(QLatin1Char(' '), 0, 0));
            QVERIFY2(rows > 0, qPrintable(line));
            QCOMPARE(f->w->results().rowCount(), std::min(rows, 25000));
        }
        QVERIFY(f->idle());
        QVERIFY(!exec || f->state.StopRequested == false);
        if (sql.startsWith(QStringLiteral("CREATE"))) { // only part of the script ran
            f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT count(*) < 20000 FROM m"));
            QCOMPARE(f->rows(), QStringList{"1"});
        } else if (sql.startsWith(QStringLiteral("BEGIN"))) { // none of it
            f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT count(*) FROM sqlite_master UNION ALL SELECT * FROM pragma_integrity_check"));
            QCOMPARE(f->rows(), (QStringList{"0", "ok"}));
        }
        for (QPushButton *button : {f->w->button(Button::RunQuery), f->w->button(Button::Exec)}) {
            f->run(button, QStringLiteral("SELECT 42"));
            QCOMPARE(f->rows(), QStringList{"42"});
        }
    }

    // Stop in a script of statements that each take long in few engine steps, as one that waits
    // for the disk does (here a 4 MB random blob, 20 ms), ends within the grace of 100 ms and one
    // statement, not after a count of steps that such statements take many seconds to make.
    void stopEndsAScriptOfSlowStatementsInTime()
    {
        QElapsedTimer sinceStop;
        QTimer::singleShot(300, [&] { f->click(f->w->button(Button::Stop)); sinceStop.start(); });
        f->run(f->w->button(Button::Exec), "CREATE TABLE m(x);\r\n" +
                                    QStringLiteral("INSERT INTO m VALUES(length(randomblob(4000000)));\r\n").repeated(2000));
        const qint64 took = sinceStop.elapsed();
        QCOMPARE(f->untimedStatus(), QStringLiteral(" 0 rows - Status code: 9 (User cancelled)"));
        QVERIFY2(took < 1000, qPrintable(QString::number(took)));
    }

    // The engine gives no callbacks while it parses a long statement; the window answers all the
    // same: while the run is on, another connection can still take the write lock.
    void theWindowAnswersWhileALongStatementIsParsed()
    {
        QString insert = QStringLiteral("INSERT INTO p VALUES (0,'x')");
        for (int i = 1; i < 200000; ++i)
            insert += QStringLiteral(", (%1, 'x')").arg(i); // the engine looks for an interrupt at each space
        f->run(f->w->button(Button::RunQuery), QStringLiteral("CREATE TABLE p(a, b)"));
        f->desktop.setClipboardContents(insert);
        f->click(f->w->button(Button::Paste));
        int32_t other = 0;
        QCOMPARE(f->library.sqlite3_open_v2(f->path(QStringLiteral("test.db")).toUtf8(), other, KEST_OPEN_READWRITE, nullptr), 0);
        QElapsedTimer clock;
        qint64 run = std::numeric_limits<qint64>::max();
        for (QPushButton *button : {f->w->button(Button::RunQuery), f->w->button(Button::Exec)}) {
            bool running = false;
            int16_t lockTaken = -1;
            QTimer::singleShot(0, [&] {
                running = f->w->button(Button::Stop)->isEnabled();
                KestText error;
                lockTaken = f->library.sqlite_exec(other, "BEGIN IMMEDIATE; ROLLBACK", nullptr, nullptr, error);
            });
            clock.start();
            f->click(button);
            run = std::min(run, clock.elapsed());
            QVERIFY(running);
            QCOMPARE(lockTaken, 0);
            QVERIFY2(f->untimedStatus().endsWith(QStringLiteral("0 rows - Status code: 0 (Success)")), qPrintable(f->status()));
        }
        f->library.sqlite3_close(other);
        f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT count(*) FROM p"));
        QCOMPARE(f->rows(), QStringList{"400000"});

        // Exit ends the parse through the library: the call returns long before a parse would
        // end, and the database keeps nothing of the statement. (Exit ends the test's event
        // loops too, so this comes last.)
        f->click(f->w->button(Button::Paste));
        QTimer::singleShot(0, [&] { f->click(f->w->button(Button::Exit)); });
        clock.start();
        f->click(f->w->button(Button::RunQuery));
        QVERIFY2(clock.elapsed() < run / 4, qPrintable(QStringLiteral("%1 of %2 ms").arg(clock.elapsed()).arg(run)));
        QCOMPARE(f->library.sqlite3_open_v2(f->path(QStringLiteral("test.db")).toUtf8(), other, KEST_OPEN_READWRITE, nullptr), 0);
        KestTable table;
        KestText error;
        int16_t status = -1;
        f->library.sqlite_get_table(table, other, "SELECT count(*) FROM p UNION ALL SELECT * FROM pragma_integrity_check", error, status);
        QVERIFY(status == 0 && table && QByteArray(KEST_CELL(table.get(), 0, 1)) == "400000" && QByteArray(KEST_CELL(table.get(), 0, 2)) == "ok");
        f->library.sqlite3_close(other);
    }

    void clearEmptiesTheList()
    {
        f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT 1 AS a"));
        f->click(f->w->button(Button::Clear));
        QCOMPARE(f->w->results().rowCount(), 0);
        QCOMPARE(f->w->results().columnCount(), 0);
        QCOMPARE(f->status(), QStringLiteral(" Results window cleared"));
    }

    // An event that fails while a query runs ends the query and is reported; the window goes on.
    void aFailingEventEndsTheRunAndIsReported()
    {
        QTimer::singleShot(100, [] { throw std::runtime_error("window event failed"); });
        f->run(f->w->button(Button::RunQuery), numbers(100000000, QStringLiteral("count(*)")));
        QVERIFY2(f->status().contains(QStringLiteral("[window event failed]")), qPrintable(f->status()));
        QVERIFY(f->idle());
        f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT 42"));
        QCOMPARE(f->rows(), QStringList{"42"});
    }

    // Many columns show whole on both paths, each as wide as the wider of its header and its
    // widest cell; a Clear while Exec fills the list empties it for good, and the next run fills it.
    void wideResults()
    {
        QStringList columns;
        for (int c = 1; c <= 500; ++c)
            columns << QStringLiteral("substr('wwwwwwwwwwww', 1, i * %1 % 13) AS c%1").arg(c);
        QAbstractItemView *list = f->w->resultsView;
        const QHeaderView *header = f->w->resultsView->horizontalHeader();
        for (QPushButton *button : {f->w->button(Button::RunQuery), f->w->button(Button::Exec)}) {
            f->run(button, numbers(3, columns.join(QLatin1Char(','))));
            QCOMPARE(f->rows().last().split(QLatin1Char('|')).mid(497), (QStringList{"wwwwwwwwwwww", "ww", "wwwww"}));
            for (int c = 0; c < 500; ++c)
                QCOMPARE(header->sectionSize(c), std::max(list->sizeHintForColumn(c), header->sectionSizeHint(c)));
        }
        const auto clearWhileFilling = connect(f->w->statusBar, &QStatusBar::messageChanged, [&](const QString &text) {
            if (text.endsWith(QStringLiteral("please wait ...)")))
                QTimer::singleShot(0, [&] { f->click(f->w->button(Button::Clear)); });
        });
        f->run(f->w->button(Button::Exec), numbers(25000, columns.mid(0, 20).join(QLatin1Char(','))));
        disconnect(clearWhileFilling);
        QCOMPARE(f->untimedStatus(), QStringLiteral(" 25,000 rows - Status code: 0 (Success)"));
        QCOMPARE(f->w->results().rowCount() + f->w->results().columnCount(), 0);
        f->run(f->w->button(Button::Exec), numbers(2));
        QCOMPARE(f->rows(), (QStringList{"1", "2"}));
    }

    void theDisplayLimitIsAsked()
    {
        f->run(f->w->button(Button::Exec), numbers(25000));
        QCOMPARE(f->untimedStatus(), QStringLiteral(" 25,000 rows - Status code: 0 (Success)"));
        QCOMPARE(f->w->results().rowCount(), 25000);
        QVERIFY(f->desktop.messages().isEmpty());

        f->desktop.queueAnswer(MessageAnswer::No);
        f->run(f->w->button(Button::Exec), numbers(25001));
        QCOMPARE(f->untimedStatus(), QStringLiteral(" 25,001 rows - Status code: 0 (Success)"));
        QCOMPARE(f->w->results().rowCount(), 25000);
        QCOMPARE(f->rows().last(), QStringLiteral("25000"));
        QCOMPARE(f->desktop.messages().size(), 1);
        const ScriptedDesktop::Message &question = f->desktop.messages().first();
        QCOMPARE(question.prompt, "Only the first 25000 rows have been displayed to prevent system lockup\r\n\r\n"
                                  "You should consider refining your query (and avoid cross-joins)\r\n\r\n"
                                  "Would you like to save the rest in CSV format to: \r\n\r\n" +
                                      f->path(QStringLiteral("Kestrune-output.csv")));
        QCOMPARE(question.title, QStringLiteral("Demo"));
        QVERIFY(question.buttons == MessageButtons::YesNo && question.icon == MessageIcon::Question);
        const QString limitPrompt = question.prompt;
        QVERIFY(!QFile::exists(f->path(QStringLiteral("Kestrune-output.csv"))));
        QVERIFY(f->w->button(Button::Exec)->hasFocus());

        // Stopped past the limit: the status and the question say so, and Yes saves what was found.
        connect(f->w->statusBar, &QStatusBar::messageChanged, [&](const QString &text) {
            if (text.endsWith(QStringLiteral(" rows found")) && text.sliced(1).section(u' ', 0, 0).toInt() > 25000)
                f->click(f->w->button(Button::Stop));
        });
        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->run(f->w->button(Button::Exec), numbers(100000000));
        QCOMPARE(f->desktop.messages().at(1).prompt, "The query was stopped: these are only the rows found before the stop\r\n\r\n" + limitPrompt);
        QCOMPARE(f->file(QStringLiteral("Kestrune-output.csv")).count('\n'), QLocale().toInt(f->status().sliced(1).section(u' ', 0, 0)));
    }

    void bothPathsAndUnicodeSettingsGiveTheSameRows()
    {
        f->w->queryEdit->setPlainText(QStringLiteral("SELECT 'Motörhead' AS \"名前\", '東京' AS city, '😀' AS face"));
        for (const bool unicode : {false, true}) {
            if (f->w->unicodeBox->isChecked() != unicode)
                f->click(f->w->unicodeBox);
            QCOMPARE(f->state.UseUnicode, unicode);
            for (QPushButton *run : {f->w->button(Button::RunQuery), f->w->button(Button::Exec)}) {
                f->click(run);
                QCOMPARE(f->w->results().headerData(0, Qt::Horizontal).toString(), QStringLiteral("名前"));
                QCOMPARE(f->rows(), QStringList{QStringLiteral("Motörhead|東京|😀")});
            }
        }
    }

    void filesThatAreNotDatabasesOrAreLocked()
    {
        QFile junk(f->path(QStringLiteral("junk.db")));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write(QByteArray(4096, 'j')) == 4096);
        junk.close();
        f->w->databaseEdit->setText(QStringLiteral("junk.db"));
        f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT * FROM sqlite_master"));
        QCOMPARE(f->untimedStatus(), QStringLiteral("0 rows - Status code: 26 (file is not a database)"));
        f->click(f->w->button(Button::Exec));
        QCOMPARE(f->untimedStatus(), QStringLiteral(" 0 rows - Status code: 26 (file is not a database)"));
        QCOMPARE(f->file(QStringLiteral("junk.db")), QByteArray(4096, 'j'));

        // Another connection holds a write lock: both paths report busy.
        f->w->databaseEdit->setText(QStringLiteral("test.db"));
        f->run(f->w->button(Button::RunQuery), QStringLiteral("CREATE TABLE t(x)"));
        int32_t other = 0;
        QCOMPARE(f->library.sqlite3_open_v2(f->path(QStringLiteral("test.db")).toUtf8(), other, KEST_OPEN_READWRITE, nullptr), 0);
        KestText error;
        QCOMPARE(f->library.sqlite_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, error), 0);
        f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT * FROM t"));
        QCOMPARE(f->untimedStatus(), QStringLiteral("0 rows - Status code: 5 (database is locked)"));
        f->click(f->w->button(Button::Exec));
        QCOMPARE(f->untimedStatus(), QStringLiteral(" 0 rows - Status code: 5 (database is locked)"));
        f->library.sqlite3_close(other);
    }
};

KEST_TEST_CLASS(QueryTests);
#include "tst_Queries.moc"
