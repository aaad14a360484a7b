// Rows of the results list copied as tab-separated text, through the list's own keys.

#include "TestRegistry.h"
#include "WindowFixture.h"

#include <QHeaderView>
#include <QTableView>
#include <QTest>

using namespace kest;
using namespace kest::test;

class ResultsCopyTests : public QObject {
    Q_OBJECT
private slots:
    void selectedRowsCopyWithTheirColumnNames();
};

void ResultsCopyTests::selectedRowsCopyWithTheirColumnNames()
{
    WindowFixture f;
    QVERIFY(f.startAndShow());
    ResultsModel &model = f.window->results();
    model.addColumn(QStringLiteral("id"));
    model.addColumn(QStringLiteral("note"));
    const QStringList notes{"plain", "tab\there", "\"quoted\" first", "two\r\nlines", "say \"hi\""};
    for (int row = 0; row < notes.size(); ++row) {
        model.addRow(QString::number(row + 1));
        model.setCell(row, 1, notes[row]);
    }
    QTableView *list = f.window->lvResults;
    // A report-style row: one line of the list's font and a small margin.
    QVERIFY(list->rowHeight(0) >= list->fontMetrics().height());
    QVERIFY(list->rowHeight(0) <= list->fontMetrics().height() + 6);

    // Row 3 clicked, then row 1 added with Ctrl: copied in the list's order.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(model.index(2, 1)).center());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualRect(model.index(0, 0)).center());
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    const QString header = QStringLiteral("id\tnote\r\n");
    QCOMPARE(f.desktop.clipboardWrites(),
             QStringList{header + "1\tplain\r\n3\t\"\"\"quoted\"\" first\"\r\n"});

    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(f.desktop.clipboardWrites().last(),
             header + "1\tplain\r\n2\t\"tab\there\"\r\n3\t\"\"\"quoted\"\" first\"\r\n"
                      "4\t\"two\r\nlines\"\r\n5\tsay \"hi\"\r\n");
}

KEST_REGISTER_TEST(ResultsCopyTests);
#include "tst_ResultsCopy.moc"
