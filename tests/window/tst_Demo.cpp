// The demonstration database through the real buttons: Populate, Drop and the canned queries,
// the data checked as the user sees it in the list.

#include "WindowTest.h"

#include <QCryptographicHash>
#include <QTimer>

using namespace kest;
using namespace kest::test;

namespace {

const QString Populated = QStringLiteral("Successfully created tables and inserted Artist and CDs data: ");
const QString Dropped = QStringLiteral("Successfully dropped Artists and CDs tables");

// The example query's text, as Populate leaves it in the query window.
const QString ExampleQuery = QStringLiteral("SELECT t1.ArtistName,CDs.Title,CDs.date \n"
                                            "FROM Artists t1, CDs\n"
                                            "WHERE t1.ArtistID = CDs.ArtistID AND Artistname LIKE '%wr%'\n"
                                            "ORDER BY Date;");

QByteArray digest(const QStringList &rows)
{
    return QCryptographicHash::hash(rows.join(QLatin1Char('\n')).toUtf8(), QCryptographicHash::Sha1).toHex();
}

} // namespace

class DemoTests : public QObject {
    Q_OBJECT
    std::unique_ptr<Window> f;

    void answerAndClick(MessageAnswer answer, QPushButton *button)
    {
        f->desktop.queueAnswer(answer);
        f->click(button);
    }

private slots:
    void init() { f = std::make_unique<Window>(); QVERIFY(f->start(QStringLiteral("Albums.db"))); }
    void cleanup() { QVERIFY(f->wroteNothingElsewhere()); }

    void populateFillsTheTablesAndShowsTheExample()
    {
        QStringList disabled{"<no run>"}; // while it runs: Stop enabled, no button disabled
        QTimer::singleShot(0, [&] { disabled = f->disabledButtons(); });
        answerAndClick(MessageAnswer::Yes, f->w->button(Button::Populate));
        QCOMPARE(disabled, QStringList{});
        QCOMPARE(f->desktop.messages().size(), 1);
        const ScriptedDesktop::Message &question = f->desktop.messages().first();
        QCOMPARE(question.prompt, QStringLiteral("Do you want to create the Artists and CDs tables in the current database"));
        QCOMPARE(question.title, QStringLiteral("About to create new tables"));
        QVERIFY(question.buttons == MessageButtons::YesNo && question.icon == MessageIcon::None);
        QCOMPARE(f->untimedStatus(), Populated);
        QCOMPARE(f->w->queryEdit->toPlainText(), ExampleQuery);
        QCOMPARE(f->rows(), (QStringList{"Wraith|Naked Agression|1989", "Wraith|Riot|1993", "Wraith|Schizophrenia|1996",
                                        "Wraith|Evolution|2007"}));
        QVERIFY(QFile::exists(f->path(QStringLiteral("Albums.db"))));

        // Every artist and album as Query 1 lists them, by artist and newest first. The digest
        // stands for the 204 rows, odd spellings and the blank after "United Abominations" included.
        f->click(f->w->button(Button::Query1));
        QCOMPARE(f->untimedStatus(), QStringLiteral("204 rows - Status code: 0 (OK)"));
        QCOMPARE(f->rows().first(), QStringLiteral("All About Eve|Ultraviolet|1992"));
        QCOMPARE(f->rows().at(200), QStringLiteral("Yes|Fragile|1971"));
        QCOMPARE(digest(f->rows()), QByteArray("38e2e5793e175a06c51e0b87de1c52adc43096b4"));
        // Both tables as Populate filled them, ids included.
        f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT ArtistID, ArtistName, NULL, NULL FROM Artists "
                                              "UNION ALL SELECT CDID, ArtistID, Title, Date FROM CDs"));
        QCOMPARE(f->rows().size(), 230);
        QCOMPARE(digest(f->rows()), QByteArray("e51b182065b07800e19e07d3545deeb019c7e3ba"));

        f->click(f->w->button(Button::Query2)); // Query 2: every artist with every album
        QCOMPARE(f->untimedStatus(), QStringLiteral("5,304 rows - Status code: 0 (OK)"));
        f->click(f->w->button(Button::DbInfo)); // DB Info
        QCOMPARE(f->w->results().rowCount(), 2);
        QCOMPARE(f->w->queryEdit->toPlainText().section(QLatin1Char('\n'), -1), QStringLiteral("SELECT * FROM sqlite_master"));
        f->click(f->w->button(Button::Explain)); // Explain of DB Info's statement
        QVERIFY(f->w->queryEdit->toPlainText().endsWith(QStringLiteral("\nEXPLAIN -- SELECT name FROM sqlite_master WHERE type = 'table'\n"
                                                                "-- SELECT * FROM CDs,Artists -- to CROSS JOIN (cartesian product)\n"
                                                                "-- SELECT * FROM SELECT name FROM sqlite_master WHERE type = 'table'\n"
                                                                "SELECT * FROM sqlite_master")));
        QVERIFY(f->w->results().rowCount() > 0);

        // A second Populate adds every row again; the example then shows each album twice.
        answerAndClick(MessageAnswer::Yes, f->w->button(Button::Populate));
        QCOMPARE(f->rows().size(), 8);
        QCOMPARE(f->rows().at(1), QStringLiteral("Wraith|Naked Agression|1989"));
    }

    void noOrNoNameLeaveEverythingAsItWas()
    {
        f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT 1 AS a"));
        const QString status = f->status();
        answerAndClick(MessageAnswer::No, f->w->button(Button::Populate));
        f->w->databaseEdit->clear();
        f->click(f->w->button(Button::Populate));
        QCOMPARE(f->desktop.messages().size(), 2);
        QCOMPARE(f->desktop.messages().at(1).prompt,
                 QStringLiteral("No SQLite database specified - please select one or type in a new name"));
        QCOMPARE(f->status(), status);
        QCOMPARE(f->rows(), QStringList{"1"});
        QCOMPARE(f->w->queryEdit->toPlainText(), QStringLiteral("SELECT 1 AS a"));
    }

    void dropRemovesBothTables()
    {
        answerAndClick(MessageAnswer::Yes, f->w->button(Button::Populate));
        answerAndClick(MessageAnswer::Yes, f->w->button(Button::Drop));
        const ScriptedDesktop::Message &question = f->desktop.messages().at(1);
        QCOMPARE(question.prompt, QStringLiteral("Do you want to drop (delete) the Artists and CDs tables"));
        QCOMPARE(question.title, QStringLiteral("WARNING: About to delete data"));
        QCOMPARE(f->untimedStatus(), Dropped);
        QCOMPARE(f->w->results().rowCount(), 0);
        f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT count(*) FROM sqlite_master"));
        QCOMPARE(f->rows(), QStringList{"0"});
        answerAndClick(MessageAnswer::Yes, f->w->button(Button::Drop)); // nothing left to drop is no failure
        QCOMPARE(f->untimedStatus(), Dropped);
    }

    void anUnopenableDatabaseFailsBothCommands()
    {
        f->w->databaseEdit->setText(f->folder.path() + QLatin1Char('/'));
        answerAndClick(MessageAnswer::Yes, f->w->button(Button::Populate));
        QCOMPARE(f->untimedStatus(), QStringLiteral("Failed to create a new table or add some data to the Artists or CDs table: "));
        answerAndClick(MessageAnswer::Yes, f->w->button(Button::Drop));
        QCOMPARE(f->untimedStatus(), QStringLiteral("Failed to drop at at least 1 table: "));
    }
};

KEST_TEST_CLASS(DemoTests);
#include "tst_Demo.moc"
