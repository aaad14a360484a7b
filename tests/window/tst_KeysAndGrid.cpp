// What people who work in SQL tools reach for first: the run and stop keys, the viewer of a
// whole cell, rows copied in other formats and read back by parsers of their own, the query
// window's colours, and files dropped on the window. The budget is that of the copy tests.

#include "CellViewer.h"
#include "ResultsCopy.h"
#include "WindowTest.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QStringEncoder>
#include <QTableView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

using namespace kest;
using namespace kest::test;

namespace {

const QString CountToMillions = QStringLiteral(
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000000) SELECT count(*) FROM n");

// One value a row, and the engine's type of it.
const QString Values = QStringLiteral(
    "SELECT column1 AS \"va\"\"l | ue\", typeof(column1) AS type FROM (VALUES (1), (-7), (9223372036854775807), "
    "(1.5), (-0.25), (1e20), (1e-7), ('007'), ('1.50'), ('Inf'), ('say \"hi\", then | go'), "
    "('line' || char(13, 10) || 'two \\| *b* _c_ `d` [e] <f> &amp; ~g~'), ('it''s'), ('   '), (char(9) || ' a b '), ('http://x.y/?a=1&b=2_c'), ('www.x.y/*a*'), (NULL), (x'00ff'), ('\u00fcn\u00ef \u20ac\U0001F600'), "
    // and those hard to read back: the engine reads the first real's shortest digits and the third's 17 one bit off
    "(''), (-9223372036854775808), (-6.7939215317041866), (0.30000000000000004), (3.4957560566615824e-308), (5e-324), (-0.0), (1e999), "
    "(-1e999), (1.7976931348623157e308), ('1.0e+15'), ('-0.0'), ('X''AB'''), ('42'), (x'41'), (x'610062'), (x''))");

// One letter a character of the block: k keyword (bold), c comment (italic), s string (red),
// n number (purple), "." none.
QString colours(const QTextBlock &block)
{
    QString kinds(block.length() - 1, u'.');
    for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
        const QColor c = range.format.foreground().color();
        const QChar kind = range.format.fontWeight() == QFont::Bold ? u'k'
                           : range.format.fontItalic()             ? u'c'
                           : c.red() > c.blue()                    ? u's'
                                                                   : u'n';
        kinds.replace(range.start, range.length, QString(range.length, kind));
    }
    return kinds;
}

} // namespace

class KeysAndGridTests : public QObject {
    Q_OBJECT
    std::unique_ptr<Window> f;

    void copyAs(const QString &action)
    {
        for (QAction *a : f->w->resultsView->actions())
            if (a->text() == action)
                a->trigger();
    }
    bool drop(QWidget *on, const QString &path) { return drop(on, QList<QUrl>{QUrl::fromLocalFile(path)}); }
    bool drop(QWidget *on, const QList<QUrl> &urls)
    {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter({5, 5}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        // Shift proposes a move, which a drop must never take: the file's owner would delete it.
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ShiftModifier);
        return QApplication::sendEvent(on, &enter) && QApplication::sendEvent(on, &dropped) &&
               dropped.dropAction() == Qt::CopyAction;
    }

private slots:
    void initTestCase() { qputenv("KESTRUNE_MEMORY_LIMIT", "250M"); }
    void init() { f = std::make_unique<Window>(); QVERIFY(f->start()); }
    void cleanup() { QVERIFY(f->wroteNothingElsewhere()); }

    void keysRunAndStopFromAnywhere()
    {
        MainWindow &w = *f->w;
        const std::tuple<QWidget *, Qt::Key, Qt::KeyboardModifiers, QString> presses[] = {
            {w.queryEdit, Qt::Key_Return, Qt::ControlModifier, "1 rows - Status code: 0 (OK)"},
            {w.databaseEdit, Qt::Key_F5, {}, "1 rows - Status code: 0 (OK)"},
            {w.resultsView, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier, "1 rows - Status code: 0 (OK)"},
            {w.button(Button::Populate), Qt::Key_F5, Qt::ShiftModifier, " 1 rows - Status code: 0 (Success)"},
            {w.queryEdit, Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier, " 1 rows - Status code: 0 (Success)"}};
        w.queryEdit->setPlainText(QStringLiteral("SELECT 1"));
        for (const auto &[at, key, modifiers, status] : presses) {
            f->click(w.button(Button::Clear)); // Clear, whose status line is its own
            at->setFocus();
            QTest::keyClick(at, key, modifiers);
            QCOMPARE(f->untimedStatus(), status);
        }
        QCOMPARE(w.queryText(), QStringLiteral("SELECT 1")); // Ctrl+Enter added no line
        // While a query runs the run keys are refused, as their buttons are, and Esc stops it.
        QString during, afterKeys;
        QTimer::singleShot(150, [&] {
            during = f->status();
            QTest::keyClick(w.queryEdit, Qt::Key_F5);
            QTest::keyClick(w.queryEdit, Qt::Key_F5, Qt::ShiftModifier);
            afterKeys = f->status();
            QTest::keyClick(w.queryEdit, Qt::Key_Escape);
        });
        w.queryEdit->setPlainText(CountToMillions);
        QTest::keyClick(w.queryEdit, Qt::Key_F5);
        QVERIFY(during.startsWith(QStringLiteral("Searching")));
        QCOMPARE(afterKeys, during);
        QCOMPARE(f->untimedStatus(), QStringLiteral("0 rows - Status code: 9 (User cancelled - no data will be returned)"));
    }

    void theViewerShowsTheWholeCell()
    {
        const QString json = QStringLiteral("{\"b\": [1, 2.50, {}], \"a\": \"x\\\"y\"}");
        f->run(f->w->button(Button::RunQuery), "SELECT '" + json + "' AS j, 'y' || replace(printf('%.100000c', 'y'), 'y', '\u00e9') || '\u20ac' AS long, "
                               "x'00ff' AS blob, printf('%.100c', '[') || '1' || replace(printf('%.1000c', 'x'), 'x', ',1') || printf('%.100c', ']') AS deep, "
                               "NULL AS n, '' AS e, 'NULL' AS t, 42 AS i, 0.1 + 0.2 AS r, x'414243' AS b");
        QTableView *list = f->w->resultsView;
        const ResultsModel &model = f->w->results();
        const auto viewer = [&] { return f->w->findChild<CellViewer *>(); };
        const auto shown = [&] { return viewer()->findChild<QPlainTextEdit *>()->toPlainText(); };
        const auto button = [&](const char *caption) {
            for (QPushButton *b : viewer()->findChildren<QPushButton *>())
                if (b->text() == QLatin1String(caption))
                    return b;
            return static_cast<QPushButton *>(nullptr);
        };
        const auto doubleClick = [&](int column) {
            const QPoint at = list->visualRect(model.index(0, column)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        };
        doubleClick(0);
        QTRY_VERIFY(viewer());
        QCOMPARE(shown(), "{\n    \"b\": [\n        1,\n        2.50,\n        {}\n    ],\n    \"a\": \"x\\\"y\"\n}");
        QCOMPARE(viewer()->findChild<QLabel *>()->text(), QStringLiteral("TEXT: 33 characters, 33 bytes; JSON, shown indented"));
        f->click(button("&Copy"));
        QCOMPARE(f->desktop.clipboardWrites(), QStringList{json});
        QTest::keyClick(viewer(), Qt::Key_Escape);
        QTRY_VERIFY(!viewer());

        f->w->activateWindow(); // the offscreen platform leaves no window active after a dialog
        QVERIFY(QTest::qWaitForWindowActive(f->w.get()));
        list->setFocus();
        list->setCurrentIndex(model.index(0, 1));
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(viewer());
        QCOMPARE(viewer()->findChild<QLabel *>()->text(), QStringLiteral("TEXT: 100,002 characters, 200,004 bytes"));
        QString whole = shown();
        for (QPushButton *next = button("&Next part"); next->isEnabled(); whole += shown())
            f->click(next);
        QCOMPARE(whole, u'y' + QString(100000, QChar(0xE9)) + QChar(0x20AC));
        f->click(viewer()->findChild<QCheckBox *>());
        QCOMPARE(viewer()->findChild<QPlainTextEdit *>()->lineWrapMode(), QPlainTextEdit::NoWrap);
        f->click(button("Close"));
        QTRY_VERIFY(!viewer());

        doubleClick(3); // indented 180 times as long: shown as it is
        QTRY_VERIFY(viewer());
        QCOMPARE(shown(), model.cellText(0, 3));
        QVERIFY(viewer()->findChild<QLabel *>()->text().endsWith(QStringLiteral("; JSON, shown as it is: indented it would be over 8 times as long")));
        f->click(button("Close"));
        QTRY_VERIFY(!viewer());
        // Each kind of value as the list shows it (and reads it out, and aligns it), and the viewer.
        const bool left = false, right = true;
        const std::tuple<int, QString, QString, bool, QString, QString> values[] = {
            {2, "X'00FF'", "", left, "BLOB (2 bytes), shown as hex", "00 FF"},
            {4, "NULL", "no value", left, "NULL", ""},
            {5, "", "", left, "TEXT: 0 characters, 0 bytes", ""},
            {6, "NULL", "", left, "TEXT: 4 characters, 4 bytes", "NULL"},
            {7, "42", "", right, "INTEGER: 2 characters, 2 bytes", "42"},
            {8, "0.3", "", right, "REAL: 3 characters, 3 bytes; exactly 0.30000000000000004", "0.3"},
            {9, "ABC", "", left, "BLOB (3 bytes), shown as hex", "41 42 43"}};
        QAccessibleTableInterface *cells = QAccessible::queryAccessibleInterface(list)->tableInterface();
        for (const auto &[column, name, description, toTheRight, about, text] : values) {
            QCOMPARE(cells->cellAt(0, column)->text(QAccessible::Name), name);
            QCOMPARE(cells->cellAt(0, column)->text(QAccessible::Description), description);
            QCOMPARE(list->model()->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>().testFlag(Qt::AlignRight), toTheRight);
            doubleClick(column);
            QTRY_VERIFY(viewer());
            QCOMPARE(viewer()->findChild<QLabel *>()->text(), about);
            QCOMPARE(shown(), text);
            f->click(button("Close"));
            QTRY_VERIFY(!viewer());
        }
        list->clearSelection(); // drawn as rows not selected are
        for (const int wide : {0, 1, 3})
            list->setColumnWidth(wide, 8);
        list->scrollTo(model.index(0, 0));
        const auto drawn = [&](int column) {
            return list->viewport()->grab(QRect(list->visualRect(model.index(0, column)).topLeft(), QSize(24, 12))).toImage();
        };
        QVERIFY(drawn(4) != drawn(6)); // NULL is drawn apart from the text 'NULL'
        doubleClick(2);
        QTRY_VERIFY(viewer());
        f->click(f->w->button(Button::Clear)); // the rows it shows go: it closes
        QTRY_VERIFY(!viewer());
    }

    // Each format read back by a parser of its own: CSV and Markdown by Python's and GitHub's, as
    // the list shows the cells; the INSERT statements and JSON of Run Query's and of Exec's rows by
    // the sqlite3 shell and Python's json, as the engine gave the values.
    void copiedRowsReadBack()
    {
        QStringList copies;
        for (const Button button : {Button::RunQuery, Button::Exec}) {
            f->run(f->w->button(button), Values);
            f->w->resultsView->selectAll();
            f->desktop.queueText(QStringLiteral("copied \"t\""));
            for (const char *format : {"C&SV", "&JSON", "&Markdown", "SQL &INSERT\u2026"})
                copyAs(QStringLiteral("Copy as ") + QString::fromUtf8(format));
            copies = f->desktop.clipboardWrites();
        }
        QCOMPARE(copies.size(), 8);
        QCOMPARE(copies[4], copies[0]);
        QCOMPARE(copies[6], copies[2]);
        QStringList names{f->w->results().columnName(0), f->w->results().columnName(1)};
        QString keys; // each of the menu's access keys once
        for (const QAction *a : f->w->resultsView->actions())
            if (const qsizetype at = a->text().indexOf(u'&'); at >= 0 && !a->isSeparator())
                keys += a->text()[at + 1].toUpper();
        QCOMPARE(QSet<QChar>(keys.begin(), keys.end()).size(), keys.size());

        QProcess reader;
        reader.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(KEST_READ_COPIES)});
        reader.write(QJsonDocument(QJsonObject{{"csv", copies[0]}, {"markdown", copies[2]}, {"query", Values}, {"table", "copied \"t\""},
                                               {"jsons", QJsonArray{copies[1], copies[5]}}, {"inserts", QJsonArray{copies[3], copies[7]}}})
                         .toJson());
        reader.closeWriteChannel();
        QVERIFY(reader.waitForFinished(60000) && reader.exitCode() == 0);
        const QJsonObject read = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
        QJsonArray csv{QJsonArray::fromStringList(names)}, markdown = csv;
        for (int r = 0; r < f->w->results().rowCount(); ++r) {
            const QString value = f->w->results().cellText(r, 0), type = f->w->results().cellText(r, 1);
            csv.append(QJsonArray{value, type});
            markdown.append(QJsonArray{QString(value).replace(QLatin1String("\r\n"), QLatin1String("\n")), type});
        }
        QCOMPARE(read["csv"].toArray(), csv);
        QCOMPARE(read["markdown"].toArray(), markdown);
        QCOMPARE(QJsonDocument(read["exact"].toArray()).toJson(QJsonDocument::Compact), "[]");

        f->run(f->w->button(Button::RunQuery), QStringLiteral("SELECT 1 AS k, 2 AS k, 3 AS \"k:2\""));
        f->w->resultsView->selectAll();
        copyAs(QStringLiteral("Copy as &JSON"));
        QCOMPARE(f->desktop.clipboardWrites().constLast(), QStringLiteral("[\r\n  {\"k\": 1, \"k:3\": 2, \"k:2\": 3}\r\n]\r\n"));
        // Named, a repeated column would keep only one of its values.
        f->desktop.queueText(QStringLiteral("t"));
        copyAs(QStringLiteral("Copy as SQL &INSERT\u2026"));
        QCOMPARE(f->desktop.clipboardWrites().constLast(), QStringLiteral("INSERT INTO \"t\" VALUES(1,2,3);\r\n"));
    }

    void headerClicksSortTheRowsShown_data()
    {
        QTest::addColumn<bool>("exec");
        QTest::newRow("Run Query") << false;
        QTest::newRow("Exec") << true;
    }
    // The engine's order (NULL, numbers exactly, texts and BLOBs byte by byte), ties in the
    // query's order both ways; copies see the rows as shown, the status line and a new query not.
    void headerClicksSortTheRowsShown()
    {
        QFETCH(bool, exec);
        const QString sql = QStringLiteral("WITH RECURSIVE r(i) AS (SELECT 15 UNION ALL SELECT i + 1 FROM r WHERE i < 34) "
            "SELECT column1 AS n, column2 AS v FROM (VALUES (1, '\u00e9'), (2, 9007199254740993), (3, x'4141414141414141FF'), (4, 'B'), "
            "(5, 9007199254740992.0), (6, NULL), (7, -0.0), (8, 'a'), (9, 0), (10, 'Z'), (11, 10.5), (12, NULL), (13, x'414141414141414142'), "
            "(14, 2.5)) UNION ALL SELECT i, 'a' FROM r");
        QString ties, inQueryOrder = QStringLiteral("1 2 3 4 5 6 7 8 9 10 11 12 13 14");
        for (int n = 15; n <= 34; ++n)
            ties += QStringLiteral(" %1").arg(n), inQueryOrder += QStringLiteral(" %1").arg(n);
        const auto shown = [this] {
            QStringList tags;
            for (int r = 0; r < f->w->results().rowCount(); ++r)
                tags << f->w->results().cellText(r, 0);
            return tags.join(u' ');
        };
        QHeaderView *const header = f->w->resultsView->horizontalHeader();
        for (int run = 0; run < 2; ++run) {
            f->run(f->w->button(exec ? Button::Exec : Button::RunQuery), sql);
            QTRY_VERIFY(f->idle());
            QCOMPARE(shown(), inQueryOrder);
            QCOMPARE(header->sortIndicatorSection(), -1);
            const QString status = f->status();
            for (const auto &[order, rows] : {std::pair{Qt::AscendingOrder, "6 12 7 9 14 11 5 2 4 10 8" + ties + " 1 13 3"},
                                              std::pair{Qt::DescendingOrder, "3 13 1 8" + ties + " 10 4 2 5 11 14 7 9 6 12"}}) {
                QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, {header->sectionViewportPosition(1) + 5, header->height() / 2});
                QTRY_COMPARE(shown(), rows);
                QCOMPARE(header->sortIndicatorOrder(), order);
                QCOMPARE(f->status(), status);
            }
            f->w->resultsView->selectRow(0);
            copyAs(QStringLiteral("Copy as C&SV"));
            QCOMPARE(f->desktop.clipboardWrites().constLast(), QStringLiteral("\"n\",\"v\"\r\n\"3\",\"X'4141414141414141FF'\"\r\n"));
        }
    }

    // 60 MB of cells, their JSON a text of over 120 MB: a second copy does not fit beside it while
    // the clipboard holds it, and does once another program has replaced it there.
    void copiesInEveryFormatAreCountedAsCopyIs()
    {
        f->run(f->w->button(Button::RunQuery), QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
                                              "SELECT printf('%.1500c', 'y') FROM n"));
        f->w->resultsView->selectAll();
        copyAs(QStringLiteral("Copy as &JSON"));
        copyAs(QStringLiteral("Copy as &Markdown"));
        QCOMPARE(f->desktop.clipboardWrites().size(), 1);
        QCOMPARE(f->desktop.messages().constLast().prompt, CopyTooLargeMessage);
        f->desktop.setClipboardContents(QStringLiteral("another program's text"));
        copyAs(QStringLiteral("Copy as &Markdown"));
        QCOMPARE(f->desktop.clipboardWrites().size(), 2);
    }

    void theQueryWindowColoursSql()
    {
        const QString lines[][2] = {
            {"SELECT 'it''s', X'0F', 1.5e3, 0x1F, 12abc, \"select\", [from], `where` -- end",
             "kkkkkk.sssssss..sssss..nnnnn..nnnn...................................cccccc"},
            {"/* open", "ccccccc"},
            {"still */ :where, ?1, @limit, WITHOUT rowid, 'open", "cccccccc.....................kkkkkkk........sssss"},
            {"string' sElEcT", "sssssss.kkkkkk"},
            {"SELECT " + QString(20000, u'y'), QString(20007, u'.')}};
        QStringList text;
        for (const auto &line : lines)
            text << line[0];
        f->w->queryEdit->setPlainText(text.join(u'\n'));
        QTextBlock block = f->w->queryEdit->document()->begin();
        for (const auto &line : lines) {
            QCOMPARE(colours(block), line[1]);
            block = block.next();
        }
        // A quote typed at the top of a long script: the lines below the view follow shortly.
        f->w->setQueryText(QStringLiteral("SELECT 'x';\n").repeated(3000));
        QTextCursor(f->w->queryEdit->document()).insertText(QStringLiteral("'"));
        QTRY_COMPARE(colours(f->w->queryEdit->document()->lastBlock().previous()), QStringLiteral("sssssssssss"));
        // A text the window keeps aside shows its start uncoloured.
        f->w->setQueryText(QStringLiteral("SELECT 1;\n").repeated(30000));
        QCOMPARE(colours(f->w->queryEdit->document()->begin()), QStringLiteral("........."));
    }

    void droppedFilesGoWhereTheyBelong()
    {
        QFile script(f->path(QStringLiteral("dropped.SQL")));
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        QVERIFY(script.open(QIODevice::WriteOnly) && script.write(utf16(QStringLiteral("REM\nSELECT \u00e9"))) == 26);
        script.close();
        QVERIFY(drop(f->w->queryEdit->viewport(), script.fileName()));
        QTRY_COMPARE(f->w->queryText(), QStringLiteral("SELECT \u00e9\r\n"));
        // Over the list, and over the database box, whose text it replaces.
        for (QWidget *on : {static_cast<QWidget *>(f->w->resultsView->viewport()), static_cast<QWidget *>(f->w->databaseEdit)}) {
            const QString database = f->path(on == f->w->databaseEdit ? QStringLiteral("b.db") : QStringLiteral("a.db"));
            QVERIFY(drop(on, database));
            QTRY_COMPARE(f->w->databaseEdit->text(), database);
        }
        QVERIFY(script.open(QIODevice::WriteOnly) && script.write("SELECT 1;\0", 10) == 10);
        script.close();
        QVERIFY(drop(f->w.get(), script.fileName()));
        QTRY_COMPARE(f->desktop.messages().size(), 1);
        QCOMPARE(f->desktop.messages()[0].prompt, "Failed to load SQL from " + script.fileName() +
                                                      "\r\n\r\nIt is not text: it holds a NUL byte.");

        // A drop that cannot be taken is answered; "localhost" is this computer.
        const QString missing = f->path(QStringLiteral("missing.sql")), bad = f->folder.path() + "/%FF.db";
        const std::pair<QList<QUrl>, QString> answered[] = {
            {{QUrl::fromLocalFile(missing)}, "Failed to load SQL from " + missing + "\r\n\r\nIt does not exist."},
            {{QUrl("file://" + bad)}, "Cannot use " + bad + "\r\n\r\nIts name is not valid UTF-8, so it cannot be opened by its name."},
            {{QUrl("file://elsewhere/a.db")}, "Cannot use //elsewhere/a.db\r\n\r\nIt is on another computer."},
            {{QUrl::fromLocalFile(missing), QUrl::fromLocalFile(bad)}, "Drop one file at a time: none of these was used.\r\n\r\n" + missing + "\r\n" + bad},
        };
        for (const auto &[urls, prompt] : answered) {
            QVERIFY(drop(f->w.get(), urls));
            QTRY_COMPARE(f->desktop.messages().constLast().prompt, prompt);
        }
        QVERIFY(drop(f->w.get(), {QUrl("file://LocalHost" + f->path(QStringLiteral("c.db")))}));
        QTRY_COMPARE(f->w->databaseEdit->text(), f->path(QStringLiteral("c.db")));
    }
};

KEST_TEST_CLASS(KeysAndGridTests);
#include "tst_KeysAndGrid.moc"
