// A result bigger than the memory budget, through the real window over the real library: both
// paths end with their out-of-memory texts (Exec when the rows the list shows do not fit), the
// window lives on, Exec's rows so far are shown (count and list agree), a copy of more rows
// than fit says so, and the next query works. The budget is set for this process only, before
// the library is loaded.

#include "WindowTest.h"

#include "ClipboardCommands.h"
#include "MainWindow.h"
#include "ResultsCopy.h"
#include "ScriptCommands.h"

#include <QHeaderView>
#include <QTableView>

#include <utility>

using namespace kest;
using namespace kest::test;

class MemoryBudgetTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("KESTRUNE_MEMORY_LIMIT", "250M"); }

    void aResultPastTheBudgetEndsInOutOfMemoryAndTheWindowGoesOn()
    {
        Window f;
        QVERIFY(f.start());
        f.w->queryEdit->setPlainText(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 25000) "
                              "SELECT i, printf('%.20000c', 'y') FROM n"));
        f.click(f.w->button(Button::Exec));
        static const QRegularExpression ended(
            QStringLiteral("^ ([\\d,]+) rows - Status code: 4 \\(\\[Out of memory after line: 50\\]\\) - "));
        const QRegularExpressionMatch m = ended.match(f.status());
        QVERIFY2(m.hasMatch(), qPrintable(f.status()));
        const int stored = QLocale().toInt(m.captured(1));
        QVERIFY2(stored > 0, qPrintable(f.status()));
        QCOMPARE(f.w->results().rowCount(), stored);
        QCOMPARE(f.w->results().cellText(stored - 1, 0), QString::number(stored));
        QVERIFY(f.desktop.messages().isEmpty());

        f.click(f.w->button(Button::RunQuery));
        QCOMPARE(f.untimedStatus(), QStringLiteral("0 rows - Status code: 7 (out of memory)"));

        // 100 MB of cells fit; their text (two bytes a character) does not fit beside them.
        f.w->queryEdit->setPlainText(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
                              "SELECT printf('%.1000c', 'y') FROM n"));
        f.click(f.w->button(Button::RunQuery));
        QCOMPARE(f.untimedStatus(), QStringLiteral("100,000 rows - Status code: 0 (OK)"));
        f.w->resultsView->setFocus();
        QTest::keyClick(f.w->resultsView, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(f.w->resultsView, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(f.desktop.clipboardWrites().isEmpty());
        QCOMPARE(f.desktop.messages().constLast().prompt, CopyTooLargeMessage);
        // A sort that the budget cannot hold says so, and the rows stay in the query's order.
        int64_t held = 0;
        for (; f.library.take(1 << 20); held += 1 << 20) {}
        QTest::mouseClick(f.w->resultsView->horizontalHeader()->viewport(), Qt::LeftButton, {}, {5, 5});
        QCOMPARE(f.desktop.messages().constLast().prompt, SortTooLargeMessage);
        QCOMPARE(f.w->resultsView->horizontalHeader()->sortIndicatorSection(), -1);
        f.library.give(held);
        f.w->queryEdit->setPlainText(QStringLiteral("SELECT 6 * 7"));
        f.click(f.w->button(Button::Exec));
        QCOMPARE(f.untimedStatus(), QStringLiteral(" 1 rows - Status code: 0 (Success)"));
        QCOMPARE(f.w->results().cellText(0, 0), QStringLiteral("42"));
    }

    // A copied text (60 MB of cells, 120 MB of text) is counted once, as held, while the
    // clipboard holds it, so a second does not fit beside it, and no longer once something
    // replaces it there: another program, or the query window's Copy.
    void aCopiedTextIsCountedWhileTheClipboardHoldsIt()
    {
        Window f;
        QVERIFY(f.start());
        f.run(f.w->button(Button::RunQuery), QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
                                            "SELECT printf('%.1500c', 'y') FROM n"));
        f.w->resultsView->selectAll();
        const auto copy = [&] {
            f.w->resultsView->setFocus();
            QTest::keyClick(f.w->resultsView, Qt::Key_C, Qt::ControlModifier);
            return f.desktop.clipboardWrites().size();
        };
        QCOMPARE(copy(), 1);
        QCOMPARE(copy(), 1); // "too large to copy"
        f.desktop.setClipboardContents(QStringLiteral("another program's text"));
        QCOMPARE(copy(), 2);
        f.click(f.w->button(Button::Copy));
        QCOMPARE(copy(), 4);
        f.w.reset(); // the clipboard outlives the window, which held the memory of its text
        QCOMPARE(f.desktop.clipboardText(), f.desktop.clipboardWrites().constLast());
    }

    // A script is refused when what reading it holds passes the budget, not only its size twice
    // over: 110 MB of one-letter LF lines keeps 165 MB of CR LF lines beside the file's bytes.
    void aScriptWhoseLinesPassTheBudgetIsRefused()
    {
        Window f;
        QVERIFY(f.start());
        QFile file(f.path(QStringLiteral("lines.sql")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray("a\n").repeated(55'000'000)) == 110'000'000);
        file.close();
        f.desktop.queueFileName(file.fileName());
        f.click(f.w->button(Button::LoadScript));
        QCOMPARE(f.desktop.messages().size(), 1);
        QCOMPARE(f.desktop.messages()[0].prompt, NotLoadedPrompt + file.fileName() + "\r\n\r\n" + QString(TooBigReason).arg("104.9 MB"));
    }

    // A pasted text whose UTF-8 would not fit, or that the library would cut at
    // a NUL, says so; the window keeps its text.
    void aPasteThatCannotBeRunSaysSo()
    {
        Window f;
        QVERIFY(f.start());
        f.w->queryEdit->setPlainText(QStringLiteral("SELECT 1"));
        const std::pair<QString, QLatin1StringView> pastes[] = {
            {QString(90'000'000, QChar(0x20AC)), PasteTooLargeMessage}, // 270 MB of UTF-8
            {QStringLiteral("SELECT 2;") + QChar::Null + QStringLiteral("DROP TABLE t"), PasteNotTextMessage}};
        for (const auto &[text, message] : pastes) {
            f.desktop.setClipboardContents(text);
            f.click(f.w->button(Button::Paste));
            QCOMPARE(f.w->queryText(), QStringLiteral("SELECT 1"));
            QCOMPARE(f.desktop.messages().constLast().prompt, message);
        }
    }
};

KEST_TEST_CLASS(MemoryBudgetTests);
#include "tst_MemoryBudget.moc"
