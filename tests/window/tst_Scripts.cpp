// Browse, Load Script and Save Script through the window's buttons, with a scripted dialog and
// a temporary program folder.

#include "TestRegistry.h"
#include "WindowFixture.h"

#include "../files/WriteFailures.h"

#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace kest;
using namespace kest::test;

Q_DECLARE_METATYPE(QList<kest::FileType>)

class ScriptTests : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup()
    {
        f.reset();
        dir.reset();
    }
    void dialogs_data();
    void dialogs();
    void loadKeepsOnlyStatements_data();
    void loadKeepsOnlyStatements();
    void saveWritesTheWindowWithCrLf();
    void saveFailureKeepsTheEarlierFile_data();
    void saveFailureKeepsTheEarlierFile();
    void emptyWindowSavesNothing();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QString savedPath() const { return dir->path() + QStringLiteral("/Kestrune-saved.sql"); }
    std::unique_ptr<WindowFixture> f;
    std::unique_ptr<QTemporaryDir> dir;
};

void ScriptTests::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->startAndShow());
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    f->window->setProgramFolder(dir->path());
}

QString ScriptTests::write(const QString &name, const QByteArray &bytes)
{
    const QString path = dir->filePath(name);
    return writeBytes(path, bytes) ? path : QString();
}

// Each dialog opens on the working directory with its file types, the all-files entry last; a
// cancel, a failing dialog or a script without statements changes nothing and says nothing.
void ScriptTests::dialogs_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("answer"); // 0 cancel, 1 the file below, 2 the dialog throws
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QList<FileType>>("types");
    const QString startQuery = QStringLiteral("-- a\r\nSelect 1");
    const QList<FileType> db{{"*.db;*.db3;*.sqlite files", "*.db;*.db3;*.sqlite"},
                             {"All Files (*.*)", "*.*"}};
    const QList<FileType> sql{{"SQL Script Files (*.SQL)", "*.SQL"},
                              {"Text Fles (*.TXT)", "*.TXT"},
                              {"All Files (*.*)", "*.*"}};
    QTest::newRow("browse chosen") << "Command3" << 1 << QByteArray() << "chosen.db" << startQuery << db;
    QTest::newRow("browse cancelled") << "Command3" << 0 << QByteArray() << "Albums.db" << startQuery << db;
    QTest::newRow("browse dialog fails") << "Command3" << 2 << QByteArray() << "Albums.db" << startQuery << db;
    QTest::newRow("load cancelled") << "Command5" << 0 << QByteArray() << "Albums.db" << startQuery << sql;
    QTest::newRow("load dialog fails") << "Command5" << 2 << QByteArray() << "Albums.db" << startQuery << sql;
    QTest::newRow("load empty file") << "Command5" << 1 << QByteArray("") << "Albums.db" << startQuery << sql;
    QTest::newRow("load only comments") << "Command5" << 1 << QByteArray("REM a\r\n  \r\nrem\r\n")
                                        << "Albums.db" << startQuery << sql;
    QTest::newRow("load missing file") << "Command5" << 1 << QByteArray("<missing>") << "Albums.db"
                                       << startQuery << sql;
}

void ScriptTests::dialogs()
{
    QFETCH(QString, button);
    QFETCH(int, answer);
    QFETCH(QByteArray, file);
    f->window->setQueryText(QStringLiteral("-- a\r\nSelect 1"));
    QString chosen = dir->filePath(QStringLiteral("chosen.db")); // need not exist
    if (!file.isNull())
        chosen = file == "<missing>" ? dir->filePath(QStringLiteral("none.sql")) : write("s.sql", file);
    if (answer == 1)
        f->desktop.queueFileName(chosen);
    else if (answer == 2)
        f->desktop.queueFileDialogFailure();
    QTest::mouseClick(f->window->findChild<QPushButton *>(button), Qt::LeftButton);

    QFETCH(QString, database);
    QCOMPARE(f->window->Text1->text(), database == "chosen.db" ? chosen : database);
    QTEST(f->window->queryText(), "query");
    QCOMPARE(f->desktop.fileRequests().size(), 1);
    QCOMPARE(f->desktop.fileRequests()[0].folder, QStringLiteral("."));
    QTEST(f->desktop.fileRequests()[0].types, "types");
    QVERIFY(f->desktop.messages().isEmpty());
}

// Blank and REM lines go, the rest is trimmed of blanks; lines end at CR, LF or CR LF.
void ScriptTests::loadKeepsOnlyStatements_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("query");
    const QByteArray six = "REM create tables|  rem second comment|REM|REMARK x||SELECT 1;";
    QTest::newRow("CR LF") << QByteArray(six).replace('|', "\r\n") << "REMARK x\r\nSELECT 1;\r\n";
    QTest::newRow("LF") << QByteArray(six).replace('|', "\n") << "REMARK x\r\nSELECT 1;\r\n";
    QTest::newRow("CR") << QByteArray(six).replace('|', "\r") << "REMARK x\r\nSELECT 1;\r\n";
    QTest::newRow("tabs stay") << QByteArray("\tREM x\r\nREM\ty  \r\n  -- c  \r\n")
                               << "\tREM x\r\nREM\ty\r\n-- c\r\n";
}

void ScriptTests::loadKeepsOnlyStatements()
{
    QFETCH(QByteArray, file);
    f->desktop.queueFileName(write("script.sql", file));
    QTest::mouseClick(f->window->Command5, Qt::LeftButton);
    QTEST(f->window->queryText(), "query");
}

// The file holds the window's lines with CR LF and one more CR LF; a second save replaces it;
// the saved file loads back without its blank lines and trimmed.
void ScriptTests::saveWritesTheWindowWithCrLf()
{
    f->window->Text2->setPlainText(QStringLiteral("  SELECT 'Motörhead';  \n\nREM x\n  "));
    QTest::mouseClick(f->window->Command17, Qt::LeftButton);
    QCOMPARE(fileBytes(savedPath()), QByteArray("  SELECT 'Mot\xC3\xB6rhead';  \r\n\r\nREM x\r\n  \r\n"));
    f->window->Text2->setPlainText(QStringLiteral("SELECT 2"));
    QTest::mouseClick(f->window->Command17, Qt::LeftButton);
    QCOMPARE(fileBytes(savedPath()), QByteArray("SELECT 2\r\n"));
    QCOMPARE(entriesOf(dir->path()), QStringList{QStringLiteral("Kestrune-saved.sql")});

    const auto &messages = f->desktop.messages();
    QCOMPARE(messages.size(), 2);
    for (const auto &m : messages) {
        QCOMPARE(m.prompt, "Saved current SQL query as:\r\n\r\n" + savedPath());
        QCOMPARE(m.title, QStringLiteral("Success"));
        QCOMPARE(m.buttons, MessageButtons::Ok);
        QCOMPARE(m.icon, MessageIcon::Information);
    }

    f->window->Text2->setPlainText(QStringLiteral("  SELECT 1;  \n\nrem y\nSELECT 2;"));
    QTest::mouseClick(f->window->Command17, Qt::LeftButton);
    f->desktop.queueFileName(savedPath());
    QTest::mouseClick(f->window->Command5, Qt::LeftButton);
    QCOMPARE(f->window->queryText(), QStringLiteral("SELECT 1;\r\nSELECT 2;\r\n"));
}

// As root ignores permission bits: a file size limit (a full disk), a target that is a folder,
// and a program folder whose path runs through a file.
void ScriptTests::saveFailureKeepsTheEarlierFile_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("disk full") << 0;
    QTest::newRow("target is a folder") << 1;
    QTest::newRow("folder through a file") << 2;
}

void ScriptTests::saveFailureKeepsTheEarlierFile()
{
    QFETCH(int, fault);
    const QByteArray earlier = "SELECT 1\r\n";
    QVERIFY(writeBytes(savedPath(), earlier));
    if (fault == 1) {
        QVERIFY(QFile::remove(savedPath()));
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("Kestrune-saved.sql")));
    } else if (fault == 2) {
        f->window->setProgramFolder(savedPath() + QStringLiteral("/sub"));
    }
    const QString target = f->window->programFolder() + QStringLiteral("/Kestrune-saved.sql");
    f->window->Text2->setPlainText(QString(200, u'x'));
    {
        std::optional<FileSizeLimit> limit;
        if (fault == 0)
            QVERIFY(limit.emplace(64).active());
        QTest::mouseClick(f->window->Command17, Qt::LeftButton);
    }
    QCOMPARE(f->desktop.messages().size(), 1);
    QCOMPARE(f->desktop.messages()[0].prompt, "Failed to save SQL to " + target);
    QCOMPARE(f->desktop.messages()[0].title, QStringLiteral("Error"));
    QCOMPARE(f->desktop.messages()[0].buttons, MessageButtons::Ok);
    QCOMPARE(f->desktop.messages()[0].icon, MessageIcon::Critical);
    if (fault == 1)
        QVERIFY(QFileInfo(savedPath()).isDir());
    else
        QCOMPARE(fileBytes(savedPath()), earlier);
    QCOMPARE(entriesOf(dir->path()), QStringList{QStringLiteral("Kestrune-saved.sql")});
}

void ScriptTests::emptyWindowSavesNothing()
{
    const QByteArray earlier = "SELECT 1\r\n";
    QVERIFY(writeBytes(savedPath(), earlier));
    f->window->Text2->clear();
    QTest::mouseClick(f->window->Command17, Qt::LeftButton);
    QCOMPARE(fileBytes(savedPath()), earlier);
    QVERIFY(f->desktop.messages().isEmpty());
}

KEST_REGISTER_TEST(ScriptTests);
#include "tst_Scripts.moc"
