// Ctrl+A and Ctrl+C in the query window.

#include "TestRegistry.h"
#include "WindowFixture.h"

#include "QueryWindowKeys.h"

#include <QClipboard>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace kest;
using namespace kest::test;

class QueryKeysTests : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void ctrlASelectsTheWholeText();
    void ctrlCPutsTheSelectionOnTheClipboard();
    void ctrlCWithoutSelectionPutsEmptyText();
    void ctrlCCopyAndSaveAgree();
    void keysGoOnToTheEditor();
    void otherKeysLeaveTheClipboard();

private:
    QPlainTextEdit *text2() const { return f->window->Text2; }
    void select(int start, int end);
    std::unique_ptr<WindowFixture> f;
};

void QueryKeysTests::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->startAndShow());
    text2()->setFocus();
    QTRY_VERIFY(text2()->hasFocus());
}

void QueryKeysTests::cleanup() { f.reset(); }

void QueryKeysTests::select(int start, int end)
{
    QTextCursor cursor = text2()->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    text2()->setTextCursor(cursor);
}

void QueryKeysTests::ctrlASelectsTheWholeText()
{
    select(5, 5);
    QTest::keyClick(text2(), Qt::Key_A, Qt::ControlModifier);
    const QTextCursor cursor = text2()->textCursor();
    QCOMPARE(cursor.selectionStart(), 0);
    QCOMPARE(cursor.selectionEnd(), text2()->toPlainText().size());
    QVERIFY(cursor.selectedText().startsWith(QLatin1String("-- ")));
    QVERIFY(f->desktop.clipboardWrites().isEmpty());
}

void QueryKeysTests::ctrlCPutsTheSelectionOnTheClipboard()
{
    const QString text = text2()->toPlainText();
    const int start = int(text.indexOf(QLatin1String("Select")));
    select(start, start + 8);
    QTest::keyClick(text2(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(f->desktop.clipboardWrites(), QStringList{QStringLiteral("Select *")});
}

void QueryKeysTests::ctrlCWithoutSelectionPutsEmptyText()
{
    f->desktop.setClipboardContents(QStringLiteral("held before"));
    select(3, 3);
    QTest::keyClick(text2(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(f->desktop.clipboardWrites(), QStringList{QString()});
    QCOMPARE(f->desktop.clipboardText(), QString());
}

// Ctrl+C, the editor's own copy and the Copy button put one text on the clipboard, as typed (a
// no-break space stays one) with CR LF line ends, and Save Script writes that text too.
void QueryKeysTests::ctrlCCopyAndSaveAgree()
{
    QTemporaryDir dir;
    f->window->setProgramFolder(dir.path());
    QTest::keyClick(text2(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(text2(), QStringLiteral("SELECT 'a\u00A0b'"));
    QTest::keyClick(text2(), Qt::Key_Return);
    QTest::keyClicks(text2(), QStringLiteral("FROM t"));
    const QString typed = QStringLiteral("SELECT 'a\u00A0b'\r\nFROM t");
    QTest::keyClick(text2(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(text2(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), typed);
    QTest::mouseClick(f->window->Command6, Qt::LeftButton);
    QCOMPARE(f->desktop.clipboardWrites(), QStringList({typed, typed}));
    QTest::mouseClick(f->window->Command17, Qt::LeftButton);
    QFile saved(dir.filePath(QStringLiteral("Kestrune-saved.sql")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), (typed + QStringLiteral("\r\n")).toUtf8());
}

void QueryKeysTests::keysGoOnToTheEditor()
{
    // The editor copies a selection itself as well, onto the real clipboard.
    QGuiApplication::clipboard()->setText(QStringLiteral("not yet"));
    select(0, 2);
    QTest::keyClick(text2(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("--"));
    // After Ctrl+A the next key replaces the whole text: the selection is the editor's own.
    QTest::keyClick(text2(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(text2(), QStringLiteral("x"));
    QCOMPARE(text2()->toPlainText(), QStringLiteral("x"));
}

void QueryKeysTests::otherKeysLeaveTheClipboard()
{
    select(0, 5);
    QTest::keyClick(text2(), Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(text2(), Qt::Key_C); // a plain "c" is typed, not copied
    QTest::keyClick(text2(), Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(f->desktop.clipboardWrites().isEmpty());
    QVERIFY(text2()->toPlainText().startsWith(QLatin1Char('c')));
}

KEST_REGISTER_TEST(QueryKeysTests);
#include "tst_QueryKeys.moc"
