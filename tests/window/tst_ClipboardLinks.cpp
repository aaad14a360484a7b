// Copy, Paste, the two links and the Unicode box through the window's controls.

#include "TestRegistry.h"
#include "WindowFixture.h"

#include "files/Links.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QUrl>

using namespace kest;
using namespace kest::test;

class ClipboardLinkTests : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { f.reset(); }
    void copyThenPasteKeepsTheText();
    void pasteReplacesTheWholeText_data();
    void pasteReplacesTheWholeText();
    void linksGoToTheShellShownNormally();
    void builtProgramHasItsReadme();
    void unicodeBoxSwitchesFlagAndLibraryTogether();

private:
    std::unique_ptr<WindowFixture> f;
};

void ClipboardLinkTests::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->startAndShow());
}

void ClipboardLinkTests::copyThenPasteKeepsTheText()
{
    f->desktop.setClipboardContents(QStringLiteral("earlier"));
    f->window->Text2->setPlainText(QStringLiteral("SELECT 'Motörhead',\n  '東京';\n"));
    QTest::mouseClick(f->window->Command6, Qt::LeftButton);
    QCOMPARE(f->desktop.clipboardWrites(), QStringList{QStringLiteral("SELECT 'Motörhead',\r\n  '東京';\r\n")});
    f->window->Text2->setPlainText(QStringLiteral("other"));
    QTest::mouseClick(f->window->Command4, Qt::LeftButton);
    QCOMPARE(f->window->Text2->toPlainText(), QStringLiteral("SELECT 'Motörhead',\n  '東京';\n"));

    f->window->Text2->clear();
    QTest::mouseClick(f->window->Command6, Qt::LeftButton);
    f->window->Text2->setPlainText(QStringLiteral("other"));
    QTest::mouseClick(f->window->Command4, Qt::LeftButton);
    QCOMPARE(f->window->Text2->toPlainText(), QString());
    QCOMPARE(f->desktop.clipboardWrites().size(), 2);
}

void ClipboardLinkTests::pasteReplacesTheWholeText_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<int>("selectionStart");
    QTest::addColumn<int>("selectionEnd");
    QTest::newRow("empty clipboard empties") << QString() << 0 << 0;
    QTest::newRow("selection") << QStringLiteral("SELECT 2\r\nSELECT 3") << 3 << 9;
    QTest::newRow("caret at the end") << QStringLiteral("SELECT 2") << 12 << 12;
}

void ClipboardLinkTests::pasteReplacesTheWholeText()
{
    QFETCH(QString, clipboard);
    QFETCH(int, selectionStart);
    QFETCH(int, selectionEnd);
    f->window->Text2->setPlainText(QStringLiteral("SELECT 1\nFROM t"));
    QTextCursor cursor = f->window->Text2->textCursor();
    cursor.setPosition(selectionStart);
    cursor.setPosition(selectionEnd, QTextCursor::KeepAnchor);
    f->window->Text2->setTextCursor(cursor);
    f->desktop.setClipboardContents(clipboard);
    QTest::mouseClick(f->window->Command4, Qt::LeftButton);
    QCOMPARE(f->window->queryText(), clipboard);
    QVERIFY(f->desktop.clipboardWrites().isEmpty());
}

// The shell's refusal is not looked at: no message.
void ClipboardLinkTests::linksGoToTheShellShownNormally()
{
    QTemporaryDir dir;
    f->window->setProgramFolder(dir.path());
    f->desktop.setShellAccepts(false);
    QTest::mouseClick(f->window->Command7, Qt::LeftButton);
    QTest::mouseClick(f->window->Command8, Qt::LeftButton);
    const auto &urls = f->desktop.urls();
    QCOMPARE(urls.size(), 2);
    QCOMPARE(urls[0].target, "file://" + dir.path() + "/README.md");
    QCOMPARE(urls[0].showCode, 1);
    QCOMPARE(urls[1].target, QStringLiteral("https://sqlite.org/"));
    QCOMPARE(urls[1].showCode, 1);
    QVERIFY(f->desktop.messages().isEmpty());
    // The tooltip names the host the button opens.
    QCOMPARE(f->window->Command8->toolTip(),
             "Visit the SQLite website at " + QUrl(urls[1].target).host() + " ");
}

// The Website link of the built program opens a file that is there.
void ClipboardLinkTests::builtProgramHasItsReadme()
{
    const QString folder = QFileInfo(QStringLiteral(KEST_DEMO_PROGRAM)).absolutePath();
    const QFileInfo readme(QUrl(AuthorSiteUrl(folder)).toLocalFile());
    QVERIFY2(readme.isFile(), qPrintable(readme.filePath()));
    QVERIFY(readme.size() > 0);
}

// Only a ticked box is on; a greyed one counts as off.
void ClipboardLinkTests::unicodeBoxSwitchesFlagAndLibraryTogether()
{
    QCheckBox *box = f->window->chkUnicode;
    f->standin.resetCalls();
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(f->state.UseUnicode, True16);
    QCOMPARE(f->standin.calls(), QStringLiteral("SetUnicodeConversion(-1);"));
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(f->state.UseUnicode, False16);
    QTest::mouseClick(box, Qt::LeftButton);
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
    QCOMPARE(f->state.UseUnicode, False16);
    QCOMPARE(f->standin.calls(), QStringLiteral("SetUnicodeConversion(-1);SetUnicodeConversion(0);"
                                                "SetUnicodeConversion(-1);SetUnicodeConversion(0);"));
}

KEST_REGISTER_TEST(ClipboardLinkTests);
#include "tst_ClipboardLinks.moc"
