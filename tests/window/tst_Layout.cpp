// Every control of the main window: kind, caption, tooltip, access key, font, place, focus order.

#include "TestRegistry.h"
#include "WindowFixture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

using namespace kest;
using namespace kest::test;

namespace {

struct Expected {
    const char *name;
    const char *kind;   // class name of the widget
    const char *parent; // object name of the parent
    const char *caption;
    const char *toolTip;
    int left, top, width, height; // twips
};

// As the window's design gives them.
const Expected Controls[] = {
    {"Label1", "QLabel", "frmMain", "Database File", "", 105, 105, 1350, 255},
    {"Text1", "QLineEdit", "frmMain", "", "", 1575, 105, 8130, 285},
    {"Command3", "QPushButton", "frmMain", ">>>", "", 9765, 105, 540, 225},
    {"Label2", "QLabel", "frmMain", "SQL Query", "", 1365, 420, 1245, 255},
    {"Text2", "QPlainTextEdit", "frmMain", "", "", 2730, 420, 7605, 1440},
    {"Command7", "QPushButton", "frmMain", "&Website", "Visit the website of this demo's author",
     210, 735, 1065, 330},
    {"Command5", "QPushButton", "frmMain", "&Load Script", "Load an SQL text file to the interface",
     1470, 735, 1065, 330},
    {"Command8", "QPushButton", "frmMain", "&SQLite", "Visit the SQLite website at sqlite.org ",
     210, 1155, 1065, 330},
    {"Command17", "QPushButton", "frmMain", "&Save Script", "Save the current SQL script to file",
     1470, 1155, 1065, 330},
    {"Command2", "QPushButton", "frmMain", "&Exit", "", 210, 1575, 1065, 330},
    {"chkUnicode", "QCheckBox", "frmMain", "Unicode", "Turn Unicode (UTF-16) support On or Off",
     1575, 1680, 960, 225},
    {"Frame1", "QGroupBox", "frmMain", "Demonstration Database Tables", "", 6720, 1890, 3585, 645},
    {"Command9", "QPushButton", "Frame1", "P&opulate", "Create and populate a demo database", 105,
     210, 855, 330},
    {"Command11", "QPushButton", "Frame1", "Query &1", "Query the demo database", 1050, 210, 750,
     330},
    {"Command10", "QPushButton", "Frame1", "D&rop", "Drop the demo tables (USE WITH CAUTION)", 2730,
     210, 750, 330},
    {"Command1", "QPushButton", "frmMain", "Run &Query",
     "Run the query in the window using sqlite_get_table (CROSS JOINs may hang your PC for a long "
     "time!)",
     210, 2100, 960, 330},
    {"Command12", "QPushButton", "frmMain", "&Exec",
     "Run the query in the window using sqlite3_exec (Safe for CROSS JOINs)", 1155, 2100, 960, 330},
    {"Command14", "QPushButton", "frmMain", "&Stop", "Stop a query which is running ", 2100, 2100,
     645, 330},
    {"Command13", "QPushButton", "frmMain", "&DB Info", "Show database information and table names",
     2940, 2100, 855, 330},
    {"Command18", "QPushButton", "frmMain", "&Explain",
     "Explain (Decompile) the current SQL statement", 3885, 2100, 750, 330},
    {"Command15", "QPushButton", "frmMain", "&Clear", "Clear the results list", 4725, 2100, 645, 330},
    {"Command6", "QPushButton", "frmMain", "&Copy", "Copy query to the clipboard", 5355, 2100, 645,
     330},
    {"Command4", "QPushButton", "frmMain", "&Paste", "Paste the clipboard into the query window",
     5985, 2100, 645, 330},
    {"Command16", "QPushButton", "frmMain", "Query &2", "Query the demo database", 8610, 2100, 750,
     330},
    {"lvResults", "QTableView", "frmMain", "", "", 105, 2625, 10215, 3495},
    {"SB1", "QStatusBar", "frmMain", "", "", 0, 6195, 10455, 255},
};

QRect pixels(const Expected &e)
{
    return {e.left / 15, e.top / 15, e.width / 15, e.height / 15};
}

QString captionOf(QWidget *widget)
{
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *frame = qobject_cast<QGroupBox *>(widget))
        return frame->title();
    return {};
}

} // namespace

class LayoutTests : public QObject {
    Q_OBJECT
private slots:
    void everyControl_data();
    void everyControl();
    void noOtherControls();
    void fonts();
    void query2LiesOverTheFrameInFrontOfIt();
    void uniqueAccessKeysClickTheirButton_data();
    void uniqueAccessKeysClickTheirButton();
    void sharedAccessKeysMoveTheFocusInTurn_data();
    void sharedAccessKeysMoveTheFocusInTurn();
    void focusOrder();
};

void LayoutTests::everyControl_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(std::size(Controls)); ++i)
        QTest::newRow(Controls[i].name) << i;
}

void LayoutTests::everyControl()
{
    QFETCH(int, index);
    const Expected &e = Controls[index];
    WindowFixture f;
    QVERIFY(f.start());
    // Before the first display, so the resize rule has not touched the list yet.
    QCOMPARE(f.window->size(), QSize(697, 430));
    auto *widget = f.window->findChild<QWidget *>(QLatin1String(e.name));
    QVERIFY(widget);
    QCOMPARE(widget->metaObject()->className(), e.kind);
    QCOMPARE(widget->parentWidget()->objectName(), QLatin1String(e.parent));
    QCOMPARE(captionOf(widget), QString::fromUtf8(e.caption));
    QCOMPARE(widget->toolTip(), QString::fromUtf8(e.toolTip));
    QCOMPARE(widget->geometry(), pixels(e));
}

void LayoutTests::noOtherControls()
{
    WindowFixture f;
    QVERIFY(f.start());
    QStringList named;
    for (QWidget *child : f.window->findChildren<QWidget *>(Qt::FindChildrenRecursively))
        if (child->objectName().startsWith(QLatin1String("Command")) ||
            child->objectName().startsWith(QLatin1String("Text")) ||
            child->objectName().startsWith(QLatin1String("Label")))
            named << child->objectName();
    QCOMPARE(named.size(), 22); // Command1 to Command18, Text1, Text2, Label1, Label2
    QCOMPARE(f.window->findChildren<QPushButton *>().size(), 18);
}

void LayoutTests::fonts()
{
    WindowFixture f;
    QVERIFY(f.start());
    for (QWidget *w : {static_cast<QWidget *>(f.window->Text2),
                       static_cast<QWidget *>(f.window->Label1),
                       static_cast<QWidget *>(f.window->Label2)}) {
        QCOMPARE(w->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(w->font().pointSizeF(), 9.75);
        QCOMPARE(w->font().styleHint(), QFont::SansSerif);
        QCOMPARE(w->font().weight(), QFont::Normal);
        QVERIFY(!w->font().italic());
    }
    // The others keep the window's default font, the form's usual 8.25 points.
    QCOMPARE(f.window->font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(f.window->font().pointSizeF(), 8.25);
    for (QWidget *w : {static_cast<QWidget *>(f.window->Command1),
                       static_cast<QWidget *>(f.window->Text1),
                       static_cast<QWidget *>(f.window->chkUnicode),
                       static_cast<QWidget *>(f.window->Frame1)})
        QCOMPARE(w->font(), f.window->font());
}

void LayoutTests::query2LiesOverTheFrameInFrontOfIt()
{
    WindowFixture f;
    QVERIFY(f.start());
    QPushButton *query2 = f.window->Command16;
    QVERIFY(f.window->Frame1->geometry().contains(query2->geometry()));
    // Between Query 1 and Drop, touching neither.
    const QRect query1 = f.window->Command11->geometry().translated(f.window->Frame1->pos());
    const QRect drop = f.window->Command10->geometry().translated(f.window->Frame1->pos());
    QVERIFY(query1.right() < query2->geometry().left());
    QVERIFY(query2->geometry().right() < drop.left());
    // What a click at its centre reaches is the button, not the frame.
    QCOMPARE(f.window->childAt(query2->geometry().center()), query2);
    const QObjectList &stack = f.window->children();
    QVERIFY(stack.indexOf(f.window->Frame1) < stack.indexOf(query2));
}


void LayoutTests::uniqueAccessKeysClickTheirButton_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("button");
    QTest::newRow("Alt+Q Run Query") << int(Qt::Key_Q) << "Command1";
    QTest::newRow("Alt+L Load Script") << int(Qt::Key_L) << "Command5";
    QTest::newRow("Alt+P Paste") << int(Qt::Key_P) << "Command4";
    QTest::newRow("Alt+D DB Info") << int(Qt::Key_D) << "Command13";
    QTest::newRow("Alt+2 Query 2") << int(Qt::Key_2) << "Command16";
    QTest::newRow("Alt+O Populate") << int(Qt::Key_O) << "Command9";
    QTest::newRow("Alt+R Drop") << int(Qt::Key_R) << "Command10";
    QTest::newRow("Alt+1 Query 1") << int(Qt::Key_1) << "Command11";
    QTest::newRow("Alt+W Website") << int(Qt::Key_W) << "Command7";
}

void LayoutTests::uniqueAccessKeysClickTheirButton()
{
    QFETCH(int, key);
    QFETCH(QString, button);
    WindowFixture f;
    QVERIFY(f.startAndShow());
    QList<std::pair<QString, std::shared_ptr<QSignalSpy>>> spies;
    for (QPushButton *b : f.window->findChildren<QPushButton *>())
        spies.append({b->objectName(), std::make_shared<QSignalSpy>(b, &QPushButton::clicked)});
    QTest::keyClick(f.window.get(), Qt::Key(key), Qt::AltModifier);
    for (const auto &[name, spy] : spies) {
        if (name == button)
            QTRY_COMPARE(spy->count(), 1);
        else
            QCOMPARE(spy->count(), 0);
    }
}

void LayoutTests::sharedAccessKeysMoveTheFocusInTurn_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("buttons");
    // Stop shares S but is disabled at start-up, so its key does nothing then.
    QTest::newRow("Alt+E Exec, Explain, Exit")
        << int(Qt::Key_E) << QStringList{"Command12", "Command18", "Command2"};
    QTest::newRow("Alt+S Save Script, SQLite") << int(Qt::Key_S) << QStringList{"Command17", "Command8"};
    QTest::newRow("Alt+C Clear, Copy") << int(Qt::Key_C) << QStringList{"Command15", "Command6"};
}

void LayoutTests::sharedAccessKeysMoveTheFocusInTurn()
{
    QFETCH(int, key);
    QFETCH(QStringList, buttons);
    WindowFixture f;
    QVERIFY(f.startAndShow());
    QList<std::shared_ptr<QSignalSpy>> spies;
    for (QPushButton *b : f.window->findChildren<QPushButton *>())
        spies.append(std::make_shared<QSignalSpy>(b, &QPushButton::clicked));
    QStringList reached;
    for (int i = 0; i < buttons.size(); ++i) {
        QTest::keyClick(f.window.get(), Qt::Key(key), Qt::AltModifier);
        reached << QApplication::focusWidget()->objectName();
    }
    reached.sort();
    buttons.sort();
    QCOMPARE(reached, buttons);
    // A shared key only moves the focus: nothing is clicked, Exit included.
    QTest::qWait(150);
    for (const auto &spy : spies)
        QCOMPARE(spy->count(), 0);
    QVERIFY(f.window->isVisible());
}

void LayoutTests::focusOrder()
{
    const QStringList order{"Command1",  "Command12", "Command14", "Command13", "Command18",
                            "Command15", "Command6",  "Command4",  "Command9",  "Command11",
                            "Command16", "Command10", "lvResults", "Command3",  "Text1",
                            "Text2",     "Command5",  "Command17", "chkUnicode", "Command7",
                            "Command8",  "Command2"};
    WindowFixture f;
    QVERIFY(f.startAndShow());
    QCOMPARE(QApplication::focusWidget(), f.window->Command1);
    // Stop is skipped while disabled; enable it to walk the whole order.
    f.window->Command14->setEnabled(true);
    // Rows in the list must not keep Tab inside it.
    f.window->results().addColumn(QStringLiteral("c"));
    f.window->results().addRow(QStringLiteral("r1"));
    f.window->results().addRow(QStringLiteral("r2"));
    QStringList forward{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        forward << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(forward, order);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.window->Command1); // round again

    QStringList backward;
    for (int i = 0; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        backward.prepend(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(backward, order);
}

KEST_REGISTER_TEST(LayoutTests);
#include "tst_Layout.moc"
