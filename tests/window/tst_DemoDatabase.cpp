// Populate, Drop and the canned queries through the real buttons, over the real library, with the
// database checked afterwards through the library itself.

#include "DemoData.h"
#include "DemoQueries.h"
#include "RealWindowFixture.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>

using namespace kest;
using namespace kest::test;

namespace {

const QString PopulatedText = QStringLiteral("Successfully created tables and inserted Artist and CDs data: ");
const QString PopulateFailedText =
    QStringLiteral("Failed to create a new table or add some data to the Artists or CDs table: ");
const QString DroppedText = QStringLiteral("Successfully dropped Artists and CDs tables");
const QString DropFailedText = QStringLiteral("Failed to drop at at least 1 table: ");
const QString NoTime = QStringLiteral(" - The query took: 0.000 second(s)");

void compareMessage(const ScriptedDesktop::Message &m, const QString &prompt, const QString &title,
                    MessageButtons buttons, MessageIcon icon)
{
    QCOMPARE(m.prompt, prompt);
    QCOMPARE(m.title, title);
    QVERIFY(m.buttons == buttons);
    QVERIFY(m.icon == icon);
}

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Runs `sql` on an existing database through the library; each row's cells joined by '|'. A
// failure comes back as a single row that no check expects.
QStringList rowsOf(KestruneBinding &library, const QString &path, const QString &sql,
                   int32_t flags = KEST_OPEN_READWRITE)
{
    int32_t handle = 0;
    const int16_t open = library.sqlite3_open_v2(path.toUtf8(), handle, flags, nullptr);
    if (open != 0)
        return {QStringLiteral("<open failed: %1>").arg(open)};
    KestTable table;
    KestText error;
    int16_t status = 0;
    library.sqlite_get_table(table, handle, sql.toUtf8(), error, status);
    QStringList rows;
    if (status != 0) {
        rows << QStringLiteral("<status %1: %2>").arg(status).arg(toQString(error));
    } else if (table) {
        for (int32_t r = 1; r < table->row_count; ++r) {
            QStringList cells;
            for (int32_t c = 0; c < table->column_count; ++c)
                cells << QString::fromUtf8(KEST_CELL(table, c, r));
            rows << cells.join(QLatin1Char('|'));
        }
    }
    library.sqlite3_close(handle);
    return rows;
}

// The artists in ArtistID order as they should stand from `firstId` on, one copy of the data.
QStringList expectedArtists(int firstId)
{
    QStringList rows;
    for (std::size_t i = 0; i < DemoArtists.size(); ++i)
        rows << QString::number(firstId + static_cast<int>(i)) + QLatin1Char('|') + text(DemoArtists[i]);
    return rows;
}

QStringList expectedCDs(int firstId)
{
    QStringList rows;
    for (std::size_t i = 0; i < DemoCDs.size(); ++i) {
        const DemoCD &cd = DemoCDs[i];
        rows << QStringLiteral("%1|%2|%3|%4")
                    .arg(firstId + static_cast<int>(i))
                    .arg(cd.artistId)
                    .arg(text(cd.title), text(cd.date));
    }
    return rows;
}

QString artistOf(const DemoCD &cd)
{
    return text(DemoArtists[static_cast<std::size_t>(cd.artistId - 1)]);
}

// What the example query should show on one copy of the data: the albums of every artist whose
// name holds "wr" in any case, by year.
QStringList expectedExampleRows()
{
    QList<const DemoCD *> cds;
    for (const DemoCD &cd : DemoCDs)
        if (artistOf(cd).contains(QLatin1String("wr"), Qt::CaseInsensitive))
            cds << &cd;
    std::stable_sort(cds.begin(), cds.end(), [](const DemoCD *a, const DemoCD *b) { return a->date < b->date; });
    QStringList rows;
    for (const DemoCD *cd : cds)
        rows << artistOf(*cd) + QLatin1Char('|') + text(cd->title) + QLatin1Char('|') + text(cd->date);
    return rows;
}

QStringList listRows(ResultsModel &list)
{
    QStringList rows;
    for (int r = 0; r < list.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < list.columnCount(); ++c)
            cells << list.cellText(r, c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

const QString ArtistsInOrder = QStringLiteral("SELECT ArtistID, ArtistName FROM Artists ORDER BY ArtistID");
const QString CDsInOrder = QStringLiteral("SELECT CDID, ArtistID, Title, Date FROM CDs ORDER BY CDID");
const QString DemoTables =
    QStringLiteral("SELECT name FROM sqlite_master WHERE name IN ('Artists', 'CDs') ORDER BY name");
const QStringList BothTables{QStringLiteral("Artists"), QStringLiteral("CDs")};

} // namespace

class DemoDatabaseTests : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        // The commands must not care where the program was started from: run them elsewhere.
        savedCurrent = QDir::currentPath();
        QVERIFY(otherCurrent.isValid());
        QVERIFY(QDir::setCurrent(otherCurrent.path()));
        f = std::make_unique<RealWindowFixture>();
        QVERIFY(f->start());
        QCOMPARE(f->window->Text1->text(), QStringLiteral("Albums.db"));
        albums = f->inFolder(QStringLiteral("Albums.db"));
    }
    void cleanup()
    {
        f.reset();
        QDir::setCurrent(savedCurrent);
    }

    void populateCreatesFillsAndShowsTheExample()
    {
        // A wider earlier result, from another file, must not remain beside the example's.
        f->window->Text1->setText(QStringLiteral("other.db"));
        f->type(QStringLiteral("SELECT 'earlier' AS a, 2 AS b, 3 AS c, 4 AS d"));
        f->click(f->window->Command1);
        f->window->Text1->setText(QStringLiteral("Albums.db"));
        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->click(f->window->Command9);

        QCOMPARE(f->desktop.messages().size(), 1);
        compareMessage(f->desktop.messages()[0],
                       QStringLiteral("Do you want to create the Artists and CDs tables in the current database"),
                       QStringLiteral("About to create new tables"), MessageButtons::YesNo, MessageIcon::None);
        compareStatus(f->status(), PopulatedText);

        // A bare name is a file in the program's folder, whatever the current directory.
        QVERIFY(QFile::exists(albums));
        QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("Albums.db"))));
        QCOMPARE(rowsOf(f->library, albums, ArtistsInOrder), expectedArtists(1));
        QCOMPARE(rowsOf(f->library, albums, CDsInOrder), expectedCDs(1));

        QCOMPARE(f->window->queryText(), QString(ExampleQuerySql));
        ResultsModel &list = f->window->results();
        QCOMPARE(list.columnCount(), 3);
        const QStringList example = listRows(list);
        QCOMPARE(example, expectedExampleRows());
        QCOMPARE(example.size(), 4);
        for (const QString &row : example)
            QVERIFY2(row.startsWith(QStringLiteral("Wraith|")), qPrintable(row));
    }

    void aSecondPopulateDoublesEveryRow()
    {
        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->click(f->window->Command9);
        f->click(f->window->Command9);
        compareStatus(f->status(), PopulatedText);
        QCOMPARE(rowsOf(f->library, albums, ArtistsInOrder), expectedArtists(1) + expectedArtists(27));
        // The second copy of the CDs keeps the artist ids of the first copy of the artists.
        QCOMPARE(rowsOf(f->library, albums, CDsInOrder), expectedCDs(1) + expectedCDs(205));
        // So the example shows every album twice, and only the first list's rows are gone.
        QStringList twice;
        for (const QString &row : expectedExampleRows())
            twice << row << row;
        QCOMPARE(listRows(f->window->results()), twice);
    }

    void noAndAnEmptyBoxLeavePopulateWithoutAnEffect()
    {
        // Something in the list, the query window and the status line that must all stay.
        f->window->Text1->setText(QStringLiteral("other.db"));
        f->type(QStringLiteral("SELECT 1 AS a"));
        f->click(f->window->Command1);
        const QString statusBefore = f->status();
        const QString queryBefore = f->window->queryText();

        f->window->Text1->setText(QStringLiteral("Albums.db"));
        f->desktop.queueAnswer(MessageAnswer::No);
        f->click(f->window->Command9);
        QCOMPARE(f->desktop.messages().size(), 1);
        QCOMPARE(f->desktop.messages()[0].title, QStringLiteral("About to create new tables"));

        f->window->Text1->setText(QString());
        f->click(f->window->Command9);
        QCOMPARE(f->desktop.messages().size(), 2);
        compareMessage(f->desktop.messages()[1],
                       QStringLiteral("No SQLite database specified - please select one or type in a new name"),
                       QString(), MessageButtons::Ok, MessageIcon::None);

        QCOMPARE(f->status(), statusBefore);
        QCOMPARE(f->window->queryText(), queryBefore);
        QCOMPARE(listRows(f->window->results()), QStringList{QStringLiteral("1")});
        QVERIFY(!QFile::exists(albums));

        // Only empty text counts as empty: blanks are a name, and the question comes.
        f->window->Text1->setText(QStringLiteral("  "));
        f->click(f->window->Command9); // unanswered: No
        QCOMPARE(f->desktop.messages().size(), 3);
        QCOMPARE(f->desktop.messages()[2].title, QStringLiteral("About to create new tables"));
    }

    void anUnopenableDatabaseEndsBothCommandsWithTheirFailureText()
    {
        f->window->Text1->setText(f->programFolder.path() + QStringLiteral("/"));
        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->click(f->window->Command9);
        compareStatus(f->status(), PopulateFailedText);
        // The example query is still put in place; it only cannot run.
        QCOMPARE(f->window->queryText(), QString(ExampleQuerySql));

        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->click(f->window->Command10);
        compareStatus(f->status(), DropFailedText);
    }

    void stopDuringTheCDsScriptFailsThatStepAndStillRunsTheExample()
    {
        // A prepared CDs table (kept, since the CREATE says IF NOT EXISTS) whose first insert
        // from the script burns time, so Stop finds the CDs script inside the engine.
        const QString prepare = QStringLiteral(
            "CREATE TABLE CDs (CDID INTEGER PRIMARY KEY, ArtistID INTEGER NOT NULL, Title TEXT NOT NULL, Date TEXT);"
            "INSERT INTO CDs VALUES (NULL, 11, 'Prepared', '2000');"
            "CREATE TRIGGER slow BEFORE INSERT ON CDs WHEN (SELECT count(*) FROM CDs) = 1 "
            "BEGIN SELECT count(*) FROM (WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
            "SELECT i + 1 FROM n WHERE i < 30000000) SELECT i FROM n); END");
        const QStringList prepared = rowsOf(f->library, albums, prepare, KEST_OPEN_READWRITE | KEST_OPEN_CREATE);
        QVERIFY2(prepared.isEmpty(), qPrintable(prepared.join(QLatin1Char('\n'))));

        frmMain &w = *f->window;
        bool sawCDsStep = false;
        int messagesDuringRun = -1;
        bool stopEnabledDuringRun = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            // Only the burning insert runs the 20,000 engine steps that the first progress text needs.
            if (f->status() == QStringLiteral("Inserting CDs data (this may take a while) ...") ||
                f->status().startsWith(QStringLiteral("Searching *")))
                sawCDsStep = true;
            if (!sawCDsStep)
                return;
            poll.stop();
            QTimer::singleShot(150, [&] {
                f->desktop.queueAnswer(MessageAnswer::Yes);
                f->click(w.Command9); // nested starts are refused without a question
                f->click(w.Command10);
                f->click(w.Command11);
                messagesDuringRun = static_cast<int>(f->desktop.messages().size());
                stopEnabledDuringRun = w.Command14->isEnabled();
                f->click(w.Command14);
            });
        });
        poll.start(5);
        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->click(w.Command9);
        poll.stop();

        QVERIFY(sawCDsStep);
        QCOMPARE(messagesDuringRun, 1);
        QVERIFY(stopEnabledDuringRun);
        QVERIFY(!w.Command14->isEnabled()); // idle again
        compareStatus(f->status(), PopulateFailedText);
        // The stopped script left nothing behind; the steps before it and the example after it ran.
        QCOMPARE(rowsOf(f->library, albums, QStringLiteral("SELECT count(*) FROM CDs")),
                 QStringList{QStringLiteral("1")});
        QCOMPARE(rowsOf(f->library, albums, ArtistsInOrder), expectedArtists(1));
        QCOMPARE(w.queryText(), QString(ExampleQuerySql));
        QCOMPARE(listRows(w.results()), QStringList{QStringLiteral("Wraith|Prepared|2000")});
    }

    void dropRemovesBothTablesAndEmptiesTheList()
    {
        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->click(f->window->Command9);
        QVERIFY(f->window->results().rowCount() > 0);
        QCOMPARE(rowsOf(f->library, albums, DemoTables), BothTables);

        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->click(f->window->Command10);
        QCOMPARE(f->desktop.messages().size(), 2);
        compareMessage(f->desktop.messages()[1],
                       QStringLiteral("Do you want to drop (delete) the Artists and CDs tables"),
                       QStringLiteral("WARNING: About to delete data"), MessageButtons::YesNo, MessageIcon::None);
        compareStatus(f->status(), DroppedText);
        QCOMPARE(rowsOf(f->library, albums, DemoTables), QStringList());
        QCOMPARE(f->window->results().rowCount(), 0);
        QCOMPARE(f->window->results().columnCount(), 0);
        QCOMPARE(f->window->queryText(), QString(ExampleQuerySql)); // Drop leaves the query window alone

        // Neither table left: dropping again succeeds all the same.
        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->click(f->window->Command10);
        compareStatus(f->status(), DroppedText);
        QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("Albums.db"))));
    }

    void dropWithAnEmptyBoxOrNoOnlyAppendsNoTime()
    {
        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->click(f->window->Command9);
        f->type(QStringLiteral("SELECT 1 AS a"));
        f->click(f->window->Command1);
        const QString before = f->status();

        f->desktop.queueAnswer(MessageAnswer::No);
        f->click(f->window->Command10);
        QCOMPARE(f->desktop.messages().size(), 2);
        QCOMPARE(f->desktop.messages()[1].title, QStringLiteral("WARNING: About to delete data"));
        QCOMPARE(f->status(), before + NoTime);
        QCOMPARE(rowsOf(f->library, albums, DemoTables), BothTables);
        QCOMPARE(f->window->results().rowCount(), 1);

        f->window->Text1->setText(QString());
        f->click(f->window->Command10);
        QCOMPARE(f->desktop.messages().size(), 3);
        compareMessage(f->desktop.messages()[2], QStringLiteral("No database table specified"),
                       QStringLiteral("SQLite Database Required"), MessageButtons::Ok, MessageIcon::Critical);
        QCOMPARE(f->status(), before + NoTime + NoTime);
        QCOMPARE(rowsOf(f->library, albums, DemoTables), BothTables);
        QCOMPARE(f->window->results().rowCount(), 1);
    }

    void cannedQueriesReadThePopulatedDatabase()
    {
        f->desktop.queueAnswer(MessageAnswer::Yes);
        f->click(f->window->Command9);
        ResultsModel &list = f->window->results();

        f->click(f->window->Command11); // Query 1
        QCOMPARE(f->window->queryText(), QString(Query1Sql));
        compareStatus(f->status(), QStringLiteral("204 rows - Status code: 0 (OK)"));
        QCOMPARE(list.rowCount(), static_cast<int>(DemoCDs.size()));
        QCOMPARE(list.columnCount(), 3);
        int timeAndAWord = 0;
        for (int r = 0; r < list.rowCount(); ++r) {
            if (list.cellText(r, 1) == QStringLiteral("Time and a Word"))
                ++timeAndAWord;
            if (r == 0)
                continue;
            const QString previousArtist = list.cellText(r - 1, 0), artist = list.cellText(r, 0);
            const bool newerFirst = list.cellText(r - 1, 2) >= list.cellText(r, 2);
            QVERIFY2(previousArtist < artist || (previousArtist == artist && newerFirst),
                     qPrintable(QStringLiteral("row %1: %2").arg(r).arg(artist)));
        }
        QCOMPARE(timeAndAWord, static_cast<int>(std::count_if(DemoCDs.begin(), DemoCDs.end(), [](const DemoCD &cd) {
                     return cd.title == "Time and a Word";
                 })));
        QCOMPARE(timeAndAWord, 2);

        f->click(f->window->Command16); // Query 2
        QCOMPARE(f->window->queryText(), QString(Query2Sql));
        compareStatus(f->status(), QStringLiteral("5,304 rows - Status code: 0 (OK)"));
        QCOMPARE(list.rowCount(), static_cast<int>(DemoArtists.size() * DemoCDs.size()));
        QStringList headers;
        for (int c = 0; c < list.columnCount(); ++c)
            headers << list.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, (QStringList{QStringLiteral("ArtistID"), QStringLiteral("ArtistName"), QStringLiteral("CDID"),
                                       QStringLiteral("ArtistID"), QStringLiteral("Title"), QStringLiteral("Date")}));

        f->click(f->window->Command13); // DB Info
        QCOMPARE(f->window->queryText(), QString(DbInfoSql));
        compareStatus(f->status(), QStringLiteral("2 rows - Status code: 0 (OK)"));
        QStringList names{list.cellText(0, 1), list.cellText(1, 1)};
        names.sort();
        QCOMPARE(names, BothTables);

        f->click(f->window->Command18); // Explain: the opcode listing of DB Info's query
        QCOMPARE(f->window->queryText(), ExplainSql(QString(DbInfoSql)));
        QVERIFY(list.rowCount() > 0);
        f->click(f->window->Command18); // EXPLAIN EXPLAIN: the engine rejects it
        static const QRegularExpression engineError(
            QStringLiteral("^0 rows - Status code: 1 \\(.+\\) - The query took: \\d+\\.\\d{3} second\\(s\\)$"));
        QVERIFY2(engineError.match(f->status()).hasMatch(), qPrintable(f->status()));
    }

private:
    std::unique_ptr<RealWindowFixture> f;
    QString albums;
    QTemporaryDir otherCurrent;
    QString savedCurrent;
};

KEST_REGISTER_TEST(DemoDatabaseTests);
#include "tst_DemoDatabase.moc"
