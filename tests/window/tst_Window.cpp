// The window itself: how it opens, its controls in focus order, the list following the window's
// size, the query window's keys, the clipboard and link buttons, and a missing library.

#include "WindowTest.h"

#include <QLibrary>
#include <QTableView>

#include <kestrune3.h>
#include <sqlite3.h>

using namespace kest;
using namespace kest::test;

class WindowTests : public QObject {
    Q_OBJECT
    std::unique_ptr<Window> f;

private slots:
    void init() { f = std::make_unique<Window>(); QVERIFY(f->start(QString())); }
    void cleanup() { QVERIFY(f->wroteNothingElsewhere()); }

    void opensReadyWithTheVersions()
    {
        MainWindow &w = *f->w;
        QCOMPARE(w.databaseEdit->text(), QStringLiteral("Albums.db"));
        QCOMPARE(w.queryEdit->toPlainText().section(QLatin1Char('\n'), 2),
                 QStringLiteral("Select * from <insert-table-name-here>"));
        QVERIFY(f->idle());
        QVERIFY(!w.unicodeBox->isChecked());
        QCOMPARE(f->state.UseUnicode, false);
        QVERIFY(w.resultsView->showGrid());
        QCOMPARE(QApplication::focusWidget(), w.button(Button::RunQuery));
        QCOMPARE(w.windowTitle(), QStringLiteral("Kestrune Tolvane Demo v1.04 - SQLite Version " SQLITE_VERSION " (") +
                                      QString::number(SQLITE_VERSION_NUMBER) + QLatin1Char(')'));
        // The compiler's version as major * 100 + minor, shown as "0#.00".
        const QString compiler = QStringLiteral("%1.%2").arg(__GNUC__, 2, 10, QLatin1Char('0')).arg(__GNUC_MINOR__, 2, 10, QLatin1Char('0'));
        const QString banner = f->status();
        QVERIFY2(banner.startsWith("   Kestrune.dll - Version: " KESTRUNE3_VERSION_STRING " - MSVC++ v" + compiler +
                                   ": Unknown compiler - [DLL Timestamp: ") && banner.endsWith(QLatin1Char(']')),
                 qPrintable(banner));
        QVERIFY(f->desktop.messages().isEmpty());
    }

    void aMissingLibraryOrFunctionIsReported_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("named");
        QTest::newRow("no library") << QStringLiteral("kest_library_that_is_not_there") << QString();
        QTest::newRow("no function") << QStringLiteral("libm.so.6") << QStringLiteral("kest_");
    }
    void aMissingLibraryOrFunctionIsReported()
    {
        QFETCH(QString, library);
        QFETCH(QString, named);
        QLibrary loader(library);
        if (named.isEmpty() && !loader.load())
            named = loader.errorString(); // the loader's own words
        ScriptedDesktop desktop;
        ProgramState state;
        KestruneBinding binding(library);
        QVERIFY(!openMainWindow(binding, desktop, state).window);
        QCOMPARE(desktop.messages().size(), 1);
        const ScriptedDesktop::Message &shown = desktop.messages().first();
        QVERIFY2(shown.prompt.contains(named), qPrintable(shown.prompt));
        QVERIFY(shown.buttons == MessageButtons::Ok && shown.icon == MessageIcon::Critical);
    }

    // What Tab visits, from Run Query round to Run Query: buttons by caption, others by name.
    void controlsInFocusOrder()
    {
        QStringList visited;
        for (QWidget *at = f->w->button(Button::RunQuery); visited.size() < 30;) {
            const auto *button = qobject_cast<QAbstractButton *>(at);
            visited << (button ? button->text() + QLatin1Char('|') + button->toolTip() : at->objectName());
            at = at->nextInFocusChain();
            while (!(at->focusPolicy() & Qt::TabFocus) || !at->isVisible())
                at = at->nextInFocusChain();
            if (at == f->w->button(Button::RunQuery))
                break;
        }
        QCOMPARE(visited, (QStringList{
                              "Run &Query|Run the query in the window using sqlite_get_table (CROSS JOINs may hang your PC for a long time!)",
                              "&Exec|Run the query in the window using sqlite3_exec (Safe for CROSS JOINs)",
                              "&Stop|Stop a query which is running ", "&DB Info|Show database information and table names",
                              "&Explain|Explain (Decompile) the current SQL statement", "&Clear|Clear the results list",
                              "&Copy|Copy query to the clipboard", "&Paste|Paste the clipboard into the query window",
                              "P&opulate|Create and populate a demo database", "Query &1|Query the demo database",
                              "Query &2|Query the demo database", "D&rop|Drop the demo tables (USE WITH CAUTION)",
                              "lvResults", ">>>|", "Text1", "Text2", "&Load Script|Load an SQL text file to the interface",
                              "&Save Script|Save the current SQL script to file", "Unicode|Turn Unicode (UTF-16) support On or Off",
                              "&Website|Visit the website of this demo's author",
                              "&SQLite|Visit the SQLite website at sqlite.org ", "&Exit|"}));
    }

    // The list keeps its margins to the window's right and bottom edges as the window grows and
    // shrinks; a window too small for the margins leaves that dimension until it is larger again.
    void theListFollowsTheWindow()
    {
        const std::pair<QSize, QSize> steps[] = {{{900, 700}, {877, 477}}, {{1200, 500}, {1177, 277}},
                                                 {{720, 480}, {697, 257}}, {{600, 200}, {577, 257}},
                                                 {{697, 430}, {674, 207}}};
        for (const auto &[outer, list] : steps) {
            f->w->resize(outer);
            QTRY_COMPARE(f->w->size(), outer);
            QCOMPARE(f->w->resultsView->size(), list);
        }
    }

    void queryWindowTextKeepsItsCharactersOnTheClipboard()
    {
        const QString text = QStringLiteral("SELECT 'a\u00a0b'\nFROM t");
        const QString crlf = QStringLiteral("SELECT 'a\u00a0b'\r\nFROM t");
        f->w->queryEdit->setPlainText(text);
        f->w->queryEdit->setFocus();
        QTest::keyClick(f->w->queryEdit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(f->w->queryEdit, Qt::Key_C, Qt::ControlModifier);
        f->click(f->w->button(Button::Copy)); // Copy
        QCOMPARE(f->desktop.clipboardWrites(), (QStringList{crlf, crlf}));
        f->desktop.setClipboardContents(QStringLiteral("SELECT 2\r\nFROM u"));
        f->click(f->w->button(Button::Paste)); // Paste replaces the whole text
        QCOMPARE(f->w->queryText(), QStringLiteral("SELECT 2\r\nFROM u"));
    }

    void selectedRowsCopyWithTheirColumnNames()
    {
        f->w->databaseEdit->setText(QStringLiteral("test.db"));
        const QString b(1500, QLatin1Char('b')); // longer than the header shows: copied whole
        f->run(f->w->button(Button::RunQuery), "SELECT 1 AS a, 'x\ty' AS " + b + " UNION ALL SELECT 2, '\"q' UNION ALL SELECT 3, 'z'");
        QTableView *list = f->w->resultsView;
        // A report-style row: one line of the list's font and a small margin.
        QVERIFY(list->rowHeight(0) >= list->fontMetrics().height() && list->rowHeight(0) <= list->fontMetrics().height() + 6);
        // Row 3 clicked, then row 1 added with Ctrl: copied in the list's order.
        const ResultsModel &model = f->w->results();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(model.index(2, 1)).center());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, list->visualRect(model.index(0, 0)).center());
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(f->desktop.clipboardWrites(), (QStringList{"a\t" + b + "\r\n1\t\"x\ty\"\r\n3\tz\r\n",
                                                            "a\t" + b + "\r\n1\t\"x\ty\"\r\n2\t\"\"\"q\"\r\n3\tz\r\n"}));
    }

    void linksAndTheUnicodeBox()
    {
        f->click(f->w->button(Button::Sqlite));
        f->click(f->w->button(Button::Website));
        QCOMPARE(f->desktop.urls().size(), 2);
        QCOMPARE(f->desktop.urls()[0].target, QStringLiteral("https://sqlite.org/"));
        QVERIFY2(f->desktop.urls()[1].target.endsWith(QStringLiteral("/README.md")), qPrintable(f->desktop.urls()[1].target));
        QVERIFY(f->desktop.urls()[0].showCode == 1 && f->desktop.urls()[1].showCode == 1);
        f->click(f->w->unicodeBox);
        QCOMPARE(f->state.UseUnicode, true);
        QCOMPARE(f->library.SetUnicodeConversion(0), 1); // the library was switched on too
    }
};

KEST_TEST_CLASS(WindowTests);
#include "tst_Window.moc"
