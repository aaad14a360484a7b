// The Qt open-file dialog as the program prepares it: what the user sees in the list of file
// types, which files each type shows, and a typed name of a file that does not exist yet.

#include "TestRegistry.h"

#include "QtDesktop.h"
#include "files/FileOpen.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kest;

class OpenDialogTests : public QObject {
    Q_OBJECT
private slots:
    void typesShowTheirDescriptionOnce_data();
    void typesShowTheirDescriptionOnce();
    void allFilesShowsNamesWithoutADot();
    void typedNewNameComesBackAsFullPath();
};

namespace {

// A widget dialog, so that its controls can be looked at.
void prepare(QFileDialog &dialog, const QString &folder, const QString &filter)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    PrepareOpenDialog(dialog, folder, BuildFileTypes(filter));
}

QStringList shownFiles(QFileDialog &dialog)
{
    auto *view = dialog.findChild<QListView *>(QStringLiteral("listView"));
    QStringList names;
    if (!view)
        return {QStringLiteral("<no list>")};
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
        const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
        if (index.flags() & Qt::ItemIsEnabled)
            names << index.data().toString();
    }
    names.sort();
    return names;
}

} // namespace

void OpenDialogTests::typesShowTheirDescriptionOnce_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("scripts") << QString(ScriptFilter)
                             << QStringList{"SQL Script Files (*.SQL)", "Text Fles (*.TXT)", "All Files (*.*)"};
    QTest::newRow("bare list") << QString(DatabaseFilePatterns)
                               << QStringList{"*.db;*.db3;*.sqlite files", "All Files (*.*)"};
    QTest::newRow("empty") << QString() << QStringList{"All Files (*.*)"};
}

void OpenDialogTests::typesShowTheirDescriptionOnce()
{
    QFETCH(QString, filter);
    QFileDialog dialog;
    prepare(dialog, QStringLiteral("."), filter);
    auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types);
    QStringList shown;
    for (int i = 0; i < types->count(); ++i)
        shown << types->itemText(i);
    QTEST(shown, "shown");
    QCOMPARE(types->currentIndex(), 0);
    QCOMPARE(dialog.directory().absolutePath(), QDir::currentPath());
}

void OpenDialogTests::allFilesShowsNamesWithoutADot()
{
    QTemporaryDir dir;
    for (const char *name : {"Makefile", "a.SQL", "b.sql", "c.txt", "d.db3"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QFileDialog dialog;
    prepare(dialog, dir.path(), ScriptFilter);
    dialog.show();
    QTRY_COMPARE(shownFiles(dialog), (QStringList{"a.SQL", "b.sql"}));
    dialog.selectNameFilter(dialog.nameFilters().last());
    QTRY_COMPARE(shownFiles(dialog), (QStringList{"Makefile", "a.SQL", "b.sql", "c.txt", "d.db3"}));
    prepare(dialog, dir.path(), DatabaseFilePatterns);
    QTRY_COMPARE(shownFiles(dialog), QStringList{"d.db3"});
}

void OpenDialogTests::typedNewNameComesBackAsFullPath()
{
    QTemporaryDir dir;
    QFileDialog dialog;
    prepare(dialog, dir.path(), DatabaseFilePatterns);
    dialog.show();
    auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(name);
    QTest::keyClicks(name, QStringLiteral("new.db"));
    QTest::keyClick(name, Qt::Key_Return);
    QTRY_COMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.selectedFiles(), QStringList{dir.filePath(QStringLiteral("new.db"))});
}

KEST_REGISTER_TEST(OpenDialogTests);
#include "tst_OpenDialog.moc"
