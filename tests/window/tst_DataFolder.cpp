// The user's files stay the user's: an installed program puts its database, saved script and
// CSV export into the private per-user data folder (not its own folder, not the working folder),
// and a save replaces a link planted at its path instead of writing through it.

#include "WindowTest.h"

#include <QScopeGuard>

#include <sys/stat.h>

using namespace kest;
using namespace kest::test;

class DataFolderTests : public QObject {
    Q_OBJECT
private slots:
    // The program in P/bin beside P/share/kestrune-demo, as installed, in a folder it can write
    // (as root can any): Exec with its CSV and Save Script on the default database name.
    void installedProgramKeepsItsFilesInThePrivateDataFolder_data()
    {
        QTest::addColumn<QString>("dataHome"); // XDG_DATA_HOME; HOME is <temporary>/home
        QTest::addColumn<QString>("expected"); // in the temporary folder
        QTest::addRow("XDG_DATA_HOME") << "/data" << "data/kestrune-demo";
        QTest::addRow("relative XDG_DATA_HOME ignored") << "data" << "home/.local/share/kestrune-demo";
    }
    void installedProgramKeepsItsFilesInThePrivateDataFolder()
    {
        QFETCH(QString, dataHome);
        QFETCH(QString, expected);
        Window f;
        QVERIFY(f.start(QStringLiteral("Albums.db")));
        const QString bin = f.path(QStringLiteral("prefix/bin")), data = f.path(expected);
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(f.path(QStringLiteral("prefix/share/kestrune-demo"))));
        f.w->setProgramFolder(bin);
        const QByteArray home = qgetenv("HOME");
        const auto restore = qScopeGuard([&] { qputenv("HOME", home), qunsetenv("XDG_DATA_HOME"); });
        qputenv("HOME", f.path(QStringLiteral("home")).toUtf8());
        qputenv("XDG_DATA_HOME", (dataHome.startsWith(u'/') ? f.folder.path() + dataHome : dataHome).toUtf8());
        f.desktop.queueAnswer(MessageAnswer::Yes);
        f.run(f.w->button(Button::Exec), QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000) SELECT i FROM n"));
        f.click(f.w->button(Button::SaveScript));
        QCOMPARE(QDir(data).entryList(QDir::Files), (QStringList{"Albums.db", "Kestrune-output.csv", "Kestrune-saved.sql"}));
        struct stat folder {};
        QVERIFY(stat(QFile::encodeName(data).constData(), &folder) == 0 && (folder.st_mode & 07777) == 0700);
        QVERIFY(QDir(bin).isEmpty() && f.wroteNothingElsewhere());
    }

    // A data folder that cannot be made (a file where the home should be): the open that fails says why.
    void aDataFolderThatCannotBeMadeIsNamed()
    {
        Window f;
        const QString home = f.path(QStringLiteral("home"));
        QVERIFY(f.start(QStringLiteral("Albums.db")) && QDir().mkpath(f.path(QStringLiteral("share/kestrune-demo"))) &&
                QDir().mkpath(f.path(QStringLiteral("bin"))) && QFile(home).open(QIODevice::WriteOnly));
        f.w->setProgramFolder(f.path(QStringLiteral("bin"))); // installed
        const QByteArray previous = qgetenv("HOME");
        const auto restore = qScopeGuard([&] { qputenv("HOME", previous); });
        qputenv("HOME", home.toUtf8()), qunsetenv("XDG_DATA_HOME");
        f.run(f.w->button(Button::RunQuery), QStringLiteral("SELECT 1"));
        QCOMPARE(f.untimedStatus(), "0 rows - Status code: 14 (Cannot open the database " + home +
                                        "/.local/share/kestrune-demo/Albums.db: unable to open database file; the folder " + home + " could not be made: File exists)");
    }

    // A link at the saved script's path to another's file: the save replaces the link, and the
    // file it names stays as it was (the CSV export saves the same way).
    void aSaveReplacesAPlantedLinkNotTheFileItNames()
    {
        Window f;
        QVERIFY(f.start());
        QFile theirs(f.elsewhere.filePath(QStringLiteral("theirs")));
        QVERIFY(theirs.open(QIODevice::ReadWrite) && theirs.write("theirs") == 6 && theirs.flush());
        QVERIFY(theirs.link(f.path(QStringLiteral("Kestrune-saved.sql"))));
        f.run(f.w->button(Button::SaveScript), QStringLiteral("SELECT 1"));
        QCOMPARE(f.desktop.messages().constLast().title, QStringLiteral("Success"));
        QVERIFY(!QFileInfo(f.path(QStringLiteral("Kestrune-saved.sql"))).isSymLink());
        QCOMPARE(f.file(QStringLiteral("Kestrune-saved.sql")), QByteArray("SELECT 1\r\n"));
        QVERIFY(theirs.seek(0) && theirs.readAll() == "theirs");
    }
};

KEST_TEST_CLASS(DataFolderTests);
#include "tst_DataFolder.moc"
